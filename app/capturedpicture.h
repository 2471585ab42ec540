// A picture a capture writes: the frame itself, or a page cut out of it.
#ifndef ZQVIDEO_CAPTUREDPICTURE_H
#define ZQVIDEO_CAPTUREDPICTURE_H

#include <functional>
#include <memory>
#include <string>

struct CapturedPicture {
    // One of the library's cutters: with a null buffer it gives the size
    // alone, with one of 3 * width * height bytes it cuts; -1 on failure.
    using Cutter = std::function<int(unsigned char *out, int size, int *width, int *height)>;

    static CapturedPicture whole(const unsigned char *frame, int width, int height);
    // Asks for the size first: a page seen in perspective is flattened to
    // its own proportions and may come out larger than the frame.
    static CapturedPicture cutBy(const Cutter &cutter);

    std::string suffix;                 // of the file's name, before the extension
    const unsigned char *rgb = nullptr; // packed RGB24; null when the cut failed
    int width = 0;
    int height = 0;
    std::unique_ptr<unsigned char[]> cut; // holds rgb for a cut
};

#endif
