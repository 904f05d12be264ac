// Start-up, connect and the not-connected state of the network layer, against a fake server.
#include <gtest/gtest.h>

#include <cstring>

#include "net_support.h"
#include "wall_block.h"

using namespace nettest;

namespace {

class NetState : public NetTest {};

// Every message the senders can send, in one call each; returns how many reported 1.
int callEverySender() {
    return NetLeaveGame(3) + NetStartGame() + NetEndGame() +
           NetSendVehicleMove(3, Vector3(0, 0, 1), Vector3(0, 1, 0)) + NetSendCloak(3, 1) +
           NetSendPlayerDead(3) +
           NetSendBombDropped(3, 4, 5, Vector3(0, 0, 102), Vector3(0, 1, 0)) +
           NetSendBombExploded(3, 4) + NetSendBlockDestroyed(9) + NetSendItemTaken(9);
}

} // namespace

TEST_F(NetState, StartupTwiceChangesNothingAndCleanupStops) {
    EXPECT_EQ(NetStartup(), 0);
    FakeServer server([](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        s.waitClosed(fd);
    });
    ASSERT_TRUE(server.listening());
    EXPECT_EQ(NetConnect("127.0.0.1"), 1);
    EXPECT_EQ(NetCleanup(), 1);
    EXPECT_EQ(NetIsConnected(), 0);
    EXPECT_TRUE(server.waitDone());
    EXPECT_EQ(NetCleanup(), 0);
    EXPECT_EQ(NetConnect("127.0.0.1"), 0) << "a stopped layer must not connect";
}

TEST_F(NetState, SendersSendNothingWhileNotConnected) {
    Bytes afterGreeting;
    FakeServer server([&](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        afterGreeting = s.readUntilClosed(fd);
    });
    EXPECT_EQ(callEverySender(), 0) << "never connected";

    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    NetClose();
    EXPECT_EQ(callEverySender(), 0) << "after close";
    int32_t accepted = 7, id = 7;
    double colour[3] = {7, 7, 7};
    EXPECT_EQ(NetJoin(&accepted, &id, colour), 0);
    EXPECT_EQ(accepted, 0);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(colour[0], 0.0);
    EXPECT_EQ(NetSend("x", 1), 0);

    List<WallBlock> blocks;
    blocks.append(new WallBlock(Vector3(100, 0, 0), Vector3(0, 100, 0), Vector3(0, 0, 100), 5));
    EXPECT_EQ(NetFetchLabyrinth(blocks), 0);
    EXPECT_EQ(blocks.count(), 1) << "a refused fetch leaves the list alone";

    ASSERT_TRUE(server.waitDone());
    EXPECT_TRUE(afterGreeting.empty()) << afterGreeting.size() << " bytes arrived";
}

TEST_F(NetState, ConnectWhileConnectedKeepsTheConnection) {
    Bytes got;
    FakeServer server([&](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        got = s.readUntilClosed(fd);
    });
    testing::internal::CaptureStdout();
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    EXPECT_EQ(NetConnect("127.0.0.1"), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "connected to server 127.0.0.1\n");
    EXPECT_EQ(NetIsConnected(), 1);
    EXPECT_EQ(NetSendBlockDestroyed(42), 1);
    NetClose();
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.accepted(), 1);
    int32_t id = 0;
    ASSERT_TRUE(proto::decodeIdMessage(got.data(), got.size(), proto::kBlockDestroyed, &id));
    EXPECT_EQ(id, 42);
}

TEST_F(NetState, AddressTheClassicConversionRefusesFailsCleanly) {
    FakeServer server([](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        s.waitClosed(fd);
    });
    for (const char* bad : {"localhost", "", "300.1.1.1", "1.2.3.4.5"}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(NetConnect(bad), 0) << bad;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.rfind(std::string("ERROR: connect to ") + bad + " failed <", 0), 0u) << err;
    }
    EXPECT_EQ(NetConnect(nullptr), 0);
    EXPECT_EQ(server.accepted(), 0);
    EXPECT_EQ(NetIsConnected(), 0);
}

TEST_F(NetState, NoServerListeningReportsTheFailedConnect) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(NetConnect("127.0.0.1"), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("ERROR: connect to 127.0.0.1 failed <", 0), 0u) << err;
    EXPECT_EQ(NetIsConnected(), 0);
    EXPECT_EQ(NetPoll(), 0);
}

TEST_F(NetState, SendersWriteTheirFieldsInWireOrder) {
    Bytes got;
    FakeServer server([&](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        got = s.readUntilClosed(fd);
    });
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    EXPECT_EQ(NetSendBombDropped(3, 17, 5, Vector3(1.5, -2.25, 102), Vector3(0, -1, 0)), 1);
    EXPECT_EQ(NetSendCloak(6, 1), 1);
    EXPECT_EQ(NetSendVehicleMove(8, Vector3(0.6, 0, 0.8), Vector3(0, 1, 0)), 1);
    EXPECT_EQ(NetSendBombExploded(3, 17), 1);
    EXPECT_EQ(NetLeaveGame(3), 1);
    NetClose();
    ASSERT_TRUE(server.waitDone());
    ASSERT_EQ(got.size(), 72u + 16 + 64 + 16 + 12);
    const uint8_t* p = got.data();
    proto::BombDropped bomb;
    ASSERT_TRUE(proto::decodeBombDropped(p, 72, &bomb));
    EXPECT_EQ(bomb.owner, 3);
    EXPECT_EQ(bomb.number, 17);
    EXPECT_EQ(bomb.range, 5);
    EXPECT_EQ(bomb.dropPoint, Vector3(1.5, -2.25, 102));
    EXPECT_EQ(bomb.heading, Vector3(0, -1, 0));
    proto::CloakState cloak;
    ASSERT_TRUE(proto::decodeCloakState(p + 72, 16, &cloak));
    EXPECT_EQ(cloak.playerId, 6);
    EXPECT_EQ(cloak.cloak, 1u);
    proto::VehicleMove move;
    ASSERT_TRUE(proto::decodeVehicleMove(p + 88, 64, &move));
    EXPECT_EQ(move.playerId, 8);
    EXPECT_EQ(move.position, Vector3(0.6, 0, 0.8));
    proto::BombExploded exploded;
    ASSERT_TRUE(proto::decodeBombExploded(p + 152, 16, &exploded));
    EXPECT_EQ(exploded.number, 17);
    int32_t id = 0;
    ASSERT_TRUE(proto::decodeIdMessage(p + 168, 12, proto::kLeaveGame, &id));
    EXPECT_EQ(id, 3);
}
