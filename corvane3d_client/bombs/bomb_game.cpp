#include "game.h"

#include "bomb.h"
#include "globals.h"
#include "net.h"
#include "platform.h"
#include "vehicle.h"
#include "wall_block.h"
#include "world.h"

namespace {
const double kBombRadius = 102.0;
const int32_t kMaxFlameRange = 8;

// Destroys, for each centre of bomb, the first intact block of world that contains it, announcing
// each destroyed block.
void burnBlocks(Bomb* bomb, World* world) {
    List<WallBlock>& blocks = world->blocks();
    for (int strip = 0; strip < 3; ++strip) {
        List<Vector3>& centres = bomb->flameCentres(strip);
        for (Vector3* c = centres.first(); c; c = centres.next()) {
            for (WallBlock* b = blocks.first(); b; b = blocks.next()) {
                if (b->state() == 0 && b->contains(*c)) {
                    b->setState(1);
                    NetSendBlockDestroyed(b->id());
                    break;
                }
            }
        }
    }
}
} // namespace

void Game::dropBomb() {
    Vehicle* car = localVehicle;
    if (car->bombsAvailable() <= 0) return;
    Bomb* bomb = new Bomb(car->position() * kBombRadius, car->heading(), car->id(),
                          car->flameRange(), car->remoteControl());
    car->setBombsAvailable(car->bombsAvailable() - 1);
    bombs->append(bomb);
    NetSendBombDropped(car->id(), bomb->number(), car->flameRange(), bomb->position(),
                       car->heading());
}

void Game::fireRemoteBombs() {
    if (!localVehicle->remoteControl()) return;
    int32_t id = localVehicle->id();
    for (Bomb* b = bombs->first(); b; b = bombs->next()) {
        if (b->remote() && b->owner() == id) {
            b->explode();
            NetSendBombExploded(b->owner(), b->number());
        }
    }
}

void Game::updateBombs() {
    int32_t position = 1;
    while (position <= bombs->count()) {
        Bomb* b = bombs->get(position - 1);
        b->update();
        if (b->owner() >= 0) {
            ++position;
            continue;
        }
        int32_t owner = -b->owner();
        bombs->remove(position);
        if (owner == localVehicle->id())
            localVehicle->setBombsAvailable(localVehicle->bombsAvailable() + 1);
    }
}

void Game::applyFlameEffects() {
    const bool singlePlayer = gameMode == 1;
    const int32_t localId = localVehicle->id();
    for (Bomb* bomb = bombs->first(); bomb; bomb = bombs->next()) {
        if (!bomb->exploded()) continue;
        if (singlePlayer || bomb->owner() == localId) burnBlocks(bomb, world);

        List<FlameQuad>& quads = bomb->flameQuads();
        for (FlameQuad* q = quads.first(); q && !bomb->hitDone(); q = quads.next()) {
            if (!localDead() && localVehicle->isTouchedBy(q->corner, 4)) {
                localHit();
                bomb->setHitDone(1);
            }
            if (!singlePlayer) continue;
            int32_t position = 1;
            while (!bomb->hitDone() && position <= opponents->count()) {
                Vehicle* v = opponents->get(position - 1);
                if (!v->isTouchedBy(q->corner, 4)) {
                    ++position;
                    continue;
                }
                v->setEnergy(v->energy() - 1);
                if (v->energy() <= 0) opponents->remove(position);
                bomb->setHitDone(1);
            }
        }
    }
}

void Game::detonateBombsOf(int32_t playerId) {
    for (Bomb* b = bombs->first(); b; b = bombs->next())
        if (b->owner() == playerId && b->remote()) b->explode();
}

void Game::localHit() {
    localVehicle->setEnergy(localVehicle->energy() - 1);
    if (localVehicle->energy() > 0) return;
    endTicks = 0;
    turnInput = 0;
    moveInput = 0;
    if (platform.disableSteering) platform.disableSteering();
}

void Game::addBombCopy(int32_t owner, int32_t number, int32_t range, Vector3 dropPoint,
                       Vector3 heading) {
    if (owner <= 0) return;
    if (range < 0) range = 0;
    if (range > kMaxFlameRange) range = kMaxFlameRange;
    Bomb* copy = new Bomb(dropPoint, heading, owner, range, 1);
    copy->setNumber(number);
    bombs->append(copy);
}

void Game::explodeBomb(int32_t owner, int32_t number) {
    if (owner <= 0) return;
    for (Bomb* b = bombs->first(); b; b = bombs->next()) {
        if (b->owner() == owner && b->number() == number) {
            b->explode();
            return;
        }
    }
}
