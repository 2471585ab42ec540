// What the outside PDF tools (qpdf, poppler's pdfinfo, pdfimages and
// pdftoppm) say about a PDF file.
#ifndef ZQ_TESTS_PDF_TOOLS_H
#define ZQ_TESTS_PDF_TOOLS_H

#include <string>
#include <vector>

namespace zq::test
{

struct ToolRun {
    int status = -1; // exit status, -1 when the tool did not exit normally
    std::string output;
};

// Runs a shell command line, capturing standard output and error.
ToolRun runTool(const std::string &command);

// `qpdf --check` passes.
bool qpdfCheckPasses(const std::string &pdf, std::string *output);

struct PageSize {
    double width;  // points
    double height; // points
};
// The page sizes pdfinfo reports, first page first.
std::vector<PageSize> pdfPageSizes(const std::string &pdf);

struct ImageEntry {
    int page;
    std::string type; // "image", or "stencil" for an image mask
    int width;
    int height;
    std::string color;    // "rgb", "gray", ...
    int bits;             // per component
    std::string encoding; // "jpeg" for DCT, "image" for Flate, "ccitt", ...
};
// The images `pdfimages -list` shows, in page order.
std::vector<ImageEntry> pdfImageList(const std::string &pdf);

// Extracts the images with `pdfimages -j` (JPEG streams as they are, the
// others as PPM) and returns the files, in page order.
std::vector<std::string> extractImages(const std::string &pdf, const std::string &prefix);

// The text pdftotext extracts from one page, in UTF-8.
std::string pdfText(const std::string &pdf, int page);

// A word as `pdftotext -bbox` places it: points from the page's top left.
struct WordOnPage {
    std::string text;
    double xMin, yMin, xMax, yMax;
};
std::vector<WordOnPage> pdfWords(const std::string &pdf, int page);

// Renders one page with pdftoppm at the given resolution to a PPM file.
std::string renderPage(const std::string &pdf, int page, int dpi, const std::string &prefix);

} // namespace zq::test

#endif
