// Hostile servers against the steps the client polls once a frame: whatever the server does, every
// poll returns at once (no frame gap over 100 ms), a step that waits in vain fails when the
// receive bound has passed on the client's clock, and a broken stream reads as a lost connection.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "bomb.h"
#include "game.h"
#include "globals.h"
#include "lobby_feed.h"
#include "net_support.h"
#include "notices.h"
#include "platform.h"
#include "round.h"
#include "support/fake_clock.h"
#include "vehicle.h"
#include "wall_block.h"

using namespace nettest;

namespace {

constexpr int64_t kFrameMs = 40;
constexpr int64_t kLongestFrameMs = 100;

// Runs step once a frame, the client's clock moving kFrameMs a frame, until it returns non-zero or
// the frames run out (600: 24 s on that clock); records the longest real time one step took.
class Frames {
  public:
    template <typename Step> int run(Step step, int limit = 600) {
        for (int frame = 0; frame < limit; ++frame) {
            testclock::now += kFrameMs;
            auto start = std::chrono::steady_clock::now();
            int r = step();
            auto took = std::chrono::steady_clock::now() - start;
            longestMs = std::max<int64_t>(
                longestMs, std::chrono::duration_cast<std::chrono::milliseconds>(took).count());
            elapsedMs += kFrameMs;
            if (r != 0) return r;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 0;
    }
    int64_t longestMs = 0;
    int64_t elapsedMs = 0;
};

class NetHostile : public NetTest {
  protected:
    void SetUp() override {
        NetTest::SetUp();
        NetSetReceiveTimeout(5000);
        testclock::now = 1000000;
        setClock(testclock::read);
        clearNotices();
        lobbyList.clear();
    }
    void TearDown() override {
        setClock(nullptr);
        lobbyList.clear();
        NetTest::TearDown();
    }
    // Connects through the polled steps to a fake server that has sent its greeting.
    void connect() {
        ASSERT_EQ(NetBeginConnect("127.0.0.1"), 1);
        testing::internal::CaptureStdout();
        const int connected = frames.run([] { return NetPollConnect(); });
        const std::string said = testing::internal::GetCapturedStdout();
        ASSERT_EQ(connected, 1) << said;
    }
    Frames frames;
};

Bytes idMessage(uint32_t type, int32_t id) {
    Bytes b(proto::kIdMessageSize);
    proto::encodeIdMessage(b.data(), type, id);
    return b;
}

// Sends bytes one at a time, 20 ms apart, until all went or the server stops.
void drip(FakeServer& s, int fd, const Bytes& bytes) {
    for (size_t i = 0; i < bytes.size() && !s.stopping(); ++i) {
        sendAll(fd, &bytes[i], 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

Bytes labyrinth(int32_t n) {
    Bytes b(proto::kLabyrinthHeadSize + proto::kBlockRecordSize * n);
    proto::encodeLabyrinthHead(b.data(), n);
    for (int32_t i = 0; i < n; ++i) {
        proto::BlockRecord r;
        r.id = i + 1;
        r.height = 5;
        r.x[0] = 100;
        r.y[1] = 100;
        r.z[2] = 100;
        proto::encodeBlockRecord(b.data() + proto::kLabyrinthHeadSize + 88 * i, r);
    }
    return b;
}

} // namespace

TEST_F(NetHostile, GreetingsThatNeverComeRightFailInTimeWithoutHoldingUpAFrame) {
    struct Case {
        const char* name;
        FakeServer::Script script;
        const char* failure;
    };
    const Case cases[] = {
        {"silent", [](FakeServer& s, int fd) { s.waitClosed(fd); }, "NO ANSWER"},
        {"dripped", [](FakeServer& s, int fd) { drip(s, fd, welcome()); }, "NO ANSWER"},
        {"wrong magic",
         [](FakeServer& s, int fd) {
             sendAll(fd, welcome(0x44335643));
             s.waitClosed(fd);
         },
         "NOT A GAME SERVER"},
        {"closed", [](FakeServer&, int fd) { sendAll(fd, welcome().data(), 10); }, "NO GREETING"},
    };
    for (const Case& c : cases) {
        FakeServer server(c.script);
        ASSERT_EQ(NetBeginConnect("127.0.0.1"), 1) << c.name;
        testing::internal::CaptureStdout();
        Frames f;
        EXPECT_EQ(f.run([] { return NetPollConnect(); }), -1) << c.name;
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "invalid server command ... closing connection\n");
        EXPECT_STREQ(NetFailure(), c.failure) << c.name;
        EXPECT_LE(f.elapsedMs, 5000 + kFrameMs) << c.name;
        EXPECT_LT(f.longestMs, kLongestFrameMs) << c.name;
        EXPECT_EQ(NetIsConnected(), 0);
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(NetBeginConnect("127.0.0.1"), 1);
    EXPECT_EQ(frames.run([] { return NetPollConnect(); }), -1) << "nobody listens";
    EXPECT_STREQ(NetFailure(), "NO SERVER THERE");
    EXPECT_EQ(NetBeginConnect("10.0.0.1 x"), 0);
    EXPECT_STREQ(NetFailure(), "BAD ADDRESS");
    testing::internal::GetCapturedStderr();
}

TEST_F(NetHostile, ControlBytesInTheGreetingNeverReachTheConsole) {
    FakeServer server([](FakeServer& s, int fd) {
        sendAll(fd, welcome(proto::kWelcomeMagic, "\x1b[2J\x07"
                                                  "10.0.0.9\r\n\x7f"));
        s.waitClosed(fd);
    });
    ASSERT_EQ(NetBeginConnect("127.0.0.1"), 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(frames.run([] { return NetPollConnect(); }), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "connected to server [2J10.0.0.9\n");
    EXPECT_STREQ(NetServerText(), "[2J10.0.0.9");
}

TEST_F(NetHostile, BrokenStreamsReadAsALostConnection) {
    struct Case {
        const char* name;
        FakeServer::Script script;
        bool wholeFirst; // a whole message comes before the break
    };
    auto cutShort = [](FakeServer&, int fd) {
        sendAll(fd, welcome());
        sendAll(fd, idMessage(proto::kPlayerLeft, 4));
        Bytes part = header(proto::kVehicleMove, 64);
        part.resize(20, 1);
        sendAll(fd, part);
    };
    auto hugeLength = [](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        sendAll(fd, idMessage(proto::kPlayerLeft, 4));
        sendAll(fd, header(proto::kVehicleMove, 0xFFFFFFFFu));
        s.waitClosed(fd);
    };
    std::atomic<bool> connected{false};
    auto reset = [&connected](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        // A reset before the client has seen its connection complete reads as a failed connect.
        for (int i = 0; i < 3000 && !connected.load() && !s.stopping(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        linger hard{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    };
    auto leftHanging = [](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        sendAll(fd, idMessage(proto::kPlayerLeft, 4));
        Bytes part = header(proto::kBombDropped, 72);
        part.resize(30, 2);
        sendAll(fd, part);
        s.waitClosed(fd);
    };
    const Case cases[] = {{"closed mid-message", cutShort, true},
                          {"4 GiB length", hugeLength, true},
                          {"reset", reset, false},
                          {"half a message", leftHanging, true}};
    for (const Case& c : cases) {
        connected = false;
        FakeServer server(c.script);
        connect();
        connected = true;
        uint8_t buffer[proto::kServerBufferSize];
        Frames f;
        if (c.wholeFirst) {
            EXPECT_EQ(f.run([&] { return NetNextMessage(buffer, sizeof buffer); }), 1) << c.name;
            EXPECT_EQ(proto::getU32(buffer), uint32_t(proto::kPlayerLeft)) << "a whole one counts";
        }
        EXPECT_EQ(f.run([&] { return NetNextMessage(buffer, sizeof buffer); }), -1) << c.name;
        EXPECT_LT(f.longestMs, kLongestFrameMs) << c.name;
        EXPECT_LE(f.elapsedMs, 15000 + 2 * kFrameMs) << c.name;
        EXPECT_EQ(NetLost(), 1) << c.name;
        EXPECT_EQ(NetIsConnected(), 0) << c.name;
        EXPECT_EQ(drainLobby(true, 1), LobbyNews::kLost) << c.name;
    }
}

TEST_F(NetHostile, JoinAndLabyrinthWaitsEndInTime) {
    int requests = 0;
    Bytes ahead(proto::kVehicleMoveSize);
    proto::VehicleMove move;
    move.playerId = 5;
    proto::encodeVehicleMove(ahead.data(), move);
    {
        FakeServer server([](FakeServer& s, int fd) {
            sendAll(fd, welcome());
            s.waitClosed(fd);
        });
        connect();
        int32_t accepted = 9, id = 9;
        double colour[3] = {9, 9, 9};
        ASSERT_EQ(NetBeginJoin(), 1);
        EXPECT_EQ(frames.run([&] { return NetPollJoin(&accepted, &id, colour); }), -1);
        EXPECT_EQ(accepted, 0);
        EXPECT_STREQ(NetFailure(), "NO ANSWER TO JOIN");
        EXPECT_EQ(NetIsConnected(), 1) << "an unanswered join keeps the connection";

        ASSERT_EQ(NetBeginFetchLabyrinth(), 1);
        EXPECT_EQ(frames.run([] { return NetPollLabyrinth(); }), -1) << "StartGame, no labyrinth";
        EXPECT_EQ(NetLost(), 1);
        EXPECT_LT(frames.longestMs, kLongestFrameMs);
    }
    {
        FakeServer server([&](FakeServer& s, int fd) {
            sendAll(fd, welcome());
            readBytes(fd, proto::kIdMessageSize);
            drip(s, fd, labyrinth(40));
        });
        connect();
        ASSERT_EQ(NetBeginFetchLabyrinth(), 1);
        Frames f;
        EXPECT_EQ(f.run([] { return NetPollLabyrinth(); }), -1) << "dripped labyrinth";
        EXPECT_LE(f.elapsedMs, 15000 + kFrameMs);
        EXPECT_LT(f.longestMs, kLongestFrameMs);
    }
    {
        FakeServer server([&](FakeServer& s, int fd) {
            sendAll(fd, welcome());
            while (readBytes(fd, proto::kIdMessageSize, 500).size() == proto::kIdMessageSize) {
                ++requests;
                sendAll(fd, ahead);
                sendAll(fd, labyrinth(3));
            }
            s.waitClosed(fd);
        });
        connect();
        ASSERT_EQ(NetBeginFetchLabyrinth(), 1);
        EXPECT_EQ(frames.run([] { return NetPollLabyrinth(); }), 1);
        List<WallBlock> blocks;
        ASSERT_EQ(NetFetchLabyrinth(blocks), 1) << "the held labyrinth is handed over";
        EXPECT_EQ(blocks.count(), 3);
        uint8_t buffer[proto::kServerBufferSize];
        ASSERT_EQ(NetNextMessage(buffer, sizeof buffer), 1) << "the move ahead was set aside";
        EXPECT_EQ(proto::getU32(buffer), uint32_t(proto::kVehicleMove));
        NetClose();
    }
    EXPECT_EQ(requests, 1) << "the labyrinth was asked for once";
}

TEST_F(NetHostile, FloodsAreAppliedAFewAtATimeAndBombsAndPlayersStayBounded) {
    constexpr int kMoves = 20000;
    std::atomic<bool> firstSent{false};
    FakeServer server([&](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        Bytes burst;
        for (int i = 1; i <= 300; ++i) {
            Bytes m(proto::kVehicleMoveSize);
            proto::VehicleMove move;
            move.playerId = 5;
            move.position = Vector3(0, 0, i);
            proto::encodeVehicleMove(m.data(), move);
            burst.insert(burst.end(), m.begin(), m.end());
        }
        sendAll(fd, burst);
        firstSent = true;
        for (int i = 0; i < kMoves && !s.stopping(); ++i) {
            Bytes m(proto::kBombDroppedSize);
            proto::BombDropped bomb;
            bomb.owner = i % 2 ? 5 : 99;
            bomb.number = i;
            bomb.range = 3;
            bomb.dropPoint = Vector3(0, 0, 102);
            bomb.heading = Vector3(0, 1, 0);
            proto::encodeBombDropped(m.data(), bomb);
            if (!sendAll(fd, m)) break;
        }
        sendAll(fd, idMessage(proto::kPlayerDead, 5));
        s.waitClosed(fd);
    });
    connect();
    platform = PlatformHooks();
    Game game;
    gameMode = 2;
    game.addOpponent(5, 1, 0, 0, 0);
    game.addOpponent(6, 0, 1, 0, 0);
    game.startTicks = 40;
    roundReset();
    while (!firstSent)
        std::this_thread::yield();
    game.tick();
    ASSERT_EQ(game.opponents->count(), 2);
    EXPECT_EQ(game.opponents->first()->position().z, 100) << "100 messages in the first tick";
    game.tick();
    EXPECT_EQ(game.opponents->first()->position().z, 200);

    Frames f;
    f.run([&] {
        game.tick();
        int own = 0, strangers = 0;
        for (Bomb* b = game.bombs->first(); b; b = game.bombs->next())
            (b->owner() == 5 ? own : strangers)++;
        EXPECT_LE(own, 10);
        EXPECT_EQ(strangers, 0);
        return game.opponents->count() == 1 ? 1 : 0;
    });
    EXPECT_EQ(game.opponents->count(), 1) << "the flood was worked through to the end";
    EXPECT_LT(f.longestMs, kLongestFrameMs);
    EXPECT_EQ(noticeCount(), 1);
    EXPECT_STREQ(noticeText(0), "A PLAYER WAS HIT OUT");
    gameMode = 0;
}

TEST_F(NetHostile, ALobbyHoldsSevenPlayersWhateverTheServerAnnounces) {
    FakeServer server([](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        for (int i = 0; i < 20000 && !s.stopping(); ++i) {
            Bytes m(proto::kPlayerInfoSize);
            proto::PlayerInfo info;
            info.playerId = i < 10 ? 2 : 3 + i; // the first ten all name player 2
            std::snprintf(info.nick, sizeof info.nick, "P%d", i);
            proto::encodePlayerInfo(m.data(), info);
            Bytes chat(proto::kChatLineSize);
            proto::ChatLine line;
            line.playerId = 2;
            std::snprintf(line.text, sizeof line.text, "LINE %d", i);
            proto::encodeChatLine(chat.data(), line);
            m.insert(m.end(), chat.begin(), chat.end());
            if (!sendAll(fd, m)) break;
        }
        sendAll(fd, idMessage(proto::kPlayerLeft, 2));
        s.waitClosed(fd);
    });
    connect();
    Frames f;
    int drains = 0;
    f.run(
        [&] {
            ++drains;
            drainLobby(true, 13);
            return lobbyList.count() > 0 && lobbyList.first()->playerId != 2 ? 1 : 0;
        },
        2000);
    EXPECT_LT(f.longestMs, kLongestFrameMs);
    EXPECT_GE(drains, 40000 / kLobbyMessagesPerDrain) << "a bounded number per drain";
    ASSERT_EQ(lobbyList.count(), 5) << "six at most, then player 2 left";
    EXPECT_EQ(lobbyList.get(0)->playerId, 14) << "the local id 13 is never listed";
    EXPECT_EQ(chatLineCount(), kChatLineLimit);
    EXPECT_STREQ(chatLine(kChatLineLimit - 1), "?: LINE 19999");
}
