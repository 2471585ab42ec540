// Keys that a focused widget uses itself, kept from the window's shortcuts.
#ifndef ZQVIDEO_OWNKEYS_H
#define ZQVIDEO_OWNKEYS_H

#include <QHash>
#include <QList>
#include <QObject>

class QWidget;

// The window's shortcuts act wherever the focus is, so that a foot pedal
// works whatever was clicked last.  A widget given keys here keeps them
// while it has the focus: Return chooses the entry of an open drop-down
// list instead of taking a picture.
class OwnKeys : public QObject
{
  public:
    explicit OwnKeys(QObject *parent) : QObject(parent) {}

    // The keys (without modifiers; Enter also from the keypad) go to the
    // widget when it has the focus.
    void give(QWidget *widget, const QList<int> &keys);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QHash<QObject *, QList<int>> keys_;
};

#endif
