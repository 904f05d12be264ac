// One member of the next game: a lobby player or a single-player computer target.
#pragma once

#include <cstdint>

struct LobbyEntry {
    int32_t playerId = 0;
    char nick[32] = {};
    char address[32] = {};
    double colour[3] = {0, 0, 0};
};
