#include "options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace zqpage
{
namespace
{

// Long options without a short form: values past any character.
enum LongOption {
    kLayout = 256,
    kFlatten,
    kOutline,
    kFormat,
    kQuality,
    kClearBackground,
    kRightToLeft,
    kPdf,
    kCompact,
    kOcr,
    kHelp,
    kVersion,
};

const option kOptions[] = {
    {"output", required_argument, nullptr, 'o'},
    {"layout", required_argument, nullptr, kLayout},
    {"flatten", required_argument, nullptr, kFlatten},
    {"outline", no_argument, nullptr, kOutline},
    {"format", required_argument, nullptr, kFormat},
    {"quality", required_argument, nullptr, kQuality},
    {"clear-background", no_argument, nullptr, kClearBackground},
    {"right-to-left", no_argument, nullptr, kRightToLeft},
    {"pdf", required_argument, nullptr, kPdf},
    {"compact", no_argument, nullptr, kCompact},
    {"ocr", required_argument, nullptr, kOcr},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

bool complain(const std::string &message)
{
    std::fprintf(stderr, "zqpage: %s\n", message.c_str());
    return false;
}

// A word an option takes and what it stands for.
template <class T> struct Choice {
    const char *word;
    T value;
};

constexpr Choice<Layout> kLayouts[] = {
    {"auto", Layout::Auto}, {"page", Layout::Page}, {"book", Layout::Book}};
constexpr Choice<PageFormat> kFormats[] = {
    {"jpg", PageFormat::Jpeg}, {"png", PageFormat::Png}, {"tiff", PageFormat::Tiff}};
constexpr Choice<bool> kOnOff[] = {{"on", true}, {"off", false}};

// Sets value to what word stands for among the choices; complains when it
// is none of them.
template <class T, size_t N>
bool parseChoice(const char *word, const Choice<T> (&choices)[N], T &value, const char *complaint)
{
    for (const Choice<T> &choice : choices)
        if (std::strcmp(word, choice.word) == 0) {
            value = choice.value;
            return true;
        }
    return complain(complaint);
}

bool parseQuality(const char *value, int &quality)
{
    errno = 0;
    char *end = nullptr;
    const long number = std::strtol(value, &end, 10);
    if (errno != 0 || end == value || *end != '\0' || number < 1 || number > 100)
        return complain("--quality takes a whole number from 1 to 100");
    quality = int(number);
    return true;
}

bool parseNonEmpty(const char *value, std::string &text, const char *complaint)
{
    if (!*value)
        return complain(complaint);
    text = value;
    return true;
}

// The options without a value: each turns one setting on.
constexpr std::pair<int, bool Options::*> kFlags[] = {
    {kOutline, &Options::outlineOnly},
    {kClearBackground, &Options::clearBackground},
    {kRightToLeft, &Options::rightToLeft},
    {kCompact, &Options::compact},
};

// Applies one option that getopt_long has recognised; false on a bad value.
bool apply(int option, const char *value, Options &o)
{
    for (const auto &[flag, member] : kFlags)
        if (option == flag) {
            o.*member = true;
            return true;
        }
    switch (option) {
    case 'o':
        o.outputDirectory = value;
        return true;
    case kLayout:
        return parseChoice(value, kLayouts, o.layout, "--layout takes auto, page or book");
    case kFlatten:
        return parseChoice(value, kOnOff, o.flatten, "--flatten takes on or off");
    case kFormat:
        return parseChoice(value, kFormats, o.format, "--format takes jpg, png or tiff");
    case kQuality:
        return parseQuality(value, o.quality);
    case kPdf:
        return parseNonEmpty(value, o.pdf, "--pdf takes a file name");
    case kOcr:
        // Empty would turn the text layer off: a mistake where it is asked for.
        return parseNonEmpty(value, o.ocrLanguages,
                             "--ocr takes Tesseract languages such as eng or chi_sim+eng");
    default:
        return false; // getopt_long has said what is wrong
    }
}

// Options that each make sense but not together.
bool compatible(const Options &o)
{
    if (!o.pdf.empty() && o.outlineOnly)
        return complain("--pdf cannot go with --outline, which writes no pages");
    // libzqpdf composes JPEG and TIFF files only.
    if (!o.pdf.empty() && o.format == PageFormat::Png)
        return complain("--pdf takes jpg or tiff pages, not png");
    return true;
}

} // namespace

std::optional<Options> parseOptions(int argc, char **argv)
{
    // getopt_long's own messages name the program, not the path it was
    // started by; it permutes the copy, not the caller's argv.
    static char programName[] = "zqpage";
    std::vector<char *> args{programName};
    if (argc > 1)
        args.insert(args.end(), argv + 1, argv + argc);
    args.push_back(nullptr);

    Options o;
    optind = 1;
    opterr = 1;
    for (;;) {
        const int option = getopt_long(int(args.size()) - 1, args.data(), "o:", kOptions, nullptr);
        if (option == -1)
            break;
        if (option == kHelp || option == kVersion) {
            o.request = option == kHelp ? Options::Request::Help : Options::Request::Version;
            return o;
        }
        if (!apply(option, optarg, o))
            return std::nullopt;
    }
    o.pictures.assign(args.begin() + optind, args.end() - 1);
    if (o.pictures.empty()) {
        complain("no picture given");
        return std::nullopt;
    }
    if (!compatible(o))
        return std::nullopt;
    return o;
}

const char *usageText()
{
    return "Usage: zqpage [OPTION]... PICTURE...\n"
           "Finds the page in each picture (JPEG, PNG or TIFF; a camera frame, a phone\n"
           "photo or an earlier capture), cuts it flat to its true proportions and\n"
           "writes it as DIR/STEM.EXT, STEM being the picture's file name without its\n"
           "extension; an open book's two pages as DIR/STEM-1.EXT and DIR/STEM-2.EXT in\n"
           "reading order.  Each written file's path is printed on a line of its own.\n"
           "\n"
           "  -o, --output DIR         where the pages go (default: the working\n"
           "                           directory; created when missing)\n"
           "      --format FORMAT      jpg (default), png or tiff\n"
           "      --quality N          JPEG quality of jpg and tiff pages, 1 to 100\n"
           "                           (default 90)\n"
           "      --clear-background   whiten the paper and raise the contrast\n"
           "      --outline            write nothing; print each page's corners as\n"
           "                           PICTURE N x0,y0 x1,y1 x2,y2 x3,y3 (picture pixels,\n"
           "                           clockwise from the one nearest the top left)\n"
           "      --layout LAYOUT      auto (default: an open book's two pages where the\n"
           "                           picture shows one, else a page), page or book\n"
           "      --flatten on|off     lay a book's curved pages flat (default on); off\n"
           "                           cuts each along its four corners\n"
           "      --right-to-left      a spread's right page first (books bound on the\n"
           "                           right)\n"
           "      --pdf FILE           also compose the pages written, in that order, into\n"
           "                           one PDF at FILE once every picture is done (jpg and\n"
           "                           tiff pages); its path is printed last\n"
           "      --compact            encode the PDF's pages anew, small: a text page\n"
           "                           bilevel, a colour page in reduced colour under its\n"
           "                           sharp text\n"
           "      --ocr LANGS          make the PDF searchable: a text layer of the words\n"
           "                           read in these Tesseract languages (eng, chi_sim+eng)\n"
           "      --help               show this help and exit\n"
           "      --version            show the version and exit\n"
           "\n"
           "Exit codes: 0 every picture gave its page, 1 a picture gave no page (none\n"
           "found, or it could not be written), 2 usage, 3 a picture could not be read,\n"
           "4 the PDF was not written.  With --pdf, 1 and 3 still write the PDF, of the\n"
           "pages that were written.\n";
}

} // namespace zqpage
