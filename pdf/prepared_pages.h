// The text layers of recently recognised pages, each valid for its file as
// it was when recognised: a file that has changed since (another size or
// modification time) is not found.
#ifndef ZQPDF_PREPARED_PAGES_H
#define ZQPDF_PREPARED_PAGES_H

#include <zqpdf/zqpdf.h>

#include <ctime>
#include <list>
#include <optional>
#include <string>

namespace zqpdf
{

struct FileStamp {
    long long size;
    timespec modified;

    // The file's stamp now; nullopt with errno set when it cannot be seen.
    static std::optional<FileStamp> of(const std::string &path);
    bool operator==(const FileStamp &other) const;
};

// What recognising a page came to: its text layer, or a failure code and
// its reason.
struct PageText {
    zqpdf_errno code = ZQPDF_OK;
    std::string text; // the text layer's content, or the reason of the failure
};

class PreparedPages
{
  public:
    explicit PreparedPages(size_t capacity) : capacity_(capacity) {}

    // The page's result if its file has the stamp, else null.  The pointer
    // stays valid until the next change.
    const PageText *find(const std::string &path, const FileStamp &stamp) const;
    // Keeps a result in place of any earlier one of the page; the oldest
    // results go when more than `capacity` pages are kept.
    void keep(const std::string &path, const FileStamp &stamp, PageText text);
    void clear() { entries_.clear(); }
    size_t size() const { return entries_.size(); }

  private:
    struct Entry {
        std::string path;
        FileStamp stamp;
        PageText text;
    };
    size_t capacity_;
    std::list<Entry> entries_; // newest first
};

} // namespace zqpdf

#endif
