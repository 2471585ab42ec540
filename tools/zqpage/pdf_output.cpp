#include "pdf_output.h"

#include <zqscan/zq_pdf.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace zqpage
{

bool setUpPdf(const Options &options, std::string &error)
{
    // Only what is asked for is set, so that a library older than compact
    // pages or the text layer still composes.  The text layer's languages
    // are loaded, and a missing model found, as they are set.
    const bool ready =
        (!options.compact || zq_pdf_set_page_encoding(ZQ_PDF_ENCODING_COMPACT) == 0) &&
        (options.ocrLanguages.empty() || zq_pdf_set_text_layer(options.ocrLanguages.c_str()) == 0);
    if (!ready)
        error = zq_pdf_error();
    return ready;
}

void prepareText(const Options &options, const std::string &page)
{
    // A page it cannot read fails the composition, which says why.
    if (!options.pdf.empty() && !options.ocrLanguages.empty())
        zq_pdf_prepare_page(page.c_str());
}

namespace
{

// Asks for each page until none is pending; a page the library cannot
// prepare counts as done, and the composition says why.
void waitForText(const std::vector<std::string> &pages)
{
    const bool counting = isatty(STDERR_FILENO);
    std::vector<bool> done(pages.size(), false);
    size_t ready = 0;
    for (;;) {
        for (size_t i = 0; i < pages.size(); ++i) {
            if (!done[i] && zq_pdf_prepare_page(pages[i].c_str()) != ZQ_PDF_PAGE_PENDING) {
                done[i] = true;
                ++ready;
            }
        }
        if (counting)
            std::fprintf(stderr, "\rzqpage: words read on %zu of %zu pages", ready, pages.size());
        if (ready == pages.size())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (counting)
        std::fputc('\n', stderr);
}

} // namespace

bool composePdf(const Options &options, const std::vector<std::string> &pages,
                const std::string &path, std::string &error)
{
    if (!options.ocrLanguages.empty())
        waitForText(pages);
    std::vector<const char *> list;
    for (const std::string &page : pages)
        list.push_back(page.c_str());
    const bool composed = zq_create_pdf(list.data(), int(list.size()), path.c_str()) == 0;
    if (!composed)
        error = zq_pdf_error();
    // The recognition models go before the program ends, not in its exit.
    if (!options.ocrLanguages.empty())
        zq_pdf_set_text_layer(nullptr);
    return composed;
}

} // namespace zqpage
