// The text zq_last_error gives: why the calling thread's last failed call
// failed.  Every part of libzqscan records its failures here, right where
// it decides to report one.  Recording leaves errno as it was, since
// several calls document errno as their reason too.
#ifndef ZQ_LAST_ERROR_H
#define ZQ_LAST_ERROR_H

namespace zq
{

// Records why the call fails, printf-style.  The arguments may include the
// current text (lastError()).
void failWith(const char *format, ...) __attribute__((format(printf, 1, 2)));
// The same followed by ": " and the text of errno.
void failWithErrno(const char *format, ...) __attribute__((format(printf, 1, 2)));
// For a catch block at the C boundary: records "call: " and what the
// exception being handled says ("out of memory" for a failed allocation).
void failWithCurrentException(const char *call) noexcept;

// The thread's text; "no error" until its first failure.
const char *lastError();

// How many failures the thread has recorded: whether lastError() speaks
// of a call is whether the count changed during it.
unsigned long failuresRecorded();

} // namespace zq

#endif
