#include "lobby_feed.h"

#include <cstdio>

#include "globals.h"
#include "net.h"
#include "notices.h"
#include "session.h"

namespace {

bool quiet = false; // the members listed after this client's own admission are not news

LobbyEntry* findEntry(int32_t id, int32_t* index) {
    for (int32_t i = 0; i < lobbyList.count(); ++i) {
        LobbyEntry* e = lobbyList.get(i);
        if (e->playerId == id) {
            *index = i;
            return e;
        }
    }
    return nullptr;
}

void announce(const char* nick, const char* what) {
    char text[80];
    std::snprintf(text, sizeof text, "%s %s", nick, what);
    postNotice(text);
}

} // namespace

bool lobbyEnter(const proto::PlayerInfo& info, int32_t localId) {
    if (info.playerId == localId) return false;
    int32_t index = 0;
    LobbyEntry* e = findEntry(info.playerId, &index);
    const bool known = e != nullptr;
    if (!known) {
        if (lobbyList.count() >= kLobbyOthers) return false;
        e = new LobbyEntry;
        lobbyList.append(e);
    }
    e->playerId = info.playerId;
    copyText(e->nick, info.nick, sizeof e->nick);
    copyText(e->address, info.address, sizeof e->address);
    for (int i = 0; i < 3; ++i)
        e->colour[i] = info.colour[i];
    if (!known && !quiet) announce(e->nick, "JOINED");
    return true;
}

void lobbyJoined() {
    quiet = true;
}

namespace {

LobbyNews drainMessages(bool joined, int32_t localId) {
    LobbyNews news = LobbyNews::kNothing;
    uint8_t buffer[proto::kServerBufferSize];
    for (int n = 0; n < kLobbyMessagesPerDrain; ++n) {
        const int r = NetNextMessage(buffer, sizeof buffer);
        if (r == 0) break;
        if (r < 0) return LobbyNews::kLost;
        news = LobbyNews::kChanged;
        proto::Header header;
        proto::decodeHeader(buffer, sizeof buffer, &header);
        const size_t length = header.length;
        int32_t id = 0;
        int32_t index = 0;
        proto::PlayerInfo info;
        proto::ChatLine line;
        switch (header.type) {
        case proto::kPlayerInfo:
            if (joined && proto::decodePlayerInfo(buffer, length, &info)) lobbyEnter(info, localId);
            break;
        case proto::kPlayerLeft:
            if (!proto::decodeIdMessage(buffer, length, proto::kPlayerLeft, &id)) break;
            if (LobbyEntry* e = findEntry(id, &index)) {
                announce(e->nick, "LEFT");
                lobbyList.remove(index + 1);
            }
            break;
        case proto::kChatLine:
            if (joined && proto::decodeChatLine(buffer, length, &line))
                addChatLine(line.nick, line.text);
            break;
        case proto::kStartGame:
            if (!joined || length != proto::kHeaderOnlySize) break;
            sessionStartedByOther();
            return LobbyNews::kGameStarts;
        case proto::kLobbyOpen:
            if (length != proto::kHeaderOnlySize) break;
            sessionLobbyOpen();
            if (sessionBusy()) return news;
            break;
        default:
            break;
        }
    }
    return news;
}

} // namespace

LobbyNews drainLobby(bool joined, int32_t localId) {
    LobbyNews news = drainMessages(joined, localId);
    quiet = false;
    return news;
}
