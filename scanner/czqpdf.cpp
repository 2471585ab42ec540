#include "czqpdf.h"

#include "last_error.h"
#include "library_folder.h"
#include "library_log.h"

#include <zqscan/zq_messages.h>

#include <dlfcn.h>

#include <string>

namespace
{

const char kLibraryName[] = "libzqpdf.so";

template <typename Function> Function lookUp(void *module, const char *name)
{
    return reinterpret_cast<Function>(dlsym(module, name));
}

} // namespace

CZQPDF::CZQPDF()
{
    _clear();
}

CZQPDF::~CZQPDF() = default;

void CZQPDF::_clear()
{
    m_mod = nullptr;
    m_zqpdf_init = nullptr;
    m_zqpdf_uninit = nullptr;
    m_zqpdf_last_error = nullptr;
    m_zqpdf_create_pdf = nullptr;
    m_zqpdf_set_page_encoding = nullptr;
    m_zqpdf_set_text_layer = nullptr;
    m_zqpdf_prepare_page = nullptr;
    m_initialised = false;
    m_missing = nullptr;
}

// Loads the library from libzqscan's private folder and looks up all its
// entry points; a missing one stays null.  On failure the loader's own
// message is logged and recorded, since dlopen says why only through
// dlerror.
bool CZQPDF::_load()
{
    const std::string path = zq::privateLibraryPath(kLibraryName);
    if (path.empty()) {
        zq::failWith("can not load %s: the folder of libzqscan is unknown", kLibraryName);
        zq::log(ZQ_LOG_ERROR, zq::Console::Out, "%s: the folder of libzqscan is unknown",
                kLibraryName);
        return false;
    }
    m_mod = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_mod) {
        const char *why = dlerror();
        zq::failWith("can not load %s: %s", kLibraryName, why ? why : path.c_str());
        zq::log(ZQ_LOG_ERROR, zq::Console::Out, "%s", why ? why : path.c_str());
        return false;
    }
    m_zqpdf_init = lookUp<pzqpdf_init>(m_mod, "zqpdf_init");
    m_zqpdf_uninit = lookUp<pzqpdf_uninit>(m_mod, "zqpdf_uninit");
    m_zqpdf_last_error = lookUp<pzqpdf_last_error>(m_mod, "zqpdf_last_error");
    m_zqpdf_create_pdf = lookUp<pzqpdf_create_pdf>(m_mod, "zqpdf_create_pdf");
    m_zqpdf_set_page_encoding = lookUp<pzqpdf_set_page_encoding>(m_mod, "zqpdf_set_page_encoding");
    m_zqpdf_set_text_layer = lookUp<pzqpdf_set_text_layer>(m_mod, "zqpdf_set_text_layer");
    m_zqpdf_prepare_page = lookUp<pzqpdf_prepare_page>(m_mod, "zqpdf_prepare_page");
    return true;
}

int CZQPDF::init()
{
    if (!m_mod && !_load())
        return -1;
    if (m_initialised)
        return 0;
    if (!m_zqpdf_init)
        return -1;
    const int result = m_zqpdf_init();
    m_initialised = result == 0;
    return result;
}

void CZQPDF::unit()
{
    if (m_initialised && m_zqpdf_uninit)
        m_zqpdf_uninit();
    m_initialised = false;
}

const char *CZQPDF::last_error()
{
    if (!m_mod)
        return "can not load libzqpdf.so";
    if (!m_zqpdf_last_error)
        return "can not load zqpdf_last_error()";
    if (!m_zqpdf_uninit)
        return "can not load zqpdf_uninit()";
    if (!m_zqpdf_init)
        return "can not load zqpdf_init()";
    if (!m_zqpdf_create_pdf)
        return "can not load zqpdf_create_pdf()";
    return m_missing ? m_missing : m_zqpdf_last_error();
}

// An entry point that older libraries lack: the call that needs it says
// so in the error text, until the next call; composing goes on without it.
template <typename Function, typename... Arguments>
int CZQPDF::callOptional(Function entry, const char *missing, Arguments... arguments)
{
    m_missing = entry ? nullptr : missing;
    if (!m_mod || !m_initialised || !entry)
        return -1;
    return entry(arguments...);
}

int CZQPDF::create_pdf(const char **image_list, int image_count, const char *output_path)
{
    m_missing = nullptr;
    if (!m_mod || !m_initialised || !m_zqpdf_create_pdf)
        return -1;
    return m_zqpdf_create_pdf(image_list, image_count, output_path);
}

int CZQPDF::set_page_encoding(int encoding)
{
    return callOptional(m_zqpdf_set_page_encoding, "can not load zqpdf_set_page_encoding()",
                        encoding);
}

int CZQPDF::set_text_layer(const char *languages)
{
    return callOptional(m_zqpdf_set_text_layer, "can not load zqpdf_set_text_layer()", languages);
}

int CZQPDF::prepare_page(const char *path)
{
    return callOptional(m_zqpdf_prepare_page, "can not load zqpdf_prepare_page()", path);
}
