// The seam (scanner/seam.h) as a fuzz target fills it: the target links
// this in place of scanner/sys.cpp and sets the calls its device answers
// with; every call left unset fails with ENODEV.
#ifndef ZQ_FUZZ_SEAM_H
#define ZQ_FUZZ_SEAM_H

#include "seam.h"

namespace zq::fuzz
{

// Starts from calls that all fail (usleep and gettimeofday succeed at once).
zq_seam failingSeam();
// The table zq::sys::seam() hands out; set it before the library runs.
void setSeam(const zq_seam &calls);

} // namespace zq::fuzz

#endif
