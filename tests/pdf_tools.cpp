#include "pdf_tools.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace zq::test
{
namespace
{

std::string quoted(const std::string &text)
{
    return "'" + text + "'";
}

ToolRun runOrThrow(const std::string &command)
{
    ToolRun run = runTool(command);
    if (run.status != 0)
        throw std::runtime_error(command + " failed:\n" + run.output);
    return run;
}

} // namespace

ToolRun runTool(const std::string &command)
{
    ToolRun run;
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return run;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        run.output.append(chunk, got);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool qpdfCheckPasses(const std::string &pdf, std::string *output)
{
    ToolRun run = runTool("qpdf --check " + quoted(pdf));
    if (output)
        *output = run.output;
    return run.status == 0;
}

std::vector<PageSize> pdfPageSizes(const std::string &pdf)
{
    std::istringstream lines(runOrThrow("pdfinfo -f 1 -l 100000 " + quoted(pdf)).output);
    std::vector<PageSize> sizes;
    std::string line;
    while (std::getline(lines, line)) {
        int page = 0;
        PageSize size{};
        if (std::sscanf(line.c_str(), "Page %d size: %lf x %lf pts", &page, &size.width,
                        &size.height) == 3)
            sizes.push_back(size);
    }
    return sizes;
}

std::vector<ImageEntry> pdfImageList(const std::string &pdf)
{
    std::istringstream lines(runOrThrow("pdfimages -list " + quoted(pdf)).output);
    std::vector<ImageEntry> images;
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        ImageEntry entry;
        int number = 0;
        if (fields >> entry.page >> number >> entry.type >> entry.width >> entry.height >>
            entry.color) {
            std::string comp;
            fields >> comp >> entry.bits >> entry.encoding;
            images.push_back(entry);
        }
    }
    return images;
}

std::vector<std::string> extractImages(const std::string &pdf, const std::string &prefix)
{
    runOrThrow("pdfimages -j " + quoted(pdf) + " " + quoted(prefix));
    const std::filesystem::path base(prefix);
    std::vector<std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(base.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(base.filename().string() + "-", 0) == 0)
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end()); // pdfimages numbers them in page order
    return files;
}

std::string renderPage(const std::string &pdf, int page, int dpi, const std::string &prefix)
{
    const std::string number = std::to_string(page);
    runOrThrow("pdftoppm -r " + std::to_string(dpi) + " -f " + number + " -l " + number +
               " -singlefile " + quoted(pdf) + " " + quoted(prefix));
    return prefix + ".ppm";
}

std::string pdfText(const std::string &pdf, int page)
{
    const std::string pageRange = " -f " + std::to_string(page) + " -l " + std::to_string(page);
    return runOrThrow("pdftotext -q -enc UTF-8" + pageRange + " " + quoted(pdf) + " -").output;
}

std::vector<WordOnPage> pdfWords(const std::string &pdf, int page)
{
    const std::string pageRange = " -f " + std::to_string(page) + " -l " + std::to_string(page);
    const std::string html =
        runOrThrow("pdftotext -q -bbox -enc UTF-8" + pageRange + " " + quoted(pdf) + " -").output;
    static const std::regex word("<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\" "
                                 "xMax=\"([-0-9.]+)\" yMax=\"([-0-9.]+)\">([^<]*)</word>");
    std::vector<WordOnPage> words;
    for (std::sregex_iterator m(html.begin(), html.end(), word), end; m != end; ++m)
        words.push_back({(*m)[5], std::stod((*m)[1]), std::stod((*m)[2]), std::stod((*m)[3]),
                         std::stod((*m)[4])});
    return words;
}

} // namespace zq::test
