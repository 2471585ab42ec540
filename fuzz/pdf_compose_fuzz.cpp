// A whole PDF composed by libzqpdf (zqpdf_create_pdf, the text layer off)
// from one or two page files made of the input, written to a file and read
// back.  The input is one page file, or, after the mark "ZQ2" and a byte
// of settings (bit 0 set: 200 dpi, else the locale's paper; bit 1 set:
// compact pages), the length of the first page file (u32, little-endian),
// that file and the second.  A composition either writes a PDF that qpdf
// reads with a page for each picture, which shows an image of the
// picture's size (the picture, its bilevel form, or the stencil over a
// reduced background), or fails with a reason and leaves no file behind.  Pages beyond 16 MP (the
// cameras' largest is 13 MP) are left out: their streams take longer than a run may under the
// sanitizers, and the page readers' own target opens them.
#include <zqpdf/zqpdf.h>

#include "trap_unless.h"
#include "scratch_folder.h"
#include "compose_error.h"
#include "page_image.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr uint64_t kMaxPixels = 16'000'000;
std::string folder;

int filesIn(const std::string &dir)
{
    DIR *d = opendir(dir.c_str());
    trapUnless(d != nullptr);
    int n = 0;
    while (dirent *e = readdir(d))
        n += e->d_name[0] != '.' || (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."));
    closedir(d);
    return n;
}

// The page's images, the stencil masks among them (which qpdf's own
// getImages() leaves out).
std::vector<QPDFObjectHandle> imagesOf(QPDFPageObjectHelper page)
{
    std::vector<QPDFObjectHandle> images;
    QPDFObjectHandle xobjects = page.getAttribute("/Resources", false).getKey("/XObject");
    if (!xobjects.isDictionary())
        return images;
    for (auto &[name, object] : xobjects.ditems()) {
        if (object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals("/Image"))
            images.push_back(object);
    }
    return images;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string base = scratchFolder("pdf");
    folder = base;
    zqpdf_init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> pages;
    int dpi = 0;
    int encoding = ZQPDF_ENCODING_ORIGINAL;
    if (size >= 8 && memcmp(data, "ZQ2", 3) == 0) {
        dpi = data[3] & 1 ? ZQPDF_RESOLUTION_DPI : 0;
        encoding = data[3] & 2 ? ZQPDF_ENCODING_COMPACT : ZQPDF_ENCODING_ORIGINAL;
        const uint32_t first = uint32_t(data[4]) | uint32_t(data[5]) << 8 |
                               uint32_t(data[6]) << 16 | uint32_t(data[7]) << 24;
        const size_t rest = size - 8;
        const size_t n = std::min<size_t>(first, rest);
        trapUnless(writeFile(folder + "/page1", data + 8, n));
        trapUnless(writeFile(folder + "/page2", data + 8 + n, rest - n));
        pages = {folder + "/page1", folder + "/page2"};
    } else {
        trapUnless(writeFile(folder + "/page1", data, size));
        pages = {folder + "/page1"};
    }
    std::vector<int> widths, heights;
    for (const std::string &p : pages) {
        try {
            const zqpdf::PageImage image = zqpdf::openPicture(p);
            if (uint64_t(image.width) * uint64_t(image.height) > kMaxPixels) {
                for (const std::string &q : pages)
                    unlink(q.c_str());
                return 0;
            }
            widths.push_back(image.width);
            heights.push_back(image.height);
        } catch (const zqpdf::ComposeError &) {
            widths.push_back(-1);
            heights.push_back(-1);
        }
    }

    zqpdf_set_resolution(dpi);
    trapUnless(zqpdf_set_page_encoding(encoding) == ZQPDF_OK);
    std::vector<const char *> list;
    for (const std::string &p : pages)
        list.push_back(p.c_str());
    const std::string output = folder + "/out.pdf";
    const int before = filesIn(folder);
    const zqpdf_errno result = zqpdf_create_pdf(list.data(), int(list.size()), output.c_str());
    if (result != ZQPDF_OK) {
        trapUnless(strcmp(zqpdf_last_error(), "no error") != 0);
        trapUnless(access(output.c_str(), F_OK) != 0 && filesIn(folder) == before);
    } else {
        for (int w : widths)
            trapUnless(w > 0); // a page its reader refused cannot be composed
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        try {
            pdf.processFile(output.c_str());
            const std::vector<QPDFPageObjectHelper> got = QPDFPageDocumentHelper(pdf).getAllPages();
            trapUnless(got.size() == pages.size());
            for (size_t i = 0; i < got.size(); ++i) {
                const std::vector<QPDFObjectHandle> images = imagesOf(got[i]);
                trapUnless(images.size() == 1 ||
                           (encoding == ZQPDF_ENCODING_COMPACT && images.size() == 2));
                bool pictureSized = false;
                for (QPDFObjectHandle image : images) {
                    QPDFObjectHandle dict = image.getDict();
                    pictureSized |= dict.getKey("/Width").getIntValue() == widths[i] &&
                                    dict.getKey("/Height").getIntValue() == heights[i];
                }
                trapUnless(pictureSized);
            }
            trapUnless(pdf.anyWarnings() == false);
        } catch (const std::exception &) {
            __builtin_trap(); // the PDF written must read back
        }
        unlink(output.c_str());
    }
    for (const std::string &p : pages)
        unlink(p.c_str());
    return 0;
}
