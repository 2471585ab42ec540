// Where libzqscan finds the libraries it loads at run time: in its private
// folder beside its own file, in the build tree and installed alike, and
// never in the working directory, which whoever starts the program controls.
#ifndef ZQ_LIBRARY_FOLDER_H
#define ZQ_LIBRARY_FOLDER_H

#include <string>

namespace zq
{

// The path of the library `name` in libzqscan's private folder; empty when
// the loader cannot tell where libzqscan lies, and then nothing should be
// loaded.
std::string privateLibraryPath(const char *name);

} // namespace zq

#endif
