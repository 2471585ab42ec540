// Checks libzqscan on the kernel's virtual video driver, vivid, loaded with
// its default options: the capture node at /dev/video0 shows the 75 %
// colour bars, and video1 to video3 share its modalias "platform:vivid"
// without capturing.  Only the library's public functions are used, the
// way the program uses them.
//
// It runs inside a virtual machine on the real driver (scripts/driver-check.sh)
// and, with ZQ_VIRTUAL_HARDWARE=vivid, on the virtual hardware configured
// like the driver; both must pass the same checks.
#include <zqscan/zq_scanner.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace
{

// The sizes of the driver's last enumerated format, in its own order.
const char *const kVividSizes = "320*180,640*360,640*480,1280*720,1920*1080,3840*2160,";
// Any index above the three known cameras takes the first node with a modalias.
constexpr int kAnyCamera = 4;
constexpr int kFramesPerStream = 24;
// The 75 % colour bars, left to right.
const unsigned char kBars[8][3] = {
    {191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
    {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0},
};

class Checks
{
  public:
    bool check(bool ok, const std::string &what)
    {
        std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
        ++(ok ? passed_ : failed_);
        return ok;
    }
    int finish() const
    {
        std::printf("%d passed, %d failed\n", passed_, failed_);
        return failed_ == 0 ? 0 : 1;
    }

  private:
    int passed_ = 0;
    int failed_ = 0;
};

std::string sizeText(int w, int h)
{
    return std::to_string(w) + "x" + std::to_string(h);
}

// The first pixel in row y that differs from the bar it lies in, or -1.
// Bar k covers the columns k * width / 8 up to (k + 1) * width / 8.
int firstWrongPixel(const unsigned char *frame, int width, int y)
{
    const unsigned char *row = frame + size_t(y) * size_t(width) * 3;
    for (int x = 0; x < width; ++x)
        if (std::memcmp(row + size_t(x) * 3, kBars[size_t(x) * 8 / size_t(width)], 3) != 0)
            return x;
    return -1;
}

void checkColourBars(Checks &checks, const unsigned char *frame, int width, int height,
                     const std::string &what)
{
    // The driver writes its status text over the top rows, at any frame size.
    constexpr int kStatusTextRows = 144;
    for (int y : {kStatusTextRows, (kStatusTextRows + height - 1) / 2, height - 1}) {
        const int x = firstWrongPixel(frame, width, y);
        const unsigned char *p = frame + (size_t(y) * size_t(width) + size_t(x < 0 ? 0 : x)) * 3;
        checks.check(x < 0, what + ": row " + std::to_string(y) + " holds the colour bars" +
                                (x < 0 ? std::string()
                                       : " (pixel " + std::to_string(x) + " is " +
                                             std::to_string(p[0]) + "," + std::to_string(p[1]) +
                                             "," + std::to_string(p[2]) + ")"));
    }
}

void checkDiscovery(Checks &checks)
{
    checks.check(zq_scanner_open() == -1, "zq_scanner_open opens nothing");
    for (int index : {0, -5, 1, 2, 3}) {
        const int fd = zq_scanner_open_index(index);
        checks.check(fd == -1, "index " + std::to_string(index) + " finds no camera");
        if (fd >= 0)
            zq_scanner_close(fd);
    }
    for (int index : {kAnyCamera, 9}) {
        const int fd = zq_scanner_open_index(index);
        checks.check(fd >= 0, "index " + std::to_string(index) + " opens the vivid node");
        if (fd >= 0)
            zq_scanner_close(fd);
    }
}

void checkUnstreamedDescriptor(Checks &checks, int fd)
{
    unsigned char marker = 0;
    unsigned char *picture = &marker;
    int len = 12345;
    const int result = zq_scanner_picture_read(fd, &picture, &len);
    checks.check(result == -1 && picture == &marker && len == 12345,
                 "a read before streaming fails and leaves picture and length alone");

    char text[ZQ_RESOLUTION_LIST_MAX] = "old text";
    zq_scanner_resolution_dump(fd, text);
    checks.check(std::strcmp(text, kVividSizes) == 0,
                 std::string("resolution list is the last format's sizes (got \"") + text + "\")");
}

// vivid's brightness, contrast and saturation run 0..255 with default 128;
// libv4l2 maps them onto 0..65535.
void checkControls(Checks &checks, int fd)
{
    struct Control {
        const char *name;
        int (*get)(int);
        int (*set)(int, int);
    };
    const Control controls[] = {
        {"brightness", zq_scanner_get_brightness, zq_scanner_set_brightness},
        {"contrast", zq_scanner_get_contrast, zq_scanner_set_contrast},
        {"saturation", zq_scanner_get_saturation, zq_scanner_set_saturation},
    };
    // Value set, value read back: 16384 becomes 64 of 255 and reads 16448.
    const int steps[][2] = {{16384, 16448}, {0, 0}, {65535, 65535}, {32768, 32896}};
    for (const Control &c : controls) {
        const std::string name = c.name;
        checks.check(c.get(fd) == 32896, name + " reads 32896 at the driver's default");
        for (const auto &step : steps) {
            const int set = c.set(fd, step[0]);
            const int read = c.get(fd);
            checks.check(set == 0 && read == step[1], name + " set to " + std::to_string(step[0]) +
                                                          " reads " + std::to_string(read) + ", " +
                                                          std::to_string(step[1]) + " expected");
        }
    }
}

// Streams frames and checks their size, content and the slots they come from.
void checkFrames(Checks &checks, int fd, int width, int height, int frames)
{
    const std::string what = sizeText(width, height);
    const int expected = width * height * 3;
    std::set<unsigned char *> slots;
    int good = 0;
    unsigned char *last = nullptr;
    for (int i = 0; i < frames; ++i) {
        unsigned char *picture = nullptr;
        int len = 0;
        if (zq_scanner_picture_read(fd, &picture, &len) != 0 || len != expected || !picture)
            break;
        if (i == 0)
            checkColourBars(checks, picture, width, height, what + " first frame");
        slots.insert(picture);
        last = picture;
        ++good;
    }
    checks.check(good == frames, what + ": " + std::to_string(good) + " of " +
                                     std::to_string(frames) + " reads gave a whole frame of " +
                                     std::to_string(expected) + " bytes");
    if (last)
        checkColourBars(checks, last, width, height, what + " last frame");
    if (frames >= 8)
        checks.check(slots.size() == 4, what + ": frames come from " +
                                            std::to_string(slots.size()) +
                                            " mapped buffers, 4 expected");
}

// Opens the camera, asks for one size and streams; returns the closed descriptor.
int checkStream(Checks &checks, int askW, int askH, int grantW, int grantH, int frames)
{
    const int fd = zq_scanner_open_index(kAnyCamera);
    if (!checks.check(fd >= 0, "camera opens for " + sizeText(askW, askH)))
        return fd;
    int w = askW, h = askH;
    const int result = zq_scanner_init(fd, &w, &h);
    checks.check(result == 0 && w == grantW && h == grantH,
                 "init asking " + sizeText(askW, askH) + " streams at " + sizeText(w, h) + ", " +
                     sizeText(grantW, grantH) + " expected");
    if (result == 0)
        checkFrames(checks, fd, w, h, frames);
    zq_scanner_close(fd);
    return fd;
}

void checkReadAfterClose(Checks &checks, int closedFd)
{
    unsigned char marker = 0;
    unsigned char *picture = &marker;
    int len = 7;
    checks.check(zq_scanner_picture_read(closedFd, &picture, &len) == -1 && picture == &marker &&
                     len == 7,
                 "a read after the stream was closed fails and leaves picture and length alone");
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Checks checks;
    checkDiscovery(checks);

    const int fd = zq_scanner_open_index(kAnyCamera);
    if (checks.check(fd >= 0, "camera opens"))
        checkUnstreamedDescriptor(checks, fd);
    if (fd >= 0)
        checkControls(checks, fd);
    if (fd >= 0)
        zq_scanner_close(fd);

    const int closed = checkStream(checks, 1280, 720, 1280, 720, kFramesPerStream);
    checkReadAfterClose(checks, closed);
    // Reopened, at another size the driver offers and at sizes it lacks:
    // it grants the size with the smallest sum of the width and height
    // differences, the later size on a tie.
    checkStream(checks, 640, 480, 640, 480, 8);
    checkStream(checks, 1000, 700, 1280, 720, 2);
    checkStream(checks, 100, 100, 320, 180, 2);
    checkStream(checks, 1300, 300, 1280, 720, 2);
    checkStream(checks, 480, 420, 640, 480, 2);
    return checks.finish();
}
