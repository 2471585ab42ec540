// The crop quadrilateral: recording it by hand, drawing it, and cutting
// the page out upright.
#include "box_warp.h"
#include "detected_page.h"
#include "flat_page.h"
#include "image_support.h"
#include "zq_opencv_internal.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

CuttingEdgeInfo g_cutting_edge = {false, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}, 0.0};

using namespace zq::imaging;

namespace
{

// OpenCV's rotation about the image centre (integer halves of the size);
// a positive angle turns the content counter-clockwise on screen.
cv::Mat rotationMatrix(const IplImage *img, float degree)
{
    const cv::Point2f centre(static_cast<float>(img->width / 2),
                             static_cast<float>(img->height / 2));
    return cv::getRotationMatrix2D(centre, degree, 1.0);
}

// Truncates toward zero like a plain conversion, but saturates instead of
// overflowing for points far outside any frame.
int truncateToInt(double v)
{
    if (!(v > INT32_MIN))
        return INT32_MIN;
    return v < INT32_MAX ? static_cast<int>(v) : INT32_MAX;
}

// The part of the rectangle that lies in the image; empty when none does.
cv::Rect clipToImage(int64_t x, int64_t y, int64_t w, int64_t h, const IplImage *img)
{
    const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(x + w, img->width);
    const int64_t bottom = std::min<int64_t>(y + h, img->height);
    if (right <= left || bottom <= top)
        return {};
    return {int(left), int(top), int(right - left), int(bottom - top)};
}

// An axis-aligned quadrilateral: from the smallest coordinates, as large
// as corners 0 and 2 are apart, clipped to the frame.
cv::Rect alignedCrop(const CvPoint (&p)[4], const IplImage *img)
{
    int64_t x = p[0].x, y = p[0].y;
    for (const CvPoint &corner : p) {
        x = std::min<int64_t>(x, corner.x);
        y = std::min<int64_t>(y, corner.y);
    }
    const int64_t w = std::llabs(int64_t(p[0].x) - p[2].x);
    const int64_t h = std::llabs(int64_t(p[0].y) - p[2].y);
    return clipToImage(x, y, w, h, img);
}

int64_t squaredDistance(const CvPoint &p)
{
    return int64_t(p.x) * p.x + int64_t(p.y) * p.y;
}

// A tilted quadrilateral: the corners turned upright about the image
// centre, then the box from the corner nearest the origin to the one
// farthest from it, in the coordinates of the turned image.  At the right
// and bottom edges the box stops one pixel short of the edge.
cv::Rect turnedCrop(const IplImage *img, CvPoint (&p)[4], float turn)
{
    RotatePoint(p, turn, img);
    const auto byDistance = [](const CvPoint &a, const CvPoint &b) {
        return squaredDistance(a) < squaredDistance(b);
    };
    // Both searches keep the first of equal distances.
    const CvPoint nearest = *std::min_element(std::begin(p), std::end(p), byDistance);
    const CvPoint farthest = *std::max_element(std::begin(p), std::end(p), byDistance);
    int64_t x = nearest.x, y = nearest.y;
    int64_t w = std::llabs(int64_t(farthest.x) - nearest.x);
    int64_t h = std::llabs(int64_t(farthest.y) - nearest.y);
    if (x < 0) {
        w += x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        y = 0;
    }
    if (x + w > img->width)
        w = img->width - x - 1;
    if (y + h > img->height)
        h = img->height - y - 1;
    if (w <= 0 || h <= 0)
        return {};
    return {int(x), int(y), int(w), int(h)};
}

// How the recorded quadrilateral is cut out of an image: the box, and for
// a tilted one the turn that straightens it.
struct CropPlan {
    cv::Rect box;
    bool turned = false;
    float turn = 0;
};

CropPlan planCrop(const IplImage *img)
{
    CvPoint p[4];
    for (int i = 0; i < 4; ++i)
        p[i] = cvPoint(g_cutting_edge.point[i].x, g_cutting_edge.point[i].y);
    const double angle = g_cutting_edge.angle;
    CropPlan plan;
    if (angle == 0.0) {
        plan.box = alignedCrop(p, img);
    } else if (std::isfinite(angle)) {
        plan.turned = true;
        plan.turn = straighteningTurn(angle);
        plan.box = turnedCrop(img, p, plan.turn);
    }
    return plan;
}

// Writes the planned cut of source into out, which has the box's size.
// A tilted cut works out only the box of the turned image, with the
// interpolation and the white outside that turning the whole image gives.
void cutInto(const IplImage *source, const CropPlan &plan, cv::Mat &out)
{
    const cv::Mat image = cv::cvarrToMat(source);
    if (plan.turned)
        warpBox(image, rotationMatrix(source, plan.turn), plan.box, out);
    else
        image(plan.box).copyTo(out);
}

// The record's corners as they are, clockwise from the top left.
Quad recordedCorners()
{
    Quad q;
    for (size_t i = 0; i < 4; ++i)
        q[i] = cv::Point2f(float(g_cutting_edge.point[i].x), float(g_cutting_edge.point[i].y));
    return clockwiseFromTopLeft(q);
}

// Whether the crop record holds an outline for the current frame; the
// call's failure is recorded when not.
bool outlineRecorded()
{
    if (g_cutting_edge.valid)
        return true;
    zq::failWith("no crop outline is recorded for the current frame (none was found or set, or "
                 "it was drawn)");
    return false;
}

} // namespace

void RotatePoint(CvPoint *points, float degree, const IplImage *img)
{
    guarded("RotatePoint", [&] {
        if (!points || !img)
            return;
        const cv::Mat m = rotationMatrix(img, degree);
        const double *r0 = m.ptr<double>(0), *r1 = m.ptr<double>(1);
        for (int i = 0; i < 4; ++i) {
            const double x = points[i].x, y = points[i].y;
            points[i].x = truncateToInt(r0[0] * x + r0[1] * y + r0[2]);
            points[i].y = truncateToInt(r1[0] * x + r1[1] * y + r1[2]);
        }
    });
}

void RotateImage(IplImage *img, float degree)
{
    guarded("RotateImage", [&] {
        if (!img)
            return;
        cv::Mat image = cv::cvarrToMat(img);
        const cv::Mat source = image.clone();
        cv::warpAffine(source, image, rotationMatrix(img, degree), image.size(), cv::INTER_LINEAR,
                       cv::BORDER_CONSTANT, cv::Scalar::all(255));
    });
}

void _rotate_and_cut(IplImage *srcImg, IplImage *&imgOut, int)
{
    guarded("_rotate_and_cut", [&] {
        if (!srcImg)
            return;
        const CropPlan plan = planCrop(srcImg);
        if (plan.box.empty())
            return;
        ImagePtr out(cvCreateImage(cvSize(plan.box.width, plan.box.height), IPL_DEPTH_8U, 3));
        cv::Mat view = cv::cvarrToMat(out.get());
        cutInto(srcImg, plan, view);
        imgOut = out.release();
    });
}

int zq_scanner_cutting_edge_set(const zqPoint *lt, const zqPoint *rb)
{
    if (!lt || !rb) {
        zq::failWith("zq_scanner_cutting_edge_set: a corner is missing (null pointer)");
        return -1;
    }
    g_cutting_edge.point[0] = {lt->x, lt->y};
    g_cutting_edge.point[1] = {lt->x, rb->y};
    g_cutting_edge.point[2] = {rb->x, rb->y};
    g_cutting_edge.point[3] = {rb->x, lt->y};
    g_cutting_edge.angle = 0.0;
    g_cutting_edge.valid = true;
    return 0;
}

int zq_scanner_cutting_edge_get(CuttingEdgeInfo *info)
{
    if (!info) {
        zq::failWith("zq_scanner_cutting_edge_get: no place for the outline (null pointer)");
        return -1;
    }
    if (!outlineRecorded())
        return -1;
    *info = g_cutting_edge;
    return 0;
}

int zq_scanner_cutting_edge_quad(zqPointF corners[4])
{
    return guarded("zq_scanner_cutting_edge_quad", -1, [&] {
        if (!corners) {
            zq::failWith("zq_scanner_cutting_edge_quad: no place for the corners (null pointer)");
            return -1;
        }
        if (!outlineRecorded())
            return -1;
        const Quad quad = detectedCorners().value_or(recordedCorners());
        for (size_t i = 0; i < 4; ++i)
            corners[i] = {quad[i].x, quad[i].y};
        return 0;
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
        if (!outlineRecorded() || !acceptFrame(buffer, width, height))
            return -1;
        PackedFrame frame(buffer, width, height);
        std::vector<cv::Point> outline;
        if (const std::optional<Quad> page = detectedCorners(width, height)) {
            for (const cv::Point2f &p : *page)
                outline.emplace_back(int(std::lround(p.x)), int(std::lround(p.y)));
        } else {
            for (const zqPoint &p : g_cutting_edge.point)
                outline.emplace_back(p.x, p.y);
        }
        cv::Mat image = frame.mat();
        cv::polylines(image, outline, true, cv::Scalar(0, 255, 0, 0), 5, cv::LINE_AA, 0);
        g_cutting_edge.valid = false;
        return 0;
    });
}

int zq_scanner_cutting_edge_do(const unsigned char *buffer, int width, int height,
                               unsigned char *out_buffer, int out_buffersize, int *out_width,
                               int *out_height)
{
    return guarded("zq_scanner_cutting_edge_do", -1, [&] {
        if (!outlineRecorded() || !acceptFrame(buffer, width, height))
            return -1;
        PackedFrame frame(buffer, width, height);
        const cv::Mat image = frame.mat();
        // Straight into the caller's buffer: no copy of the frame, and only
        // the page's own pixels are worked on.
        if (const std::optional<Quad> page = detectedCorners(width, height)) {
            const std::optional<FlatCut> cut = planFlatCut(*page, image.size());
            if (!cut) {
                zq::failWith("the page's outline encloses nothing to cut");
                return -1;
            }
            deliver(cut->size, out_buffer, out_buffersize, out_width, out_height,
                    [&](cv::Mat &out) { warpFlatPage(image, cut->corners, out); });
            return 0;
        }
        const CropPlan plan = planCrop(frame.image());
        if (plan.box.empty()) {
            zq::failWith("the crop outline encloses nothing of the %d x %d frame", width, height);
            return -1;
        }
        deliver(plan.box.size(), out_buffer, out_buffersize, out_width, out_height,
                [&](cv::Mat &out) { cutInto(frame.image(), plan, out); });
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
