// A failed composition: the result code for the caller and the text that
// zqpdf_last_error hands out.
#ifndef ZQPDF_COMPOSE_ERROR_H
#define ZQPDF_COMPOSE_ERROR_H

#include <zqpdf/zqpdf.h>

#include <stdexcept>
#include <string>

namespace zqpdf
{

class ComposeError : public std::runtime_error
{
  public:
    ComposeError(zqpdf_errno code, const std::string &text) : std::runtime_error(text), code_(code)
    {
    }
    zqpdf_errno code() const { return code_; }

    // "cannot read PATH: <reason of errnum>"
    static ComposeError unreadable(const std::string &path, int errnum);
    // "cannot read PATH: reason"
    static ComposeError unreadable(const std::string &path, const std::string &reason);
    // "PATH is not a JPEG or TIFF picture[: detail]"
    static ComposeError notPicture(const std::string &path, const std::string &detail = {});
    // "cannot write PATH: <reason of errnum>"
    static ComposeError unwritable(const std::string &path, int errnum);

  private:
    zqpdf_errno code_;
};

} // namespace zqpdf

#endif
