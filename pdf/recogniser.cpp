#include "recogniser.h"

#include "compose_error.h"
#include "page_image.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cctype>
#include <mutex>

namespace zqpdf
{
namespace
{

// Tesseract's parameters are shared by all engines of the process, and an
// engine sets some of them while it loads.
std::mutex loading;

std::vector<std::string> languageNames(const std::string &languages)
{
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= languages.size()) {
        const size_t end = std::min(languages.find('+', start), languages.size());
        names.push_back(languages.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

bool wellFormed(const std::string &name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '_' || c == '-';
    });
}

// Debian's package for a model: tesseract-ocr-chi-sim for chi_sim.
std::string packageFor(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return c == '_' ? '-' : char(std::tolower(c)); });
    return "tesseract-ocr-" + name;
}

ComposeError missingModel(const std::string &name, const char *folder)
{
    return ComposeError(ZQPDF_ERR_LANGUAGE, "no text recognition model for the language \"" + name +
                                                "\" in " +
                                                (folder ? folder : "Tesseract's data folder") +
                                                " (install " + packageFor(name) + ")");
}

struct PixDeleter {
    void operator()(Pix *pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

PixPtr readPicture(const std::string &path)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { setMsgSeverity(L_SEVERITY_NONE); });
    openPicture(path); // refuses what the composition would refuse, with its reason
    // Read from a descriptor opened the same careful way, not by name again.
    const File file = openPageFile(path);
    PixPtr pix(pixReadStream(file.get(), 0));
    if (!pix)
        throw ComposeError::notPicture(path, "cannot be decoded for text recognition");
    return pix;
}

bool cancelRequested(void *flag, int)
{
    return static_cast<const std::atomic<bool> *>(flag)->load();
}

PixelBox boxAt(const tesseract::ResultIterator &it, tesseract::PageIteratorLevel level)
{
    PixelBox b{};
    it.BoundingBox(level, &b.left, &b.top, &b.right, &b.bottom);
    return b;
}

double baselineSlope(const tesseract::ResultIterator &it)
{
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (!it.Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2) || x2 == x1)
        return 0;
    return double(y2 - y1) / (x2 - x1);
}

std::vector<RecognisedLine> readLines(tesseract::TessBaseAPI &api)
{
    std::vector<RecognisedLine> lines;
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (!it)
        return lines; // nothing on the page
    bool lineStarts = true;
    do {
        lineStarts = lineStarts || it->IsAtBeginningOf(tesseract::RIL_TEXTLINE);
        if (it->Empty(tesseract::RIL_WORD))
            continue;
        std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
        if (!text || !text[0])
            continue;
        if (lineStarts)
            lines.push_back({boxAt(*it, tesseract::RIL_TEXTLINE), baselineSlope(*it), {}});
        lineStarts = false;
        std::vector<RecognisedWord> &words = lines.back().words;
        words.push_back({text.get(), boxAt(*it, tesseract::RIL_WORD),
                         !words.empty() && it->BlanksBeforeWord() > 0});
    } while (it->Next(tesseract::RIL_WORD));
    return lines;
}

} // namespace

Recogniser::Recogniser(const std::string &languages)
    : languages_(languages), api_(std::make_unique<tesseract::TessBaseAPI>())
{
    const std::vector<std::string> wanted = languageNames(languages);
    for (const std::string &name : wanted) {
        if (!wellFormed(name))
            throw ComposeError(ZQPDF_ERR_LANGUAGE,
                               "\"" + languages +
                                   "\" is not a list of languages such as chi_sim+eng");
    }
    std::lock_guard<std::mutex> lock(loading);
    api_->SetVariable("debug_file", "/dev/null"); // its progress notes are not ours to print
    const int failed = api_->Init(nullptr, languages.c_str(), tesseract::OEM_LSTM_ONLY);
    // A missing first language fails the start; a missing later one is left out.
    if (failed)
        throw missingModel(wanted.front(), api_->GetDatapath());
    std::vector<std::string> loaded;
    api_->GetLoadedLanguagesAsVector(&loaded);
    for (const std::string &name : wanted) {
        if (std::find(loaded.begin(), loaded.end(), name) == loaded.end())
            throw missingModel(name, api_->GetDatapath());
    }
}

Recogniser::~Recogniser() = default;

RecognisedPage Recogniser::recognise(const std::string &path, const std::atomic<bool> *cancel)
{
    const PixPtr pix = readPicture(path);
    api_->SetImage(pix.get());
    tesseract::ETEXT_DESC monitor;
    if (cancel) {
        monitor.cancel = cancelRequested;
        monitor.cancel_this = const_cast<std::atomic<bool> *>(cancel);
    }
    const int failed = api_->Recognize(&monitor);
    if (cancel && cancel->load()) {
        api_->Clear();
        throw Cancelled{};
    }
    if (failed) {
        api_->Clear();
        throw ComposeError(ZQPDF_ERR_INTERNAL, "text recognition failed on " + path);
    }
    RecognisedPage page{int(pixGetWidth(pix.get())), int(pixGetHeight(pix.get())),
                        readLines(*api_)};
    api_->Clear();
    return page;
}

} // namespace zqpdf
