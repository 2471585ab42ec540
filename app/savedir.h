// The save directory: its check, the time-stamp names of the files written
// into it, and the paths formed from it.
#ifndef ZQVIDEO_SAVEDIR_H
#define ZQVIDEO_SAVEDIR_H

#include <sys/time.h>

#include <cstddef>

// Paths of files in the save directory are formed in buffers of this size.
constexpr size_t kPathMax = 256;
// The longest name a file in the save directory gets: time stamp + "-2"
// (the second page of an open book) + ".tiff".
constexpr size_t kFileNameMax = 24;

// True when path (null: the configured save directory) can be read and
// written; otherwise shows the error box and returns false.
bool checkDir(const char *path);
// The same check without the box, for callers that report otherwise.
bool dirUsable(const char *path);
// True when every file the program writes into dir has a path that fits
// its buffer.
bool dirFitsPaths(const char *dir);

// Shows the save directory's error box.  Tests replace it.
extern void (*showDirError)();

// The 17-digit local time stamp of tv, year to millisecond, into out;
// false (out untouched) when the time cannot be broken down.
bool formatTimeStamp(const timeval &tv, char *out, size_t size);
// A fresh time stamp in a static buffer that the next call overwrites.
const char *_get_file_time_str();

// "dir/name" into out (kPathMax bytes); false, leaving out empty, when it
// does not fit.
bool joinPath(char *out, const char *dir, const char *name);

#endif
