#include "output_file.h"

#include "compose_error.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace zqpdf
{
namespace
{

constexpr int kCreateAttempts = 100;

std::string directoryOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A hidden name in the output's directory, unique within this process;
// O_EXCL settles races with other processes.
std::string temporaryName(const std::string &path)
{
    static std::atomic<unsigned> counter{0};
    return directoryOf(path) + "/." + baseNameOf(path) + "." + std::to_string(::getpid()) + "." +
           std::to_string(counter++) + ".tmp";
}

} // namespace

OutputFile::OutputFile(const std::string &path) : path_(path)
{
    // Mode 0666 lets the umask decide, as for any file the user creates.
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < kCreateAttempts; ++attempt) {
        temporary_ = temporaryName(path);
        fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        throw ComposeError::unwritable(path, errno);
    stream_ = ::fdopen(fd, "wb");
    if (!stream_) {
        const int err = errno;
        ::close(fd);
        ::unlink(temporary_.c_str());
        throw ComposeError::unwritable(path, err);
    }
}

OutputFile::~OutputFile()
{
    if (stream_)
        std::fclose(stream_);
    if (!committed_)
        ::unlink(temporary_.c_str());
}

void OutputFile::commit()
{
    errno = 0;
    int err = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_))
        err = errno ? errno : EIO;
    if (std::fclose(stream_) != 0 && !err)
        err = errno;
    stream_ = nullptr;
    if (err)
        throw ComposeError::unwritable(path_, err);
    if (::rename(temporary_.c_str(), path_.c_str()) != 0)
        throw ComposeError::unwritable(path_, errno);
    committed_ = true;
}

} // namespace zqpdf
