#include "compose_error.h"

#include <cstring>

namespace zqpdf
{

ComposeError ComposeError::unreadable(const std::string &path, int errnum)
{
    return unreadable(path, std::strerror(errnum));
}

ComposeError ComposeError::unreadable(const std::string &path, const std::string &reason)
{
    return {ZQPDF_ERR_READ, "cannot read " + path + ": " + reason};
}

ComposeError ComposeError::notPicture(const std::string &path, const std::string &detail)
{
    std::string text = path + " is not a JPEG or TIFF picture";
    if (!detail.empty())
        text += ": " + detail;
    return {ZQPDF_ERR_NOT_IMAGE, text};
}

ComposeError ComposeError::unwritable(const std::string &path, int errnum)
{
    return {ZQPDF_ERR_WRITE, "cannot write " + path + ": " + std::strerror(errnum)};
}

} // namespace zqpdf
