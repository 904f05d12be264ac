// What a new player meets in the first minute: the arrows steer the way they point, every car
// starts where it can drive away, the targets stand apart in colours of their own, a lone
// multi-player game is not won, and two clients started together draw different places.
#include <gtest/gtest.h>

#include <GL/freeglut.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>

#include "driving.h"
#include "game.h"
#include "game_gl.h"
#include "globals.h"
#include "platform.h"
#include "random.h"
#include "support/gl_context.h"
#include "target_colours.h"
#include "vehicle.h"
#include "world.h"

namespace {

class Playability : public ::testing::Test {
  protected:
    void SetUp() override {
        platform = PlatformHooks();
        lobbyList.clear();
        game = new Game;
        gGame = game;
        game->setLocalPlayerId(1);
    }
    void TearDown() override {
        game->end();
        delete game;
        gGame = nullptr;
        lobbyList.clear();
        setRandomSource(nullptr);
        platform = PlatformHooks();
        gameMode = 0;
        screenState = 1;
    }
    void enterSinglePlayer() {
        for (int32_t id = 2; id <= 4; ++id) {
            LobbyEntry* e = new LobbyEntry;
            e->playerId = id;
            lobbyList.append(e);
        }
        game->enter(1);
    }
    // The direction the car moved in during one forward tick.
    Vector3 travel() {
        Vector3 before = game->localVehicle->position();
        game->moveInput = -1;
        game->tick();
        game->moveInput = 0;
        Vector3 moved = game->localVehicle->position() - before;
        moved.normalize();
        return moved;
    }
    Game* game = nullptr;
};

} // namespace

TEST_F(Playability, ArrowsTurnTheCarToTheirOwnSide) {
    testgl::ensureContext();
    gameMode = 1;
    screenState = 2;
    for (int key : {GLUT_KEY_LEFT, GLUT_KEY_RIGHT}) {
        game->start(1);
        game->world->blocks().clear();
        Vehicle* car = game->localVehicle;
        car->setPosition(Vector3(0.6, 0.0, 0.8));
        car->setHeading(Vector3(0, 1, 0));
        car->updateOrientation();
        const Vector3 f0 = travel();
        gameSpecial(key, 0, 0);
        for (int i = 0; i < 10; ++i)
            game->tick();
        gameSpecialUp(key, 0, 0);
        const Vector3 f1 = travel();
        const double side = f0.cross(f1).dot(car->position());
        if (key == GLUT_KEY_LEFT)
            EXPECT_GT(side, 0.0) << "left must turn counter-clockwise seen from above";
        else
            EXPECT_LT(side, 0.0) << "right must turn clockwise seen from above";
        EXPECT_NEAR(degreesBetween(f0, f1), 40.0, 0.5) << "4 degrees a tick at speed 3";
    }
}

TEST_F(Playability, EveryCarStartsFreeAndCanDriveAwayWithTargetsApart) {
    int walled = 0, stuck = 0, crowded = 0, targetsWalled = 0;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        useSeededRandom(seed);
        enterSinglePlayer();
        World& world = *game->world;
        Vehicle* car = game->localVehicle;
        if (!world.isFree(car->position() * 100.0, car->heading(), overheadView(car->position())))
            ++walled;
        Vehicle ahead; // the forward arrow, the first key a new player tries, moves the car
        ahead.setHeading(car->heading());
        ahead.setPosition(drivenPosition(*car, -1));
        if (!canDriveAway(world, *car) ||
            !world.isFree(ahead.position() * 100.0, car->heading(), overheadView(car->position())))
            ++stuck;
        std::vector<Vector3> places{car->position()};
        for (Vehicle* v = game->opponents->first(); v; v = game->opponents->next()) {
            if (!world.isFree(v->position() * 100.0, v->heading(), overheadView(v->position())))
                ++targetsWalled;
            for (const Vector3& other : places)
                if (degreesBetween(other, v->position()) < 30.0 - 1e-9) ++crowded;
            places.push_back(v->position());
            if (game->opponents->atEnd()) break;
        }
        game->end();
        lobbyList.clear();
    }
    EXPECT_EQ(walled, 0);
    EXPECT_EQ(stuck, 0);
    EXPECT_EQ(targetsWalled, 0);
    EXPECT_EQ(crowded, 0);
}

TEST_F(Playability, TargetColoursStandApartAndAreNotGrey) {
    const double player[3] = {0.3, 0.3, 0.6};
    for (unsigned seed = 1; seed <= 200; ++seed) {
        useSeededRandom(seed);
        double colours[3][3];
        drawTargetColours(player, colours, 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FALSE(greyish(colours[i]));
            EXPECT_GE(colourDistance(colours[i], player), 0.25);
            for (int j = 0; j < i; ++j)
                EXPECT_GE(colourDistance(colours[i], colours[j]), 0.25);
            for (double c : colours[i]) {
                EXPECT_GE(c, 0.0);
                EXPECT_LE(c, 32767 / 49150.5);
            }
        }
    }
    setRandomSource([] { return 32767; }); // a stuck generator still ends the draw
    double stuck[3][3];
    drawTargetColours(player, stuck, 3);
    EXPECT_EQ(stuck[2][0], 32767 / 49150.5);
}

TEST_F(Playability, AGameIsWonOnlyAfterAnOpponentTookPart) {
    gameMode = 2;
    game->start(0);
    EXPECT_FALSE(game->won()) << "alone in a multi-player game";
    game->end();
    game->addOpponent(7, 0.1, 0.5, 0.2, 0);
    game->start(0);
    EXPECT_FALSE(game->won());
    game->removeOpponent(7);
    EXPECT_TRUE(game->won());
}

TEST(ClientSeed, ProcessesStartedTogetherDrawDifferentSequences) {
    int pipes[2];
    ASSERT_EQ(pipe(pipes), 0);
    for (int child = 0; child < 2; ++child) {
        if (fork() == 0) {
            seedRandomForThisProcess();
            int first = nextRandom();
            if (write(pipes[1], &first, sizeof first) != sizeof first) _exit(1);
            _exit(0);
        }
    }
    int draws[2] = {-1, -1};
    for (int& d : draws)
        ASSERT_EQ(read(pipes[0], &d, sizeof d), static_cast<ssize_t>(sizeof d));
    while (wait(nullptr) > 0) {
    }
    close(pipes[0]);
    close(pipes[1]);
    EXPECT_NE(draws[0], draws[1]);
}
