#include "library_folder.h"

#include <dlfcn.h>

namespace zq
{

std::string libraryFolder()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&libraryFolder), &info) || !info.dli_fname)
        return {};
    std::string path = info.dli_fname;
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace zq
