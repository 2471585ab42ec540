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

// Composes the pages, in this order, into the PDF at path; the composer
// writes it whole or not at all.  False with the library's reason in error.
bool composePdf(const std::vector<std::string> &pages, const std::string &path, std::string &error);

} // namespace zqpage

#endif
