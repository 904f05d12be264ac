// The computer opponents of a single-player game: a mind for every opponent car, asked once a tick
// and obeyed through the same car actions the local player's keys use.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "cpu_driver.h"
#include "danger_map.h"
#include "planet_graph.h"

class Bomb;
class Game;

// What happened in a game, for whoever watches the computer opponents play.
struct CpuTally {
    std::map<int32_t, int32_t> bombsDropped;             // by the dropper's id
    std::map<std::pair<int32_t, int32_t>, int32_t> hits; // (bomb owner, car hit) -> count
    std::map<std::pair<int32_t, int32_t>, int32_t> kills;
    int32_t remoteHits = 0; // hits by bombs set off by remote control
};

class CpuPlayers {
  public:
    // Gives every opponent of game a mind of level (none when parked), each with its own
    // generator seeded from the game's random source; binds the labyrinth.
    void start(Game& game, int32_t level);
    // Gives car id a fresh mind of another level (a mixed match); nothing for an unknown id.
    void setMindLevel(int32_t id, int32_t level);
    // Forgets every mind.
    void stop();
    // Lets every computer car think and act once: steer, drop, set off, pick up. A car that is no
    // longer in the game loses its mind and its remote bombs go off.
    void tick(Game& game);
    // Records that a flame of bomb cost the car victim one energy unit, leaving energy.
    void noteHit(int32_t victim, const Bomb& bomb, int32_t energy);

    bool active() const { return !minds_.empty(); }
    int32_t level() const { return level_; }
    const CpuTally& tally() const { return tally_; }
    // The mind driving car id, nullptr for none.
    CpuDriver* mind(int32_t id);
    const PlanetGraph& graph() const { return graph_; }
    DangerMap& danger() { return danger_; }

  private:
    PlanetGraph graph_;
    DangerMap danger_;
    std::vector<std::pair<int32_t, CpuDriver>> minds_;
    int32_t level_ = kCpuParked;
    CpuTally tally_;
};
