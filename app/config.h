// The settings record of zqvideo and its per-user file.
//
// The file is ".zqvideo.config" in the configuration directory: ten lines,
// one value each, identified by position alone (see kConfigLines in
// config.cpp for the order).  Integers are written in plain decimal, the
// save directory as its raw bytes.
#ifndef ZQVIDEO_CONFIG_H
#define ZQVIDEO_CONFIG_H

#include <cstddef>
#include <cstdio>
#include <string>

// The combo-box indexes that the settings keep, by name.
namespace Rotation
{
enum : int { None = 0, Right = 1, Left = 2, UpsideDown = 3 };
}
namespace ColourMode
{
enum : int { Colour = 0, Grey = 1 };
}
namespace CropMode
{
enum : int { None = 0, Manual = 1, Automatic = 2 };
}
namespace PictureFormat
{
enum : int { Jpeg = 0, Tiff = 1 };
}

struct ZqConfig {
    int rota;        // cbRota index (Rotation)
    int color;       // cbColor index (ColourMode)
    int quality;     // jpg_quality index; the writers get index * 10 + 10
    int default_cam; // defaultCam index; camera default_cam + 1 opens at start
    int width;       // wanted frame size before an open, granted size after it
    int height;
    char save_dir[256];   // where captures and PDFs go; empty: none set
    int cutting_mode;     // cutting index (CropMode)
    int clear_background; // 1: whiten the background of captures
    int picture_format;   // pic_format index (PictureFormat)
};

extern ZqConfig g_Config;

// The quality the picture writers get for a jpg_quality index.
inline int writerQuality(int qualityIndex)
{
    return qualityIndex * 10 + 10;
}

// The directory holding the configuration file: XDG_CONFIG_HOME when it is
// set (even empty), else HOME; null when neither is set.
const char *GetSaveDir();
// The configuration file's path for a configuration directory; empty for
// a null directory, which means the settings are neither read nor saved.
std::string configPathIn(const char *dir);
// The process-wide configuration file path, fixed at its first use.
const std::string &GetConfigPath();
// The program's own settings beyond the ten lines, whose format is fixed:
// ".zqvideo.ini" beside the configuration file, in QSettings' INI format;
// empty, like the configuration path, when there is no directory for it.
const std::string &programSettingsPath();

// Reads the next line of file into value.  An exhausted file, or a line
// starting with NUL or 0xFF, leaves value as it is.
void ReadConfig(FILE *file, int &value);
// The same for a text of at most size - 1 bytes; longer lines are cut.
void ReadConfig(FILE *file, char *text, size_t size);

// Writes one line.
template <typename T> bool WriteConfig(FILE *file, const T &value);

// Reads the ten lines into config; a value outside the range the program
// computes with (quality, default_cam, width, height) leaves the field as
// it was.
void readConfigLines(FILE *file, ZqConfig &config);
// Resets config to the defaults, then reads the file at path, if it is a
// regular file, from its first few KiB.
void loadConfigFile(ZqConfig &config, const std::string &path);
// Replaces the file at path with config, atomically: the old file stays
// whole unless the new one was written completely.  False on any failure.
bool saveConfigFile(const ZqConfig &config, const std::string &path);
// Why nothing could be saved at path, as an errno, or 0: a directory in the
// file's place, or a folder that takes no new files.
int settingsPathProblem(const std::string &path);
// Removes the temporary files a killed writer left beside the settings and
// in the save directory; before anything is written there.
void removeStaleTemporaries();

#endif
