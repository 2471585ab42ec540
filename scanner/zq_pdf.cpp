// PDF composition entry points: hand the work to libzqpdf through the one
// holder of that library.
#include <zqscan/zq_pdf.h>

#include "czqpdf.h"

namespace
{

CZQPDF g_zqpdf;

} // namespace

int zq_create_pdf(const char **image_list, int image_count, const char *output_path)
{
    try {
        const int ready = g_zqpdf.init();
        if (ready != 0)
            return ready;
        return g_zqpdf.create_pdf(image_list, image_count, output_path);
    } catch (...) {
        return -1;
    }
}

const char *zq_pdf_error(void)
{
    try {
        return g_zqpdf.last_error();
    } catch (...) {
        return "can not load libzqpdf.so";
    }
}
