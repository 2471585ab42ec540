// The PDF under construction: a new file beside the output, renamed over it
// only when complete, so that a failure leaves no partial PDF behind and
// any earlier file of that name untouched; until then the file has no
// name, where the filesystem allows, so that not even a process that is
// killed leaves it behind.
#ifndef ZQPDF_OUTPUT_FILE_H
#define ZQPDF_OUTPUT_FILE_H

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
    int nameFile();

    std::string path_;
    std::string temporary_; // the file's name once it has one
    std::FILE *stream_ = nullptr;
    bool named_ = false;
    bool committed_ = false;
};

} // namespace zqpdf

#endif
