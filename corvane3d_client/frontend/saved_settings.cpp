#include "saved_settings.h"

#include "globals.h"
#include "menu.h"
#include "settings.h"
#include "sound.h"

namespace {

const int32_t kDisplaySizes[3][2] = {{320, 256}, {640, 480}, {800, 600}};

bool armed = false;
Settings fromFile;
Settings atStart;
Settings written;

Settings capture() {
    Settings s;
    s.sound = gSound && gSound->isInitialised() ? 1 : 0;
    s.display = displayIndex;
    s.details = detailLevel;
    s.camera = cameraMode;
    s.handling = handlingMode;
    s.opponents = opponentLevel;
    copyText(s.nick, nickName, sizeof s.nick);
    copyText(s.server, serverAddress, sizeof s.server);
    return s;
}

} // namespace

void restoreSavedSettings() {
    fromFile = Settings();
    loadSettingsFile(settingsPath(), &fromFile);
    written = fromFile;
    atStart = fromFile;
    armed = true;
    displayIndex = fromFile.display;
    windowWidth = kDisplaySizes[displayIndex][0];
    windowHeight = kDisplaySizes[displayIndex][1];
    detailLevel = fromFile.details;
    cameraMode = fromFile.camera;
    handlingMode = fromFile.handling;
    opponentLevel = fromFile.opponents;
    copyText(nickName, fromFile.nick, sizeof nickName);
    copyText(serverAddress, fromFile.server, sizeof serverAddress);
}

bool savedSoundWanted() {
    return !armed || fromFile.sound != 0;
}

void noteRunSettings() {
    atStart = capture();
}

void saveSettingsNow() {
    if (!armed) return;
    Settings keep = settingsToKeep(capture(), atStart, fromFile);
    if (keep == written) return;
    if (saveSettingsFile(settingsPath(), keep)) written = keep;
}
