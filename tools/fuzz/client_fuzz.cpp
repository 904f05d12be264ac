// libFuzzer target: whatever a server may send, through the client's session as the front end
// drives it (greeting, join, lobby news and chat, game start, labyrinth) and on into a game's
// message stream, over a real TCP connection on 127.0.0.1:1234 (run it in a network namespace of
// its own). The client's clock is the harness's and moves 20 ms a step, so every wait runs out.
//
// Input: a first byte whose low bit asks for the harness's own greeting (else the greeting is
// the input's), whose bit 1 makes this client start the game itself, and whose high bits (when
// not 0) shut the server's side after that many steps; then the bytes the server sends, in steps of
// up to 97. With CLIENT_FUZZ_SEEDS naming a folder, writes a few whole sessions there as seeds and
// exits.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "clock.h"
#include "list.h"
#include "lobby_feed.h"
#include "net.h"
#include "protocol.h"
#include "session.h"
#include "wall_block.h"

namespace {

int64_t fuzzNowMs = 0;
int64_t fuzzClock() {
    return fuzzNowMs;
}

int listener() {
    static int fd = -1;
    if (fd >= 0) return fd;
    fd = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(proto::kPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 4) != 0) {
        std::perror("client_fuzz: port 1234");
        std::abort();
    }
    return fd;
}

// Decodes one game message of a buffer of capacity bytes the way its type says, at the length
// its header gives; the decoders must cope with any length.
void decodeGameMessage(const uint8_t* m, size_t capacity) {
    proto::Header h;
    if (!proto::decodeHeader(m, capacity, &h)) return;
    const size_t n = h.length < capacity ? h.length : capacity;
    proto::PlayerInfo info;
    proto::CloakState cloak;
    proto::VehicleMove move;
    proto::BombDropped dropped;
    proto::BombExploded exploded;
    proto::ChatLine chat;
    int32_t id;
    switch (h.type) {
    case proto::kPlayerInfo:
        proto::decodePlayerInfo(m, n, &info);
        break;
    case proto::kCloakState:
        proto::decodeCloakState(m, n, &cloak);
        break;
    case proto::kVehicleMove:
        proto::decodeVehicleMove(m, n, &move);
        break;
    case proto::kBombDropped:
        proto::decodeBombDropped(m, n, &dropped);
        break;
    case proto::kBombExploded:
        proto::decodeBombExploded(m, n, &exploded);
        break;
    case proto::kChatLine:
        proto::decodeChatLine(m, n, &chat);
        break;
    default:
        proto::decodeIdMessage(m, n, h.type, &id);
        break;
    }
}

void drainClientBytes(int fd) {
    uint8_t sink[4096];
    while (recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0) {
    }
}

// Appends one message made by an encoder writing into a scratch buffer.
template <typename Encode> void put(std::vector<uint8_t>& out, Encode encode) {
    uint8_t buf[proto::kLabyrinthHeadSize + proto::kBlockRecordSize * 2];
    const size_t n = encode(buf);
    out.insert(out.end(), buf, buf + n);
}

// A labyrinth of two blocks on the planet, as the server answers LabyrinthRequest.
void putLabyrinth(std::vector<uint8_t>& out) {
    put(out, [](uint8_t* b) {
        size_t n = proto::encodeLabyrinthHead(b, 2);
        for (int i = 0; i < 2; ++i) {
            proto::BlockRecord r;
            r.id = i;
            r.item = i;
            r.height = 5;
            const double s = i ? -1 : 1;
            const double corners[3][3] = {{100, 0, 0}, {98, 15 * s, 0}, {98, 0, 15 * s}};
            for (int k = 0; k < 3; ++k) {
                r.x[k] = corners[0][k];
                r.y[k] = corners[1][k];
                r.z[k] = corners[2][k];
            }
            proto::encodeBlockRecord(b + n, r);
            n += proto::kBlockRecordSize;
        }
        return n;
    });
}

void writeSeed(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Whole sessions: joined, a member and a chat line, another member starts, the game's messages,
// the end and the lobby opening; this client starting the game; a greeting of the input's own
// followed by a refusal.
void writeSeeds(const std::string& dir) {
    proto::JoinReply yes;
    yes.accepted = 1;
    yes.playerId = 2;
    yes.colour[1] = 1;
    proto::PlayerInfo ann;
    ann.playerId = 3;
    std::snprintf(ann.nick, sizeof ann.nick, "ANN");
    proto::ChatLine chat;
    chat.playerId = 3;
    std::snprintf(chat.nick, sizeof chat.nick, "ANN");
    std::snprintf(chat.text, sizeof chat.text, "HELLO");
    proto::VehicleMove move;
    move.playerId = 3;
    move.position = Vector3(0, 0, 100);
    move.heading = Vector3(1, 0, 0);
    proto::BombDropped bomb;
    bomb.owner = 3;
    bomb.number = 1;
    bomb.range = 2;
    bomb.dropPoint = move.position;
    bomb.heading = move.heading;
    proto::BombExploded boom;
    boom.owner = 3;
    boom.number = 1;
    proto::CloakState cloak;
    cloak.playerId = 3;
    cloak.cloak = 1;

    std::vector<uint8_t> joined = {1};
    put(joined, [&](uint8_t* b) { return proto::encodeJoinReply(b, yes); });
    put(joined, [&](uint8_t* b) { return proto::encodePlayerInfo(b, ann); });
    put(joined, [&](uint8_t* b) { return proto::encodeChatLine(b, chat); });
    std::vector<uint8_t> other = joined;
    put(other, [](uint8_t* b) { return proto::encodeHeaderOnly(b, proto::kStartGame); });
    putLabyrinth(other);
    put(other, [&](uint8_t* b) { return proto::encodeVehicleMove(b, move); });
    put(other, [&](uint8_t* b) { return proto::encodeBombDropped(b, bomb); });
    put(other, [&](uint8_t* b) { return proto::encodeBombExploded(b, boom); });
    put(other, [&](uint8_t* b) { return proto::encodeCloakState(b, cloak); });
    put(other, [](uint8_t* b) { return proto::encodeIdMessage(b, proto::kBlockDestroyed, 1); });
    put(other, [](uint8_t* b) { return proto::encodeIdMessage(b, proto::kPlayerDead, 3); });
    put(other, [](uint8_t* b) { return proto::encodeHeaderOnly(b, proto::kEndGame); });
    put(other, [](uint8_t* b) { return proto::encodeHeaderOnly(b, proto::kLobbyOpen); });
    writeSeed(dir + "/seed_other_starts", other);

    std::vector<uint8_t> self = joined;
    self[0] = 3;
    putLabyrinth(self);
    put(self, [](uint8_t* b) { return proto::encodeIdMessage(b, proto::kPlayerLeft, 3); });
    writeSeed(dir + "/seed_self_starts", self);

    std::vector<uint8_t> refused = {0};
    put(refused, [](uint8_t* b) { return proto::encodeWelcome(b, "SERVER"); });
    proto::JoinReply no;
    put(refused, [&](uint8_t* b) { return proto::encodeJoinReply(b, no); });
    writeSeed(dir + "/seed_refused", refused);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* dir = std::getenv("CLIENT_FUZZ_SEEDS")) {
        writeSeeds(dir);
        std::exit(0);
    }
    NetStartup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    setClock(fuzzClock);
    NetSetReceiveTimeout(200);
    const int server = listener();
    const uint8_t mode = data[0];
    const int shutAfter = mode >> 2;
    ++data;
    --size;

    sessionConnect("127.0.0.1", nullptr);
    const int peer = accept(server, nullptr, nullptr);
    if (peer < 0) std::abort();
    int on = 1;
    setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (mode & 1) {
        uint8_t welcome[proto::kWelcomeSize];
        proto::encodeWelcome(welcome, "10.0.0.1");
        send(peer, welcome, sizeof welcome, MSG_NOSIGNAL);
    }

    List<WallBlock> blocks;
    bool joined = false;
    bool inGame = false;
    bool peerOpen = true;
    size_t at = 0;
    for (int step = 0; step < 400; ++step) {
        fuzzNowMs += 20;
        if (peerOpen && at < size) {
            size_t n = size - at < 97 ? size - at : 97;
            send(peer, data + at, n, MSG_NOSIGNAL | MSG_DONTWAIT);
            at += n;
        }
        if (peerOpen && shutAfter > 0 && step == shutAfter) {
            shutdown(peer, SHUT_WR);
            peerOpen = false;
        }
        drainClientBytes(peer);
        if (inGame) {
            uint8_t message[proto::kServerBufferSize];
            int got;
            while ((got = NetNextMessage(message, sizeof message)) == 1)
                decodeGameMessage(message, sizeof message);
            if (got < 0) break;
            continue;
        }
        switch (sessionPoll()) {
        case SessionEvent::kConnected:
            sessionJoin();
            break;
        case SessionEvent::kJoined:
            joined = true;
            lobbyJoined();
            if (mode & 2) sessionStart();
            break;
        case SessionEvent::kGameReady:
            NetFetchLabyrinth(blocks);
            sessionInGame();
            inGame = true;
            break;
        case SessionEvent::kConnectFailed:
        case SessionEvent::kJoinFailed:
        case SessionEvent::kLost:
            step = 400;
            break;
        default:
            break;
        }
        if (joined && !inGame && !sessionBusy()) {
            switch (drainLobby(true, sessionPlayerId())) {
            case LobbyNews::kLost:
                sessionLost();
                step = 400;
                break;
            default:
                break;
            }
        }
    }
    sessionClose();
    close(peer);
    return 0;
}
