#include "library_folder.h"

#include <dlfcn.h>

namespace zq
{

std::string privateLibraryPath(const char *name)
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&privateLibraryPath), &info) || !info.dli_fname)
        return {};
    const std::string self = info.dli_fname;
    const auto slash = self.rfind('/');
    if (slash == std::string::npos)
        return {};
    return self.substr(0, slash + 1) + ZQ_PRIVATE_LIBRARY_FOLDER "/" + name;
}

} // namespace zq
