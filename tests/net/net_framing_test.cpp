// Reads, framing and the labyrinth transfer against a scripted fake server, including hostile
// servers: wrong greeting, bad lengths, bad counts, cut-off and silent connections.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "globals.h"
#include "net_support.h"
#include "wall_block.h"

using namespace nettest;

namespace {

class NetFraming : public NetTest {};

constexpr uint8_t kGuard = 0xAB;

// A buffer of the given capacity followed by guard bytes that must never be written.
struct GuardedBuffer {
    explicit GuardedBuffer(size_t capacity) : capacity(capacity), bytes(capacity + 64, kGuard) {}
    bool guardIntact() const {
        for (size_t i = capacity; i < bytes.size(); ++i)
            if (bytes[i] != kGuard) return false;
        return true;
    }
    size_t capacity;
    Bytes bytes;
};

Bytes idMessage(uint32_t type, int32_t id) {
    Bytes b(proto::kIdMessageSize);
    proto::encodeIdMessage(b.data(), type, id);
    return b;
}

Bytes labyrinthHead(int32_t n, uint32_t length) {
    Bytes b = header(proto::kLabyrinth, length);
    b.resize(proto::kLabyrinthHeadSize);
    proto::putI32(b.data() + 8, n);
    return b;
}

proto::BlockRecord record(int32_t id, int32_t item) {
    proto::BlockRecord r;
    r.id = id;
    r.item = item;
    r.height = 4.5 + id * 0.125;
    double corners[3][3] = {{100, 0, 0}, {0, 100, 0}, {0, 0, 100}};
    for (int i = 0; i < 3; ++i) {
        r.x[i] = corners[i][0] * (1 + id * 1e-3);
        r.y[i] = corners[i][1];
        r.z[i] = corners[i][2] + 1.0 / 3.0;
    }
    return r;
}

Bytes records(int32_t n) {
    Bytes b(proto::kBlockRecordSize * n);
    for (int32_t i = 0; i < n; ++i)
        proto::encodeBlockRecord(b.data() + proto::kBlockRecordSize * i, record(i + 1, i % 8));
    return b;
}

// Fake server that greets, waits for the labyrinth request and answers with reply.
FakeServer::Script answerLabyrinth(Bytes reply, bool closeAfter = false) {
    return [reply, closeAfter](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        Bytes request = readBytes(fd, proto::kIdMessageSize);
        int32_t id = 0;
        if (!proto::decodeIdMessage(request.data(), request.size(), proto::kLabyrinthRequest, &id))
            return;
        sendAll(fd, reply);
        if (!closeAfter) s.waitClosed(fd);
    };
}

List<WallBlock>* listWithOneBlock() {
    List<WallBlock>* blocks = new List<WallBlock>;
    blocks->append(new WallBlock(Vector3(100, 0, 0), Vector3(0, 100, 0), Vector3(0, 0, 100), 5));
    return blocks;
}

int64_t elapsedMs(std::chrono::steady_clock::time_point since) {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now() - since).count();
}

} // namespace

TEST_F(NetFraming, WrongMagicIsRefusedAndClosed) {
    std::atomic<bool> clientClosed{false};
    FakeServer server([&](FakeServer& s, int fd) {
        sendAll(fd, welcome(0x44335643));
        clientClosed = s.waitClosed(fd);
    });
    testing::internal::CaptureStdout();
    EXPECT_EQ(NetConnect("127.0.0.1"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "invalid server command ... closing connection\n");
    EXPECT_EQ(NetIsConnected(), 0);
    ASSERT_TRUE(server.waitDone());
    EXPECT_TRUE(clientClosed);
}

TEST_F(NetFraming, GreetingCutShortOrNeverSentFailsInBoundedTime) {
    {
        FakeServer server([](FakeServer&, int fd) { sendAll(fd, welcome().data(), 20); });
        EXPECT_EQ(NetConnect("127.0.0.1"), 0);
    }
    {
        FakeServer server([](FakeServer& s, int fd) { s.waitClosed(fd); });
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(NetConnect("127.0.0.1"), 0);
        EXPECT_LT(elapsedMs(start), 3000);
    }
    EXPECT_EQ(NetIsConnected(), 0);
}

TEST_F(NetFraming, ReadOf2100BytesAsksFor1024Then1024Then52) {
    std::atomic<bool> sent{false};
    Bytes payload(2100);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i * 7);
    FakeServer server([&](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        sendAll(fd, payload);
        sent = true;
        s.waitClosed(fd);
    });
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    while (!sent)
        std::this_thread::yield();
    Bytes got(2100);
    std::vector<size_t> asks;
    {
        RecvRecorder recorder;
        ASSERT_EQ(NetReceive(got.data(), got.size()), 1);
        asks = recorder.asks();
    }
    EXPECT_EQ(asks, (std::vector<size_t>{1024, 1024, 52}));
    EXPECT_EQ(got, payload);
    EXPECT_EQ(NetReceive(nullptr, 0), 1) << "a count of 0 reads nothing";
}

TEST_F(NetFraming, WholeMessagesAreReadOneAtATime) {
    FakeServer server([](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        Bytes two = idMessage(proto::kPlayerLeft, 4);
        Bytes start = header(proto::kStartGame, 8);
        two.insert(two.end(), start.begin(), start.end());
        sendAll(fd, two);
        s.waitClosed(fd);
    });
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    uint8_t buffer[proto::kPlayerInfoSize];
    ASSERT_EQ(NetPoll(), 1);
    ASSERT_EQ(NetReceiveMessage(buffer, sizeof buffer), 1);
    int32_t id = 0;
    EXPECT_TRUE(proto::decodeIdMessage(buffer, 12, proto::kPlayerLeft, &id));
    EXPECT_EQ(id, 4);
    ASSERT_EQ(NetReceiveMessage(buffer, sizeof buffer), 1);
    EXPECT_EQ(proto::getU32(buffer), uint32_t(proto::kStartGame));
    EXPECT_EQ(NetPoll(), 0);
}

TEST_F(NetFraming, OversizedMessageIsDroppedWithoutOverrunAndTheNextOneArrives) {
    FakeServer server([](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        Bytes big = header(proto::kPlayerInfo, 300);
        big.resize(300, 0x5A);
        sendAll(fd, big);
        sendAll(fd, idMessage(proto::kBlockDestroyed, 12));
        s.waitClosed(fd);
    });
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    GuardedBuffer buffer(proto::kPlayerInfoSize);
    EXPECT_EQ(NetReceiveMessage(buffer.bytes.data(), buffer.capacity), 0);
    EXPECT_TRUE(buffer.guardIntact());
    ASSERT_EQ(NetReceiveMessage(buffer.bytes.data(), buffer.capacity), 1);
    int32_t id = 0;
    EXPECT_TRUE(proto::decodeIdMessage(buffer.bytes.data(), 12, proto::kBlockDestroyed, &id));
    EXPECT_EQ(id, 12);
    EXPECT_TRUE(buffer.guardIntact());
    EXPECT_EQ(NetIsConnected(), 1);
}

TEST_F(NetFraming, ImpossibleLengthsCloseTheConnectionAtOnceWithoutOverrun) {
    NetSetReceiveTimeout(2000);
    for (uint32_t length : {0u, 7u, 0xFFFFFFFFu, 0x7FFFFFFFu, 12u + 88 * 955}) {
        FakeServer server([length](FakeServer& s, int fd) {
            sendAll(fd, welcome());
            Bytes bad = header(proto::kVehicleMove, length);
            bad.resize(600, 0x33);
            sendAll(fd, bad);
            s.waitClosed(fd);
        });
        ASSERT_EQ(NetConnect("127.0.0.1"), 1) << length;
        GuardedBuffer buffer(proto::kPlayerInfoSize);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(NetReceiveMessage(buffer.bytes.data(), buffer.capacity), 0) << length;
        EXPECT_LT(elapsedMs(start), 1000) << "no wait for bytes that can never form a message";
        EXPECT_TRUE(buffer.guardIntact()) << length;
        EXPECT_EQ(NetIsConnected(), 0) << length;
        EXPECT_EQ(NetPoll(), 0);
        EXPECT_TRUE(server.waitDone()) << length;
    }
}

TEST_F(NetFraming, ServerClosingMidMessageIsAFailure) {
    FakeServer server([](FakeServer&, int fd) {
        sendAll(fd, welcome());
        Bytes part = header(proto::kVehicleMove, 64);
        part.resize(20, 1);
        sendAll(fd, part);
    });
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    ASSERT_TRUE(server.waitDone());
    GuardedBuffer buffer(proto::kVehicleMoveSize);
    EXPECT_EQ(NetReceiveMessage(buffer.bytes.data(), buffer.capacity), 0);
    EXPECT_TRUE(buffer.guardIntact());
    EXPECT_EQ(NetReceiveMessage(buffer.bytes.data(), buffer.capacity), 0);
}

TEST_F(NetFraming, PeerThatClosedIsReadableAndSendingToItDoesNotKillTheClient) {
    FakeServer server([](FakeServer&, int fd) { sendAll(fd, welcome()); });
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    ASSERT_TRUE(server.waitDone());
    for (int i = 0; i < 50; ++i)
        NetSendVehicleMove(1, Vector3(0, 0, 1), Vector3(0, 1, 0));
    EXPECT_EQ(NetPoll(), 1);
    uint8_t buffer[proto::kPlayerInfoSize];
    EXPECT_EQ(NetReceiveMessage(buffer, sizeof buffer), 0);
}

TEST_F(NetFraming, SilentServerEndsEveryReadWithinTheBound) {
    NetSetReceiveTimeout(150);
    FakeServer server([](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        Bytes part = header(proto::kBombDropped, 72);
        part.resize(30, 2);
        sendAll(fd, part);
        s.waitClosed(fd);
    });
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    auto start = std::chrono::steady_clock::now();
    GuardedBuffer buffer(proto::kPlayerInfoSize);
    EXPECT_EQ(NetReceiveMessage(buffer.bytes.data(), buffer.capacity), 0);
    EXPECT_LT(elapsedMs(start), 2000);
    EXPECT_EQ(NetIsConnected(), 0) << "a message cut off in the middle loses the framing";
    EXPECT_TRUE(buffer.guardIntact());
}

TEST_F(NetFraming, SilentServerEndsNetReceiveAndKeepsTheConnection) {
    NetSetReceiveTimeout(150);
    FakeServer server([](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        s.waitClosed(fd);
    });
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    uint8_t buffer[16];
    EXPECT_EQ(NetReceive(buffer, sizeof buffer), 0);
    EXPECT_EQ(NetReceiveMessage(buffer, sizeof buffer), 0);
    EXPECT_EQ(NetIsConnected(), 1) << "nothing was consumed";
}

TEST_F(NetFraming, LabyrinthWithNoRecordsEmptiesTheList) {
    FakeServer server(answerLabyrinth(labyrinthHead(0, 12)));
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    List<WallBlock>* blocks = listWithOneBlock();
    EXPECT_EQ(NetFetchLabyrinth(*blocks), 1);
    EXPECT_EQ(blocks->count(), 0);
    delete blocks;
}

TEST_F(NetFraming, LabyrinthRecordsBecomeBlocksInOrder) {
    Bytes reply = labyrinthHead(3, 12 + 88 * 3);
    Bytes body = records(3);
    reply.insert(reply.end(), body.begin(), body.end());
    FakeServer server(answerLabyrinth(reply));
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    List<WallBlock> blocks;
    ASSERT_EQ(NetFetchLabyrinth(blocks), 1);
    ASSERT_EQ(blocks.count(), 3);
    int i = 0;
    for (WallBlock* b = blocks.first(); b; b = blocks.next(), ++i) {
        proto::BlockRecord r = record(i + 1, i % 8);
        EXPECT_EQ(b->id(), r.id);
        EXPECT_EQ(b->item(), r.item);
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(b->baseCorner(c), Vector3(r.x[c], r.y[c], r.z[c]));
    }
}

TEST_F(NetFraming, BadLabyrinthCountsAreRefusedAndLeaveTheListEmpty) {
    struct Case {
        int32_t n;
        uint32_t length;
    };
    for (Case c : {Case{-1, uint32_t(12 - 88)}, Case{-1, 12}, Case{955, 12 + 88 * 955},
                   Case{INT_MAX, 12}, Case{2, 12 + 88 * 3}}) {
        FakeServer server(answerLabyrinth(labyrinthHead(c.n, c.length)));
        ASSERT_EQ(NetConnect("127.0.0.1"), 1);
        List<WallBlock>* blocks = listWithOneBlock();
        EXPECT_EQ(NetFetchLabyrinth(*blocks), 0) << c.n;
        EXPECT_EQ(blocks->count(), 0) << c.n;
        EXPECT_EQ(NetIsConnected(), 0) << c.n;
        delete blocks;
    }
}

TEST_F(NetFraming, LabyrinthCutShortLeavesTheListEmpty) {
    NetSetReceiveTimeout(150);
    Bytes reply = labyrinthHead(4, 12 + 88 * 4);
    Bytes body = records(4);
    reply.insert(reply.end(), body.begin(), body.begin() + 88 * 2 + 40);
    for (bool closes : {true, false}) {
        FakeServer server(answerLabyrinth(reply, closes));
        ASSERT_EQ(NetConnect("127.0.0.1"), 1);
        List<WallBlock>* blocks = listWithOneBlock();
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(NetFetchLabyrinth(*blocks), 0);
        EXPECT_LT(elapsedMs(start), 2000);
        EXPECT_EQ(blocks->count(), 0) << (closes ? "closed" : "silent");
        NetClose();
        delete blocks;
    }
}

TEST_F(NetFraming, LabyrinthWithAnUnknownItemIsRefusedWhole) {
    Bytes reply = labyrinthHead(2, 12 + 88 * 2);
    Bytes body = records(2);
    proto::putI32(body.data() + 88 + 4, 8);
    reply.insert(reply.end(), body.begin(), body.end());
    FakeServer server(answerLabyrinth(reply));
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    List<WallBlock> blocks;
    EXPECT_EQ(NetFetchLabyrinth(blocks), 0);
    EXPECT_EQ(blocks.count(), 0);
    EXPECT_EQ(NetIsConnected(), 1) << "the framing is intact";
}

TEST_F(NetFraming, MessagesAheadOfTheLabyrinthAreSetAside) {
    Bytes ahead(proto::kVehicleMoveSize);
    proto::VehicleMove move;
    move.playerId = 5;
    move.position = Vector3(0, 0.6, 0.8);
    proto::encodeVehicleMove(ahead.data(), move);
    Bytes reply = ahead;
    Bytes head = labyrinthHead(1, 12 + 88);
    Bytes body = records(1);
    reply.insert(reply.end(), head.begin(), head.end());
    reply.insert(reply.end(), body.begin(), body.end());
    FakeServer server(answerLabyrinth(reply));
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    List<WallBlock> blocks;
    ASSERT_EQ(NetFetchLabyrinth(blocks), 1);
    EXPECT_EQ(blocks.count(), 1);
    EXPECT_EQ(NetPoll(), 1);
    uint8_t buffer[proto::kPlayerInfoSize];
    ASSERT_EQ(NetReceiveMessage(buffer, sizeof buffer), 1);
    proto::VehicleMove got;
    ASSERT_TRUE(proto::decodeVehicleMove(buffer, 64, &got));
    EXPECT_EQ(got.playerId, 5);
    EXPECT_EQ(got.position, move.position);
    EXPECT_EQ(NetPoll(), 0);
}

TEST_F(NetFraming, JoinSkipsWhatArrivesAheadOfTheReply) {
    FakeServer server([](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        Bytes join = readBytes(fd, proto::kJoinSize);
        proto::PlayerInfo info;
        if (!proto::decodePlayerInfo(join.data(), join.size(), &info)) return;
        if (std::strcmp(info.nick, "tester") != 0) return;
        Bytes out = idMessage(proto::kPlayerLeft, 0);
        Bytes reply(proto::kJoinReplySize);
        proto::JoinReply r;
        r.accepted = 1;
        r.playerId = 9;
        r.colour[0] = 0.25;
        r.colour[1] = 0.5;
        r.colour[2] = 0.125;
        proto::encodeJoinReply(reply.data(), r);
        out.insert(out.end(), reply.begin(), reply.end());
        sendAll(fd, out);
        s.waitClosed(fd);
    });
    std::strcpy(nickName, "tester");
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    int32_t accepted = 0, id = 0;
    double colour[3] = {0, 0, 0};
    ASSERT_EQ(NetJoin(&accepted, &id, colour), 1);
    EXPECT_EQ(accepted, 1);
    EXPECT_EQ(id, 9);
    EXPECT_EQ(colour[0], 0.25);
    EXPECT_EQ(colour[1], 0.5);
    EXPECT_EQ(colour[2], 0.125);
}

TEST_F(NetFraming, JoinWithoutAnAnswerReportsNotAccepted) {
    NetSetReceiveTimeout(150);
    FakeServer server([](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        s.waitClosed(fd);
    });
    ASSERT_EQ(NetConnect("127.0.0.1"), 1);
    int32_t accepted = 5, id = 5;
    double colour[3] = {1, 1, 1};
    EXPECT_EQ(NetJoin(&accepted, &id, colour), 1);
    EXPECT_EQ(accepted, 0);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(colour[2], 0.0);
}
