// The mind of a computer opponent: it picks goals (items, enemies, blocks worth opening), finds a
// way there that no flame will cross while it passes, steers its car along it with the same
// inputs a player has, drops bombs it can outrun and escapes the flames of every bomb it knows of.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "vector3.h"

class DangerMap;
class PlanetGraph;
class Vehicle;

// What a computer opponent asks of its car for one tick, with the meaning the local player's
// inputs have in the game.
struct CpuAction {
    int32_t turnInput = 0; // -4, 0 or +4
    int32_t moveInput = 0; // -1 forward, 0, +1 backward
    bool dropBomb = false;
    bool fireRemote = false;
    // The car is wedged where plain steering cannot get it out: let it slide along the walls.
    bool slide = false;
};

// What a computer opponent sees at one tick.
struct CpuSight {
    const PlanetGraph* graph = nullptr;
    // Zones of the live bombs, rebuilt this tick; a mind may add a zone and take it away again.
    DangerMap* danger = nullptr;
    // Every car still in the game, this one included.
    std::vector<const Vehicle*> cars;
    // The car a hard opponent hunts first (the local player), 0 for none.
    int32_t favouriteTarget = 0;
    // Ids of the other computer-driven cars: a mind hears one of them nearby even under a cloak.
    std::vector<int32_t> fellows;
    int64_t now = 0;
};

enum CpuLevel : int32_t { kCpuParked = 0, kCpuEasy = 1, kCpuHard = 2 };

// One way across the planet planned against the clock.
struct CpuRoute {
    std::vector<int> nodes;      // graph nodes, the start node first
    std::vector<Vector3> points; // unit points to drive through, the last one the goal
    std::vector<int64_t> times;  // when the car is expected at each point
    std::vector<int64_t> holds;  // before this time the car waits instead of heading there
    bool reached = false;        // false: the best the search found, not its goal
};

// What a mind has done so far, for whoever studies its play.
struct CpuStats {
    int32_t dropsForBlocks = 0; // bombs dropped for the blocks they break
    int32_t dropsPressing = 0;  // with an enemy in the flames that could still get away
    int32_t dropsTrapping = 0;  // with an enemy in the flames that could not
    int32_t remoteFirings = 0;
    int32_t unsticks = 0;
    int32_t desperateEscapes = 0;
};

class CpuDriver {
  public:
    // A mind of level (easy or hard) whose random choices come from its own generator.
    CpuDriver(int32_t level, uint32_t seed);

    // Decides the car's inputs for this tick.
    CpuAction think(const Vehicle& self, CpuSight& sight);

    // How the car would leave the zones around it: the earliest-arriving way to a place no known
    // flame will reach, avoiding flames on the way (exposed for tests and tools).
    CpuRoute planEscape(const Vehicle& car, const CpuSight& sight);
    // True when a bomb dropped now, where the car stands, leaves it a way out in time.
    bool canOutrunBombHere(const Vehicle& car, CpuSight& sight);

    int32_t level() const { return level_; }
    uint32_t seed() const { return seed_; }
    bool escaping() const { return mode_ == kEscape; }
    // What the car is after: 0 nothing, 1 an item, 2 an enemy, 3 a block to open, 4 wandering.
    int goal() const { return goal_; }
    const CpuRoute& route() const { return route_; }
    // A short account of the last decision, for watching a mind at work.
    const char* note() const { return note_; }
    const CpuStats& stats() const { return stats_; }

  private:
    enum Mode { kRoam, kEscape, kAim };
    enum Goal { kNoGoal, kGoItem, kGoEnemy, kGoOpen, kGoWander };

    struct Car {
        Vector3 position;
        Vector3 heading;
        int32_t speed;
        int node;
    };
    struct Rules;

    uint32_t random();
    double chance();
    void judgeZones(const Vehicle& self, const CpuSight& sight);
    void remember(const Vehicle& self, const CpuSight& sight);
    CpuRoute search(const Car& car, const CpuSight& sight, const Rules& rules) const;
    bool safeToRest(const Vector3& p, int64_t arrival, const CpuSight& sight,
                    const std::vector<int8_t>& judge, const Rules& rules) const;
    void chooseGoal(const Vehicle& self, const CpuSight& sight);
    bool routeStillGood(const CpuSight& sight) const;
    double bombValue(const Vehicle& self, CpuSight& sight, int zone);
    int64_t timeToClear(const Vehicle& car, const CpuSight& sight, double reach, int64_t by) const;
    bool considerBomb(const Vehicle& self, CpuSight& sight, double least);
    bool considerAim(const Vehicle& self, CpuSight& sight);
    bool considerRemote(const Vehicle& self, const CpuSight& sight) const;
    void steer(const Vehicle& self, const CpuSight& sight, CpuAction& action);
    bool unstick(const Vehicle& self, const CpuSight& sight);
    std::vector<const Vehicle*> enemies(const Vehicle& self, const CpuSight& sight) const;
    // Other cars still in the game, hidden ones included.
    int rivals(const Vehicle& self, const CpuSight& sight) const;
    // Where enemies are now, as far as the car knows: those in sight and fresh signs of hidden
    // ones.
    std::vector<Vector3> targets(const Vehicle& self, const CpuSight& sight) const;
    bool wanted(const Vehicle& self, int32_t item, const CpuSight& sight) const;
    std::vector<uint8_t> unwantedItems(const Vehicle& self, const CpuSight& sight) const;
    Car carOf(const Vehicle& v, const CpuSight& sight, int hint) const;

    int32_t level_;
    uint32_t seed_;
    uint32_t state_;
    Mode mode_ = kRoam;
    Goal goal_ = kNoGoal;
    int goalNode_ = -1;
    int openNode_ = -1;
    int node_ = -1;
    CpuRoute route_;
    size_t next_ = 0;
    int64_t plannedAt_ = -1;
    uint32_t plannedVersion_ = 0;
    int plannedZones_ = -1;
    int64_t nextBombLook_ = 0;
    int64_t holdingSince_ = -1;
    Vector3 aimHeading_;
    int aimTicks_ = 0;
    // Last seen place and heading, to notice a car that does not move as asked.
    Vector3 lastPosition_;
    Vector3 lastHeading_;
    char note_[160] = "";
    CpuStats stats_;
    int lastPrey_ = 0;
    bool lastTrap_ = false;
    int stuckTicks_ = 0;
    bool asked_ = false;
    int64_t wedgedUntil_ = -1;
    // Where the car has lingered since when, and until when it goes somewhere else instead.
    Vector3 anchor_;
    int64_t anchorAt_ = 0;
    int64_t restlessUntil_ = -1;
    std::vector<std::pair<int32_t, int32_t>> recovery_;
    std::map<std::pair<int, int>, int64_t> closed_;
    std::vector<int8_t> judgeTransit_;
    std::vector<int8_t> judgeRest_;
    std::vector<int8_t> judgeLurking_;
    std::map<std::pair<int32_t, int32_t>, bool> misjudged_;
    struct Sighting {
        Vector3 position;
        int64_t at;
    };
    // Where each enemy was last seen (or betrayed itself), by id.
    std::map<int32_t, Sighting> seen_;
    std::vector<int32_t> items_;
    int64_t lastContact_ = 0;
};
