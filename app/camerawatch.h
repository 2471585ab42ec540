// Whether the open camera still gives pictures.  The status bar says so
// when frames stop coming and when the camera is unplugged; an unplugged
// camera is watched for until it is plugged in again.
//
// Its node is looked for once a second rather than through inotify on
// /dev: the same call that finds cameras at the start, through the
// library, so a camera counts as back exactly when it could be opened.
#ifndef ZQVIDEO_CAMERAWATCH_H
#define ZQVIDEO_CAMERAWATCH_H

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QLabel;
class QStatusBar;

class CameraWatch : public QObject
{
    Q_OBJECT

  public:
    CameraWatch(QStatusBar *statusBar, QObject *parent);

    // The camera of this index has just been opened.
    void opened(int index);
    // It could not be opened: when it is not plugged in, it is waited for.
    void openFailed(int index);
    // This tick brought a frame, or none.
    void frameArrived();
    void noFrame();

  signals:
    // Frames stopped coming (the preview stands still), or the camera is
    // gone and should be closed.
    void pictureStopped();
    void cameraGone();
    // The camera that was gone is plugged in again.
    void cameraBack(int index);

  private:
    void lookForReturn();
    void waitForReturn();
    void showState(const QString &state);

    QLabel *state_;
    QTimer returnCheck_;
    QElapsedTimer lastFrame_;     // or since the camera was opened
    QElapsedTimer lastLookedFor_; // the node, while frames do not come
    int index_ = 0;
    bool stopped_ = false;
};

#endif
