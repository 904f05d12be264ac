// The client's process-wide settings and singletons, all defined in globals.cpp and set by
// start-up (main), the options page and the game keys.
#pragma once

#include <cstdint>

#include "list.h"
#include "lobby_entry.h"

class Sound;
class Game;
class Menu;

extern int32_t windowWidth;  // pixels; 2D layouts scale from 320 x 256
extern int32_t windowHeight; // pixels
extern char nickName[256];
extern char serverAddress[256];
extern int32_t detailLevel;   // 0 low, 1 medium, 2 high
extern int32_t cameraMode;    // 0 classic (lag, then catch up), 1 smooth
extern int32_t handlingMode;  // 0 classic (a wall stops the car), 1 slide along walls
extern int32_t opponentLevel; // single-player opponents: 0 parked, 1 easy, 2 hard
extern uint8_t fullScreen;
extern uint8_t showFps;
extern int32_t screenState; // 1 front end, 2 game
extern int32_t gameMode;    // 0 no game, 1 single player, 2 multi player
extern int windowId;        // GLUT window, 0 in game mode or before creation
extern List<LobbyEntry> lobbyList;

extern Sound* gSound;
extern Game* gGame;
extern Menu* gMenu;

// Copies text into a fixed buffer of size bytes, cut to fit and always NUL-terminated.
void copyText(char* dst, const char* text, unsigned size);
