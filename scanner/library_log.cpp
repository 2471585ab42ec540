#include "library_log.h"

#include <zqscan/zq_messages.h>

#include <pthread.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace zq
{
namespace
{

struct Handler {
    zq_log_handler handler = nullptr;
    void *user = nullptr;
};

// A plain mutex: nothing here may throw towards a C caller.
pthread_mutex_t handlerMutex = PTHREAD_MUTEX_INITIALIZER;
Handler installed;

Handler current()
{
    pthread_mutex_lock(&handlerMutex);
    const Handler handler = installed;
    pthread_mutex_unlock(&handlerMutex);
    return handler;
}

void install(Handler handler)
{
    pthread_mutex_lock(&handlerMutex);
    installed = handler;
    pthread_mutex_unlock(&handlerMutex);
}

// What the library printed before there was a handler, byte for byte.
void printDefault(Console console, const char *message)
{
    FILE *stream = console == Console::Out ? stdout : stderr;
    std::fprintf(stream, "%s\n", message);
    std::fflush(stream);
}

} // namespace

void log(int level, Console console, const char *format, ...)
{
    char *message = nullptr;
    va_list args;
    va_start(args, format);
    const int length = vasprintf(&message, format, args);
    va_end(args);
    if (length < 0)
        return;
    // Called outside the lock: a handler may set another one, or log
    // through the library itself.
    const Handler handler = current();
    if (handler.handler)
        handler.handler(level, message, handler.user);
    else
        printDefault(console, message);
    std::free(message);
}

} // namespace zq

extern "C" ZQ_EXPORT void zq_set_log_handler(zq_log_handler handler, void *user)
{
    zq::install({handler, user});
}
