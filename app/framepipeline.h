// The preview's work on each frame, apart from the window's widgets: the
// camera's frame read as large as the preview needs, greyed and turned as
// set, searched for the page or the open book the crop mode asks for,
// watched for automatic capture, captured on a worker when asked, and
// outlined.  The window says what its widgets hold and shows what a tick
// hands back.
#ifndef ZQVIDEO_FRAMEPIPELINE_H
#define ZQVIDEO_FRAMEPIPELINE_H

#include "capturejob.h"
#include "liveframe.h"

#include <zqscan/zq_opencv.h>

#include <QObject>

#include <functional>

class AutoCapture;
class BookCapture;
class CaptureQueue;

// Counter-clockwise quarter turns for a rotation index (Rotation); none
// for an index outside the list.
int quarterTurns(int rotation);

class FramePipeline : public QObject
{
    Q_OBJECT

  public:
    // The drag of the manual crop in the pixels of a width x height frame;
    // false while there is none.
    using ManualRectangle =
        std::function<bool(int width, int height, zqPoint &topLeft, zqPoint &bottomRight)>;

    // What the window's widgets hold for one tick.
    struct Settings {
        int denominator; // the preview's reduction of the camera's frame
        int cropMode;    // CropMode index
    };

    // A tick's frame, turned and drawn into: the library's preview
    // picture, good until the next read; null when no frame came.
    struct Frame {
        unsigned char *rgb = nullptr;
        int width = 0;
        int height = 0;
    };

    // autoCapture and bookCapture are the window's switches, asked by each
    // tick; they outlive the pipeline.
    FramePipeline(AutoCapture *autoCapture, BookCapture *bookCapture,
                  ManualRectangle manualRectangle, QObject *parent);

    // One tick on the open camera fd.  captureRequested is the window's
    // request, which the capture button raises and automatic capture may
    // raise here: a tick that searched its frame takes it, one without a
    // frame drops it once the picture shown is no longer live.
    Frame tick(int fd, const Settings &settings, bool &captureRequested);

    // A picture is live while the camera's last frame is recent: a capture
    // needs one.
    bool live() const { return liveFrame_.live(); }
    // The camera's picture is gone from the preview (closed or lost).
    void pictureLost() { liveFrame_.lost(); }

    // Waits for every capture asked for and reports each.
    void finishCaptures();

  signals:
    // This tick brought a frame, or none: what CameraWatch follows.
    void frameArrived();
    void noFrame();
    // A capture's pages were written, or one of them could not be.
    void captured(const CaptureJob::Outcome &outcome);

  private:
    void searchAndCapture(int fd, const Frame &frame, const Settings &settings,
                          bool &captureRequested);
    bool recordCropQuadrilateral(const Frame &frame, const Settings &settings);
    bool lookingForBooks(int cropMode) const;
    bool foundOutline(int cropMode, zqPoint corners[4]) const;
    void drawOutline(const Frame &frame, int cropMode) const;
    void startCapture(int fd, const Frame &frame, int cropMode, bool outlined);
    CaptureJob captureJob(int fd, const Frame &frame, int cropMode, bool outlined) const;
    void reportCapture(const CaptureJob::Outcome &outcome);

    AutoCapture *autoCapture_;
    BookCapture *bookCapture_;
    ManualRectangle manualRectangle_;
    CaptureQueue *captures_;
    LiveFrame liveFrame_;
};

#endif
