#include "commands.h"

#include "firmware_check.h"
#include "atomic_file.h"
#include "printable.h"
#include "progress.h"
#include <zqscan/zq_chip.h>

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
#include <memory>
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

// Reads a firmware file of at most ZQ_CHIP_FLASH_WINDOW bytes, the most any
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
    data.assign(error.empty() ? size_t(ZQ_CHIP_FLASH_WINDOW) + 1 : 0, 0);
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
    if (error.empty() && got > size_t(ZQ_CHIP_FLASH_WINDOW))
        error = path + " is larger than the largest flash (" +
                std::to_string(ZQ_CHIP_FLASH_WINDOW) + " bytes), not a firmware image";
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
std::string deviceText(const unsigned char *text, size_t count)
{
    const char *chars = reinterpret_cast<const char *>(text);
    return zq::printable(std::string(chars, strnlen(chars, count)));
}

std::string hex(const unsigned char *data, size_t count)
{
    std::string text;
    char b[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(b, sizeof(b), i ? " %02X" : "%02X", data[i]);
        text += b;
    }
    return text;
}

// The chip, held open for the length of one command, and what it is.
struct Chip {
    std::unique_ptr<zq_chip, decltype(&zq_chip_free)> handle{zq_chip_new(), zq_chip_free};
    zq_chip_identity id{};

    zq_chip *get() const { return handle.get(); }
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

struct Flash {
    long size = 0;
    bool byId = false; // else measured by where its addresses wrap
};

bool measureFlash(const Chip &chip, Flash &flash)
{
    int byId = 0;
    if (zq_chip_flash_size(chip.get(), &flash.size, &byId) != ZQ_CHIP_OK)
        return false;
    flash.byId = byId != 0;
    return true;
}

std::string romTypeName(unsigned kib)
{
    return kib ? std::to_string(kib) + "K" : "unknown";
}

Exit needWriteOptions(const Options &o)
{
    if (o.family == SFT_UNKNOW)
        return fail(kUsage, "this command erases flash: name its family with --family");
    if (!o.confirmed)
        return fail(kUsage, "this command erases flash: confirm with --yes");
    return kDone;
}

bool readFlash(const Chip &chip, long offset, long length, Bytes &data)
{
    data.assign(size_t(length), 0);
    return zq_chip_read_flash(chip.get(), offset, data.data(), length) == ZQ_CHIP_OK;
}

// Reads length bytes from offset twice and keeps them only when both reads
// agree: a byte damaged on its way from the chip must not end up in a file
// that passes for a copy of the flash.  unsaved says what did not happen.
Exit readVerified(const Chip &chip, long offset, long length, Bytes &data,
                  const std::string &unsaved)
{
    Bytes again;
    if (!readFlash(chip, offset, length, data) || !readFlash(chip, offset, length, again))
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

Exit backUp(const Options &o, const Chip &chip, const Flash &flash, Backup &backup)
{
    backup.path = o.backupPath.empty() ? backupNameAt(std::time(nullptr)) : o.backupPath;
    if (Exit e = readVerified(chip, 0, flash.size, backup.image,
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
bool unchanged(const Chip &chip, const Flash &flash, const Backup &backup)
{
    Bytes now;
    return readFlash(chip, 0, flash.size, now) && now == backup.image;
}

// A write that failed: when the flash changed, where the earlier flash is
// and the command that puts it back; else that nothing changed.
Exit failedWrite(Exit code, const std::string &what, const Options &o, const Chip &chip,
                 const Flash &flash, const Backup &backup)
{
    if (unchanged(chip, flash, backup))
        return fail(code, what + "; nothing was changed: the flash reads as before (as " +
                              backup.path + " holds it), nothing needs to be written back");
    const bool force =
        !checkFirmware(chip.get(), backup.image, chip.id.rom_version, flash.size).fit();
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

struct StringField {
    const char *option; // as --option names it
    const char *label;
    zq_chip_string which;
};

const StringField kStrings[] = {
    {"product", "product", ZQ_CHIP_PRODUCT},
    {"manufacturer", "manufacturer", ZQ_CHIP_MANUFACTURER},
    {"serial", "serial number", ZQ_CHIP_SERIAL_NUMBER},
    {"string3", "string 3", ZQ_CHIP_STRING3},
    {"interface", "interface", ZQ_CHIP_INTERFACE},
};

Exit info(const Options &, const Chip &chip)
{
    zq_chip_identity id;
    if (zq_chip_read_identity(chip.get(), &id) != ZQ_CHIP_OK)
        id = chip.id; // the flash's part stays unread
    std::printf("chip id:          0x%02X\n", id.chip_id);
    std::printf("ROM type:         %s\n", romTypeName(id.rom_kib).c_str());
    std::printf("ROM version:      %s (%s)\n", deviceText(id.rom_version, 5).c_str(),
                hex(id.rom_version, ZQ_CHIP_ROM_VERSION_SIZE).c_str());
    if (id.has_firmware_version)
        std::printf("firmware version: %s\n",
                    deviceText(reinterpret_cast<const unsigned char *>(id.firmware_version),
                               ZQ_CHIP_FIRMWARE_VERSION_SIZE)
                        .c_str());
    else
        std::printf("firmware version: (not available for this chip)\n");
    Flash flash;
    unsigned char jedec[3] = {};
    if (measureFlash(chip, flash) && zq_chip_flash_id(chip.get(), jedec) == ZQ_CHIP_OK)
        std::printf("flash:            id %s, %ld KiB (%s)\n", hex(jedec, 3).c_str(),
                    flash.size / 1024,
                    flash.byId ? "a known part" : "an unknown part: where its addresses wrap");
    else
        std::printf("flash:            (unreadable)\n");
    if (id.has_usb_ids)
        std::printf("USB id:           %04x:%04x (stored %s)\n", id.vendor_id, id.product_id,
                    hex(id.usb_ids, 4).c_str());
    else
        std::printf("USB id:           (unreadable)\n");
    for (const StringField &s : kStrings)
        std::printf("%-17s %s\n", (std::string(s.label) + ":").c_str(),
                    id.has_string[s.which] ? zq::printable(id.strings[s.which]).c_str()
                                           : "(unreadable)");
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

Exit readRegisters(const Options &o, const Chip &chip)
{
    std::vector<long> args;
    if (o.operands.empty() || o.operands.size() > 2 || !numbers(o.operands, 0, 0xFFFF, args))
        return fail(kUsage, "read-reg ADDR [COUNT]");
    Bytes data(size_t(args.size() > 1 ? args[1] : 1));
    if (zq_chip_read_registers(chip.get(), unsigned(args[0]), data.data(), long(data.size())) !=
        ZQ_CHIP_OK)
        return fail(kFailed, "register read failed");
    printBytes(args[0], data);
    return kDone;
}

Exit writeRegisters(const Options &o, const Chip &chip)
{
    std::vector<long> addr, values;
    if (o.operands.size() < 2 || !numbers({o.operands[0]}, 0, 0xFFFF, addr) ||
        !numbers(o.operands, 1, 0xFF, values))
        return fail(kUsage, "write-reg ADDR BYTE...");
    Bytes data(values.begin(), values.end());
    if (zq_chip_write_registers(chip.get(), unsigned(addr[0]), data.data(), long(data.size())) !=
        ZQ_CHIP_OK)
        return fail(kWriteFailed, "register write failed");
    Bytes back(data.size());
    if (zq_chip_read_registers(chip.get(), unsigned(addr[0]), back.data(), long(back.size())) !=
            ZQ_CHIP_OK ||
        back != data)
        return fail(kVerifyFailed,
                    "registers read back differently: " + hex(back.data(), back.size()));
    std::printf("wrote and verified %zu register(s)\n", data.size());
    return kDone;
}

Exit readSensor(const Options &o, const Chip &chip)
{
    std::vector<long> args;
    if (o.operands.size() < 2 || o.operands.size() > 3 || !numbers(o.operands, 0, 0xFFFF, args) ||
        args[0] > 0xFF)
        return fail(kUsage, "read-sensor SLAVE ADDR [COUNT]");
    Bytes data(size_t(args.size() > 2 ? args[2] : 1));
    if (zq_chip_read_sensor(chip.get(), unsigned(args[0]), args[1], data.data(),
                            long(data.size())) != ZQ_CHIP_OK)
        return fail(kFailed, "sensor read failed");
    printBytes(args[1], data);
    return kDone;
}

Exit writeSensor(const Options &o, const Chip &chip)
{
    std::vector<long> head, values;
    if (o.operands.size() < 3 || !numbers({o.operands[0], o.operands[1]}, 0, 0xFFFF, head) ||
        head[0] > 0xFF || !numbers(o.operands, 2, 0xFF, values))
        return fail(kUsage, "write-sensor SLAVE ADDR BYTE...");
    Bytes data(values.begin(), values.end());
    if (zq_chip_write_sensor(chip.get(), unsigned(head[0]), head[1], data.data(),
                             long(data.size())) != ZQ_CHIP_OK)
        return fail(kWriteFailed, "sensor write failed");
    Bytes back(data.size());
    if (zq_chip_read_sensor(chip.get(), unsigned(head[0]), head[1], back.data(),
                            long(back.size())) != ZQ_CHIP_OK ||
        back != data)
        return fail(kVerifyFailed, "sensor registers read back differently");
    std::printf("wrote and verified %zu sensor byte(s)\n", data.size());
    return kDone;
}

Exit dump(const Options &o, const Chip &chip)
{
    if (o.operands.size() != 1 || o.offset + o.length > ZQ_CHIP_FLASH_WINDOW)
        return fail(kUsage, "dump FILE [--offset A] [--length N], within 0x40000");
    Bytes data;
    if (Exit e = readVerified(chip, o.offset, o.length, data, o.operands[0] + " was not written");
        e != kDone)
        return e;
    if (Exit e = saveNewFile(o, data); e != kDone)
        return e;
    std::printf("%ld bytes from 0x%lX read twice alike and written to %s\n", o.length, o.offset,
                o.operands[0].c_str());
    return kDone;
}

Exit exportFirmware(const Options &o, const Chip &chip)
{
    if (o.operands.size() != 1)
        return fail(kUsage, "export FILE [--length N]");
    Bytes data;
    if (Exit e = readVerified(chip, 0, o.length, data, o.operands[0] + " was not written");
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
Exit loadFirmware(const Options &o, const Chip &chip, const Flash &flash, Bytes &image)
{
    const std::string &path = o.operands[0];
    std::string error;
    if (!readFirmwareFile(path, image, error))
        return fail(kBadFirmware, error);
    const FirmwareVerdict verdict =
        checkFirmware(chip.get(), image, chip.id.rom_version, flash.size);
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

Exit burn(const Options &o, const Chip &chip)
{
    if (o.operands.size() != 1)
        return fail(kUsage, "burn FILE --family F [--full] [--force] --yes");
    Flash flash;
    if (!measureFlash(chip, flash))
        return fail(kFailed, "could not tell the flash's size");
    Bytes image;
    if (Exit e = loadFirmware(o, chip, flash, image); e != kDone)
        return e;
    if (Exit e = needWriteOptions(o); e != kDone)
        return e;
    Backup backup;
    if (Exit e = backUp(o, chip, flash, backup); e != kDone)
        return e;
    describeFill(long(image.size()), flash);
    zq_chip_result burnt;
    {
        // The burn checks every group with --full, one in 128 without,
        // and then reads all of it back.
        ProgressPrinter progress("burning");
        burnt = zq_chip_burn(chip.get(), image.data(), long(image.size()), o.family,
                             o.fullCheck ? ZQ_CHIP_CHECK_EVERY_GROUP : 0, ProgressPrinter::report,
                             &progress);
    }
    if (burnt == ZQ_CHIP_ERR_VERIFY)
        return failedWrite(kVerifyFailed, "the flash differs from " + o.operands[0], o, chip, flash,
                           backup);
    if (burnt != ZQ_CHIP_OK)
        return failedWrite(kWriteFailed, "burn failed", o, chip, flash, backup);
    std::printf("burnt and verified %zu bytes\n", image.size());
    return kDone;
}

// The settings the options name; they point into o.
zq_chip_settings settingsOf(const Options &o)
{
    zq_chip_settings settings{};
    for (const StringField &s : kStrings)
        if (const auto it = o.texts.find(s.option); it != o.texts.end())
            settings.strings[s.which] = it->second.c_str();
    if (o.ids)
        settings.usb_ids = o.ids->data();
    return settings;
}

Exit setSettings(const Options &o, const Chip &chip)
{
    if (!o.operands.empty() || (!o.ids && o.texts.empty()))
        return fail(kUsage, "set [--ids VVVV:PPPP] [--product T] ... --family F --yes");
    for (const auto &[name, text] : o.texts)
        if (text.size() > ZQ_CHIP_MAX_STRING)
            return fail(kUsage, "--" + name + " is longer than 31 characters");
    if (Exit e = needWriteOptions(o); e != kDone)
        return e;
    Flash flash;
    if (!measureFlash(chip, flash))
        return fail(kFailed, "could not tell the flash's size");
    Backup backup;
    if (Exit e = backUp(o, chip, flash, backup); e != kDone)
        return e;
    const zq_chip_settings settings = settingsOf(o);
    zq_chip_result written;
    {
        ProgressPrinter progress("writing");
        written = zq_chip_write_settings(
            chip.get(), backup.image.data(), long(backup.image.size()), &settings, o.family,
            o.fullCheck ? ZQ_CHIP_CHECK_EVERY_GROUP : 0, o.logPath ? o.logPath->c_str() : nullptr,
            ProgressPrinter::report, &progress);
    }
    // The handle names the setting that read back differently.
    if (written == ZQ_CHIP_ERR_VERIFY)
        return failedWrite(kVerifyFailed, zq_chip_last_error(chip.get()), o, chip, flash, backup);
    if (written != ZQ_CHIP_OK)
        return failedWrite(kWriteFailed, "rewriting the parameter table failed", o, chip, flash,
                           backup);
    std::printf("settings written and verified\n");
    return kDone;
}

struct Command {
    const char *name;
    Exit (*run)(const Options &, const Chip &);
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
    Chip chip;
    if (!chip.get())
        return fail(kFailed, "out of memory");
    if (zq_chip_open(chip.get(), o.device) != ZQ_CHIP_OK)
        return fail(kNoDevice, "no camera with a known controller chip at /dev/video" +
                                   std::to_string(o.device));
    if (zq_chip_identify(chip.get(), &chip.id) != ZQ_CHIP_OK)
        return fail(kUnknownChip, "the controller's ROM version is not one this tool knows (" +
                                      hex(chip.id.rom_version, ZQ_CHIP_ROM_VERSION_SIZE) + ")");
    return command->run(o, chip);
}

} // namespace zqchip
