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
    for (int attempt = 0; fd_ < 0 && attempt < kCreateAttempts; ++attempt) {
        temporary_ = temporaryName(path);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0)
        throw ComposeError::unwritable(path, errno);
    stream_ = ::fopencookie(this, "w", {nullptr, &OutputFile::write, nullptr, nullptr});
    if (!stream_) {
        const int err = errno;
        ::close(fd_);
        ::unlink(temporary_.c_str());
        throw ComposeError::unwritable(path, err);
    }
}

OutputFile::~OutputFile()
{
    if (stream_)
        std::fclose(stream_);
    if (fd_ >= 0)
        ::close(fd_);
    if (!committed_)
        ::unlink(temporary_.c_str());
}

// The stream's buffer is written out here, so that the reason of a failed
// write (a full disk, a file-size limit) is kept: stdio itself reports it
// only through an error flag.
ssize_t OutputFile::write(void *self, const char *data, size_t size)
{
    auto *file = static_cast<OutputFile *>(self);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(file->fd_, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (!file->writeError_)
                file->writeError_ = errno;
            return -1;
        }
        done += size_t(n);
    }
    return ssize_t(done);
}

void OutputFile::commit()
{
    int err = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_))
        err = writeError_ ? writeError_ : EIO;
    std::fclose(stream_);
    stream_ = nullptr;
    // On the disk before it takes the final name, so that a crash cannot
    // leave an empty PDF in place of the pages.
    if (!err && ::fsync(fd_) != 0)
        err = errno;
    if (::close(fd_) != 0 && !err)
        err = errno;
    fd_ = -1;
    if (err)
        throw ComposeError::unwritable(path_, err);
    if (::rename(temporary_.c_str(), path_.c_str()) != 0)
        throw ComposeError::unwritable(path_, errno);
    committed_ = true;
}

} // namespace zqpdf
