// Plays whole matches of computer opponents against each other without a window, on freshly
// generated labyrinths, and reports per level how often a bomb hurt or killed its own dropper, how
// long matches last in game time and who wins.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bomb.h"
#include "clock.h"
#include "cpu_players.h"
#include "driving.h"
#include "game.h"
#include "globals.h"
#include "platform.h"
#include "random.h"
#include "vehicle.h"
#include "wall_block.h"
#include "world.h"

namespace {

const int64_t kTickMs = 40;
const int64_t kLimitMs = 15 * 60 * 1000;

int64_t gameClock = 0;
int64_t readClock() {
    return gameClock;
}

struct Match {
    int64_t durationMs = 0;
    bool finished = false;
    int32_t winner = 0; // 0: nobody left or time ran out
    int32_t winnerLevel = 0;
    int dropped = 0;
    int selfHits = 0;
    int selfKills = 0;
    int hits = 0;
    int remoteHits = 0;
    CpuStats stats[3];
};

// One match of three computer cars (ids 2, 3, 4) of the given levels on a normal labyrinth.
Match play(uint32_t seed, const int32_t levels[3], bool verbose) {
    useSeededRandom(seed);
    gameClock = 1000000;
    setClock(readClock);
    bombCounter = 1;

    Game game;
    gGame = &game;
    game.setLocalPlayerId(1);
    opponentLevel = levels[0];
    lobbyList.clear();
    for (int32_t id = 2; id <= 4; ++id) {
        LobbyEntry* e = new LobbyEntry;
        e->playerId = id;
        for (double& c : e->colour)
            c = 0.5;
        lobbyList.append(e);
    }
    game.enter(1);
    lobbyList.clear();
    for (int k = 1; k < 3; ++k)
        game.computer->setMindLevel(k + 2, levels[k]);
    // Nobody plays the local car: it stays out of the game, or stands still as a target.
    const bool target = getenv("CPU_TARGET") != nullptr;
    if (!target) game.localVehicle->setEnergy(0);

    Match m;
    const int64_t begin = gameClock;
    int seenSelfHits = 0;
    std::vector<std::string> history;
    int64_t firstHit = -1;
    while (gameClock - begin < kLimitMs &&
           (target ? !game.localDead() : game.opponents->count() > 1)) {
        if (target &&
            (gameClock - begin) % (getenv("CPU_STEP") ? std::atoi(getenv("CPU_STEP")) : 10000) ==
                0) {
            std::printf("  t=%3.0f player e%d, distances", (gameClock - begin) / 1000.0,
                        game.localVehicle->energy());
            for (int32_t i = 0; i < game.opponents->count(); ++i)
                std::printf(
                    " %.0f(g%d)",
                    (game.opponents->get(i)->position() - game.localVehicle->position()).length() *
                        100.0,
                    game.computer->mind(game.opponents->get(i)->id())->goal() *
                        (game.computer->mind(game.opponents->get(i)->id())->escaping() ? -1 : 1));
            std::printf("\n");
        }
        if (target && firstHit < 0 && game.localVehicle->energy() < 5) {
            firstHit = gameClock - begin;
            std::printf("  first hit on the player at %.1f s\n", firstHit / 1000.0);
        }
        gameClock += kTickMs;
        const bool trace = getenv("CPU_TRACE") != nullptr;
        std::vector<int32_t> energyBefore;
        for (int32_t i = 0; i < game.opponents->count(); ++i)
            energyBefore.push_back(game.opponents->get(i)->energy());
        if (trace) {
            char line[1200];
            int o = 0;
            for (int32_t i = 0; i < game.opponents->count(); ++i) {
                Vehicle* v = game.opponents->get(i);
                CpuDriver* mind = game.computer->mind(v->id());
                Vector3 p = v->position();
                o += std::snprintf(
                    line + o, sizeof line - o, " [%d %s p(%.1f %.1f %.1f) g%d r%zu %c %s]", v->id(),
                    mind && mind->escaping() ? "ESC" : "   ", p.x * 100, p.y * 100, p.z * 100,
                    mind ? mind->goal() : -1, mind ? mind->route().points.size() : 0,
                    mind && mind->route().reached ? 'R' : '-',
                    mind && getenv("CPU_NOTES") ? mind->note() : "");
                if (o >= static_cast<int>(sizeof line)) break;
            }
            history.push_back(line);
            if (history.size() > 100) history.erase(history.begin());
        }
        std::vector<int32_t> ids;
        for (int32_t i = 0; i < game.opponents->count(); ++i)
            ids.push_back(game.opponents->get(i)->id());
        std::vector<int> cloaks;
        for (int32_t i = 0; i < game.opponents->count(); ++i)
            cloaks.push_back(game.opponents->get(i)->cloak());
        game.tick();
        if (getenv("CPU_CLOAKS"))
            for (int32_t i = 0; i < game.opponents->count() && i < (int32_t)cloaks.size(); ++i)
                if (game.opponents->get(i)->cloak() != cloaks[i])
                    std::printf("t=%.1f car %d cloak %d energy %d goal %d esc %d note %s\n",
                                (gameClock - begin) / 1000.0, game.opponents->get(i)->id(),
                                game.opponents->get(i)->cloak(), game.opponents->get(i)->energy(),
                                game.computer->mind(game.opponents->get(i)->id())->goal(),
                                game.computer->mind(game.opponents->get(i)->id())->escaping(),
                                game.computer->mind(game.opponents->get(i)->id())->note());
        int selfHits = 0;
        for (const auto& h : game.computer->tally().hits)
            if (getenv("CPU_TRACE_ALL") || h.first.first == h.first.second) selfHits += h.second;
        if (trace && selfHits > seenSelfHits) {
            int32_t victim = 0;
            for (size_t k = 0; k < ids.size(); ++k) {
                Vehicle* v = nullptr;
                for (int32_t i = 0; i < game.opponents->count(); ++i)
                    if (game.opponents->get(i)->id() == ids[k]) v = game.opponents->get(i);
                if (!v || v->energy() < energyBefore[k]) victim = ids[k];
            }
            std::printf("HIT of car %d at t=%.2f\n", victim, (gameClock - begin) / 1000.0);
            for (int32_t i = 0; i < game.bombs->count(); ++i) {
                Bomb* b = game.bombs->get(i);
                if (b->owner() != victim && !getenv("CPU_TRACE_ALL")) continue;
                Vector3 q = b->position();
                std::printf(
                    "  bomb of %d range %d exploded %d remote %d hit %d at (%.1f %.1f %.1f) "
                    "deadline %+lld\n",
                    b->owner(), b->range(), b->exploded(), b->remote(), b->hitDone(), q.x / 1.02,
                    q.y / 1.02, q.z / 1.02, static_cast<long long>(b->deadlineMs() - gameClock));
            }
            for (size_t k = 0; k < history.size(); k += 3)
                std::printf("  %3zu%s\n", history.size() - k, history[k].c_str());
        }
        seenSelfHits = selfHits;
        if (getenv("CPU_PROBE") && gameClock - begin == std::atoi(getenv("CPU_PROBE"))) {
            Vehicle* v = game.opponents->get(1);
            for (int32_t i = 0; i < game.opponents->count(); ++i)
                if (getenv("CPU_WATCH") &&
                    game.opponents->get(i)->id() == std::atoi(getenv("CPU_WATCH")))
                    v = game.opponents->get(i);
            Vector3 p0 = v->position(), h0 = v->heading();
            std::printf("probe car %d at (%.2f %.2f %.2f)\n", v->id(), p0.x * 100, p0.y * 100,
                        p0.z * 100);
            for (int turn = -4; turn <= 4; turn += 4)
                for (int move = -1; move <= 1; ++move) {
                    v->setPosition(p0);
                    v->setHeading(h0);
                    steerVehicle(*game.world, *v, turn, move, overheadView(p0));
                    std::printf("  turn %+d move %+d: moved %.3f turned %.3f\n", turn, move,
                                (v->position() - p0).length() * 100, (v->heading() - h0).length());
                }
            v->setPosition(p0);
            v->setHeading(h0);
            v->updateOrientation();
            for (WallBlock* b = game.world->blocks().first(); b; b = game.world->blocks().next()) {
                Vector3 c = (b->baseCorner(0) + b->baseCorner(1) + b->baseCorner(2)) / 3.0;
                if (b->state() == 0 && (c - p0 * 100.0).length() < 25)
                    std::printf("  block %d at %.1f units\n", b->id(), (c - p0 * 100.0).length());
            }
        }
        if (getenv("CPU_WATCH") && (gameClock - begin) % 200 == 0) {
            for (int32_t i = 0; i < game.opponents->count(); ++i) {
                Vehicle* v = game.opponents->get(i);
                if (std::atoi(getenv("CPU_WATCH")) && v->id() != std::atoi(getenv("CPU_WATCH")))
                    continue;
                CpuDriver* mind = game.computer->mind(v->id());
                Vector3 p = v->position() * 100.0;
                std::printf("t=%.1f car %d at (%.1f %.1f %.1f) %s goal %d: %s\n",
                            (gameClock - begin) / 1000.0, v->id(), p.x, p.y, p.z,
                            mind->escaping() ? "ESC" : "", mind->goal(), mind->note());
            }
        }
        if (verbose && (gameClock - begin) % 5000 == 0) {
            std::printf("  t=%5.1fs", (gameClock - begin) / 1000.0);
            for (int32_t i = 0; i < game.opponents->count(); ++i) {
                Vehicle* v = game.opponents->get(i);
                CpuDriver* mind = game.computer->mind(v->id());
                double nearest = 1e9;
                for (int32_t j = 0; j < game.opponents->count(); ++j)
                    if (j != i)
                        nearest = std::min(
                            nearest,
                            (game.opponents->get(j)->position() - v->position()).length() * 100.0);
                std::printf("  [%d e%d b%d r%d rc%d%s g%d%s d%.0f]", v->id(), v->energy(),
                            v->bombsAvailable(), v->flameRange(), v->remoteControl(),
                            v->cloak() ? " CLOAK" : "", mind ? mind->goal() : -1,
                            mind && mind->escaping() ? "E" : "", nearest);
            }
            std::printf("  bombs %d\n", game.bombs->count());
        }
    }
    m.durationMs = gameClock - begin;
    m.finished = game.opponents->count() <= 1;
    if (game.opponents->count() == 1) {
        m.winner = game.opponents->get(0)->id();
        m.winnerLevel = levels[m.winner - 2];
    }
    for (int k = 0; k < 3; ++k)
        if (CpuDriver* mind = game.computer->mind(k + 2)) m.stats[k] = mind->stats();
    const CpuTally& tally = game.computer->tally();
    m.remoteHits = tally.remoteHits;
    for (const auto& d : tally.bombsDropped)
        m.dropped += d.second;
    for (const auto& h : tally.hits) {
        m.hits += h.second;
        if (h.first.first == h.first.second) m.selfHits += h.second;
    }
    for (const auto& k : tally.kills)
        if (k.first.first == k.first.second) m.selfKills += k.second;
    game.end();
    gGame = nullptr;
    setClock(nullptr);
    setRandomSource(nullptr);
    return m;
}

double percentile(std::vector<int64_t> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(q * (v.size() - 1) + 0.5);
    return v[i] / 1000.0;
}

const char* levelName(int32_t level) {
    return level == kCpuHard ? "HARD" : "EASY";
}

void report(const char* title, const std::vector<Match>& ms) {
    int dropped = 0, selfHits = 0, selfKills = 0, hits = 0, finished = 0, remoteHits = 0;
    std::vector<int64_t> durations;
    int wins[5] = {0, 0, 0, 0, 0};
    int easyWins = 0, hardWins = 0;
    for (const Match& m : ms) {
        dropped += m.dropped;
        selfHits += m.selfHits;
        selfKills += m.selfKills;
        hits += m.hits;
        remoteHits += m.remoteHits;
        durations.push_back(m.durationMs);
        if (m.finished) ++finished;
        wins[m.winner]++;
        if (m.winnerLevel == kCpuEasy) ++easyWins;
        if (m.winnerLevel == kCpuHard) ++hardWins;
    }
    std::printf("%s: %zu matches, %d ended (%d still running after %lld min)\n", title, ms.size(),
                finished, static_cast<int>(ms.size()) - finished,
                static_cast<long long>(kLimitMs / 60000));
    std::printf("  bombs dropped %d, cars hit %d (%d by remote bombs)\n", dropped, hits,
                remoteHits);
    std::printf("  own bomb hit its dropper: %d (%.1f %% of bombs); killed its dropper: %d "
                "(%.1f %% of bombs)\n",
                selfHits, dropped ? 100.0 * selfHits / dropped : 0.0, selfKills,
                dropped ? 100.0 * selfKills / dropped : 0.0);
    std::printf("  game time: p50 %.0f s, p90 %.0f s; ended within 5 min: %.0f %%\n",
                percentile(durations, 0.5), percentile(durations, 0.9),
                100.0 * std::count_if(ms.begin(), ms.end(), [](const Match& m) {
                    return m.finished && m.durationMs <= 5 * 60 * 1000;
                }) / std::max<size_t>(1, ms.size()));
    CpuStats all;
    for (const Match& m : ms) {
        for (const CpuStats& c : m.stats) {
            all.dropsForBlocks += c.dropsForBlocks;
            all.dropsPressing += c.dropsPressing;
            all.dropsTrapping += c.dropsTrapping;
            all.remoteFirings += c.remoteFirings;
            all.unsticks += c.unsticks;
            all.desperateEscapes += c.desperateEscapes;
        }
    }
    std::printf("  drops (of cars still in the game at the end): for blocks %d, pressing %d, "
                "trapping %d; remote firings %d; unsticks %d; desperate escapes %d\n",
                all.dropsForBlocks, all.dropsPressing, all.dropsTrapping, all.remoteFirings,
                all.unsticks, all.desperateEscapes);
    std::printf("  winners: car 2 %d, car 3 %d, car 4 %d, none %d (easy %d, hard %d)\n", wins[2],
                wins[3], wins[4], wins[0], easyWins, hardWins);
}

} // namespace

int main(int argc, char** argv) {
    int n = 10;
    uint32_t seed = 1;
    bool verbose = false;
    std::string which = "all";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-v"))
            verbose = true;
        else if (!std::strcmp(argv[i], "-seed") && i + 1 < argc)
            seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        else if (!std::strcmp(argv[i], "-only") && i + 1 < argc)
            which = argv[++i];
        else if (argv[i][0] != '-')
            n = std::max(1, std::atoi(argv[i]));
        else {
            std::fprintf(stderr,
                         "usage: corvane_cpu_matches [N] [-seed S] [-only easy|hard|mixed] [-v]\n");
            return 1;
        }
    }
    gameMode = 1;
    struct Setup {
        const char* name;
        int32_t levels[3];
    } setups[] = {{"easy", {kCpuEasy, kCpuEasy, kCpuEasy}},
                  {"hard", {kCpuHard, kCpuHard, kCpuHard}},
                  {"mixed", {kCpuHard, kCpuEasy, kCpuEasy}}};
    for (const Setup& s : setups) {
        if (which != "all" && which != s.name) continue;
        std::vector<Match> ms;
        for (int i = 0; i < n; ++i) {
            if (verbose) std::printf("%s match %d\n", s.name, i + 1);
            ms.push_back(play(seed + 7919u * i, s.levels, verbose));
            if (getenv("CPU_EACH"))
                std::printf(
                    "  %s seed %u: %.0f s, winner %d, hits %d (remote %d, own %d), bombs %d\n",
                    s.name, seed + 7919u * i, ms.back().durationMs / 1000.0, ms.back().winner,
                    ms.back().hits, ms.back().remoteHits, ms.back().selfHits, ms.back().dropped);
        }
        std::string title = std::string(levelName(s.levels[0])) + " x3";
        if (std::string(s.name) == "mixed") title = "HARD (car 2) against two EASY (cars 3, 4)";
        report(title.c_str(), ms);
    }
    return 0;
}
