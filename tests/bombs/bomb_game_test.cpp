// The game's bomb actions without graphics: dropping, remote detonation, retiring finished bombs,
// the flames' effect on blocks and cars, and the bomb messages of other players.
#include <gtest/gtest.h>

#include <vector>

#include "bomb.h"
#include "clock.h"
#include "support/fake_clock.h"
#include "game.h"
#include "globals.h"
#include "platform.h"
#include "vehicle.h"
#include "wall_block.h"
#include "world.h"

namespace {

int64_t& fakeNow = testclock::now;

int steeringDisabled = 0;
void recordDisableSteering() {
    ++steeringDisabled;
}

std::vector<Vector3> centresOf(Bomb* b, int strip) {
    std::vector<Vector3> out;
    List<Vector3>& l = b->flameCentres(strip);
    for (Vector3* c = l.first(); c; c = l.next())
        out.push_back(*c);
    return out;
}

// An intact block on a small ground triangle (radius 100) around the direction of p.
WallBlock* blockAround(Vector3 p) {
    Vector3 up = p;
    up.normalize();
    Vector3 t1 = up.cross(Vector3(0.3, 0.4, 0.5));
    t1.normalize();
    Vector3 t2 = up.cross(t1);
    Vector3 base = up * 100.0;
    WallBlock* b =
        new WallBlock(base - t1 * 2.0 - t2 * 2.0, base + t1 * 2.0 - t2 * 2.0, base + t2 * 2.0, 6.0);
    return b;
}

class BombGameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform = PlatformHooks();
        platform.disableSteering = recordDisableSteering;
        steeringDisabled = 0;
        fakeNow = 5000000;
        setClock(testclock::read);
        gameMode = 1;
        game = new Game;
        game->world->blocks().clear();
        game->setLocalPlayerId(1);
        // The local car far away from the test bombs unless a test moves it.
        place(game->localVehicle, Vector3(1, 0, 0), Vector3(0, 1, 0));
    }
    void TearDown() override {
        delete game;
        setClock(nullptr);
        platform = PlatformHooks();
        gameMode = 0;
    }

    static void place(Vehicle* v, Vector3 position, Vector3 heading) {
        v->setPosition(position);
        v->setHeading(heading);
        v->updateOrientation();
    }

    // Places v so that both points lie over its footprint, its heading along the line joining them.
    static void placeOver(Vehicle* v, Vector3 a, Vector3 b) {
        Vector3 p = (a + b) * 0.5;
        p.normalize();
        Vector3 h = b - a;
        h = h - p * p.dot(h);
        h.normalize();
        place(v, p, h);
    }

    Vehicle* addOpponentAt(int32_t id, Vector3 position, Vector3 heading) {
        game->addOpponent(id, 0.2, 0.3, 0.4, 1);
        Vehicle* v = game->opponents->get(game->opponents->count() - 1);
        place(v, position, heading);
        return v;
    }

    // An exploded bomb of owner at the top of the planet, appended to the game's bombs.
    Bomb* explodedBomb(int32_t owner, int32_t range = 3) {
        Bomb* b = new Bomb(Vector3(0, 0, 102), Vector3(0, 1, 0), owner, range, 0);
        game->bombs->append(b);
        b->explode();
        return b;
    }

    Game* game = nullptr;
};

} // namespace

TEST_F(BombGameTest, DropWithNoBombAvailableDoesNothing) {
    game->localVehicle->setBombsAvailable(0);
    int32_t counter = bombCounter;
    game->dropBomb();
    EXPECT_EQ(game->bombs->count(), 0);
    EXPECT_EQ(game->localVehicle->bombsAvailable(), 0);
    EXPECT_EQ(bombCounter, counter);
}

TEST_F(BombGameTest, DroppedBombLiesUnderTheCarAndReturnsWhenItHasBurntOut) {
    Vehicle* car = game->localVehicle;
    place(car, Vector3(0.6, 0, 0.8), Vector3(0, 1, 0));
    car->setBombCapacity(3);
    car->setBombsAvailable(1);
    car->setFlameRange(5);
    game->dropBomb();
    ASSERT_EQ(game->bombs->count(), 1);
    EXPECT_EQ(car->bombsAvailable(), 0);
    Bomb* b = game->bombs->first();
    EXPECT_NEAR((b->position() - Vector3(61.2, 0, 81.6)).length(), 0.0, 1e-9);
    EXPECT_EQ(b->heading(), Vector3(0, 1, 0));
    EXPECT_EQ(b->owner(), 1);
    EXPECT_EQ(b->range(), 5);
    EXPECT_FALSE(b->remote());

    // Ticks every 40 ms: explosion after 3 s, gone and given back 2 s later.
    int64_t start = fakeNow;
    while (fakeNow < start + 5000) {
        game->updateBombs();
        ASSERT_EQ(game->bombs->count(), 1) << "at " << fakeNow - start << " ms";
        EXPECT_EQ(car->bombsAvailable(), 0);
        EXPECT_EQ(game->bombs->first()->exploded(), fakeNow >= start + 3000);
        fakeNow += 40;
    }
    game->updateBombs();
    EXPECT_EQ(game->bombs->count(), 0);
    EXPECT_EQ(car->bombsAvailable(), 1);
}

TEST_F(BombGameTest, FinishedBombsOfOthersAreRetiredWithoutGivingABombBack) {
    Vehicle* car = game->localVehicle;
    car->setBombsAvailable(2);
    game->addBombCopy(7, 12, 3, Vector3(0, 0, 102), Vector3(0, 1, 0));
    game->dropBomb();
    game->explodeBomb(7, 12);
    fakeNow += 2000;
    game->updateBombs();
    ASSERT_EQ(game->bombs->count(), 1);
    EXPECT_EQ(game->bombs->first()->owner(), 1);
    EXPECT_EQ(car->bombsAvailable(), 1);
}

TEST_F(BombGameTest, SeveralBombsFinishingInOneTickAreAllRetired) {
    Vehicle* car = game->localVehicle;
    car->setBombCapacity(5);
    car->setBombsAvailable(3);
    game->dropBomb();
    game->dropBomb();
    game->dropBomb();
    EXPECT_EQ(car->bombsAvailable(), 0);
    fakeNow += 3000;
    game->updateBombs();
    fakeNow += 2000;
    game->updateBombs();
    EXPECT_EQ(game->bombs->count(), 0);
    EXPECT_EQ(car->bombsAvailable(), 3);
}

TEST_F(BombGameTest, RemoteKeySetsOffAllOwnRemoteBombsOnly) {
    Vehicle* car = game->localVehicle;
    car->setBombsAvailable(3);
    car->setRemoteControl(1);
    game->dropBomb();
    game->dropBomb();
    car->setRemoteControl(0);
    game->dropBomb(); // a bomb on a fuse
    game->addBombCopy(8, 1, 3, Vector3(0, 0, 102), Vector3(0, 1, 0));

    // Remote bombs lie past their fuse until fired.
    fakeNow += 60000;
    game->updateBombs();
    std::vector<Bomb*> b;
    for (Bomb* x = game->bombs->first(); x; x = game->bombs->next())
        b.push_back(x);
    ASSERT_EQ(b.size(), 4u);
    EXPECT_FALSE(b[0]->exploded());
    EXPECT_FALSE(b[1]->exploded());
    EXPECT_TRUE(b[2]->exploded());

    // Without the remote-control flag the key does nothing.
    game->fireRemoteBombs();
    EXPECT_FALSE(b[0]->exploded());

    car->setRemoteControl(1);
    game->fireRemoteBombs();
    EXPECT_TRUE(b[0]->exploded());
    EXPECT_TRUE(b[1]->exploded());
    EXPECT_FALSE(b[3]->exploded());
    EXPECT_EQ(b[0]->deadlineMs(), fakeNow + 2000);
}

TEST_F(BombGameTest, CopiesOfOtherPlayersBombsWaitForTheirOwner) {
    int32_t counter = bombCounter;
    game->addBombCopy(5, 42, 4, Vector3(0, 0, 102), Vector3(0, 1, 0));
    ASSERT_EQ(game->bombs->count(), 1);
    Bomb* copy = game->bombs->first();
    EXPECT_EQ(copy->owner(), 5);
    EXPECT_EQ(copy->number(), 42);
    EXPECT_EQ(copy->range(), 4);
    EXPECT_TRUE(copy->remote());
    EXPECT_EQ(bombCounter, counter % 100 + 1);

    fakeNow += 600000;
    game->updateBombs();
    EXPECT_FALSE(copy->exploded());

    game->explodeBomb(5, 41);
    game->explodeBomb(6, 42);
    EXPECT_FALSE(copy->exploded());
    game->explodeBomb(5, 42);
    EXPECT_TRUE(copy->exploded());
}

TEST_F(BombGameTest, BombExplodedSetsOffOnlyTheFirstMatch) {
    game->addBombCopy(5, 42, 3, Vector3(0, 0, 102), Vector3(0, 1, 0));
    game->addBombCopy(5, 42, 3, Vector3(0, 0, -102), Vector3(0, 1, 0));
    game->explodeBomb(5, 42);
    EXPECT_TRUE(game->bombs->get(0)->exploded());
    EXPECT_FALSE(game->bombs->get(1)->exploded());
}

TEST_F(BombGameTest, MalformedBombCopiesAreRejectedOrBounded) {
    game->addBombCopy(0, 1, 3, Vector3(0, 0, 102), Vector3(0, 1, 0));
    game->addBombCopy(-4, 1, 3, Vector3(0, 0, 102), Vector3(0, 1, 0));
    EXPECT_EQ(game->bombs->count(), 0);
    game->addBombCopy(3, 1, 2000000000, Vector3(0, 0, 102), Vector3(0, 1, 0));
    game->addBombCopy(3, 2, -5, Vector3(0, 0, 102), Vector3(0, 1, 0));
    ASSERT_EQ(game->bombs->count(), 2);
    EXPECT_EQ(game->bombs->get(0)->flameQuads().count(), 24);
    EXPECT_EQ(game->bombs->get(1)->flameQuads().count(), 0);
}

TEST_F(BombGameTest, PlayerLeavingSetsOffOnlyTheirRemoteBombs) {
    game->addBombCopy(5, 1, 3, Vector3(0, 0, 102), Vector3(0, 1, 0));
    game->addBombCopy(6, 2, 3, Vector3(0, 0, 102), Vector3(0, 1, 0));
    game->addBombCopy(5, 3, 3, Vector3(0, 0, 102), Vector3(0, 1, 0));
    game->detonateBombsOf(5);
    EXPECT_TRUE(game->bombs->get(0)->exploded());
    EXPECT_FALSE(game->bombs->get(1)->exploded());
    EXPECT_TRUE(game->bombs->get(2)->exploded());
}

TEST_F(BombGameTest, CarInTwoStripsOfOneBombLosesOneEnergyOnly) {
    Bomb* b = explodedBomb(1);
    Vector3 a = centresOf(b, 0)[0];
    Vector3 c = centresOf(b, 1)[0];
    placeOver(game->localVehicle, a, c);
    ASSERT_TRUE(game->localVehicle->isHitBy(a));
    ASSERT_TRUE(game->localVehicle->isHitBy(c));
    for (int tick = 0; tick < 10; ++tick)
        game->applyFlameEffects();
    EXPECT_EQ(game->localVehicle->energy(), 4);
    EXPECT_TRUE(b->hitDone());
    EXPECT_EQ(steeringDisabled, 0);
}

TEST_F(BombGameTest, AnyFlameQuadOverTheCarHitsItButTheGapBetweenStripsDoesNot) {
    Bomb* b = explodedBomb(3, 5);
    // Across the edge of strip 0: a fringe of the footprint lies under the flames while every
    // centre point stays outside it.
    FlameQuad* q = b->flameQuads().get(2);
    Vector3 middle = (q->corner[0] + q->corner[1] + q->corner[2] + q->corner[3]) * 0.25;
    Vector3 across = q->corner[2] - q->corner[1];
    const double halfWidth = across.length() / 2.0;
    across.normalize();
    Vector3 p = middle + across * (halfWidth + 3.0);
    p.normalize();
    Vector3 along = q->corner[1] - q->corner[0];
    along = along - p * p.dot(along);
    along.normalize();
    place(game->localVehicle, p, along);
    for (int strip = 0; strip < 3; ++strip)
        for (const Vector3& c : centresOf(b, strip))
            ASSERT_FALSE(game->localVehicle->isHitBy(c));
    game->applyFlameEffects();
    EXPECT_EQ(game->localVehicle->energy(), 4);

    // Between strips 0 and 1, where nothing burns.
    place(game->localVehicle, Vector3(1, 0, 0), Vector3(0, 1, 0));
    Bomb* second = explodedBomb(3, 5);
    Vector3 centre(0, 0, 102);
    Vector3 end0 = centresOf(second, 0).back() - centre;
    Vector3 end1 = centresOf(second, 1).back() - centre;
    end0.normalize();
    end1.normalize();
    Vector3 between = end0 + end1;
    between.normalize();
    Vehicle* target = addOpponentAt(2, Vector3(0, 0, 1), Vector3(0, 1, 0));
    Vector3 gap = centre + between * 17.0;
    gap.normalize();
    Vector3 heading = between - gap * gap.dot(between);
    heading.normalize();
    place(target, gap, heading);
    for (int tick = 0; tick < 5; ++tick)
        game->applyFlameEffects();
    EXPECT_EQ(target->energy(), 5);
    EXPECT_FALSE(second->hitDone());
}

TEST_F(BombGameTest, UnexplodedBombsHurtNobody) {
    Bomb* b = new Bomb(Vector3(0, 0, 102), Vector3(0, 1, 0), 1, 3, 0);
    game->bombs->append(b);
    Vector3 a = centresOf(b, 0)[1];
    placeOver(game->localVehicle, a, centresOf(b, 0)[2]);
    ASSERT_TRUE(game->localVehicle->isHitBy(a));
    WallBlock* block = blockAround(a);
    game->world->blocks().append(block);
    game->applyFlameEffects();
    EXPECT_EQ(game->localVehicle->energy(), 5);
    EXPECT_EQ(block->state(), 0);
}

TEST_F(BombGameTest, SecondCarInTheSameFlamesLosesNothing) {
    Bomb* b = explodedBomb(1, 5);
    std::vector<Vector3> s0 = centresOf(b, 0);
    std::vector<Vector3> s2 = centresOf(b, 2);
    placeOver(game->localVehicle, s0[2], s0[3]);
    Vehicle* other = addOpponentAt(2, Vector3(0, 0, 1), Vector3(0, 1, 0));
    placeOver(other, s2[2], s2[3]);
    ASSERT_TRUE(other->isHitBy(s2[2]));
    ASSERT_FALSE(game->localVehicle->isHitBy(s2[2]));

    game->applyFlameEffects();
    game->applyFlameEffects();
    EXPECT_EQ(game->localVehicle->energy(), 4);
    EXPECT_EQ(other->energy(), 5);
}

TEST_F(BombGameTest, SinglePlayerFlamesHurtOneOpponentAndRemoveItAtZero) {
    Bomb* b = explodedBomb(1, 5);
    std::vector<Vector3> s1 = centresOf(b, 1);
    Vehicle* first = addOpponentAt(2, Vector3(0, 0, 1), Vector3(0, 1, 0));
    Vehicle* second = addOpponentAt(3, Vector3(0, 0, 1), Vector3(0, 1, 0));
    placeOver(first, s1[3], s1[4]);
    placeOver(second, s1[3], s1[4]);
    first->setEnergy(1);
    game->applyFlameEffects();
    ASSERT_EQ(game->opponents->count(), 1);
    EXPECT_EQ(game->opponents->first()->id(), 3);
    EXPECT_EQ(second->energy(), 5);
    EXPECT_EQ(game->localVehicle->energy(), 5);

    // The local car walking into the flames of the spent bomb loses nothing either.
    placeOver(game->localVehicle, s1[3], s1[4]);
    game->applyFlameEffects();
    EXPECT_EQ(game->localVehicle->energy(), 5);
}

TEST_F(BombGameTest, MultiPlayerFlamesLeaveOpponentsToTheirOwnClients) {
    gameMode = 2;
    Bomb* b = explodedBomb(1);
    std::vector<Vector3> s0 = centresOf(b, 0);
    Vehicle* other = addOpponentAt(2, Vector3(0, 0, 1), Vector3(0, 1, 0));
    placeOver(other, s0[0], s0[1]);
    game->applyFlameEffects();
    EXPECT_EQ(other->energy(), 5);
    EXPECT_FALSE(b->hitDone());
}

TEST_F(BombGameTest, LocalPlayersDeathStopsSteeringOnce) {
    Bomb* b = explodedBomb(4);
    std::vector<Vector3> s0 = centresOf(b, 0);
    placeOver(game->localVehicle, s0[0], s0[1]);
    game->localVehicle->setEnergy(1);
    game->endTicks = 17;
    game->turnInput = 4;
    game->moveInput = -1;
    EXPECT_FALSE(game->localDead());
    game->applyFlameEffects();
    EXPECT_EQ(game->localVehicle->energy(), 0);
    EXPECT_TRUE(game->localDead());
    EXPECT_EQ(game->endTicks, 0);
    EXPECT_EQ(game->turnInput, 0);
    EXPECT_EQ(game->moveInput, 0);
    EXPECT_EQ(steeringDisabled, 1);

    // A dead car is out of the game: later flames neither restart the game-over picture nor
    // spend themselves on it.
    game->endTicks = 9;
    Bomb* later = explodedBomb(4);
    game->applyFlameEffects();
    EXPECT_EQ(game->endTicks, 9);
    EXPECT_EQ(steeringDisabled, 1);
    EXPECT_FALSE(later->hitDone());
}

TEST_F(BombGameTest, TwoCentresOverTwoIntactBlocksDestroyBothInOnePass) {
    Bomb* b = explodedBomb(1);
    WallBlock* far = blockAround(Vector3(0, 0, -1));
    WallBlock* first = blockAround(centresOf(b, 0)[1]);
    WallBlock* second = blockAround(centresOf(b, 2)[2]);
    game->world->blocks().append(far);
    game->world->blocks().append(first);
    game->world->blocks().append(second);
    ASSERT_TRUE(first->contains(centresOf(b, 0)[1]));
    ASSERT_TRUE(second->contains(centresOf(b, 2)[2]));
    game->applyFlameEffects();
    EXPECT_EQ(first->state(), 1);
    EXPECT_EQ(second->state(), 1);
    EXPECT_EQ(far->state(), 0);
}

TEST_F(BombGameTest, CentreOverADestroyedBlockDestroysTheNextIntactOneEachPass) {
    Bomb* b = explodedBomb(1);
    Vector3 c = centresOf(b, 1)[0];
    WallBlock* gone = blockAround(c);
    WallBlock* next = blockAround(c);
    WallBlock* last = blockAround(c);
    gone->setState(1);
    game->world->blocks().append(gone);
    game->world->blocks().append(next);
    game->world->blocks().append(last);
    game->applyFlameEffects();
    EXPECT_EQ(next->state(), 1);
    EXPECT_EQ(last->state(), 0);
    game->applyFlameEffects();
    EXPECT_EQ(last->state(), 1);
}

TEST_F(BombGameTest, OthersBombsInMultiPlayerDestroyNoBlocksButStillHurt) {
    gameMode = 2;
    Bomb* theirs = explodedBomb(9);
    std::vector<Vector3> s0 = centresOf(theirs, 0);
    WallBlock* block = blockAround(s0[2]);
    game->world->blocks().append(block);
    placeOver(game->localVehicle, s0[0], s0[1]);
    game->applyFlameEffects();
    EXPECT_EQ(block->state(), 0);
    EXPECT_EQ(game->localVehicle->energy(), 4);

    // The local player's own bomb does destroy blocks in multi player.
    Bomb* mine = explodedBomb(1);
    (void)mine;
    game->applyFlameEffects();
    EXPECT_EQ(block->state(), 1);
}
