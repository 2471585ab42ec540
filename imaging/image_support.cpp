#include "image_support.h"

#include <climits>
#include <cmath>

namespace zq::imaging
{

bool acceptFrame(const void *data, int width, int height)
{
    if (!data) {
        zq::failWith("no frame given (null pointer)");
        return false;
    }
    if (width > 0 && height > 0 && width <= INT_MAX / 3 / height)
        return true;
    zq::failWith("%d x %d pixels describe no frame", width, height);
    return false;
}

PackedFrame::PackedFrame(const unsigned char *data, int width, int height)
{
    cvInitImageHeader(&header_, cvSize(width, height), IPL_DEPTH_8U, 3);
    // Read-only callers only read through the view.
    cvSetData(&header_, const_cast<unsigned char *>(data), 3 * width);
}

float straighteningTurn(double boxAngle)
{
    return static_cast<float>(boxAngle - 90.0 * std::round(boxAngle / 90.0));
}

} // namespace zq::imaging
