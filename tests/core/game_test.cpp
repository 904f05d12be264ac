// A whole game without graphics: start, tick, keys' inputs, pick-up and message dispatch.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bomb.h"
#include "game.h"
#include "globals.h"
#include "planet_mesh.h"
#include "platform.h"
#include "protocol.h"
#include "random.h"
#include "vehicle.h"
#include "wall_block.h"
#include "world.h"

namespace {

const double kPi = 3.141592653589793;

std::vector<int> samples;
void recordSample(int n) {
    samples.push_back(n);
}

Vector3 meshVertex(int i) {
    return Vector3(planetVertices[i][0], planetVertices[i][1], planetVertices[i][2]);
}

// The mesh triangle whose block would contain p, as a new intact block with height divisor 6.
WallBlock* blockUnder(Vector3 p) {
    for (int t = 0; t < kPlanetTriangleCount; ++t) {
        WallBlock* b =
            new WallBlock(meshVertex(planetTriangles[t][0]), meshVertex(planetTriangles[t][1]),
                          meshVertex(planetTriangles[t][2]), 6.0);
        if (b->contains(p)) return b;
        delete b;
    }
    return nullptr;
}

// Unit vector through the centroid of mesh triangle t.
Vector3 centreOf(int t) {
    Vector3 c = meshVertex(planetTriangles[t][0]) + meshVertex(planetTriangles[t][1]) +
                meshVertex(planetTriangles[t][2]);
    c.normalize();
    return c;
}

double angleBetween(Vector3 a, Vector3 b) {
    double c = a.dot(b) / (a.length() * b.length());
    if (c > 1) c = 1;
    return std::acos(c) * 180.0 / kPi;
}

class GameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform = PlatformHooks();
        platform.playSample = recordSample;
        samples.clear();
        lobbyList.clear();
        game = new Game;
        gGame = game;
        gameMode = 1;
        screenState = 2;
    }
    void TearDown() override {
        delete game;
        gGame = nullptr;
        lobbyList.clear();
        platform = PlatformHooks();
        setRandomSource(nullptr);
    }
    // Starts single player on an empty planet with the car at a known place.
    void startEmptyAt(Vector3 position, Vector3 heading) {
        game->start(1);
        game->world->blocks().clear();
        game->localVehicle->setPosition(position);
        game->localVehicle->setHeading(heading);
        game->localVehicle->updateOrientation();
    }
    Game* game = nullptr;
};

} // namespace

TEST_F(GameTest, EnteringSinglePlayerMakesThreeTargetsAndResetsTheCar) {
    for (int id = 2; id <= 4; ++id) {
        LobbyEntry* e = new LobbyEntry;
        e->playerId = id;
        copyText(e->nick, "CPU", sizeof e->nick);
        lobbyList.append(e);
    }
    game->setLocalPlayerId(1);
    game->enter(1);
    EXPECT_EQ(screenState, 2);
    EXPECT_EQ(gameMode, 1);
    ASSERT_EQ(game->opponents->count(), 3);
    int id = 2;
    for (Vehicle* v = game->opponents->first(); v; v = game->opponents->next(), ++id) {
        EXPECT_EQ(v->id(), id);
        EXPECT_EQ(v->drawnWhileCloaked(), 1);
        EXPECT_NEAR(v->position().length(), 1.0, 1e-12);
        if (game->opponents->atEnd()) break;
    }
    EXPECT_EQ(game->localPlayerId(), 1);
    EXPECT_GT(game->world->blocks().count(), 0);
    Vehicle* car = game->localVehicle;
    EXPECT_TRUE(game->world->isFree(car->position() * 100.0, car->heading(), game->camera->view()))
        << "the car starts inside a wall";
}

TEST_F(GameTest, SecondStartResetsEveryCounter) {
    game->start(1);
    Vehicle* car = game->localVehicle;
    car->pickUpItem(kItemBomb);
    car->pickUpItem(kItemRange);
    car->pickUpItem(kItemRemoteControl);
    car->pickUpItem(kItemCloak);
    car->pickUpItem(kItemSpeed);
    car->setEnergy(2);
    game->startTicks = 40;
    game->endTicks = 17;
    game->turnInput = 4;
    game->moveInput = -1;
    game->bombs->append(new Bomb(car->position() * 102.0, car->heading(), 1, 3, 0));
    game->addOpponent(9, 0.1, 0.2, 0.3, 0);
    game->end();
    EXPECT_EQ(game->opponents->count(), 0);
    EXPECT_EQ(game->bombs->count(), 0);
    game->start(1);
    EXPECT_EQ(car->bombsAvailable(), 3);
    EXPECT_EQ(car->bombCapacity(), 3);
    EXPECT_EQ(car->flameRange(), 3);
    EXPECT_EQ(car->energy(), 5);
    EXPECT_EQ(car->speed(), 3);
    EXPECT_EQ(car->remoteControl(), 0);
    EXPECT_EQ(car->cloak(), 0);
    EXPECT_EQ(game->startTicks, 0);
    EXPECT_EQ(game->endTicks, 0);
    EXPECT_EQ(game->turnInput, 0);
    EXPECT_EQ(game->moveInput, 0);
}

TEST_F(GameTest, HoldingLeftTurnsFourDegreesPerTick) {
    startEmptyAt(Vector3(0, 0, 1), Vector3(0, 1, 0));
    game->turnInput = -4;
    Vector3 before = game->localVehicle->heading();
    game->tick();
    EXPECT_NEAR(angleBetween(before, game->localVehicle->heading()), 4.0, 1e-9);
    for (int i = 0; i < 24; ++i)
        game->tick();
    EXPECT_NEAR(angleBetween(before, game->localVehicle->heading()), 100.0, 1e-6);
    EXPECT_NEAR(game->localVehicle->position().z, 1.0, 1e-12) << "turning does not move the car";
}

TEST_F(GameTest, DrivingMovesOneAndAHalfDegreesPerTickAndStopsAtAWall) {
    Vector3 start = centreOf(400);
    Vector3 heading = start.cross(Vector3(0, 1, 0));
    heading.normalize();
    startEmptyAt(start, heading);
    game->moveInput = -1;
    game->tick();
    EXPECT_NEAR(angleBetween(start, game->localVehicle->position()), 1.5, 1e-9);

    // A wall 12 degrees further on.
    Vector3 ahead = game->localVehicle->position();
    ahead.rotateAround(-12.0 * kPi / 180.0, heading);
    WallBlock* wall = blockUnder(ahead * 100.0);
    ASSERT_NE(wall, nullptr);
    game->world->blocks().append(wall);
    for (int i = 0; i < 40; ++i)
        game->tick();
    Vector3 p = game->localVehicle->position();
    EXPECT_LT(angleBetween(start, p), 12.0) << "drove through the wall";
    EXPECT_TRUE(game->world->isFree(p * 100.0, heading, game->camera->view()));
    Vector3 next = p;
    next.rotateAround(-1.5 * kPi / 180.0, heading);
    EXPECT_FALSE(game->world->isFree(next * 100.0, heading, game->camera->view()))
        << "stopped although the way was free";
}

TEST_F(GameTest, AnItemUnderTheCarIsTakenOnce) {
    Vector3 place = centreOf(300);
    Vector3 heading = Vector3(0, 1, 0).cross(place);
    heading.normalize();
    startEmptyAt(place, heading);
    WallBlock* b = blockUnder(place * 100.0);
    ASSERT_NE(b, nullptr);
    b->setId(7);
    b->setItem(kItemRange);
    b->setState(1);
    game->world->blocks().append(b);
    game->tick();
    EXPECT_EQ(b->item(), 0);
    EXPECT_EQ(game->localVehicle->flameRange(), 4);
    EXPECT_EQ(samples.back(), kSampleItemPickup);
    game->tick();
    EXPECT_EQ(game->localVehicle->flameRange(), 4);
}

TEST_F(GameTest, AnIntactBlockHidesItsItem) {
    Vector3 place = centreOf(200);
    Vector3 heading = place.cross(Vector3(0, 0, 1));
    heading.normalize();
    startEmptyAt(place, heading);
    WallBlock* b = blockUnder(place * 100.0);
    ASSERT_NE(b, nullptr);
    b->setItem(kItemSpeed);
    game->world->blocks().append(b);
    game->tick();
    EXPECT_EQ(b->item(), kItemSpeed);
    EXPECT_EQ(game->localVehicle->speed(), 3);
}

TEST_F(GameTest, MessagesFromOtherPlayersAreApplied) {
    gameMode = 2;
    game->start(1);
    game->addOpponent(5, 0.2, 0.2, 0.2, 0);
    game->addOpponent(6, 0.3, 0.3, 0.3, 0);
    uint8_t buf[128];

    proto::VehicleMove move;
    move.playerId = 5;
    move.position = Vector3(0, 1, 0);
    move.heading = Vector3(1, 0, 0);
    size_t n = proto::encodeVehicleMove(buf, move);
    game->dispatch(buf, n);
    Vehicle* five = game->opponents->get(0);
    EXPECT_EQ(five->position(), Vector3(0, 1, 0));
    EXPECT_EQ(five->heading(), Vector3(1, 0, 0));
    EXPECT_NE(five->footprintA()[0], Vector3()) << "orientation not recomputed";

    proto::CloakState cloak;
    cloak.playerId = 6;
    cloak.cloak = 1;
    n = proto::encodeCloakState(buf, cloak);
    game->dispatch(buf, n);
    EXPECT_EQ(game->opponents->get(1)->cloak(), 1);

    WallBlock* b = blockUnder(centreOf(10) * 100.0);
    ASSERT_NE(b, nullptr);
    b->setId(42);
    b->setItem(kItemBomb);
    game->world->blocks().clear();
    game->world->blocks().append(b);
    n = proto::encodeIdMessage(buf, proto::kBlockDestroyed, 42);
    game->dispatch(buf, n);
    EXPECT_EQ(b->state(), 1);
    n = proto::encodeIdMessage(buf, proto::kItemTaken, 42);
    game->dispatch(buf, n);
    EXPECT_EQ(b->item(), 0);

    n = proto::encodeIdMessage(buf, proto::kPlayerDead, 5);
    game->dispatch(buf, n);
    ASSERT_EQ(game->opponents->count(), 1);
    EXPECT_EQ(game->opponents->get(0)->id(), 6);
    n = proto::encodeIdMessage(buf, proto::kPlayerLeft, 99);
    game->dispatch(buf, n);
    EXPECT_EQ(game->opponents->count(), 1);
    n = proto::encodeIdMessage(buf, proto::kPlayerLeft, 6);
    game->dispatch(buf, n);
    EXPECT_EQ(game->opponents->count(), 0);
}

TEST_F(GameTest, MalformedMessagesChangeNothing) {
    game->start(1);
    game->addOpponent(5, 0.2, 0.2, 0.2, 0);
    uint8_t buf[128] = {};
    size_t n = proto::encodeIdMessage(buf, proto::kPlayerLeft, 5);
    game->dispatch(buf, n - 1);
    game->dispatch(buf, 3);
    proto::putU32(buf + 4, 200);
    game->dispatch(buf, n);
    EXPECT_EQ(game->opponents->count(), 1);

    proto::BombDropped drop;
    drop.owner = 5;
    drop.number = 1;
    drop.range = 2000000000;
    drop.dropPoint = Vector3(0, 0, 102);
    drop.heading = Vector3(0, 1, 0);
    n = proto::encodeBombDropped(buf, drop);
    game->dispatch(buf, n);
    ASSERT_EQ(game->bombs->count(), 1);
    EXPECT_EQ(game->bombs->get(0)->range(), 8) << "a hostile range is held to the largest real one";
    EXPECT_EQ(game->bombs->get(0)->remote(), 1);
}
