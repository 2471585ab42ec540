#include "word_accuracy.h"

#include "pdf_tools.h"
#include "picture_files.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace zq::test
{
namespace
{

constexpr int kReadBackDpi = 300;

size_t utf8Length(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : lead >> 3 == 30 ? 4 : 1;
}

char32_t codePoint(const std::string &character)
{
    const auto lead = static_cast<unsigned char>(character[0]);
    if (character.size() == 1)
        return lead;
    char32_t cp = lead & (0x7F >> character.size());
    for (size_t i = 1; i < character.size(); ++i)
        cp = cp << 6 | (static_cast<unsigned char>(character[i]) & 0x3F);
    return cp;
}

// CJK punctuation, the unified ideographs and their extension A, the
// compatibility ideographs, and the full-width forms.
bool countsAlone(const std::string &character)
{
    const char32_t cp = codePoint(character);
    return (cp >= 0x3000 && cp <= 0x303F) || (cp >= 0x3400 && cp <= 0x9FFF) ||
           (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFF00 && cp <= 0xFFEF);
}

// Length of the longest common subsequence, a row of the table at a time.
size_t commonInOrder(const std::vector<std::string> &a, const std::vector<std::string> &b)
{
    std::vector<size_t> previous(b.size() + 1, 0), row(b.size() + 1, 0);
    for (const std::string &word : a) {
        for (size_t j = 0; j < b.size(); ++j)
            row[j + 1] = word == b[j] ? previous[j] + 1 : std::max(previous[j + 1], row[j]);
        std::swap(previous, row);
    }
    return previous[b.size()];
}

std::string quoted(const std::string &text)
{
    return "'" + text + "'";
}

} // namespace

std::vector<std::string> utf8Characters(const std::string &text)
{
    std::vector<std::string> characters;
    for (size_t i = 0; i < text.size();) {
        const size_t length =
            std::min(utf8Length(static_cast<unsigned char>(text[i])), text.size() - i);
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

std::vector<std::string> wordsToCompare(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string run; in >> run;) {
        std::string word;
        for (const std::string &character : utf8Characters(run)) {
            if (!countsAlone(character)) {
                word += character;
                continue;
            }
            if (!word.empty())
                words.push_back(word);
            word.clear();
            words.push_back(character);
        }
        if (!word.empty())
            words.push_back(word);
    }
    return words;
}

WordsFound &WordsFound::operator+=(const WordsFound &other)
{
    found += other.found;
    expected += other.expected;
    return *this;
}

WordsFound wordsFound(const std::vector<std::string> &expectedLines, const std::string &read)
{
    std::string expectedText;
    for (const std::string &line : expectedLines)
        expectedText += line + "\n";
    const std::vector<std::string> expected = wordsToCompare(expectedText);
    return {commonInOrder(expected, wordsToCompare(read)), expected.size()};
}

std::string tesseractReads(const std::string &picture, const std::string &languages)
{
    // Into a file beside the picture: its messages go to the same output
    // as its text.
    const ToolRun run =
        runTool("tesseract " + quoted(picture) + " " + quoted(picture) + " -l " + languages);
    if (run.status != 0)
        throw std::runtime_error("tesseract failed on " + picture + ":\n" + run.output);
    return readFile(picture + ".txt");
}

std::string readBack(const std::string &pdf, int page, const std::string &languages,
                     const std::string &prefix)
{
    return tesseractReads(renderPage(pdf, page, kReadBackDpi, prefix), languages);
}

} // namespace zq::test
