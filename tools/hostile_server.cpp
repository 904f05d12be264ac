// A game server that misbehaves on purpose, for measuring how the real client holds up: it takes
// one client on TCP port 1234 through the greeting, the join, the lobby and the labyrinth as far as
// the scenario needs and then does the scenario's harm (the two honest scenarios only wait, or send
// one opponent's moves at the game's rate, for comparison). It prints "harm: NAME" when the harm
// begins and "done" when it is over, then exits.
//
//   corvane_hostile_server SCENARIO [seconds]     # seconds: how long a flood or a wait lasts (10)
//   corvane_hostile_server list                   # the scenarios, one a line
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "labyrinth.h"
#include "protocol.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

int floodSeconds = 10;
int32_t nextBomb = 1;
int32_t nextPlayer = 10;

void pauseMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Sends every byte, waiting while the client does not read; false once it is gone.
bool sendAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t w = send(fd, p, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}
bool sendAll(int fd, const Bytes& b) {
    return sendAll(fd, b.data(), b.size());
}

// Sends bytes a piece at a time, everyMs apart.
bool drip(int fd, const Bytes& b, size_t piece, int everyMs) {
    for (size_t at = 0; at < b.size(); at += piece) {
        if (!sendAll(fd, b.data() + at, std::min(piece, b.size() - at))) return false;
        pauseMs(everyMs);
    }
    return true;
}

// Reads one whole message of at most 1024 bytes within waitMs; its type, or -1.
int64_t readMessage(int fd, int waitMs) {
    uint8_t buf[proto::kServerBufferSize];
    size_t got = 0;
    size_t want = proto::kHeaderSize;
    const auto end = Clock::now() + std::chrono::milliseconds(waitMs);
    while (got < want) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return -1;
        ssize_t r = recv(fd, buf + got, want - got, 0);
        if (r <= 0) return -1;
        got += static_cast<size_t>(r);
        if (got == proto::kHeaderSize) {
            want = proto::getU32(buf + 4);
            if (want < proto::kHeaderSize || want > sizeof buf) return -1;
        }
    }
    return proto::getU32(buf);
}

// Reads messages until one of type comes; false when the client goes or is silent for 20 s.
bool awaitType(int fd, uint32_t type) {
    for (;;) {
        int64_t t = readMessage(fd, 20000);
        if (t < 0) return false;
        if (t == type) return true;
    }
}

// Waits until the client closes or waitMs pass, reading and dropping what it sends.
void idle(int fd, int waitMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(waitMs);
    uint8_t sink[4096];
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) > 0 && recv(fd, sink, sizeof sink, MSG_DONTWAIT) == 0) return;
    }
}

// Closes with a reset instead of an orderly end.
void reset(int fd) {
    linger l{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    close(fd);
}

// size bytes written by encode(buffer).
template <typename Encode> Bytes built(size_t size, Encode encode) {
    Bytes b(size);
    encode(b.data());
    return b;
}

Bytes welcome(uint32_t magic, const char* address) {
    return built(proto::kWelcomeSize, [&](uint8_t* p) {
        proto::encodeWelcome(p, address);
        proto::putU32(p + 8, magic);
    });
}

Bytes playerInfo(int32_t id, const char* nick) {
    proto::PlayerInfo info;
    info.playerId = id;
    std::snprintf(info.nick, sizeof info.nick, "%s", nick);
    std::snprintf(info.address, sizeof info.address, "10.0.0.%d", id % 250);
    info.colour[0] = 1;
    info.colour[1] = 0.5;
    return built(proto::kPlayerInfoSize, [&](uint8_t* p) { proto::encodePlayerInfo(p, info); });
}

// Admitted as player 2.
Bytes joinReply() {
    proto::JoinReply r;
    r.accepted = 1;
    r.playerId = 2;
    r.colour[2] = 1;
    return built(proto::kJoinReplySize, [&](uint8_t* p) { proto::encodeJoinReply(p, r); });
}

Bytes idMessage(uint32_t type, int32_t id) {
    return built(proto::kIdMessageSize, [&](uint8_t* p) { proto::encodeIdMessage(p, type, id); });
}

Bytes headerOnly(uint32_t type) {
    return built(proto::kHeaderOnlySize, [&](uint8_t* p) { proto::encodeHeaderOnly(p, type); });
}

Bytes rawHeader(uint32_t type, uint32_t length) {
    return built(proto::kHeaderSize, [&](uint8_t* p) { proto::encodeHeader(p, type, length); });
}

Bytes chat(int n) {
    proto::ChatLine line;
    line.playerId = 3;
    std::snprintf(line.nick, sizeof line.nick, "RIVAL");
    std::snprintf(line.text, sizeof line.text, "LINE %d OF A FLOOD", n);
    return built(proto::kChatLineSize, [&](uint8_t* p) { proto::encodeChatLine(p, line); });
}

Bytes move(int n) {
    proto::VehicleMove m;
    m.playerId = 3;
    const double a = n * 0.01;
    m.position = Vector3(100 * std::cos(a), 100 * std::sin(a), 0);
    m.heading = Vector3(-std::sin(a), std::cos(a), 0);
    return built(proto::kVehicleMoveSize, [&](uint8_t* p) { proto::encodeVehicleMove(p, m); });
}

Bytes bomb() {
    proto::BombDropped m;
    m.owner = 3;
    m.number = nextBomb++;
    m.range = 8;
    m.dropPoint = Vector3(0, 0, 101);
    m.heading = Vector3(1, 0, 0);
    return built(proto::kBombDroppedSize, [&](uint8_t* p) { proto::encodeBombDropped(p, m); });
}

Bytes labyrinth() {
    List<proto::BlockRecord> blocks;
    generatePlanetLabyrinth(blocks);
    const int32_t n = blocks.count();
    Bytes b(proto::kLabyrinthHeadSize + proto::kBlockRecordSize * static_cast<size_t>(n));
    proto::encodeLabyrinthHead(b.data(), n);
    for (int32_t i = 0; i < n; ++i)
        proto::encodeBlockRecord(b.data() + proto::kLabyrinthHeadSize + proto::kBlockRecordSize * i,
                                 *blocks.get(i + 1));
    return b;
}

// Sends what make builds, as fast as the client reads, for floodSeconds.
void flood(int fd, const std::function<Bytes(int)>& make) {
    const auto end = Clock::now() + std::chrono::seconds(floodSeconds);
    Bytes batch;
    for (int n = 0; Clock::now() < end; ++n) {
        batch.clear();
        for (int i = 0; i < 64; ++i) {
            Bytes m = make(n * 64 + i);
            batch.insert(batch.end(), m.begin(), m.end());
        }
        if (!sendAll(fd, batch)) return;
    }
}

Bytes half(const Bytes& b) {
    return Bytes(b.begin(), b.begin() + static_cast<long>(b.size() / 2));
}

void harm(const char* name) {
    std::printf("harm: %s\n", name);
    std::fflush(stdout);
}

// The stage the client is brought to before the harm.
enum Stage { kAccepted, kGreeted, kJoined, kStarted, kPlaying };

struct Scenario {
    const char* name;
    Stage stage;
    std::function<void(int)> act;
};

void greetAndJoin(int fd, Stage stage) {
    if (stage == kAccepted) return;
    sendAll(fd, welcome(proto::kWelcomeMagic, "127.0.0.1"));
    if (stage == kGreeted) return;
    if (!awaitType(fd, proto::kJoin)) return;
    sendAll(fd, joinReply());
    sendAll(fd, playerInfo(3, "RIVAL"));
    if (stage == kJoined) return;
    pauseMs(500);
    sendAll(fd, headerOnly(proto::kStartGame));
    if (!awaitType(fd, proto::kLabyrinthRequest)) return;
    if (stage == kStarted) return;
    sendAll(fd, labyrinth());
    pauseMs(1000); // into the go pictures
}

const std::vector<Scenario>& scenarios() {
    const int hold = 1000 * floodSeconds;
    static const std::vector<Scenario> list = {
        {"honest-lobby", kJoined, [=](int fd) { idle(fd, hold); }},
        {"honest-game", kPlaying,
         [=](int fd) {
             for (int n = 0; n < hold / 40; ++n) {
                 if (!sendAll(fd, move(n))) return;
                 pauseMs(40);
             }
         }},
        {"greeting-silent", kAccepted, [=](int fd) { idle(fd, hold); }},
        {"greeting-dripped", kAccepted,
         [](int fd) { drip(fd, welcome(proto::kWelcomeMagic, "127.0.0.1"), 1, 300); }},
        {"greeting-wrong-magic", kAccepted,
         [=](int fd) {
             sendAll(fd, welcome(0x12345678, "127.0.0.1"));
             idle(fd, hold);
         }},
        {"greeting-closed-midway", kAccepted,
         [](int fd) { sendAll(fd, half(welcome(proto::kWelcomeMagic, "127.0.0.1"))); }},
        {"greeting-reset", kAccepted, [](int fd) { reset(fd); }},
        {"greeting-escape-codes", kAccepted,
         [=](int fd) {
             sendAll(fd, welcome(proto::kWelcomeMagic, "\x1b[2J\x1b[31mEVIL\x07\x1b]0;X"));
             idle(fd, hold);
         }},
        {"join-silent", kGreeted,
         [=](int fd) {
             awaitType(fd, proto::kJoin);
             idle(fd, hold);
         }},
        {"join-reply-dripped", kGreeted,
         [](int fd) {
             awaitType(fd, proto::kJoin);
             drip(fd, joinReply(), 1, 300);
         }},
        {"join-reset", kGreeted,
         [](int fd) {
             awaitType(fd, proto::kJoin);
             reset(fd);
         }},
        {"lobby-half-message", kJoined,
         [=](int fd) {
             sendAll(fd, half(chat(0)));
             idle(fd, hold);
         }},
        {"lobby-4gib-length", kJoined,
         [=](int fd) {
             sendAll(fd, rawHeader(proto::kChatLine, 0xffffffffu));
             idle(fd, hold);
         }},
        {"lobby-closed-midway", kJoined, [](int fd) { sendAll(fd, half(chat(0))); }},
        {"lobby-reset", kJoined, [](int fd) { reset(fd); }},
        {"lobby-chat-flood", kJoined, [](int fd) { flood(fd, chat); }},
        {"lobby-playerinfo-flood", kJoined,
         [](int fd) { flood(fd, [](int) { return playerInfo(nextPlayer++, "CROWD"); }); }},
        {"lobby-server-gone", kJoined, [](int fd) { close(fd); }},
        {"start-no-labyrinth", kStarted, [=](int fd) { idle(fd, hold + 8000); }},
        {"start-labyrinth-dripped", kStarted, [](int fd) { drip(fd, labyrinth(), 100, 50); }},
        {"start-labyrinth-half", kStarted,
         [=](int fd) {
             sendAll(fd, half(labyrinth()));
             idle(fd, hold + 8000);
         }},
        {"start-labyrinth-too-long", kStarted,
         [=](int fd) {
             sendAll(fd, rawHeader(proto::kLabyrinth, 12 + 88 * 100000));
             idle(fd, hold);
         }},
        {"game-move-flood", kPlaying, [](int fd) { flood(fd, move); }},
        {"game-bomb-flood", kPlaying, [](int fd) { flood(fd, [](int) { return bomb(); }); }},
        {"game-playerinfo-flood", kPlaying,
         [](int fd) { flood(fd, [](int) { return playerInfo(nextPlayer++, "CROWD"); }); }},
        {"game-mixed-flood", kPlaying,
         [](int fd) {
             flood(fd, [](int n) {
                 switch (n % 4) {
                 case 0:
                     return bomb();
                 case 1:
                     return playerInfo(nextPlayer++, "CROWD");
                 case 2:
                     return move(n);
                 default:
                     return chat(n);
                 }
             });
         }},
        {"game-half-message", kPlaying,
         [=](int fd) {
             sendAll(fd, half(move(0)));
             idle(fd, hold);
         }},
        {"game-4gib-length", kPlaying,
         [=](int fd) {
             sendAll(fd, rawHeader(proto::kVehicleMove, 0xffffffffu));
             idle(fd, hold);
         }},
        {"game-closed-midway", kPlaying, [](int fd) { sendAll(fd, half(bomb())); }},
        {"game-reset", kPlaying, [](int fd) { reset(fd); }},
        {"game-server-gone", kPlaying, [](int fd) { close(fd); }},
        {"game-player-left", kPlaying,
         [=](int fd) {
             sendAll(fd, idMessage(proto::kPlayerLeft, 3));
             idle(fd, hold);
         }},
    };
    return list;
}

int listenOn(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 4) != 0) {
        std::perror("hostile server: port 1234");
        std::exit(1);
    }
    return fd;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SCENARIO [seconds] | list\n", argv[0]);
        return 2;
    }
    if (argc > 2) floodSeconds = std::atoi(argv[2]) > 0 ? std::atoi(argv[2]) : 10;
    const std::string wanted = argv[1];
    for (const Scenario& s : scenarios()) {
        if (wanted == "list") {
            std::printf("%s\n", s.name);
            continue;
        }
        if (wanted != s.name) continue;
        int listener = listenOn(proto::kPort);
        std::printf("listening\n");
        std::fflush(stdout);
        int fd = accept(listener, nullptr, nullptr);
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        greetAndJoin(fd, s.stage);
        harm(s.name);
        s.act(fd);
        std::printf("done\n");
        std::fflush(stdout);
        close(listener);
        return 0;
    }
    if (wanted == "list") return 0;
    std::fprintf(stderr, "unknown scenario %s\n", wanted.c_str());
    return 2;
}
