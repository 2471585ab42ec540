// libzqpdf's C call for a list of page files, from C++ strings.
#ifndef ZQ_TESTS_COMPOSE_PDF_H
#define ZQ_TESTS_COMPOSE_PDF_H

#include <zqpdf/zqpdf.h>

#include <string>
#include <vector>

namespace zq::test
{

inline zqpdf_errno composePdf(const std::vector<std::string> &files, const std::string &out)
{
    std::vector<const char *> list;
    for (const std::string &f : files)
        list.push_back(f.c_str());
    return zqpdf_create_pdf(list.data(), static_cast<int>(list.size()), out.c_str());
}

} // namespace zq::test

#endif
