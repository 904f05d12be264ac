// The settings kept between runs: a small "key=value" text file under the user's configuration
// folder, read at start-up and written when a setting changes.
#pragma once

#include <cstdint>
#include <string>

struct Settings {
    uint8_t sound = 1;
    int32_t display = 0; // 0 = 320 x 256, 1 = 640 x 480, 2 = 800 x 600
    int32_t details = 2;
    int32_t camera = 0;
    int32_t handling = 0;
    int32_t opponents = 0;
    char nick[256] = "CORVANE";
    char server[256] = "";
};

bool operator==(const Settings& a, const Settings& b);
inline bool operator!=(const Settings& a, const Settings& b) {
    return !(a == b);
}

// Applies every well-formed line of text over s; unknown keys, values out of range and lines
// without "=" are skipped, so a damaged file never yields a value the menu could not produce.
void parseSettings(const std::string& text, Settings* s);
// The file text for s, one "key=value" line per setting; parseSettings reads it back unchanged.
std::string formatSettings(const Settings& s);
// $XDG_CONFIG_HOME/corvane3d/settings, else $HOME/.config/corvane3d/settings; empty when neither
// variable is set.
std::string settingsPath();
// Reads the file at path over s; false (s untouched) when it is missing or unreadable.
bool loadSettingsFile(const std::string& path, Settings* s);
// Writes s to path through a temporary file renamed over it, creating the folders; false on any
// failure (the old file then stays as it was).
bool saveSettingsFile(const std::string& path, const Settings& s);
// What to write after a run that started from atStart (the file's values with the command line
// over them): each setting still at its start value keeps the file's value, so a command-line
// option lasts for its run only; a setting changed during the run is kept.
Settings settingsToKeep(const Settings& now, const Settings& atStart, const Settings& fromFile);
