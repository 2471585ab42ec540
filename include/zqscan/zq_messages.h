/*
 * libzqscan: what the library says.
 *
 * Why a call failed: a call that reports failure by its result (-1, 1 or
 * FALSE, as each function documents) also leaves a text that says what
 * failed and why, kept per thread.  This holds for every part of the
 * library: device access, picture helpers and writers, image processing,
 * PDF hand-off and the camera-chip SDK.
 *
 * What it prints: the library's messages (a chip opened, a failed transfer,
 * a missing PDF library) go to a log handler the program may set, and by
 * default to standard output or standard error, each where it always went.
 */
#ifndef ZQ_MESSAGES_H
#define ZQ_MESSAGES_H

#include "zq_export.h"

ZQ_EXTERN_C_BEGIN

/* Why the last call on this thread that failed failed, for instance
 * "cannot open /dev/video0: Permission denied".  As with errno or
 * SDL_GetError, a call that fails sets it and a call that succeeds leaves
 * it as it was: ask right after a result that says failure.  A call may
 * also set it on the way to a success (the chip SDK tries one extension
 * unit after the other), so the result tells whether a call failed and
 * this text only why.  "no error" until the thread's first failure.  Each
 * thread has its own text.  It belongs to the library and stays valid
 * until the thread's next call into the library.  A failed PDF call leaves
 * here what zq_pdf_error gives. */
ZQ_EXPORT const char *zq_last_error(void);

/* The levels of the log's messages: syslog's priorities, so that a handler
 * may pass them on to syslog(3). */
#define ZQ_LOG_ERROR 3
#define ZQ_LOG_WARNING 4
#define ZQ_LOG_INFO 6

/* Receives one message: its level, its text (one line without the line
 * break, valid during the call only) and the user pointer given with the
 * handler. */
typedef void (*zq_log_handler)(int level, const char *message, void *user);

/* Sends the library's messages to handler from now on; null restores the
 * default, which prints each message and a line break to the stream it has
 * always gone to.  The handler runs on the thread whose call logs: the
 * program's threads, worker threads included, and any thread the library
 * works on, several at a time; so it must be thread-safe.  This may be
 * called from any thread at any time; a message already on its way on
 * another thread may still reach the handler it replaces. */
ZQ_EXPORT void zq_set_log_handler(zq_log_handler handler, void *user);

ZQ_EXTERN_C_END

#endif
