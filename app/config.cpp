#include "config.h"

#include "atomic_file.h"

#include <zqscan/zq_scanner.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// Fields the program computes with: a value outside its range is no
// setting the program could have saved, and leaves the field's default.
struct FieldRange {
    int ZqConfig::*field;
    int min, max;
};
const FieldRange kFieldRanges[] = {
    {&ZqConfig::quality, 0, 9},     // the writers get quality 10 * (index + 1)
    {&ZqConfig::default_cam, 0, 9}, // camera default_cam + 1, one per video node
    {&ZqConfig::width, 0, ZQ_FRAME_SIDE_MAX},
    {&ZqConfig::height, 0, ZQ_FRAME_SIDE_MAX},
};

bool withinRange(int ZqConfig::*field, int value)
{
    for (const FieldRange &r : kFieldRanges)
        if (r.field == field)
            return value >= r.min && value <= r.max;
    return true;
}

// Numbers are read from the first bytes of a line as from a 128-byte line
// buffer; the directory line needs all of save_dir.
constexpr size_t kNumberLineMax = 127;
constexpr size_t kLineKeep = sizeof(ZqConfig::save_dir);
// The ten lines take a few hundred bytes; no more than this is ever read,
// from the file and from any one line.
constexpr size_t kConfigFileMax = 4096;

// Reads one whole line without its line feed, keeping at most kLineKeep
// bytes, so that an overlong line never spills into the next field.  A
// line ends at its line feed or after kConfigFileMax bytes.  False at the
// end of the file and for a line that starts with NUL or 0xFF.
bool readLine(FILE *file, std::string &line)
{
    line.clear();
    size_t consumed = 0;
    for (int c; consumed < kConfigFileMax && (c = getc(file)) != EOF;) {
        ++consumed;
        if (c == '\n')
            break;
        if (line.size() < kLineKeep)
            line.push_back(char(c));
    }
    if (consumed == 0)
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

// The first kConfigFileMax bytes of path when it is a regular file.  A
// FIFO, a device or a directory in the file's place is not read: opening
// does not wait for a writer, and nothing is read from it.
bool readSettingsFile(const std::string &path, std::string &content)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st;
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    content.assign(regular ? kConfigFileMax : 0, '\0');
    size_t got = 0;
    while (got < content.size()) {
        const ssize_t n = read(fd, content.data() + got, content.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    close(fd);
    content.resize(got);
    return regular;
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

void readConfigLines(FILE *file, ZqConfig &config)
{
    for (int ZqConfig::*field : kConfigLines) {
        if (!field) {
            ReadConfig(file, config.save_dir, sizeof(config.save_dir));
            continue;
        }
        int value = config.*field;
        ReadConfig(file, value);
        if (withinRange(field, value))
            config.*field = value;
    }
}

void loadConfigFile(ZqConfig &config, const std::string &path)
{
    config = defaults();
    std::string content;
    if (path.empty() || !readSettingsFile(path, content) || content.empty())
        return;
    FILE *file = fmemopen(content.data(), content.size(), "r");
    if (!file)
        return;
    readConfigLines(file, config);
    fclose(file);
}

int settingsPathProblem(const std::string &path)
{
    struct stat status;
    if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
        return EISDIR;
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    return access(dir.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

void removeStaleTemporaries()
{
    if (const char *dir = GetSaveDir())
        zq::remove_stale_temporaries(dir);
    if (g_Config.save_dir[0])
        zq::remove_stale_temporaries(g_Config.save_dir);
}

bool saveConfigFile(const ZqConfig &config, const std::string &path)
{
    if (path.empty())
        return false;
    zq::AtomicFile file(path);
    FILE *stream = file.stream();
    return stream && writeAll(stream, config) && file.commit();
}
