#include "settings.h"

#include "config.h"

#include <QFile>
#include <QSettings>

#include <utility>

Settings::Settings() : Settings(GetConfigPath(), programSettingsPath()) {}

Settings::Settings(std::string configPath, std::string switchesPath)
    : configPath_(std::move(configPath)), switchesPath_(std::move(switchesPath))
{
}

void Settings::load() const
{
    loadConfigFile(g_Config, configPath_);
}

bool Settings::save() const
{
    return saveConfigFile(g_Config, configPath_);
}

QString Settings::switchesFile() const
{
    return switchesPath_.empty() ? QString() : QFile::decodeName(switchesPath_.c_str());
}

bool Settings::readSwitch(const char *key) const
{
    const QString file = switchesFile();
    return !file.isEmpty() && QSettings(file, QSettings::IniFormat).value(key, false).toBool();
}

bool Settings::writeSwitch(const char *key, bool on) const
{
    const QString file = switchesFile();
    if (file.isEmpty())
        return true;
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(key, on);
    settings.sync();
    return settings.status() == QSettings::NoError;
}
