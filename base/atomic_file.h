// A file that appears under its name whole or not at all: the one way the
// picture writers, the PDF composer and the settings file write.
//
// The data goes to a new temporary file in the same directory, one without
// a name where the filesystem allows (else an exclusively created hidden
// one); commit() checks that everything was written, flushes it to the
// disk, names it and renames it over the final name in one step and makes
// the rename durable.  Until then a file that already has the final name
// stays as it was, and a temporary file that is not committed is removed
// again, whatever ends its writing (a failure, an exception, an early
// return, and for a file without a name even the end of the process).
#ifndef ZQ_ATOMIC_FILE_H
#define ZQ_ATOMIC_FILE_H

#include <sys/types.h>

#include <cstdio>
#include <string>

namespace zq
{

class AtomicFile
{
  public:
    explicit AtomicFile(const std::string &path);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // False when the temporary file could not be created (errno says why).
    bool is_open() const { return fd_ >= 0; }
    // The temporary file's name, for messages; the final path while the
    // file has none.
    const std::string &temporary_path() const { return temporary_.empty() ? path_ : temporary_; }

    // The temporary file as a stdio stream, kept by this object and closed
    // by commit(); null when it cannot be had.
    std::FILE *stream();
    // A new descriptor for the temporary file, for a library that closes
    // the descriptor it writes through; -1 on failure.
    int duplicate_fd() const;

    // Flushes to the disk, closes and renames into place; false on any
    // failure, with errno saying why.
    bool commit();
    // errno of the first write that failed, 0 when none did; encoders
    // that only say "failed" leave the reason here.
    int write_error() const { return write_error_; }

  private:
    static ssize_t write_out(void *self, const char *data, size_t size);
    bool flush_and_close();
    int give_name();
    void discard();

    std::string path_;
    std::string directory_;
    std::string temporary_;
    int fd_ = -1;
    std::FILE *stream_ = nullptr;
    int write_error_ = 0; // errno of the stream's first failed write
};

// A name for a file that another writer (a library with an AtomicFile of
// its own) makes before it is known whether the file is wanted: a hidden
// temporary name beside the final one.  commit() renames the file over the
// final name, so that an older file of that name stays until then; without
// a commit the temporary file goes with this object.  A process killed in
// between leaves a name that remove_stale_temporaries() removes.
class StagedFile
{
  public:
    explicit StagedFile(const std::string &path);
    ~StagedFile();
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    // Where the writer is to put the file.
    const std::string &temporary_path() const { return temporary_; }
    // False, with errno saying why, when the file cannot take its name.
    bool commit();

  private:
    std::string path_;
    std::string temporary_;
    bool committed_ = false;
};

// Removes what a killed writer left in directory: the hidden temporary
// files AtomicFile names (".NAME.PID.N.tmp", regular files only) of
// processes that no longer run, and of this process's PID, which can only
// be an earlier process's as long as this one has written nothing there
// yet: call it before the first write.  Returns how many were removed.
int remove_stale_temporaries(const std::string &directory);

} // namespace zq

#endif
