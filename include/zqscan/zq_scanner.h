/*
 * libzqscan: document camera access.
 *
 * A camera is opened by its index, streams RGB24 frames (3 bytes a pixel,
 * red, green, blue; rows of exactly 3 * width bytes, top to bottom) and is
 * closed again.  All functions return 0 on success and -1 on failure unless
 * said otherwise.  The library is not thread-safe: call it from one thread.
 */
#ifndef ZQ_SCANNER_H
#define ZQ_SCANNER_H

#include "zq_export.h"

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

/* Pictures are RGB24 of width x height pixels, owned by the caller.  Sizes
 * that cannot describe a picture (not positive, or too large to address)
 * and null pointers are refused without touching memory. */

/* Replaces every pixel by the mean of its three bytes, remainder dropped. */
ZQ_EXPORT void zq_scanner_picture_gray(unsigned char *picture, int width, int height);
/* Turns the picture a quarter turn counter-clockwise, in place: afterwards
 * it is height pixels wide and width pixels tall.  The picture stays as it
 * was when memory for the turn cannot be had. */
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
