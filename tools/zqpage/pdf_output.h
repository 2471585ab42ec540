// The run's PDF (--pdf), through libzqscan's composer: set up before the
// first picture is read, composed of the pages written once all are done.
#ifndef ZQPAGE_PDF_OUTPUT_H
#define ZQPAGE_PDF_OUTPUT_H

#include "options.h"

#include <string>
#include <vector>

namespace zqpage
{

// Loads the composer (libzqpdf) and gives it the PDF's settings from the
// options, so that a composer or a language model that is missing stops
// the run before any work.  False with the library's reason in error.
bool setUpPdf(const Options &options, std::string &error);

// With a text layer: starts reading the words of a page just written, in
// the composer's background, while the next pictures are cut.
void prepareText(const Options &options, const std::string &page);

// Composes the pages, in this order, into the PDF at path; the composer
// writes it whole or not at all.  With a text layer it first waits for the
// pages' words, counting them on a terminal's standard error.  False with
// the library's reason in error.
bool composePdf(const Options &options, const std::vector<std::string> &pages,
                const std::string &path, std::string &error);

} // namespace zqpage

#endif
