// Page detection's C entry points: they search the caller's frame
// (page_detection.h) and keep what they find in the crop record or, for
// findSquares4ex1, in squares.
#include "crop_record.h"
#include "frame_scaling.h"
#include "image_support.h"
#include "page_detection.h"
#include "zq_opencv_internal.h"

#include <optional>

CvMemStorage *storage = nullptr;
CvSeq *squares = nullptr;

using namespace zq::imaging;

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
        const std::optional<cv::RotatedRect> box = brightRegionBox(cv::cvarrToMat(img1), nsalc);
        if (!box)
            return;
        for (const cv::Point &corner : roundedCorners(*box)) {
            const CvPoint point = cvPoint(corner.x, corner.y);
            cvSeqPush(squares, &point);
        }
        angle = box->angle;
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
        // The storage is no longer used for the search, but it still says
        // whether zq_scanner_dllinit was called.
        if (!detectionPrepared(squares) || !acceptFrame(buffer, width, height) ||
            !zq::accept_scale_denominator(denominator))
            return 1;
        // The frame is only read: a view of it spares a full-size copy on
        // every preview frame.
        PackedFrame frame(buffer, width, height);
        const int nsalc = reductionFactor(width, height, denominator);
        if (width / nsalc < 2 || height / nsalc < 2) {
            zq::failWith("a %d x %d frame is too small to look for a page in", width, height);
            return 1;
        }
        const std::optional<PageOutline> outline =
            findPageOutline(frame.mat(), nsalc, lastDetection());
        // A detection that fails leaves the record as it was.
        if (!outline) {
            zq::failWith("no page found in the %d x %d frame", width, height);
            return 1;
        }
        recordOutline(*outline);
        return 0;
    });
}
