#include "prepared_pages.h"

#include <sys/stat.h>

#include <algorithm>

namespace zqpdf
{

std::optional<FileStamp> FileStamp::of(const std::string &path)
{
    struct stat st {
    };
    if (stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileStamp{static_cast<long long>(st.st_size), st.st_mtim};
}

bool FileStamp::operator==(const FileStamp &other) const
{
    return size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
}

const PageText *PreparedPages::find(const std::string &path, const FileStamp &stamp) const
{
    const auto entry = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry &e) { return e.path == path; });
    return entry != entries_.end() && entry->stamp == stamp ? &entry->text : nullptr;
}

void PreparedPages::keep(const std::string &path, const FileStamp &stamp, PageText text)
{
    entries_.remove_if([&](const Entry &e) { return e.path == path; });
    entries_.push_front({path, stamp, std::move(text)});
    if (entries_.size() > capacity_)
        entries_.pop_back();
}

} // namespace zqpdf
