// Draws every picture of the game into a data directory.
#pragma once

#include <string>

// Writes the heads-up icons, the energy gauge and the go, game-over and game-won overlays; returns
// the number of files that could not be written.
int writeHudPictures(const std::string& dir);
// Writes the seven item pictures, smoke, wall and planet pictures; returns the number of failures.
int writeArenaPictures(const std::string& dir);
// Writes the 32 flame frames flame00.png .. flame31.png; returns the number of failures.
int writeFlamePictures(const std::string& dir);
// Writes the intro background and the menu font; returns the number of failures.
int writeFrontEndPictures(const std::string& dir);
// Writes the 128 x 128 desktop icon of the client (a planet, its walls, a car and a bomb) to
// path; false when it cannot be written.
bool writeDesktopIcon(const std::string& path);
