#include "processing.h"

#include "page_cutter.h"
#include "page_writer.h"
#include "pdf_output.h"
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

// What the PDF would destroy: one of the run's pictures, or a page the run
// may write (a picture's page, or either of a spread's).  Empty when
// nothing.
std::string pdfWouldReplace(const Options &o)
{
    for (const std::string &picture : o.pictures) {
        if (samePlace(o.pdf, picture))
            return "the picture " + picture;
        for (int number : {0, 1, 2}) {
            if (samePlace(o.pdf, pagePath(o.outputDirectory, picture, o.format, number)))
                return "the page of " + picture;
        }
    }
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

// The pages a picture shows, in reading order.
struct FoundPages {
    std::vector<Outline> outlines;
    // For a book's pages, the library's number of each (0 the left page);
    // empty for a page found on its own.
    std::vector<int> bookPages;
};

FoundPages findPages(PageCutter &cutter, Picture &picture, const Options &o)
{
    if (o.layout != Layout::Page) {
        const std::vector<Outline> book = cutter.findBook(picture);
        if (book.size() == 2 || (o.layout == Layout::Book && book.size() == 1)) {
            FoundPages found;
            for (int page = 0; page < int(book.size()); ++page)
                found.bookPages.push_back(page);
            if (o.rightToLeft)
                std::reverse(found.bookPages.begin(), found.bookPages.end());
            for (int page : found.bookPages)
                found.outlines.push_back(book[size_t(page)]);
            return found;
        }
        if (o.layout == Layout::Book)
            return {};
    }
    if (const std::optional<Outline> outline = cutter.find(picture))
        return {{*outline}, {}};
    return {};
}

Exit savePages(PageCutter &cutter, Picture &picture, const std::string &path, const Options &o,
               const FoundPages &found, std::vector<std::string> &written)
{
    cutter.prepare(picture, o.clearBackground);
    const bool spread = found.outlines.size() > 1;
    Exit worst = kDone;
    for (size_t i = 0; i < found.outlines.size(); ++i) {
        const std::string target =
            pagePath(o.outputDirectory, path, o.format, spread ? int(i) + 1 : 0);
        if (const std::string lost = wouldReplace(target, o, written); !lost.empty()) {
            worst = std::max(worst,
                             fail(path, "its page " + target + " would replace " + lost, kNoPage));
            continue;
        }
        std::string error;
        const cv::Mat page =
            found.bookPages.empty()
                ? cutter.cut(picture, error)
                : cutter.cutBookPage(picture, found.bookPages[i], o.flatten, error);
        if (page.empty() || !createDirectory(o.outputDirectory, error)) {
            worst = std::max(worst, fail(path, error, kNoPage));
            continue;
        }
        if (!writePage(target, page, o.format, o.quality, error)) {
            worst = std::max(worst, fail(path, "cannot write " + target + ": " + error, kNoPage));
            continue;
        }
        std::printf("%s\n", target.c_str());
        written.push_back(target);
    }
    return worst;
}

Exit processPicture(PageCutter &cutter, const std::string &path, const Options &o,
                    std::vector<std::string> &written)
{
    std::string error;
    std::optional<Picture> picture = readPicture(path, error);
    if (!picture)
        return fail(path, "cannot be read: " + error, kUnreadable);
    const FoundPages found = findPages(cutter, *picture, o);
    if (found.outlines.empty())
        return fail(path, "no page found", kNoPage);
    if (o.outlineOnly) {
        for (size_t i = 0; i < found.outlines.size(); ++i)
            printOutline(path, int(i) + 1, found.outlines[i]);
        return kDone;
    }
    return savePages(cutter, *picture, path, o, found, written);
}

Exit processPictures(const Options &options, std::vector<std::string> &written)
{
    PageCutter cutter;
    Exit worst = kDone;
    for (const std::string &path : options.pictures) {
        Exit status;
        const size_t before = written.size();
        try {
            status = processPicture(cutter, path, options, written);
        } catch (const std::exception &e) {
            // Chiefly memory that cannot be had for a large picture.
            status = fail(path, e.what(), kNoPage);
        }
        worst = std::max(worst, status);
        for (size_t page = before; page < written.size(); ++page)
            prepareText(options, written[page]);
    }
    return worst;
}

Exit pdfFailed(const Options &o, const std::string &why)
{
    return fail(o.pdf, "cannot be composed: " + why, kNoPdf);
}

// Before any picture is read: a PDF that cannot be made stops the run
// before its work rather than after it.
Exit startPdf(const Options &o)
{
    if (const std::string lost = pdfWouldReplace(o); !lost.empty())
        return pdfFailed(o, "it would replace " + lost);
    std::string error;
    if (!setUpPdf(o, error))
        return pdfFailed(o, error);
    return kDone;
}

// The pages that were written make the PDF even when some pictures failed
// (picturesStatus): a stack of pages with one bad picture still gives the
// others' PDF, and the failures, named already, are said to be missing.
Exit finishPdf(const Options &o, const std::vector<std::string> &written, Exit picturesStatus)
{
    if (written.empty())
        return pdfFailed(o, "no picture gave a page");
    std::string error;
    if (!composePdf(o, written, o.pdf, error))
        return pdfFailed(o, error);
    std::printf("%s\n", o.pdf.c_str());
    if (picturesStatus != kDone)
        std::fprintf(stderr, "zqpage: %s: written without the pages that failed\n", o.pdf.c_str());
    return kDone;
}

} // namespace

Exit run(const Options &options)
{
    const bool pdf = !options.pdf.empty();
    if (pdf) {
        if (const Exit refused = startPdf(options); refused != kDone)
            return refused;
    }
    std::vector<std::string> written;
    const Exit worst = processPictures(options, written);
    return pdf ? std::max(worst, finishPdf(options, written, worst)) : worst;
}

} // namespace zqpage
