#include "glyphless_font.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace zqpdf
{
namespace
{

constexpr int kUnitsPerEm = 1000;
constexpr int kAdvance = int(kGlyphlessAdvance * kUnitsPerEm);
constexpr int kAscent = int(kGlyphlessAscent * kUnitsPerEm);
constexpr int kDescent = int(kGlyphlessDescent * kUnitsPerEm);
constexpr int kGlyphs = 2; // .notdef and the empty glyph every code shows
constexpr int kEmptyGlyph = 1;
constexpr int kCodes = 0x10000; // two-byte codes
constexpr uint32_t kChecksumMagic = 0xB1B0AFBA;
constexpr size_t kHeadAdjustmentOffset = 8;

// Big-endian fields of a TrueType table.
class Fields
{
  public:
    Fields &u16(int v)
    {
        bytes_ += char((v >> 8) & 0xFF);
        bytes_ += char(v & 0xFF);
        return *this;
    }
    Fields &u32(uint32_t v) { return u16(int(v >> 16)).u16(int(v & 0xFFFF)); }
    Fields &zeros(size_t n)
    {
        bytes_.append(n, '\0');
        return *this;
    }
    std::string bytes() const { return bytes_; }

  private:
    std::string bytes_;
};

uint32_t checksum(const std::string &data)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < data.size(); i += 4) {
        uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k)
            word = word << 8 | (i + k < data.size() ? uint8_t(data[i + k]) : 0);
        sum += word;
    }
    return sum;
}

struct Table {
    const char *tag;
    std::string data;
};

// The tables a PDF reader needs of an embedded TrueType program, in the
// order of their tags.  Both glyphs have no outline, so 'glyf' is empty
// and every 'loca' offset is 0.
std::vector<Table> fontTables()
{
    const Fields glyf;
    const Fields head = Fields()
                            .u32(0x00010000) // version
                            .u32(0x00010000) // font revision
                            .u32(0)          // checksum adjustment, set last
                            .u32(0x5F0F3CF5) // magic number
                            .u16(0x000B)     // baseline at y 0, integer scaling
                            .u16(kUnitsPerEm)
                            .zeros(16) // created, modified
                            .u16(0)
                            .u16(kDescent & 0xFFFF)
                            .u16(kAdvance)
                            .u16(kAscent) // bounding box
                            .u16(0)       // style
                            .u16(8)       // smallest readable size in pixels
                            .u16(2)       // left to right
                            .u16(0)       // short 'loca' offsets
                            .u16(0);      // glyph data format
    const Fields hhea = Fields()
                            .u32(0x00010000)
                            .u16(kAscent)
                            .u16(kDescent & 0xFFFF)
                            .u16(0) // line gap
                            .u16(kAdvance)
                            .zeros(6)     // bearings and extent
                            .u16(1)       // caret upright
                            .zeros(2 + 2) // caret run, offset
                            .zeros(8)     // reserved
                            .u16(0)       // metric data format
                            .u16(kGlyphs);
    Fields hmtx;
    for (int g = 0; g < kGlyphs; ++g)
        hmtx.u16(kAdvance).u16(0);
    Fields loca;
    for (int g = 0; g <= kGlyphs; ++g)
        loca.u16(0);
    const Fields maxp = Fields()
                            .u32(0x00010000) // version 1.0
                            .u16(kGlyphs)
                            .zeros(8) // points and contours
                            .u16(2)   // zones
                            .zeros(16);
    const Fields post = Fields()
                            .u32(0x00030000) // no glyph names
                            .u32(0)          // italic angle
                            .u16(-100 & 0xFFFF)
                            .u16(50) // underline
                            .u32(1)  // fixed pitch
                            .zeros(16);
    return {{"glyf", glyf.bytes()}, {"head", head.bytes()}, {"hhea", hhea.bytes()},
            {"hmtx", hmtx.bytes()}, {"loca", loca.bytes()}, {"maxp", maxp.bytes()},
            {"post", post.bytes()}};
}

std::string toUnicodeMap()
{
    std::string cmap = "/CIDInit /ProcSet findresource begin\n"
                       "12 dict begin\n"
                       "begincmap\n"
                       "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                       "/CMapName /Adobe-Identity-UCS def\n"
                       "/CMapType 2 def\n"
                       "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    // Each code stands for itself; surrogates never occur as codes.
    std::vector<int> rows;
    for (int high = 0; high < 0x100; ++high)
        if (high < 0xD8 || high > 0xDF)
            rows.push_back(high);
    constexpr size_t kPerBlock = 100; // the most one block may hold
    for (size_t first = 0; first < rows.size(); first += kPerBlock) {
        const size_t count = std::min(kPerBlock, rows.size() - first);
        cmap += std::to_string(count) + " beginbfrange\n";
        for (size_t i = first; i < first + count; ++i) {
            char range[32];
            std::snprintf(range, sizeof range, "<%02X00> <%02XFF> <%02X00>\n", rows[i], rows[i],
                          rows[i]);
            cmap += range;
        }
        cmap += "endbfrange\n";
    }
    return cmap + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}

std::string everyCodeToTheEmptyGlyph()
{
    std::string map;
    map.reserve(2 * kCodes);
    for (int code = 0; code < kCodes; ++code)
        map += Fields().u16(kEmptyGlyph).bytes();
    return map;
}

} // namespace

std::string glyphlessTrueType()
{
    const std::vector<Table> tables = fontTables();
    const int n = int(tables.size());
    int power = 1, log2 = 0;
    while (power * 2 <= n) {
        power *= 2;
        ++log2;
    }
    Fields directory;
    directory.u32(0x00010000).u16(n).u16(power * 16).u16(log2).u16(n * 16 - power * 16);
    size_t offset = 12 + 16 * tables.size();
    std::string body;
    size_t headOffset = 0;
    for (const Table &t : tables) {
        directory
            .u32(uint32_t(uint8_t(t.tag[0])) << 24 | uint8_t(t.tag[1]) << 16 |
                 uint8_t(t.tag[2]) << 8 | uint8_t(t.tag[3]))
            .u32(checksum(t.data))
            .u32(uint32_t(offset))
            .u32(uint32_t(t.data.size()));
        if (std::string(t.tag) == "head")
            headOffset = offset;
        std::string padded = t.data;
        padded.resize((padded.size() + 3) / 4 * 4, '\0');
        body += padded;
        offset += padded.size();
    }
    std::string font = directory.bytes() + body;
    const std::string adjustment = Fields().u32(kChecksumMagic - checksum(font)).bytes();
    font.replace(headOffset + kHeadAdjustmentOffset, 4, adjustment);
    return font;
}

QPDFObjectHandle makeGlyphlessFont(QPDF &pdf)
{
    const std::string ascent = std::to_string(kAscent);
    const std::string descent = std::to_string(kDescent);
    QPDFObjectHandle descriptor = QPDFObjectHandle::parse(
        "<< /Type /FontDescriptor /FontName /GlyphLessFont /Flags 5 /FontBBox [0 " + descent + " " +
        std::to_string(kAdvance) + " " + ascent + "] /ItalicAngle 0 /Ascent " + ascent +
        " /Descent " + descent + " /CapHeight " + ascent + " /StemV 80 >>");
    descriptor.replaceKey("/FontFile2", pdf.newStream(glyphlessTrueType()));

    QPDFObjectHandle cidFont = QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /GlyphLessFont"
        " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /DW " +
        std::to_string(kAdvance) + " >>");
    cidFont.replaceKey("/FontDescriptor", pdf.makeIndirectObject(descriptor));
    cidFont.replaceKey("/CIDToGIDMap", pdf.newStream(everyCodeToTheEmptyGlyph()));

    QPDFObjectHandle font = QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type0 /BaseFont /GlyphLessFont /Encoding /Identity-H >>");
    QPDFObjectHandle descendants = QPDFObjectHandle::newArray();
    descendants.appendItem(pdf.makeIndirectObject(cidFont));
    font.replaceKey("/DescendantFonts", descendants);
    font.replaceKey("/ToUnicode", pdf.newStream(toUnicodeMap()));
    return pdf.makeIndirectObject(font);
}

} // namespace zqpdf
