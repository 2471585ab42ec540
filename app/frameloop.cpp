// Opening a camera, the preview's ticks and the pages its captures write,
// and the resolution list that follows the open camera.
#include "mainwindow.h"

#include "autocapture.h"
#include "bookcapture.h"
#include "camlabel.h"
#include "camerasliders.h"
#include "cameraswitches.h"
#include "camerawatch.h"
#include "config.h"
#include "framepipeline.h"
#include "liveview.h"
#include "pagedocument.h"
#include "resolutionbox.h"
#include "savefailure.h"
#include "ui_mainwindow.h"

#include <zqscan/zq_opencv.h>
#include <zqscan/zq_scanner.h>

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace
{

// A black 640 x 480 frame (with room to spare) for the time without one.
unsigned char blank[1440000];

constexpr unsigned kCameraSettleMicroseconds = 500000;

} // namespace

// The frames' work is the pipeline's; the window tells it the crop the
// user dragged on the label, and lists the pages it writes.
void MainWindow::setUpFramePipeline(AutoCapture *autoCapture)
{
    auto *bookCapture =
        new BookCapture(ui->actionBookMode, ui->actionRightPageFirst, statusBar(), this, settings);
    autoCapture->watchTurnedPages(bookCapture->isOn());
    connect(ui->actionBookMode, &QAction::toggled, autoCapture, &AutoCapture::watchTurnedPages);
    const auto dragged = [this](int width, int height, zqPoint &lt, zqPoint &rb) {
        return _getCuttingEdge(width, height, lt, rb);
    };
    pipeline = new FramePipeline(autoCapture, bookCapture, dragged, this);
    connect(pipeline, &FramePipeline::captured, this, &MainWindow::captureWritten);
}

void MainWindow::setUpCameraWatch(AutoCapture *autoCapture)
{
    cameraWatch = new CameraWatch(statusBar(), this);
    connect(pipeline, &FramePipeline::frameArrived, cameraWatch, &CameraWatch::frameArrived);
    connect(pipeline, &FramePipeline::noFrame, cameraWatch, &CameraWatch::noFrame);
    connect(cameraWatch, &CameraWatch::pictureStopped, autoCapture, &AutoCapture::pictureStopped);
    connect(cameraWatch, &CameraWatch::cameraGone, this, &MainWindow::closeLostCamera);
    connect(cameraWatch, &CameraWatch::cameraBack, this, &MainWindow::openCamera);
}

// An unplugged camera's descriptor gives nothing ever again; the preview
// goes black rather than show a page that may no longer lie there.
void MainWindow::closeLostCamera()
{
    zq_scanner_close(fd);
    fd = -1;
    pipeline->pictureLost();
    captureRequested = false;
    ShowRGB(blank, 640, 480);
}

// A camera unplugged since the buttons were last enabled fails to open,
// and the status bar says so.
void MainWindow::openCamera(int index)
{
    cameraSwitches->refresh();
    ShowVideo(index, true);
}

void MainWindow::ShowVideo(int index, bool prune)
{
    int w = g_Config.width;
    int h = g_Config.height;
    cameraIndex = index;
    resolutionsListed = false;
    ShowRGB(blank, 640, 480);
    pipeline->pictureLost();
    captureRequested = false;
    if (fd > 0) {
        zq_scanner_close(fd);
        fd = -1;
        hooks.pause(kCameraSettleMicroseconds);
    }
    fd = zq_scanner_open_index(index);
    if (fd <= 0) {
        statusBar()->showMessage(
            tr("无法打开视频%1：没有找到这台摄像头，或别的程序正在使用它").arg(index),
            kStatusLongMs);
        cameraWatch->openFailed(index);
        return;
    }
    cameraWatch->opened(index);
    zq_scanner_init_preview(fd, &w, &h);
    g_Config.width = w;
    g_Config.height = h;
    if (prune)
        resolutions->keepOnly(w, h);
    resolutions->select(w, h);
    printf("w=%d, h=%d\n", w, h);
    fflush(stdout);
    sliders->placeFrom(fd);
}

// The pipeline reads, searches and captures; the window shows.
void MainWindow::TimerUpdate()
{
    if (fd < 0)
        return;
    const FramePipeline::Frame frame =
        pipeline->tick(fd, {previewDenominator(), ui->cutting->currentIndex()}, captureRequested);
    if (!frame.rgb)
        return;
    if (!resolutionsListed) {
        UpdateResolutions();
        resolutionsListed = true;
    }
    ShowRGB(frame.rgb, frame.width, frame.height);
}

// The largest reduction at which the label still shows the frame at its
// own size; none while the large view is open, which zooms to the
// camera's pixels.
int MainWindow::previewDenominator() const
{
    if (liveView->isVisible())
        return 1;
    const QSize camera(g_Config.width, g_Config.height);
    const bool sideways = quarterTurns(g_Config.rota) % 2 == 1;
    QSize shown = ui->label_V->pictureSize(sideways ? camera.transposed() : camera);
    if (sideways)
        shown.transpose();
    return zq_scanner_preview_denominator(camera.width(), camera.height(), shown.width(),
                                          shown.height());
}

// A capture's pages go into the page list and, while one is being
// collected, into the PDF, in the order written; a file that could not be
// written ends the capture.
void MainWindow::captureWritten(const CaptureJob::Outcome &outcome)
{
    for (const CaptureJob::Outcome::Written &page : outcome.written) {
        saveFailure->clear();
        pages->add(page.path, page.name);
        statusBar()->showMessage(tr("已保存 %1").arg(page.name), kStatusShortMs);
        if (pdfRecording)
            pages->collect(page.path);
    }
    if (outcome.error)
        saveFailure->report(outcome.failedName, outcome.error);
}

void MainWindow::ShowRGB(unsigned char *data, int width, int height)
{
    const QImage frame(data, width, height, 3 * width, QImage::Format_RGB888);
    const QImage scaled = frame.scaled(ui->label_V->pictureSize(frame.size()),
                                       Qt::IgnoreAspectRatio, Qt::FastTransformation);
    ui->label_V->clear();
    ui->label_V->setPixmap(QPixmap::fromImage(scaled));
    ui->label_V->show();
    liveView->showFrame(data, width, height);
}

void MainWindow::AddImage(QString path, const char *name)
{
    pages->add(QFile::encodeName(path), QString::fromUtf8(name ? name : ""));
}

// Maps the drag through the picture as the label shows it: a point in a
// band beside the picture, or outside the label, lands on the picture's edge.
bool MainWindow::_getCuttingEdge(int width, int height, zqPoint &lt, zqPoint &rb)
{
    const CamLabel *label = ui->label_V;
    if (label->cropState == CamLabel::Idle || label->cropState == CamLabel::Armed)
        return false;
    const QRect shown = label->pictureRect(QSize(width, height));
    if (shown.isEmpty())
        return false;
    const auto toFrame = [&](const LabelPoint &p) {
        const int x = std::clamp(p.x - shown.x(), 0, shown.width());
        const int y = std::clamp(p.y - shown.y(), 0, shown.height());
        return zqPoint{int(int64_t(x) * width / shown.width()),
                       int(int64_t(y) * height / shown.height())};
    };
    lt = toFrame(label->startPoint);
    rb = toFrame(label->endPoint);
    return true;
}

void MainWindow::UpdateResolutions()
{
    resolutions->list(fd, g_Config.width, g_Config.height);
}

// Only the user's choices reach here: the program edits the box with its
// signals blocked.
void MainWindow::FblChanage(int)
{
    const QStringList parts = ui->cbFbl->currentText().split('*', Qt::KeepEmptyParts);
    g_Config.width = parts.first().toInt();
    g_Config.height = parts.last().toInt();
    ShowVideo(cameraIndex, false);
}
