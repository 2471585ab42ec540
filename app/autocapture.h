// Automatic capture in the window: the switch in the "拍摄" menu, kept in
// the program's own settings file; the stillness watch, fed with every
// frame while the crop mode is automatic; and a line in the status bar
// that says what it waits for.
#ifndef ZQVIDEO_AUTOCAPTURE_H
#define ZQVIDEO_AUTOCAPTURE_H

#include "settings.h"
#include "stillness.h"

#include <QObject>

#include <functional>

class QAction;
class QLabel;
class QStatusBar;

class AutoCapture : public QObject
{
    Q_OBJECT

  public:
    // Milliseconds on a monotonic clock.
    using Clock = std::function<qint64()>;

    // toggle is the menu's checkable switch; its state is read from
    // settings here and written back whenever the user flips it.  Without
    // settings, the process's own files keep it.
    AutoCapture(QAction *toggle, QStatusBar *statusBar, QObject *parent,
                Settings settings = Settings());

    // Tests run the watch on a clock of their own.
    void setClock(Clock clock) { clock_ = std::move(clock); }

    // Looks at this tick's frame (turned, not yet drawn into) and says
    // whether to capture it now.  automaticCrop says whether the frame was
    // searched; outline holds the four corners (in any order) of what the
    // search found in it, or is null when it found nothing.
    bool wantsCapture(const unsigned char *rgb, int width, int height, bool automaticCrop,
                      const zqPoint *outline);
    // Any capture of this tick's frame (also by key or button) takes the
    // page in view, so that it is not taken again while it is written.
    void captureStarted();
    // The capture's pages were written.
    void pageCaptured();
    // The capture could not be written: the page is not taken after all,
    // and is tried again after a pause that doubles with each failure,
    // until it is written or taken away.
    void captureFailed();
    // In book mode the pages change in place as they are turned, and are
    // told apart by their words.
    void watchTurnedPages(bool on) { detector_.setPagesTurnInPlace(on); }
    // No frames come: there is nothing to wait for until they do.
    void pictureStopped() { showState(QString()); }

  private:
    void switchedByUser(bool on);
    void showState(const QString &state);

    QAction *toggle_;
    const Settings settings_;
    QStatusBar *statusBar_;
    QLabel *state_;
    StillnessDetector detector_;
    Clock clock_;
    bool watching_ = false; // this tick's frame went through the watch
    bool marked_ = false;   // the last capture started marked its page taken
    qint64 retryPause_ = 0; // 0 while the last capture was written
    qint64 retryAt_ = 0;
};

#endif
