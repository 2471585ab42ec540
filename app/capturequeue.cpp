#include "capturequeue.h"

#include <QtConcurrent>

#include <utility>

CaptureQueue::CaptureQueue(QObject *parent) : QObject(parent)
{
    worker_.setMaxThreadCount(1);
}

CaptureQueue::~CaptureQueue()
{
    worker_.waitForDone();
}

void CaptureQueue::submit(CaptureJob job)
{
    pending_.push_back(QtConcurrent::run(&worker_, [job = std::move(job)] { return job.run(); }));
    auto *watcher = new QFutureWatcher<CaptureJob::Outcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        reportFinished();
    });
    watcher->setFuture(pending_.back());
}

void CaptureQueue::finish()
{
    for (QFuture<CaptureJob::Outcome> &capture : pending_)
        capture.waitForFinished();
    reportFinished();
}

// Reports from the front, so that a capture finished early waits for the
// ones asked for before it.
void CaptureQueue::reportFinished()
{
    while (!pending_.empty() && pending_.front().isFinished()) {
        const CaptureJob::Outcome outcome = pending_.front().result();
        pending_.pop_front();
        emit captured(outcome);
    }
}
