// The real client in a game on a server that floods it and then goes away: its memory stays where
// it was, and once the server is gone it leaves the game for the menu by itself. The client runs in
// its frame-time mode, whose log tells a menu frame (detail -1) from a game frame.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "support/media_files.h"
#include "support/process.h"

namespace {

bool sh(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// Anonymous resident memory of process pid in MB (RssAnon: the heap, whatever libraries others
// share with it).
double anonMb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (in >> key) {
        if (key == "RssAnon:") {
            double kb = 0;
            in >> kb;
            return kb / 1024;
        }
        in.ignore(1 << 12, '\n');
    }
    return 0;
}

// The detail column of the frame log's last line: -1 menu, 0..2 game, -2 no line yet.
int lastDetail(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::string last;
    while (std::getline(in, line))
        if (!line.empty()) last = line;
    return last.empty() ? -2 : std::atoi(last.c_str());
}

} // namespace

TEST(HostileServer, AFloodLeavesTheClientsMemoryAloneAndALostServerEndsTheGame) {
    if (!std::getenv("DISPLAY") || !sh("command -v xdotool >/dev/null"))
        GTEST_SKIP() << "needs X and xdotool";
    // Bombs, players, moves and chat lines in turn for 2 s, as fast as the client reads.
    testproc::Child server(CORVANE_HOSTILE_BIN, {"game-mixed-flood", "2"});
    ASSERT_TRUE(server.waitForOutput("listening\n", 5000));
    testmedia::ScratchDir dir;
    const std::string frames = dir.file("frames");
    testproc::Child client(CORVANE_CLIENT_BIN,
                           {"-nosound", "-details", "0", "-server", "127.0.0.1"},
                           {"CORVANE_FRAME_TIMES=" + frames});
    ASSERT_TRUE(client.waitForOutput("Loading .....\n\n", 20000));
    // MULTI PLAYER, JOIN; the server starts the game itself.
    ASSERT_TRUE(sh("w=$(xdotool search --sync --name '^corvane3D$' | tail -n 1) && "
                   "xdotool windowfocus --sync $w key --delay 150 Down Return Down Down Return"));
    ASSERT_TRUE(server.waitForOutput("harm: game-mixed-flood\n", 20000)) << server.out();
    const double before = anonMb(client.pid());
    ASSERT_TRUE(server.waitForOutput("done\n", 20000));
    const double after = anonMb(client.pid());
    EXPECT_LT(after - before, 8.0) << before << " MB before the flood, " << after << " after";
    EXPECT_GE(lastDetail(frames), 0) << "still in the game";
    EXPECT_EQ(server.waitExit(5000), 0);

    int detail = lastDetail(frames);
    for (int i = 0; i < 100 && detail != -1; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        detail = lastDetail(frames);
    }
    EXPECT_EQ(detail, -1) << "back in the menu once the server is gone";
    client.signal(SIGTERM);
    client.waitExit();
}
