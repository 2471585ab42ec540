// The text layer's recognition: which languages it reads, and the pages
// recognised ahead of composition on one worker thread of low priority,
// so that a program showing a live picture keeps its processor.
#ifndef ZQPDF_TEXT_RECOGNITION_H
#define ZQPDF_TEXT_RECOGNITION_H

#include "prepared_pages.h"
#include "recogniser.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace zqpdf
{

class TextRecognition
{
  public:
    // Results kept for pages recognised ahead: their text is small (some
    // kilobytes a page), so a long collection of pages fits.
    static constexpr size_t kKeptPages = 200;

    static TextRecognition &instance();

    // "" turns the text layer off and forgets what was recognised.  A
    // language that cannot be loaded throws ComposeError and leaves the
    // setting as it was.
    void setLanguages(const std::string &languages);
    std::string languages() const;

    // Queues the page unless its words are known for the file as it is
    // now.  ZQPDF_PAGE_PENDING while queued or being recognised; else the
    // result's code (ZQPDF_OK, or a failure with its reason in `why`).
    zqpdf_errno prepare(const std::string &path, std::string &why);

    // The page's text layer for the file as it is now: the one recognised
    // ahead, the worker's once it is done with the page, or recognised on
    // the calling thread.  Throws ComposeError.
    std::string textLayer(const std::string &path);

  private:
    TextRecognition() = default;
    ~TextRecognition();

    void startWorker();
    void work();
    PageText recognise(const std::string &path, const std::string &languages,
                       const std::atomic<bool> *cancel);

    mutable std::mutex mutex_;
    std::condition_variable queued_;   // the worker waits for a page
    std::condition_variable finished_; // composition waits for the worker
    std::string languages_;
    std::deque<std::string> queue_;
    std::string current_; // the page the worker is on, empty when idle
    PreparedPages prepared_{kKeptPages};
    std::unique_ptr<Recogniser> spare_; // an idle engine for languages_
    std::atomic<bool> cancel_{false};   // the worker's page is not wanted any more
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace zqpdf

#endif
