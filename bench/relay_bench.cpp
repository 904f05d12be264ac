// Relay latency of the real server under a game's load: 7 joined clients sending VehicleMove at
// 25 Hz, 100 idle unjoined connections and one peer stuck on half a header, beside a direct
// client-to-client loopback send measured in the same run. relay_* counts every receiver (read
// one after another), first_* only the first receiver of each message.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "server/server_harness.h"

using namespace harness;

namespace {

constexpr int kPlayers = 7;
constexpr int kIdle = 100;
constexpr int kTicks = 100; // 4 s at 25 Hz

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * (v.size() - 1) + 0.5);
    return v[i];
}

// A connected loopback TCP pair on an ephemeral port, both ends with TCP_NODELAY.
bool directPair(int* a, int* b) {
    int l = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(l, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(l, 1) != 0 ||
        getsockname(l, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return false;
    *a = socket(AF_INET, SOCK_STREAM, 0);
    if (connect(*a, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return false;
    *b = accept(l, nullptr, nullptr);
    close(l);
    int one = 1;
    setsockopt(*a, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setsockopt(*b, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return *b >= 0;
}

void BM_RelayLatency(benchmark::State& state) {
    ServerProcess server;
    if (!server.startRetrying()) {
        state.SkipWithError("server did not start");
        return;
    }
    std::vector<std::unique_ptr<Client>> players;
    for (int i = 0; i < kPlayers; ++i) {
        players.emplace_back(new Client);
        Client& c = *players.back();
        Bytes reply;
        if (!c.connectGreeted() || !c.send(join("bench")) || !c.readMessage(&reply)) {
            state.SkipWithError("join failed");
            return;
        }
        // PlayerInfo for every earlier player.
        for (int k = 0; k < i; ++k)
            c.readMessage(&reply);
        for (int k = 0; k < i; ++k)
            players[k]->readMessage(&reply);
    }
    // The idle and the stuck connections come after the joins: the lobby admits only while
    // fewer than 8 connections exist.
    std::vector<std::unique_ptr<Client>> idle;
    for (int i = 0; i < kIdle; ++i) {
        idle.emplace_back(new Client);
        idle.back()->connectGreeted();
    }
    Client stuck;
    stuck.connectGreeted();
    stuck.send(join("x").data(), 4);

    int directA = -1, directB = -1;
    if (!directPair(&directA, &directB)) {
        state.SkipWithError("no direct pair");
        return;
    }

    std::vector<double> relayUs, firstUs, directUs;
    for (auto _ : state) {
        auto next = Clock::now();
        for (int tick = 0; tick < kTicks; ++tick) {
            for (int p = 0; p < kPlayers; ++p) {
                // Spread the seven senders over the 40 ms tick.
                next += std::chrono::microseconds(40000 / kPlayers);
                std::this_thread::sleep_until(next);
                Bytes move = vehicleMove(p + 1, static_cast<double>(nowNs()));
                players[p]->send(move);
                Bytes got;
                for (int q = 0; q < kPlayers; ++q) {
                    if (q == p) continue;
                    if (!players[q]->readMessage(&got, 1000)) {
                        state.SkipWithError("relay lost");
                        return;
                    }
                    int64_t sentAt = static_cast<int64_t>(proto::getF64(got.data() + 16));
                    double us = (nowNs() - sentAt) / 1000.0;
                    relayUs.push_back(us);
                    if (q == (p == 0 ? 1 : 0)) firstUs.push_back(us);
                }
                Bytes direct = vehicleMove(0, static_cast<double>(nowNs()));
                send(directA, direct.data(), direct.size(), 0);
                uint8_t buf[64];
                size_t have = 0;
                while (have < sizeof buf) {
                    ssize_t n = recv(directB, buf + have, sizeof buf - have, 0);
                    if (n <= 0) break;
                    have += static_cast<size_t>(n);
                }
                int64_t sentAt = static_cast<int64_t>(proto::getF64(buf + 16));
                directUs.push_back((nowNs() - sentAt) / 1000.0);
            }
        }
    }
    close(directA);
    close(directB);
    state.counters["relay_p50_us"] = percentile(relayUs, 0.50);
    state.counters["relay_p99_us"] = percentile(relayUs, 0.99);
    state.counters["relay_max_us"] = percentile(relayUs, 1.0);
    state.counters["first_p50_us"] = percentile(firstUs, 0.50);
    state.counters["first_p99_us"] = percentile(firstUs, 0.99);
    state.counters["direct_p50_us"] = percentile(directUs, 0.50);
    state.counters["direct_p99_us"] = percentile(directUs, 0.99);
    state.counters["direct_max_us"] = percentile(directUs, 1.0);
    state.counters["samples"] = static_cast<double>(relayUs.size());
    server.interrupt(2000);
}
BENCHMARK(BM_RelayLatency)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
