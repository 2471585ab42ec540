#include "savefailure.h"

#include <QStatusBar>

#include <cstring>

SaveFailure::SaveFailure(QStatusBar *statusBar) : QLabel(statusBar)
{
    setObjectName("saveFailure");
    statusBar->addPermanentWidget(this);
    hide();
}

void SaveFailure::report(const QString &name, int error)
{
    setText(tr("无法保存 %1：%2").arg(name, QString::fromLocal8Bit(std::strerror(error))));
    show();
}

void SaveFailure::clear()
{
    QLabel::clear();
    hide();
}
