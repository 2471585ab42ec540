// A fresh folder for the files a fuzz target writes, on tmpfs where there
// is one: the atomic writers sync every file, which costs nothing there
// and would otherwise bound a run to the disk's pace.  The targets remove
// their files after each input; the folder goes when the run ends.
#ifndef ZQ_FUZZ_SCRATCH_FOLDER_H
#define ZQ_FUZZ_SCRATCH_FOLDER_H

#include <unistd.h>

#include <cstdlib>
#include <string>

inline std::string scratchFolder(const char *name)
{
    const char *root = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string folder = std::string(root) + "/zqfuzz-" + name + "-XXXXXX";
    if (!mkdtemp(folder.data()))
        abort();
    static std::string made;
    made = folder;
    atexit([] { rmdir(made.c_str()); });
    return folder;
}

#endif
