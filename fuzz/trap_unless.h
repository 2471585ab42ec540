// What the fuzz targets share: a check that stops the run where libFuzzer
// sees it, and writing an input out as a file for the reader under test.
#ifndef ZQ_FUZZ_TRAP_UNLESS_H
#define ZQ_FUZZ_TRAP_UNLESS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// A broken promise of the code under test: the trap is a crash libFuzzer
// reports with the input, in builds with or without assertions.
inline void trapUnless(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// Writes the bytes as the whole file at path; whether all went well.
inline bool writeFile(const std::string &path, const uint8_t *data, size_t size)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

#endif
