// The text layer of searchable PDFs on hostile recognition results: the
// words Tesseract read (their UTF-8 text, which may be any bytes, their
// boxes and lines' slopes within the picture, as the recogniser makes
// them) become the page's invisible text in the glyphless font
// (pdf/text_layer.cpp).  The content must be a well-formed content stream
// of the text operators alone, its numbers finite, and each word's text
// the UTF-16 code units of its characters (U+FFFD for the rest).
#include "trap_unless.h"
#include "glyphless_font.h"
#include "recogniser.h"
#include "text_layer.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace
{

// The code units a word's text must give, when the text is well-formed
// UTF-8 (strict: no overlong forms, no surrogates, nothing above U+10FFFF);
// false for any other text.
bool expectedUnits(const std::string &utf8, std::u16string &units)
{
    units.clear();
    for (size_t i = 0; i < utf8.size();) {
        const auto b0 = uint8_t(utf8[i]);
        size_t n;
        char32_t cp, min;
        if (b0 < 0x80) {
            n = 1, cp = b0, min = 0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            n = 2, cp = b0 & 0x1F, min = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            n = 3, cp = b0 & 0x0F, min = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            n = 4, cp = b0 & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + n > utf8.size())
            return false;
        for (size_t k = 1; k < n; ++k) {
            const auto b = uint8_t(utf8[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (b & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        units += cp < 0x10000 ? char16_t(cp) : u'\uFFFD';
        i += n;
    }
    return true;
}

std::u16string unitsOf(const std::string &bytes)
{
    std::u16string units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        units += char16_t(uint8_t(bytes[i]) << 8 | uint8_t(bytes[i + 1]));
    return units;
}

// Checks each operator and its operands as the content stream is parsed.
class Checker : public QPDFObjectHandle::ParserCallbacks
{
  public:
    void handleObject(QPDFObjectHandle object) override
    {
        if (!object.isOperator()) {
            operands_.push_back(object);
            return;
        }
        const std::string op = object.getOperatorValue();
        static const std::map<std::string, size_t> kOperands = {
            {"BT", 0}, {"ET", 0}, {"Tr", 1}, {"Tf", 2}, {"Tm", 6}, {"Tz", 1}, {"Tj", 1}};
        const auto known = kOperands.find(op);
        trapUnless(known != kOperands.end() && known->second == operands_.size());
        if (op == "Tj") {
            trapUnless(operands_[0].isString());
            strings.push_back(unitsOf(operands_[0].getStringValue()));
        } else if (op == "Tf") {
            trapUnless(operands_[0].isName() && operands_[1].isNumber());
            trapUnless(operands_[1].getNumericValue() >= 1);
        } else {
            for (QPDFObjectHandle &o : operands_)
                trapUnless(o.isNumber() && std::isfinite(o.getNumericValue()));
            if (op == "Tz")
                trapUnless(operands_[0].getNumericValue() > 0);
        }
        ops.push_back(op);
        operands_.clear();
    }
    void handleEOF() override { trapUnless(operands_.empty()); }

    std::vector<std::string> ops;
    std::vector<std::u16string> strings;

  private:
    std::vector<QPDFObjectHandle> operands_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    zqpdf::RecognisedPage page;
    // the readers take pictures up to 18900 pixels a side
    page.width = in.ConsumeIntegralInRange(1, 20000);
    page.height = in.ConsumeIntegralInRange(1, 20000);
    const int lines = in.ConsumeIntegralInRange(0, 40);
    auto box = [&] {
        zqpdf::PixelBox b;
        b.left = in.ConsumeIntegralInRange(0, page.width);
        b.top = in.ConsumeIntegralInRange(0, page.height);
        b.right = in.ConsumeIntegralInRange(0, page.width);
        b.bottom = in.ConsumeIntegralInRange(0, page.height);
        return b;
    };
    for (int l = 0; l < lines && in.remaining_bytes() > 0; ++l) {
        zqpdf::RecognisedLine line;
        line.box = box();
        // the baseline's slope between two points of the picture
        const int rise = in.ConsumeIntegralInRange(-page.height, page.height);
        const int run = in.ConsumeIntegralInRange(1, page.width);
        line.slope = in.ConsumeBool() ? double(rise) / run : 0.0;
        const int count = in.ConsumeIntegralInRange(0, 30);
        for (int w = 0; w < count && in.remaining_bytes() > 0; ++w) {
            zqpdf::RecognisedWord word;
            word.box = box();
            word.spaceBefore = w > 0 && in.ConsumeBool();
            word.text = in.ConsumeRandomLengthString(64);
            line.words.push_back(word);
        }
        page.lines.push_back(line);
    }

    const std::string content = zqpdf::textLayerContent(page);
    trapUnless(content.empty() == page.lines.empty());
    if (content.empty())
        return 0;
    for (char c : content)
        trapUnless(c == '\n' || (c >= 0x20 && c < 0x7F));

    QPDF pdf;
    pdf.emptyPDF();
    pdf.setSuppressWarnings(true);
    Checker checker;
    try {
        QPDFObjectHandle::newStream(&pdf, content).parseAsContents(&checker);
    } catch (const std::exception &) {
        __builtin_trap(); // the text layer must parse
    }
    trapUnless(checker.ops.front() == "BT" && checker.ops.back() == "ET");

    // The strings in order: each word's units, then a space before a word
    // set off by one.
    size_t next = 0;
    for (const zqpdf::RecognisedLine &line : page.lines) {
        for (size_t w = 0; w < line.words.size(); ++w) {
            const zqpdf::RecognisedWord &word = line.words[w];
            if (!word.text.empty()) {
                trapUnless(next < checker.strings.size());
                const std::u16string &got = checker.strings[next++];
                std::u16string want;
                if (expectedUnits(word.text, want))
                    trapUnless(got == want);
                else // one unit a character, at most one a byte
                    trapUnless(!got.empty() && got.size() <= word.text.size());
            }
            if (w + 1 < line.words.size() && line.words[w + 1].spaceBefore) {
                trapUnless(next < checker.strings.size() && checker.strings[next] == u" ");
                ++next;
            }
        }
    }
    trapUnless(next == checker.strings.size());
    return 0;
}
