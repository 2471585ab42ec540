// Temporary file, flush, rename: the steps that keep a captured page from
// ever being seen half written.

#include "atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace zq
{

namespace
{

constexpr int kNameAttempts = 100;

std::string directory_of(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A name no other writer uses: process id and a per-process counter, hidden
// so that programs listing the directory do not show half-written pages.
std::string temporary_name(const std::string &directory)
{
    static std::atomic<unsigned> counter{0};
    char name[64];
    std::snprintf(name, sizeof(name), "/.zqscan-%ld-%u.tmp", static_cast<long>(getpid()),
                  counter.fetch_add(1));
    return directory + name;
}

// The rename is only durable once the directory itself is on the disk.  The
// file is already in place by then, so a failure here is not reported.
void sync_directory(const std::string &directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

AtomicFile::AtomicFile(const std::string &path) : path_(path), directory_(directory_of(path))
{
    // Mode 0666 lets the umask decide, as for any file the user creates.
    for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
        temporary_ = temporary_name(directory_);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0)
        temporary_.clear();
}

AtomicFile::~AtomicFile()
{
    discard();
}

int AtomicFile::duplicate_fd() const
{
    return fd_ < 0 ? -1 : ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
}

bool AtomicFile::commit()
{
    if (fd_ < 0)
        return false;
    const bool synced = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!synced || !closed || ::rename(temporary_.c_str(), path_.c_str()) != 0) {
        discard();
        return false;
    }
    temporary_.clear();
    sync_directory(directory_);
    return true;
}

void AtomicFile::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
}

} // namespace zq
