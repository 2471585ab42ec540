#include "pdf_output.h"

#include <zqscan/zq_pdf.h>

namespace zqpage
{

bool setUpPdf(const Options &options, std::string &error)
{
    const int encoding = options.compact ? ZQ_PDF_ENCODING_COMPACT : ZQ_PDF_ENCODING_ORIGINAL;
    // The library is loaded on its first call; the text layer's languages
    // are loaded, and a missing model found, as they are set.
    if (zq_pdf_set_page_encoding(encoding) == 0 &&
        zq_pdf_set_text_layer(options.ocrLanguages.c_str()) == 0)
        return true;
    error = zq_pdf_error();
    return false;
}

bool composePdf(const std::vector<std::string> &pages, const std::string &path, std::string &error)
{
    std::vector<const char *> list;
    for (const std::string &page : pages)
        list.push_back(page.c_str());
    if (zq_create_pdf(list.data(), int(list.size()), path.c_str()) == 0)
        return true;
    error = zq_pdf_error();
    return false;
}

} // namespace zqpage
