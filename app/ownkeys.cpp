#include "ownkeys.h"

#include <QKeyEvent>
#include <QWidget>

void OwnKeys::give(QWidget *widget, const QList<int> &keys)
{
    keys_[widget] += keys;
    widget->installEventFilter(this);
    connect(widget, &QObject::destroyed, this, [this](QObject *gone) { keys_.remove(gone); });
}

// Qt asks the focused widget with a ShortcutOverride event before it looks
// for a shortcut; accepting it hands the key to the widget.  The event goes
// on to the widget's other filters: an open drop-down list chooses its entry
// as soon as it sees the override of Return.
bool OwnKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        keys_.value(watched).contains(key->key()))
        key->accept();
    return false;
}
