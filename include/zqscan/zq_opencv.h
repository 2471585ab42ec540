/*
 * libzqscan: document image processing.
 *
 * Finds the page in a live RGB24 frame (3 bytes a pixel, rows of exactly
 * 3 * width bytes), keeps its outline as the crop quadrilateral of the
 * current frame, draws that outline, cuts the page out upright and whitens
 * the background of a capture.  zq_last_error (zq_messages.h) says why a
 * call failed, a search that found no page included.  Like the rest of the
 * library this is not thread-safe: call it from one thread.
 */
#ifndef ZQ_OPENCV_H
#define ZQ_OPENCV_H

#include "zq_export.h"

#ifndef __cplusplus
#include <stdbool.h>
#endif

ZQ_EXTERN_C_BEGIN

/* A point in frame pixels: origin at the top-left pixel, y downwards.
 * Laid out like OpenCV's CvPoint (two 32-bit ints). */
typedef struct zqPoint {
    int x;
    int y;
} zqPoint;

/* The crop quadrilateral of the current frame.  Corners 0 and 2 are
 * diagonally opposite, as are 1 and 3; the outline is 0-1-2-3-0.  valid
 * says the corners belong to the current frame and have not been drawn
 * yet.  angle is the tilt in degrees as OpenCV's rotated box gives it;
 * exactly 0.0 marks an axis-aligned rectangle. */
typedef struct CuttingEdgeInfo {
    bool valid;
    zqPoint point[4];
    double angle;
} CuttingEdgeInfo;

/* Prepares the detection storage; always 0.  Calling it again starts
 * afresh. */
ZQ_EXPORT int zq_scanner_dllinit(void);
/* Releases the detection storage; always 0. */
ZQ_EXPORT int zq_scanner_dllunit(void);

/* Looks for the page in the frame and records its outline as the crop
 * quadrilateral.  0 when one was found; 1 when none was (the record is
 * left as it was), also on bad arguments or before zq_scanner_dllinit. */
ZQ_EXPORT int zq_scanner_cutting_edge_auto(unsigned char *buffer, int width, int height);
/* As zq_scanner_cutting_edge_auto, on a frame that is the camera's reduced
 * by denominator (2, 4 or 8; zq_scanner_preview_read): the search reduces
 * it only by what remains of the reduction it makes on a whole frame, so
 * that it finds the same outline, in this frame's pixels.  1 also for a
 * denominator out of range. */
ZQ_EXPORT int zq_scanner_cutting_edge_auto_reduced(unsigned char *buffer, int width, int height,
                                                   int denominator);
/* Records the axis-aligned rectangle with the opposite corners lt and rb
 * (in either order) as the crop quadrilateral; 0, or -1 on null points. */
ZQ_EXPORT int zq_scanner_cutting_edge_set(const zqPoint *lt, const zqPoint *rb);
/* Copies the crop quadrilateral of the current frame into info: 0, or -1
 * when there is none (nothing recorded, or already drawn) or info is null.
 * Lets a program follow the outline from frame to frame. */
ZQ_EXPORT int zq_scanner_cutting_edge_get(CuttingEdgeInfo *info);

/* A point in frame pixels with its fraction, for outlines measured finer
 * than a pixel; like zqPoint, the centre of pixel (x, y) lies at x, y. */
typedef struct zqPointF {
    double x;
    double y;
} zqPointF;

/* Copies the current frame's page outline into corners, with sub-pixel
 * precision: clockwise on screen, starting with the corner nearest the
 * frame's top-left corner.  An outline zq_scanner_cutting_edge_auto found
 * has its corners where the page's edges meet, measured on the whole frame
 * (the record's corners are the rotated box around it on the detector's
 * coarser grid); any other record gives its own four corners.  Valid for
 * the same one frame as the record: 0, or -1 when there is none (nothing
 * recorded, or already drawn) or corners is null. */
ZQ_EXPORT int zq_scanner_cutting_edge_quad(zqPointF corners[4]);
/* The focal length of the lens that takes the frames, as a multiple of the
 * frame's longer side.  Cutting a detected page uses it to recover the
 * page's proportions from an outline seen in perspective.  0 restores the
 * default, 1.2 (a document camera's view of about 45 degrees across the
 * longer side).  0, or -1 for a negative or non-finite value, which
 * leaves the setting as it was. */
ZQ_EXPORT int zq_scanner_set_focal_length(double longer_sides);
/* Draws the recorded outline into the frame (5 pixels wide, 255 in byte 1)
 * and consumes the record: 0, or -1 when there is no valid record or the
 * arguments are bad (nothing drawn). */
ZQ_EXPORT int zq_scanner_cutting_edge_show(unsigned char *buffer, int width, int height);
/* Cuts the recorded quadrilateral out of the frame, turned upright, as
 * packed RGB24 into out_buffer when it holds 3 * *out_width * *out_height
 * bytes (a smaller or null buffer receives nothing); the size goes to
 * out_width and out_height when they are not null.  An outline that
 * zq_scanner_cutting_edge_auto found is cut along the page's own edges and
 * flattened: a page seen in perspective comes out as a rectangle of its
 * true proportions, which may be larger than the frame (at most four
 * times its pixels), so ask for the size first.  The frame is not changed and the record is not
 * consumed.  0, or -1 when there is no valid record, the crop is empty or
 * the arguments are bad. */
ZQ_EXPORT int zq_scanner_cutting_edge_do(const unsigned char *buffer, int width, int height,
                                         unsigned char *out_buffer, int out_buffersize,
                                         int *out_width, int *out_height);
/* Cuts the page whose outline lies near corners (frame pixels, in any
 * order around it) out of the frame, as zq_scanner_cutting_edge_do cuts a
 * detected page: its edges are first measured on this frame within reach
 * pixels of the corners, then it is flattened.  For an outline found on a
 * reduced copy of the frame and scaled up.  The crop record is neither
 * read nor changed, so a capture may cut on another thread while the
 * preview detects.  Output as zq_scanner_cutting_edge_do: ask for the size
 * first.  0, or -1 when the corners enclose nothing or the arguments are
 * bad. */
ZQ_EXPORT int zq_scanner_page_cut_near(const unsigned char *buffer, int width, int height,
                                       const zqPointF corners[4], int reach,
                                       unsigned char *out_buffer, int out_buffersize,
                                       int *out_width, int *out_height);
/* Whitens the paper of the frame in place, evening out the light block by
 * block, then raises the contrast.  Always 1; frames smaller than 40
 * pixels in either direction are left unchanged, and so is a frame the
 * call cannot work on (null, bad sizes, out of memory), which
 * zq_last_error then names. */
ZQ_EXPORT int zq_scanner_clear_background(unsigned char *buffer, int width, int height);

/* ---- Open books ----
 * An open book lies under the camera: two facing pages whose surfaces curve
 * up from the gutter between them, straight along the spine.  Book
 * detection keeps a record of its own, beside the crop record, for the one
 * frame it looked at; the calls below read it. */

/* Points along each of a page's top and bottom edges in its outline. */
#define ZQ_BOOK_EDGE_POINTS 64

/* Looks for an open book in the frame (the spine roughly upright in it)
 * and records its pages.  The number of pages found: 2 for the spread of
 * an open book (page 0 the left one on screen, page 1 the right one), 1
 * for a single page lying alone (curved or flat), 0 when there is none;
 * the record is replaced either way.  Two separate sheets side by side are
 * not a spread.  -1 for bad arguments or before zq_scanner_dllinit. */
ZQ_EXPORT int zq_scanner_book_find(const unsigned char *buffer, int width, int height);
/* As zq_scanner_book_find, on a frame that is the camera's reduced by
 * denominator, as zq_scanner_cutting_edge_auto_reduced; -1 also for a
 * denominator out of range. */
ZQ_EXPORT int zq_scanner_book_find_reduced(const unsigned char *buffer, int width, int height,
                                           int denominator);

/* Copies the outline of the recorded page (0 or 1) into points, to a
 * fraction of a pixel and clockwise on screen from the page's top-left
 * corner: ZQ_BOOK_EDGE_POINTS along its top edge from left to right, then
 * ZQ_BOOK_EDGE_POINTS along its bottom edge from right to left; the
 * outline closes from the last point to the first.  0, or -1 when the
 * record holds no such page or points is null. */
ZQ_EXPORT int zq_scanner_book_outline(int page, zqPointF points[2 * ZQ_BOOK_EDGE_POINTS]);

/* The gutter of the recorded spread: where it meets the pages' top edges
 * (ends[0]) and their bottom edges (ends[1]).  0, or -1 when the record
 * holds no spread or ends is null. */
ZQ_EXPORT int zq_scanner_book_gutter(zqPointF ends[2]);

/* Draws the recorded pages' outlines into the frame (5 pixels wide, 255
 * in byte 1, as zq_scanner_cutting_edge_show) and the gutter as a dashed
 * line.  The record stays.  0, or -1 when there is nothing recorded for a
 * frame of this size or the arguments are bad. */
ZQ_EXPORT int zq_scanner_book_show(unsigned char *buffer, int width, int height);

/* Cuts the recorded page (0 or 1) out of the frame it was found in, as
 * packed RGB24 into out_buffer when that holds 3 * *out_width *
 * *out_height bytes (a smaller or null buffer receives nothing; ask for
 * the size first); the size goes to out_width and out_height when they are
 * not null.  With flatten the page's curved surface is laid flat: its
 * lines come out straight, at the page's true proportions (with the lens
 * zq_scanner_set_focal_length sets); without, the quadrilateral of its
 * four corners is cut upright.  The frame is not changed.  0, or -1 when
 * the record holds no such page for a frame of this size or the arguments
 * are bad. */
ZQ_EXPORT int zq_scanner_book_page_do(const unsigned char *buffer, int width, int height, int page,
                                      int flatten, unsigned char *out_buffer, int out_buffersize,
                                      int *out_width, int *out_height);

ZQ_EXTERN_C_END

#endif
