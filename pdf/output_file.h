// The PDF under construction: a new file beside the output, renamed over it
// only when complete, so that a failure leaves no partial PDF behind and
// any earlier file of that name untouched.
#ifndef ZQPDF_OUTPUT_FILE_H
#define ZQPDF_OUTPUT_FILE_H

#include <sys/types.h>

#include <cstdio>
#include <string>

namespace zqpdf
{

class OutputFile
{
  public:
    // Creates the temporary file; throws ComposeError when the output's
    // directory does not take it.
    explicit OutputFile(const std::string &path);
    // Removes the temporary file unless commit() succeeded.
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    std::FILE *stream() const { return stream_; }
    // Flushes, closes and renames the file into place; throws ComposeError.
    void commit();

  private:
    static ssize_t write(void *self, const char *data, size_t size);

    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    std::FILE *stream_ = nullptr;
    int writeError_ = 0; // errno of the first failed write
    bool committed_ = false;
};

} // namespace zqpdf

#endif
