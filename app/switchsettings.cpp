#include "switchsettings.h"

#include "config.h"

#include <QFile>
#include <QSettings>

QString switchSettingsFile()
{
    const std::string &path = programSettingsPath();
    return path.empty() ? QString() : QFile::decodeName(path.c_str());
}

bool readSwitch(const char *key)
{
    const QString file = switchSettingsFile();
    return !file.isEmpty() && QSettings(file, QSettings::IniFormat).value(key, false).toBool();
}

bool writeSwitch(const char *key, bool on)
{
    const QString file = switchSettingsFile();
    if (file.isEmpty())
        return true;
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(key, on);
    settings.sync();
    return settings.status() == QSettings::NoError;
}
