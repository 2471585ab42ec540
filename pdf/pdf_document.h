// The PDF being composed: one page per picture, the picture filling the
// page, the page as large as the picture at ZQPDF_RESOLUTION_DPI.
#ifndef ZQPDF_PDF_DOCUMENT_H
#define ZQPDF_PDF_DOCUMENT_H

#include "compose_error.h"
#include "page_image.h"

#include <qpdf/QPDF.hh>

#include <cstdio>
#include <memory>
#include <optional>

namespace zqpdf
{

class PdfDocument
{
  public:
    PdfDocument();

    void addPage(const PageImage &image);
    // Writes the whole PDF; the image streams are produced only now.  A
    // picture that fails then is reported as its own ComposeError.
    void write(std::FILE *file, const std::string &description);

  private:
    QPDF pdf_;
    // The writer wraps what a stream's producer throws in its own error;
    // the picture's failure is kept here to be reported as it was.
    std::shared_ptr<std::optional<ComposeError>> streamError_ =
        std::make_shared<std::optional<ComposeError>>();
};

} // namespace zqpdf

#endif
