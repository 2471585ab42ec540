// Tesseract's reading of a page picture: its lines and words, where they
// stand, in reading order.
#ifndef ZQPDF_RECOGNISER_H
#define ZQPDF_RECOGNISER_H

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace tesseract
{
class TessBaseAPI;
}

namespace zqpdf
{

// A box in picture pixels, y growing downwards.
struct PixelBox {
    int left, top, right, bottom;
};

struct RecognisedWord {
    std::string text; // UTF-8
    PixelBox box;
    bool spaceBefore; // a space separates it from the word before it on its line
};

struct RecognisedLine {
    PixelBox box;
    double slope; // of the baseline: pixels down per pixel to the right
    std::vector<RecognisedWord> words;
};

struct RecognisedPage {
    int width = 0; // picture pixels
    int height = 0;
    std::vector<RecognisedLine> lines; // in reading order
};

// One Tesseract engine loaded with a set of languages.  An engine serves
// one thread at a time; engines on different threads run side by side.
class Recogniser
{
  public:
    // languages: Tesseract's "chi_sim+eng" form.  Throws ComposeError
    // (ZQPDF_ERR_LANGUAGE) when a name is malformed or its model is not
    // installed.
    explicit Recogniser(const std::string &languages);
    ~Recogniser();
    Recogniser(const Recogniser &) = delete;
    Recogniser &operator=(const Recogniser &) = delete;

    const std::string &languages() const { return languages_; }

    // Recognises the JPEG or TIFF picture at path.  Throws ComposeError when
    // it cannot be read, and Cancelled when `cancel` became true meanwhile.
    RecognisedPage recognise(const std::string &path, const std::atomic<bool> *cancel = nullptr);

    struct Cancelled {
    };

  private:
    std::string languages_;
    std::unique_ptr<tesseract::TessBaseAPI> api_;
};

} // namespace zqpdf

#endif
