#include "commands.h"

#include "firmware_check.h"
#include "atomic_file.h"
#include "printable.h"
#include "progress.h"
#include <zqscan/ChipCamera.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace zqchip
{
namespace
{

Exit fail(Exit code, const std::string &message)
{
    std::fflush(stdout); // what was said before comes first
    std::fprintf(stderr, "zqchip: %s\n", message.c_str());
    return code;
}

// Reads a firmware file of at most SF_WINDOW_LIMIT bytes, the most any
// flash takes through the window.  Anything but a regular file (a FIFO
// would not even open without a writer, /dev/zero never ends) and anything
// larger is refused without reading it whole; error says why.
bool readFirmwareFile(const std::string &path, Bytes &data, std::string &error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot read firmware file " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        error = path + (S_ISDIR(st.st_mode) ? " is a directory" : " is not a regular file") +
                ", not a firmware image";
    data.assign(error.empty() ? size_t(SF_WINDOW_LIMIT) + 1 : 0, 0);
    size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = "cannot read firmware file " + path + ": " + std::strerror(errno);
        if (n <= 0)
            break;
        got += size_t(n);
    }
    ::close(fd);
    data.resize(got);
    if (error.empty() && got > size_t(SF_WINDOW_LIMIT))
        error = path + " is larger than the largest flash (" + std::to_string(SF_WINDOW_LIMIT) +
                " bytes), not a firmware image";
    return error.empty();
}

// Replaces the file whole or not at all: a write that fails halfway
// leaves the file that was there.
bool replaceFile(const std::string &path, const Bytes &data)
{
    zq::AtomicFile file(path);
    std::FILE *out = file.is_open() ? file.stream() : nullptr;
    return out && std::fwrite(data.data(), 1, data.size(), out) == data.size() && file.commit();
}

// Writes the whole file and has it on disk before returning; extraFlags
// O_EXCL keeps an existing file, O_TRUNC replaces it.
bool writeFile(const std::string &path, const Bytes &data, int extraFlags)
{
    if (extraFlags & O_TRUNC)
        return replaceFile(path, data);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | extraFlags, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    const bool synced = done == data.size() && ::fsync(fd) == 0;
    const bool written = ::close(fd) == 0 && synced;
    if (!written && (extraFlags & O_EXCL))
        ::unlink(path.c_str()); // ours alone: no partial file stays behind
    return written;
}

// Text the chip gave, at most count bytes up to its NUL, fit for a terminal.
std::string deviceText(const BYTE *text, size_t count)
{
    const char *chars = reinterpret_cast<const char *>(text);
    return zq::printable(std::string(chars, strnlen(chars, count)));
}

std::string hex(const BYTE *data, size_t count)
{
    std::string text;
    char b[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(b, sizeof(b), i ? " %02X" : "%02X", data[i]);
        text += b;
    }
    return text;
}

// The open chip for the length of one command.
class ChipSession
{
  public:
    explicit ChipSession(int device) : open_(ChipCam_Init(device)) {}
    ~ChipSession()
    {
        if (open_)
            ChipCam_UnInit();
    }
    ChipSession(const ChipSession &) = delete;
    ChipSession &operator=(const ChipSession &) = delete;
    bool open() const { return open_; }

  private:
    bool open_;
};

// A word for the shell: quoted unless it is plain.
std::string shellWord(const std::string &word)
{
    const bool plain =
        !word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                                "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                "0123456789_-+=./:,@%") == std::string::npos;
    if (plain)
        return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct Identity {
    BYTE chipId = 0;
    DSP_ROM_TYPE romType = DRT_Unknow;
    BYTE rom[ROM_STRING_SIZE + 2] = {};
};

struct Flash {
    long size = 0;
    bool byId = false; // else measured by where its addresses wrap
};

bool measureFlash(Flash &flash)
{
    LONG size = 0;
    BOOL byId = 0;
    if (!XU_GetSerialFlashSize(&size, &byId))
        return false;
    flash = {long(size), byId != 0};
    return true;
}

bool identify(Identity &id)
{
    DSP_ARCH_TYPE arch = DAT_UNKNOW;
    id.romType = XU_GetChipRomType(&id.chipId, &arch);
    return id.romType != DRT_Unknow && XU_GetAsicRomVersion(id.rom);
}

const char *romTypeName(DSP_ROM_TYPE type)
{
    static const char *const names[] = {"unknown", "32K", "64K", "128K", "256K"};
    return type >= DRT_Unknow && type <= DRT_256K ? names[type] : "unknown";
}

// The firmware's write commands follow the flash family: the command-set
// row that the known-flash table gives the family (the common set for
// families it does not list).
void selectCommandSet(SERIAL_FLASH_TYPE family)
{
    ubSFLib_CmdID = 1;
    for (int row = 1; row < SF_ID_ROWS; ++row)
        if (cbSFLib_ID[row][3] == family) {
            ubSFLib_CmdID = cbSFLib_ID[row][4];
            return;
        }
}

Exit needWriteOptions(const Options &o)
{
    if (o.family == SFT_UNKNOW)
        return fail(kUsage, "this command erases flash: name its family with --family");
    if (!o.confirmed)
        return fail(kUsage, "this command erases flash: confirm with --yes");
    selectCommandSet(o.family);
    return kDone;
}

bool exportFlash(long length, Bytes &data)
{
    data.assign(size_t(length), 0);
    return ChipCam_ExportFW(data.data(), length, nullptr, nullptr);
}

using FlashReader = BOOL (*)(LONG offset, BYTE *data, LONG length);

// The firmware export as a reader; it reads from address 0.
BOOL exportReader(LONG, BYTE *data, LONG length)
{
    return ChipCam_ExportFW(data, length, nullptr, nullptr);
}

// Reads length bytes from offset twice and keeps them only when both reads
// agree: a byte damaged on its way from the chip must not end up in a file
// that passes for a copy of the flash.  unsaved says what did not happen.
Exit readVerified(FlashReader reader, long offset, long length, Bytes &data,
                  const std::string &unsaved)
{
    auto read = [&](Bytes &into) {
        into.assign(size_t(length), 0);
        return reader(offset, into.data(), length);
    };
    Bytes again;
    if (!read(data) || !read(again))
        return fail(kFailed, "flash read failed; " + unsaved);
    const auto at = std::mismatch(data.begin(), data.end(), again.begin()).first;
    if (at == data.end())
        return kDone;
    size_t differ = 0;
    for (size_t i = 0; i < data.size(); ++i)
        differ += data[i] != again[i];
    char where[96];
    std::snprintf(where, sizeof where, "at 0x%lX (0x%02X, then 0x%02X)",
                  offset + long(at - data.begin()), *at, again[size_t(at - data.begin())]);
    return fail(kFailed, "the flash read differently twice, first " + std::string(where) + ", " +
                             std::to_string(differ) +
                             " byte(s) in all: the connection to the camera is unreliable; " +
                             unsaved);
}

// The whole flash, saved before anything is erased.
struct Backup {
    std::string path;
    Bytes image;
};

Exit backUp(const Options &o, const Flash &flash, Backup &backup)
{
    backup.path = o.backupPath.empty() ? backupNameAt(std::time(nullptr)) : o.backupPath;
    if (Exit e = readVerified(exportReader, 0, flash.size, backup.image,
                              "no backup was written, nothing was erased");
        e != kDone)
        return e;
    // An earlier backup may be the only good copy of this flash (a burn
    // that failed half-way is retried): never replace it.
    if (!writeFile(backup.path, backup.image, O_EXCL))
        return fail(kFailed, errno == EEXIST ? "the backup " + backup.path +
                                                   " already exists: move it away or name "
                                                   "another with --backup"
                                             : "could not write the backup " + backup.path);
    std::printf("backup of %ld bytes written to %s\n", flash.size, backup.path.c_str());
    return kDone;
}

// Whether the flash still holds what the backup holds: a write refused
// before the erase (a flash that stays locked, a table the SDK cannot use)
// changed nothing.  A read that fails counts as a change.
bool unchanged(const Flash &flash, const Backup &backup)
{
    Bytes now;
    return exportFlash(flash.size, now) && now == backup.image;
}

// A write that failed: when the flash changed, where the earlier flash is
// and the command that puts it back; else that nothing changed.
Exit failedWrite(Exit code, const std::string &what, const Options &o, const Identity &id,
                 const Flash &flash, const Backup &backup)
{
    if (unchanged(flash, backup))
        return fail(code, what + "; nothing was changed: the flash reads as before (as " +
                              backup.path + " holds it), nothing needs to be written back");
    const bool force = !checkFirmware(backup.image, id.rom, flash.size).fit();
    return fail(code, what + "; the earlier flash is in " + backup.path +
                          "\nzqchip: to write it back: zqchip --device " +
                          std::to_string(o.device) + " burn " + shellWord(backup.path) +
                          " --family " + familyName(o.family) + (force ? " --force" : "") +
                          " --full --yes");
}

// A new file for dump and export; an existing one only with --force.
Exit saveNewFile(const Options &o, const Bytes &data)
{
    const std::string &path = o.operands[0];
    if (writeFile(path, data, o.force ? O_TRUNC : O_EXCL))
        return kDone;
    if (errno == EEXIST)
        return fail(kFailed, path + " already exists: name another file, or replace it with "
                                    "--force");
    return fail(kFailed, "could not write " + path + ": " + std::strerror(errno));
}

// ---- commands ------------------------------------------------------------------------

using TextReader = BOOL (*)(BYTE *, int);

struct StringField {
    const char *option; // as --option names it
    const char *label;
    TextReader read;
};

const StringField kStrings[] = {
    {"product", "product", ChipCam_GetProduct},
    {"manufacturer", "manufacturer", ChipCam_GetManufacturer},
    {"serial", "serial number", ChipCam_GetSerialNumber},
    {"string3", "string 3", ChipCam_GetString3},
    {"interface", "interface", ChipCam_GetInterface},
};

bool readText(TextReader read, std::string &text)
{
    BYTE buffer[CHIPCAM_MAX_STRING + 1] = {};
    if (!read(buffer, CHIPCAM_MAX_STRING))
        return false;
    text = reinterpret_cast<char *>(buffer);
    return true;
}

Exit info(const Options &, const Identity &id)
{
    std::printf("chip id:          0x%02X\n", id.chipId);
    std::printf("ROM type:         %s\n", romTypeName(id.romType));
    std::printf("ROM version:      %s (%s)\n", deviceText(id.rom, 5).c_str(),
                hex(id.rom, ROM_STRING_SIZE).c_str());
    BYTE version[CHIPCAM_FW_VERSION_SIZE + 1] = {};
    if (ChipCam_GetFWVersion(version, CHIPCAM_FW_VERSION_SIZE, 0))
        std::printf("firmware version: %s\n", deviceText(version, CHIPCAM_FW_VERSION_SIZE).c_str());
    else
        std::printf("firmware version: (not available for this chip)\n");
    Flash flash;
    BYTE jedec[3] = {};
    if (measureFlash(flash) && XU_ReadSerialFlashID(jedec))
        std::printf("flash:            id %s, %ld KiB (%s)\n", hex(jedec, 3).c_str(),
                    flash.size / 1024,
                    flash.byId ? "a known part" : "an unknown part: where its addresses wrap");
    else
        std::printf("flash:            (unreadable)\n");
    BYTE ids[4] = {};
    if (ChipCam_GetVidPid(ids, 4))
        std::printf("USB id:           %02x%02x:%02x%02x (stored %s)\n", ids[1], ids[0], ids[3],
                    ids[2], hex(ids, 4).c_str());
    else
        std::printf("USB id:           (unreadable)\n");
    for (const StringField &s : kStrings) {
        std::string text;
        std::printf("%-17s %s\n", (std::string(s.label) + ":").c_str(),
                    readText(s.read, text) ? zq::printable(text).c_str() : "(unreadable)");
    }
    return kDone;
}

bool numbers(const std::vector<std::string> &texts, size_t from, long max, std::vector<long> &out)
{
    for (size_t i = from; i < texts.size(); ++i) {
        long v = 0;
        if (!parseNumber(texts[i], v) || v < 0 || v > max)
            return false;
        out.push_back(v);
    }
    return true;
}

void printBytes(long addr, const Bytes &data)
{
    for (size_t i = 0; i < data.size(); i += 16)
        std::printf("%04lX: %s\n", addr + long(i),
                    hex(data.data() + i, std::min<size_t>(16, data.size() - i)).c_str());
}

Exit readRegisters(const Options &o, const Identity &)
{
    std::vector<long> args;
    if (o.operands.empty() || o.operands.size() > 2 || !numbers(o.operands, 0, 0xFFFF, args))
        return fail(kUsage, "read-reg ADDR [COUNT]");
    Bytes data(size_t(args.size() > 1 ? args[1] : 1));
    if (!ChipCam_AsicRegisterRead(USHORT(args[0]), data.data(), LONG(data.size())))
        return fail(kFailed, "register read failed");
    printBytes(args[0], data);
    return kDone;
}

Exit writeRegisters(const Options &o, const Identity &)
{
    std::vector<long> addr, values;
    if (o.operands.size() < 2 || !numbers({o.operands[0]}, 0, 0xFFFF, addr) ||
        !numbers(o.operands, 1, 0xFF, values))
        return fail(kUsage, "write-reg ADDR BYTE...");
    Bytes data(values.begin(), values.end());
    if (!ChipCam_AsicRegisterWrite(USHORT(addr[0]), data.data(), LONG(data.size())))
        return fail(kWriteFailed, "register write failed");
    Bytes back(data.size());
    if (!ChipCam_AsicRegisterRead(USHORT(addr[0]), back.data(), LONG(back.size())) || back != data)
        return fail(kVerifyFailed,
                    "registers read back differently: " + hex(back.data(), back.size()));
    std::printf("wrote and verified %zu register(s)\n", data.size());
    return kDone;
}

Exit readSensor(const Options &o, const Identity &)
{
    std::vector<long> args;
    if (o.operands.size() < 2 || o.operands.size() > 3 || !numbers(o.operands, 0, 0xFFFF, args) ||
        args[0] > 0xFF)
        return fail(kUsage, "read-sensor SLAVE ADDR [COUNT]");
    Bytes data(size_t(args.size() > 2 ? args[2] : 1));
    if (!ChipCam_SensorRegisterCustomRead(BYTE(args[0]), args[1], data.data(), LONG(data.size()),
                                          false))
        return fail(kFailed, "sensor read failed");
    printBytes(args[1], data);
    return kDone;
}

Exit writeSensor(const Options &o, const Identity &)
{
    std::vector<long> head, values;
    if (o.operands.size() < 3 || !numbers({o.operands[0], o.operands[1]}, 0, 0xFFFF, head) ||
        head[0] > 0xFF || !numbers(o.operands, 2, 0xFF, values))
        return fail(kUsage, "write-sensor SLAVE ADDR BYTE...");
    Bytes data(values.begin(), values.end());
    if (!ChipCam_SensorRegisterCustomWrite(BYTE(head[0]), head[1], data.data(), LONG(data.size()),
                                           false))
        return fail(kWriteFailed, "sensor write failed");
    Bytes back(data.size());
    if (!ChipCam_SensorRegisterCustomRead(BYTE(head[0]), head[1], back.data(), LONG(back.size()),
                                          false) ||
        back != data)
        return fail(kVerifyFailed, "sensor registers read back differently");
    std::printf("wrote and verified %zu sensor byte(s)\n", data.size());
    return kDone;
}

Exit dump(const Options &o, const Identity &)
{
    if (o.operands.size() != 1 || o.offset + o.length > SF_WINDOW_LIMIT)
        return fail(kUsage, "dump FILE [--offset A] [--length N], within 0x40000");
    Bytes data;
    if (Exit e = readVerified(ChipCam_SerialFlashRead, o.offset, o.length, data,
                              o.operands[0] + " was not written");
        e != kDone)
        return e;
    if (Exit e = saveNewFile(o, data); e != kDone)
        return e;
    std::printf("%ld bytes from 0x%lX read twice alike and written to %s\n", o.length, o.offset,
                o.operands[0].c_str());
    return kDone;
}

Exit exportFirmware(const Options &o, const Identity &)
{
    if (o.operands.size() != 1)
        return fail(kUsage, "export FILE [--length N]");
    Bytes data;
    if (Exit e = readVerified(exportReader, 0, o.length, data, o.operands[0] + " was not written");
        e != kDone)
        return e;
    if (Exit e = saveNewFile(o, data); e != kDone)
        return e;
    std::printf("firmware (%ld bytes) read twice alike and exported to %s\n", o.length,
                o.operands[0].c_str());
    return kDone;
}

// A firmware file fit for this chip and its flash, or --force for one
// whose only fault is its parameter table.  Every refusal comes before the
// chip is changed in any way.
Exit loadFirmware(const Options &o, const Identity &id, const Flash &flash, Bytes &image)
{
    const std::string &path = o.operands[0];
    std::string error;
    if (!readFirmwareFile(path, image, error))
        return fail(kBadFirmware, error);
    const FirmwareVerdict verdict = checkFirmware(image, id.rom, flash.size);
    if (verdict.fit())
        return kDone;
    if (verdict.tooLarge)
        return fail(kBadFirmware, path + " does not fit this flash: " + verdict.problem);
    const std::string fault = path + " is not a firmware image for this chip: " + verdict.problem;
    if (!o.force)
        return fail(kBadFirmware, fault + " (--force burns it all the same)");
    if (long(image.size()) < flash.size)
        return fail(kBadFirmware, fault + "; an image shorter than the flash is burnt only when "
                                          "it passes the checks, --force or not");
    std::fprintf(stderr, "zqchip: burning all the same, as --force asks: %s\n", fault.c_str());
    return kDone;
}

void describeFill(long imageSize, const Flash &flash)
{
    if (imageSize < flash.size)
        std::printf("the image fills %ld of the flash's %ld bytes; the %ld bytes from 0x%lX on "
                    "stay erased\n",
                    imageSize, flash.size, flash.size - imageSize, imageSize);
}

Exit burn(const Options &o, const Identity &id)
{
    if (o.operands.size() != 1)
        return fail(kUsage, "burn FILE --family F [--full] [--force] --yes");
    Flash flash;
    if (!measureFlash(flash))
        return fail(kFailed, "could not tell the flash's size");
    Bytes image;
    if (Exit e = loadFirmware(o, id, flash, image); e != kDone)
        return e;
    if (Exit e = needWriteOptions(o); e != kDone)
        return e;
    Backup backup;
    if (Exit e = backUp(o, flash, backup); e != kDone)
        return e;
    describeFill(long(image.size()), flash);
    {
        ProgressPrinter progress("burning");
        if (!ChipCam_BurnerFW(image.data(), LONG(image.size()), ProgressPrinter::report, &progress,
                              o.family, o.fullCheck))
            return failedWrite(kWriteFailed, "burn failed", o, id, flash, backup);
    }
    // The burn checked every group with --full, one in 128 without: then
    // read all of it back here.
    Bytes flashed;
    if (!o.fullCheck && (!exportFlash(LONG(image.size()), flashed) || flashed != image))
        return failedWrite(kVerifyFailed, "the flash differs from " + o.operands[0], o, id, flash,
                           backup);
    std::printf("burnt and verified %zu bytes\n", image.size());
    return kDone;
}

// The first setting that does not read back as written; empty when none.
std::string settingReadBackWrong(const Options &o)
{
    if (o.ids) {
        BYTE back[4] = {};
        if (!ChipCam_GetVidPid(back, 4) || std::memcmp(back, o.ids->data(), 4) != 0)
            return "USB id";
    }
    for (const StringField &s : kStrings) {
        const auto it = o.texts.find(s.option);
        std::string text;
        if (it != o.texts.end() && (!readText(s.read, text) || text != it->second))
            return s.label;
    }
    return {};
}

Exit setSettings(const Options &o, const Identity &id)
{
    if (!o.operands.empty() || (!o.ids && o.texts.empty()))
        return fail(kUsage, "set [--ids VVVV:PPPP] [--product T] ... --family F --yes");
    for (const auto &[name, text] : o.texts)
        if (text.size() > CHIPCAM_MAX_STRING)
            return fail(kUsage, "--" + name + " is longer than 31 characters");
    if (Exit e = needWriteOptions(o); e != kDone)
        return e;
    Flash flash;
    if (!measureFlash(flash))
        return fail(kFailed, "could not tell the flash's size");
    Backup backup;
    if (Exit e = backUp(o, flash, backup); e != kDone)
        return e;
    Bytes &image = backup.image;
    ChangeParamInfo info{};
    auto text = [&o](const char *name, char *&pointer, unsigned &length) {
        const auto it = o.texts.find(name);
        if (it == o.texts.end())
            return;
        pointer = const_cast<char *>(it->second.c_str());
        length = unsigned(it->second.size());
    };
    text("product", info.pProduct, info.ProductLength);
    text("manufacturer", info.pManufacture, info.ManufactureLength);
    text("serial", info.pSerialNumber, info.SerialNumberLength);
    text("string3", info.pString3, info.String3Length);
    text("interface", info.pInterface, info.InterfaceLength);
    std::array<BYTE, 4> ids{};
    if (o.ids) {
        ids = *o.ids;
        info.pVidPid = reinterpret_cast<char *>(ids.data());
    }
    {
        ProgressPrinter progress("writing");
        if (!ChipCam_SetParamTableFromFWFile(image.data(), LONG(image.size()), info,
                                             ProgressPrinter::report, &progress, o.family,
                                             o.logPath ? o.logPath->c_str() : nullptr, o.fullCheck))
            return failedWrite(kWriteFailed, "rewriting the parameter table failed", o, id, flash,
                               backup);
    }
    if (const std::string wrong = settingReadBackWrong(o); !wrong.empty())
        return failedWrite(kVerifyFailed, "the " + wrong + " reads back differently", o, id, flash,
                           backup);
    std::printf("settings written and verified\n");
    return kDone;
}

struct Command {
    const char *name;
    Exit (*run)(const Options &, const Identity &);
};

const Command kCommands[] = {
    {"info", info},
    {"read-reg", readRegisters},
    {"write-reg", writeRegisters},
    {"read-sensor", readSensor},
    {"write-sensor", writeSensor},
    {"dump", dump},
    {"export", exportFirmware},
    {"burn", burn},
    {"set", setSettings},
};

} // namespace

Exit run(const Options &o)
{
    const Command *command = nullptr;
    for (const Command &c : kCommands)
        if (o.command == c.name)
            command = &c;
    if (!command)
        return fail(kUsage, "unknown command " + o.command);
    ChipSession session(o.device);
    if (!session.open())
        return fail(kNoDevice, "no camera with a known controller chip at /dev/video" +
                                   std::to_string(o.device));
    Identity id;
    if (!identify(id))
        return fail(kUnknownChip, "the controller's ROM version is not one this tool knows (" +
                                      hex(id.rom, ROM_STRING_SIZE) + ")");
    return command->run(o, id);
}

} // namespace zqchip
