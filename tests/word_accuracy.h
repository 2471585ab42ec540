// How well a page's text is read back: the tesseract program on a page of
// a PDF rendered by pdftoppm, and the share of the page's words found.
#ifndef ZQ_TESTS_WORD_ACCURACY_H
#define ZQ_TESTS_WORD_ACCURACY_H

#include <cstddef>
#include <string>
#include <vector>

namespace zq::test
{

// The characters of a UTF-8 text, one string each.
std::vector<std::string> utf8Characters(const std::string &text);

// The words a text is judged by: the runs between white space, except that
// Chinese characters (and full-width punctuation) count one by one, since
// Chinese is written without spaces and Tesseract puts them in places.
std::vector<std::string> wordsToCompare(const std::string &text);

// How many of the words expected a reading found: the length of the longest
// sequence of words common to both, in order (a word counts only when read
// exactly, case and punctuation alike), over the words expected.  A word
// misread, left out or read in the wrong place is missed; words read where
// there are none cost nothing.
struct WordsFound {
    size_t found = 0;
    size_t expected = 0;
    double percent() const { return expected ? 100.0 * double(found) / double(expected) : 0; }
    WordsFound &operator+=(const WordsFound &other);
};
WordsFound wordsFound(const std::vector<std::string> &expectedLines, const std::string &read);

// What the tesseract program reads in a picture file, in those languages;
// the text is also left beside the picture, in picture.txt.
std::string tesseractReads(const std::string &picture, const std::string &languages);

// The page rendered at 300 dpi by pdftoppm (to prefix.ppm) and read back by
// tesseract.
std::string readBack(const std::string &pdf, int page, const std::string &languages,
                     const std::string &prefix);

} // namespace zq::test

#endif
