// Temporary file, flush, rename: the steps that keep a page, a PDF or the
// settings from ever being seen half written.

#include "atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <string>

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

std::string base_name_of(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A hidden name beside the final one, unique within this process; O_EXCL
// settles races with other processes.  Hidden so that programs listing the
// directory do not show half-written files.
std::string temporary_name(const std::string &directory, const std::string &base)
{
    static std::atomic<unsigned> counter{0};
    const char *dot = base.compare(0, 1, ".") == 0 ? "" : ".";
    return directory + "/" + dot + base + "." + std::to_string(getpid()) + "." +
           std::to_string(counter.fetch_add(1)) + ".tmp";
}

// The PID in a name temporary_name() made, or -1 for any other name.
pid_t writer_of(const std::string &name)
{
    const std::string suffix = ".tmp";
    if (name.size() <= suffix.size() + 1 || name[0] != '.' ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return -1;
    const std::string stem = name.substr(0, name.size() - suffix.size());
    const size_t counter = stem.rfind('.');
    const size_t pid = counter == std::string::npos || counter == 0 ? std::string::npos
                                                                    : stem.rfind('.', counter - 1);
    const auto digits = [&](size_t from, size_t to) {
        return from < to && stem.find_first_not_of("0123456789", from) >= to;
    };
    if (pid == std::string::npos || pid == 0 || !digits(pid + 1, counter) ||
        !digits(counter + 1, stem.size()) || counter - pid > 10)
        return -1;
    return pid_t(std::stol(stem.substr(pid + 1, counter - pid - 1)));
}

bool is_running(pid_t pid)
{
    return pid != ::getpid() && (::kill(pid, 0) == 0 || errno != ESRCH);
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

// Where the filesystem allows, the file has no name until commit()
// (O_TMPFILE), so that it vanishes by itself when the process ends before,
// even when it is killed or aborted (qpdf aborts on some failed
// allocations).  Naming it later goes through /proc/self/fd.
AtomicFile::AtomicFile(const std::string &path) : path_(path), directory_(directory_of(path))
{
    // Mode 0666 lets the umask decide, as for any file the user creates.
    if (::access("/proc/self/fd", X_OK) == 0) {
        fd_ = ::open(directory_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
            return;
    }
    const std::string base = base_name_of(path);
    for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
        temporary_ = temporary_name(directory_, base);
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

// The stream writes its buffer out through write_out, which keeps the
// reason of a failed write (a full disk, a file-size limit): stdio itself
// reports it only through its error flag.  The descriptor stays ours.
std::FILE *AtomicFile::stream()
{
    if (!stream_ && fd_ >= 0)
        stream_ = ::fopencookie(this, "w", {nullptr, &AtomicFile::write_out, nullptr, nullptr});
    return stream_;
}

ssize_t AtomicFile::write_out(void *self, const char *data, size_t size)
{
    auto *file = static_cast<AtomicFile *>(self);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(file->fd_, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (!file->write_error_)
                file->write_error_ = errno;
            return -1;
        }
        done += size_t(n);
    }
    return ssize_t(done);
}

int AtomicFile::duplicate_fd() const
{
    return fd_ < 0 ? -1 : ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
}

bool AtomicFile::commit()
{
    if (fd_ < 0)
        return false;
    if (!flush_and_close() ||
        (!temporary_.empty() && ::rename(temporary_.c_str(), path_.c_str()) != 0)) {
        const int err = errno;
        discard();
        errno = err;
        return false;
    }
    temporary_.clear();
    sync_directory(directory_);
    return true;
}

// Links a file without a name into the directory: straight under its
// final name when that is free, so that no moment leaves a temporary name
// behind (temporary_ stays empty then), else under a temporary one to be
// renamed over the old file; 0 or the errno of the failure.
int AtomicFile::give_name()
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != EEXIST)
        return errno;
    const std::string base = base_name_of(path_);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temporary_ = temporary_name(directory_, base);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary_.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        if (errno != EEXIST)
            break;
    }
    const int err = errno;
    temporary_.clear();
    return err;
}

// Everything written through the stream reaches the file, then the disk,
// and the file has a name; the first failure is the one errno keeps.
bool AtomicFile::flush_and_close()
{
    errno = 0;
    int err = 0;
    if (stream_ && (std::fflush(stream_) != 0 || std::ferror(stream_)))
        err = write_error_ ? write_error_ : errno ? errno : EIO;
    if (!err && ::fsync(fd_) != 0)
        err = errno;
    if (!err && temporary_.empty())
        err = give_name();
    if (stream_)
        std::fclose(stream_);
    stream_ = nullptr;
    if (::close(fd_) != 0 && !err)
        err = errno;
    fd_ = -1;
    errno = err;
    return err == 0;
}

// Keeps errno: the reason a write failed outlives the clean-up.
void AtomicFile::discard()
{
    const int err = errno;
    if (stream_)
        std::fclose(stream_);
    if (fd_ >= 0)
        ::close(fd_);
    stream_ = nullptr;
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
    errno = err;
}

StagedFile::StagedFile(const std::string &path)
    : path_(path), temporary_(temporary_name(directory_of(path), base_name_of(path)))
{
}

StagedFile::~StagedFile()
{
    if (!committed_)
        ::unlink(temporary_.c_str());
}

bool StagedFile::commit()
{
    if (::rename(temporary_.c_str(), path_.c_str()) != 0)
        return false;
    committed_ = true;
    sync_directory(directory_of(path_));
    return true;
}

int remove_stale_temporaries(const std::string &directory)
{
    DIR *dir = ::opendir(directory.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const pid_t writer = writer_of(entry->d_name);
        struct stat status;
        if (writer <= 0 || is_running(writer) ||
            ::fstatat(::dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode))
            continue;
        removed += ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0;
    }
    ::closedir(dir);
    return removed;
}

} // namespace zq
