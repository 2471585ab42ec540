#include "page_pixels.h"

#include "compose_error.h"

#include <qpdf/Pl_DCT.hh>
#include <qpdf/Pl_Function.hh>

#include <stdexcept>

namespace zqpdf
{
namespace
{

std::vector<uint8_t> greyToRgb(const std::vector<uint8_t> &grey)
{
    std::vector<uint8_t> rgb(grey.size() * 3);
    for (size_t i = 0; i < grey.size(); ++i)
        rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = grey[i];
    return rgb;
}

} // namespace

RgbPixels decodePixels(const PageImage &image, const std::string &path)
{
    const size_t components = image.colorSpace == "/DeviceGray" ? 1 : 3;
    const size_t expected = size_t(image.width) * size_t(image.height) * components;
    std::vector<uint8_t> samples;
    samples.reserve(expected);
    // The file may have changed since it was opened: no more is taken
    // than its picture then held.
    Pl_Function collect("page samples", nullptr, [&](const unsigned char *data, size_t size) {
        if (size > expected - samples.size())
            throw std::runtime_error("it holds more samples than its picture");
        samples.insert(samples.end(), data, data + size);
    });
    try {
        if (image.filter == "/DCTDecode") {
            Pl_DCT decode("page JPEG", &collect);
            image.streamData(&decode);
        } else {
            image.streamData(&collect);
        }
    } catch (const ComposeError &) {
        throw;
    } catch (const std::runtime_error &e) {
        // qpdf's JPEG decoder reports libjpeg's failures this way, and
        // passes on what the samples' collector throws.
        throw ComposeError::notPicture(path, e.what());
    }
    if (samples.size() != expected)
        throw ComposeError::notPicture(path, "it holds fewer samples than its picture");
    return {image.width, image.height, components == 3 ? std::move(samples) : greyToRgb(samples)};
}

} // namespace zqpdf
