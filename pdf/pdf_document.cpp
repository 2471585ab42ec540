#include "pdf_document.h"

#include "glyphless_font.h"
#include "text_layer.h"

#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <langinfo.h>

#include <algorithm>
#include <functional>

namespace zqpdf
{
namespace
{

constexpr double kPointsPerInch = 72.0;
constexpr double kMillimetresPerInch = 25.4;
constexpr int kDecimals = 4;

// The locale gives paper sizes in whole millimetres; the papers measured
// in inches are known exactly.
struct InchPaper {
    int widthMm;
    int heightMm;
    PageSize points;
};
constexpr InchPaper kInchPapers[] = {
    {216, 279, {612, 792}},  // Letter
    {216, 356, {612, 1008}}, // Legal
};

constexpr PageSize kA4 = {210 * kPointsPerInch / kMillimetresPerInch,
                          297 * kPointsPerInch / kMillimetresPerInch};

// glibc returns these numeric items in the place of the text pointer.
int paperMillimetres(nl_item item)
{
    union {
        const char *string;
        unsigned int word;
    } value;
    value.string = nl_langinfo(item);
    return int(value.word);
}

std::string number(double value)
{
    return QUtil::double_to_string(value, kDecimals);
}

// A stream whose data is produced while the PDF is written.  A picture's
// or text's own failure is kept, to be reported as it was.
QPDFObjectHandle lazyStream(QPDF &pdf, QPDFObjectHandle dict, const std::string &filter,
                            std::function<void(Pipeline *)> data,
                            const std::shared_ptr<std::optional<ComposeError>> &streamError)
{
    QPDFObjectHandle stream = pdf.newStream();
    stream.replaceDict(dict);
    const QPDFObjectHandle filterName =
        filter.empty() ? QPDFObjectHandle::newNull() : QPDFObjectHandle::newName(filter);
    const auto produce = [data = std::move(data), streamError](Pipeline *pipeline) {
        try {
            data(pipeline);
        } catch (const ComposeError &e) {
            streamError->emplace(e);
            throw;
        }
    };
    // The dictionary's /DecodeParms go with the filter; qpdf sets both.
    const QPDFObjectHandle parms =
        dict.hasKey("/DecodeParms") ? dict.getKey("/DecodeParms") : QPDFObjectHandle::newNull();
    stream.replaceStreamData(produce, filterName, parms);
    return stream;
}

QPDFObjectHandle imageStream(QPDF &pdf, const PageImage &image,
                             const std::shared_ptr<std::optional<ComposeError>> &streamError)
{
    QPDFObjectHandle dict = QPDFObjectHandle::newDictionary();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(image.width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(image.height));
    if (image.colorSpace.empty())
        dict.replaceKey("/ImageMask", QPDFObjectHandle::newBool(true));
    else
        dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName(image.colorSpace));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(image.bitsPerComponent));
    if (image.inkIsOne)
        dict.replaceKey("/Decode", QPDFObjectHandle::parse("[1 0]"));
    if (!image.decodeParms.empty()) {
        QPDFObjectHandle parms = QPDFObjectHandle::newDictionary();
        for (const auto &[key, value] : image.decodeParms)
            parms.replaceKey(key, QPDFObjectHandle::newInteger(value));
        dict.replaceKey("/DecodeParms", parms);
    }
    return lazyStream(pdf, dict, image.filter, image.streamData, streamError);
}

// Content that scales the unit square an image occupies to the whole page.
std::string drawImage(const PageSize &size, const std::string &name)
{
    return "q " + number(size.width) + " 0 0 " + number(size.height) + " 0 0 cm " + name +
           " Do Q\n";
}

// The ink's colour, then its stencil mask drawn over the whole page.
std::string drawInk(const PageSize &size, const InkLayer &ink, const std::string &name)
{
    std::string paint;
    for (double component : ink.rgb)
        paint += number(component) + " ";
    return "q " + paint + "rg " + drawImage(size, name) + "Q\n";
}

QPDFObjectHandle mediaBox(const PageSize &size)
{
    QPDFObjectHandle box = QPDFObjectHandle::newArray();
    box.appendItem(QPDFObjectHandle::newInteger(0));
    box.appendItem(QPDFObjectHandle::newInteger(0));
    box.appendItem(QPDFObjectHandle::newReal(number(size.width)));
    box.appendItem(QPDFObjectHandle::newReal(number(size.height)));
    return box;
}

} // namespace

PageSize localePaper()
{
    const int widthMm = paperMillimetres(_NL_PAPER_WIDTH);
    const int heightMm = paperMillimetres(_NL_PAPER_HEIGHT);
    if (widthMm <= 0 || heightMm <= 0)
        return kA4;
    for (const InchPaper &p : kInchPapers) {
        if (p.widthMm == widthMm && p.heightMm == heightMm)
            return p.points;
    }
    return {widthMm * kPointsPerInch / kMillimetresPerInch,
            heightMm * kPointsPerInch / kMillimetresPerInch};
}

// A picture wider than high lies on the paper turned to landscape; the
// picture keeps its proportions and touches two opposite edges.
PageSize PageSizing::pageFor(int pixelWidth, int pixelHeight) const
{
    if (dpi > 0)
        return {pixelWidth * kPointsPerInch / dpi, pixelHeight * kPointsPerInch / dpi};
    const double shortSide = std::min(paper.width, paper.height);
    const double longSide = std::max(paper.width, paper.height);
    const bool landscape = pixelWidth > pixelHeight;
    const double scale = std::min((landscape ? longSide : shortSide) / pixelWidth,
                                  (landscape ? shortSide : longSide) / pixelHeight);
    return {pixelWidth * scale, pixelHeight * scale};
}

double PageSizing::pixelsPerInch(int pixelWidth, int pixelHeight) const
{
    return pixelWidth * kPointsPerInch / pageFor(pixelWidth, pixelHeight).width;
}

PdfDocument::PdfDocument(const PageSizing &sizing) : sizing_(sizing)
{
    pdf_.emptyPDF();
}

void PdfDocument::addPage(const PageLayers &layers, TextLayer text)
{
    const PageSize size = sizing_.pageFor(layers.width, layers.height);

    QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", imageStream(pdf_, layers.picture, streamError_));
    std::string content = drawImage(size, "/Im0");
    if (layers.ink) {
        xobjects.replaceKey("/Im1", imageStream(pdf_, layers.ink->mask, streamError_));
        content += drawInk(size, *layers.ink, "/Im1");
    }
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", xobjects);

    QPDFObjectHandle contents = pdf_.newStream(content);
    if (text) {
        if (!font_.isInitialized())
            font_ = makeGlyphlessFont(pdf_);
        QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary();
        fonts.replaceKey(kTextFontResource, font_);
        resources.replaceKey("/Font", fonts);
        QPDFObjectHandle both = QPDFObjectHandle::newArray();
        both.appendItem(contents);
        both.appendItem(textStream(size, layers, std::move(text)));
        contents = both;
    }

    QPDFObjectHandle page = pdf_.makeIndirectObject(QPDFObjectHandle::newDictionary());
    page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    page.replaceKey("/MediaBox", mediaBox(size));
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", contents);
    QPDFPageDocumentHelper(pdf_).addPage(page, false);
}

// The text drawn over the picture, its pixels scaled onto the page.
QPDFObjectHandle PdfDocument::textStream(const PageSize &size, const PageLayers &layers,
                                         TextLayer text)
{
    const std::string toPage = "q " + number(size.width / layers.width) + " 0 0 " +
                               number(size.height / layers.height) + " 0 0 cm\n";
    const auto data = [toPage, text = std::move(text)](Pipeline *pipeline) {
        const std::string content = toPage + text() + "Q\n";
        pipeline->write(reinterpret_cast<const unsigned char *>(content.data()), content.size());
        pipeline->finish();
    };
    return lazyStream(pdf_, QPDFObjectHandle::newDictionary(), {}, data, streamError_);
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
