#include "cpu_players.h"

#include "bomb.h"
#include "clock.h"
#include "driving.h"
#include "game.h"
#include "random.h"
#include "vehicle.h"
#include "world.h"

void CpuPlayers::start(Game& game, int32_t level) {
    stop();
    tally_ = CpuTally();
    level_ = level;
    if (level == kCpuParked) return;
    graph_.bind(game.world->blocks());
    for (int32_t i = 0; i < game.opponents->count(); ++i) {
        Vehicle* car = game.opponents->get(i);
        // A driving opponent under a cloak hides from the player too.
        car->setDrawnWhileCloaked(0);
        int32_t id = car->id();
        uint32_t seed = (static_cast<uint32_t>(nextRandom()) << 15) ^
                        static_cast<uint32_t>(nextRandom()) ^ (static_cast<uint32_t>(id) << 28);
        minds_.push_back({id, CpuDriver(level, seed)});
    }
}

void CpuPlayers::stop() {
    minds_.clear();
}

void CpuPlayers::setMindLevel(int32_t id, int32_t level) {
    for (auto& m : minds_)
        if (m.first == id) m.second = CpuDriver(level, m.second.seed());
}

CpuDriver* CpuPlayers::mind(int32_t id) {
    for (auto& m : minds_)
        if (m.first == id) return &m.second;
    return nullptr;
}

void CpuPlayers::noteHit(int32_t victim, const Bomb& bomb, int32_t energy) {
    const int32_t owner = bomb.owner();
    ++tally_.hits[{owner, victim}];
    if (energy <= 0) ++tally_.kills[{owner, victim}];
    if (bomb.remote()) ++tally_.remoteHits;
}

void CpuPlayers::tick(Game& game) {
    if (minds_.empty()) return;
    const int64_t now = clockMs();
    graph_.refresh();
    danger_.rebuild(*game.bombs, now);

    CpuSight sight;
    sight.graph = &graph_;
    sight.danger = &danger_;
    sight.now = now;
    if (!game.localDead()) {
        sight.cars.push_back(game.localVehicle);
        sight.favouriteTarget = game.localVehicle->id();
    }
    for (int32_t i = 0; i < game.opponents->count(); ++i)
        sight.cars.push_back(game.opponents->get(i));
    for (const auto& m : minds_)
        sight.fellows.push_back(m.first);

    for (size_t m = 0; m < minds_.size();) {
        const int32_t id = minds_[m].first;
        Vehicle* car = nullptr;
        for (const Vehicle* v : sight.cars)
            if (v->id() == id && v != game.localVehicle) car = const_cast<Vehicle*>(v);
        if (!car) {
            game.detonateBombsOf(id);
            minds_.erase(minds_.begin() + m);
            continue;
        }
        CpuAction act = minds_[m].second.think(*car, sight);
        steerVehicle(*game.world, *car, act.turnInput, act.moveInput, overheadView(car->position()),
                     act.slide);
        if (act.dropBomb && car->bombsAvailable() > 0) {
            game.dropBomb(car);
            ++tally_.bombsDropped[id];
            danger_.rebuild(*game.bombs, now);
        }
        if (act.fireRemote) game.fireRemoteBombs(car);
        game.pickUpItems(car);
        ++m;
    }
}
