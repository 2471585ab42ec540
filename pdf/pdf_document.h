// The PDF being composed: one page per picture, the picture filling the
// page, the page as large as the picture at ZQPDF_RESOLUTION_DPI.
#ifndef ZQPDF_PDF_DOCUMENT_H
#define ZQPDF_PDF_DOCUMENT_H

#include "page_image.h"

#include <qpdf/QPDF.hh>

#include <cstdio>

namespace zqpdf
{

class PdfDocument
{
  public:
    PdfDocument();

    void addPage(const PageImage &image);
    // Writes the whole PDF; the image streams are produced only now.
    void write(std::FILE *file, const std::string &description);

  private:
    QPDF pdf_;
};

} // namespace zqpdf

#endif
