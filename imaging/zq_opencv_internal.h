// Internals of libzqscan's document image processing, exported for the
// library's own tests and tools under their plain names (C linkage, like
// every name libzqscan exports).  Included from C++ only: OpenCV 4's C
// types (IplImage, CvSeq, CvPoint) can no longer be named from C.
#ifndef ZQ_OPENCV_INTERNAL_H
#define ZQ_OPENCV_INTERNAL_H

#include <zqscan/zq_opencv.h>

#include <opencv2/core/core_c.h>

extern "C" {

// Detection storage, made by zq_scanner_dllinit: page and book detection
// refuse to work without it.  findSquares4ex1 appends to squares (in
// storage); its callers empty it.
ZQ_EXPORT extern CvMemStorage *storage;
ZQ_EXPORT extern CvSeq *squares;
// The crop record: the crop quadrilateral, valid for one frame.  Written by
// page detection and zq_scanner_cutting_edge_set, consumed by drawing; the
// library keeps the detected page's measured corners beside it for as long
// as it holds what the detector wrote.
ZQ_EXPORT extern CuttingEdgeInfo g_cutting_edge;

// A new image holding a copy of the packed RGB24 frame; free it with
// cvReleaseImage.
ZQ_EXPORT IplImage *GetIplFromBmpStream(const unsigned char *pBmp, int width, int height);

// Finds the largest bright region below 90 % of the image, reduced by
// nsalc, and appends its rotated box's corners (reduced coordinates) to
// squares; angle receives the box angle then.  Returns squares.
ZQ_EXPORT CvSeq *findSquares4ex1(IplImage *img1, CvMemStorage *storage, double &angle, int nsalc);
// Scales the last group of four points of squares by salc into pt1..pt4;
// false when squares is null.
ZQ_EXPORT bool drawSquares(IplImage *img, CvSeq *squares, CvPoint *pt1, CvPoint *pt2, CvPoint *pt3,
                           CvPoint *pt4, int salc);

// Turns four points by degree (counter-clockwise on screen) about the
// centre of img.
ZQ_EXPORT void RotatePoint(CvPoint *points, float degree, const IplImage *img);
// Turns img in place by degree about its centre; uncovered areas turn
// white.
ZQ_EXPORT void RotateImage(IplImage *img, float degree);
// Cuts the crop quadrilateral out of srcImg into a new image imgOut,
// turned upright when the quadrilateral is tilted (only the cut's own
// pixels are turned; srcImg stays as it is); imgOut is left as it was when
// the crop is empty.
ZQ_EXPORT void _rotate_and_cut(IplImage *srcImg, IplImage *&imgOut, int nsalc);

// Evens out the light cell by cell towards the white level b.
ZQ_EXPORT void BrightnessBalance(IplImage *SrcImage, int b);
// Every byte v becomes v * contrast + light - (contrast - 1) * 127,
// truncated and limited to 0..255.
ZQ_EXPORT void ChangeLightContrast(IplImage *imgIn, double contrast, double light);

} // extern "C"

namespace zq::imaging
{

// Whether zq_scanner_dllinit has prepared the detection storage whose
// pointer is given; the call's failure is recorded when not.
bool detectionPrepared(const void *detectionStorage);

} // namespace zq::imaging

#endif
