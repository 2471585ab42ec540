// Finding the page in a live frame.
#include "frame_scaling.h"
#include "detected_page.h"
#include "fitted_line.h"
#include "image_support.h"
#include "page_edges.h"
#include "page_region.h"
#include "zq_opencv_internal.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/imgproc/imgproc_c.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

CvMemStorage *storage = nullptr;
CvSeq *squares = nullptr;

using namespace zq::imaging;

namespace
{

// The highlight curve: dark values are compressed (v * 200 / 256 below
// 128), bright ones spread over 157..255, which pulls paper away from the
// desk before the threshold is chosen.  The curve comes from reading the
// grey bytes as signed values; that reading would turn 254 and 255 into 0
// and make a saturated white page dark, so they continue the curve at 255.
cv::Mat highlightTable()
{
    cv::Mat table(1, 256, CV_8U);
    for (int v = 0; v < 256; ++v) {
        const int s = static_cast<int8_t>(v);
        const int stretched = static_cast<int>(s * 200 / 256 + 0.5);
        table.at<uchar>(v) = static_cast<uchar>(stretched & 0xff);
    }
    table.at<uchar>(254) = table.at<uchar>(255) = 255;
    return table;
}

// The grey picture highlighted; the last row and column keep their
// values.
cv::Mat highlighted(const cv::Mat &gray)
{
    static const cv::Mat table = highlightTable();
    cv::Mat out = gray.clone();
    cv::Mat inner = out(cv::Rect(0, 0, gray.cols - 1, gray.rows - 1));
    cv::LUT(inner, table, inner);
    return out;
}

// Reduced pictures wider than this are searched for edges at half their
// size: the page's edges stay, print and wood grain blur away, and the
// search costs a quarter.
constexpr int kEdgeSearchWidth = 420;

// The frame as the detectors see it: reduced by nsalc, its grey picture
// smoothed by one pyramid level down and up, and black and white.  The
// smoothing works on the grey picture alone: a third of the work of
// smoothing the colours.
struct Pictures {
    cv::Mat reduced;               // area average of nsalc x nsalc pixels
    cv::Mat gray;                  // the reduced frame's grey, without its noise
    cv::Mat highlight, binary, bw; // the grey picture highlighted, then black and white
};

Pictures reduce(const cv::Mat &frame, int nsalc)
{
    Pictures p;
    const cv::Size size(frame.cols / nsalc, frame.rows / nsalc);
    cv::resize(frame, p.reduced, size, 0, 0, cv::INTER_AREA);
    cv::Mat gray, half;
    cv::cvtColor(p.reduced, gray, cv::COLOR_BGR2GRAY);
    cv::pyrDown(gray, half, cv::Size(size.width / 2, size.height / 2));
    cv::pyrUp(half, p.gray, size);
    return p;
}

// Black and white picture of the smoothed grey frame: paper white, desk
// black.
cv::Mat &binarise(Pictures &p)
{
    p.highlight = highlighted(p.gray);
    cv::threshold(p.highlight, p.binary, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    cv::medianBlur(p.binary, p.bw, 3);
    return p.bw;
}

struct StorageRelease {
    void operator()(CvMemStorage *s) const { cvReleaseMemStorage(&s); }
};
using ContourStorage = std::unique_ptr<CvMemStorage, StorageRelease>;

// The outline's points a pixel apart: straight runs of the contour are
// kept as their ends alone.
std::vector<cv::Point2f> pixelSteps(const std::vector<cv::Point> &contour)
{
    std::vector<cv::Point2f> steps;
    for (size_t i = 0; i < contour.size(); ++i) {
        const cv::Point2f a = contour[i], b = contour[(i + 1) % contour.size()];
        const int n = std::max(1, int(cv::norm(b - a)));
        for (int k = 0; k < n; ++k)
            steps.push_back(a + (b - a) * (float(k) / n));
    }
    return steps;
}

// The line along the outline near the side from a to b: fitted to the
// outline's points along the side's middle, which a bright thing touching
// the page at a corner does not bend.
std::optional<FittedLine> sideAlong(const std::vector<cv::Point2f> &outline, cv::Point2f a,
                                    cv::Point2f b)
{
    constexpr float kNear = 3; // reduced pixels from the side
    const FittedLine side = lineThrough(a, b);
    const float length = float(cv::norm(b - a));
    std::vector<cv::Point2f> near;
    for (const cv::Point2f &p : outline) {
        const float t = side.dir.dot(p - a);
        if (t > 0.1f * length && t < 0.9f * length && side.distance(p) <= kNear)
            near.push_back(p);
    }
    if (near.size() < 8)
        return std::nullopt;
    const std::optional<FittedLine> agreed = consensus(near, 1.0f);
    if (!agreed)
        return std::nullopt;
    return fitLine(pointsNear(near, *agreed, 1.0f));
}

// The four corners of a region's convex hull, simplified until four
// remain; the box's corners where it will not come to four.
Quad hullCorners(const std::vector<cv::Point> &contour, const CvBox2D &box)
{
    std::vector<cv::Point> hull, simple;
    cv::convexHull(contour, hull);
    const double perimeter = cv::arcLength(hull, true);
    for (double tolerance = 0.01; tolerance < 0.1; tolerance += 0.01) {
        cv::approxPolyDP(hull, simple, tolerance * perimeter, true);
        if (simple.size() <= 4)
            break;
    }
    Quad corners;
    if (simple.size() == 4)
        std::copy(simple.begin(), simple.end(), corners.begin());
    else
        cv::RotatedRect(box).points(corners.data());
    return corners;
}

// Where lines fitted along the outline near each side of the hull's
// corners meet; the hull's corners where a side has too little outline.
Quad fittedCorners(const std::vector<cv::Point> &contour, const Quad &hull)
{
    const std::vector<cv::Point2f> outline = pixelSteps(contour);
    FittedLine side[4];
    for (size_t i = 0; i < 4; ++i) {
        const std::optional<FittedLine> line = sideAlong(outline, hull[i], hull[(i + 1) % 4]);
        if (!line)
            return hull;
        side[i] = *line;
    }
    return outlineOf(side).value_or(hull);
}

// The largest white region that covers less than 90 % of the picture: its
// area, rotated box and corners.  Of equal areas the earlier contour wins.
std::optional<BrightRegion> largestRegion(cv::Mat &binary)
{
    ContourStorage contourStorage(cvCreateMemStorage(0));
    IplImage header = cvIplImage(binary);
    CvSeq *contour = nullptr;
    cvFindContours(&header, contourStorage.get(), &contour, sizeof(CvContour), CV_RETR_LIST,
                   CV_CHAIN_APPROX_SIMPLE, cvPoint(0, 0));
    const double allArea = (binary.cols * binary.rows) * 9.0 / 10.0;
    double areaMax = 0.0;
    CvSeq *largest = nullptr;
    for (; contour; contour = contour->h_next) {
        const double area = std::fabs(cvContourArea(contour, CV_WHOLE_SEQ, 0));
        if (area > areaMax && area < allArea) {
            areaMax = area;
            largest = contour;
        }
    }
    if (!largest)
        return std::nullopt;
    const CvBox2D box = cvMinAreaRect2(largest, nullptr);
    std::vector<cv::Point> outline(size_t(largest->total));
    cvCvtSeqToArray(largest, outline.data(), CV_WHOLE_SEQ);
    const Quad hull = hullCorners(outline, box);
    return BrightRegion{areaMax, box, hull, fittedCorners(outline, hull)};
}

// The page the detector found: its box as the record counts it (a corner
// at x stands for frame pixel x * nsalc) and its corners in reduced
// pixels.
struct FoundPage {
    CvBox2D box;
    Quad corners;
};

FoundPage regionPage(const BrightRegion &region)
{
    return {region.box, region.corners};
}

// The page found by its edges.
// The outline the page's edges draw in the reduced picture, in its
// pixels: searched at half its size where it is wide, and half again where
// nothing is found.  A faint edge (a receipt on a white desk) is a gentle
// slope in a large picture and a step in a smaller one.
std::optional<Quad> outlineByEdges(const cv::Mat &reduced)
{
    constexpr int kSmallest = 160; // pixels across: smaller, a page's edges are lost
    cv::Mat picture = reduced;
    float scale = 1; // reduced pixels a pixel of the picture covers
    if (picture.cols > kEdgeSearchWidth) {
        cv::pyrDown(reduced, picture, cv::Size(reduced.cols / 2, reduced.rows / 2));
        scale = 2;
    }
    for (;;) {
        if (std::optional<Quad> quad = findPageByEdges(picture)) {
            // Pixel centres: pixel j of a halved picture lies between
            // pixels 2j and 2j + 1 of the one it halves.
            for (cv::Point2f &p : *quad)
                p = scale * p + cv::Point2f(0.5f, 0.5f) * (scale - 1);
            return quad;
        }
        if (picture.cols / 2 < kSmallest)
            return std::nullopt;
        cv::pyrDown(picture, picture, cv::Size(picture.cols / 2, picture.rows / 2));
        scale *= 2;
    }
}

// The page found by its edges.
std::optional<FoundPage> pageByEdges(const Pictures &r, int nsalc)
{
    const std::optional<Quad> quad = outlineByEdges(r.reduced);
    if (!quad)
        return std::nullopt;
    // Reduced pixel i lies in the middle of frame pixels i * nsalc to
    // (i + 1) * nsalc - 1.
    const float toFrameGrid = 0.5f - 0.5f / nsalc;
    FoundPage page;
    std::vector<cv::Point2f> onGrid;
    for (size_t i = 0; i < 4; ++i) {
        page.corners[i] = (*quad)[i];
        onGrid.push_back((*quad)[i] + cv::Point2f(toFrameGrid, toFrameGrid));
    }
    page.box = cvBox2D(cv::minAreaRect(onGrid));
    return page;
}

// The coarse corners in frame pixels.
Quad inFrame(const Quad &reduced, int nsalc)
{
    const float centre = (nsalc - 1) / 2.0f;
    Quad frame;
    for (size_t i = 0; i < 4; ++i)
        frame[i] = reduced[i] * float(nsalc) + cv::Point2f(centre, centre);
    return frame;
}

// Appends the box's corners, rounded, to squares.
void pushCorners(const CvBox2D &box)
{
    CvPoint2D32f corners[4];
    cvBoxPoints(box, corners);
    for (const CvPoint2D32f &corner : corners) {
        const CvPoint point = cvPoint(cvRound(corner.x), cvRound(corner.y));
        cvSeqPush(squares, &point);
    }
}

// The page: the largest bright region where it shows a whole page;
// otherwise the outline that the page's edges draw; failing that, a bright
// region running off the frame, a page partly in view.
std::optional<FoundPage> findPage(const cv::Mat &frame, int nsalc)
{
    Pictures pictures = reduce(frame, nsalc);
    const std::optional<BrightRegion> region = largestRegion(binarise(pictures));
    const PageLikeness likeness = region ? judgeRegion(*region, pictures.gray) : PageLikeness::None;
    if (likeness == PageLikeness::Whole)
        return regionPage(*region);
    if (const std::optional<FoundPage> edges = pageByEdges(pictures, nsalc))
        return edges;
    if (likeness == PageLikeness::CutByFrame)
        return regionPage(*region);
    return std::nullopt;
}

// The page's corners measured on the whole frame near the coarse ones,
// clockwise from the top left.
Quad measuredCorners(const cv::Mat &frame, const Quad &reduced, int nsalc)
{
    // The coarse corners lie within about two grid steps of the page.
    return pageCornersNear(frame, inFrame(reduced, nsalc), 2 * nsalc + 2);
}

// Empties squares when a detection ends, however it ends.
struct SquaresReset {
    ~SquaresReset()
    {
        if (squares)
            cvClearSeq(squares);
    }
};

} // namespace

IplImage *GetIplFromBmpStream(const unsigned char *pBmp, int width, int height)
{
    return guarded<IplImage *>("GetIplFromBmpStream", nullptr, [&]() -> IplImage * {
        if (!acceptFrame(pBmp, width, height))
            return nullptr;
        PackedFrame frame(pBmp, width, height);
        return cvCloneImage(frame.image());
    });
}

CvSeq *findSquares4ex1(IplImage *img1, CvMemStorage *, double &angle, int nsalc)
{
    guarded("findSquares4ex1", [&] {
        if (!squares || !img1 || nsalc <= 0)
            return;
        const cv::Mat frame = cv::cvarrToMat(img1);
        // The noise removal needs at least 2 x 2 reduced pixels.
        if (frame.cols / nsalc < 2 || frame.rows / nsalc < 2)
            return;
        Pictures pictures = reduce(frame, nsalc);
        const std::optional<BrightRegion> region = largestRegion(binarise(pictures));
        if (!region)
            return;
        pushCorners(region->box);
        angle = region->box.angle;
    });
    return squares;
}

bool drawSquares(IplImage *, CvSeq *squares, CvPoint *pt1, CvPoint *pt2, CvPoint *pt3, CvPoint *pt4,
                 int salc)
{
    if (!squares || squares->elem_size != sizeof(CvPoint)) {
        zq::failWith("drawSquares: no sequence of corners given");
        return false;
    }
    CvPoint *const out[4] = {pt1, pt2, pt3, pt4};
    CvSeqReader reader;
    cvStartReadSeq(squares, &reader, 0);
    // With several groups of four the last one wins.
    for (int read = 0; read + 4 <= squares->total; read += 4) {
        for (CvPoint *pt : out) {
            CvPoint point;
            CV_READ_SEQ_ELEM(point, reader);
            if (pt)
                *pt = cvPoint(point.x * salc, point.y * salc);
        }
    }
    return true;
}

namespace zq::imaging
{

bool detectionPrepared(const void *detectionStorage)
{
    if (detectionStorage)
        return true;
    zq::failWith("the detection storage is not prepared: zq_scanner_dllinit prepares it");
    return false;
}

} // namespace zq::imaging

int zq_scanner_dllinit(void)
{
    return guarded("zq_scanner_dllinit", 0, [] {
        zq_scanner_dllunit();
        storage = cvCreateMemStorage(0);
        squares = cvCreateSeq(0, sizeof(CvSeq), sizeof(CvPoint), storage);
        return 0;
    });
}

int zq_scanner_dllunit(void)
{
    return guarded("zq_scanner_dllunit", 0, [] {
        if (squares)
            cvClearSeq(squares);
        squares = nullptr; // it lives in storage
        if (storage)
            cvReleaseMemStorage(&storage);
        return 0;
    });
}

int zq_scanner_cutting_edge_auto(unsigned char *buffer, int width, int height)
{
    return zq_scanner_cutting_edge_auto_reduced(buffer, width, height, 1);
}

int zq_scanner_cutting_edge_auto_reduced(unsigned char *buffer, int width, int height,
                                         int denominator)
{
    return guarded("zq_scanner_cutting_edge_auto", 1, [&] {
        if (!detectionPrepared(squares) || !acceptFrame(buffer, width, height) ||
            !zq::accept_scale_denominator(denominator))
            return 1;
        SquaresReset reset;
        // The frame is only read: a view of it spares a full-size copy on
        // every preview frame.
        PackedFrame frame(buffer, width, height);
        const int nsalc = reductionFactor(width, height, denominator);
        if (width / nsalc < 2 || height / nsalc < 2) {
            zq::failWith("a %d x %d frame is too small to look for a page in", width, height);
            return 1;
        }
        const cv::Mat view = frame.mat();
        const std::optional<FoundPage> page = findPage(view, nsalc);
        if (!page) {
            zq::failWith("no page found in the %d x %d frame", width, height);
            return 1;
        }
        // Everything is worked out before the record is written: a
        // detection that fails leaves it as it was.
        const Quad pageCorners =
            steadyCorners(measuredCorners(view, page->corners, nsalc), width, height);
        pushCorners(page->box);
        CvPoint corners[4];
        if (!drawSquares(frame.image(), squares, &corners[0], &corners[1], &corners[2], &corners[3],
                         nsalc))
            return 1;
        for (int i = 0; i < 4; ++i)
            g_cutting_edge.point[i] = {corners[i].x, corners[i].y};
        g_cutting_edge.angle = page->box.angle;
        g_cutting_edge.valid = true;
        rememberDetection({g_cutting_edge, width, height, pageCorners});
        return 0;
    });
}
