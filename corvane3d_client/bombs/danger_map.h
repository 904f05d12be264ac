// Where and when the flames of the live bombs will burn, for computer opponents that plan their
// moves: one zone per bomb, built from the same flame quads the bomb throws.
#pragma once

#include <cstdint>
#include <vector>

#include "list.h"
#include "vector3.h"

class Bomb;
class PlanetGraph;

// One flame quad brought down to the planet surface, as a rectangle in its own tangent plane.
struct FlameRect {
    Vector3 centre; // world units, radius 100
    Vector3 along;  // unit, away from the bomb along the strip
    Vector3 across; // unit, across the strip
    double halfAlong;
    double halfAcross;
    int32_t step; // 0 for the quad nearest the bomb
};

struct FlameZone {
    int32_t owner = 0;
    int32_t number = 0;
    Vector3 origin; // the bomb's unit position
    int32_t range = 0;
    int64_t start = 0;     // first clock ms at which the flames may burn
    int64_t end = 0;       // clock ms at which they are surely out
    bool remote = false;   // set off by its owner's remote control
    bool waiting = false;  // a remote bomb not yet set off: it may burn from any moment on
    int64_t seenAt = 0;    // clock ms at which the zone first appeared
    double reachCos = 1.0; // points whose unit dot with origin is below this are out of reach
    std::vector<FlameRect> rects;
};

class DangerMap {
  public:
    // End of a waiting remote bomb's zone: it may burn for as long as anyone can plan.
    static constexpr int64_t kForever = INT64_C(1) << 60;
    // Half the diagonal of a car's footprint (4 by 5 units each way): a flame closer than this to
    // a car's centre may touch it, whichever way the car faces.
    static constexpr double kCarReach = 6.41;
    // The farthest reach any query may ask for, added to the zones' extent.
    static constexpr double kMaxReach = 16.0;

    // Rebuilds the zones from the live bombs at clock time now: unfinished bombs whose flames have
    // not yet hurt a car. Zones of bombs seen before keep their first-seen time.
    void rebuild(List<Bomb>& bombs, int64_t now);
    // Appends the zone of a bomb that would be dropped now at the car's unit position with its
    // heading and range; returns its index. removeLast takes it away again.
    int addZone(Vector3 position, Vector3 heading, int32_t range, uint8_t remote, int32_t owner,
                int64_t now);
    void removeLast();

    int count() const { return static_cast<int>(zones_.size()); }
    const FlameZone& zone(int i) const { return zones_[i]; }

    // Distance in world units from the unit point p to the nearest flame of zone, leaving out the
    // last shortBy quads of every strip; a large value when p is beyond the zone's reach.
    static double distance(const FlameZone& zone, Vector3 p, int shortBy = 0);
    // Nodes of graph whose centre lies within reach of the zone's flames.
    static std::vector<int> coveredNodes(const FlameZone& zone, const PlanetGraph& graph,
                                         double reach);
    // True when a zone not skipped by judge (one entry per zone: below 0 ignored, above 0 that
    // many quads short) burns within reach of p at some time in [from, to].
    bool burning(Vector3 p, double reach, int64_t from, int64_t to,
                 const std::vector<int8_t>* judge = nullptr) const;
    // The latest time at which a zone may burn within reach of p (kForever for a waiting remote
    // bomb), or -1 when none reaches p.
    int64_t lastBurn(Vector3 p, double reach, const std::vector<int8_t>* judge = nullptr) const;

  private:
    static FlameZone makeZone(Vector3 position, Vector3 heading, int32_t range);

    std::vector<FlameZone> zones_;
};
