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
/* Opens nothing; always -1. */
ZQ_EXPORT int zq_scanner_open(void);

/* Negotiates RGB24 at *w x *h (updated to the granted size), maps the
 * streaming buffers and starts streaming. */
ZQ_EXPORT int zq_scanner_init(int fd, int *w, int *h);
/* Waits (at most ZQ_FRAME_WAIT_MS) for the next frame and points *picture
 * at it; *len receives its byte count.  The frame stays valid until the
 * next read or close. */
ZQ_EXPORT int zq_scanner_picture_read(int fd, unsigned char **picture, int *len);
/* Stops streaming, releases the buffers and closes the descriptor. */
ZQ_EXPORT void zq_scanner_close(int fd);
/* Writes the frame sizes of the camera's last native pixel format as
 * "W*H," entries into resolutions, which must hold ZQ_RESOLUTION_LIST_MAX
 * bytes and a terminated string.  Nothing is written when the camera
 * reports no size. */
ZQ_EXPORT void zq_scanner_resolution_dump(int fd, char *resolutions);

#define ZQ_FRAME_WAIT_MS 2000

ZQ_EXTERN_C_END

#endif
