#include "session.h"

#include <cstdio>

#include "font_text.h"
#include "globals.h"
#include "net.h"
#include "notices.h"

namespace {

enum class Phase {
    kOffline,
    kConnecting,
    kFailed,
    kConnected,
    kJoining,
    kJoined,
    kWaitingForLobby,
    kStarting,
    kInGame,
    kLost
};

Phase phase = Phase::kOffline;
bool rejoining = false;
const char* note = ""; // the outcome of the last join, shown while merely connected
char serverName[24] = "";
char serverAddressText[64] = "";
char status[96] = "";
int32_t playerId = 0;
double colour[3] = {0, 0, 0};

bool connectedPhase() {
    return phase != Phase::kOffline && phase != Phase::kConnecting && phase != Phase::kFailed &&
           phase != Phase::kLost;
}

void reportFailure() {
    std::fprintf(stderr, "ERROR: unable to establish connection to %s\n", serverAddressText);
}

SessionEvent lostEvent() {
    sessionLost();
    return SessionEvent::kLost;
}

} // namespace

void sessionConnect(const char* address, const char* name) {
    NetClose();
    clearChatLines();
    toFontText(name && name[0] ? name : address, serverName, sizeof serverName);
    copyText(serverAddressText, address ? address : "", sizeof serverAddressText);
    note = "";
    rejoining = false;
    phase = NetBeginConnect(address) ? Phase::kConnecting : Phase::kFailed;
    if (phase == Phase::kFailed) reportFailure();
}

void sessionClose() {
    NetClose();
    phase = Phase::kOffline;
    note = "";
    rejoining = false;
}

bool sessionJoin() {
    if (phase != Phase::kConnected || !NetBeginJoin()) return false;
    phase = Phase::kJoining;
    rejoining = false;
    note = "";
    return true;
}

bool sessionRejoin() {
    if (!connectedPhase() || !NetIsConnected()) {
        if (phase != Phase::kOffline && phase != Phase::kFailed) phase = Phase::kLost;
        return false;
    }
    phase = NetBeginJoin() ? Phase::kJoining : Phase::kLost;
    rejoining = true;
    note = "";
    return phase == Phase::kJoining;
}

void sessionLeave() {
    // A join still unanswered may yet be accepted: the server is told that this client goes.
    if (phase == Phase::kJoining) NetLeaveGame(0);
    if (connectedPhase()) phase = Phase::kConnected;
    rejoining = false;
    note = "";
}

bool sessionStart() {
    if (phase != Phase::kJoined || !NetStartGame()) return false;
    sessionStartedByOther();
    return true;
}

void sessionStartedByOther() {
    if (phase != Phase::kJoined) return;
    phase = NetBeginFetchLabyrinth() ? Phase::kStarting : Phase::kLost;
}

void sessionLobbyOpen() {
    if (phase != Phase::kWaitingForLobby) return;
    phase = NetBeginJoin() ? Phase::kJoining : Phase::kLost;
}

void sessionInGame() {
    if (connectedPhase()) phase = Phase::kInGame;
}

void sessionLost() {
    if (phase == Phase::kOffline || phase == Phase::kFailed) return;
    NetClose();
    phase = Phase::kLost;
    rejoining = false;
}

SessionEvent sessionPoll() {
    switch (phase) {
    case Phase::kConnecting: {
        int r = NetPollConnect();
        if (r == 0) return SessionEvent::kNone;
        phase = r > 0 ? Phase::kConnected : Phase::kFailed;
        if (r < 0) reportFailure();
        return r > 0 ? SessionEvent::kConnected : SessionEvent::kConnectFailed;
    }
    case Phase::kJoining: {
        int32_t accepted = 0;
        int r = NetPollJoin(&accepted, &playerId, colour);
        if (r == 0) return SessionEvent::kNone;
        if (r < 0 && NetLost()) return lostEvent();
        if (r > 0 && accepted == 1) {
            phase = Phase::kJoined;
            rejoining = false;
            return SessionEvent::kJoined;
        }
        if (r > 0 && rejoining) {
            phase = Phase::kWaitingForLobby;
            return SessionEvent::kWaiting;
        }
        phase = Phase::kConnected;
        rejoining = false;
        note = r > 0 ? "JOIN DENIED: FULL OR PLAYING" : "JOIN FAILED: NO ANSWER";
        return r > 0 ? SessionEvent::kJoinDenied : SessionEvent::kJoinFailed;
    }
    case Phase::kStarting: {
        int r = NetPollLabyrinth();
        if (r == 0) return SessionEvent::kNone;
        if (r > 0) {
            phase = Phase::kInGame;
            return SessionEvent::kGameReady;
        }
        return lostEvent();
    }
    default:
        if (connectedPhase() && NetLost()) return lostEvent();
        return SessionEvent::kNone;
    }
}

bool sessionBusy() {
    return phase == Phase::kConnecting || phase == Phase::kJoining || phase == Phase::kStarting;
}

bool sessionWaitingForLobby() {
    return phase == Phase::kWaitingForLobby || (phase == Phase::kJoining && rejoining);
}

int32_t sessionPlayerId() {
    return playerId;
}

const double* sessionColour() {
    return colour;
}

const char* sessionStatus() {
    char reason[48];
    switch (phase) {
    case Phase::kOffline:
        return "NOT CONNECTED";
    case Phase::kConnecting:
        std::snprintf(status, sizeof status, "CONNECTING TO %s", serverName);
        break;
    case Phase::kFailed:
        toFontText(NetFailure(), reason, sizeof reason);
        std::snprintf(status, sizeof status, "FAILED: %s", reason[0] ? reason : "NO CONNECTION");
        break;
    case Phase::kConnected:
        if (note[0]) return note;
        std::snprintf(status, sizeof status, "CONNECTED TO %s", serverName);
        break;
    case Phase::kJoining:
        std::snprintf(status, sizeof status, "JOINING %s", serverName);
        break;
    case Phase::kJoined:
    case Phase::kInGame:
        std::snprintf(status, sizeof status, "CONNECTED TO %s", serverName);
        break;
    case Phase::kWaitingForLobby:
        return "WAITING FOR THE GAME TO END";
    case Phase::kStarting:
        return "STARTING THE GAME";
    case Phase::kLost:
        return "SERVER LOST";
    }
    return status;
}

int sessionMood() {
    switch (phase) {
    case Phase::kConnecting:
    case Phase::kJoining:
    case Phase::kStarting:
    case Phase::kWaitingForLobby:
        return 2;
    case Phase::kFailed:
    case Phase::kLost:
        return 3;
    case Phase::kConnected:
        return note[0] ? 3 : 1;
    case Phase::kJoined:
    case Phase::kInGame:
        return 1;
    default:
        return 0;
    }
}
