#include "last_error.h"

#include <zqscan/zq_messages.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

namespace zq
{
namespace
{

// A fixed buffer: recording cannot fail for want of memory, and a thread's
// text needs nothing done when the thread ends.
constexpr size_t kTextSize = 1024;
thread_local char text[kTextSize];
thread_local unsigned long recorded = 0;

void record(const char *format, va_list args, const char *errnoText)
{
    // Formatted aside first: the arguments may point into the text itself.
    char formatted[kTextSize] = "";
    const int used = std::vsnprintf(formatted, sizeof formatted, format, args);
    if (errnoText && used >= 0 && size_t(used) < sizeof formatted)
        std::snprintf(formatted + used, sizeof formatted - size_t(used), ": %s", errnoText);
    std::memcpy(text, formatted, sizeof formatted);
    ++recorded;
    // One line: some reasons (OpenCV's) end in a line break of their own.
    for (size_t end = std::strlen(text); end > 0 && text[end - 1] == '\n'; --end)
        text[end - 1] = '\0';
}

} // namespace

void failWith(const char *format, ...)
{
    const int saved = errno;
    va_list args;
    va_start(args, format);
    record(format, args, nullptr);
    va_end(args);
    errno = saved;
}

void failWithErrno(const char *format, ...)
{
    const int saved = errno;
    char reason[256];
    const char *why = strerror_r(saved, reason, sizeof reason);
    va_list args;
    va_start(args, format);
    record(format, args, why);
    va_end(args);
    errno = saved;
}

void failWithCurrentException(const char *call) noexcept
{
    try {
        throw;
    } catch (const std::bad_alloc &) {
        failWith("%s: out of memory", call);
    } catch (const std::exception &e) {
        failWith("%s: %s", call, e.what());
    } catch (...) {
        failWith("%s: unexpected failure", call);
    }
}

const char *lastError()
{
    return text[0] ? text : "no error";
}

unsigned long failuresRecorded()
{
    return recorded;
}

} // namespace zq

extern "C" ZQ_EXPORT const char *zq_last_error(void)
{
    return zq::lastError();
}
