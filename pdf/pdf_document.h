// The PDF being composed: one page per picture, the picture filling the
// page (with any ink layer over it), the page sized as a PageSizing says.
#ifndef ZQPDF_PDF_DOCUMENT_H
#define ZQPDF_PDF_DOCUMENT_H

#include "compose_error.h"
#include "page_image.h"

#include <qpdf/QPDF.hh>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

namespace zqpdf
{

// A page size in points.
struct PageSize {
    double width;
    double height;
};

// How large a picture's page is: its pixels at a fixed resolution, or as
// large as fits the paper, turned to the picture's shape.
struct PageSizing {
    int dpi = 0; // 0: fit the paper
    PageSize paper{};

    PageSize pageFor(int pixelWidth, int pixelHeight) const;
    // The picture's pixels per inch on its page.
    double pixelsPerInch(int pixelWidth, int pixelHeight) const;
};

// The paper of the LC_PAPER category of the current locale (A4 where the
// locale does not say otherwise).
PageSize localePaper();

class PdfDocument
{
  public:
    explicit PdfDocument(const PageSizing &sizing);

    // The page's invisible text, asked for when the PDF is written: a
    // content stream fragment in picture pixels (see text_layer.h).
    // Throws ComposeError.
    using TextLayer = std::function<std::string()>;

    // A page without a text layer when `text` is empty.
    void addPage(const PageLayers &layers, TextLayer text = {});
    // Writes the whole PDF; the image streams are produced only now.  A
    // picture that fails then is reported as its own ComposeError.
    void write(std::FILE *file, const std::string &description);

  private:
    QPDFObjectHandle textStream(const PageSize &size, const PageLayers &layers, TextLayer text);

    PageSizing sizing_;
    QPDF pdf_;
    QPDFObjectHandle font_; // the glyphless font, made for the first text layer
    // The writer wraps what a stream's producer throws in its own error;
    // the picture's failure is kept here to be reported as it was.
    std::shared_ptr<std::optional<ComposeError>> streamError_ =
        std::make_shared<std::optional<ComposeError>>();
};

} // namespace zqpdf

#endif
