// The network layer against the real corvane3d_server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <unistd.h>

#include "globals.h"
#include "net_support.h"
#include "wall_block.h"

using namespace nettest;

namespace {

class NetServer : public NetTest {
  protected:
    void SetUp() override {
        NetTest::SetUp();
        NetSetReceiveTimeout(3000);
        std::strcpy(nickName, "pilot");
    }
};

bool waitForInput(int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (NetPoll()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

TEST_F(NetServer, JoinIsAcceptedWithTheFirstIdAfterAPlayerLeftFromAnotherConnection) {
    ServerProcess server;
    ASSERT_TRUE(server.running());
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);

    int other = connectRaw();
    ASSERT_GE(other, 0);
    ASSERT_EQ(readBytes(other, proto::kWelcomeSize).size(), proto::kWelcomeSize);
    close(other);
    ASSERT_TRUE(waitForInput(3000)) << "the server announces the closed connection";

    int32_t accepted = 0, id = 0;
    double colour[3] = {-1, -1, -1};
    ASSERT_EQ(NetJoin(&accepted, &id, colour), 1);
    EXPECT_EQ(accepted, 1);
    EXPECT_EQ(id, 1);
    for (double c : colour) {
        EXPECT_GE(c, 0.0);
        EXPECT_LE(c, 2.0 / 3.0);
    }

    uint8_t buffer[proto::kPlayerInfoSize];
    ASSERT_EQ(NetPoll(), 1) << "the PlayerLeft was set aside";
    ASSERT_EQ(NetReceiveMessage(buffer, sizeof buffer), 1);
    int32_t left = -1;
    EXPECT_TRUE(proto::decodeIdMessage(buffer, 12, proto::kPlayerLeft, &left));
    EXPECT_EQ(left, 0);
}

TEST_F(NetServer, FetchedLabyrinthMatchesTheServersBytes) {
    ServerProcess server;
    ASSERT_TRUE(server.running());
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);

    List<WallBlock> blocks;
    blocks.append(new WallBlock(Vector3(100, 0, 0), Vector3(0, 100, 0), Vector3(0, 0, 100), 5));
    ASSERT_EQ(NetFetchLabyrinth(blocks), 1);
    EXPECT_EQ(blocks.count(), 0) << "before the first game the labyrinth is empty";

    int32_t accepted = 0, id = 0;
    double colour[3];
    ASSERT_EQ(NetJoin(&accepted, &id, colour), 1);
    ASSERT_EQ(accepted, 1);
    ASSERT_EQ(NetStartGame(), 1);
    ASSERT_EQ(NetFetchLabyrinth(blocks), 1);

    int raw = connectRaw();
    ASSERT_GE(raw, 0);
    ASSERT_EQ(readBytes(raw, proto::kWelcomeSize).size(), proto::kWelcomeSize);
    uint8_t request[proto::kIdMessageSize];
    ASSERT_TRUE(
        sendAll(raw, request, proto::encodeIdMessage(request, proto::kLabyrinthRequest, 0)));
    Bytes head = readBytes(raw, proto::kLabyrinthHeadSize);
    ASSERT_EQ(head.size(), proto::kLabyrinthHeadSize);
    int32_t n = proto::getI32(head.data() + 8);
    ASSERT_GT(n, 0);
    ASSERT_LE(n, proto::kMaxBlocks);
    Bytes body = readBytes(raw, proto::kBlockRecordSize * n);
    close(raw);
    ASSERT_EQ(body.size(), proto::kBlockRecordSize * n);

    ASSERT_EQ(blocks.count(), n);
    WallBlock* b = blocks.first();
    for (int32_t i = 0; i < n; ++i, b = blocks.next()) {
        ASSERT_NE(b, nullptr);
        const uint8_t* r = body.data() + proto::kBlockRecordSize * i;
        EXPECT_EQ(b->id(), proto::getI32(r)) << i;
        EXPECT_EQ(b->item(), proto::getI32(r + 4)) << i;
        for (int c = 0; c < 3; ++c) {
            Vector3 corner(proto::getF64(r + 16 + 8 * c), proto::getF64(r + 40 + 8 * c),
                           proto::getF64(r + 64 + 8 * c));
            EXPECT_EQ(std::memcmp(&b->baseCorner(c), &corner, sizeof corner), 0) << i;
        }
        double h = proto::getF64(r + 8);
        Vector3 a0 = b->baseCorner(0);
        Vector3 rise = ((b->baseCorner(0) + b->baseCorner(1) + b->baseCorner(2)) / 3.0) / h;
        EXPECT_NEAR((b->top().c0 - a0 - rise).length(), 0.0, 1e-9) << "height of block " << i;
    }
}

TEST_F(NetServer, ShortAddressFormsReachTheServer) {
    ServerProcess server;
    ASSERT_TRUE(server.running());
    for (const char* address : {"127.1", "127.0.1", "0x7f000001"}) {
        ASSERT_EQ(NetConnect(address), 1) << address;
        NetClose();
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(NetConnect("127.0.0.1.5"), 0);
    EXPECT_EQ(NetConnect("local host"), 0);
    testing::internal::GetCapturedStderr();
}
