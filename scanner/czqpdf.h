// Holder of the PDF library that libzqscan loads at run time: the handle
// and the entry points, looked up by name.
#ifndef ZQ_CZQPDF_H
#define ZQ_CZQPDF_H

#include <zqpdf/zqpdf.h>

class CZQPDF
{
  public:
    CZQPDF();
    // The library stays loaded until the process ends.
    ~CZQPDF();

    // Loads the library if need be and initialises it.  Returns 0 when it
    // is ready, -1 when it or zqpdf_init cannot be loaded, else the code of
    // the failing zqpdf_init.  A failed load is tried again on the next
    // call, and so is a failed zqpdf_init.
    int init();
    // Undoes a successful zqpdf_init; the library stays loaded.
    void unit();
    bool loaded() const { return m_mod != nullptr; }
    const char *last_error();
    // -1 unless init() succeeded and zqpdf_create_pdf exists, else its result.
    int create_pdf(const char **image_list, int image_count, const char *output_path);
    // Like create_pdf: -1 unless init() succeeded and the entry point exists;
    // a missing one is named by last_error() until the next call.
    int set_page_encoding(int encoding);
    int set_text_layer(const char *languages);
    int prepare_page(const char *path);

  protected:
    void _clear();
    bool _load();

    void *m_mod;
    pzqpdf_init m_zqpdf_init;
    pzqpdf_uninit m_zqpdf_uninit;
    pzqpdf_last_error m_zqpdf_last_error;
    pzqpdf_create_pdf m_zqpdf_create_pdf;
    pzqpdf_set_page_encoding m_zqpdf_set_page_encoding;
    pzqpdf_set_text_layer m_zqpdf_set_text_layer;
    pzqpdf_prepare_page m_zqpdf_prepare_page;
    bool m_initialised;    // zqpdf_init has returned 0
    const char *m_missing; // the text of the optional entry point the last call lacked

  private:
    template <typename Function, typename... Arguments>
    int callOptional(Function entry, const char *missing, Arguments... arguments);
};

#endif
