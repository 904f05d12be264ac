// The link between the settings file and the running client: start-up restores the saved settings
// into the globals, and every change made in the menu (or by quitting) is written back.
#pragma once

// Reads the settings file into the globals (nick, server, detail level, camera, handling,
// opponents, display size and the wish for sound) and arms saving. A missing or unreadable file
// leaves the defaults in place without a word.
void restoreSavedSettings();
// Whether the restored settings ask for sound (true when nothing was restored).
bool savedSoundWanted();
// Takes the settings as the run starts (after the command line) as the values that belong to this
// run only: settings still at these values when saving keep what the file had.
void noteRunSettings();
// Writes the settings when they differ from the file; does nothing before restoreSavedSettings.
void saveSettingsNow();
