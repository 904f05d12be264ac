// The uncapped frame-time mode: the log's lines, and the real client redrawing back to back in a
// single-player game while its tick stays at 25 Hz, and in the menu before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "frame_times.h"
#include "support/media_files.h"
#include "support/process.h"

namespace {

std::vector<std::vector<long long>> readLog(const std::string& path) {
    std::vector<std::vector<long long>> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<long long> v;
        long long x;
        while (fields >> x)
            v.push_back(x);
        lines.push_back(v);
    }
    return lines;
}

bool sh(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

} // namespace

TEST(FrameTimeLog, WritesEachIntervalAndStartsAfreshAfterRestart) {
    testmedia::ScratchDir dir;
    std::string path = dir.file("frames");
    {
        FrameTimeLog log(path.c_str());
        ASSERT_TRUE(log.active());
        log.frameEnded(1000, 2, 640, 480);
        log.frameEnded(4500, 2, 640, 480);
        log.frameEnded(5000, 1, 800, 600);
        log.restart();
        log.frameEnded(900000, 1, 800, 600);
        log.frameEnded(903000, 0, 800, 600);
    }
    std::vector<std::vector<long long>> lines = readLog(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], (std::vector<long long>{2, 640, 480, 3500}));
    EXPECT_EQ(lines[1], (std::vector<long long>{1, 800, 600, 500}));
    EXPECT_EQ(lines[2], (std::vector<long long>{0, 800, 600, 3000}));

    EXPECT_FALSE(FrameTimeLog(nullptr).active());
    EXPECT_FALSE(FrameTimeLog("").active());
    EXPECT_FALSE(FrameTimeLog("/nonexistent/dir/frames").active());
}

TEST(FrameTimeLog, RealClientRedrawsBackToBackInAGame) {
    if (!std::getenv("DISPLAY") || !sh("command -v xdotool >/dev/null"))
        GTEST_SKIP() << "needs X and xdotool";
    testmedia::ScratchDir dir;
    std::string path = dir.file("frames");
    setenv("CORVANE_FRAME_TIMES", path.c_str(), 1);
    testproc::Child client(CORVANE_CLIENT_BIN, {"-nosound", "-details", "1"});
    unsetenv("CORVANE_FRAME_TIMES");
    ASSERT_TRUE(client.waitForOutput("Loading .....\n\n", 20000));
    // The menu redraws back to back as well, its lines marked with detail -1.
    size_t menuFrames = 0;
    for (int i = 0; i < 200 && menuFrames < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        menuFrames = readLog(path).size();
    }
    ASSERT_GE(menuFrames, 2u);
    for (const std::vector<long long>& l : readLog(path))
        EXPECT_EQ(l[0], -1);
    const std::string window = "$(xdotool search --sync --name '^corvane3D$' | tail -n 1)";
    ASSERT_TRUE(sh("w=" + window + " && xdotool windowfocus --sync $w && xdotool key Return"));

    // 120 frames come in well under the 4.8 s that 120 ticks would take.
    auto start = std::chrono::steady_clock::now();
    size_t frames = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        frames = 0;
        for (const std::vector<long long>& l : readLog(path))
            frames += !l.empty() && l[0] != -1 ? 1 : 0;
        if (frames >= 120) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_GE(frames, 120u);
    std::vector<std::vector<long long>> lines = readLog(path);
    std::vector<long long> us;
    for (const std::vector<long long>& l : lines) {
        ASSERT_EQ(l.size(), 4u);
        if (l[0] == -1 && us.empty()) continue;
        EXPECT_EQ(l[0], 1);
        EXPECT_EQ(l[1], 320);
        EXPECT_EQ(l[2], 256);
        us.push_back(l[3]);
    }
    std::sort(us.begin(), us.end());
    EXPECT_LT(us[us.size() / 2], 20000) << "frames wait for the tick";

    client.signal(SIGTERM);
    client.waitExit();
}
