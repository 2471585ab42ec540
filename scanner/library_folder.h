// Where libzqscan itself lies.  Libraries it loads at run time are taken
// from there and never from the working directory, which whoever starts
// the program controls.
#ifndef ZQ_LIBRARY_FOLDER_H
#define ZQ_LIBRARY_FOLDER_H

#include <string>

namespace zq
{

// The folder of the loaded libzqscan file; empty when the loader cannot
// tell, and then nothing should be loaded.
std::string libraryFolder();

} // namespace zq

#endif
