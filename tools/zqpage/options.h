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

struct Options {
    enum class Request { Pages, Help, Version };
    Request request = Request::Pages;
    std::string outputDirectory; // empty: the working directory
    PageFormat format = PageFormat::Jpeg;
    int quality = 90;
    bool outlineOnly = false; // print the pages' corners, write nothing
    bool clearBackground = false;
    std::vector<std::string> pictures;
};

// Parses argv the GNU way (options and pictures in any order, --name=value,
// unambiguous abbreviations, -- ends the options).  On a mistake prints
// what is wrong to standard error and returns nullopt.
std::optional<Options> parseOptions(int argc, char **argv);
const char *usageText();

} // namespace zqpage

#endif
