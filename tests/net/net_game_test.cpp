// A game joined to the real server: what the local player does is announced to another member,
// and what the other member announces is applied to this game by its tick.
#include <gtest/gtest.h>
#include <unistd.h>

#include "bomb.h"
#include "clock.h"
#include "support/fake_clock.h"
#include "game.h"
#include "globals.h"
#include "net_support.h"
#include "notices.h"
#include "platform.h"
#include "round.h"
#include "vehicle.h"
#include "wall_block.h"
#include "world.h"

using namespace nettest;

namespace {

using testclock::now;

// The other member of the game, speaking the protocol over a raw socket.
class Peer {
  public:
    bool joinAs(const char* nick) {
        fd = connectRaw();
        if (fd < 0 || readBytes(fd, proto::kWelcomeSize).size() != proto::kWelcomeSize)
            return false;
        uint8_t m[proto::kJoinSize];
        sendAll(fd, m, proto::encodeJoin(m, nick));
        Bytes reply = next(proto::kJoinReply);
        proto::JoinReply r;
        if (!proto::decodeJoinReply(reply.data(), reply.size(), &r)) return false;
        id = r.playerId;
        return r.accepted == 1;
    }
    // The next message of the given type, skipping others; empty after 3 s without one.
    Bytes next(uint32_t type) {
        for (;;) {
            Bytes head = readBytes(fd, proto::kHeaderSize);
            if (head.size() != proto::kHeaderSize) return {};
            proto::Header h;
            proto::decodeHeader(head.data(), head.size(), &h);
            Bytes rest = readBytes(fd, h.length - proto::kHeaderSize);
            head.insert(head.end(), rest.begin(), rest.end());
            if (h.type == type) return head;
        }
    }
    void send(const uint8_t* m, size_t n) { sendAll(fd, m, n); }
    ~Peer() {
        if (fd >= 0) close(fd);
    }
    int fd = -1;
    int32_t id = 0;
};

class NetGame : public NetTest {
  protected:
    void SetUp() override {
        NetTest::SetUp();
        ASSERT_TRUE(server.running());
        platform = PlatformHooks();
        now = 9000000;
        setClock(testclock::read);
        ASSERT_EQ(NetConnect("127.0.0.1"), 1);
        int32_t accepted = 0, id = 0;
        double colour[3];
        ASSERT_EQ(NetJoin(&accepted, &id, colour), 1);
        ASSERT_EQ(accepted, 1);
        ASSERT_TRUE(peer.joinAs("PEER"));
        game = new Game;
        gGame = game;
        game->setLocalPlayerId(id);
        lobbyList.clear();
        LobbyEntry* e = new LobbyEntry;
        e->playerId = peer.id;
        copyText(e->nick, "PEER", sizeof e->nick);
        lobbyList.append(e);
        clearNotices();
        NetStartGame();
        game->enter(0);
        ASSERT_FALSE(peer.next(proto::kStartGame).empty());
    }
    void TearDown() override {
        delete game;
        gGame = nullptr;
        lobbyList.clear();
        setClock(nullptr);
        gameMode = 0;
        screenState = 1;
        NetTest::TearDown();
    }
    // Ticks until the tick has applied what the peer sent (bounded).
    template <typename Done> bool tickUntil(Done done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            usleep(2000);
            game->tick();
        }
        return done();
    }
    Vehicle* opponent() { return game->opponents->count() ? game->opponents->first() : nullptr; }

    ServerProcess server;
    Peer peer;
    Game* game = nullptr;
};

} // namespace

TEST_F(NetGame, TheServersLabyrinthIsBuilt) {
    EXPECT_EQ(gameMode, 2);
    EXPECT_GT(game->world->blocks().count(), 0);
    EXPECT_EQ(game->world->blocks().first()->id(), 1);
    ASSERT_NE(opponent(), nullptr);
    EXPECT_EQ(opponent()->id(), peer.id);
    EXPECT_EQ(opponent()->drawnWhileCloaked(), 0);
}

TEST_F(NetGame, TheStartPlaceIsAnnouncedWhenTheGoPictureEnds) {
    Vehicle* car = game->localVehicle;
    for (int i = 0; i < 39; ++i)
        game->tick();
    game->tick();
    Bytes m = peer.next(proto::kVehicleMove);
    proto::VehicleMove move;
    ASSERT_TRUE(proto::decodeVehicleMove(m.data(), m.size(), &move));
    EXPECT_EQ(move.playerId, car->id());
    EXPECT_EQ(move.position, car->position());
    EXPECT_EQ(game->startTicks, 40);
}

TEST_F(NetGame, LocalEventsAreAnnounced) {
    Vehicle* car = game->localVehicle;
    game->world->blocks().clear();
    game->turnInput = 4;
    game->tick();
    game->turnInput = 0;
    Bytes m = peer.next(proto::kVehicleMove);
    proto::VehicleMove move;
    ASSERT_TRUE(proto::decodeVehicleMove(m.data(), m.size(), &move));
    EXPECT_EQ(move.playerId, car->id());
    EXPECT_EQ(move.position, car->position());
    EXPECT_EQ(move.heading, car->heading());

    car->pickUpItem(kItemCloak);
    m = peer.next(proto::kCloakState);
    proto::CloakState cloak;
    ASSERT_TRUE(proto::decodeCloakState(m.data(), m.size(), &cloak));
    EXPECT_EQ(cloak.cloak, 1u);

    game->dropBomb();
    m = peer.next(proto::kBombDropped);
    proto::BombDropped drop;
    ASSERT_TRUE(proto::decodeBombDropped(m.data(), m.size(), &drop));
    Bomb* bomb = game->bombs->first();
    EXPECT_EQ(drop.owner, car->id());
    EXPECT_EQ(drop.number, bomb->number());
    EXPECT_EQ(drop.dropPoint, car->position() * 102.0);

    // A wall under the bomb's first flame, an item under the car.
    Vector3 flame = *bomb->flameCentres(1).first();
    Vector3 up = flame;
    up.normalize();
    Vector3 t1 = up.cross(Vector3(0.3, 0.4, 0.5));
    t1.normalize();
    Vector3 t2 = up.cross(t1);
    WallBlock* wall = new WallBlock(up * 100.0 - t1 * 3.0 - t2 * 3.0,
                                    up * 100.0 + t1 * 3.0 - t2 * 3.0, up * 100.0 + t2 * 3.0, 6.0);
    wall->setId(501);
    game->world->blocks().append(wall);
    ASSERT_TRUE(wall->contains(flame));
    car->setPosition(Vector3(0, 0, -1)); // out of the flames
    car->updateOrientation();
    now += 3000;
    game->tick();
    m = peer.next(proto::kBombExploded);
    proto::BombExploded boom;
    ASSERT_TRUE(proto::decodeBombExploded(m.data(), m.size(), &boom));
    EXPECT_EQ(boom.number, drop.number);
    m = peer.next(proto::kBlockDestroyed);
    int32_t id = 0;
    ASSERT_TRUE(proto::decodeIdMessage(m.data(), m.size(), proto::kBlockDestroyed, &id));
    EXPECT_EQ(id, 501);

    wall->setItem(kItemSpeed);
    car->setPosition(up);
    car->updateOrientation();
    game->tick();
    m = peer.next(proto::kItemTaken);
    ASSERT_TRUE(proto::decodeIdMessage(m.data(), m.size(), proto::kItemTaken, &id));
    EXPECT_EQ(id, 501);

    car->setEnergy(0);
    m = peer.next(proto::kPlayerDead);
    ASSERT_TRUE(proto::decodeIdMessage(m.data(), m.size(), proto::kPlayerDead, &id));
    EXPECT_EQ(id, car->id());
}

TEST_F(NetGame, TheOtherMembersEventsAreApplied) {
    uint8_t m[128];
    proto::VehicleMove move;
    move.playerId = peer.id;
    move.position = Vector3(0, 1, 0);
    move.heading = Vector3(0, 0, 1);
    peer.send(m, proto::encodeVehicleMove(m, move));
    ASSERT_TRUE(tickUntil([&] { return opponent()->position() == Vector3(0, 1, 0); }));
    EXPECT_EQ(opponent()->heading(), Vector3(0, 0, 1));

    proto::CloakState cloak;
    cloak.playerId = peer.id;
    cloak.cloak = 1;
    peer.send(m, proto::encodeCloakState(m, cloak));
    ASSERT_TRUE(tickUntil([&] { return opponent()->cloak() == 1; }));

    proto::BombDropped drop;
    drop.owner = peer.id;
    drop.number = 17;
    drop.range = 3;
    drop.dropPoint = Vector3(0, 102, 0);
    drop.heading = Vector3(0, 0, 1);
    peer.send(m, proto::encodeBombDropped(m, drop));
    ASSERT_TRUE(tickUntil([&] { return game->bombs->count() == 1; }));
    Bomb* copy = game->bombs->first();
    EXPECT_EQ(copy->number(), 17);
    EXPECT_EQ(copy->remote(), 1);
    now += 10000;
    game->tick();
    EXPECT_FALSE(copy->exploded()) << "a copy waits for its owner's word";
    proto::BombExploded boom{peer.id, 17};
    peer.send(m, proto::encodeBombExploded(m, boom));
    ASSERT_TRUE(tickUntil([&] { return copy->exploded() == 1; }));

    WallBlock* block = game->world->blocks().first();
    block->setItem(kItemBomb);
    peer.send(m, proto::encodeIdMessage(m, proto::kBlockDestroyed, block->id()));
    ASSERT_TRUE(tickUntil([&] { return block->state() == 1; }));
    peer.send(m, proto::encodeIdMessage(m, proto::kItemTaken, block->id()));
    ASSERT_TRUE(tickUntil([&] { return block->item() == 0; }));

    drop.number = 18;
    peer.send(m, proto::encodeBombDropped(m, drop));
    ASSERT_TRUE(tickUntil([&] { return game->bombs->count() == 2; }));
    Bomb* second = game->bombs->get(1);
    EXPECT_FALSE(second->exploded());
    peer.send(m, proto::encodeIdMessage(m, proto::kPlayerDead, peer.id));
    ASSERT_TRUE(tickUntil([&] { return game->opponents->count() == 0; }));
    EXPECT_TRUE(second->exploded()) << "a dead player's remote bombs go off";
}

namespace {
int returns = 0;
void countReturn() {
    ++returns;
}
} // namespace

TEST_F(NetGame, WhoLeavesIsToldAndTheDecidedGameReturnsToTheFrontEndByItself) {
    returns = 0;
    roundReturn = countReturn;
    uint8_t m[proto::kIdMessageSize];
    peer.send(m, proto::encodeIdMessage(m, proto::kLeaveGame, peer.id));
    ASSERT_TRUE(tickUntil([&] { return game->opponents->count() == 0; }));
    ASSERT_EQ(noticeCount(), 1);
    EXPECT_STREQ(noticeText(0), "PEER LEFT THE GAME");
    EXPECT_EQ(roundDecidedTicks(), 0) << "one car is left: decided";
    for (int i = 1; i < kRoundResultTicks; ++i)
        game->tick();
    EXPECT_EQ(screenState, 2) << "the result picture shows for a while";
    game->tick();
    EXPECT_EQ(screenState, 1);
    EXPECT_EQ(returns, 1);
    EXPECT_EQ(NetIsConnected(), 1);
    roundReturn = nullptr;
}

TEST_F(NetGame, ALostServerIsToldAndTheGameLeftInsteadOfPlayedAlone) {
    returns = 0;
    roundReturn = countReturn;
    server.stop();
    ASSERT_TRUE(tickUntil([] { return roundServerLost(); }));
    EXPECT_STREQ(noticeText(noticeCount() - 1), "SERVER LOST");
    EXPECT_EQ(NetIsConnected(), 0);
    for (int i = 0; i < kRoundLostTicks && screenState == 2; ++i)
        game->tick();
    EXPECT_EQ(screenState, 1);
    EXPECT_EQ(returns, 1);
    roundReturn = nullptr;
}

TEST(NetRound, ACarThatNeverHadAnOpponentDrivesOnAlone) {
    platform = PlatformHooks();
    Game game;
    gameMode = 2;
    screenState = 2;
    roundReset();
    for (int i = 0; i < kRoundResultTicks + 10; ++i)
        game.tick();
    EXPECT_EQ(screenState, 2);
    EXPECT_EQ(roundDecidedTicks(), -1);
    game.localVehicle->setEnergy(0);
    game.tick();
    EXPECT_EQ(roundDecidedTicks(), 0) << "hit out by its own bomb: decided";
    gameMode = 0;
    screenState = 1;
}
