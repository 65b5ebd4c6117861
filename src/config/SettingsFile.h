#ifndef SETTINGSFILE_H
#define SETTINGSFILE_H

#include <QString>

// The user's three preferences, as kept in the settings file.
struct Settings
{
    int language = 0; // 0 English, 1 Chinese; other values are kept as they are
    bool autoStart = true;
    bool miniTray = true;
};

// The INI settings file in the data folder, read once at start and always written whole.
namespace SettingsFile {
QString path();
// Missing keys, or an unreadable file, give the defaults.
Settings read();
// Failure to write is silent: the values stay in memory until the process ends.
void write(const Settings& settings);
} // namespace SettingsFile

#endif // SETTINGSFILE_H
