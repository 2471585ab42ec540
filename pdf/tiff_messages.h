// libtiff's messages about one file, kept instead of printed: the first
// error, as the reason of a failure; warnings are dropped.
#ifndef ZQPDF_TIFF_MESSAGES_H
#define ZQPDF_TIFF_MESSAGES_H

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

namespace zqpdf
{

// The module libtiff names (a function or the file name) is left out.
inline int keepFirstTiffError(TIFF *, void *user, const char *, const char *fmt, va_list ap)
{
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    auto *message = static_cast<std::string *>(user);
    if (message->empty())
        *message = text;
    return 1;
}

inline int ignoreTiffWarning(TIFF *, void *, const char *, const char *, va_list)
{
    return 1;
}

using TiffOptions = std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions *)>;

// Options for opening a file whose first error is to end up in *message.
inline TiffOptions tiffOptions(std::string *message)
{
    TiffOptions options(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    if (!options)
        throw std::bad_alloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), keepFirstTiffError, message);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), ignoreTiffWarning, nullptr);
    return options;
}

} // namespace zqpdf

#endif
