#include "framepipeline.h"

#include "autocapture.h"
#include "bookcapture.h"
#include "capturequeue.h"
#include "config.h"
#include "savedir.h"

#include <zqscan/zq_scanner.h>

#include <QSize>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <mutex>
#include <utility>

namespace
{

// Counter-clockwise quarter turns for each rotation index: none, right,
// left, upside down.
constexpr int kQuarterTurns[] = {0, 3, 1, 2};

// How far, in the shown frame's pixels, a page's edges may lie from the
// outline found there: a capture measures them again on the whole frame.
constexpr double kOutlineReach = 5;

void turn(FramePipeline::Frame &frame, int quarterTurns)
{
    for (int i = 0; i < quarterTurns; ++i) {
        zq_scanner_picture_rotate_90(frame.rgb, frame.width, frame.height);
        std::swap(frame.width, frame.height);
    }
}

} // namespace

int quarterTurns(int rotation)
{
    return rotation < 0 || rotation >= int(std::size(kQuarterTurns)) ? 0 : kQuarterTurns[rotation];
}

FramePipeline::FramePipeline(AutoCapture *autoCapture, BookCapture *bookCapture,
                             ManualRectangle manualRectangle, QObject *parent)
    : QObject(parent), autoCapture_(autoCapture), bookCapture_(bookCapture),
      manualRectangle_(std::move(manualRectangle)), captures_(new CaptureQueue(this))
{
    connect(captures_, &CaptureQueue::captured, this, &FramePipeline::reportCapture);
}

// Each tick works on the frame decoded only as large as the preview needs:
// it is turned, searched, drawn into and shown at that size.  A capture
// takes the whole frame behind it to a worker, with the outline found.
FramePipeline::Frame FramePipeline::tick(int fd, const Settings &settings, bool &captureRequested)
{
    Frame frame;
    // Asked first, so that a camera without frames does not hold the window.
    if (zq_scanner_frame_ready(fd) != 1 ||
        zq_scanner_preview_read(fd, settings.denominator, &frame.rgb, &frame.width,
                                &frame.height) != 0) {
        emit noFrame();
        if (!liveFrame_.live())
            captureRequested = false; // asked of a picture that is no longer shown
        return {};
    }
    emit frameArrived();
    liveFrame_.arrived();
    if (g_Config.color == ColourMode::Grey)
        zq_scanner_picture_gray(frame.rgb, frame.width, frame.height);
    turn(frame, quarterTurns(g_Config.rota));
    // A capture cutting by the library's records holds them: this tick
    // shows its frame without searching rather than wait, and a capture
    // asked for waits for a tick that searched.
    const std::unique_lock<std::mutex> records(libraryRecords(), std::try_to_lock);
    if (records.owns_lock())
        searchAndCapture(fd, frame, settings, captureRequested);
    return frame;
}

void FramePipeline::searchAndCapture(int fd, const Frame &frame, const Settings &settings,
                                     bool &captureRequested)
{
    const bool outlined = recordCropQuadrilateral(frame, settings);
    zqPoint outline[4];
    const bool automaticCrop = settings.cropMode == CropMode::Automatic;
    const bool found = automaticCrop && outlined && foundOutline(settings.cropMode, outline);
    if (autoCapture_->wantsCapture(frame.rgb, frame.width, frame.height, automaticCrop,
                                   found ? outline : nullptr) &&
        !captures_->busy())
        captureRequested = true;
    if (std::exchange(captureRequested, false))
        startCapture(fd, frame, settings.cropMode, outlined);
    if (outlined)
        drawOutline(frame, settings.cropMode);
}

// True when the library's record now holds this frame's outline: a record
// left from an earlier frame (or a capture's cut) is never drawn or cut by.
bool FramePipeline::recordCropQuadrilateral(const Frame &frame, const Settings &settings)
{
    switch (settings.cropMode) {
    case CropMode::Automatic:
        if (bookCapture_->isOn())
            return bookCapture_->find(frame.rgb, frame.width, frame.height, settings.denominator);
        return zq_scanner_cutting_edge_auto_reduced(frame.rgb, frame.width, frame.height,
                                                    settings.denominator) == 0;
    case CropMode::Manual: {
        zqPoint lt{0, 0};
        zqPoint rb{0, 0};
        return manualRectangle_(frame.width, frame.height, lt, rb) &&
               zq_scanner_cutting_edge_set(&lt, &rb) == 0;
    }
    default:
        return false;
    }
}

bool FramePipeline::lookingForBooks(int cropMode) const
{
    return cropMode == CropMode::Automatic && bookCapture_->isOn();
}

// The corners of the page, or of the open book's pages, found in this
// tick's frame.
bool FramePipeline::foundOutline(int cropMode, zqPoint corners[4]) const
{
    if (lookingForBooks(cropMode))
        return bookCapture_->outerCorners(corners);
    CuttingEdgeInfo outline;
    if (zq_scanner_cutting_edge_get(&outline) != 0)
        return false;
    std::copy(outline.point, outline.point + 4, corners);
    return true;
}

void FramePipeline::drawOutline(const Frame &frame, int cropMode) const
{
    if (lookingForBooks(cropMode))
        bookCapture_->show(frame.rgb, frame.width, frame.height);
    else if (cropMode != CropMode::None)
        zq_scanner_cutting_edge_show(frame.rgb, frame.width, frame.height);
}

void FramePipeline::startCapture(int fd, const Frame &frame, int cropMode, bool outlined)
{
    if (!g_Config.save_dir[0])
        return;
    captures_->submit(captureJob(fd, frame, cropMode, outlined));
    autoCapture_->captureStarted();
    // The preview shows the capture as the page will look.
    if (g_Config.clear_background)
        zq_scanner_clear_background(frame.rgb, frame.width, frame.height);
}

// A capture of this tick's frame: its whole frame, the settings it was
// shown with, and where to cut it in the whole frame's pixels.  Its files
// are all named by one time stamp.
CaptureJob FramePipeline::captureJob(int fd, const Frame &frame, int cropMode, bool outlined) const
{
    CaptureJob job;
    job.frame = HeldFrame::copyFrom(fd, g_Config.width, g_Config.height);
    job.grey = g_Config.color == ColourMode::Grey;
    job.quarterTurns = quarterTurns(g_Config.rota);
    job.clearBackground = g_Config.clear_background;
    job.directory = g_Config.save_dir;
    job.stamp = _get_file_time_str();
    job.tiff = g_Config.picture_format == PictureFormat::Tiff;
    job.quality = writerQuality(g_Config.quality);
    const QSize whole = job.quarterTurns % 2 ? QSize(g_Config.height, g_Config.width)
                                             : QSize(g_Config.width, g_Config.height);
    zqPointF shown[4];
    if (lookingForBooks(cropMode)) {
        job.cut = CaptureJob::Cut::Book;
        job.rightPageFirst = bookCapture_->rightPageFirst();
    } else if (cropMode == CropMode::Manual) {
        // Taken from the drag at the whole frame's size, as exact as the
        // label allows.
        if (manualRectangle_(whole.width(), whole.height(), job.topLeft, job.bottomRight))
            job.cut = CaptureJob::Cut::Rectangle;
    } else if (cropMode == CropMode::Automatic && outlined &&
               zq_scanner_cutting_edge_quad(shown) == 0) {
        job.cut = CaptureJob::Cut::Page;
        const double sx = double(whole.width()) / frame.width;
        const double sy = double(whole.height()) / frame.height;
        for (size_t i = 0; i < 4; ++i) // from the centres of the shown pixels
            job.outline[i] = {(shown[i].x + 0.5) * sx - 0.5, (shown[i].y + 0.5) * sy - 0.5};
        job.reach = int(std::ceil(kOutlineReach * std::max(sx, 1.0)));
    }
    return job;
}

void FramePipeline::finishCaptures()
{
    captures_->finish();
}

// The window lists the pages first; the stillness watch then learns
// whether the page it took is written or is to be tried again.
void FramePipeline::reportCapture(const CaptureJob::Outcome &outcome)
{
    emit captured(outcome);
    if (outcome.error)
        autoCapture_->captureFailed();
    else
        autoCapture_->pageCaptured();
}
