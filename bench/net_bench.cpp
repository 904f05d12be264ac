// Labyrinth transfer from the real server: request, 12 + 88 n bytes, n wall blocks built.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "globals.h"
#include "net.h"
#include "wall_block.h"

namespace {

bool serverAnswers() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(1234);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

pid_t startServer() {
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(CORVANE_SERVER_BIN, CORVANE_SERVER_BIN, static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 500 && !serverAnswers(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pid;
}

void BM_FetchLabyrinth(benchmark::State& state) {
    pid_t server = startServer();
    NetStartup();
    std::strcpy(nickName, "bench");
    int32_t accepted = 0, id = 0;
    double colour[3];
    if (!NetConnect("127.0.0.1") || !NetJoin(&accepted, &id, colour) || !accepted) {
        state.SkipWithError("no server");
    } else {
        NetStartGame();
        List<WallBlock> blocks;
        for (auto _ : state) {
            if (!NetFetchLabyrinth(blocks)) state.SkipWithError("fetch failed");
        }
        state.counters["blocks"] = blocks.count();
    }
    NetCleanup();
    kill(server, SIGINT);
    waitpid(server, nullptr, 0);
}
BENCHMARK(BM_FetchLabyrinth)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
