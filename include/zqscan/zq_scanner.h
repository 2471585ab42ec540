/*
 * libzqscan: document camera access.
 *
 * A camera is opened by its index, streams RGB24 frames (3 bytes a pixel,
 * red, green, blue; rows of exactly 3 * width bytes, top to bottom) and is
 * closed again.  All functions return 0 on success and -1 on failure unless
 * said otherwise; zq_last_error (zq_messages.h) says why a call failed.
 * The library is not thread-safe: call it from one thread.
 */
#ifndef ZQ_SCANNER_H
#define ZQ_SCANNER_H

#include "zq_export.h"

#include <stddef.h>

ZQ_EXTERN_C_BEGIN

/* Largest text zq_scanner_resolution_dump writes, its terminating NUL
 * included.  Entries that would not fit are left out whole. */
#define ZQ_RESOLUTION_LIST_MAX 4096

/* Opens the camera with the given index: 1, 2, 3 for the USB ids
 * 0AC8:3370, 0AC8:3580, 0AC8:3590; 4 and above for any video node with a
 * readable modalias.  Returns the descriptor, or -1. */
ZQ_EXPORT int zq_scanner_open_index(int index);
/* 1 when zq_scanner_open_index would find a camera for the index, 0 when
 * none is plugged in.  Reads only the video nodes' modalias files, so it is
 * cheap enough to ask now and then, and leaves an open camera alone. */
ZQ_EXPORT int zq_scanner_present(int index);
/* Opens nothing; always -1. */
ZQ_EXPORT int zq_scanner_open(void);

/* Largest frame width or height zq_scanner_init asks a camera for. */
#define ZQ_FRAME_SIDE_MAX 65535

/* Negotiates RGB24 at *w x *h (updated to the granted size), maps the
 * streaming buffers and starts streaming.  A size that is negative or above
 * ZQ_FRAME_SIDE_MAX is refused with -1 before the camera is asked; so is,
 * once asked, a camera that would send planar YUV 4:2:0 of an odd width,
 * which libv4lconvert converts past the end of its buffer. */
ZQ_EXPORT int zq_scanner_init(int fd, int *w, int *h);
/* Waits (at most ZQ_FRAME_WAIT_MS) for the next frame and points *picture
 * at it; *len receives its byte count.  The frame stays valid until the
 * next read or close. */
ZQ_EXPORT int zq_scanner_picture_read(int fd, unsigned char **picture, int *len);
/* Whether a frame waits to be read, without waiting: 1 when one does, 0
 * when none has come yet, -1 when the camera cannot give any (unplugged,
 * not streaming); errno is ENODEV then.  A program that must not block
 * asks this before zq_scanner_picture_read. */
ZQ_EXPORT int zq_scanner_frame_ready(int fd);
/* Stops streaming, releases the buffers and closes the descriptor. */
ZQ_EXPORT void zq_scanner_close(int fd);
/* Writes the frame sizes of the camera's last native pixel format as
 * "W*H," entries into resolutions, which must hold ZQ_RESOLUTION_LIST_MAX
 * bytes and a terminated string.  Nothing is written when the camera
 * reports no size. */
ZQ_EXPORT void zq_scanner_resolution_dump(int fd, char *resolutions);

#define ZQ_FRAME_WAIT_MS 2000

/* The preview read: frames made small for the eye and the page finder at a
 * fraction of the cost of whole ones.  A camera that sends MJPEG streams it
 * as it is, and each frame is decoded at 1/2, 1/4 or 1/8 of its size (in
 * the DCT domain); its JPEG data is held, so that a capture decodes that
 * very frame whole.  A camera without MJPEG streams RGB24 as
 * zq_scanner_init streams it, and its frames are reduced by averaging. */
#define ZQ_PREVIEW_RGB24 0
#define ZQ_PREVIEW_JPEG 1

/* Negotiates the camera's own MJPEG at *w x *h (updated to the granted
 * size), maps the buffers and starts streaming; a camera without MJPEG as
 * zq_scanner_init does.  Returns ZQ_PREVIEW_JPEG or ZQ_PREVIEW_RGB24 for
 * what the frames are, or -1.  zq_scanner_picture_read refuses a JPEG
 * stream: it reads RGB24 only. */
ZQ_EXPORT int zq_scanner_init_preview(int fd, int *w, int *h);
/* Waits (at most ZQ_FRAME_WAIT_MS) for the next frame and points *picture
 * at it reduced by denominator (1, 2, 4 or 8; each side divided and rounded up,
 * written to *w and *h).  A JPEG frame that is corrupt or cut short is
 * never shown half-decoded: the next frame is taken, and after four such
 * frames the read fails with errno EIO.  The picture stays valid until the
 * next read or close. */
ZQ_EXPORT int zq_scanner_preview_read(int fd, int denominator, unsigned char **picture, int *w,
                                      int *h);
/* The whole frame the last preview read came from: its JPEG data
 * (ZQ_PREVIEW_JPEG), or its RGB24 picture of the granted size
 * (ZQ_PREVIEW_RGB24); -1 when there is none.  Valid until the next read or
 * close: a capture copies it and decodes it where it likes. */
ZQ_EXPORT int zq_scanner_preview_frame(int fd, const unsigned char **data, size_t *size);
/* The largest denominator (8, 4, 2, else 1) at which a width x height
 * frame still gives at least need_width x need_height pixels. */
ZQ_EXPORT int zq_scanner_preview_denominator(int width, int height, int need_width,
                                             int need_height);
/* Decodes a JPEG picture at 1/denominator of its size into rgb (packed
 * RGB24 of *w x *h pixels, rgb_size bytes at least); with rgb null it only
 * gives the size.  Returns 0, or -1 for a picture that is corrupt or cut
 * short.  Safe to call from any thread, on data the caller owns. */
ZQ_EXPORT int zq_scanner_jpeg_decode(const unsigned char *data, size_t size, int denominator,
                                     unsigned char *rgb, size_t rgb_size, int *w, int *h);

/* Pictures are RGB24 of width x height pixels, owned by the caller.  Sizes
 * that cannot describe a picture (not positive, or too large to address)
 * and null pointers are refused without touching memory; zq_last_error
 * then says so, also for the two calls without a result. */

/* Replaces every pixel by the mean of its three bytes, remainder dropped. */
ZQ_EXPORT void zq_scanner_picture_gray(unsigned char *picture, int width, int height);
/* Turns the picture a quarter turn counter-clockwise, in place: afterwards
 * it is height pixels wide and width pixels tall.  The picture stays as it
 * was when memory for the turn cannot be had (zq_last_error says so). */
ZQ_EXPORT void zq_scanner_picture_rotate_90(unsigned char *picture, int width, int height);

/* Write the picture as a JPEG file, or as a JPEG-compressed TIFF file, at
 * quality 1 (smallest) to 100 (best).  They return 0 once the whole file is
 * on the disk under filename, and -1 otherwise; on failure no file is left
 * behind, and a file that already had that name stays as it was; errno
 * says why (ENOSPC, EFBIG, EACCES, ...). */
ZQ_EXPORT int zq_scanner_picture_save(const char *filename, const unsigned char *picture, int width,
                                      int height, int quality);
ZQ_EXPORT int zq_scanner_picture_save_tiff(const char *filename, const unsigned char *picture,
                                           int width, int height, int quality);

/* Camera controls on the scale 0 to 65535, which libv4l2 maps onto each
 * camera's own range.  Getters return the value or -1; setters 0 or -1.  A
 * control the camera reports as disabled or grabbed is left alone and its
 * setter returns 0. */
ZQ_EXPORT int zq_scanner_get_brightness(int fd);
ZQ_EXPORT int zq_scanner_set_brightness(int fd, int brightness);
ZQ_EXPORT int zq_scanner_get_contrast(int fd);
ZQ_EXPORT int zq_scanner_set_contrast(int fd, int contrast);
ZQ_EXPORT int zq_scanner_get_saturation(int fd);
ZQ_EXPORT int zq_scanner_set_saturation(int fd, int saturation);

ZQ_EXTERN_C_END

#endif
