#include "processing.h"

#include "page_cutter.h"
#include "page_writer.h"
#include "picture_file.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>

namespace zqpage
{
namespace
{

Exit fail(const std::string &picture, const std::string &message, Exit status)
{
    std::fprintf(stderr, "zqpage: %s: %s\n", picture.c_str(), message.c_str());
    return status;
}

void printOutline(const std::string &picture, int number, const Outline &corners)
{
    std::printf("%s %d", picture.c_str(), number);
    for (const zqPointF &corner : corners)
        std::printf(" %.2f,%.2f", corner.x, corner.y);
    std::printf("\n");
}

// Two names of one file, or of the place where one will be: by the
// file's identity where it is there (hard links too), else by the path
// with its links resolved.
bool samePlace(const std::string &a, const std::string &b)
{
    std::error_code failure;
    if (std::filesystem::equivalent(a, b, failure))
        return true;
    const std::filesystem::path first = std::filesystem::weakly_canonical(a, failure);
    if (failure)
        return false;
    const std::filesystem::path second = std::filesystem::weakly_canonical(b, failure);
    return !failure && first == second;
}

// What a page written to target would destroy: one of the run's pictures,
// or the page an earlier picture of the run gave.  Empty when nothing.
std::string wouldReplace(const std::string &target, const Options &o,
                         const std::vector<std::string> &written)
{
    for (const std::string &picture : o.pictures)
        if (samePlace(target, picture))
            return "the picture " + picture;
    for (const std::string &page : written)
        if (samePlace(target, page))
            return "the page written before for another picture";
    return {};
}

// The output directory with its parents; nothing to do for the working
// directory or one that is there.
bool createDirectory(const std::string &directory, std::string &error)
{
    if (directory.empty())
        return true;
    std::error_code failure;
    std::filesystem::create_directories(directory, failure);
    if (!failure)
        return true;
    error = "cannot create " + directory + ": " + failure.message();
    return false;
}

Exit savePage(PageCutter &cutter, Picture &picture, const std::string &path, const Options &o,
              std::vector<std::string> &written)
{
    const std::string target = pagePath(o.outputDirectory, path, o.format);
    if (const std::string lost = wouldReplace(target, o, written); !lost.empty())
        return fail(path, "its page " + target + " would replace " + lost, kNoPage);
    std::string error;
    const cv::Mat page = cutter.cut(picture, o.clearBackground, error);
    if (page.empty())
        return fail(path, error, kNoPage);
    if (!createDirectory(o.outputDirectory, error))
        return fail(path, error, kNoPage);
    if (!writePage(target, page, o.format, o.quality, error))
        return fail(path, "cannot write " + target + ": " + error, kNoPage);
    std::printf("%s\n", target.c_str());
    written.push_back(target);
    return kDone;
}

Exit processPicture(PageCutter &cutter, const std::string &path, const Options &o,
                    std::vector<std::string> &written)
{
    std::string error;
    std::optional<Picture> picture = readPicture(path, error);
    if (!picture)
        return fail(path, "cannot be read: " + error, kUnreadable);
    const std::optional<Outline> outline = cutter.find(*picture);
    if (!outline)
        return fail(path, "no page found", kNoPage);
    if (o.outlineOnly) {
        printOutline(path, 1, *outline); // a single page; a spread's come with book capture
        return kDone;
    }
    return savePage(cutter, *picture, path, o, written);
}

} // namespace

Exit run(const Options &options)
{
    PageCutter cutter;
    std::vector<std::string> written;
    Exit worst = kDone;
    for (const std::string &path : options.pictures) {
        Exit status;
        try {
            status = processPicture(cutter, path, options, written);
        } catch (const std::exception &e) {
            // Chiefly memory that cannot be had for a large picture.
            status = fail(path, e.what(), kNoPage);
        }
        worst = std::max(worst, status);
    }
    return worst;
}

} // namespace zqpage
