#include <GL/glut.h>

#include <cstdio>
#include <cstring>

#include "game.h"
#include "globals.h"
#include "menu.h"
#include "net.h"
#include "platform.h"
#include "protocol.h"
#include "sound.h"

namespace {

void soundSample(int n) {
    if (gSound) gSound->playSample(n);
}

// A new text formatted as "%s:%s" from left and right, whatever their lengths.
char* joinLine(const char* left, const char* right) {
    const int n = std::snprintf(nullptr, 0, "%s:%s", left, right);
    char* line = new char[static_cast<size_t>(n) + 1];
    std::snprintf(line, static_cast<size_t>(n) + 1, "%s:%s", left, right);
    return line;
}

} // namespace

void Menu::lobbyAction() {
    if (selected_ == 0)
        startLobbyGame();
    else
        leaveLobby();
}

void Menu::join() {
    if (!connected_) {
        soundSample(kSampleCamera);
        return;
    }
    int32_t accepted = 0;
    int32_t playerId = 0;
    double colour[3] = {0, 0, 0};
    NetJoin(&accepted, &playerId, colour);
    if (accepted != 1) {
        soundSample(kSampleCamera);
        return;
    }
    goTo(kLobby);
    joined_ = 1;
    if (gGame) {
        gGame->setLocalPlayerId(playerId);
        gGame->setLocalColour(colour[0], colour[1], colour[2]);
    }
    rebuildLobbyLines();
    soundSample(kSampleItemPickup);
}

void Menu::startLobbyGame() {
    soundSample(kSampleItemPickup);
    NetStartGame();
    enterGame(0);
}

void Menu::leaveLobby() {
    NetLeaveGame(gGame ? gGame->localPlayerId() : 0);
    joined_ = 0;
    goTo(kMulti);
    soundSample(kSampleItemPickup);
    lobbyList.clear();
    rebuildLobbyLines();
}

void Menu::lobbyTimerRun() {
    drainConnection();
    rebuildLobbyLines();
    if (glutGetWindow() != 0) glutPostRedisplay();
}

void Menu::drainConnection() {
    uint8_t buffer[proto::kServerBufferSize];
    while (NetPoll()) {
        if (!NetReceiveMessage(buffer, sizeof buffer)) break;
        proto::Header header;
        if (!proto::decodeHeader(buffer, sizeof buffer, &header)) break;
        switch (header.type) {
        case proto::kPlayerInfo: {
            proto::PlayerInfo info;
            if (!proto::decodePlayerInfo(buffer, header.length, &info)) break;
            LobbyEntry* e = new LobbyEntry;
            e->playerId = info.playerId;
            copyText(e->nick, info.nick, sizeof e->nick);
            copyText(e->address, info.address, sizeof e->address);
            for (int i = 0; i < 3; ++i)
                e->colour[i] = info.colour[i];
            lobbyList.append(e);
            break;
        }
        case proto::kPlayerLeft: {
            int32_t id = 0;
            if (!proto::decodeIdMessage(buffer, header.length, proto::kPlayerLeft, &id)) break;
            for (int32_t i = 0; i < lobbyList.count(); ++i) {
                if (lobbyList.get(i)->playerId == id) {
                    lobbyList.remove(i + 1);
                    break;
                }
            }
            break;
        }
        case proto::kStartGame:
            enterGame(0);
            break;
        default:
            break;
        }
        // Whatever follows a game start belongs to the game's own tick.
        if (screenState == 2) break;
    }
}

void Menu::freeLobbyLines() {
    for (char*& line : lobbyLines_) {
        delete[] line;
        line = nullptr;
    }
}

void Menu::rebuildLobbyLines() {
    freeLobbyLines();
    int32_t count = 2;
    lobbyLines_[count] = joinLine(nickName, "LOCAL");
    lobbyItems_[count] = lobbyLines_[count];
    ++count;
    for (int32_t i = 0; i < lobbyList.count() && count < kLobbyCapacity; ++i) {
        const LobbyEntry* e = lobbyList.get(i);
        lobbyLines_[count] = joinLine(e->nick, e->address);
        lobbyItems_[count] = lobbyLines_[count];
        ++count;
    }
    for (int32_t i = count; i < kLobbyCapacity; ++i)
        lobbyItems_[i] = nullptr;
    pages_[kLobby].count = count;
    if (page_ == kLobby && selected_ >= count) selected_ = count - 1;
}
