// A file that appears under its name whole or not at all.
//
// The data goes to a new temporary file in the same directory; commit()
// flushes it to the disk and renames it over the final name in one step.
// Until then a file that already has the final name stays as it was, and a
// temporary file that is not committed is removed again.
#ifndef ZQ_ATOMIC_FILE_H
#define ZQ_ATOMIC_FILE_H

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

    // False when the temporary file could not be created.
    bool is_open() const { return fd_ >= 0; }
    const std::string &temporary_path() const { return temporary_; }

    // A new descriptor for the temporary file, for a library that closes
    // the descriptor it writes through; -1 on failure.
    int duplicate_fd() const;

    // Flushes to the disk, closes and renames into place; false on any failure.
    bool commit();

  private:
    void discard();

    std::string path_;
    std::string directory_;
    std::string temporary_;
    int fd_ = -1;
};

} // namespace zq

#endif
