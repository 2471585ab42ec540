// The window's settings in their two files: the ten lines of the
// configuration file (GetConfigPath()), loaded into and saved from
// g_Config, and the on/off switches of the program's own settings file
// (programSettingsPath(), in QSettings' INI format).  Both formats are
// config.h's; this is the one place the window reaches them through.
#ifndef ZQVIDEO_SETTINGS_H
#define ZQVIDEO_SETTINGS_H

#include <QString>

#include <string>

class Settings
{
  public:
    // The files at this process's places; an empty path means there is no
    // place for that file, and nothing is read from or written to it.
    Settings();
    Settings(std::string configPath, std::string switchesPath);

    // Resets g_Config to the defaults, then reads the configuration file.
    void load() const;
    // Replaces the configuration file with g_Config; false on any failure.
    bool save() const;
    // Where the configuration file goes, for saying why it cannot.
    const std::string &configPath() const { return configPath_; }

    // The switch's stored state; false when the file or the key is missing.
    bool readSwitch(const char *key) const;
    // Stores the switch.  False only when the file could not be written:
    // with no place for a file there is nothing to write.
    bool writeSwitch(const char *key, bool on) const;
    // The switches' file, for messages; empty when there is no place for it.
    QString switchesFile() const;

  private:
    std::string configPath_;
    std::string switchesPath_;
};

#endif
