// zqpage's work: every picture in turn, its page printed or written.
#ifndef ZQPAGE_PROCESSING_H
#define ZQPAGE_PROCESSING_H

#include "options.h"

namespace zqpage
{

// Ordered by how bad they are: the run's status is the worst of its
// pictures'.
enum Exit {
    kDone = 0,
    kNoPage = 1, // no page found, or it could not be written
    kUsage = 2,
    kUnreadable = 3, // a picture could not be read
    kNoPdf = 4,      // --pdf: the PDF was not written
};

// Processes every picture, going on after one that fails, then composes
// the PDF of the pages written when asked to; the worst exit status of
// them.
Exit run(const Options &options);

} // namespace zqpage

#endif
