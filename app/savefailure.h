// Why the last capture could not be written, kept in the status bar until
// a capture is written again: a full disk is not freed in ten seconds, and
// a message that disappears leaves the user believing the pages are saved.
#ifndef ZQVIDEO_SAVEFAILURE_H
#define ZQVIDEO_SAVEFAILURE_H

#include <QLabel>

class QStatusBar;

class SaveFailure : public QLabel
{
    Q_OBJECT

  public:
    explicit SaveFailure(QStatusBar *statusBar);

    // name could not be written; error is the writer's errno.
    void report(const QString &name, int error);
    void clear();
};

#endif
