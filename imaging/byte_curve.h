// A curve that maps every byte value to a new one, given as its table of
// 256 results.  Applying it is one table look-up per byte; when the table
// is a clamped straight line that a few fixed-point operations reproduce
// exactly (as gains and contrast curves are), the processor applies those
// operations to 32 bytes at a time instead, with the same results.
#ifndef ZQ_BYTE_CURVE_H
#define ZQ_BYTE_CURVE_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace zq::imaging
{

class ByteCurve
{
  public:
    using Table = std::array<uint8_t, 256>;

    explicit ByteCurve(const Table &table);

    uint8_t operator()(uint8_t v) const { return table_[v]; }
    bool isLine() const { return line_.found; }

    // Replaces each of the count bytes by its value on the curve.
    void apply(uint8_t *bytes, size_t count) const;

  private:
    // out = min(255, ((v * 256 * scale) >> 16 + offset) >> shift), with
    // the addition saturating at 0 and 65535, as the vector code does it.
    struct Line {
        bool found = false;
        uint16_t scale = 0;
        int32_t offset = 0;
        int shift = 0;
        uint8_t at(int v) const;
    };
    static Line fitLine(const Table &table);

    Table table_;
    Line line_;
};

} // namespace zq::imaging

#endif
