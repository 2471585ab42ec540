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

void RotatePoint(CvPoint *points, float degree, const IplImage *img)
{
    guarded([&] {
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
    guarded([&] {
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
    guarded([&] {
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
    if (!lt || !rb)
        return -1;
    recordOutline(rectangleOutline(cv::Point(lt->x, lt->y), cv::Point(rb->x, rb->y)));
    return 0;
}

int zq_scanner_cutting_edge_get(CuttingEdgeInfo *info)
{
    const std::optional<PageOutline> outline = recordedOutline();
    if (!info || !outline)
        return -1;
    *info = cuttingEdgeInfo(*outline);
    return 0;
}

int zq_scanner_cutting_edge_quad(zqPointF corners[4])
{
    return guarded(-1, [&] {
        const std::optional<PageOutline> outline = recordedOutline();
        if (!corners || !outline)
            return -1;
        const Quad quad = outlineCorners(*outline);
        for (size_t i = 0; i < 4; ++i)
            corners[i] = {quad[i].x, quad[i].y};
        return 0;
    });
}

int zq_scanner_set_focal_length(double longer_sides)
{
    if (!(longer_sides >= 0) || !std::isfinite(longer_sides))
        return -1;
    setFocalLength(longer_sides);
    return 0;
}

int zq_scanner_cutting_edge_show(unsigned char *buffer, int width, int height)
{
    return guarded(-1, [&] {
        const std::optional<PageOutline> outline = recordedOutline();
        if (!outline || !isUsableFrame(buffer, width, height))
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
    return guarded(-1, [&] {
        const std::optional<PageOutline> outline = recordedOutline();
        if (!outline || !isUsableFrame(buffer, width, height))
            return -1;
        PackedFrame frame(buffer, width, height);
        const cv::Mat image = frame.mat();
        const std::optional<OutlineCut> cut = planOutlineCut(*outline, image.size());
        if (!cut)
            return -1;
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
    return guarded(-1, [&] {
        if (!corners || reach < 0 || !isUsableFrame(buffer, width, height))
            return -1;
        Quad coarse;
        for (size_t i = 0; i < 4; ++i) {
            if (!std::isfinite(corners[i].x) || !std::isfinite(corners[i].y))
                return -1;
            coarse[i] = cv::Point2f(float(corners[i].x), float(corners[i].y));
        }
        PackedFrame frame(buffer, width, height);
        const cv::Mat image = frame.mat();
        const Quad page = pageCornersNear(image, clockwiseFromTopLeft(coarse), reach);
        const std::optional<FlatCut> cut = planFlatCut(page, image.size());
        if (!cut)
            return -1;
        deliver(cut->size, out_buffer, out_buffersize, out_width, out_height,
                [&](cv::Mat &out) { warpFlatPage(image, cut->corners, out); });
        return 0;
    });
}
