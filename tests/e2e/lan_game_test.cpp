// Two real clients and the real server under the test's X display, driven by key presses: both
// find the server by discovery and join, talk in the lobby, play on the server's labyrinth, come
// back to the lobby joined when the game is decided and start a second game. A protocol observer
// joined in the same lobby sees the players' chat and moves relayed.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "protocol.h"
#include "support/process.h"
#include "x_client.h"

using e2e::Client;
using e2e::pause;
using e2e::sh;

namespace {

// A bare protocol client: joins the lobby and records what is relayed to it.
class Observer {
  public:
    bool connectAndJoin(const char* nick) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(proto::kPort);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // The server prints its banner before it listens: try for a while.
        for (int i = 0; i < 60; ++i) {
            fd_ = socket(AF_INET, SOCK_STREAM, 0);
            if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) break;
            close(fd_);
            fd_ = -1;
            pause(50);
        }
        if (fd_ < 0) return false;
        uint8_t welcome[proto::kWelcomeSize];
        if (!readExact(welcome, sizeof welcome, 3000)) return false;
        return join(nick);
    }
    bool join(const char* nick) {
        uint8_t msg[proto::kJoinSize];
        size_t n = proto::encodeJoin(msg, nick);
        if (send(fd_, msg, n, 0) != static_cast<ssize_t>(n)) return false;
        uint8_t m[1024];
        while (readMessage(m, 3000)) {
            proto::JoinReply reply;
            if (proto::decodeJoinReply(m, proto::kJoinReplySize, &reply))
                return reply.accepted == 1;
        }
        return false;
    }
    void leave(int32_t id) {
        uint8_t msg[proto::kIdMessageSize];
        size_t n = proto::encodeIdMessage(msg, proto::kLeaveGame, id);
        (void)send(fd_, msg, n, 0);
    }
    // Reads messages for up to ms, remembering the ids of VehicleMove senders and chat lines.
    void drain(int ms) {
        uint8_t m[1024];
        while (readMessage(m, ms)) {
            proto::VehicleMove move;
            if (proto::decodeVehicleMove(m, proto::kVehicleMoveSize, &move))
                movesFrom |= 1ull << (move.playerId & 63);
            proto::PlayerInfo info;
            if (proto::decodePlayerInfo(m, proto::kPlayerInfoSize, &info)) ++playerInfos;
            proto::ChatLine line;
            if (proto::decodeChatLine(m, proto::kChatLineSize, &line))
                chat += std::string(line.nick) + ": " + line.text + "\n";
        }
    }
    ~Observer() {
        if (fd_ >= 0) close(fd_);
    }
    uint64_t movesFrom = 0;
    int playerInfos = 0;
    std::string chat;

  private:
    bool readExact(uint8_t* buf, size_t count, int ms) {
        size_t got = 0;
        while (got < count) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, ms) <= 0) return false;
            ssize_t r = recv(fd_, buf + got, count - got, 0);
            if (r <= 0) return false;
            got += static_cast<size_t>(r);
        }
        return true;
    }
    bool readMessage(uint8_t* buf, int ms) {
        if (!readExact(buf, proto::kHeaderSize, ms)) return false;
        proto::Header h;
        proto::decodeHeader(buf, proto::kHeaderSize, &h);
        if (h.length < proto::kHeaderSize || h.length > 1024) return false;
        return readExact(buf + proto::kHeaderSize, h.length - proto::kHeaderSize, ms);
    }
    int fd_ = -1;
};

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(LanGame, TwoClientsFindTheServerTalkPlayAndPlayAgain) {
    if (!std::getenv("DISPLAY") || !sh("command -v xdotool >/dev/null"))
        GTEST_SKIP() << "needs X and xdotool";
    testproc::Child server(CORVANE_SERVER_BIN, {});
    ASSERT_TRUE(server.waitForOutput("Press Ctrl-C to quit Server\n\n", 5000));

    Observer observer;
    ASSERT_TRUE(observer.connectAndJoin("WATCH"));

    Client alpha("ALPHA", {"-nosound", "-details", "1", "-nick", "ALPHA"}, 0);
    alpha.joinFoundServer();
    ASSERT_TRUE(server.waitForOutput("joined ALPHA accepted\n", 10000)) << server.out();
    Client bravo("BRAVO", {"-nosound", "-details", "1", "-nick", "BRAVO"}, 340);
    bravo.joinFoundServer();
    ASSERT_TRUE(server.waitForOutput("joined BRAVO accepted\n", 10000)) << server.out();
    observer.drain(300);
    EXPECT_EQ(observer.playerInfos, 2);

    alpha.say("hello bravo");
    bravo.say("hi alpha, ready!");
    observer.drain(500);
    EXPECT_EQ(observer.chat, "ALPHA: HELLO BRAVO\nBRAVO: HI ALPHA, READY!\n");
    alpha.screenshot("lan_lobby_alpha.png");
    bravo.screenshot("lan_lobby_bravo.png");

    alpha.keys("Return"); // START
    ASSERT_TRUE(server.waitForOutput("started game\n", 10000)) << server.out();
    for (int i = 0; i < 50 && count(server.out(), "asks for the labyrinth\n") < 2; ++i)
        server.waitForOutput("\n\n\n", 100);
    EXPECT_EQ(count(server.out(), "asks for the labyrinth\n"), 2) << server.out();

    // Both announce where they stand once their go pictures are gone (1.6 s in).
    observer.drain(2500);
    EXPECT_EQ(observer.movesFrom, (1ull << 2) | (1ull << 3));
    observer.movesFrom = 0;
    alpha.hold("Left", 400);
    observer.drain(500);
    EXPECT_EQ(observer.movesFrom, 1ull << 2) << "ALPHA (id 2) moved; nobody else did";
    bravo.hold("Up", 400);
    observer.drain(500);
    EXPECT_TRUE(observer.movesFrom & (1ull << 3)) << "BRAVO's (id 3) move was relayed";
    alpha.screenshot("lan_game_alpha.png");

    // The watcher goes, then BRAVO: ALPHA's game is decided, shows its result for a few seconds
    // and returns to the lobby by itself; BRAVO waits there for the lobby to open.
    observer.leave(1);
    bravo.keys("Escape");
    pause(500);
    alpha.screenshot("lan_left_alpha.png");
    for (int i = 0; i < 100 && count(server.out(), "accepted\n") < 5; ++i)
        server.waitForOutput("\n\n\n", 100);
    EXPECT_EQ(count(server.out(), "joined ALPHA accepted\n"), 2) << server.out();
    EXPECT_EQ(count(server.out(), "joined BRAVO accepted\n"), 2) << server.out();
    pause(1200);
    alpha.screenshot("lan_again_alpha.png");
    bravo.screenshot("lan_again_bravo.png");

    bravo.keys("Return"); // START the second round, without LEAVE and JOIN
    for (int i = 0; i < 50 && count(server.out(), "asks for the labyrinth\n") < 4; ++i)
        server.waitForOutput("\n\n\n", 100);
    EXPECT_EQ(count(server.out(), "started game\n"), 2) << server.out();
    EXPECT_EQ(count(server.out(), "asks for the labyrinth\n"), 4) << server.out();

    // Escape leaves the game for the lobby; Escape on the menu quits with status 1.
    alpha.keys("Escape");
    bravo.keys("Escape");
    pause(500);
    alpha.keys("Escape");
    bravo.keys("Escape");
    EXPECT_EQ(alpha.proc().waitExit(5000), 1);
    EXPECT_EQ(bravo.proc().waitExit(5000), 1);
    server.signal(SIGINT);
    EXPECT_EQ(server.waitExit(3000), 0);
}
