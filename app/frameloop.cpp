// Opening a camera, the frame loop with its capture, and the resolution
// list that follows the open camera.
#include "mainwindow.h"

#include "autocapture.h"
#include "bookcapture.h"
#include "camlabel.h"
#include "cameraswitches.h"
#include "camerawatch.h"
#include "capturequeue.h"
#include "config.h"
#include "liveview.h"
#include "savefailure.h"
#include "savedir.h"
#include "ui_mainwindow.h"

#include <zqscan/zq_opencv.h>
#include <zqscan/zq_scanner.h>

#include <QFile>
#include <QFontMetrics>
#include <QSignalBlocker>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace
{

// A black 640 x 480 frame (with room to spare) for the time without one.
unsigned char blank[1440000];

// Counter-clockwise quarter turns for each rotation index: none, right,
// left, upside down.
constexpr int kQuarterTurns[] = {0, 3, 1, 2};

constexpr unsigned kCameraSettleMicroseconds = 500000;

// How far, in the shown frame's pixels, a page's edges may lie from the
// outline found there: a capture measures them again on the whole frame.
constexpr double kOutlineReach = 5;

// Room round a page's thumbnail and name in the page list.
constexpr int kThumbnailMargin = 8;

// Slider positions are control values / 512; values this low (and the -1
// of a failed read) put the slider in the middle.
constexpr int kLowestPlacedControl = 0x1600;
constexpr int kSliderMiddle = 64;

} // namespace

QString resolutionEntry(int width, int height)
{
    char text[12];
    snprintf(text, sizeof(text), "%d*%d", width, height);
    return QString::fromLatin1(text);
}

void MainWindow::setUpCameraWatch()
{
    cameraWatch = new CameraWatch(statusBar(), this);
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
    liveFrame.lost();
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
    liveFrame.lost();
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
    const QString entry = resolutionEntry(w, h);
    if (prune)
        keepOnlyResolution(entry);
    selectResolution(entry);
    printf("w=%d, h=%d\n", w, h);
    fflush(stdout);
    placeSlider(ui->slider_br, zq_scanner_get_brightness(fd));
    placeSlider(ui->slider_br_2, zq_scanner_get_contrast(fd));
    placeSlider(ui->slider_br_3, zq_scanner_get_saturation(fd));
}

void MainWindow::placeSlider(QSlider *slider, int controlValue)
{
    slider->setValue(controlValue < kLowestPlacedControl ? kSliderMiddle : controlValue >> 9);
}

// Each tick works on the frame decoded only as large as the preview needs:
// it is turned, searched, drawn into and shown at that size.  A capture
// takes the whole frame behind it to a worker, with the outline found.
void MainWindow::TimerUpdate()
{
    if (fd < 0)
        return;
    const int denominator = previewDenominator();
    unsigned char *picture = nullptr;
    int w = 0;
    int h = 0;
    // Asked first, so that a camera without frames does not hold the window.
    if (zq_scanner_frame_ready(fd) != 1 ||
        zq_scanner_preview_read(fd, denominator, &picture, &w, &h) != 0) {
        cameraWatch->noFrame();
        if (!liveFrame.live())
            captureRequested = false; // asked of a picture that is no longer shown
        return;
    }
    cameraWatch->frameArrived();
    liveFrame.arrived();
    if (g_Config.color == ColourMode::Grey)
        zq_scanner_picture_gray(picture, w, h);
    rotateFrame(picture, w, h);
    // A capture cutting by the library's records holds them: this tick
    // shows its frame without searching rather than wait, and a capture
    // asked for waits for a tick that searched.
    std::unique_lock<std::mutex> records(libraryRecords(), std::try_to_lock);
    if (records.owns_lock()) {
        const bool outlined = recordCropQuadrilateral(picture, w, h, denominator);
        zqPoint outline[4];
        const bool automaticCrop = ui->cutting->currentIndex() == CropMode::Automatic;
        const bool found = automaticCrop && outlined && foundOutline(outline);
        if (autoCapture->wantsCapture(picture, w, h, automaticCrop, found ? outline : nullptr) &&
            !captures->busy())
            captureRequested = true;
        if (captureRequested)
            startCapture(picture, w, h, outlined);
        if (outlined)
            drawOutline(picture, w, h);
        records.unlock();
    }
    if (!resolutionsListed) {
        UpdateResolutions();
        resolutionsListed = true;
    }
    ShowRGB(picture, w, h);
}

// The largest reduction at which the label still shows the frame at its
// own size; none while the large view is open, which zooms to the
// camera's pixels.
int MainWindow::previewDenominator() const
{
    if (liveView->isVisible())
        return 1;
    const QSize camera(g_Config.width, g_Config.height);
    const bool sideways = quarterTurns() % 2 == 1;
    QSize shown = ui->label_V->pictureSize(sideways ? camera.transposed() : camera);
    if (sideways)
        shown.transpose();
    return zq_scanner_preview_denominator(camera.width(), camera.height(), shown.width(),
                                          shown.height());
}

int MainWindow::quarterTurns() const
{
    const int rota = g_Config.rota;
    return rota < 0 || rota >= int(std::size(kQuarterTurns)) ? 0 : kQuarterTurns[rota];
}

void MainWindow::rotateFrame(unsigned char *picture, int &w, int &h) const
{
    for (int turn = 0; turn < quarterTurns(); ++turn) {
        zq_scanner_picture_rotate_90(picture, w, h);
        std::swap(w, h);
    }
}

// True when the library's record now holds this frame's outline: a record
// left from an earlier frame (or a capture's cut) is never drawn or cut by.
bool MainWindow::recordCropQuadrilateral(unsigned char *picture, int w, int h, int denominator)
{
    switch (ui->cutting->currentIndex()) {
    case CropMode::Automatic:
        if (bookCapture->isOn())
            return bookCapture->find(picture, w, h, denominator);
        return zq_scanner_cutting_edge_auto_reduced(picture, w, h, denominator) == 0;
    case CropMode::Manual: {
        zqPoint lt{0, 0};
        zqPoint rb{0, 0};
        return _getCuttingEdge(w, h, lt, rb) && zq_scanner_cutting_edge_set(&lt, &rb) == 0;
    }
    default:
        return false;
    }
}

void MainWindow::drawOutline(unsigned char *picture, int w, int h)
{
    if (lookingForBooks())
        bookCapture->show(picture, w, h);
    else if (ui->cutting->currentIndex() != CropMode::None)
        zq_scanner_cutting_edge_show(picture, w, h);
}

bool MainWindow::lookingForBooks() const
{
    return ui->cutting->currentIndex() == CropMode::Automatic && bookCapture->isOn();
}

// The corners of the page, or of the open book's pages, found in this
// tick's frame.
bool MainWindow::foundOutline(zqPoint corners[4]) const
{
    if (lookingForBooks())
        return bookCapture->outerCorners(corners);
    CuttingEdgeInfo outline;
    if (zq_scanner_cutting_edge_get(&outline) != 0)
        return false;
    std::copy(outline.point, outline.point + 4, corners);
    return true;
}

void MainWindow::startCapture(unsigned char *picture, int w, int h, bool outlined)
{
    captureRequested = false;
    if (!g_Config.save_dir[0])
        return;
    captures->submit(captureJob(w, h, outlined));
    autoCapture->captureStarted();
    // The preview shows the capture as the page will look.
    if (g_Config.clear_background)
        zq_scanner_clear_background(picture, w, h);
}

// A capture of this tick's frame (shown w x h): its whole frame, the
// settings it was shown with, and where to cut it in the whole frame's
// pixels.  Its files are all named by one time stamp.
CaptureJob MainWindow::captureJob(int w, int h, bool outlined)
{
    CaptureJob job;
    job.frame = HeldFrame::copyFrom(fd, g_Config.width, g_Config.height);
    job.grey = g_Config.color == ColourMode::Grey;
    job.quarterTurns = quarterTurns();
    job.clearBackground = g_Config.clear_background;
    job.directory = g_Config.save_dir;
    job.stamp = _get_file_time_str();
    job.tiff = g_Config.picture_format == PictureFormat::Tiff;
    job.quality = writerQuality(g_Config.quality);
    const QSize whole = job.quarterTurns % 2 ? QSize(g_Config.height, g_Config.width)
                                             : QSize(g_Config.width, g_Config.height);
    zqPointF shown[4];
    if (lookingForBooks()) {
        job.cut = CaptureJob::Cut::Book;
        job.rightPageFirst = bookCapture->rightPageFirst();
    } else if (ui->cutting->currentIndex() == CropMode::Manual) {
        // Taken from the drag at the whole frame's size, as exact as the
        // label allows.
        if (_getCuttingEdge(whole.width(), whole.height(), job.topLeft, job.bottomRight))
            job.cut = CaptureJob::Cut::Rectangle;
    } else if (ui->cutting->currentIndex() == CropMode::Automatic && outlined &&
               zq_scanner_cutting_edge_quad(shown) == 0) {
        job.cut = CaptureJob::Cut::Page;
        const double sx = double(whole.width()) / w;
        const double sy = double(whole.height()) / h;
        for (size_t i = 0; i < 4; ++i) // from the centres of the shown pixels
            job.outline[i] = {(shown[i].x + 0.5) * sx - 0.5, (shown[i].y + 0.5) * sy - 0.5};
        job.reach = int(std::ceil(kOutlineReach * std::max(sx, 1.0)));
    }
    return job;
}

// A capture's pages go into the page list and, while one is being
// collected, into the PDF, in the order written; a file that could not be
// written ends the capture, and it has failed.
void MainWindow::captureWritten(const CaptureJob::Outcome &outcome)
{
    for (const CaptureJob::Outcome::Written &page : outcome.written) {
        saveFailure->clear();
        listPage(page.path, page.name);
        statusBar()->showMessage(tr("已保存 %1").arg(page.name), kStatusShortMs);
        if (pdfRecording) {
            pdfImageList.emplace_back(page.path.constData());
            showPdfCount();
            prepareForSearch(page.path.constData());
        }
    }
    if (outcome.error) {
        saveFailure->report(outcome.failedName, outcome.error);
        autoCapture->captureFailed();
    } else {
        autoCapture->pageCaptured();
    }
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
    auto *item = new QListWidgetItem(QString::fromUtf8(name ? name : ""));
    item->setData(Qt::UserRole, QFile::encodeName(path));
    // The room the page takes with its thumbnail, from the start: the list
    // does not move the pages after one whose thumbnail arrives later (the
    // two pages of a spread come in one tick).
    const QFontMetrics text = ui->listWidget->fontMetrics();
    const QSize thumbnail = ui->listWidget->iconSize();
    item->setSizeHint(QSize(std::max(text.horizontalAdvance(item->text()), thumbnail.width()),
                            thumbnail.height() + text.height()) +
                      QSize(kThumbnailMargin, kThumbnailMargin));
    ui->listWidget->insertItem(ui->listWidget->count(), item);
    showThumbnail(item, path);
    ui->listWidget->scrollToItem(item);
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

// ---- resolution list ---------------------------------------------------------
// Only the user's choices may reach FblChanage: every edit here is made with
// the box's signals blocked.

bool MainWindow::hasResolution(const QString &entry) const
{
    return ui->cbFbl->findText(entry, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0;
}

void MainWindow::setFirstResolution()
{
    const QString entry = resolutionEntry(g_Config.width, g_Config.height);
    const QSignalBlocker quiet(ui->cbFbl);
    if (!hasResolution(entry)) {
        ui->cbFbl->clear();
        ui->cbFbl->addItem(entry);
    }
    ui->cbFbl->setCurrentText(entry);
}

void MainWindow::keepOnlyResolution(const QString &entry)
{
    const QSignalBlocker quiet(ui->cbFbl);
    if (!hasResolution(entry))
        ui->cbFbl->addItem(entry);
    for (int i = ui->cbFbl->count() - 1; i >= 0; --i) {
        if (ui->cbFbl->itemText(i) != entry)
            ui->cbFbl->removeItem(i);
    }
}

void MainWindow::selectResolution(const QString &entry)
{
    const QSignalBlocker quiet(ui->cbFbl);
    ui->cbFbl->setCurrentText(entry);
}

void MainWindow::UpdateResolutions()
{
    const QString current = resolutionEntry(g_Config.width, g_Config.height);
    keepOnlyResolution(current);
    std::vector<char> list(ZQ_RESOLUTION_LIST_MAX, '\0');
    zq_scanner_resolution_dump(fd, list.data());
    list.back() = '\0';
    const QSignalBlocker quiet(ui->cbFbl);
    for (const QString &entry : QString::fromLatin1(list.data()).split(',', Qt::SkipEmptyParts)) {
        if (!hasResolution(entry))
            ui->cbFbl->addItem(entry);
    }
    ui->cbFbl->setCurrentText(current);
}

void MainWindow::FblChanage(int)
{
    const QStringList parts = ui->cbFbl->currentText().split('*', Qt::KeepEmptyParts);
    g_Config.width = parts.first().toInt();
    g_Config.height = parts.last().toInt();
    ShowVideo(cameraIndex, false);
}
