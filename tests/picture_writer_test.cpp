// The JPEG and TIFF writers: files decoded again with libjpeg and libtiff,
// and every way a write can fail, for real: a missing directory, a
// read-only one, a full file system, pictures libjpeg refuses.  A failed
// write must leave no file and keep an older file of the same name intact.
#include "child_process.h"
#include <zqscan/zq_scanner.h>

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <tiffio.h>

#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Picture = std::vector<uint8_t>;
using zq::test::asNobody;
using zq::test::inChild;

namespace
{

// A smooth picture (red grows to the right, green downwards), so that a
// decoded copy stays close to it and a flipped or shifted one does not.
Picture gradient(int width, int height)
{
    Picture p;
    p.reserve(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.insert(p.end(), {uint8_t(x * 255 / width), uint8_t(y * 255 / height), 128});
    return p;
}

// Noise compresses badly: a large file, for the full-disk cases.
Picture noise(int width, int height)
{
    std::mt19937 random(42);
    Picture p(size_t(width) * height * 3);
    for (uint8_t &byte : p)
        byte = static_cast<uint8_t>(random());
    return p;
}

int largest_difference(const Picture &a, const Picture &b)
{
    int largest = 0;
    for (size_t i = 0; i < a.size(); ++i)
        largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    return largest;
}

struct Decoded {
    int width = 0, height = 0, components = 0;
    Picture pixels;
};

Decoded decode_jpeg(const std::string &path)
{
    Decoded d;
    FILE *in = std::fopen(path.c_str(), "rb");
    if (!in)
        return d;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, in);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    d.width = int(cinfo.output_width);
    d.height = int(cinfo.output_height);
    d.components = cinfo.output_components;
    d.pixels.resize(size_t(d.width) * d.height * d.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = d.pixels.data() + size_t(cinfo.output_scanline) * d.width * d.components;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(in);
    return d;
}

std::string read_file(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path &path, const std::string &content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// A fresh directory that everyone may enter, removed with its content.
class Directory
{
  public:
    Directory()
    {
        std::string pattern = testing::TempDir() + "zq-writer-XXXXXX";
        path_ = mkdtemp(pattern.data());
        fs::permissions(path_, fs::perms(0755));
    }
    ~Directory()
    {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, ignored);
        fs::remove_all(path_, ignored);
    }
    const fs::path &path() const { return path_; }
    std::string file(const char *name) const { return (path_ / name).string(); }
    std::set<std::string> names() const
    {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(path_))
            names.insert(entry.path().filename().string());
        return names;
    }

  private:
    fs::path path_;
};

constexpr int kFailed = 255; // -1 as an exit status
constexpr int kNoSetup = 100;

using Writer = int (*)(const char *, const unsigned char *, int, int, int);

struct WriterCase {
    const char *name;
    Writer write;
    const char *file;
};

void PrintTo(const WriterCase &c, std::ostream *os)
{
    *os << c.name;
}

const WriterCase kWriters[] = {
    {"jpeg", zq_scanner_picture_save, "page.jpg"},
    {"tiff", zq_scanner_picture_save_tiff, "page.tif"},
};

class WriterTest : public testing::TestWithParam<WriterCase>
{
  protected:
    Directory dir;
    std::string target = dir.file(GetParam().file);

    int write(const Picture &p, int width, int height, int quality = 90)
    {
        return GetParam().write(target.c_str(), p.data(), width, height, quality);
    }

    static constexpr const char *kOlderPage = "an older page";

    // An older file stands where the writer writes.
    void placeOlderFile() { write_file(target, kOlderPage); }

    // A failed write leaves the older file as it was and nothing beside it.
    void expectOlderFileKept()
    {
        EXPECT_EQ(read_file(target), kOlderPage);
        EXPECT_EQ(dir.names(), std::set<std::string>{GetParam().file});
    }
};

std::string writer_name(const testing::TestParamInfo<WriterCase> &info)
{
    return info.param.name;
}

} // namespace

// ---- what gets written -------------------------------------------------------------

TEST(JpegWriterTest, DecodesToSamePictureTopRowFirst)
{
    Directory dir;
    const Picture p = gradient(640, 480);
    ASSERT_EQ(zq_scanner_picture_save(dir.file("a.jpg").c_str(), p.data(), 640, 480, 90), 0);
    const Decoded d = decode_jpeg(dir.file("a.jpg"));
    EXPECT_EQ(d.width, 640);
    EXPECT_EQ(d.height, 480);
    EXPECT_EQ(d.components, 3);
    ASSERT_EQ(d.pixels.size(), p.size());
    EXPECT_LE(largest_difference(d.pixels, p), 8);
}

TEST(TiffWriterTest, CarriesTheFieldsAndDecodesToSamePicture)
{
    Directory dir;
    const std::string path = dir.file("a.tif");
    const Picture p = gradient(320, 200);
    ASSERT_EQ(zq_scanner_picture_save_tiff(path.c_str(), p.data(), 320, 200, 90), 0);

    TIFF *tiff = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    uint32_t width = 0, length = 0;
    uint16_t compression = 0, planar = 0, orientation = 0, photometric = 0, bits = 0, samples = 0;
    EXPECT_EQ(TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width), 1);
    EXPECT_EQ(TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &length), 1);
    EXPECT_EQ(TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression), 1);
    EXPECT_EQ(TIFFGetField(tiff, TIFFTAG_PLANARCONFIG, &planar), 1);
    EXPECT_EQ(TIFFGetField(tiff, TIFFTAG_ORIENTATION, &orientation), 1);
    EXPECT_EQ(TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric), 1);
    EXPECT_EQ(TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits), 1);
    EXPECT_EQ(TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples), 1);
    EXPECT_EQ(width, 320u);
    EXPECT_EQ(length, 200u);
    EXPECT_EQ(compression, COMPRESSION_JPEG);
    EXPECT_EQ(planar, PLANARCONFIG_CONTIG);
    EXPECT_EQ(orientation, ORIENTATION_TOPLEFT);
    EXPECT_EQ(photometric, PHOTOMETRIC_RGB);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(samples, 3);

    std::vector<uint32_t> rgba(size_t(width) * length);
    ASSERT_EQ(TIFFReadRGBAImageOriented(tiff, width, length, rgba.data(), ORIENTATION_TOPLEFT, 0),
              1);
    TIFFClose(tiff);
    Picture decoded;
    for (uint32_t px : rgba)
        decoded.insert(decoded.end(),
                       {uint8_t(TIFFGetR(px)), uint8_t(TIFFGetG(px)), uint8_t(TIFFGetB(px))});
    EXPECT_LE(largest_difference(decoded, p), 8);
}

TEST_P(WriterTest, QualityReachesTheEncoder)
{
    const Picture p = noise(200, 150);
    ASSERT_EQ(write(p, 200, 150, 10), 0);
    const auto small = fs::file_size(target);
    ASSERT_EQ(write(p, 200, 150, 90), 0);
    EXPECT_GT(fs::file_size(target), small * 2);
}

TEST_P(WriterTest, ReplacesAnOlderFileAndLeavesNothingElse)
{
    placeOlderFile();
    const Picture p = gradient(64, 48);
    ASSERT_EQ(write(p, 64, 48), 0);
    EXPECT_NE(read_file(target), kOlderPage);
    EXPECT_EQ(dir.names(), std::set<std::string>{GetParam().file});
    EXPECT_EQ(fs::status(target).permissions() & fs::perms(0777), fs::perms(0666) & ~fs::perms([] {
                                                                      const mode_t mask = umask(0);
                                                                      umask(mask);
                                                                      return mask;
                                                                  }()));
}

// A new file is linked straight under its name once it is whole: no name
// ever shows in the directory that a kill could leave behind.  Replacing a
// file goes through a hidden name, renamed over it.
TEST_P(WriterTest, NewFileAppearsOnlyUnderItsOwnName)
{
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_CREATE | IN_MOVED_TO), 0);
    const auto namesAppeared = [&] {
        std::vector<std::string> names;
        alignas(inotify_event) char events[4096];
        for (ssize_t got; (got = read(watch, events, sizeof events)) > 0;)
            for (char *at = events; at < events + got;) {
                const auto *event = reinterpret_cast<const inotify_event *>(at);
                names.push_back(event->name);
                at += sizeof(inotify_event) + event->len;
            }
        return names;
    };
    const Picture p = gradient(64, 48);
    ASSERT_EQ(write(p, 64, 48), 0);
    EXPECT_EQ(namesAppeared(), std::vector<std::string>{GetParam().file});
    ASSERT_EQ(write(p, 64, 48), 0);
    const std::vector<std::string> replaced = namesAppeared();
    ASSERT_EQ(replaced.size(), 2u);
    EXPECT_EQ(replaced[0].rfind(std::string(".") + GetParam().file + ".", 0), 0u) << replaced[0];
    EXPECT_EQ(replaced[1], GetParam().file);
    close(watch);
}

TEST_P(WriterTest, OddSizesAndOneRow)
{
    for (auto [w, h] : {std::pair{1, 1}, {17, 1}, {1, 23}, {33, 17}}) {
        const Picture p = gradient(w, h);
        EXPECT_EQ(write(p, w, h), 0) << w << " x " << h;
    }
}

// ---- failures ------------------------------------------------------------------------

TEST_P(WriterTest, RefusesArgumentsThatDescribeNoPicture)
{
    const Picture p = gradient(4, 4);
    for (auto [w, h] : {std::pair{0, 4}, {4, 0}, {-1, 4}, {4, -3}, {INT_MAX, INT_MAX}})
        EXPECT_EQ(write(p, w, h), -1) << w << " x " << h;
    EXPECT_EQ(GetParam().write(target.c_str(), nullptr, 4, 4, 90), -1);
    EXPECT_EQ(GetParam().write(nullptr, p.data(), 4, 4, 90), -1);
    EXPECT_EQ(GetParam().write("", p.data(), 4, 4, 90), -1);
    EXPECT_TRUE(dir.names().empty());
}

TEST_P(WriterTest, MissingDirectoryCreatesNothing)
{
    const Picture p = gradient(16, 16);
    const std::string path = (dir.path() / "missing" / GetParam().file).string();
    EXPECT_EQ(GetParam().write(path.c_str(), p.data(), 16, 16, 90), -1);
    EXPECT_TRUE(dir.names().empty());
}

TEST_P(WriterTest, PictureTheEncoderRefusesFailsWithoutEndingTheProcess)
{
    // Wider than JPEG allows (65500): libjpeg's fatal error must come back
    // as a result, and the older file must survive.
    placeOlderFile();
    const Picture p(70000 * 3, 100);
    EXPECT_EQ(write(p, 70000, 1), -1);
    expectOlderFileKept();
}

TEST_P(WriterTest, ReadOnlyDirectoryFailsAndKeepsOlderFile)
{
    // As root permission bits do not count: the write runs as nobody.
    placeOlderFile();
    const Picture p = gradient(64, 48);
    const auto write_as_nobody = [&] { return asNobody([&] { return write(p, 64, 48); }); };

    fs::permissions(dir.path(), fs::perms(0777));
    fs::permissions(target, fs::perms(0666));
    ASSERT_EQ(write_as_nobody(), 0) << "nobody can write into an open directory";
    placeOlderFile();

    fs::permissions(dir.path(), fs::perms(0555));
    EXPECT_EQ(write_as_nobody(), kFailed);
    expectOlderFileKept();
}

TEST_P(WriterTest, FullFileSystemFailsAndKeepsOlderFile)
{
    // A file size limit makes writes fail part-way, as a full disk does.
    placeOlderFile();
    const Picture p = noise(640, 480);
    const auto with_size_limit = [&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16384, 16384};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return kNoSetup;
        return write(p, 640, 480);
    };
    EXPECT_EQ(inChild(with_size_limit), kFailed);
    expectOlderFileKept();

    // The same picture fits without the limit.
    EXPECT_EQ(write(p, 640, 480), 0);
    EXPECT_GT(fs::file_size(target), 16384u);
}

INSTANTIATE_TEST_SUITE_P(Writers, WriterTest, testing::ValuesIn(kWriters), writer_name);
