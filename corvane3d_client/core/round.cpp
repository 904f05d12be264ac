#include "round.h"

#include <cstdio>

#include "bomb.h"
#include "game.h"
#include "globals.h"
#include "net.h"
#include "notices.h"
#include "protocol.h"
#include "session.h"
#include "vehicle.h"

void (*roundReturn)() = nullptr;

namespace {

int32_t decidedTicks = -1;
int32_t lostTicks = -1;

bool isOpponent(Game& game, int32_t id) {
    for (Vehicle* v = game.opponents->first(); v; v = game.opponents->next()) {
        if (v->id() == id) return true;
        if (game.opponents->atEnd()) break;
    }
    return false;
}

int liveBombsOf(Game& game, int32_t owner) {
    int n = 0;
    for (Bomb* b = game.bombs->first(); b; b = game.bombs->next())
        if (b->owner() == owner) ++n;
    return n;
}

const char* nickOf(int32_t id) {
    for (LobbyEntry* e = lobbyList.first(); e; e = lobbyList.next()) {
        if (e->playerId == id) return e->nick;
        if (lobbyList.atEnd()) break;
    }
    return "A PLAYER";
}

// False when the message must not reach the game: bombs of players not in it or beyond their
// limit.
bool admit(Game& game, const uint8_t* message, size_t length) {
    proto::Header h;
    proto::decodeHeader(message, length, &h);
    int32_t id = 0;
    char text[80];
    switch (h.type) {
    case proto::kBombDropped: {
        proto::BombDropped m;
        if (!proto::decodeBombDropped(message, length, &m)) return false;
        return isOpponent(game, m.owner) && liveBombsOf(game, m.owner) < kMaxLiveBombs;
    }
    case proto::kPlayerLeft:
    case proto::kPlayerDead:
        // Once the game is decided the others leave for the lobby: that is no news.
        if (proto::decodeIdMessage(message, length, h.type, &id) && isOpponent(game, id) &&
            decidedTicks < 0) {
            std::snprintf(text, sizeof text,
                          h.type == proto::kPlayerLeft ? "%s LEFT THE GAME" : "%s WAS HIT OUT",
                          nickOf(id));
            postNotice(text);
        }
        return true;
    default:
        return true;
    }
}

void leave(Game& game) {
    screenState = 1;
    game.end();
    if (roundReturn) roundReturn();
}

} // namespace

void roundReset() {
    decidedTicks = -1;
    lostTicks = -1;
}

bool roundTick(Game& game) {
    uint8_t message[proto::kServerBufferSize];
    for (int i = 0; i < kRoundMessagesPerTick && lostTicks < 0; ++i) {
        int r = NetNextMessage(message, sizeof message);
        if (r == 0) break;
        if (r < 0) {
            lostTicks = 0;
            sessionLost();
            postNotice("SERVER LOST");
            break;
        }
        proto::Header h;
        proto::decodeHeader(message, sizeof message, &h);
        if (admit(game, message, h.length)) game.dispatch(message, h.length);
    }
    if (lostTicks >= 0) {
        if (++lostTicks < kRoundLostTicks) return true;
        leave(game);
        return false;
    }
    // At most one car left decides the game; a car that never had an opponent drives on alone.
    const int carsLeft = (game.localDead() ? 0 : 1) + game.opponents->count();
    if (carsLeft > 1 || !(game.localDead() || game.won())) return true;
    if (++decidedTicks < kRoundResultTicks) return true;
    leave(game);
    return false;
}

int32_t roundDecidedTicks() {
    return decidedTicks;
}

bool roundServerLost() {
    return lostTicks >= 0;
}
