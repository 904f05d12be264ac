#include "globals.h"

#include <cstring>

int32_t windowWidth = 320;
int32_t windowHeight = 256;
char nickName[256] = "CORVANE";
char serverAddress[256] = "";
int32_t detailLevel = 2;
int32_t cameraMode = 0;
int32_t handlingMode = 0;
int32_t opponentLevel = 0;
uint8_t fullScreen = 0;
uint8_t showFps = 1;
int32_t screenState = 1;
int32_t gameMode = 0;
int windowId = 0;
List<LobbyEntry> lobbyList;

Sound* gSound = nullptr;
Game* gGame = nullptr;
Menu* gMenu = nullptr;

void copyText(char* dst, const char* text, unsigned size) {
    if (size == 0) return;
    std::strncpy(dst, text, size - 1);
    dst[size - 1] = '\0';
}
