#include "cameraswitches.h"

#include <zqscan/zq_scanner.h>

#include <QPushButton>
#include <QTimer>

namespace
{

// Looking costs a few reads of small sysfs files.
constexpr int kLookIntervalMs = 2000;

} // namespace

CameraSwitches::CameraSwitches(const QList<QPushButton *> &buttons, QObject *parent)
    : QObject(parent), buttons_(buttons)
{
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { refresh(); });
    timer->start(kLookIntervalMs);
    refresh();
}

void CameraSwitches::refresh()
{
    for (int i = 0; i < buttons_.size(); ++i) {
        const bool present = zq_scanner_present(i + 1) != 0;
        QPushButton *button = buttons_[i];
        button->setEnabled(present);
        button->setToolTip(present ? tr("显示这台摄像头的画面")
                                   : tr("没有找到这台摄像头：插上后按钮即可使用"));
    }
}
