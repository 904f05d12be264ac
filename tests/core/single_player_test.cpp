// A scripted single-player game from start to finish, without graphics: the player drives up to
// each target, bombs it until it is gone and wins; then, in a second game, bombs itself and loses.
#include <gtest/gtest.h>

#include <cmath>

#include "bomb.h"
#include "clock.h"
#include "support/fake_clock.h"
#include "game.h"
#include "globals.h"
#include "platform.h"
#include "random.h"
#include "vehicle.h"
#include "world.h"

namespace {

const double kPi = 3.141592653589793;
using testclock::now;
int steeringOff = 0;
void countSteeringOff() {
    ++steeringOff;
}

class SinglePlayerGame : public ::testing::Test {
  protected:
    void SetUp() override {
        platform = PlatformHooks();
        platform.disableSteering = countSteeringOff;
        steeringOff = 0;
        now = 1000000;
        setClock(testclock::read);
        lobbyList.clear();
        for (int id = 2; id <= 4; ++id) {
            LobbyEntry* e = new LobbyEntry;
            e->playerId = id;
            copyText(e->nick, "CPU", sizeof e->nick);
            copyText(e->address, "LOCAL", sizeof e->address);
            lobbyList.append(e);
        }
        game = new Game;
        gGame = game;
        game->setLocalPlayerId(1);
        game->enter(1);
        // An open planet, so the drive to each target is a straight line.
        game->world->blocks().clear();
    }
    void TearDown() override {
        delete game;
        gGame = nullptr;
        lobbyList.clear();
        setClock(nullptr);
        platform = PlatformHooks();
        gameMode = 0;
        screenState = 1;
    }

    // Ticks for ms of game time, 40 ms a tick.
    void run(int ms) {
        for (int t = 0; t < ms; t += 40) {
            now += 40;
            game->tick();
        }
    }

    // True when a bomb dropped here now would put a flame on the target.
    bool bombHere(const Vehicle* target) {
        Vehicle* car = game->localVehicle;
        Bomb probe(car->position() * 102.0, car->heading(), car->id(), car->flameRange(), 0);
        for (int s = 0; s < 3; ++s) {
            List<Vector3>& c = probe.flameCentres(s);
            for (Vector3* p = c.first(); p; p = c.next()) {
                if (target->isHitBy(*p)) return true;
                if (c.atEnd()) break;
            }
        }
        return false;
    }

    // Puts the car 20 degrees from target on a great circle and drives it forward until a bomb
    // dropped there would reach the target.
    void driveUpTo(const Vehicle* target) {
        Vehicle* car = game->localVehicle;
        Vector3 t = target->position();
        Vector3 side = t.cross(Vector3(0.2, 0.9, 0.1));
        side.normalize();
        Vector3 start = t;
        start.rotateAround(20.0 * kPi / 180.0, side);
        car->setPosition(start);
        car->setHeading(side);
        car->updateOrientation();
        // Forward (up arrow) turns the position about the heading; pick the heading that closes in.
        game->moveInput = -1;
        double before = degreesBetween(car->position(), t);
        run(40);
        if (degreesBetween(car->position(), t) > before) {
            car->setPosition(start);
            car->setHeading(side * -1.0);
            car->updateOrientation();
        }
        for (int i = 0; i < 40 && !bombHere(target); ++i)
            run(40);
        game->moveInput = 0;
        ASSERT_TRUE(bombHere(target)) << "could not get within reach of target " << target->id();
    }

    // Drops a bomb, backs off out of its flames, and waits until it has burnt out.
    void bombAndRetreat() {
        int before = game->localVehicle->bombsAvailable();
        game->dropBomb();
        ASSERT_EQ(game->localVehicle->bombsAvailable(), before - 1);
        game->moveInput = 1;
        run(1200);
        game->moveInput = 0;
        run(4000);
        EXPECT_EQ(game->localVehicle->bombsAvailable(), before) << "the bomb came back";
    }

    Game* game = nullptr;
};

} // namespace

TEST_F(SinglePlayerGame, BombingEveryTargetWinsAndBombingOneselfLoses) {
    ASSERT_EQ(game->opponents->count(), 3);
    EXPECT_EQ(game->localVehicle->energy(), 5);
    int rounds = 0;
    while (game->opponents->count() > 0 && rounds < 30) {
        Vehicle* target = game->opponents->first();
        int id = target->id();
        int energy = target->energy();
        driveUpTo(target);
        bombAndRetreat();
        ++rounds;
        // The target either lost one unit or is gone.
        Vehicle* still = nullptr;
        for (Vehicle* v = game->opponents->first(); v; v = game->opponents->next()) {
            if (v->id() == id) still = v;
            if (game->opponents->atEnd()) break;
        }
        if (still) {
            EXPECT_EQ(still->energy(), energy - 1);
        }
    }
    EXPECT_EQ(rounds, 15) << "three targets of five energy units, one unit per bomb";
    EXPECT_EQ(game->opponents->count(), 0);
    EXPECT_EQ(game->localVehicle->energy(), 5) << "the player escaped every flame";
    EXPECT_FALSE(game->localDead());
    EXPECT_EQ(steeringOff, 0);

    // Second game: stand on one's own bombs until the energy runs out.
    game->end();
    screenState = 1;
    lobbyList.clear();
    for (int id = 2; id <= 4; ++id) {
        LobbyEntry* e = new LobbyEntry;
        e->playerId = id;
        lobbyList.append(e);
    }
    game->enter(1);
    game->world->blocks().clear();
    EXPECT_EQ(game->opponents->count(), 3);
    // Away from the targets, which all stand on the great circle y = 0.
    game->localVehicle->setPosition(Vector3(0, 1, 0));
    game->localVehicle->setHeading(Vector3(1, 0, 0));
    game->localVehicle->updateOrientation();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(game->localVehicle->energy(), 5 - i);
        game->dropBomb();
        run(5200);
    }
    EXPECT_EQ(game->localVehicle->energy(), 0);
    EXPECT_TRUE(game->localDead());
    EXPECT_EQ(steeringOff, 1);
    EXPECT_EQ(game->moveInput, 0);
    EXPECT_EQ(game->turnInput, 0);
    EXPECT_EQ(game->endTicks, 0);
    // The dead player can still drop bombs; the arrow keys no longer reach the game (the
    // callbacks were removed), and Escape still ends it.
    EXPECT_EQ(game->localVehicle->bombsAvailable(), 3);
    game->dropBomb();
    EXPECT_EQ(game->localVehicle->bombsAvailable(), 2);
}
