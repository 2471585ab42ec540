#include "pdf_document.h"

#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <zqpdf/zqpdf.h>

namespace zqpdf
{
namespace
{

constexpr double kPointsPerInch = 72.0;
constexpr int kDecimals = 4;

double toPoints(int pixels)
{
    return pixels * kPointsPerInch / ZQPDF_RESOLUTION_DPI;
}

std::string number(double value)
{
    return QUtil::double_to_string(value, kDecimals);
}

QPDFObjectHandle imageStream(QPDF &pdf, const PageImage &image,
                             const std::shared_ptr<std::optional<ComposeError>> &streamError)
{
    QPDFObjectHandle dict = QPDFObjectHandle::newDictionary();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(image.width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(image.height));
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName(image.colorSpace));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));

    QPDFObjectHandle stream = pdf.newStream();
    stream.replaceDict(dict);
    const QPDFObjectHandle filter = image.filter.empty() ? QPDFObjectHandle::newNull()
                                                         : QPDFObjectHandle::newName(image.filter);
    const auto produce = [data = image.streamData, streamError](Pipeline *pipeline) {
        try {
            data(pipeline);
        } catch (const ComposeError &e) {
            streamError->emplace(e);
            throw;
        }
    };
    stream.replaceStreamData(produce, filter, QPDFObjectHandle::newNull());
    return stream;
}

QPDFObjectHandle mediaBox(double width, double height)
{
    QPDFObjectHandle box = QPDFObjectHandle::newArray();
    box.appendItem(QPDFObjectHandle::newInteger(0));
    box.appendItem(QPDFObjectHandle::newInteger(0));
    box.appendItem(QPDFObjectHandle::newReal(number(width)));
    box.appendItem(QPDFObjectHandle::newReal(number(height)));
    return box;
}

} // namespace

PdfDocument::PdfDocument()
{
    pdf_.emptyPDF();
}

void PdfDocument::addPage(const PageImage &image)
{
    const double width = toPoints(image.width);
    const double height = toPoints(image.height);

    QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", imageStream(pdf_, image, streamError_));
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", xobjects);

    // Scale the unit square the image occupies to the whole page.
    const std::string content =
        "q " + number(width) + " 0 0 " + number(height) + " 0 0 cm /Im0 Do Q\n";

    QPDFObjectHandle page = pdf_.makeIndirectObject(QPDFObjectHandle::newDictionary());
    page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    page.replaceKey("/MediaBox", mediaBox(width, height));
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", pdf_.newStream(content));
    QPDFPageDocumentHelper(pdf_).addPage(page, false);
}

void PdfDocument::write(std::FILE *file, const std::string &description)
{
    QPDFWriter writer(pdf_);
    writer.setOutputFile(description.c_str(), file, false);
    try {
        writer.write();
    } catch (...) {
        if (*streamError_)
            throw **streamError_;
        throw;
    }
}

} // namespace zqpdf
