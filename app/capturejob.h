// A capture's work away from the preview: the whole frame behind the
// preview's reduced one decoded, turned and cut as the preview showed it,
// and its pages written.  Runs on any thread; the window lists the pages
// it wrote once it has run.
#ifndef ZQVIDEO_CAPTUREJOB_H
#define ZQVIDEO_CAPTUREJOB_H

#include <zqscan/zq_opencv.h>

#include <QByteArray>
#include <QString>

#include <array>
#include <mutex>
#include <string>
#include <vector>

// The library keeps one crop record and one book record.  The preview's
// search and a capture's cut take turns at them: the preview skips its
// search for a tick rather than wait.
std::mutex &libraryRecords();

// The camera's whole frame as the last preview read held it: its JPEG
// data, or its RGB24 picture.
struct HeldFrame {
    // A copy of what the last zq_scanner_preview_read on fd held; empty
    // when it held nothing.
    static HeldFrame copyFrom(int fd, int width, int height);
    // The frame as packed RGB24, decoded in full; width and height become
    // its size.  Empty when it cannot be decoded.
    std::vector<unsigned char> whole(int &width, int &height) const;
    bool empty() const { return bytes.empty(); }

    std::vector<unsigned char> bytes;
    bool jpeg = false;
    int width = 0; // of an RGB24 frame
    int height = 0;
};

struct CaptureJob {
    enum class Cut { Whole, Page, Rectangle, Book };

    // Decodes, turns, cuts and writes; the outcome says what was written.
    // Throws nothing.
    struct Outcome;
    Outcome run() const;

    HeldFrame frame;
    bool grey = false;
    int quarterTurns = 0; // counter-clockwise
    bool clearBackground = false;
    Cut cut = Cut::Whole;
    std::array<zqPointF, 4> outline{}; // Page: the page's corners in the turned whole frame
    int reach = 0;                     // Page: how far the edges may lie from them
    zqPoint topLeft{}, bottomRight{};  // Rectangle: in the turned whole frame
    bool rightPageFirst = false;       // Book
    std::string directory;
    std::string stamp; // the files' names before their suffix and extension
    bool tiff = false;
    int quality = 0; // the writers' quality
};

struct CaptureJob::Outcome {
    struct Written {
        QByteArray path;
        QString name;
    };
    std::vector<Written> written; // in reading order
    QString failedName;           // the file that could not be written, if any
    int error = 0;                // its errno; 0 when all were written
};

#endif
