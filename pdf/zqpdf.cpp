// The exported entry points.  Every failure, thrown or not, ends here as a
// code and a text; nothing escapes across the C boundary.
#include <zqpdf/zqpdf.h>

#include "atomic_file.h"
#include "compact_page.h"
#include "compose_error.h"
#include "page_image.h"
#include "pdf_document.h"
#include "text_recognition.h"

#include <atomic>
#include <cerrno>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace zqpdf
{
namespace
{

const char kNoError[] = "no error";

thread_local std::string lastError = kNoError;

// Pixels per inch of a page, or 0 to fit the page to the locale's paper.
std::atomic<int> fixedResolution{0};

std::atomic<int> pageEncoding{ZQPDF_ENCODING_ORIGINAL};

PageSizing currentSizing()
{
    const int dpi = fixedResolution.load();
    return dpi > 0 ? PageSizing{dpi, {}} : PageSizing{0, localePaper()};
}

void compose(const char **imageList, int imageCount, const char *outputPath)
{
    if (!imageList || imageCount <= 0)
        throw ComposeError(ZQPDF_ERR_NO_IMAGES, "no pictures to compose");
    if (!outputPath || !*outputPath)
        throw ComposeError(ZQPDF_ERR_WRITE, "no output file named");

    // Every picture is checked before the output is touched; the words of
    // a searchable page are asked for as the page is written.
    const bool searchable = !TextRecognition::instance().languages().empty();
    const bool compact = pageEncoding == ZQPDF_ENCODING_COMPACT; // one encoding for all pages
    const PageSizing sizing = currentSizing();
    PdfDocument document(sizing);
    for (int i = 0; i < imageCount; ++i) {
        if (!imageList[i] || !*imageList[i])
            throw ComposeError(ZQPDF_ERR_READ, "picture " + std::to_string(i + 1) + " of " +
                                                   std::to_string(imageCount) +
                                                   " has no file name");
        const std::string path = imageList[i];
        PdfDocument::TextLayer text;
        if (searchable)
            text = [path] { return TextRecognition::instance().textLayer(path); };
        // A compact page is encoded now, and held in memory until written;
        // the text layer still reads the picture's file.
        const PageImage picture = openPicture(path);
        document.addPage(compact ? compactPage(picture, path,
                                               sizing.pixelsPerInch(picture.width, picture.height))
                                 : PageLayers::of(picture),
                         text);
    }

    // A failure at any step leaves no partial PDF and any earlier file of
    // that name untouched.
    zq::AtomicFile output(outputPath);
    if (!output.stream())
        throw ComposeError::unwritable(outputPath, errno);
    try {
        document.write(output.stream(), outputPath);
    } catch (const ComposeError &) {
        throw;
    } catch (const std::bad_alloc &) {
        throw;
    } catch (const std::exception &e) {
        // The PDF writer's own failures are failures to write the output.
        throw ComposeError(ZQPDF_ERR_WRITE,
                           "cannot write " + std::string(outputPath) + ": " + e.what());
    }
    // On the disk before it takes the final name, so that a crash cannot
    // leave an empty PDF in place of the pages.
    if (!output.commit())
        throw ComposeError::unwritable(outputPath, errno);
}

zqpdf_errno fail(zqpdf_errno code, const char *text)
{
    try {
        lastError = text;
    } catch (...) {
        lastError.clear();
    }
    return code;
}

// Runs an entry point's work, turning whatever it throws into a code and
// the text of zqpdf_last_error().
template <typename Work> zqpdf_errno guarded(Work work)
{
    try {
        const zqpdf_errno result = work();
        if (result == ZQPDF_OK || result == ZQPDF_PAGE_PENDING)
            lastError = kNoError;
        return result;
    } catch (const ComposeError &e) {
        return fail(e.code(), e.what());
    } catch (const std::bad_alloc &) {
        return fail(ZQPDF_ERR_INTERNAL, "out of memory");
    } catch (const std::exception &e) {
        return fail(ZQPDF_ERR_INTERNAL, e.what());
    } catch (...) {
        return fail(ZQPDF_ERR_INTERNAL, "unexpected failure");
    }
}

} // namespace
} // namespace zqpdf

using namespace zqpdf;

int zqpdf_init(void)
{
    lastError = kNoError; // fits the small-string buffer: cannot throw
    return ZQPDF_OK;
}

void zqpdf_uninit(void)
{
    lastError = kNoError;
}

void zqpdf_set_resolution(int dpi)
{
    fixedResolution = dpi > 0 ? dpi : 0;
}

int zqpdf_set_page_encoding(int encoding)
{
    return guarded([&] {
        if (encoding != ZQPDF_ENCODING_ORIGINAL && encoding != ZQPDF_ENCODING_COMPACT)
            throw ComposeError(ZQPDF_ERR_SETTING,
                               "no page encoding " + std::to_string(encoding) + " is known");
        pageEncoding = encoding;
        return ZQPDF_OK;
    });
}

const char *zqpdf_last_error(void)
{
    return lastError.c_str();
}

zqpdf_errno zqpdf_create_pdf(const char **image_list, int image_count, const char *output_path)
{
    return guarded([&] {
        compose(image_list, image_count, output_path);
        return ZQPDF_OK;
    });
}

int zqpdf_set_text_layer(const char *languages)
{
    return guarded([&] {
        TextRecognition::instance().setLanguages(languages ? languages : "");
        return ZQPDF_OK;
    });
}

int zqpdf_prepare_page(const char *path)
{
    return guarded([&] {
        if (!path || !*path)
            throw ComposeError(ZQPDF_ERR_READ, "no picture named");
        std::string why;
        const zqpdf_errno result = TextRecognition::instance().prepare(path, why);
        if (result != ZQPDF_OK && result != ZQPDF_PAGE_PENDING)
            throw ComposeError(result, why);
        return result;
    });
}
