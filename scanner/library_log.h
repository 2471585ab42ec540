// The library's messages: each goes to the handler the program set with
// zq_set_log_handler, or by default to the stream it has always gone to.
#ifndef ZQ_LIBRARY_LOG_H
#define ZQ_LIBRARY_LOG_H

namespace zq
{

// Where the default handler prints a message.
enum class Console { Out, Err };

// Sends one message, printf-style, without its line break; level is one of
// the ZQ_LOG_ levels.
void log(int level, Console console, const char *format, ...) __attribute__((format(printf, 3, 4)));

} // namespace zq

#endif
