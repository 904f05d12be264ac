#include "cpu_driver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <queue>
#include <set>
#include <tuple>

#include "danger_map.h"
#include "driving.h"
#include "item_kind.h"
#include "planet_graph.h"
#include "vehicle.h"
#include "wall_block.h"

namespace {
const double kPi = 3.141592653589793;
const double kRadius = 100.0;
const int64_t kTickMs = 40;
// Arc driven per tick at speed 1 (half a degree), in world units; turning per tick at speed 1.
const double kUnitsPerTick = 0.5 * kPi / 180.0 * kRadius;
const double kTurnDegreesPerTick = 4.0 / 3.0;
// A turn of this much is made while driving on, at no cost in time.
const double kFreeTurnDegrees = 20.0;
// The turn input that turns a car counter-clockwise seen from above (to the driver's left).
const int32_t kTurnLeft = -4;
const double kSampleUnits = 4.0;
const double kFlameStepUnits = 3.0 * kPi / 180.0 * 102.0;
const int64_t kForever = DangerMap::kForever;
const int64_t kLurkPenaltyMs = 1500;
const int64_t kShunPenaltyMs = 4000;
// A car that drops a remote bomb needs about this long to get clear of it and set it off.
const int64_t kRemoteLeaveMs = 1200;
// A car this far from the flames of its own remote bombs sets them off.
const double kFiringReach = DangerMap::kCarReach + 1.5;
// A remote bomb this much beyond an enemy's reach is still worth laying in its way.
const double kMineReach = 15.0;
// What a bomb is worth that an enemy in its flames cannot get away from.
const double kTrapValue = 8.0;
// A place where an enemy was seen (or betrayed itself) this recently is where it is.
const int64_t kFreshMs = 1500;
// A car that has had no sign of any enemy for this long drops a bomb to draw them out.
const int64_t kSilenceMs = 12000;
// A car out of sight is looked for where it was last seen for this long.
const int64_t kMemoryMs = 10000;
// A roaming car that has stayed within this distance for kRestlessMs drives off somewhere else.
const double kRestlessUnits = 12.0;
const int64_t kRestlessMs = 10000;
const int64_t kWanderMs = 4000;
// A cloaked computer car is heard by the other minds within this distance.
const double kHearingUnits = 40.0;

struct Traits {
    int64_t reactionMs; // a bomb of another car is noticed this long after it appears
    int64_t replanMs;   // goals are chosen again this often
    int64_t escapeReplanMs;
    int64_t bombLookMs;   // a drop is considered this often
    double bombChance;    // share of the considered drops that are made
    int64_t dropMarginMs; // a dropped bomb must leave this much time at the safe place
    int64_t slackMs;      // uncertainty of every planned arrival ...
    double slackGrowth;   // ... growing with the time ahead
    double transitReach;  // flames this close to the car's centre count while passing
    double restReach;     // and where it stops
    double misjudgeChance;
    double minBombValue;
    bool aims;
    bool traps;
    bool picky;
    bool cautious; // roams clear of flames to come
    int64_t remoteHoldMs;
    int searchBudget;
};

Traits easyTraits() {
    Traits t;
    t.reactionMs = 700;
    t.replanMs = 1200;
    t.escapeReplanMs = 600;
    t.bombLookMs = 500;
    t.bombChance = 0.35;
    t.dropMarginMs = 100;
    t.slackMs = 40;
    t.slackGrowth = 0.05;
    t.transitReach = 6.9;
    t.restReach = 8.0;
    t.misjudgeChance = 0.25;
    t.minBombValue = 1.0;
    t.aims = false;
    t.traps = false;
    t.picky = false;
    t.cautious = false;
    t.remoteHoldMs = 2500;
    t.searchBudget = 250;
    return t;
}

Traits hardTraits() {
    Traits t;
    t.reactionMs = 250;
    t.replanMs = 400;
    t.escapeReplanMs = 200;
    t.bombLookMs = 120;
    t.bombChance = 1.0;
    t.dropMarginMs = 700;
    t.slackMs = 120;
    t.slackGrowth = 0.15;
    t.transitReach = 7.6;
    t.restReach = 10.0;
    t.misjudgeChance = 0.0;
    t.minBombValue = 1.0;
    t.aims = true;
    t.traps = true;
    t.picky = true;
    t.cautious = true;
    t.remoteHoldMs = 3000;
    t.searchBudget = 600;
    return t;
}

const Traits kEasyTraits = easyTraits();
const Traits kHardTraits = hardTraits();

const Traits& traitsOf(int32_t level) {
    return level >= kCpuHard ? kHardTraits : kEasyTraits;
}

// The direction at p (unit) towards q, tangent to the sphere.
Vector3 towards(const Vector3& p, const Vector3& q) {
    return unit(q - p * p.dot(q));
}

double arcUnits(const Vector3& a, const Vector3& b) {
    double c = std::max(-1.0, std::min(1.0, unit(a).dot(unit(b))));
    return std::acos(c) * kRadius;
}

// Signed angle (radians) from f to d about the axis p, counter-clockwise seen from outside.
double signedAngle(const Vector3& f, const Vector3& d, const Vector3& p) {
    return std::atan2(p.dot(f.cross(d)), f.dot(d));
}

// The angle in degrees between two lines of travel (a car drives both ways): 0 to 90.
double lineAngle(const Vector3& a, const Vector3& b) {
    double c = std::fabs(a.dot(b)) / std::max(1e-12, a.length() * b.length());
    return std::acos(std::min(1.0, c)) * 180.0 / kPi;
}

Vector3 forwardOf(const Vector3& position, const Vector3& heading) {
    return unit(position.cross(heading));
}

Vector3 between(const Vector3& a, const Vector3& b, double s) {
    return unit(a + (b - a) * s);
}

double itemWorth(int32_t item) {
    switch (item) {
    case kItemBomb:
        return 3.0;
    case kItemPower:
        return 3.0;
    case kItemRange:
        return 2.5;
    case kItemRemoteControl:
        return 4.0;
    case kItemCloak:
        return 0.4;
    case kItemSpeed:
        return 1.5;
    default:
        return 0.5;
    }
}
} // namespace

struct CpuDriver::Rules {
    const std::vector<int8_t>* transit = nullptr;
    const std::vector<int8_t>* rest = nullptr;
    const std::vector<int8_t>* lurking = nullptr;
    const std::vector<uint8_t>* goals = nullptr; // nullptr: any place safe to rest at
    int64_t now = 0;
    int64_t restBy = kForever;
    int budget = 400;
    double transitReach = 7.0;
    double restReach = 9.0;
    int64_t slack = 100;
    double slackGrowth = 0.1;
    // Keep clear of every flame still to come, not only of those burning as the car passes.
    bool cautious = false;
    // Nodes whose uncovered item the car would rather not pick up: 1 passed at a cost, 2 not
    // entered unless fleeing for its life.
    const std::vector<uint8_t>* shun = nullptr;
    bool desperate = false;
    const std::map<std::pair<int, int>, int64_t>* closed = nullptr;
};

CpuDriver::CpuDriver(int32_t level, uint32_t seed)
    : level_(level), seed_(seed), state_(seed ? seed : 0x9e3779b9u) {}

uint32_t CpuDriver::random() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

double CpuDriver::chance() {
    return (random() >> 8) / 16777216.0;
}

CpuDriver::Car CpuDriver::carOf(const Vehicle& v, const CpuSight& sight, int hint) const {
    Car c;
    c.position = unit(v.position());
    c.heading = v.heading();
    c.speed = std::max(1, v.speed());
    c.node = sight.graph->nodeAt(c.position, hint);
    return c;
}

std::vector<const Vehicle*> CpuDriver::enemies(const Vehicle& self, const CpuSight& sight) const {
    std::vector<const Vehicle*> out;
    for (const Vehicle* v : sight.cars) {
        if (v == &self || v->id() == self.id() || v->energy() <= 0) continue;
        if (v->cloak() && (std::find(sight.fellows.begin(), sight.fellows.end(), v->id()) ==
                               sight.fellows.end() ||
                           arcUnits(self.position(), v->position()) > kHearingUnits))
            continue;
        out.push_back(v);
    }
    return out;
}

int CpuDriver::rivals(const Vehicle& self, const CpuSight& sight) const {
    int count = 0;
    for (const Vehicle* v : sight.cars)
        if (v->id() != self.id() && v->energy() > 0) ++count;
    return count;
}

std::vector<uint8_t> CpuDriver::unwantedItems(const Vehicle& self, const CpuSight& sight) const {
    std::vector<uint8_t> shun(PlanetGraph::kNodeCount, 0);
    if (!traitsOf(level_).picky) return shun;
    for (int n = 0; n < kPlanetTriangleCount; ++n) {
        WallBlock* b = sight.graph->block(n);
        if (!b || b->state() == 0 || b->item() == kItemNone || wanted(self, b->item(), sight))
            continue;
        // Switching remote control off would leave its waiting bombs unable to go off, and a
        // cloak hides the car from the others it hunts: such items are never driven over.
        const int32_t item = b->item();
        if (item == kItemRemoteControl || item == kItemCloak)
            shun[n] = 2;
        else if (item == kItemSlow || item == kItemSpeed)
            shun[n] = 1;
    }
    return shun;
}

bool CpuDriver::wanted(const Vehicle& self, int32_t item, const CpuSight& sight) const {
    if (!traitsOf(level_).picky) return item != kItemNone;
    switch (item) {
    case kItemBomb:
        return self.bombCapacity() < 10;
    case kItemPower:
        return self.energy() < 5;
    case kItemRange:
        return self.flameRange() < 8;
    case kItemRemoteControl:
        return !self.remoteControl();
    case kItemCloak:
        // Hiding from the player is for a car that has taken a beating; among computer cars
        // alone, cloaks only end in a blind search.
        return !self.cloak() && self.energy() <= 2 && sight.favouriteTarget != 0;
    case kItemSpeed:
        return self.speed() < 5;
    default:
        return false;
    }
}

void CpuDriver::judgeZones(const Vehicle& self, const CpuSight& sight) {
    const Traits& t = traitsOf(level_);
    const DangerMap& danger = *sight.danger;
    const int n = danger.count();
    judgeTransit_.assign(n, 0);
    judgeRest_.assign(n, 0);
    judgeLurking_.assign(n, -1);
    for (int i = 0; i < n; ++i) {
        const FlameZone& z = danger.zone(i);
        const bool own = z.owner == self.id();
        // Its own bombs that wait for a remote control it no longer has never go off.
        const bool orphan = own && z.waiting && !self.remoteControl();
        if (orphan || (!own && sight.now < z.seenAt + t.reactionMs)) {
            judgeTransit_[i] = judgeRest_[i] = -1;
            continue;
        }
        auto key = std::make_pair(z.owner, z.number);
        auto found = misjudged_.find(key);
        if (found == misjudged_.end())
            found = misjudged_.emplace(key, chance() < t.misjudgeChance).first;
        int8_t shortBy = found->second && z.range > 1 ? 1 : 0;
        judgeRest_[i] = shortBy;
        judgeTransit_[i] = z.waiting ? -1 : shortBy;
        if (z.waiting && !own) judgeLurking_[i] = shortBy;
    }
    if (misjudged_.size() > 400) misjudged_.clear();
}

bool CpuDriver::safeToRest(const Vector3& p, int64_t arrival, const CpuSight& sight,
                           const std::vector<int8_t>& judge, const Rules& rules) const {
    int64_t last = sight.danger->lastBurn(p, rules.restReach, &judge);
    return last < 0 || last + rules.slack < arrival;
}

CpuRoute CpuDriver::search(const Car& car, const CpuSight& sight, const Rules& rules) const {
    const PlanetGraph& graph = *sight.graph;
    const DangerMap& danger = *sight.danger;
    const int count = PlanetGraph::kNodeCount;
    const double unitsPerMs = kUnitsPerTick * car.speed / kTickMs;
    const double degreesPerMs = kTurnDegreesPerTick * car.speed / kTickMs;
    const bool lurk = rules.lurking && std::any_of(rules.lurking->begin(), rules.lurking->end(),
                                                   [](int8_t j) { return j >= 0; });

    auto slackAt = [&](int64_t t) {
        return rules.slack + static_cast<int64_t>(rules.slackGrowth * (t - rules.now));
    };
    // Whether the car, at a from time t, can turn and drive to b with no flame near it on the way
    // (waiting at a for flames to die if need be); sets the arrival time and a cost for passing
    // where a remote bomb lurks. The car's own starting place is not questioned.
    auto leg = [&](const Vector3& a, const Vector3& dirIn, const Vector3& b, int64_t t, bool here,
                   int64_t* arrive, int64_t* hold, int64_t* cost, Vector3* dirOut) {
        double length = arcUnits(a, b);
        Vector3 d = length > 1e-6 ? towards(a, b) : dirIn;
        double turn = std::max(0.0, lineAngle(dirIn, d) - kFreeTurnDegrees);
        int64_t turnMs = static_cast<int64_t>(turn / degreesPerMs);
        int64_t driveMs = static_cast<int64_t>(length / unitsPerMs);
        int samples = std::max(1, static_cast<int>(std::ceil(length / kSampleUnits)));
        for (int wait = 0; wait <= 8; ++wait) {
            int64_t depart = t + wait * 250;
            if (here) {
                // The car stands here already; it may stay longer only where no flame comes.
                if (wait > 0 && danger.burning(a, rules.transitReach, t,
                                               depart + turnMs + slackAt(depart), rules.transit))
                    continue;
            } else if (danger.burning(a, rules.transitReach, t - slackAt(t),
                                      depart + turnMs + slackAt(depart), rules.transit)) {
                continue;
            }
            bool clear = true;
            int64_t penalty = 0;
            for (int i = 1; i <= samples && clear; ++i) {
                double s = static_cast<double>(i) / samples;
                Vector3 p = between(a, b, s);
                int64_t at = depart + turnMs + static_cast<int64_t>(driveMs * s);
                int64_t slack = slackAt(at);
                int64_t from = rules.cautious ? rules.now : at - slack;
                if (danger.burning(p, rules.transitReach, from, at + slack, rules.transit))
                    clear = false;
                else if (lurk && penalty == 0 &&
                         danger.burning(p, rules.transitReach, rules.now, kForever, rules.lurking))
                    penalty = kLurkPenaltyMs;
            }
            if (!clear) continue;
            *arrive = depart + turnMs + driveMs;
            *hold = wait > 0 ? depart : 0;
            *cost = penalty;
            *dirOut = d;
            return true;
        }
        return false;
    };

    const int64_t never = std::numeric_limits<int64_t>::max() / 2;
    std::vector<int64_t> arrival(count, never);
    std::vector<int64_t> penalty(count, 0);
    std::vector<int64_t> hold(count, 0);
    std::vector<int> previous(count, -1);
    std::vector<Vector3> entry(count);
    std::vector<Vector3> direction(count);
    std::vector<uint8_t> done(count, 0);
    using Entry = std::pair<int64_t, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;

    const int start = car.node;
    arrival[start] = rules.now;
    entry[start] = car.position;
    direction[start] = forwardOf(car.position, car.heading);
    open.push({rules.now, start});

    int found = -1;
    Vector3 finalPoint;
    int64_t finalTime = 0;
    int64_t finalHold = 0;
    int64_t fallbackHold = 0;
    int fallback = -1;
    Vector3 fallbackPoint;
    int64_t fallbackTime = 0;
    int64_t fallbackScore = std::numeric_limits<int64_t>::min();
    int expanded = 0;

    while (!open.empty() && expanded < rules.budget) {
        Entry e = open.top();
        open.pop();
        const int n = e.second;
        if (done[n] || e.first > arrival[n] + penalty[n]) continue;
        done[n] = 1;
        ++expanded;
        const int64_t t = arrival[n];

        bool goalNode = rules.goals ? (*rules.goals)[n] != 0 : !graph.blocked(n);
        if (goalNode) {
            Vector3 target = (n == start && !rules.goals) ? entry[n] : graph.centre(n);
            int64_t at = 0;
            int64_t wait = 0;
            int64_t extra = 0;
            Vector3 dir;
            if (leg(entry[n], direction[n], target, t, n == start, &at, &wait, &extra, &dir)) {
                bool rests = rules.goals || safeToRest(target, at, sight, *rules.rest, rules);
                if (rests && at <= rules.restBy) {
                    found = n;
                    finalPoint = target;
                    finalTime = at;
                    finalHold = wait;
                    break;
                }
                if (!rules.goals) {
                    int64_t lastBurn = danger.lastBurn(target, rules.restReach, rules.rest);
                    int64_t score = rests ? kForever - at : -lastBurn;
                    if (score > fallbackScore) {
                        fallbackScore = score;
                        fallback = n;
                        fallbackPoint = target;
                        fallbackTime = at;
                        fallbackHold = wait;
                    }
                }
            }
        }

        const std::vector<int>& next = graph.neighbours(n);
        for (int m : next) {
            if (done[m] || graph.blocked(m)) continue;
            if (rules.closed) {
                auto c = rules.closed->find({n, m});
                if (c != rules.closed->end() && c->second > rules.now) continue;
            }
            Vector3 gate = graph.portal(n, m);
            int64_t at = 0;
            int64_t wait = 0;
            int64_t extra = 0;
            Vector3 dir;
            if (!leg(entry[n], direction[n], gate, t, n == start, &at, &wait, &extra, &dir))
                continue;
            extra += penalty[n];
            if (rules.shun && (*rules.shun)[m] > 1 && !rules.desperate) continue;
            if (rules.shun && (*rules.shun)[m]) extra += kShunPenaltyMs * (*rules.shun)[m];
            if (at + extra < arrival[m] + penalty[m] || arrival[m] == never) {
                arrival[m] = at;
                hold[m] = wait;
                penalty[m] = extra;
                previous[m] = n;
                entry[m] = gate;
                direction[m] = dir;
                open.push({at + extra, m});
            }
        }
    }

    CpuRoute route;
    int last = found;
    if (found < 0) {
        if (fallback < 0) return route;
        last = fallback;
        finalPoint = fallbackPoint;
        finalTime = fallbackTime;
        finalHold = fallbackHold;
    }
    route.reached = found >= 0;
    for (int n = last; n >= 0; n = previous[n])
        route.nodes.push_back(n);
    std::reverse(route.nodes.begin(), route.nodes.end());
    for (size_t k = 1; k < route.nodes.size(); ++k) {
        route.points.push_back(entry[route.nodes[k]]);
        route.times.push_back(arrival[route.nodes[k]]);
        route.holds.push_back(hold[route.nodes[k]]);
    }
    route.points.push_back(finalPoint);
    route.times.push_back(finalTime);
    route.holds.push_back(finalHold);
    return route;
}

CpuRoute CpuDriver::planEscape(const Vehicle& car, const CpuSight& sight) {
    if (judgeRest_.size() != static_cast<size_t>(sight.danger->count())) judgeZones(car, sight);
    const Traits& t = traitsOf(level_);
    Rules rules;
    rules.transit = &judgeTransit_;
    rules.rest = &judgeRest_;
    rules.lurking = &judgeLurking_;
    rules.now = sight.now;
    rules.budget = t.searchBudget;
    rules.transitReach = t.transitReach;
    rules.restReach = t.restReach;
    rules.slack = t.slackMs;
    rules.slackGrowth = t.slackGrowth;
    rules.closed = &closed_;
    std::vector<uint8_t> shun = unwantedItems(car, sight);
    rules.shun = &shun;
    const Car me = carOf(car, sight, node_);
    CpuRoute strict = search(me, sight, rules);
    if (strict.reached) return strict;
    // Trapped by the timing: run through flames that have not started yet, around burning ones.
    std::vector<int8_t> loose = judgeTransit_;
    for (size_t i = 0; i < loose.size(); ++i)
        if (sight.danger->zone(static_cast<int>(i)).start > sight.now) loose[i] = -1;
    rules.transit = &loose;
    rules.desperate = true;
    rules.slack = 0;
    rules.slackGrowth = 0.0;
    CpuRoute desperate = search(me, sight, rules);
    ++stats_.desperateEscapes;
    if (desperate.reached || strict.points.size() <= 1) return desperate;
    return strict;
}

bool CpuDriver::canOutrunBombHere(const Vehicle& car, CpuSight& sight) {
    judgeZones(car, sight);
    int z = sight.danger->addZone(unit(car.position()), car.heading(), car.flameRange(),
                                  car.remoteControl(), car.id(), sight.now);
    const FlameZone& zone = sight.danger->zone(z);
    judgeTransit_.push_back(zone.waiting ? -1 : 0);
    judgeRest_.push_back(0);
    judgeLurking_.push_back(-1);
    const Traits& t = traitsOf(level_);
    Rules rules;
    rules.transit = &judgeTransit_;
    rules.rest = &judgeRest_;
    rules.lurking = &judgeLurking_;
    rules.now = sight.now;
    rules.restBy = zone.waiting ? kForever : zone.start - t.dropMarginMs;
    rules.budget = t.searchBudget;
    rules.transitReach = t.transitReach;
    rules.restReach = t.restReach;
    rules.slack = t.slackMs;
    rules.slackGrowth = t.slackGrowth;
    rules.closed = &closed_;
    CpuRoute escape = search(carOf(car, sight, node_), sight, rules);
    sight.danger->removeLast();
    judgeTransit_.pop_back();
    judgeRest_.pop_back();
    judgeLurking_.pop_back();
    if (escape.reached) {
        route_ = escape;
        next_ = 0;
    }
    return escape.reached;
}

int64_t CpuDriver::timeToClear(const Vehicle& car, const CpuSight& sight, double reach,
                               int64_t by) const {
    // The newest zone is the bomb in question: the earliest time the car can be out of its reach,
    // passing no flame that burns on the way; kForever when it cannot make it by the deadline.
    const int n = sight.danger->count();
    std::vector<int8_t> transit(n, 0), rest(n, -1);
    for (int i = 0; i < n; ++i)
        if (sight.danger->zone(i).waiting) transit[i] = -1;
    rest[n - 1] = 0;
    Rules rules;
    rules.transit = &transit;
    rules.rest = &rest;
    rules.now = sight.now;
    rules.restBy = by;
    rules.budget = 150;
    rules.transitReach = DangerMap::kCarReach;
    rules.restReach = reach;
    rules.slack = 0;
    rules.slackGrowth = 0.0;
    CpuRoute r = search(carOf(car, sight, -1), sight, rules);
    return r.reached ? r.times.back() : kForever;
}

double CpuDriver::bombValue(const Vehicle& self, CpuSight& sight, int zone) {
    const Traits& t = traitsOf(level_);
    const PlanetGraph& graph = *sight.graph;
    const FlameZone& z = sight.danger->zone(zone);
    double value = 0.0;

    std::set<int> doomed;
    for (int i = 0; i < sight.danger->count(); ++i) {
        if (i == zone || sight.danger->zone(i).waiting) continue;
        int hint = -1;
        for (const FlameRect& r : sight.danger->zone(i).rects) {
            hint = graph.nodeAt(r.centre, hint);
            if (graph.blocked(hint)) doomed.insert(hint);
        }
    }
    std::set<int> burnt;
    int hint = node_;
    for (const FlameRect& r : z.rects) {
        hint = graph.nodeAt(r.centre, hint);
        if (graph.blocked(hint) && !doomed.count(hint) &&
            graph.block(hint)->contains(r.centre * 1.02))
            burnt.insert(hint);
    }
    for (int b : burnt)
        value += b == openNode_ ? 3.0 : 1.0;

    lastPrey_ = 0;
    lastTrap_ = false;
    // A remote bomb goes off the moment its owner is clear of it: the race to get out.
    int64_t deadline = z.start;
    if (z.waiting && zone == sight.danger->count() - 1 && t.traps) {
        deadline = timeToClear(self, sight, kFiringReach, kForever);
        if (deadline != kForever) deadline += t.slackMs;
    }
    for (const Vehicle* e : enemies(self, sight)) {
        double d = DangerMap::distance(z, e->position());
        // A remote bomb lies in wait: an enemy close to its flames may well drive in.
        if (z.waiting && t.traps && d < DangerMap::kCarReach + kMineReach) value += 1.0;
        if (d >= DangerMap::kCarReach + 0.5) continue;
        double hit = 1.5;
        ++lastPrey_;
        if (t.traps && deadline != kForever &&
            timeToClear(*e, sight, DangerMap::kCarReach + 0.5, deadline) == kForever) {
            hit = kTrapValue;
            lastTrap_ = true;
        }
        if (e->id() == sight.favouriteTarget) hit *= 1.5;
        value += hit;
    }
    // Hidden enemies are pressed where they last gave themselves away.
    for (const auto& s : seen_) {
        bool inSight = false;
        for (const Vehicle* e : enemies(self, sight))
            inSight = inSight || e->id() == s.first;
        if (inSight || sight.now - s.second.at > kFreshMs) continue;
        if (DangerMap::distance(z, s.second.position) < DangerMap::kCarReach + 3.0) {
            value += 1.2;
            ++lastPrey_;
        }
    }
    return value;
}

bool CpuDriver::considerBomb(const Vehicle& self, CpuSight& sight, double least) {
    const Traits& t = traitsOf(level_);
    if (self.bombsAvailable() <= 0) return false;
    int z = sight.danger->addZone(unit(self.position()), self.heading(), self.flameRange(),
                                  self.remoteControl(), self.id(), sight.now);
    double value = bombValue(self, sight, z);
    sight.danger->removeLast();
    if (value < least) return false;
    if (chance() >= t.bombChance) return false;
    if (!canOutrunBombHere(self, sight)) return false;
    if (lastTrap_)
        ++stats_.dropsTrapping;
    else if (lastPrey_ > 0)
        ++stats_.dropsPressing;
    else
        ++stats_.dropsForBlocks;
    mode_ = kEscape;
    plannedAt_ = sight.now;
    plannedZones_ = sight.danger->count() + 1;
    return true;
}

bool CpuDriver::considerAim(const Vehicle& self, CpuSight& sight) {
    const Traits& t = traitsOf(level_);
    const PlanetGraph& graph = *sight.graph;
    if (self.bombsAvailable() <= 0) return false;
    const Vector3 p = unit(self.position());
    const double reach = self.flameRange() * kFlameStepUnits + 6.0;
    std::vector<Vector3> targets;
    if (t.aims) {
        const Vehicle* prey = nullptr;
        double best = reach;
        for (const Vehicle* e : enemies(self, sight)) {
            double d = arcUnits(p, e->position());
            if (e->id() == sight.favouriteTarget) d *= 0.8;
            if (d < best) {
                best = d;
                prey = e;
            }
        }
        if (prey) targets.push_back(unit(prey->position()));
    }
    if (goal_ == kGoOpen && openNode_ >= 0 && graph.blocked(openNode_) &&
        arcUnits(p, graph.centre(openNode_)) < reach)
        targets.push_back(graph.centre(openNode_));

    const Vector3 f = forwardOf(p, self.heading());
    for (const Vector3& target : targets) {
        Vector3 d = towards(p, target);
        double turn = 0.0;
        double least = 10.0;
        for (int k = 0; k < 3; ++k) {
            Vector3 strip = f;
            strip.rotateAround(k * 2.0 * kPi / 3.0, p);
            double a = signedAngle(strip, d, p);
            if (std::fabs(a) < least) {
                least = std::fabs(a);
                turn = a;
            }
        }
        if (least < 3.0 * kPi / 180.0) continue;
        Vector3 heading = self.heading();
        heading.rotateAround(turn, p);
        if (!graph.carFits(p, heading, node_)) continue;
        sight.danger->addZone(p, heading, self.flameRange(), self.remoteControl(), self.id(),
                              sight.now);
        double value = bombValue(self, sight, sight.danger->count() - 1);
        sight.danger->removeLast();
        if (value < t.minBombValue) continue;
        aimHeading_ = heading;
        aimTicks_ =
            static_cast<int>(least * 180.0 / kPi / (kTurnDegreesPerTick * self.speed())) + 3;
        mode_ = kAim;
        return true;
    }
    return false;
}

bool CpuDriver::considerRemote(const Vehicle& self, const CpuSight& sight) const {
    const DangerMap& danger = *sight.danger;
    bool holding = false;
    for (int i = 0; i < danger.count(); ++i) {
        const FlameZone& z = danger.zone(i);
        if (z.owner != self.id() || !z.remote) continue;
        if (DangerMap::distance(z, self.position()) < kFiringReach) return false;
        holding = holding || z.waiting;
    }
    if (!holding || holdingSince_ < 0) return false;
    for (const Vector3& e : targets(self, sight)) {
        for (int i = 0; i < danger.count(); ++i) {
            const FlameZone& z = danger.zone(i);
            if (z.owner == self.id() && z.waiting &&
                DangerMap::distance(z, e) < DangerMap::kCarReach)
                return true;
        }
    }
    int64_t held = sight.now - holdingSince_;
    return held >= traitsOf(level_).remoteHoldMs ||
           (self.bombsAvailable() == 0 && held >= traitsOf(level_).remoteHoldMs / 3);
}

void CpuDriver::chooseGoal(const Vehicle& self, const CpuSight& sight) {
    const Traits& t = traitsOf(level_);
    const PlanetGraph& graph = *sight.graph;
    PlanetGraph::Costs costs;
    costs.crowdingWeight = 0.15;
    std::vector<double> distance;
    std::vector<int> previous;
    graph.shortestPaths(node_, costs, distance, previous);
    const double inf = std::numeric_limits<double>::infinity();

    Goal goal = kNoGoal;
    int target = -1;
    int open = -1;
    double best = 0.0;
    auto offer = [&](Goal g, int node, double score, int opens) {
        if (node < 0 || score <= best) return;
        // An item under another car's waiting remote bomb is bait.
        if (g == kGoItem && sight.danger->burning(graph.centre(node), t.transitReach, sight.now,
                                                  kForever, &judgeLurking_))
            return;
        best = score;
        goal = g;
        target = node;
        open = opens;
    };

    const bool restless = sight.now < restlessUntil_;
    if (restless) {
        // Somewhere else at last: a far place, or failing that a wall to break out through.
        for (int tries = 0; tries < 32 && goal == kNoGoal; ++tries) {
            int n = static_cast<int>(random() % PlanetGraph::kNodeCount);
            if (distance[n] < inf && distance[n] > 40.0) offer(kGoWander, n, 0.05, -1);
        }
    }
    for (int n = 0; n < kPlanetTriangleCount && !restless; ++n) {
        WallBlock* b = graph.block(n);
        if (!b || b->state() == 0 || b->item() == kItemNone || distance[n] == inf) continue;
        if (!wanted(self, b->item(), sight)) continue;
        offer(kGoItem, n, itemWorth(b->item()) / (1.0 + distance[n] / 30.0), -1);
    }

    const Vector3 p = unit(self.position());
    int32_t preyId = 0;
    Vector3 preyAt;
    double nearest = inf;
    for (const auto& s : seen_) {
        if (sight.now - s.second.at > kMemoryMs) continue;
        double d = arcUnits(p, s.second.position);
        if (t.picky && s.first == sight.favouriteTarget) d *= 0.6;
        if (d < nearest) {
            nearest = d;
            preyId = s.first;
            preyAt = s.second.position;
        }
    }
    if (preyId && !restless) {
        int n = graph.nodeAt(preyAt);
        // Armed well, a hard opponent would rather hunt than gather.
        double armed = std::min(2.0, 0.25 * (self.flameRange() + self.bombCapacity()));
        double hunt = t.picky ? (preyId == sight.favouriteTarget ? 2.0 : 1.5) * armed : 1.5;
        if (sight.now - seen_[preyId].at > 0) hunt *= 0.7;
        // With a single enemy left, a hard opponent goes for it rather than wait to be found.
        if (t.picky && rivals(self, sight) == 1) hunt *= 1.5;
        double through = inf;
        int gate = -1;
        int opens = -1;
        if (distance[n] == inf) {
            PlanetGraph::Costs costsThrough;
            costsThrough.blockedCost = 80.0;
            costsThrough.crowdingWeight = 0.15;
            std::vector<double> d2;
            std::vector<int> p2;
            graph.shortestPaths(node_, costsThrough, d2, p2);
            std::vector<int> path = PlanetGraph::pathTo(n, p2, d2);
            for (size_t k = 1; k < path.size(); ++k) {
                if (!graph.blocked(path[k])) continue;
                if (distance[path[k - 1]] < inf) {
                    gate = path[k - 1];
                    opens = path[k];
                    through = d2[n];
                }
                break;
            }
        }
        // A long way round is worth less than blasting through the wall in between.
        if (distance[n] < inf && distance[n] < through + 60.0)
            offer(kGoEnemy, n, hunt / (1.0 + distance[n] / 60.0), -1);
        else if (gate >= 0)
            offer(kGoOpen, gate, 1.2 * hunt / (1.0 + distance[gate] / 60.0), opens);
    }

    // A block next to the way: breaking it may uncover an item.
    double blockWorth = self.flameRange() < 6 || self.bombCapacity() < 5 ? 0.9 : 0.4;
    if (restless && goal != kNoGoal) blockWorth = 0.0;
    for (int n = 0; n < kPlanetTriangleCount; ++n) {
        if (!graph.blocked(n)) continue;
        for (int m : graph.neighbours(n)) {
            if (graph.blocked(m) || distance[m] == inf || m == node_) continue;
            offer(kGoOpen, m, blockWorth / (1.0 + distance[m] / 25.0), n);
        }
    }

    if (goal == kNoGoal) {
        for (int tries = 0; tries < 8 && goal == kNoGoal; ++tries) {
            int n = static_cast<int>(random() % PlanetGraph::kNodeCount);
            if (distance[n] < inf && distance[n] > 30.0) offer(kGoWander, n, 0.05, -1);
        }
    }

    goal_ = goal;
    goalNode_ = target;
    openNode_ = open;
    route_ = CpuRoute();
    next_ = 0;
    if (goal == kNoGoal) return;

    std::vector<uint8_t> goals(PlanetGraph::kNodeCount, 0);
    goals[target] = 1;
    if (goal == kGoEnemy)
        for (int n : graph.around(target))
            goals[n] = 1;
    Rules rules;
    rules.transit = &judgeTransit_;
    rules.rest = &judgeRest_;
    rules.lurking = &judgeLurking_;
    rules.goals = &goals;
    rules.cautious = t.cautious;
    std::vector<uint8_t> shun = unwantedItems(self, sight);
    rules.shun = &shun;
    rules.now = sight.now;
    rules.budget = t.searchBudget * 2;
    rules.transitReach = t.transitReach;
    rules.restReach = t.restReach;
    rules.slack = t.slackMs;
    rules.slackGrowth = t.slackGrowth;
    rules.closed = &closed_;
    route_ = search(carOf(self, sight, node_), sight, rules);
    if (!route_.reached) {
        route_ = CpuRoute();
        goal_ = kNoGoal;
    }
}

bool CpuDriver::routeStillGood(const CpuSight& sight) const {
    const Traits& t = traitsOf(level_);
    for (size_t k = next_; k < route_.points.size(); ++k) {
        int64_t at = route_.times[k];
        int64_t slack = t.slackMs + static_cast<int64_t>(t.slackGrowth * (at - sight.now));
        if (sight.danger->burning(route_.points[k], t.transitReach, at - slack, at + slack,
                                  &judgeTransit_))
            return false;
    }
    return true;
}

void CpuDriver::steer(const Vehicle& self, const CpuSight& sight, CpuAction& action) {
    const Vector3 p = unit(self.position());
    const double step = kUnitsPerTick * std::max(1, self.speed());
    while (next_ < route_.points.size()) {
        const Vector3& w = route_.points[next_];
        double d = arcUnits(p, w);
        bool last = next_ + 1 == route_.points.size();
        if (d < (last ? std::max(1.5, step * 0.6) : std::max(3.0, step))) {
            ++next_;
            continue;
        }
        if (!last) {
            // Passed the point already: it lies behind on the way to the next one.
            Vector3 along = towards(w, route_.points[next_ + 1]);
            if ((p - w).dot(along) > 0.0 && d < 6.0) {
                ++next_;
                continue;
            }
        }
        break;
    }
    if (next_ >= route_.points.size()) return;

    const Vector3 target = route_.points[next_];
    const bool early = route_.holds[next_] > sight.now;
    Vector3 d = towards(p, target);
    Vector3 f = forwardOf(p, self.heading());
    double a = signedAngle(f, d, p);
    int32_t move = -1;
    if (std::fabs(a) > kPi / 2.0) {
        move = 1;
        a = a > 0 ? a - kPi : a + kPi;
    }
    double degrees = a * 180.0 / kPi;
    double perTick = kTurnDegreesPerTick * std::max(1, self.speed());
    if (std::fabs(degrees) > perTick / 2.0) action.turnInput = degrees > 0 ? kTurnLeft : -kTurnLeft;
    double tolerance = sight.graph->crowding(node_) > 0 ? 25.0 : 40.0;
    if (std::fabs(degrees) < tolerance && !early) action.moveInput = move;
    std::snprintf(note_, sizeof note_, "pt %zu/%zu d%.1f a%.0f early%d t%+lld", next_,
                  route_.points.size(), arcUnits(p, target), degrees, early ? 1 : 0,
                  static_cast<long long>(route_.times[next_] - sight.now));
}

bool CpuDriver::unstick(const Vehicle& self, const CpuSight& sight) {
    if (next_ >= route_.points.size()) return false;
    const PlanetGraph& graph = *sight.graph;
    const Vector3 target = route_.points[next_];
    const int speed = std::max(1, self.speed());
    struct State {
        Vector3 p;
        Vector3 h;
        int node;
        int parent;
        int8_t turn;
        int8_t move;
        int depth;
    };
    std::vector<State> states;
    std::set<std::tuple<long, long, long, long>> seen;
    const Vector3 reference(0.37, 0.59, 0.71);
    auto key = [&](const Vector3& p, const Vector3& h) {
        Vector3 r = unit(reference.cross(p));
        double a = std::atan2(p.dot(r.cross(h)), r.dot(h)) * 180.0 / kPi;
        if (a < 0) a += 180.0;
        if (a >= 180.0) a -= 180.0;
        return std::make_tuple(std::lround(p.x * kRadius), std::lround(p.y * kRadius),
                               std::lround(p.z * kRadius), std::lround(a / 6.0) % 30);
    };
    const Vector3 p0 = unit(self.position());
    const double start = arcUnits(p0, target);
    states.push_back({p0, self.heading(), node_, -1, 0, 0, 0});
    seen.insert(key(p0, self.heading()));
    int goal = -1;
    // Failing a step towards the point, the state that has got the car furthest out of its
    // corner while losing least ground.
    int loose = -1;
    double looseScore = -1e9;
    for (size_t i = 0; i < states.size() && states.size() < 1500 && goal < 0; ++i) {
        const State s = states[i];
        if (s.depth >= 48) continue;
        for (int turn = -1; turn <= 1 && goal < 0; ++turn) {
            for (int move = -1; move <= 1 && goal < 0; ++move) {
                if (turn == 0 && move == 0) continue;
                Vector3 p = s.p;
                Vector3 h = s.h;
                if (turn) {
                    Vector3 c = turnedHeading(p, h, speed, turn * kTurnLeft);
                    if (graph.carFits(p, c, s.node)) h = c;
                }
                int node = s.node;
                if (move) {
                    Vector3 c = drivenPosition(p, h, speed, move);
                    int cn = graph.nodeAt(c, node);
                    if (graph.carFits(c, h, cn)) {
                        p = c;
                        node = cn;
                    }
                }
                if (!seen.insert(key(p, h)).second) continue;
                states.push_back({p, h, node, static_cast<int>(i), static_cast<int8_t>(turn),
                                  static_cast<int8_t>(move), s.depth + 1});
                double d = arcUnits(p, target);
                if (d < start - 3.0 || d < 2.0) goal = static_cast<int>(states.size()) - 1;
                double away = arcUnits(p, p0);
                double score = (start - d) + 0.5 * away;
                if (away >= 3.0 && score > looseScore) {
                    looseScore = score;
                    loose = static_cast<int>(states.size()) - 1;
                }
            }
        }
    }
    if (goal < 0) goal = loose;
    if (goal < 0) return false;
    recovery_.clear();
    for (int i = goal; states[i].parent >= 0; i = states[i].parent)
        recovery_.push_back({states[i].turn * kTurnLeft, states[i].move});
    return true;
}

void CpuDriver::remember(const Vehicle& self, const CpuSight& sight) {
    for (const Vehicle* v : enemies(self, sight))
        seen_[v->id()] = {unit(v->position()), sight.now};
    // A bomb that appears where no car is seen betrays a cloaked one.
    for (int i = 0; i < sight.danger->count(); ++i) {
        const FlameZone& z = sight.danger->zone(i);
        if (z.seenAt != sight.now || z.owner == self.id()) continue;
        bool explained = false;
        for (const Vehicle* v : sight.cars)
            if (!v->cloak() && arcUnits(v->position(), z.origin) < 12.0) explained = true;
        if (!explained) seen_[z.owner] = {z.origin, sight.now};
    }
    // So does an item that vanishes where no car is seen: a cloaked car took it.
    const Vehicle* hidden = nullptr;
    for (const Vehicle* v : sight.cars)
        if (v->id() != self.id() && v->cloak() && v->energy() > 0 &&
            (!hidden || seen_[v->id()].at < seen_[hidden->id()].at))
            hidden = v;
    if (items_.size() != static_cast<size_t>(kPlanetTriangleCount))
        items_.assign(kPlanetTriangleCount, kItemNone);
    for (int n = 0; n < kPlanetTriangleCount; ++n) {
        WallBlock* b = sight.graph->block(n);
        int32_t item = b && b->state() != 0 ? b->item() : kItemNone;
        if (item == kItemNone && items_[n] != kItemNone && hidden) {
            bool explained = false;
            for (const Vehicle* v : sight.cars)
                if (!v->cloak() && arcUnits(v->position(), sight.graph->centre(n)) < 12.0)
                    explained = true;
            if (!explained) seen_[hidden->id()] = {sight.graph->centre(n), sight.now};
        }
        items_[n] = item;
    }
    for (auto s = seen_.begin(); s != seen_.end();) {
        bool alive = false;
        for (const Vehicle* v : sight.cars)
            alive = alive || (v->id() == s->first && v->energy() > 0);
        s = alive ? std::next(s) : seen_.erase(s);
    }
    for (const auto& s : seen_)
        lastContact_ = std::max(lastContact_, s.second.at);
}

std::vector<Vector3> CpuDriver::targets(const Vehicle& self, const CpuSight& sight) const {
    std::vector<Vector3> out;
    for (const auto& s : seen_)
        if (s.first != self.id() && sight.now - s.second.at <= kFreshMs)
            out.push_back(s.second.position);
    return out;
}

CpuAction CpuDriver::think(const Vehicle& self, CpuSight& sight) {
    CpuAction action;
    if (level_ == kCpuParked || self.energy() < 1 || !sight.graph || !sight.danger) return action;
    const Traits& t = traitsOf(level_);
    const int64_t now = sight.now;
    const Vector3 p = unit(self.position());
    node_ = sight.graph->nodeAt(p, node_);
    judgeZones(self, sight);
    if (lastContact_ == 0) lastContact_ = now;
    remember(self, sight);

    bool moved = !(self.position() == lastPosition_) || !(self.heading() == lastHeading_);
    lastPosition_ = self.position();
    lastHeading_ = self.heading();
    stuckTicks_ = moved || !asked_ ? 0 : stuckTicks_ + 1;

    for (auto c = closed_.begin(); c != closed_.end();)
        c = c->second <= now ? closed_.erase(c) : std::next(c);

    bool remoteHeld = false;
    for (int i = 0; i < sight.danger->count(); ++i)
        remoteHeld = remoteHeld ||
                     (sight.danger->zone(i).owner == self.id() && sight.danger->zone(i).waiting);
    if (!remoteHeld)
        holdingSince_ = -1;
    else if (holdingSince_ < 0)
        holdingSince_ = now;
    action.fireRemote = self.remoteControl() && considerRemote(self, sight);
    if (action.fireRemote) ++stats_.remoteFirings;

    // Near flames that will burn: leave, and stay away until well clear of them.
    const bool unsafe = sight.danger->burning(p, t.restReach, now, kForever, &judgeRest_);
    const bool threatened =
        sight.danger->burning(p, t.transitReach + 1.0, now, kForever, &judgeRest_);
    if (mode_ == kEscape && !unsafe && next_ >= route_.points.size()) {
        mode_ = kRoam;
        goal_ = kNoGoal;
        route_ = CpuRoute();
    }
    if (threatened || mode_ == kEscape) {
        // Keep to a good way out: planning again at every step makes a car dither.
        bool late =
            recovery_.empty() && next_ < route_.points.size() && now > route_.times[next_] + 600;
        bool stale = mode_ != kEscape || plannedZones_ != sight.danger->count() ||
                     (next_ >= route_.points.size() && unsafe) || late ||
                     (!route_.reached && now - plannedAt_ >= t.escapeReplanMs) ||
                     !routeStillGood(sight);
        if (stale) {
            mode_ = kEscape;
            route_ = planEscape(self, sight);
            next_ = 0;
            plannedAt_ = now;
            plannedZones_ = sight.danger->count();
            recovery_.clear();
        }
    }

    if (now >= nextBombLook_) {
        nextBombLook_ = now + t.bombLookMs;
        // Fleeing, a hard opponent still springs a trap it can get away from.
        if (mode_ != kEscape && !unsafe) {
            // Long without a sign of anyone, a hard opponent now and then drops a bomb to make
            // the hidden ones move.
            bool probe = t.traps && now - lastContact_ > kSilenceMs && chance() < 0.03;
            if (considerBomb(self, sight, probe ? 0.0 : t.minBombValue))
                action.dropBomb = true;
            else if (mode_ != kAim)
                considerAim(self, sight);
        } else if (t.traps && considerBomb(self, sight, kTrapValue)) {
            action.dropBomb = true;
        }
    }

    if (mode_ == kAim && !action.dropBomb) {
        Vector3 f = forwardOf(p, self.heading());
        Vector3 want = forwardOf(p, aimHeading_);
        double a = signedAngle(f, want, p) * 180.0 / kPi;
        double perTick = kTurnDegreesPerTick * std::max(1, self.speed());
        if (std::fabs(a) <= perTick / 2.0 || aimTicks_-- <= 0 || stuckTicks_ > 1) {
            mode_ = kRoam;
            nextBombLook_ = now;
        } else {
            action.turnInput = a > 0 ? kTurnLeft : -kTurnLeft;
            asked_ = true;
            return action;
        }
    }

    if (mode_ != kRoam || arcUnits(p, anchor_) > kRestlessUnits) {
        anchor_ = p;
        anchorAt_ = now;
    } else if (now - anchorAt_ > kRestlessMs) {
        // Stuck in a stand-off: break it by going somewhere else for a while.
        restlessUntil_ = now + kWanderMs;
        anchorAt_ = now;
        plannedAt_ = -1;
    }
    if (mode_ == kRoam) {
        bool due = route_.points.empty() || next_ >= route_.points.size() ||
                   now - plannedAt_ >= t.replanMs || plannedVersion_ != sight.graph->version() ||
                   plannedZones_ != sight.danger->count();
        if (!due && goal_ == kGoItem) {
            WallBlock* b = sight.graph->block(goalNode_);
            due = !b || b->item() == kItemNone;
        }
        if (!due && !routeStillGood(sight)) due = true;
        if (due) {
            chooseGoal(self, sight);
            plannedAt_ = now;
            plannedVersion_ = sight.graph->version();
            plannedZones_ = sight.danger->count();
            recovery_.clear();
        }
    }

    if (recovery_.empty() && stuckTicks_ >= 3 && next_ < route_.points.size()) {
        stuckTicks_ = 0;
        ++stats_.unsticks;
        if (!unstick(self, sight)) {
            wedgedUntil_ = now + 2000;
            // No way on from here: try another way, or (fleeing) the best way the search knows.
            if (mode_ == kRoam && next_ + 1 < route_.nodes.size()) {
                int to = route_.nodes[next_ + 1];
                closed_[{node_, to}] = now + 4000;
                closed_[{to, node_}] = now + 4000;
            }
            route_ = CpuRoute();
            plannedAt_ = -1;
        }
    }
    note_[0] = 0;
    if (!recovery_.empty()) {
        action.turnInput = recovery_.back().first;
        action.moveInput = recovery_.back().second;
        recovery_.pop_back();
        std::snprintf(note_, sizeof note_, "recovery %zu left", recovery_.size());
    } else {
        steer(self, sight, action);
    }
    asked_ = action.turnInput != 0 || action.moveInput != 0;
    action.slide = now < wedgedUntil_;
    if (action.dropBomb)
        std::snprintf(note_, sizeof note_, "drop: %s",
                      lastTrap_   ? "trap"
                      : lastPrey_ ? "enemy in the flames"
                                  : "blocks");
    return action;
}
