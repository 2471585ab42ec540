#include "pdf_composer.h"

#include "atomic_file.h"

#include <zqscan/zq_pdf.h>

#include <QFile>

#include <chrono>
#include <cerrno>
#include <cstring>

namespace
{

// How often the library is asked about the pages still being recognised.
constexpr std::chrono::milliseconds kPollInterval(100);

} // namespace

PdfComposer::PdfComposer(QObject *parent) : QObject(parent) {}

PdfComposer::~PdfComposer()
{
    quitting_ = true;
    if (thread_.joinable())
        thread_.join();
}

void PdfComposer::start(std::vector<std::string> pages, std::string output, bool searchable)
{
    if (thread_.joinable())
        thread_.join(); // it has said it finished
    cancelled_ = false;
    thread_ = std::thread([this, pages = std::move(pages), output = std::move(output), searchable] {
        run(pages, output, searchable);
    });
}

void PdfComposer::run(const std::vector<std::string> &pages, const std::string &output,
                      bool searchable)
{
    if (searchable && !waitForWords(pages)) {
        if (!quitting_)
            emit cancelled();
        return;
    }
    std::vector<const char *> list;
    for (const std::string &page : pages)
        list.push_back(page.c_str());
    // Made under a name of its own: a cancel that comes while the PDF is
    // written must not cost the file the PDF was to replace.
    zq::StagedFile staged(output);
    const int result =
        zq_create_pdf(list.data(), int(list.size()), staged.temporary_path().c_str());
    if (cancelled_) {
        emit cancelled();
        return;
    }
    if (result != 0) {
        // The library keeps its error text per thread: read it here.  It
        // names the file by the name the PDF was made under.
        emit finished(result, QString::fromLocal8Bit(zq_pdf_error())
                                  .replace(QFile::decodeName(staged.temporary_path().c_str()),
                                           QFile::decodeName(output.c_str())));
        return;
    }
    if (!staged.commit()) {
        emit finished(-1, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    emit finished(0, QString());
}

// Asks for each page until none is pending.  A page the library cannot
// prepare counts as done: the composition reports its failure.  False when
// cancelled or quitting.
bool PdfComposer::waitForWords(const std::vector<std::string> &pages)
{
    std::vector<bool> done(pages.size(), false);
    int ready = 0;
    int reported = -1;
    while (!cancelled_ && !quitting_) {
        for (size_t i = 0; i < pages.size(); ++i) {
            if (!done[i] && zq_pdf_prepare_page(pages[i].c_str()) != ZQ_PDF_PAGE_PENDING) {
                done[i] = true;
                ++ready;
            }
        }
        if (ready == int(pages.size()))
            return true;
        if (ready != reported)
            emit recognising(ready, int(pages.size()));
        reported = ready;
        std::this_thread::sleep_for(kPollInterval);
    }
    return false;
}
