#include "text_layer.h"

#include "glyphless_font.h"

#include <qpdf/QUtil.hh>

#include <algorithm>
#include <cmath>

namespace zqpdf
{

const char kTextFontResource[] = "/GlyphLess";

namespace
{

constexpr int kDecimals = 2;
constexpr double kMinScale = 0.01; // per cent
constexpr char32_t kReplacement = 0xFFFD;

std::string number(double value)
{
    return QUtil::double_to_string(value, kDecimals);
}

// The text's UTF-16 code units, which the font takes as its character
// codes.  Characters beyond the Basic Multilingual Plane and malformed
// bytes become U+FFFD.
std::vector<char16_t> codeUnits(const std::string &utf8)
{
    std::vector<char16_t> units;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80         ? 1
                              : lead >> 5 == 0x06 ? 2
                              : lead >> 4 == 0x0E ? 3
                              : lead >> 3 == 0x1E ? 4
                                                  : 0;
        bool valid = length > 0 && i + length <= utf8.size();
        char32_t cp = length <= 1 ? lead : lead & (0x7F >> length);
        for (size_t n = 1; valid && n < length; ++n) {
            const auto next = static_cast<unsigned char>(utf8[i + n]);
            valid = next >> 6 == 2;
            cp = cp << 6 | (next & 0x3F);
        }
        const bool plain = valid && cp < 0x10000 && (cp < 0xD800 || cp > 0xDFFF);
        units.push_back(plain ? char16_t(cp) : kReplacement);
        i += valid ? length : 1;
    }
    return units;
}

std::string hexString(const std::vector<char16_t> &units)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex = "<";
    for (char16_t u : units)
        for (int shift = 12; shift >= 0; shift -= 4)
            hex += digits[(u >> shift) & 0xF];
    return hex + ">";
}

// One line of words.  The font size is the height of the line's letters,
// and the baseline lies so far above their bottom that the font's descent
// reaches it: a viewer's highlight then covers the letters.
class LineWriter
{
  public:
    LineWriter(const RecognisedLine &line, int pictureHeight)
        : line_(line), pictureHeight_(pictureHeight)
    {
        const PixelBox &b = line.box;
        const double rise = std::fabs(line.slope) * (b.right - b.left);
        size_ = std::max(1.0, b.bottom - b.top - rise);
        bottomAtLeft_ = line.slope >= 0 ? b.top + size_ : b.bottom;
        stretch_ = std::sqrt(1 + line.slope * line.slope);
    }

    void write(std::string &out) const
    {
        out += std::string(kTextFontResource) + " " + number(size_) + " Tf\n";
        const std::vector<RecognisedWord> &words = line_.words;
        for (size_t i = 0; i < words.size(); ++i) {
            const RecognisedWord *next = i + 1 < words.size() ? &words[i + 1] : nullptr;
            // Without a space the word reaches the next one, so that a
            // reader does not see a gap (Chinese has none between words).
            const int end = next && !next->spaceBefore ? next->box.left : words[i].box.right;
            placeAt(words[i].box.left, out);
            run(codeUnits(words[i].text), end - words[i].box.left, out);
            if (next && next->spaceBefore)
                run({u' '}, next->box.left - end, out);
        }
    }

  private:
    // The text matrix at x on the baseline, turned with the line.
    void placeAt(int x, std::string &out) const
    {
        const double baseline =
            bottomAtLeft_ + line_.slope * (x - line_.box.left) + kGlyphlessDescent * size_;
        const double cosA = 1 / stretch_, sinA = -line_.slope / stretch_;
        out += number(cosA) + " " + number(sinA) + " " + number(-sinA) + " " + number(cosA) + " " +
               number(x) + " " + number(pictureHeight_ - baseline) + " Tm\n";
    }

    // Glyphs stretched horizontally to cover `width` pixels along the line.
    void run(const std::vector<char16_t> &units, int width, std::string &out) const
    {
        if (units.empty())
            return;
        const double natural = double(units.size()) * kGlyphlessAdvance * size_;
        // At least the smallest scale the two decimals can write: one that
        // rounds to 0 would leave the word no width to find or select.
        const double scale = std::max(kMinScale, 100 * std::max(1, width) * stretch_ / natural);
        out += number(scale) + " Tz " + hexString(units) + " Tj\n";
    }

    const RecognisedLine &line_;
    int pictureHeight_;
    double size_;
    double bottomAtLeft_;
    double stretch_; // length along the baseline per pixel across
};

} // namespace

std::string textLayerContent(const RecognisedPage &page)
{
    if (page.lines.empty())
        return {};
    std::string out = "BT\n3 Tr\n";
    for (const RecognisedLine &line : page.lines)
        LineWriter(line, page.height).write(out);
    return out + "ET\n";
}

} // namespace zqpdf
