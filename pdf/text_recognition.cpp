#include "text_recognition.h"

#include "compose_error.h"
#include "text_layer.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <future>

namespace zqpdf
{
namespace
{

// The least priority there is: the worker runs on what others leave.
constexpr int kWorkerNice = 19;

void lowerThisThread()
{
    pthread_setname_np(pthread_self(), "zqpdf-text");
    // Linux gives each thread its own nice value; Tesseract's helper
    // threads, started from this one, inherit it.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kWorkerNice);
}

FileStamp stampOf(const std::string &path)
{
    const std::optional<FileStamp> stamp = FileStamp::of(path);
    if (!stamp)
        throw ComposeError::unreadable(path, errno);
    return *stamp;
}

} // namespace

TextRecognition &TextRecognition::instance()
{
    static TextRecognition recognition;
    return recognition;
}

TextRecognition::~TextRecognition()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        cancel_ = true;
    }
    queued_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void TextRecognition::setLanguages(const std::string &languages)
{
    if (languages == this->languages())
        return;
    // Loading checks that every model is there, before anything changes.
    std::unique_ptr<Recogniser> engine;
    if (!languages.empty())
        engine = std::make_unique<Recogniser>(languages);
    std::lock_guard<std::mutex> lock(mutex_);
    languages_ = languages;
    queue_.clear();
    prepared_.clear();
    spare_ = std::move(engine);
    if (!current_.empty())
        cancel_ = true;
}

std::string TextRecognition::languages() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return languages_;
}

zqpdf_errno TextRecognition::prepare(const std::string &path, std::string &why)
{
    const FileStamp stamp = stampOf(path);
    std::lock_guard<std::mutex> lock(mutex_);
    if (languages_.empty())
        throw ComposeError(ZQPDF_ERR_TEXT_LAYER_OFF, "the text layer is off");
    if (const PageText *known = prepared_.find(path, stamp)) {
        why = known->code == ZQPDF_OK ? std::string() : known->text;
        return known->code;
    }
    if (current_ != path && std::find(queue_.begin(), queue_.end(), path) == queue_.end()) {
        queue_.push_back(path);
        if (!worker_.joinable())
            startWorker();
        queued_.notify_one();
    }
    return ZQPDF_PAGE_PENDING;
}

std::string TextRecognition::textLayer(const std::string &path)
{
    const FileStamp stamp = stampOf(path);
    std::unique_lock<std::mutex> lock(mutex_);
    const PageText *known = nullptr;
    while (!(known = prepared_.find(path, stamp)) && current_ == path)
        finished_.wait(lock);
    PageText result;
    if (known) {
        result = *known;
    } else {
        queue_.erase(std::remove(queue_.begin(), queue_.end(), path), queue_.end());
        const std::string languages = languages_;
        lock.unlock();
        result = recognise(path, languages, nullptr);
        lock.lock();
        if (languages == languages_)
            prepared_.keep(path, stamp, result);
    }
    if (result.code != ZQPDF_OK)
        throw ComposeError(result.code, result.text);
    return result.text;
}

// Returns once the worker runs at its priority: no page is recognised at
// a higher one.
void TextRecognition::startWorker()
{
    std::promise<void> lowered;
    std::future<void> ready = lowered.get_future();
    worker_ = std::thread([this, &lowered] {
        lowerThisThread();
        lowered.set_value();
        work();
    });
    ready.wait();
}

void TextRecognition::work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_)
            return;
        current_ = queue_.front();
        queue_.pop_front();
        cancel_ = false;
        const std::string path = current_;
        const std::string languages = languages_;
        lock.unlock();
        // A page whose file is gone (deleted meanwhile) is not recognised.
        const std::optional<FileStamp> stamp = FileStamp::of(path);
        std::optional<PageText> result;
        try {
            if (stamp)
                result = recognise(path, languages, &cancel_);
        } catch (const Recogniser::Cancelled &) {
        }
        lock.lock();
        current_.clear();
        if (result && languages == languages_)
            prepared_.keep(path, *stamp, std::move(*result));
        finished_.notify_all();
    }
}

// Takes the idle engine if it reads these languages, or loads one, and
// leaves it idle afterwards unless another is.
PageText TextRecognition::recognise(const std::string &path, const std::string &languages,
                                    const std::atomic<bool> *cancel)
{
    PageText text;
    try {
        std::unique_ptr<Recogniser> engine;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (spare_ && spare_->languages() == languages)
                engine = std::move(spare_);
        }
        if (!engine)
            engine = std::make_unique<Recogniser>(languages);
        text.text = textLayerContent(engine->recognise(path, cancel));
        std::lock_guard<std::mutex> lock(mutex_);
        if (!spare_ && languages == languages_)
            spare_ = std::move(engine);
    } catch (const ComposeError &e) {
        text = {e.code(), e.what()};
    } catch (const std::bad_alloc &) {
        text = {ZQPDF_ERR_INTERNAL, "out of memory recognising " + path};
    } catch (const std::exception &e) {
        text = {ZQPDF_ERR_INTERNAL, e.what()};
    }
    return text;
}

} // namespace zqpdf
