// A soak of the real server: protocol bots over non-blocking sockets play one game at 25 ticks a
// second while other connections join, leave and drop at seeded random times and one player stops
// reading. The run checks what every bot receives and returns what it found and measured.
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "protocol.h"
#include "server/server_harness.h"

namespace soak {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr int kTickMs = 40;

struct Config {
    double seconds = 15.0;
    uint32_t seed = 20261209;
    int steadyBots = 4;        // joined in the lobby and present until the end
    int churnPlayers = 2;      // joined in the lobby, gone at a random time during the game
    bool stalledPeer = true;   // joined in the lobby, never reads again once the game starts
    int maxNewcomers = 3;      // connections opened during the game, at most this many at once
    double newcomerRate = 2.0; // newcomer arrivals per second
};

// The configuration for a run: CORVANE_SOAK_SECONDS and CORVANE_SOAK_SEED from the environment
// where they are set to valid numbers, else defaultSeconds and the built-in seed.
inline Config configFromEnvironment(double defaultSeconds) {
    Config c;
    c.seconds = defaultSeconds;
    if (const char* s = std::getenv("CORVANE_SOAK_SECONDS")) {
        double v = std::strtod(s, nullptr);
        if (v > 0 && v <= 3600) c.seconds = v;
    }
    if (const char* s = std::getenv("CORVANE_SOAK_SEED")) {
        char* end = nullptr;
        unsigned long v = std::strtoul(s, &end, 10);
        if (end != s) c.seed = static_cast<uint32_t>(v);
    }
    return c;
}

struct Report {
    bool serverStarted = false;
    // Every fault found, each described precisely; empty when the server behaved.
    std::vector<std::string> problems;
    int problemCount = 0;

    double gameSeconds = 0;
    int32_t blocks = 0;
    int32_t destroyedBlocks = 0; // in the steady bots' common view
    int32_t takenItems = 0;
    int64_t eventsSent = 0;      // messages of types 8..15 the bots handed to the server
    int64_t eventsDelivered = 0; // messages of types 8..15 the bots received
    int64_t movesMeasured = 0;
    double latencyP50Ms = 0;
    double latencyP99Ms = 0;
    double latencyMaxMs = 0;
    int newcomers = 0;
    int deniedJoins = 0;
    int labyrinthRequests = 0;
    int lateTicks = 0;
    bool stalledPeerCut = false;
    double stalledPeerCutAfter = 0; // seconds into the game
    int serverExitStatus = -1;
    std::string serverErrors; // the end of the server's output after a bad exit
};

namespace detail {

enum class Role { kSteady, kChurn, kStalled, kNewcomer };
enum class Exit { kNone, kLeaveGame, kDeadThenLeave, kClose, kReset };

inline const char* roleName(Role r) {
    switch (r) {
    case Role::kSteady:
        return "steady";
    case Role::kChurn:
        return "churning";
    case Role::kStalled:
        return "stalled";
    default:
        return "newcomer";
    }
}

inline double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

struct Bot {
    int index = 0;
    Role role = Role::kSteady;
    std::string name;
    std::mt19937 rng;
    int fd = -1;
    bool connecting = true;
    Clock::time_point openedAt;

    Bytes in;
    size_t inStart = 0;
    Bytes out;
    bool reading = true;
    bool shutAfterFlush = false; // send FIN once out is empty
    bool shut = false;           // FIN sent; waiting for the server's close
    Clock::time_point shutAt;

    bool greeted = false;
    bool awaitingReply = false;
    Clock::time_point joinSentAt;
    bool joined = false;
    bool everJoined = false;
    int32_t playerId = 0;
    bool started = false;
    bool awaitingLabyrinth = false;
    Clock::time_point requestSentAt;
    bool haveLabyrinth = false;
    std::vector<Bytes> setAside;

    std::vector<proto::BlockRecord> blocks;
    std::set<int32_t> destroyed, taken, ownDestroyed, ownTaken;
    std::vector<Clock::time_point> moveSentAt; // by sequence number
    std::map<int32_t, int32_t> lastSeqFrom;    // by player id
    std::map<int32_t, int64_t> movesFrom;      // by player id
    std::set<int32_t> leftIds;                 // PlayerLeft ids seen in the game
    struct LiveBomb {
        int32_t number;
        int fuse;
    };
    std::vector<LiveBomb> bombs;
    int32_t nextBomb = 1;
    bool cloak = false;

    // Churn and newcomer plan.
    Exit exit = Exit::kNone;
    Clock::time_point leaveAt, rejoinAt, closeAt;
    bool leftGame = false;
    bool rejoinSent = false;
    bool planJoin = false;
    bool planRequest = false;
    bool exited = false;
    bool lost = false; // the server ended the connection
    Clock::time_point lostAt;
    bool done = false; // socket closed, nothing more to do
};

} // namespace detail

class SoakRun {
  public:
    explicit SoakRun(const Config& config) : config_(config), rng_(config.seed) {}

    // Runs the whole soak against a fresh server process and returns the findings.
    Report run() {
        harness::ServerProcess server;
        server_ = &server;
        report_.serverStarted = server.startRetrying(5000);
        if (!report_.serverStarted) {
            problem("the server did not start: " + server.output());
            return finish();
        }
        if (lobby() && game()) {
            drain();
            checkViews();
        }
        closeAll(false);
        checkWelcome();
        report_.serverExitStatus = server.interrupt(20000);
        if (report_.serverExitStatus != 0) {
            report_.serverErrors = logTail();
            problem("the server's exit status after SIGINT was " +
                    std::to_string(report_.serverExitStatus) + "; the end of its output:\n" +
                    report_.serverErrors);
        }
        checkLog(server.output());
        return finish();
    }

  private:
    using Bot = detail::Bot;
    using Role = detail::Role;
    using Exit = detail::Exit;
    static double msBetween(Clock::time_point a, Clock::time_point b) {
        return detail::msBetween(a, b);
    }

    // ---- set-up and phases

    static sockaddr_in loopback() {
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_port = htons(proto::kPort);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }

    Bot* addBot(Role role) {
        auto bot = std::make_unique<Bot>();
        bot->index = static_cast<int>(bots_.size());
        bot->role = role;
        bot->name = std::string(detail::roleName(role)) + " bot " + std::to_string(bot->index);
        bot->rng.seed(config_.seed * 7919u + static_cast<uint32_t>(bot->index));
        bot->openedAt = Clock::now();
        bot->fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(bot->fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (role == Role::kStalled) {
            int small = 4096;
            setsockopt(bot->fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        }
        sockaddr_in a = loopback();
        if (connect(bot->fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
            bot->connecting = false;
        } else if (errno != EINPROGRESS) {
            problem(bot->name + ": connect failed, errno " + std::to_string(errno));
            bot->done = true;
        }
        bots_.push_back(std::move(bot));
        return bots_.back().get();
    }

    // Connects the players, joins them all and starts the game; false when the lobby failed.
    bool lobby() {
        for (int i = 0; i < config_.steadyBots; ++i)
            steady_.push_back(addBot(Role::kSteady));
        for (int i = 0; i < config_.churnPlayers; ++i)
            addBot(Role::kChurn);
        if (config_.stalledPeer) stalled_ = addBot(Role::kStalled);
        for (auto& b : bots_)
            b->planJoin = true;
        if (steady_.empty()) {
            problem("no steady bot configured");
            return false;
        }
        auto end = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < end) {
            bool all = true;
            for (auto& b : bots_)
                all = all && b->joined;
            if (all) break;
            pump(20);
        }
        for (auto& b : bots_) {
            if (!b->joined) {
                problem(b->name + " was not admitted to the lobby within 5 s");
                return false;
            }
            playersById_[b->playerId] = b.get();
        }
        // Let the PlayerInfo messages settle, then start.
        auto settle = Clock::now() + std::chrono::milliseconds(100);
        while (Clock::now() < settle)
            pump(10);

        Bot* starter = steady_.front();
        uint8_t start[proto::kHeaderOnlySize];
        queue(*starter, start, proto::encodeHeaderOnly(start, proto::kStartGame));
        ++report_.eventsSent;
        beginGame(*starter);
        if (stalled_) {
            beginGame(*stalled_);
            stalled_->reading = false;
        }
        gameStart_ = Clock::now();
        gameEnd_ =
            gameStart_ + std::chrono::milliseconds(static_cast<int64_t>(config_.seconds * 1000));
        double ticks = config_.seconds * 1000.0 / kTickMs;
        moveStep_ = std::min(1e-4, 1.2 / (ticks + 10));
        for (Bot* b : churners()) {
            std::uniform_real_distribution<double> when(0.2, 0.8);
            b->leaveAt = gameStart_ + ms(when(rng_) * config_.seconds * 1000);
            b->exit = static_cast<Exit>(1 + rng_() % 4);
            b->rejoinAt = b->leaveAt + ms(300 + rng_() % 700);
            b->closeAt = b->rejoinAt + ms(300 + rng_() % 700);
        }
        return true;
    }

    std::vector<Bot*> churners() {
        std::vector<Bot*> list;
        for (auto& b : bots_)
            if (b->role == Role::kChurn) list.push_back(b.get());
        return list;
    }

    static Clock::duration ms(double v) {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double, std::milli>(v));
    }

    void beginGame(Bot& b) {
        b.started = true;
        uint8_t request[proto::kIdMessageSize];
        queue(b, request, proto::encodeIdMessage(request, proto::kLabyrinthRequest, 0));
        ++report_.labyrinthRequests;
        b.awaitingLabyrinth = true;
        b.requestSentAt = Clock::now();
    }

    // Plays until the configured time has passed; false when the game could not go on.
    bool game() {
        auto nextTick = gameStart_ + std::chrono::milliseconds(kTickMs);
        auto nextNewcomer = gameStart_ + ms(arrivalGapMs());
        int64_t tickCount = 0;
        while (Clock::now() < gameEnd_) {
            auto now = Clock::now();
            if (now >= nextTick) {
                if (now - nextTick > std::chrono::milliseconds(kTickMs)) {
                    ++report_.lateTicks;
                    nextTick = now;
                }
                nextTick += std::chrono::milliseconds(kTickMs);
                ++tickCount;
                for (auto& b : bots_)
                    tick(*b, now);
            }
            if (now >= nextNewcomer) {
                int live = 0;
                for (auto& b : bots_)
                    if (b->role == Role::kNewcomer && !b->done) ++live;
                if (live < config_.maxNewcomers && gameEnd_ - now > std::chrono::seconds(2))
                    spawnNewcomer(now);
                nextNewcomer = now + ms(arrivalGapMs());
            }
            for (auto& b : bots_)
                schedule(*b, now);
            int wait = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now())
                    .count());
            pump(std::max(0, std::min(wait, kTickMs)));
            for (Bot* s : steady_) {
                if (s->done) {
                    problem(s->name +
                            " lost its connection during the game; the game cannot go on");
                    return false;
                }
                if (s->awaitingLabyrinth && msBetween(s->requestSentAt, Clock::now()) > 5000) {
                    problem(s->name + " got no Labyrinth within 5 s of its request");
                    return false;
                }
            }
        }
        report_.gameSeconds = msBetween(gameStart_, Clock::now()) / 1000.0;
        (void)tickCount;
        return true;
    }

    double arrivalGapMs() {
        std::exponential_distribution<double> gap(config_.newcomerRate);
        return std::min(5000.0, gap(rng_) * 1000.0);
    }

    void spawnNewcomer(Clock::time_point now) {
        Bot* b = addBot(Role::kNewcomer);
        ++report_.newcomers;
        b->planJoin = rng_() % 5 != 0;
        b->planRequest = rng_() % 2 == 0;
        b->exit = static_cast<Exit>(1 + rng_() % 4);
        b->closeAt = now + ms(50 + rng_() % 1500);
    }

    // Steps a churning player or a newcomer along its plan.
    void schedule(Bot& b, Clock::time_point now) {
        if (b.done || b.lost) return;
        if (b.shut) {
            if (msBetween(b.shutAt, now) > 3000) {
                problem(b.name + ": the server did not close the connection within 3 s of its FIN");
                closeBot(b, false);
            }
            return;
        }
        if (b.role == Role::kChurn && b.joined && now >= b.leaveAt && b.haveLabyrinth) {
            leave(b);
        } else if (b.role == Role::kChurn && b.leftGame && !b.exited) {
            if (!b.rejoinSent && now >= b.rejoinAt) {
                sendJoin(b);
                b.rejoinSent = true;
            } else if (b.rejoinSent && !b.awaitingReply && now >= b.closeAt) {
                b.exited = true;
                closeBot(b, rng_() % 2 == 0);
            }
        } else if (b.role == Role::kNewcomer && !b.exited) {
            if (!b.greeted && msBetween(b.openedAt, now) > 3000) {
                problem(b.name + " got no Welcome within 3 s");
                closeBot(b, true);
            } else if (b.awaitingReply && msBetween(b.joinSentAt, now) > 3000) {
                problem(b.name + " got no JoinReply within 3 s");
                closeBot(b, true);
            } else if (b.awaitingLabyrinth && msBetween(b.requestSentAt, now) > 3000) {
                problem(b.name + " got no Labyrinth within 3 s");
                closeBot(b, true);
            } else if (now >= b.closeAt && !b.awaitingReply && !b.awaitingLabyrinth && b.greeted) {
                b.exited = true;
                if (b.exit == Exit::kLeaveGame || b.exit == Exit::kDeadThenLeave) {
                    uint8_t m[proto::kIdMessageSize];
                    queue(b, m, proto::encodeIdMessage(m, proto::kLeaveGame, b.playerId));
                    closeGracefully(b);
                } else {
                    closeBot(b, b.exit == Exit::kReset);
                }
            }
        }
    }

    void leave(Bot& b) {
        uint8_t m[proto::kIdMessageSize];
        switch (b.exit) {
        case Exit::kDeadThenLeave:
            queue(b, m, proto::encodeIdMessage(m, proto::kPlayerDead, b.playerId));
            ++report_.eventsSent;
            [[fallthrough]];
        case Exit::kLeaveGame:
            queue(b, m, proto::encodeIdMessage(m, proto::kLeaveGame, b.playerId));
            b.joined = false;
            b.leftGame = true;
            break;
        case Exit::kClose:
            b.joined = false;
            b.exited = true;
            closeGracefully(b);
            break;
        default:
            b.joined = false;
            b.exited = true;
            closeBot(b, true);
            break;
        }
    }

    // ---- the game tick of one bot

    Bytes moveBytes(const Bot& b, size_t seq) const {
        double a = 0.05 + moveStep_ * static_cast<double>(seq);
        double beta = 0.7 * b.index;
        proto::VehicleMove m;
        m.playerId = b.playerId;
        m.position =
            Vector3(std::sin(a) * std::cos(beta), std::sin(a) * std::sin(beta), std::cos(a));
        m.heading =
            Vector3(std::cos(a) * std::cos(beta), std::cos(a) * std::sin(beta), -std::sin(a));
        Bytes wire(proto::kVehicleMoveSize);
        proto::encodeVehicleMove(wire.data(), m);
        return wire;
    }

    long moveSequence(const proto::VehicleMove& m) const {
        const Vector3& p = m.position;
        double a = std::atan2(std::hypot(p.x, p.y), p.z);
        return std::lround((a - 0.05) / moveStep_);
    }

    void tick(Bot& b, Clock::time_point now) {
        if (b.done || b.lost || !b.joined || !b.started) return;
        if (b.role != Role::kStalled && !b.haveLabyrinth) return;
        // A fixed number of draws per tick keeps every bot's random stream independent of timing.
        uint32_t r[8];
        for (uint32_t& v : r)
            v = b.rng();
        auto unit = [](uint32_t v) { return v / 4294967296.0; };

        Bytes move = moveBytes(b, b.moveSentAt.size());
        b.moveSentAt.push_back(now);
        queue(b, move.data(), move.size());
        ++report_.eventsSent;
        if (b.role == Role::kStalled) {
            // Keeps asking for the labyrinth, so that what the server holds for it keeps growing.
            if (b.moveSentAt.size() > 25) {
                uint8_t request[proto::kIdMessageSize];
                queue(b, request, proto::encodeIdMessage(request, proto::kLabyrinthRequest, 0));
                ++stalledRequests_;
            }
            return;
        }

        uint8_t m[proto::kBombDroppedSize];
        if (r[0] % 100 == 0) {
            b.cloak = !b.cloak;
            proto::CloakState c;
            c.playerId = b.playerId;
            c.cloak = b.cloak ? 1 : 0;
            queue(b, m, proto::encodeCloakState(m, c));
            ++report_.eventsSent;
        }
        for (size_t i = 0; i < b.bombs.size();) {
            if (--b.bombs[i].fuse > 0) {
                ++i;
                continue;
            }
            proto::BombExploded e;
            e.owner = b.playerId;
            e.number = b.bombs[i].number;
            queue(b, m, proto::encodeBombExploded(m, e));
            ++report_.eventsSent;
            b.bombs.erase(b.bombs.begin() + static_cast<long>(i));
        }
        if (r[1] % 50 == 0 && b.bombs.size() < 3) {
            proto::BombDropped d;
            d.owner = b.playerId;
            d.number = b.nextBomb;
            b.nextBomb = b.nextBomb % 100 + 1;
            d.range = 1 + static_cast<int32_t>(r[2] % 5);
            proto::VehicleMove last;
            proto::decodeVehicleMove(move.data(), move.size(), &last);
            d.dropPoint = last.position * 102.0;
            d.heading = last.heading;
            queue(b, m, proto::encodeBombDropped(m, d));
            ++report_.eventsSent;
            b.bombs.push_back({d.number, 25 + static_cast<int>(r[3] % 50)});
        }
        int32_t n = static_cast<int32_t>(b.blocks.size());
        if (n > 0 && unit(r[4]) < destroyChance_) {
            int32_t start = static_cast<int32_t>(r[5] % static_cast<uint32_t>(n));
            for (int32_t k = 0; k < n; ++k) {
                int32_t id = b.blocks[(start + k) % n].id;
                if (b.destroyed.count(id)) continue;
                b.destroyed.insert(id);
                b.ownDestroyed.insert(id);
                everDestroyed_.insert(id);
                queue(b, m, proto::encodeIdMessage(m, proto::kBlockDestroyed, id));
                ++report_.eventsSent;
                break;
            }
        }
        if (n > 0 && unit(r[6]) < destroyChance_ / 2) {
            int32_t start = static_cast<int32_t>(r[7] % static_cast<uint32_t>(n));
            for (int32_t k = 0; k < n; ++k) {
                const proto::BlockRecord& block = b.blocks[(start + k) % n];
                if (block.item == 0 || !b.destroyed.count(block.id) || b.taken.count(block.id))
                    continue;
                b.taken.insert(block.id);
                b.ownTaken.insert(block.id);
                everTaken_.insert(block.id);
                queue(b, m, proto::encodeIdMessage(m, proto::kItemTaken, block.id));
                ++report_.eventsSent;
                break;
            }
        }
    }

    // ---- socket work

    void sendJoin(Bot& b) {
        uint8_t join[proto::kJoinSize];
        queue(b, join, proto::encodeJoin(join, b.name.c_str()));
        b.awaitingReply = true;
        b.joinSentAt = Clock::now();
        if (gameStart_ != Clock::time_point()) ++gameJoins_;
    }

    void queue(Bot& b, const uint8_t* bytes, size_t n) {
        if (b.done || b.lost || b.shut) return;
        b.out.insert(b.out.end(), bytes, bytes + n);
        flush(b);
    }

    void flush(Bot& b) {
        while (!b.out.empty() && !b.connecting && !b.done && !b.lost) {
            ssize_t sent = send(b.fd, b.out.data(), b.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) return;
                connectionLost(b, errno);
                return;
            }
            b.out.erase(b.out.begin(), b.out.begin() + sent);
        }
        if (b.out.empty() && b.shutAfterFlush && !b.shut && !b.done && !b.lost) {
            shutdown(b.fd, SHUT_WR);
            b.shut = true;
            b.shutAt = Clock::now();
        }
    }

    // Sends a FIN after everything queued; the server's close then ends the bot.
    void closeGracefully(Bot& b) {
        b.shutAfterFlush = true;
        b.reading = true;
        flush(b);
    }

    void closeBot(Bot& b, bool reset) {
        if (b.fd >= 0) {
            if (reset) {
                linger l{1, 0};
                setsockopt(b.fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
            }
            close(b.fd);
        }
        b.fd = -1;
        b.done = true;
        b.joined = false;
    }

    void connectionLost(Bot& b, int err) {
        bool expected = b.shut || b.exited;
        if (!expected) {
            if (b.role == Role::kStalled) {
                report_.stalledPeerCut = true;
                report_.stalledPeerCutAfter = msBetween(gameStart_, Clock::now()) / 1000.0;
            } else {
                problem(b.name + ": the server ended the connection (errno " + std::to_string(err) +
                        ")");
            }
        }
        b.lost = true;
        b.lostAt = Clock::now();
        closeBot(b, false);
    }

    // Waits up to timeoutMs for socket activity and handles all of it.
    void pump(int timeoutMs) {
        std::vector<pollfd> fds;
        std::vector<Bot*> owners;
        for (auto& b : bots_) {
            if (b->done) continue;
            short events = 0;
            if (b->reading) events |= POLLIN;
            if (b->connecting || !b->out.empty()) events |= POLLOUT;
            fds.push_back(pollfd{b->fd, events, 0});
            owners.push_back(b.get());
        }
        if (fds.empty()) {
            pollfd none{-1, 0, 0};
            poll(&none, 0, timeoutMs);
            return;
        }
        if (poll(fds.data(), fds.size(), timeoutMs) <= 0) return;
        for (size_t i = 0; i < fds.size(); ++i) {
            Bot& b = *owners[i];
            short rev = fds[i].revents;
            if (!rev || b.done) continue;
            if (b.connecting && (rev & (POLLOUT | POLLERR | POLLHUP))) {
                int err = 0;
                socklen_t len = sizeof err;
                getsockopt(b.fd, SOL_SOCKET, SO_ERROR, &err, &len);
                if (err != 0) {
                    problem(b.name + ": connect failed, errno " + std::to_string(err));
                    closeBot(b, false);
                    continue;
                }
                b.connecting = false;
            }
            if (rev & POLLOUT) flush(b);
            if (b.reading && (rev & (POLLIN | POLLHUP | POLLERR))) {
                readFrom(b);
            } else if (!b.reading && (rev & (POLLHUP | POLLERR))) {
                connectionLost(b, 0);
            }
        }
    }

    void readFrom(Bot& b) {
        uint8_t chunk[65536];
        for (int i = 0; i < 16 && !b.done; ++i) {
            ssize_t got = recv(b.fd, chunk, sizeof chunk, 0);
            if (got < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) break;
                connectionLost(b, errno);
                return;
            }
            if (got == 0) {
                connectionLost(b, 0);
                return;
            }
            b.in.insert(b.in.end(), chunk, chunk + got);
            if (got < static_cast<ssize_t>(sizeof chunk)) break;
        }
        parse(b);
    }

    // Splits the received bytes into messages; a malformed header ends the bot's connection.
    void parse(Bot& b) {
        Clock::time_point now = Clock::now();
        while (!b.done && b.in.size() - b.inStart >= proto::kHeaderSize) {
            const uint8_t* m = b.in.data() + b.inStart;
            uint32_t type = proto::getU32(m);
            uint32_t length = proto::getU32(m + 4);
            std::string why = shapeFault(type, length);
            if (!why.empty()) {
                problem(b.name + " received a malformed message: " + why);
                closeBot(b, false);
                return;
            }
            if (b.in.size() - b.inStart < length) break;
            Bytes message(m, m + length);
            b.inStart += length;
            dispatch(b, message, now);
        }
        if (b.inStart > 0 && b.inStart == b.in.size()) {
            b.in.clear();
            b.inStart = 0;
        } else if (b.inStart > 65536) {
            b.in.erase(b.in.begin(), b.in.begin() + static_cast<long>(b.inStart));
            b.inStart = 0;
        }
    }

    static std::string shapeFault(uint32_t type, uint32_t length) {
        char text[96];
        if (type < proto::kLabyrinth || type > proto::kLobbyOpen) {
            std::snprintf(text, sizeof text, "type %u (length %u)", type, length);
            return text;
        }
        if (type == proto::kLabyrinth) {
            if (length >= proto::kLabyrinthHeadSize &&
                (length - proto::kLabyrinthHeadSize) % proto::kBlockRecordSize == 0 &&
                (length - proto::kLabyrinthHeadSize) / proto::kBlockRecordSize <=
                    static_cast<uint32_t>(proto::kMaxBlocks))
                return "";
        } else if (length == proto::messageLength(type)) {
            return "";
        }
        std::snprintf(text, sizeof text, "type %u with length %u", type, length);
        return text;
    }

    // ---- what a bot does with each message

    void dispatch(Bot& b, const Bytes& message, Clock::time_point now) {
        uint32_t type = proto::getU32(message.data());
        if (type >= proto::kCloakState && type <= proto::kStartGame) ++report_.eventsDelivered;
        if (!b.greeted) {
            proto::Welcome w;
            if (type != proto::kWelcome ||
                !proto::decodeWelcome(message.data(), message.size(), &w) ||
                w.magic != proto::kWelcomeMagic) {
                problem(b.name + ": the first message was type " + std::to_string(type) +
                        ", not a Welcome with the magic");
                closeBot(b, false);
                return;
            }
            b.greeted = true;
            if (b.planJoin) sendJoin(b);
            return;
        }
        if (b.awaitingReply) {
            if (type == proto::kPlayerLeft) return;
            if (type == proto::kJoinReply) {
                onJoinReply(b, message);
                return;
            }
            if (b.everJoined && type >= proto::kCloakState && type <= proto::kItemTaken) return;
            problem(b.name + ": type " + std::to_string(type) + " came ahead of its JoinReply");
            return;
        }
        if (b.awaitingLabyrinth) {
            if (type != proto::kLabyrinth) {
                b.setAside.push_back(message);
                return;
            }
            onLabyrinth(b, message);
            std::vector<Bytes> aside;
            aside.swap(b.setAside);
            for (const Bytes& m : aside)
                handle(b, m, now);
            return;
        }
        handle(b, message, now);
    }

    void onJoinReply(Bot& b, const Bytes& message) {
        b.awaitingReply = false;
        proto::JoinReply reply;
        if (!proto::decodeJoinReply(message.data(), message.size(), &reply)) {
            problem(b.name + ": undecodable JoinReply");
            return;
        }
        bool inGame = gameStart_ != Clock::time_point();
        if (!inGame) {
            if (reply.accepted != 1 || reply.playerId < 1 || reply.playerId > 100) {
                problem(b.name + ": lobby join answered with accepted " +
                        std::to_string(reply.accepted) + ", id " + std::to_string(reply.playerId));
                return;
            }
            for (double c : reply.colour)
                if (!(c >= 0 && c <= 2.0 / 3.0)) problem(b.name + ": colour out of range");
            b.joined = b.everJoined = true;
            b.playerId = reply.playerId;
            return;
        }
        if (reply.accepted != 0 || reply.playerId != 0) {
            problem(b.name + ": a join during the game was answered with accepted " +
                    std::to_string(reply.accepted) + ", id " + std::to_string(reply.playerId));
            return;
        }
        ++report_.deniedJoins;
        if (b.role == Role::kNewcomer && b.planRequest) beginGame(b);
    }

    void onLabyrinth(Bot& b, const Bytes& message) {
        b.awaitingLabyrinth = false;
        int32_t n = 0;
        if (!proto::decodeLabyrinthHead(message.data(), message.size(), &n)) {
            problem(b.name + ": undecodable Labyrinth head");
            return;
        }
        if (referenceLabyrinth_.empty()) {
            referenceLabyrinth_ = message;
            if (n == 0) problem("the labyrinth of the started game is empty");
        } else if (message != referenceLabyrinth_) {
            problem(b.name + ": its Labyrinth differs from the one the first bot received");
        }
        if (b.role == Role::kNewcomer) return;
        b.blocks.clear();
        for (int32_t i = 0; i < n; ++i) {
            proto::BlockRecord r;
            if (!proto::decodeBlockRecord(message.data() + proto::kLabyrinthHeadSize +
                                              proto::kBlockRecordSize * i,
                                          proto::kBlockRecordSize, &r)) {
                problem(b.name + ": undecodable block record " + std::to_string(i));
                return;
            }
            if (r.id != i + 1)
                problem(b.name + ": block record " + std::to_string(i) + " has id " +
                        std::to_string(r.id));
            b.blocks.push_back(r);
        }
        b.haveLabyrinth = true;
        if (destroyChance_ == 0 && n > 0) {
            double players = config_.steadyBots + config_.churnPlayers * 0.5;
            double ticks = config_.seconds * 1000.0 / kTickMs;
            destroyChance_ = std::min(0.5, 0.6 * n / std::max(1.0, players * ticks));
        }
    }

    bool knownPlayer(int32_t id) const { return playersById_.count(id) != 0; }

    void handle(Bot& b, const Bytes& message, Clock::time_point now) {
        uint32_t type = proto::getU32(message.data());
        const uint8_t* m = message.data();
        size_t len = message.size();
        bool relayedEvent = type >= proto::kCloakState && type <= proto::kItemTaken;
        if (!b.everJoined && (relayedEvent || type == proto::kStartGame)) {
            problem(b.name + ", never joined, received relayed type " + std::to_string(type));
            return;
        }
        if (relayedEvent && (!b.joined || !b.haveLabyrinth)) return; // left, or still in the lobby
        int32_t id = 0;
        switch (type) {
        case proto::kLabyrinth:
            problem(b.name + " received a Labyrinth it did not ask for");
            break;
        case proto::kWelcome:
            problem(b.name + " received a second Welcome");
            break;
        case proto::kJoinReply:
            problem(b.name + " received a JoinReply it did not ask for");
            break;
        case proto::kPlayerInfo:
            if (gameStart_ != Clock::time_point() && b.started)
                problem(b.name + " received a PlayerInfo during the game: someone was admitted");
            break;
        case proto::kPlayerLeft:
            proto::decodeIdMessage(m, len, proto::kPlayerLeft, &id);
            if (b.started) b.leftIds.insert(id);
            break;
        case proto::kStartGame:
            if (b.started) {
                problem(b.name + " received a second StartGame");
            } else if (b.joined) {
                beginGame(b);
            }
            break;
        case proto::kEndGame:
            problem(b.name + " received an EndGame, which the server never relays");
            break;
        case proto::kLobbyOpen:
            problem(b.name + " received a LobbyOpen while members still played");
            break;
        case proto::kChatLine:
            problem(b.name + " received a ChatLine nobody sent");
            break;
        case proto::kVehicleMove:
            onMove(b, message, now);
            break;
        case proto::kCloakState: {
            proto::CloakState c;
            proto::decodeCloakState(m, len, &c);
            if (!knownPlayer(c.playerId) || c.cloak > 1)
                problem(b.name + ": CloakState for id " + std::to_string(c.playerId) + " state " +
                        std::to_string(c.cloak));
            break;
        }
        case proto::kPlayerDead:
            proto::decodeIdMessage(m, len, type, &id);
            if (!knownPlayer(id))
                problem(b.name + ": PlayerDead for unknown id " + std::to_string(id));
            break;
        case proto::kBombDropped: {
            proto::BombDropped d;
            proto::decodeBombDropped(m, len, &d);
            if (!knownPlayer(d.owner) || d.number < 1 || d.number > 100)
                problem(b.name + ": BombDropped owner " + std::to_string(d.owner) + " number " +
                        std::to_string(d.number));
            break;
        }
        case proto::kBombExploded: {
            proto::BombExploded e;
            proto::decodeBombExploded(m, len, &e);
            if (!knownPlayer(e.owner)) problem(b.name + ": BombExploded of unknown owner");
            break;
        }
        case proto::kBlockDestroyed:
            proto::decodeIdMessage(m, len, type, &id);
            if (!everDestroyed_.count(id))
                problem(b.name + ": BlockDestroyed for block " + std::to_string(id) +
                        " that no bot destroyed");
            else
                b.destroyed.insert(id);
            break;
        case proto::kItemTaken:
            proto::decodeIdMessage(m, len, type, &id);
            if (!everTaken_.count(id))
                problem(b.name + ": ItemTaken for block " + std::to_string(id) +
                        " that no bot took");
            else
                b.taken.insert(id);
            break;
        default:
            break;
        }
    }

    void onMove(Bot& b, const Bytes& message, Clock::time_point now) {
        proto::VehicleMove move;
        proto::decodeVehicleMove(message.data(), message.size(), &move);
        auto sender = playersById_.find(move.playerId);
        if (sender == playersById_.end()) {
            problem(b.name + ": VehicleMove from unknown id " + std::to_string(move.playerId));
            return;
        }
        Bot& from = *sender->second;
        long seq = moveSequence(move);
        if (seq < 0 || static_cast<size_t>(seq) >= from.moveSentAt.size() ||
            moveBytes(from, static_cast<size_t>(seq)) != message) {
            problem(b.name + ": a VehicleMove of " + from.name + " arrived altered");
            return;
        }
        auto last = b.lastSeqFrom.find(move.playerId);
        if (last != b.lastSeqFrom.end() && seq <= last->second)
            problem(b.name + ": move " + std::to_string(seq) + " of " + from.name +
                    " arrived after move " + std::to_string(last->second));
        b.lastSeqFrom[move.playerId] = static_cast<int32_t>(seq);
        ++b.movesFrom[move.playerId];
        latenciesMs_.push_back(msBetween(from.moveSentAt[static_cast<size_t>(seq)], now));
    }

    // ---- the end

    void drain() {
        auto answered = Clock::now() + std::chrono::seconds(3);
        for (;;) {
            Bot* waiting = nullptr;
            for (auto& b : bots_)
                if (b->role != Role::kStalled && !b->done &&
                    (b->awaitingReply || b->awaitingLabyrinth))
                    waiting = b.get();
            if (!waiting) break;
            if (Clock::now() >= answered) {
                problem(waiting->name + " still waits for an answer 3 s after the game");
                break;
            }
            pump(10);
        }
        for (auto& b : bots_) {
            if (b->role == Role::kSteady || b->done) continue;
            if (b->role == Role::kStalled) {
                closeBot(*b, true);
                continue;
            }
            closeBot(*b, false);
        }
        auto end = Clock::now() + std::chrono::seconds(10);
        auto quietSince = Clock::now();
        while (Clock::now() < end && msBetween(quietSince, Clock::now()) < 300) {
            size_t before = 0;
            for (Bot* s : steady_)
                before += s->in.size() + s->inStart;
            pump(50);
            size_t after = 0;
            for (Bot* s : steady_)
                after += s->in.size() + s->inStart;
            if (after != before) quietSince = Clock::now();
        }
        if (msBetween(quietSince, Clock::now()) < 300)
            problem("the steady bots were still receiving 10 s after the game ended");
    }

    static std::string idList(const std::set<int32_t>& s) {
        std::string text;
        int shown = 0;
        for (int32_t id : s) {
            if (shown++ == 12) {
                text += " ...";
                break;
            }
            text += " " + std::to_string(id);
        }
        return text.empty() ? " (none)" : text;
    }

    static std::set<int32_t> minus(const std::set<int32_t>& a, const std::set<int32_t>& b) {
        std::set<int32_t> d;
        for (int32_t v : a)
            if (!b.count(v)) d.insert(v);
        return d;
    }

    // The steady bots' views agree with each other and with what the bots destroyed and took.
    void checkViews() {
        for (Bot* s : steady_)
            if (!s->haveLabyrinth) problem(s->name + " never got the labyrinth");
        report_.blocks = static_cast<int32_t>(steady_.front()->blocks.size());
        const Bot& first = *steady_.front();
        report_.destroyedBlocks = static_cast<int32_t>(first.destroyed.size());
        report_.takenItems = static_cast<int32_t>(first.taken.size());
        for (Bot* s : steady_) {
            if (s->destroyed != first.destroyed)
                problem(s->name + " and " + first.name + " disagree on destroyed blocks: only in " +
                        s->name + ":" + idList(minus(s->destroyed, first.destroyed)) +
                        "; only in " + first.name + ":" +
                        idList(minus(first.destroyed, s->destroyed)));
            if (s->taken != first.taken)
                problem(s->name + " and " + first.name + " disagree on taken items");
        }
        std::set<int32_t> mustDestroyed, mayDestroyed, mustTaken, mayTaken;
        for (auto& b : bots_) {
            if (b->role == Role::kNewcomer || b->role == Role::kStalled) continue;
            bool certain = b->role == Role::kSteady || b->exit != Exit::kReset;
            for (int32_t id : b->ownDestroyed)
                (certain ? mustDestroyed : mayDestroyed).insert(id);
            for (int32_t id : b->ownTaken)
                (certain ? mustTaken : mayTaken).insert(id);
        }
        std::set<int32_t> missing = minus(mustDestroyed, first.destroyed);
        if (!missing.empty())
            problem("blocks destroyed by a bot but never destroyed in the steady view:" +
                    idList(missing));
        std::set<int32_t> extra = minus(minus(first.destroyed, mustDestroyed), mayDestroyed);
        if (!extra.empty())
            problem("blocks destroyed in the steady view by no bot:" + idList(extra));
        if (!minus(mustTaken, first.taken).empty())
            problem("items taken by a bot but not in the steady view:" +
                    idList(minus(mustTaken, first.taken)));
        if (!minus(minus(first.taken, mustTaken), mayTaken).empty())
            problem("items taken in the steady view by no bot");

        // Every move of a player that left in order reached every steady bot, in order.
        for (Bot* r : steady_) {
            for (auto& s : bots_) {
                if (s.get() == r || s->role == Role::kNewcomer || s->role == Role::kStalled)
                    continue;
                if (s->role == Role::kChurn && s->exit == Exit::kReset) continue;
                int64_t got = r->movesFrom[s->playerId];
                if (got != static_cast<int64_t>(s->moveSentAt.size()))
                    problem(r->name + " received " + std::to_string(got) + " of the " +
                            std::to_string(s->moveSentAt.size()) + " moves of " + s->name);
            }
            for (Bot* c : churners())
                if (!r->leftIds.count(c->playerId))
                    problem(r->name + " never learnt that " + c->name + " left");
            if (report_.stalledPeerCut && !r->leftIds.count(stalled_->playerId))
                problem(r->name + " never learnt that the stalled peer was dropped");
        }
        std::sort(latenciesMs_.begin(), latenciesMs_.end());
        report_.movesMeasured = static_cast<int64_t>(latenciesMs_.size());
        if (!latenciesMs_.empty()) {
            auto at = [&](double q) {
                size_t i = static_cast<size_t>(q * static_cast<double>(latenciesMs_.size() - 1));
                return latenciesMs_[i];
            };
            report_.latencyP50Ms = at(0.5);
            report_.latencyP99Ms = at(0.99);
            report_.latencyMaxMs = latenciesMs_.back();
        }
    }

    void closeAll(bool reset) {
        for (auto& b : bots_)
            if (!b->done) closeBot(*b, reset);
    }

    void checkWelcome() {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = loopback();
        Bytes w(proto::kWelcomeSize);
        size_t got = 0;
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
            auto end = Clock::now() + std::chrono::seconds(3);
            while (got < w.size() && Clock::now() < end) {
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, 100) <= 0) continue;
                ssize_t r = recv(fd, w.data() + got, w.size() - got, 0);
                if (r <= 0) break;
                got += static_cast<size_t>(r);
            }
        }
        close(fd);
        proto::Welcome welcome;
        if (got != w.size() || !proto::decodeWelcome(w.data(), w.size(), &welcome) ||
            welcome.magic != proto::kWelcomeMagic)
            problem("after the soak a new connection got no Welcome (" + std::to_string(got) +
                    " bytes); the end of the server's log:\n" + logTail());
    }

    static int countOf(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }

    void checkLog(const std::string& log) {
        int starts = countOf(log, " started game\n");
        if (starts != 1)
            problem("the server logged " + std::to_string(starts) + " StartGame lines, not 1");
        // The stalled peer's requests after the server dropped it are never read.
        int asks = countOf(log, " asks for the labyrinth\n");
        if (asks < report_.labyrinthRequests || asks > report_.labyrinthRequests + stalledRequests_)
            problem("the server logged " + std::to_string(asks) +
                    " labyrinth requests; the bots sent " +
                    std::to_string(report_.labyrinthRequests) + " and the stalled peer " +
                    std::to_string(stalledRequests_) + " more");
        int accepted = countOf(log, " accepted\n");
        int lobbyPlayers =
            config_.steadyBots + config_.churnPlayers + (config_.stalledPeer ? 1 : 0);
        if (accepted != lobbyPlayers)
            problem("the server logged " + std::to_string(accepted) + " accepted joins, not " +
                    std::to_string(lobbyPlayers));
        int denied = countOf(log, " denied\n");
        if (denied != report_.deniedJoins || denied != gameJoins_)
            problem("the server logged " + std::to_string(denied) +
                    " denied joins; the bots sent " + std::to_string(gameJoins_) +
                    " joins during the game and saw " + std::to_string(report_.deniedJoins) +
                    " denials");
    }

    void problem(const std::string& text) {
        if (report_.problems.size() < 40) report_.problems.push_back(text);
        ++report_.problemCount;
    }

    std::string logTail() {
        std::string log = server_->output();
        return log.substr(log.size() > 3000 ? log.size() - 3000 : 0);
    }

    Report finish() {
        server_ = nullptr;
        return report_;
    }

    Config config_;
    std::mt19937 rng_;
    Report report_;
    harness::ServerProcess* server_ = nullptr;
    std::vector<std::unique_ptr<Bot>> bots_;
    std::vector<Bot*> steady_;
    Bot* stalled_ = nullptr;
    std::map<int32_t, Bot*> playersById_;
    Bytes referenceLabyrinth_;
    std::set<int32_t> everDestroyed_, everTaken_;
    std::vector<double> latenciesMs_;
    Clock::time_point gameStart_, gameEnd_;
    double moveStep_ = 1e-4;
    double destroyChance_ = 0;
    int stalledRequests_ = 0;
    int gameJoins_ = 0;
};

} // namespace soak
