// Peers that lie, flood, stall or never join, against the real server: each kind of attack, and
// that the honest members go on being served.
#include <gtest/gtest.h>

#include <memory>

#include "in_process_server.h"
#include "member_steps.h"

using namespace harness;

namespace {

Bytes message(uint32_t type, size_t length, int32_t id) {
    Bytes m(length, 0);
    proto::encodeHeader(m.data(), type, static_cast<uint32_t>(length));
    if (length >= 12) proto::putI32(m.data() + 8, id);
    return m;
}

Bytes bombDropped(int32_t owner, int32_t range) {
    proto::BombDropped d;
    d.owner = owner;
    d.number = 1;
    d.range = range;
    Bytes m(proto::kBombDroppedSize);
    proto::encodeBombDropped(m.data(), d);
    return m;
}

// Reads from c until it stays quiet for quietMs; returns the messages of the given type.
int countArriving(Client& c, uint32_t type, int quietMs = 200) {
    int n = 0;
    Bytes got;
    while (c.readMessage(&got, quietMs))
        n += proto::getU32(got.data()) == type;
    return n;
}

// Two members (a is id 1, b is id 2) and a connection c that never joins.
class HostilePeerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.startRetrying()) << server.output();
        ASSERT_TRUE(a.connectGreeted());
        ASSERT_TRUE(b.connectGreeted());
        ASSERT_TRUE(c.connectGreeted());
        joinPair(a, b);
    }
    void TearDown() override { EXPECT_EQ(server.interrupt(2000), 0); }

    ServerProcess server;
    Client a, b, c;
};

} // namespace

TEST_F(HostilePeerTest, AMemberCannotSpeakForAnotherPlayerNorForTheServer) {
    std::vector<Bytes> forged = {
        vehicleMove(2, 1),
        message(proto::kCloakState, proto::kCloakStateSize, 2),
        message(proto::kPlayerDead, proto::kIdMessageSize, 2),
        message(proto::kBombExploded, proto::kBombExplodedSize, 2),
        bombDropped(2, 3),
        bombDropped(1, 9),
        bombDropped(1, -1),
        message(proto::kVehicleMove, 40, 1), // a known type at the wrong length
        message(proto::kPlayerLeft, proto::kIdMessageSize, 2),
        message(proto::kPlayerInfo, proto::kPlayerInfoSize, 2),
        message(proto::kJoinReply, proto::kJoinReplySize, 1),
        message(proto::kLobbyOpen, proto::kHeaderOnlySize, 0),
    };
    for (const Bytes& m : forged)
        ASSERT_TRUE(a.send(m));
    // The first thing b receives is a's honest bomb, then its own-id move.
    Bytes honest = bombDropped(1, 8);
    ASSERT_TRUE(a.send(honest));
    Bytes got;
    ASSERT_TRUE(b.readMessage(&got));
    EXPECT_EQ(got, honest);
    expectRelayWorks(a, 1, b, 2);

    // A leave naming b makes the others drop a, the sender, and nobody else.
    ASSERT_TRUE(a.send(idMessage(proto::kLeaveGame, 2)));
    EXPECT_EQ(playerLeft(b), 1);
    EXPECT_TRUE(b.quietFor(100));
    EXPECT_TRUE(c.quietFor(1));
}

TEST_F(HostilePeerTest, AConnectionThatNeverJoinedActsOnNothing) {
    Bytes chat(proto::kChatLineSize);
    proto::encodeChatLine(chat.data(), proto::ChatLine());
    for (const Bytes& m :
         {vehicleMove(0, 1), vehicleMove(1, 2), bombDropped(1, 2), message(99, 16, 1),
          idMessage(proto::kLeaveGame, 1), idMessage(proto::kPlayerDead, 2),
          headerOnly(proto::kStartGame), headerOnly(proto::kEndGame), chat})
        ASSERT_TRUE(c.send(m));
    EXPECT_TRUE(a.quietFor(200));
    EXPECT_TRUE(b.quietFor(1));
    EXPECT_EQ(server.countOf("left game"), 0);
    EXPECT_EQ(server.countOf("started game"), 0);
    EXPECT_EQ(server.countOf("ended game"), 0);
    // Still the lobby, and the ids go on: c's EndGame did not hand out a live member's id.
    proto::JoinReply r = joinAs(c, "Cy");
    EXPECT_EQ(r.accepted, 1);
    EXPECT_EQ(r.playerId, 3);
}

TEST_F(HostilePeerTest, JoiningAgainKeepsTheIdAndAnnouncesNothing) {
    for (int i = 0; i < 150; ++i) {
        proto::JoinReply r = joinAs(a, ("Ann" + std::to_string(i)).c_str());
        ASSERT_EQ(r.accepted, 1);
        ASSERT_EQ(r.playerId, 1);
    }
    EXPECT_TRUE(b.quietFor(100));
    EXPECT_TRUE(server.waitFor("joined Ann149 accepted\n", 1000));
    EXPECT_EQ(joinAs(c, "Cy").playerId, 3);
    EXPECT_STREQ(playerInfo(c).nick, "Ann149");
}

TEST_F(HostilePeerTest, AFloodIsCutToTheBudgetAndLoggedOnce) {
    Bytes moves;
    for (int i = 0; i < 4000; ++i) {
        Bytes m = vehicleMove(1, i);
        moves.insert(moves.end(), m.begin(), m.end());
    }
    ASSERT_TRUE(a.send(moves));
    int arrived = countArriving(b, proto::kVehicleMove);
    EXPECT_GE(arrived, 512);
    EXPECT_LT(arrived, 1500);
    EXPECT_EQ(server.countOf("sends too fast"), 1);
    expectRelayWorks(b, 2, a, 1); // b's own budget is whole

    // StartGame acts once, in the lobby; the rest of a flood of them does nothing.
    Bytes starts;
    for (int i = 0; i < 300; ++i) {
        Bytes m = headerOnly(proto::kStartGame);
        starts.insert(starts.end(), m.begin(), m.end());
    }
    ASSERT_TRUE(b.send(starts));
    EXPECT_EQ(countArriving(a, proto::kStartGame), 1);
    EXPECT_EQ(server.countOf("started game"), 1);
}

TEST_F(HostilePeerTest, ANickPrintsOnlyItsPrintableCharacters) {
    ASSERT_TRUE(c.send(join("Ev\nil\x1b[2J\x07\r")));
    Bytes reply;
    ASSERT_TRUE(c.readMessage(&reply));
    ASSERT_TRUE(server.waitFor("joined Evil[2J accepted\n", 1000)) << server.output();
    std::string out = server.output();
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_EQ(out.find('\x07'), std::string::npos);
    EXPECT_EQ(out.find('\r'), std::string::npos);
}

TEST(HostileConsole, AnOutputNobodyReadsNeverHoldsUpTheRelay) {
    ServerProcess server;
    ASSERT_TRUE(server.startRetrying(5000, 4096));
    Client a, b, c;
    ASSERT_TRUE(a.connectGreeted());
    ASSERT_TRUE(b.connectGreeted());
    ASSERT_TRUE(c.connectGreeted());
    joinPair(a, b);
    server.reader().pause();
    // Each request is a log line; together far more than the pipe holds.
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(c.send(idMessage(proto::kLabyrinthRequest, 0)));
    Bytes heads;
    ASSERT_TRUE(c.read(300 * proto::kLabyrinthHeadSize, &heads));
    for (int i = 0; i < 50; ++i)
        expectRelayWorks(a, 1, b, i);
    // Once the output is read again, the next line that fits says how many were dropped.
    server.reader().resume();
    bool told = false;
    for (int i = 0; i < 40 && !told; ++i) {
        ASSERT_TRUE(c.send(idMessage(proto::kLabyrinthRequest, 0)));
        told = server.waitFor(" log lines dropped, nobody read the output\n", 50);
    }
    EXPECT_TRUE(told);
    EXPECT_EQ(server.interrupt(2000), 0);
}

// --- time-outs, on the server's own loop with a clock the test moves.

namespace {

class TimedPeerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        ASSERT_TRUE(a.connectGreeted());
        ASSERT_TRUE(b.connectGreeted());
        joinPair(a, b);
    }

    InProcessServer server;
    Client a, b;
};

} // namespace

TEST_F(TimedPeerTest, AMessageLeftUnfinishedForTenSecondsDropsItsPeer) {
    Client half, slow, idle;
    ASSERT_TRUE(half.connectGreeted());
    ASSERT_TRUE(slow.connectGreeted());
    ASSERT_TRUE(idle.connectGreeted());
    Bytes j = join("Slow");
    ASSERT_TRUE(half.send(j.data(), 4));
    ASSERT_TRUE(slow.send(j.data(), 50));
    server.advanceMs(0);
    server.advanceMs(9000);
    // slow finishes its Join and starts another message: its clock starts again.
    ASSERT_TRUE(slow.send(j.data() + 50, j.size() - 50));
    Bytes reply;
    ASSERT_TRUE(slow.readMessage(&reply));
    playerInfo(a);
    playerInfo(b);
    ASSERT_TRUE(slow.send(j.data(), 4));
    server.advanceMs(0);
    server.advanceMs(999);
    EXPECT_TRUE(a.quietFor(50));
    server.advanceMs(1);
    EXPECT_TRUE(half.closedWithin(1000));
    EXPECT_EQ(playerLeft(a), 0);
    EXPECT_TRUE(server.output().waitFor("dropped, its message stayed unfinished\n", 1000));
    server.advanceMs(9000);
    EXPECT_TRUE(slow.closedWithin(1000));
    EXPECT_EQ(playerLeft(a), 3);
    // A connection that says nothing at all may sit in the menus for ever.
    server.advanceMs(600000);
    EXPECT_TRUE(a.quietFor(50));
    EXPECT_EQ(countArriving(idle, proto::kPlayerLeft, 50), 2);
    EXPECT_EQ(joinAs(idle, "Idle").accepted, 1);
}

TEST_F(TimedPeerTest, AReaderStuckForFiveSecondsIsDroppedWhileTheOthersKeepUp) {
    Client stuck;
    ASSERT_TRUE(stuck.connect(2000, 4096));
    Bytes w;
    ASSERT_TRUE(stuck.read(proto::kWelcomeSize, &w));
    ASSERT_EQ(joinAs(stuck, "Stuck").playerId, 3);
    playerInfo(a);
    playerInfo(b);
    // From here on stuck never reads: 240 KiB pass the kernel's buffers, not the 256 KiB cap.
    const int total = 240;
    Bytes burst;
    for (int i = 0; i < total; ++i) {
        Bytes m = message(99, 1024, i);
        burst.insert(burst.end(), m.begin(), m.end());
    }
    ASSERT_TRUE(a.send(burst));
    Bytes got;
    for (int i = 0; i < total; ++i) {
        ASSERT_TRUE(b.readMessage(&got)) << i;
        ASSERT_EQ(proto::getI32(got.data() + 8), i);
    }
    server.advanceMs(4900);
    EXPECT_TRUE(b.quietFor(50));
    server.advanceMs(100);
    EXPECT_EQ(playerLeft(b), 3);
    EXPECT_EQ(playerLeft(a), 3);
    EXPECT_TRUE(server.output().waitFor("dropped, it stopped reading\n", 1000));
    expectRelayWorks(a, 1, b, 1);
}
