// Finding the page in a live frame.
#include "image_support.h"
#include "zq_opencv_internal.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/imgproc/imgproc_c.h>

#include <cmath>
#include <cstdint>
#include <memory>

CvMemStorage *storage = nullptr;
CvSeq *squares = nullptr;

using namespace zq::imaging;

namespace
{

// Contours are searched in a picture reduced by this factor in each
// direction: 16 or 64 times fewer pixels keep detection within a preview
// frame's time.
int reductionFactor(int width, int height)
{
    return width > 3264 || height >= 3265 ? 8 : 4;
}

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

// The last row and column keep their values.
void highlight(cv::Mat &gray)
{
    static const cv::Mat table = highlightTable();
    cv::Mat inner = gray(cv::Rect(0, 0, gray.cols - 1, gray.rows - 1));
    cv::LUT(inner, table, inner);
}

// Black and white picture of the reduced frame: paper white, desk black.
cv::Mat binarise(const cv::Mat &frame, int nsalc)
{
    cv::Mat reduced;
    const cv::Size size(frame.cols / nsalc, frame.rows / nsalc);
    cv::resize(frame, reduced, size, 0, 0, cv::INTER_AREA);
    // Noise removal: one pyramid level down and up again.
    cv::Mat pyr;
    cv::pyrDown(reduced, pyr, cv::Size(size.width / 2, size.height / 2));
    cv::pyrUp(pyr, reduced, size);
    cv::Mat tgray;
    cv::cvtColor(reduced, tgray, cv::COLOR_BGR2GRAY);
    highlight(tgray);
    cv::Mat gray;
    cv::threshold(tgray, gray, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    cv::Mat smooth;
    cv::medianBlur(gray, smooth, 3);
    return smooth;
}

struct StorageRelease {
    void operator()(CvMemStorage *s) const { cvReleaseMemStorage(&s); }
};
using ContourStorage = std::unique_ptr<CvMemStorage, StorageRelease>;

// The rotated box of the largest white region that covers less than 90 %
// of the picture; false when there is none.  Of equal areas the earlier
// contour wins.
bool largestRegion(cv::Mat &binary, CvBox2D &box)
{
    ContourStorage contourStorage(cvCreateMemStorage(0));
    IplImage header = cvIplImage(binary);
    CvSeq *contour = nullptr;
    cvFindContours(&header, contourStorage.get(), &contour, sizeof(CvContour), CV_RETR_LIST,
                   CV_CHAIN_APPROX_SIMPLE, cvPoint(0, 0));
    const double allArea = (binary.cols * binary.rows) * 9.0 / 10.0;
    double areaMax = 0.0;
    for (; contour; contour = contour->h_next) {
        const double area = std::fabs(cvContourArea(contour, CV_WHOLE_SEQ, 0));
        if (area > areaMax && area < allArea) {
            areaMax = area;
            box = cvMinAreaRect2(contour, nullptr);
        }
    }
    return areaMax > 0.0;
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
    return guarded<IplImage *>(nullptr, [&]() -> IplImage * {
        if (!isUsableFrame(pBmp, width, height))
            return nullptr;
        PackedFrame frame(pBmp, width, height);
        return cvCloneImage(frame.image());
    });
}

CvSeq *findSquares4ex1(IplImage *img1, CvMemStorage *, double &angle, int nsalc)
{
    guarded([&] {
        if (!squares || !img1 || nsalc <= 0)
            return;
        const cv::Mat frame = cv::cvarrToMat(img1);
        // The noise removal needs at least 2 x 2 reduced pixels.
        if (frame.cols / nsalc < 2 || frame.rows / nsalc < 2)
            return;
        cv::Mat binary = binarise(frame, nsalc);
        CvBox2D box;
        if (!largestRegion(binary, box))
            return;
        CvPoint2D32f corners[4];
        cvBoxPoints(box, corners);
        for (const CvPoint2D32f &corner : corners) {
            const CvPoint point = cvPoint(cvRound(corner.x), cvRound(corner.y));
            cvSeqPush(squares, &point);
        }
        angle = box.angle;
    });
    return squares;
}

bool drawSquares(IplImage *, CvSeq *squares, CvPoint *pt1, CvPoint *pt2, CvPoint *pt3, CvPoint *pt4,
                 int salc)
{
    if (!squares || squares->elem_size != sizeof(CvPoint))
        return false;
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

int zq_scanner_dllinit(void)
{
    return guarded(0, [] {
        zq_scanner_dllunit();
        storage = cvCreateMemStorage(0);
        squares = cvCreateSeq(0, sizeof(CvSeq), sizeof(CvPoint), storage);
        return 0;
    });
}

int zq_scanner_dllunit(void)
{
    return guarded(0, [] {
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
    return guarded(1, [&] {
        if (!squares || !isUsableFrame(buffer, width, height))
            return 1;
        SquaresReset reset;
        // The frame is only read: a view of it spares a full-size copy on
        // every preview frame.
        PackedFrame frame(buffer, width, height);
        const int nsalc = reductionFactor(width, height);
        double angle = 0.0;
        CvSeq *found = findSquares4ex1(frame.image(), storage, angle, nsalc);
        CvPoint corners[4];
        if (found->total == 0 || !drawSquares(frame.image(), found, &corners[0], &corners[1],
                                              &corners[2], &corners[3], nsalc))
            return 1;
        for (int i = 0; i < 4; ++i)
            g_cutting_edge.point[i] = {corners[i].x, corners[i].y};
        g_cutting_edge.angle = angle;
        g_cutting_edge.valid = true;
        return 0;
    });
}
