#include "picture_files.h"

#include "scene.h"

#include <jpeglib.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace zq::test
{
namespace
{

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File openOrThrow(const std::string &path, const char *mode)
{
    File file(std::fopen(path.c_str(), mode));
    if (!file)
        throw std::runtime_error("cannot open " + path);
    return file;
}

} // namespace

Picture renderedPage(int width, int height, int variant)
{
    sim::PageScene scene;
    scene.angleDeg = (variant % 7) * 2.5 - 7.5;
    scene.centerX = 0.45 + (variant % 3) * 0.05;
    scene.pageWidth = 0.55 + (variant % 4) * 0.05;
    scene.unevenLight = (variant % 5) * 0.05;
    return {width, height, 3, sim::renderScene(scene, width, height)};
}

Picture toGrey(const Picture &rgb)
{
    Picture grey{rgb.width, rgb.height, 1, {}};
    grey.samples.resize(size_t(rgb.width) * rgb.height);
    for (size_t i = 0; i < grey.samples.size(); ++i)
        grey.samples[i] = static_cast<uint8_t>(
            (rgb.samples[3 * i] + rgb.samples[3 * i + 1] + rgb.samples[3 * i + 2]) / 3);
    return grey;
}

void writeJpeg(const std::string &path, const Picture &picture, int quality)
{
    File file = openOrThrow(path, "wb");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file.get());
    cinfo.image_width = picture.width;
    cinfo.image_height = picture.height;
    cinfo.input_components = picture.components;
    cinfo.in_color_space = picture.components == 1   ? JCS_GRAYSCALE
                           : picture.components == 4 ? JCS_CMYK
                                                     : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t stride = size_t(picture.width) * picture.components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&picture.samples[cinfo.next_scanline * stride]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
}

void writeTiff(const std::string &path, const Picture &picture, int compression, int quality,
               int rowsPerStrip)
{
    TIFF *tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff)
        throw std::runtime_error("cannot open " + path);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, picture.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, picture.height);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    if (compression == COMPRESSION_JPEG)
        TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, quality);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                 picture.components == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, picture.components);
    if (rowsPerStrip > 0)
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    const size_t stride = size_t(picture.width) * picture.components;
    for (int row = 0; row < picture.height; ++row)
        TIFFWriteScanline(tiff, const_cast<uint8_t *>(&picture.samples[row * stride]), row, 0);
    TIFFClose(tiff);
}

Picture readJpeg(const std::string &path, JpegDecoding decoding)
{
    File file = openOrThrow(path, "rb");
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file.get());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    if (decoding == JpegDecoding::TurnInvariant) {
        cinfo.dct_method = JDCT_FLOAT;
        cinfo.do_fancy_upsampling = FALSE;
    }
    jpeg_start_decompress(&cinfo);
    Picture picture{int(cinfo.output_width), int(cinfo.output_height), 3, {}};
    picture.samples.resize(size_t(picture.width) * picture.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &picture.samples[size_t(cinfo.output_scanline) * picture.width * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return picture;
}

Picture readPpm(const std::string &path)
{
    std::istringstream in(readFile(path));
    std::string magic;
    int maxValue = 0;
    Picture picture;
    in >> magic >> picture.width >> picture.height >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255)
        throw std::runtime_error(path + " is not an 8-bit P6 file");
    picture.samples.resize(size_t(picture.width) * picture.height * 3);
    in.read(reinterpret_cast<char *>(picture.samples.data()),
            static_cast<std::streamsize>(picture.samples.size()));
    if (!in)
        throw std::runtime_error(path + " is truncated");
    return picture;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

double meanDifference(const Picture &a, const Picture &b)
{
    if (a.width != b.width || a.height != b.height || a.samples.size() != b.samples.size())
        throw std::runtime_error("pictures of different sizes");
    double sum = 0;
    for (size_t i = 0; i < a.samples.size(); ++i)
        sum += std::abs(int(a.samples[i]) - int(b.samples[i]));
    return a.samples.empty() ? 0 : sum / a.samples.size();
}

Picture blockAverage(const Picture &picture, int block)
{
    const int c = picture.components;
    Picture small{picture.width / block, picture.height / block, c, {}};
    small.samples.resize(size_t(small.width) * small.height * c);
    for (int y = 0; y < small.height; ++y)
        for (int x = 0; x < small.width; ++x)
            for (int k = 0; k < c; ++k) {
                int sum = 0;
                for (int dy = 0; dy < block; ++dy)
                    for (int dx = 0; dx < block; ++dx)
                        sum +=
                            picture.samples
                                [(size_t(y * block + dy) * picture.width + x * block + dx) * c + k];
                small.samples[(size_t(y) * small.width + x) * c + k] =
                    static_cast<uint8_t>(sum / (block * block));
            }
    return small;
}

} // namespace zq::test
