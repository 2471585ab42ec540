// The command line of zqpage: where the pages go, how they are written,
// and the pictures.
#ifndef ZQPAGE_OPTIONS_H
#define ZQPAGE_OPTIONS_H

#include <optional>
#include <string>
#include <vector>

namespace zqpage
{

enum class PageFormat { Jpeg, Png, Tiff };

// What a picture shows: decided per picture, a single page, or an open
// book's spread (or one curved page) cut along its curved edges.
enum class Layout { Auto, Page, Book };

struct Options {
    enum class Request { Pages, Help, Version };
    Request request = Request::Pages;
    std::string outputDirectory; // empty: the working directory
    PageFormat format = PageFormat::Jpeg;
    int quality = 90;
    bool outlineOnly = false; // print the pages' corners, write nothing
    bool clearBackground = false;
    Layout layout = Layout::Auto;
    bool flatten = true;      // lay a book's curved pages flat
    bool rightToLeft = false; // a spread's right page first
    std::string pdf;          // the pages written composed into this PDF; empty: none
    bool compact = false;     // the PDF's pages encoded anew, small
    std::string ocrLanguages; // the PDF's text layer read in these; empty: none
    std::vector<std::string> pictures;
};

// Parses argv the GNU way (options and pictures in any order, --name=value,
// unambiguous abbreviations, -- ends the options).  On a mistake prints
// what is wrong to standard error and returns nullopt.
std::optional<Options> parseOptions(int argc, char **argv);
const char *usageText();

} // namespace zqpage

#endif
