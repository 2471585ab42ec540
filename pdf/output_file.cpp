#include "output_file.h"

#include "compose_error.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

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

// An unnamed file (O_TMPFILE) vanishes by itself when the process ends
// before commit, even when it is killed or aborted (as qpdf aborts when an
// allocation fails inside it); it is given a name only once written.
// Filesystems without unnamed files get a named one at once.
OutputFile::OutputFile(const std::string &path) : path_(path)
{
    // Mode 0666 lets the umask decide, as for any file the user creates.
    int fd = -1;
    if (::access("/proc/self/fd", X_OK) == 0) {
        fd = ::open(directoryOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            throw ComposeError::unwritable(path, errno);
    }
    named_ = fd < 0;
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
        if (named_)
            ::unlink(temporary_.c_str());
        throw ComposeError::unwritable(path, err);
    }
}

OutputFile::~OutputFile()
{
    if (stream_)
        std::fclose(stream_);
    if (named_ && !committed_)
        ::unlink(temporary_.c_str());
}

// Links the unnamed file into the directory under a temporary name.
int OutputFile::nameFile()
{
    const std::string self = "/proc/self/fd/" + std::to_string(::fileno(stream_));
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        temporary_ = temporaryName(path_);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary_.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            named_ = true;
            return 0;
        }
        if (errno != EEXIST)
            break;
    }
    return errno;
}

void OutputFile::commit()
{
    errno = 0;
    int err = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_))
        err = errno ? errno : EIO;
    // On the disk before it takes the final name, so that a crash cannot
    // leave an empty PDF in place of the pages.
    if (!err && ::fsync(::fileno(stream_)) != 0)
        err = errno;
    if (!err && !named_)
        err = nameFile();
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
