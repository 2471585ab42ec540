#include "autocapture.h"

#include "config.h"
#include "savedir.h"

#include <zqscan/zq_opencv.h>

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>

namespace
{

const char kAutoCaptureKey[] = "capture/auto";

// The program's own settings file; empty when there is no place for it.
QString settingsFile()
{
    const std::string &path = programSettingsPath();
    return path.empty() ? QString() : QFile::decodeName(path.c_str());
}

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

AutoCapture::AutoCapture(QAction *toggle, QStatusBar *statusBar, QObject *parent)
    : QObject(parent), toggle_(toggle), statusBar_(statusBar), state_(new QLabel(statusBar)),
      clock_(steadyMilliseconds)
{
    setObjectName("autoCapture");
    state_->setObjectName("autoCaptureState");
    statusBar->addPermanentWidget(state_);
    state_->hide();
    const QString file = settingsFile();
    if (!file.isEmpty())
        toggle_->setChecked(
            QSettings(file, QSettings::IniFormat).value(kAutoCaptureKey, false).toBool());
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
    const QString file = settingsFile();
    if (file.isEmpty())
        return;
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(kAutoCaptureKey, on);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        statusBar_->showMessage(tr("无法把自动拍照的设置写入 %1").arg(file), 10000);
}

bool AutoCapture::wantsCapture(const unsigned char *rgb, int width, int height, bool automaticCrop)
{
    watching_ = automaticCrop;
    if (!automaticCrop) {
        showState(toggle_->isChecked() ? tr("自动拍照：请把裁边设为“自动裁边”") : QString());
        return false;
    }
    CuttingEdgeInfo outline;
    const bool found = zq_scanner_cutting_edge_get(&outline) == 0;
    const StillnessDetector::Verdict verdict =
        detector_.observe(rgb, width, height, found ? outline.point : nullptr, clock_());
    if (!toggle_->isChecked()) {
        showState(QString());
        return false;
    }
    switch (verdict) {
    case StillnessDetector::Verdict::NoNewPage:
        showState(tr("自动拍照：等待新页面"));
        return false;
    case StillnessDetector::Verdict::Settling:
        showState(tr("自动拍照：请保持静止"));
        return false;
    case StillnessDetector::Verdict::Ready:
        break;
    }
    if (!dirUsable(nullptr)) {
        showState(tr("自动拍照：保存目录无法访问，请重新设定"));
        return false;
    }
    showState(tr("自动拍照：等待新页面"));
    return true;
}

void AutoCapture::pageCaptured()
{
    if (watching_)
        detector_.markTaken();
}

void AutoCapture::showState(const QString &state)
{
    state_->setText(state);
    state_->setVisible(!state.isEmpty());
}
