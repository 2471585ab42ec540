// The crop record's C entry points: setting it by hand, reading, drawing
// and cutting it (outline_cut.h), and cutting a page along corners found
// elsewhere without it.
#include "crop_record.h"
#include "image_support.h"
#include "outline_cut.h"
#include "page_detection.h"
#include "zq_opencv_internal.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

using namespace zq::imaging;

namespace
{

// The outline recorded for the current frame; the call's failure is
// recorded when there is none.
std::optional<PageOutline> currentOutline()
{
    std::optional<PageOutline> outline = recordedOutline();
    if (!outline)
        zq::failWith("no crop outline is recorded for the current frame (none was found or set, "
                     "or it was drawn)");
    return outline;
}

// Gives the current outline to `write`, which fills the caller's place for
// it; -1 with the failure recorded when there is no place or no outline.
template <typename Write> int handOverOutline(const void *place, const char *noPlace, Write write)
{
    if (!place) {
        zq::failWith("%s (null pointer)", noPlace);
        return -1;
    }
    const std::optional<PageOutline> outline = currentOutline();
    if (!outline)
        return -1;
    write(*outline);
    return 0;
}

} // namespace

void RotatePoint(CvPoint *points, float degree, const IplImage *img)
{
    guarded("RotatePoint", [&] {
        if (!points || !img)
            return;
        std::array<cv::Point, 4> p;
        for (size_t i = 0; i < 4; ++i)
            p[i] = cv::Point(points[i].x, points[i].y);
        p = turnedPoints(p, degree, cv::Size(img->width, img->height));
        for (size_t i = 0; i < 4; ++i)
            points[i] = cvPoint(p[i].x, p[i].y);
    });
}

void RotateImage(IplImage *img, float degree)
{
    guarded("RotateImage", [&] {
        if (!img)
            return;
        cv::Mat image = cv::cvarrToMat(img);
        const cv::Mat source = image.clone();
        cv::warpAffine(source, image, rotationMatrix(image.size(), degree), image.size(),
                       cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(255));
    });
}

void _rotate_and_cut(IplImage *srcImg, IplImage *&imgOut, int)
{
    guarded("_rotate_and_cut", [&] {
        if (!srcImg)
            return;
        const cv::Mat source = cv::cvarrToMat(srcImg);
        const std::optional<BoxCut> cut = planBoxCut(recordedBox(), source.size());
        if (!cut)
            return;
        ImagePtr out(cvCreateImage(cvSize(cut->box.width, cut->box.height), IPL_DEPTH_8U, 3));
        cv::Mat view = cv::cvarrToMat(out.get());
        cutBox(source, *cut, view);
        imgOut = out.release();
    });
}

int zq_scanner_cutting_edge_set(const zqPoint *lt, const zqPoint *rb)
{
    if (!lt || !rb) {
        zq::failWith("zq_scanner_cutting_edge_set: a corner is missing (null pointer)");
        return -1;
    }
    recordOutline(rectangleOutline(cv::Point(lt->x, lt->y), cv::Point(rb->x, rb->y)));
    return 0;
}

int zq_scanner_cutting_edge_get(CuttingEdgeInfo *info)
{
    return handOverOutline(info, "zq_scanner_cutting_edge_get: no place for the outline",
                           [&](const PageOutline &outline) { *info = cuttingEdgeInfo(outline); });
}

int zq_scanner_cutting_edge_quad(zqPointF corners[4])
{
    return guarded("zq_scanner_cutting_edge_quad", -1, [&] {
        return handOverOutline(corners, "zq_scanner_cutting_edge_quad: no place for the corners",
                               [&](const PageOutline &outline) {
                                   const Quad quad = outlineCorners(outline);
                                   for (size_t i = 0; i < 4; ++i)
                                       corners[i] = {quad[i].x, quad[i].y};
                               });
    });
}

int zq_scanner_set_focal_length(double longer_sides)
{
    if (!(longer_sides >= 0) || !std::isfinite(longer_sides)) {
        zq::failWith("focal length %g is negative or not finite", longer_sides);
        return -1;
    }
    setFocalLength(longer_sides);
    return 0;
}

int zq_scanner_cutting_edge_show(unsigned char *buffer, int width, int height)
{
    return guarded("zq_scanner_cutting_edge_show", -1, [&] {
        const std::optional<PageOutline> outline = currentOutline();
        if (!outline || !acceptFrame(buffer, width, height))
            return -1;
        PackedFrame frame(buffer, width, height);
        cv::Mat image = frame.mat();
        drawOutline(image, *outline);
        consumeRecord();
        return 0;
    });
}

int zq_scanner_cutting_edge_do(const unsigned char *buffer, int width, int height,
                               unsigned char *out_buffer, int out_buffersize, int *out_width,
                               int *out_height)
{
    return guarded("zq_scanner_cutting_edge_do", -1, [&] {
        const std::optional<PageOutline> outline = currentOutline();
        if (!outline || !acceptFrame(buffer, width, height))
            return -1;
        PackedFrame frame(buffer, width, height);
        const cv::Mat image = frame.mat();
        const std::optional<OutlineCut> cut = planOutlineCut(*outline, image.size());
        if (!cut) {
            zq::failWith("the crop outline encloses nothing of the %d x %d frame", width, height);
            return -1;
        }
        // Straight into the caller's buffer: no copy of the frame, and only
        // the page's own pixels are worked on.
        deliver(cutSize(*cut), out_buffer, out_buffersize, out_width, out_height,
                [&](cv::Mat &out) { cutOutline(image, *cut, out); });
        return 0;
    });
}

int zq_scanner_page_cut_near(const unsigned char *buffer, int width, int height,
                             const zqPointF corners[4], int reach, unsigned char *out_buffer,
                             int out_buffersize, int *out_width, int *out_height)
{
    return guarded("zq_scanner_page_cut_near", -1, [&] {
        if (!corners) {
            zq::failWith("zq_scanner_page_cut_near: no corners given (null pointer)");
            return -1;
        }
        if (reach < 0) {
            zq::failWith("zq_scanner_page_cut_near: reach %d is negative", reach);
            return -1;
        }
        if (!acceptFrame(buffer, width, height))
            return -1;
        Quad coarse;
        for (size_t i = 0; i < 4; ++i) {
            if (!std::isfinite(corners[i].x) || !std::isfinite(corners[i].y)) {
                zq::failWith("corner %zu (%g, %g) is not finite", i, corners[i].x, corners[i].y);
                return -1;
            }
            coarse[i] = cv::Point2f(float(corners[i].x), float(corners[i].y));
        }
        PackedFrame frame(buffer, width, height);
        const cv::Mat image = frame.mat();
        const Quad page = pageCornersNear(image, clockwiseFromTopLeft(coarse), reach);
        const std::optional<FlatCut> cut = planFlatCut(page, image.size());
        if (!cut) {
            zq::failWith("the page near the corners encloses nothing to cut");
            return -1;
        }
        deliver(cut->size, out_buffer, out_buffersize, out_width, out_height,
                [&](cv::Mat &out) { warpFlatPage(image, cut->corners, out); });
        return 0;
    });
}
