#include <GL/glut.h>

#include <cstdio>
#include <cstring>

#include "font_text.h"
#include "game.h"
#include "globals.h"
#include "lobby_feed.h"
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
    if (!connected_ || !sessionJoin()) soundSample(kSampleCamera);
}

void Menu::startLobbyGame() {
    if (!joined_ || !sessionStart()) {
        soundSample(kSampleCamera);
        return;
    }
    soundSample(kSampleItemPickup);
}

void Menu::leaveLobby() {
    if (joined_) NetLeaveGame(gGame ? gGame->localPlayerId() : 0);
    sessionLeave();
    joined_ = 0;
    chatting_ = 0;
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

void Menu::pump() {
    bool changed = false;
    const SessionEvent event = sessionPoll();
    if (event != SessionEvent::kNone) {
        applySessionEvent(event);
        changed = true;
    }
    if (screenState != 2 && drainConnection()) changed = true;
    if (discoverySearching()) {
        discoveryPoll();
        rebuildServerLines();
        changed = true;
    }
    // Fading notices and the dots of a waiting status move on their own.
    if (expireNotices() || noticeCount() > 0 || sessionMood() == 2) changed = true;
    if (!changed) return;
    rebuildLobbyLines();
    if (glutGetWindow() != 0) glutPostRedisplay();
}

void Menu::applySessionEvent(SessionEvent event) {
    switch (event) {
    case SessionEvent::kConnected:
        connected_ = 1;
        break;
    case SessionEvent::kConnectFailed:
        connected_ = 0;
        soundSample(kSampleCamera);
        break;
    case SessionEvent::kJoined:
        goTo(kLobby);
        joined_ = 1;
        lobbyJoined();
        if (gGame) {
            const double* colour = sessionColour();
            gGame->setLocalPlayerId(sessionPlayerId());
            gGame->setLocalColour(colour[0], colour[1], colour[2]);
        }
        soundSample(kSampleItemPickup);
        break;
    case SessionEvent::kJoinDenied:
    case SessionEvent::kJoinFailed:
        soundSample(kSampleCamera);
        break;
    case SessionEvent::kGameReady:
        chatting_ = 0;
        enterGame(0);
        break;
    case SessionEvent::kLost:
        connectionLost();
        break;
    default:
        break;
    }
}

void Menu::connectionLost() {
    sessionLost();
    soundSample(kSampleCamera);
    connected_ = 0;
    joined_ = 0;
    chatting_ = 0;
    lobbyList.clear();
    if (page_ == kLobby) goTo(kMulti);
    // The multi-player page says it in its status line.
    if (page_ != kMulti) postNotice("SERVER LOST");
}

bool Menu::drainConnection() {
    if (sessionBusy()) return false;
    const LobbyNews news = drainLobby(joined_ != 0, gGame ? gGame->localPlayerId() : 0);
    if (news == LobbyNews::kLost) connectionLost();
    return news != LobbyNews::kNothing;
}

void Menu::chatKey(unsigned char key) {
    size_t length = std::strlen(chatBuffer_);
    if (key == 27) {
        chatting_ = 0;
    } else if (key == 13) {
        if (length > 0 && gGame) NetSendChat(gGame->localPlayerId(), chatBuffer_);
        chatting_ = 0;
    } else if (key == 8) {
        if (length > 0) chatBuffer_[length - 1] = '\0';
    } else if (length < static_cast<size_t>(kChatTextLimit)) {
        char typed[2] = {static_cast<char>(key), '\0'};
        char shown[2];
        toFontText(typed, shown, sizeof shown);
        if (shown[0] != '\0' && !(shown[0] == ' ' && length == 0)) {
            chatBuffer_[length] = shown[0];
            chatBuffer_[length + 1] = '\0';
        }
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
