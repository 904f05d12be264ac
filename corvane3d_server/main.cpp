#include <csignal>
#include <cstdio>
#include <cstring>

#include "server.h"

namespace {

volatile std::sig_atomic_t quitFlag = 0;

void onInterrupt(int) {
    quitFlag = 1;
}

} // namespace

int main(int, char** argv) {
    quitFlag = 0;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Server server(argv[0], stdout, stderr);
    if (!server.start(proto::kPort)) return 1;
    server.run(&quitFlag);
    return 0;
}
