#include "camerawatch.h"

#include <zqscan/zq_scanner.h>

#include <QLabel>
#include <QStatusBar>

namespace
{

// A camera gives several frames a second; this long without one is a
// stall (or an unplugged camera) rather than a slow frame.
constexpr qint64 kNoPictureMs = 2000;
constexpr int kLookForCameraMs = 1000;

} // namespace

CameraWatch::CameraWatch(QStatusBar *statusBar, QObject *parent)
    : QObject(parent), state_(new QLabel(statusBar))
{
    setObjectName("cameraWatch");
    state_->setObjectName("cameraState");
    statusBar->addPermanentWidget(state_);
    state_->hide();
    returnCheck_.setInterval(kLookForCameraMs);
    connect(&returnCheck_, &QTimer::timeout, this, &CameraWatch::lookForReturn);
}

void CameraWatch::opened(int index)
{
    index_ = index;
    returnCheck_.stop();
    stopped_ = false;
    lastFrame_.start();
    showState(QString());
}

void CameraWatch::openFailed(int index)
{
    index_ = index;
    stopped_ = false;
    if (zq_scanner_present(index) == 0)
        waitForReturn();
}

void CameraWatch::frameArrived()
{
    lastFrame_.start();
    if (stopped_) {
        stopped_ = false;
        showState(QString());
    }
}

// Once frames have stayed away for a while, the camera's node tells a
// stall from an unplugged camera; it is looked at once a second.
void CameraWatch::noFrame()
{
    if (!lastFrame_.isValid() || !lastFrame_.hasExpired(kNoPictureMs))
        return;
    if (!stopped_) {
        stopped_ = true;
        showState(tr("摄像头无画面"));
        emit pictureStopped();
    }
    if (lastLookedFor_.isValid() && !lastLookedFor_.hasExpired(kLookForCameraMs))
        return;
    lastLookedFor_.start();
    if (zq_scanner_present(index_) == 0) {
        lastFrame_.invalidate();
        waitForReturn();
        emit cameraGone();
    }
}

void CameraWatch::waitForReturn()
{
    showState(tr("摄像头已断开，接回后会自动打开"));
    returnCheck_.start();
}

void CameraWatch::lookForReturn()
{
    if (zq_scanner_present(index_) == 0)
        return;
    returnCheck_.stop();
    emit cameraBack(index_);
}

void CameraWatch::showState(const QString &state)
{
    state_->setText(state);
    state_->setVisible(!state.isEmpty());
}
