#include "autocapture.h"

#include "savedir.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>

#include <algorithm>
#include <utility>

namespace
{

const char kAutoCaptureKey[] = "capture/auto";

// The pauses before a page that could not be written is tried again: soon
// after a passing fault, rarely while the disk stays full.
constexpr qint64 kFirstRetryMs = 1000;
constexpr qint64 kLongestRetryMs = 30000;

qint64 steadyMilliseconds()
{
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

} // namespace

AutoCapture::AutoCapture(QAction *toggle, QStatusBar *statusBar, QObject *parent, Settings settings)
    : QObject(parent), toggle_(toggle), settings_(std::move(settings)), statusBar_(statusBar),
      state_(new QLabel(statusBar)), clock_(steadyMilliseconds)
{
    setObjectName("autoCapture");
    state_->setObjectName("autoCaptureState");
    statusBar->addPermanentWidget(state_);
    state_->hide();
    toggle_->setChecked(settings_.readSwitch(kAutoCaptureKey));
    connect(toggle_, &QAction::triggered, this, &AutoCapture::switchedByUser);
}

// Like the capture button, switching it on wants a save directory to
// capture into; without one it stays off, after the directory's message.
void AutoCapture::switchedByUser(bool on)
{
    if (on && !checkDir(nullptr)) {
        toggle_->setChecked(false);
        on = false;
    }
    if (!on)
        showState(QString());
    if (!settings_.writeSwitch(kAutoCaptureKey, on))
        statusBar_->showMessage(tr("无法把自动拍照的设置写入 %1").arg(settings_.switchesFile()),
                                10000);
}

bool AutoCapture::wantsCapture(const unsigned char *rgb, int width, int height, bool automaticCrop,
                               const zqPoint *outline)
{
    watching_ = automaticCrop;
    if (!automaticCrop) {
        showState(toggle_->isChecked() ? tr("自动拍照：请把裁边设为“自动裁边”") : QString());
        return false;
    }
    const StillnessDetector::Verdict verdict =
        detector_.observe(rgb, width, height, outline, clock_());
    if (!toggle_->isChecked()) {
        showState(QString());
        return false;
    }
    switch (verdict) {
    case StillnessDetector::Verdict::NoNewPage:
        retryPause_ = 0;
        showState(tr("自动拍照：等待新页面"));
        return false;
    case StillnessDetector::Verdict::Settling:
        showState(tr("自动拍照：请保持静止"));
        return false;
    case StillnessDetector::Verdict::Ready:
        break;
    }
    if (retryPause_ && clock_() < retryAt_) {
        showState(tr("自动拍照：无法保存，稍后再试"));
        return false;
    }
    if (!dirUsable(nullptr)) {
        showState(tr("自动拍照：保存目录无法访问，请重新设定"));
        return false;
    }
    showState(tr("自动拍照：等待新页面"));
    return true;
}

void AutoCapture::captureStarted()
{
    marked_ = watching_;
    if (marked_)
        detector_.markTaken();
}

void AutoCapture::pageCaptured()
{
    retryPause_ = 0;
}

void AutoCapture::captureFailed()
{
    if (marked_)
        detector_.unmarkTaken();
    marked_ = false;
    retryPause_ = retryPause_ ? std::min(2 * retryPause_, kLongestRetryMs) : kFirstRetryMs;
    retryAt_ = clock_() + retryPause_;
}

void AutoCapture::showState(const QString &state)
{
    state_->setText(state);
    state_->setVisible(!state.isEmpty());
}
