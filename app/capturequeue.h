// Captures at work beside the preview: one at a time and in the order they
// were asked, so that pages are written and listed in the order taken.
#ifndef ZQVIDEO_CAPTUREQUEUE_H
#define ZQVIDEO_CAPTUREQUEUE_H

#include "capturejob.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>

#include <deque>

class CaptureQueue : public QObject
{
    Q_OBJECT

  public:
    explicit CaptureQueue(QObject *parent);
    // Waits for the captures still at work: a page asked for is never lost.
    ~CaptureQueue() override;

    void submit(CaptureJob job);
    // A capture was asked for and has not yet been reported.
    bool busy() const { return !pending_.empty(); }
    // Waits for every capture asked for and reports each.
    void finish();

  signals:
    void captured(const CaptureJob::Outcome &outcome);

  private:
    void reportFinished();

    QThreadPool worker_;
    std::deque<QFuture<CaptureJob::Outcome>> pending_;
};

#endif
