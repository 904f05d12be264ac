#include "danger_map.h"

#include <algorithm>
#include <cmath>

#include "bomb.h"
#include "planet_graph.h"

namespace {
const double kPlanetRadius = 100.0;
const double kBombRadius = 102.0;
const int64_t kFuseMs = 3000;
const int64_t kFlameMs = 2000;
// A fuse runs out during a tick, and flames are applied until the tick after they die.
const int64_t kTickMs = 40;
const double kFar = 1e9;

bool sameBomb(const FlameZone& a, const FlameZone& b) {
    return a.owner == b.owner && a.number == b.number && a.origin == b.origin;
}
} // namespace

FlameZone DangerMap::makeZone(Vector3 position, Vector3 heading, int32_t range) {
    FlameZone zone;
    zone.origin = unit(position);
    zone.range = range;
    std::vector<FlameQuad> quads;
    buildFlameGeometry(position, heading, range, quads);
    const double down = kPlanetRadius / kBombRadius;
    double extent = 0.0;
    Vector3 ground = zone.origin * kPlanetRadius;
    for (size_t n = 0; n < quads.size(); ++n) {
        const FlameQuad& q = quads[n];
        FlameRect r;
        r.centre = flameQuadCentre(q) * down;
        Vector3 along = (q.corner[1] - q.corner[0]) * down;
        Vector3 across = (q.corner[3] - q.corner[0]) * down;
        r.halfAlong = along.length() / 2.0;
        r.halfAcross = across.length() / 2.0;
        r.along = unit(along);
        r.across = unit(across);
        r.step = range > 0 ? static_cast<int32_t>(n % range) : 0;
        zone.rects.push_back(r);
        for (const Vector3& c : q.corner)
            extent = std::max(extent, (c * down - ground).length());
    }
    zone.reachCos = std::cos(std::min(3.14, (extent + kMaxReach) / kPlanetRadius));
    return zone;
}

void DangerMap::rebuild(List<Bomb>& bombs, int64_t now) {
    std::vector<FlameZone> before;
    before.swap(zones_);
    for (Bomb* b = bombs.first(); b; b = bombs.next()) {
        if (b->owner() <= 0 || b->hitDone()) continue;
        FlameZone probe;
        probe.owner = b->owner();
        probe.number = b->number();
        probe.origin = unit(b->position());
        const FlameZone* old = nullptr;
        for (const FlameZone& z : before)
            if (sameBomb(z, probe)) old = &z;
        FlameZone zone = old ? *old : makeZone(b->position(), b->heading(), b->range());
        zone.owner = b->owner();
        zone.number = b->number();
        if (!old) zone.seenAt = now;
        zone.remote = b->remote() != 0;
        zone.waiting = false;
        if (b->exploded()) {
            zone.start = now;
            zone.end = b->deadlineMs();
        } else if (b->remote()) {
            zone.waiting = true;
            zone.start = now;
            zone.end = kForever;
        } else {
            zone.start = b->deadlineMs();
            zone.end = b->deadlineMs() + kFlameMs + kTickMs;
        }
        zones_.push_back(zone);
    }
}

int DangerMap::addZone(Vector3 position, Vector3 heading, int32_t range, uint8_t remote,
                       int32_t owner, int64_t now) {
    FlameZone zone = makeZone(position * kBombRadius, heading, range);
    zone.owner = owner;
    zone.seenAt = now;
    zone.remote = remote != 0;
    zone.waiting = remote != 0;
    zone.start = remote ? now : now + kFuseMs;
    zone.end = remote ? kForever : now + kFuseMs + kFlameMs + kTickMs;
    zones_.push_back(zone);
    return count() - 1;
}

void DangerMap::removeLast() {
    if (!zones_.empty()) zones_.pop_back();
}

double DangerMap::distance(const FlameZone& zone, Vector3 p, int shortBy) {
    Vector3 u = unit(p);
    if (u.dot(zone.origin) < zone.reachCos) return kFar;
    Vector3 q = u * kPlanetRadius;
    const int32_t lastStep = zone.range - shortBy;
    double best = kFar;
    for (const FlameRect& r : zone.rects) {
        if (r.step >= lastStep) continue;
        Vector3 d = q - r.centre;
        double a = std::max(0.0, std::fabs(d.dot(r.along)) - r.halfAlong);
        double c = std::max(0.0, std::fabs(d.dot(r.across)) - r.halfAcross);
        best = std::min(best, std::sqrt(a * a + c * c));
    }
    return best;
}

std::vector<int> DangerMap::coveredNodes(const FlameZone& zone, const PlanetGraph& graph,
                                         double reach) {
    std::vector<int> nodes;
    for (int n = 0; n < PlanetGraph::kNodeCount; ++n)
        if (distance(zone, graph.centre(n)) < reach) nodes.push_back(n);
    return nodes;
}

bool DangerMap::burning(Vector3 p, double reach, int64_t from, int64_t to,
                        const std::vector<int8_t>* judge) const {
    for (size_t i = 0; i < zones_.size(); ++i) {
        const FlameZone& z = zones_[i];
        int shortBy = judge ? (*judge)[i] : 0;
        if (shortBy < 0 || z.end < from || z.start > to) continue;
        if (distance(z, p, shortBy) < reach) return true;
    }
    return false;
}

int64_t DangerMap::lastBurn(Vector3 p, double reach, const std::vector<int8_t>* judge) const {
    int64_t last = -1;
    for (size_t i = 0; i < zones_.size(); ++i) {
        const FlameZone& z = zones_[i];
        int shortBy = judge ? (*judge)[i] : 0;
        if (shortBy < 0 || z.end <= last) continue;
        if (distance(z, p, shortBy) < reach) last = z.end;
    }
    return last;
}
