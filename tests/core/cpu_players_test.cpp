// Computer opponents in a real single-player game without graphics: parked ones stay put, driving
// ones hunt, bomb and survive their own bombs, a forced escape where the quick way out is fatal,
// no bomb without a way out, the same seeds replay the same match, a cloak hides the player but
// not a computer car close by, and no stand-off lasts forever.
#include <gtest/gtest.h>

#include <vector>

#include "bomb.h"
#include "clock.h"
#include "cpu_players.h"
#include "driving.h"
#include "game.h"
#include "globals.h"
#include "planet_graph.h"
#include "planet_mesh.h"
#include "platform.h"
#include "random.h"
#include "support/fake_clock.h"
#include "vehicle.h"
#include "wall_block.h"
#include "world.h"

namespace {

Vector3 meshCorner(int t, int k) {
    const double* v = planetVertices[planetTriangles[t][k]];
    return Vector3(v[0], v[1], v[2]);
}

class ComputerOpponents : public ::testing::Test {
  protected:
    void SetUp() override {
        platform = PlatformHooks();
        testclock::now = 1000000;
        setClock(testclock::read);
        useSeededRandom(4242);
        bombCounter = 1;
        game = new Game;
        gGame = game;
        game->setLocalPlayerId(1);
    }
    void TearDown() override {
        game->end();
        delete game;
        gGame = nullptr;
        lobbyList.clear();
        opponentLevel = kCpuParked;
        setClock(nullptr);
        setRandomSource(nullptr);
        gameMode = 0;
        screenState = 1;
    }

    void start(int32_t level, int32_t opponents = 3) {
        opponentLevel = level;
        for (int32_t id = 2; id < 2 + opponents; ++id) {
            LobbyEntry* e = new LobbyEntry;
            e->playerId = id;
            lobbyList.append(e);
        }
        game->enter(1);
        lobbyList.clear();
    }
    // Blocks on exactly the triangles marked, and minds that know it.
    void rebuildWalls(const std::vector<bool>& walled) {
        game->world->blocks().clear();
        int32_t id = 1;
        for (int t = 0; t < kPlanetTriangleCount; ++t) {
            if (!walled[t]) continue;
            WallBlock* b = new WallBlock(meshCorner(t, 0), meshCorner(t, 1), meshCorner(t, 2), 6.0);
            b->setId(id++);
            game->world->blocks().append(b);
        }
        game->computer->start(*game, opponentLevel);
    }
    void run(int ms) {
        for (int t = 0; t < ms; t += 40) {
            testclock::now += 40;
            game->tick();
        }
    }
    Vehicle* opponent(int32_t id) {
        for (int32_t i = 0; i < game->opponents->count(); ++i)
            if (game->opponents->get(i)->id() == id) return game->opponents->get(i);
        return nullptr;
    }
    static void place(Vehicle* v, Vector3 p, Vector3 h) {
        v->setPosition(p);
        v->setHeading(h);
        v->updateOrientation();
    }
    int32_t dropsBy(int32_t id) {
        auto d = game->computer->tally().bombsDropped.find(id);
        return d == game->computer->tally().bombsDropped.end() ? 0 : d->second;
    }
    // A bomb of the (dead) local player at unit position p, its fuse run down to fuseLeft ms.
    Bomb* bombAt(Vector3 p, Vector3 h, int64_t fuseLeft) {
        int64_t now = testclock::now;
        testclock::now = now - (3000 - fuseLeft);
        Bomb* b = new Bomb(p * 102.0, h, 1, 3, 0);
        testclock::now = now;
        game->bombs->append(b);
        return b;
    }

    Game* game = nullptr;
};

} // namespace

TEST_F(ComputerOpponents, ParkedOpponentsStayWhereTheyStart) {
    start(kCpuParked);
    EXPECT_FALSE(game->computer->active());
    std::vector<Vector3> before;
    for (int32_t i = 0; i < game->opponents->count(); ++i)
        before.push_back(game->opponents->get(i)->position());
    run(5000);
    for (int32_t i = 0; i < game->opponents->count(); ++i)
        EXPECT_EQ(game->opponents->get(i)->position(), before[i]);
    EXPECT_EQ(game->bombs->count(), 0);
}

TEST_F(ComputerOpponents, HardOpponentsDriveBombAndOutliveTheirOwnBombs) {
    start(kCpuHard);
    ASSERT_TRUE(game->computer->active());
    std::vector<Vector3> before;
    for (int32_t i = 0; i < game->opponents->count(); ++i)
        before.push_back(game->opponents->get(i)->position());
    double longest = 0.0;
    for (int second = 0; second < 120 && game->localVehicle->energy() == 5; ++second) {
        run(1000);
        for (int32_t i = 0; i < game->opponents->count() && i < 3; ++i)
            longest = std::max(longest, (game->opponents->get(i)->position() - before[i]).length());
    }
    EXPECT_GT(longest * 100.0, 40.0) << "a computer car drove across the planet";
    int32_t dropped = 0;
    for (const auto& d : game->computer->tally().bombsDropped)
        dropped += d.second;
    EXPECT_GE(dropped, 6);
    for (const auto& k : game->computer->tally().kills)
        EXPECT_NE(k.first.first, k.first.second) << "car " << k.first.first << " killed itself";
    EXPECT_LT(game->localVehicle->energy(), 5) << "the player standing still was hunted down";
}

TEST_F(ComputerOpponents, FleeBackwardsWhenAheadLiesBurningFlames) {
    // The car stands on a bomb about to go off; ahead of it flames already burn. Driving on is
    // fatal, turning takes too long; reversing through the gap between two strips is the way out.
    auto setUpScene = [this](int32_t level) {
        start(level, 1);
        rebuildWalls(std::vector<bool>(kPlanetTriangleCount, false));
        game->localVehicle->setEnergy(0);
        game->bombs->clear();
        Vehicle* car = opponent(2);
        const Vector3 p(1, 0, 0), h(0, 1, 0);
        place(car, p, h);
        Vector3 ahead = p;
        ahead.rotateAround(-0.2, h);
        bombAt(p, h, 1000);
        bombAt(ahead, h, 0)->explode();
        return car;
    };
    Vehicle* car = setUpScene(kCpuParked);
    for (int t = 0; t < 30; ++t) {
        testclock::now += 40;
        steerVehicle(*game->world, *car, 0, -1, overheadView(car->position()));
        game->updateBombs();
        game->applyFlameEffects();
    }
    EXPECT_EQ(opponent(2) ? opponent(2)->energy() : 0, 4) << "driving on is fatal";
    game->end();

    car = setUpScene(kCpuHard);
    run(3500);
    ASSERT_EQ(opponent(2), car);
    EXPECT_EQ(car->energy(), 5);
    EXPECT_LT(car->position().z, -0.05) << "the car reversed away from the flames";
}

TEST_F(ComputerOpponents, NoBombWithoutAWayOutButOneInTheOpen) {
    start(kCpuHard, 1);
    Vehicle* car = opponent(2);
    PlanetGraph graph;
    const Vector3 p(0.6, 0.0, 0.8);
    const int pocket = graph.nodeAt(p);
    std::vector<bool> walled(kPlanetTriangleCount, false);
    for (int t = 0; t < kPlanetTriangleCount; ++t)
        walled[t] = (graph.centre(t) - graph.centre(pocket)).length() * 100.0 < 45.0;
    walled[pocket] = false;
    for (int n : graph.neighbours(pocket))
        if (n < kPlanetTriangleCount) walled[n] = false;
    rebuildWalls(walled);
    const Vector3 c = graph.centre(pocket);
    const Vector3 h = c.cross(Vector3(0, 1, 0)).normalize();
    place(car, c, h);
    // The player waits in the flames' way, inside the same pocket.
    place(game->localVehicle, graph.centre(graph.neighbours(pocket)[0]), h);
    run(3000);
    EXPECT_EQ(dropsBy(2), 0) << "a bomb in a pocket would take its dropper with it";

    rebuildWalls(std::vector<bool>(kPlanetTriangleCount, false));
    place(car, c, h);
    place(game->localVehicle, graph.centre(graph.neighbours(pocket)[0]), h);
    game->localVehicle->setEnergy(5);
    run(1000);
    EXPECT_GE(dropsBy(2), 1) << "in the open the same bomb is dropped";
    run(6000);
    EXPECT_EQ(car->energy(), 5) << "and its dropper got away";
}

TEST_F(ComputerOpponents, TheSameSeedsReplayTheSameMatch) {
    auto play = [this]() {
        useSeededRandom(777);
        testclock::now = 1000000;
        bombCounter = 1;
        start(kCpuHard);
        game->localVehicle->setEnergy(0);
        run(30000);
        std::vector<Vector3> where;
        for (int32_t i = 0; i < game->opponents->count(); ++i)
            where.push_back(game->opponents->get(i)->position());
        where.push_back(Vector3(game->bombs->count(), game->opponents->count(), 0));
        game->end();
        return where;
    };
    std::vector<Vector3> first = play();
    std::vector<Vector3> second = play();
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(first[i], second[i]) << "entry " << i;
}

TEST_F(ComputerOpponents, ACloakHidesThePlayerButNotAComputerCarNearby) {
    start(kCpuHard, 2);
    rebuildWalls(std::vector<bool>(kPlanetTriangleCount, false));
    game->computer->setMindLevel(3, kCpuParked);
    Vehicle* hunter = opponent(2);
    Vehicle* hidden = opponent(3);
    const Vector3 h(0, 1, 0);
    Vector3 near(1, 0, 0);
    near.rotateAround(0.25, h);
    Vector3 far(1, 0, 0);
    far.rotateAround(-0.25, h);
    place(hunter, Vector3(1, 0, 0), h);
    place(hidden, near, h);
    place(game->localVehicle, far, h);
    hidden->setCloak(1);
    game->localVehicle->setCloak(1);
    run(10000);
    EXPECT_LT(hidden->energy(), 5) << "the cloaked computer car 25 units away was found";
    EXPECT_EQ(game->localVehicle->energy(), 5) << "the cloaked player was not";
}

TEST_F(ComputerOpponents, EasyOpponentsInAStandOffDriveOffInsteadOfWaitingForever) {
    // On this labyrinth two easy cars used to face each other and stand still to the end.
    useSeededRandom(4);
    start(kCpuEasy);
    game->localVehicle->setEnergy(0);
    run(60000);
    const int32_t count = game->opponents->count();
    std::vector<Vector3> at;
    std::vector<double> moved(count, 0.0);
    for (int32_t i = 0; i < count; ++i)
        at.push_back(game->opponents->get(i)->position());
    for (int k = 0; k < 60; ++k) {
        run(500);
        // A car blown up ends the stand-off as well.
        if (game->opponents->count() != count) return;
        for (int32_t i = 0; i < count; ++i)
            moved[i] = std::max(moved[i], (game->opponents->get(i)->position() - at[i]).length());
    }
    for (int32_t i = 0; i < count; ++i)
        EXPECT_GT(moved[i] * 100.0, 12.0) << "car " << game->opponents->get(i)->id();
}
