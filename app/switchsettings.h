// On/off switches of the window kept in the program's own settings file
// (programSettingsPath(), in QSettings' INI format).
#ifndef ZQVIDEO_SWITCHSETTINGS_H
#define ZQVIDEO_SWITCHSETTINGS_H

#include <QString>

// The file, for messages; empty when there is no place for it.
QString switchSettingsFile();
// The switch's stored state; false when the file or the key is missing.
bool readSwitch(const char *key);
// Stores the switch.  False only when the file could not be written: with
// no place for a file there is nothing to write.
bool writeSwitch(const char *key, bool on);

#endif
