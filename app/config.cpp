#include "config.h"

#include "atomic_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>

ZqConfig g_Config;

namespace
{

// The file's lines in order; a null member is the save directory's line.
constexpr int ZqConfig::*kConfigLines[] = {
    &ZqConfig::rota,
    &ZqConfig::color,
    &ZqConfig::quality,
    &ZqConfig::default_cam,
    &ZqConfig::width,
    &ZqConfig::height,
    nullptr,
    &ZqConfig::cutting_mode,
    &ZqConfig::clear_background,
    &ZqConfig::picture_format,
};

// Numbers are read from the first bytes of a line as from a 128-byte line
// buffer; the directory line needs all of save_dir.
constexpr size_t kNumberLineMax = 127;
constexpr size_t kLineKeep = sizeof(ZqConfig::save_dir);

// Reads one whole line without its line feed, keeping at most kLineKeep
// bytes, so that an overlong line never spills into the next field.  False
// at the end of the file and for a line that starts with NUL or 0xFF.
bool readLine(FILE *file, std::string &line)
{
    line.clear();
    bool any = false;
    for (int c; (c = getc(file)) != EOF;) {
        any = true;
        if (c == '\n')
            break;
        if (line.size() < kLineKeep)
            line.push_back(char(c));
    }
    if (!any)
        return false;
    return line.empty() || (line[0] != '\0' && uint8_t(line[0]) != 0xFF);
}

ZqConfig defaults()
{
    ZqConfig c{};
    c.quality = 5;
    const char *home = getenv("HOME");
    if (home && strlen(home) < sizeof(c.save_dir))
        strcpy(c.save_dir, home);
    return c;
}

bool writeAll(FILE *file, const ZqConfig &config)
{
    for (int ZqConfig::*field : kConfigLines) {
        const bool ok =
            field ? WriteConfig(file, config.*field) : WriteConfig(file, config.save_dir);
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

const char *GetSaveDir()
{
    const char *xdg = getenv("XDG_CONFIG_HOME");
    return xdg ? xdg : getenv("HOME");
}

std::string configPathIn(const char *dir)
{
    return dir ? std::string(dir) + "/.zqvideo.config" : std::string();
}

const std::string &GetConfigPath()
{
    static const std::string path = configPathIn(GetSaveDir());
    return path;
}

const std::string &programSettingsPath()
{
    const char *dir = GetSaveDir();
    static const std::string path = dir ? std::string(dir) + "/.zqvideo.ini" : std::string();
    return path;
}

void ReadConfig(FILE *file, int &value)
{
    std::string line;
    if (!readLine(file, line))
        return;
    line.resize(std::min(line.size(), kNumberLineMax));
    // Kept to 32 bits as the field is, whatever strtol made of it.
    value = int(uint32_t(strtol(line.c_str(), nullptr, 10)));
}

void ReadConfig(FILE *file, char *text, size_t size)
{
    if (size == 0)
        return;
    std::string line;
    if (!readLine(file, line))
        return;
    const size_t n = std::min(strnlen(line.c_str(), line.size()), size - 1);
    memcpy(text, line.data(), n);
    text[n] = '\0';
}

template <typename T> bool WriteConfig(FILE *file, const T &value)
{
    std::ostringstream line;
    line << value << '\n';
    return fputs(line.str().c_str(), file) >= 0;
}

template bool WriteConfig<int>(FILE *, const int &);
template bool WriteConfig<char[256]>(FILE *, const char (&)[256]);

void loadConfigFile(ZqConfig &config, const std::string &path)
{
    config = defaults();
    if (path.empty())
        return;
    FILE *file = fopen(path.c_str(), "r");
    if (!file)
        return;
    for (int ZqConfig::*field : kConfigLines) {
        if (field)
            ReadConfig(file, config.*field);
        else
            ReadConfig(file, config.save_dir, sizeof(config.save_dir));
    }
    fclose(file);
}

bool saveConfigFile(const ZqConfig &config, const std::string &path)
{
    if (path.empty())
        return false;
    zq::AtomicFile file(path);
    FILE *stream = file.stream();
    return stream && writeAll(stream, config) && file.commit();
}
