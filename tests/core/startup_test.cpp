// The real client binary: usage path, exit statuses and the start-up console lines.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/process.h"

namespace {

const char* kUsage = "Options:\n"
                     "\t-full\t\tRun in Fullscreen Mode\n"
                     "\t-dimension dim\tWindow dimension in Fullscreen Mode\n"
                     "\t\t\t\"640x400:256@60\"\n"
                     "\t-details [0-2]\tLevel of Details\n"
                     "\t-nosound\t\tTurn off sound\n"
                     "\t-server addr\tCorvane 3d Server Address in IP Format\n"
                     "\t-nick name\tPlayer Nick Name\n"
                     "\n";

std::string runUsage(const std::vector<std::string>& args) {
    testproc::Child c(CORVANE_CLIENT_BIN, args);
    int status = c.waitExit();
    EXPECT_EQ(status, 1);
    return c.out();
}

long fileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

} // namespace

TEST(ClientStartup, UnknownOptionPrintsUsageAndExitsOne) {
    EXPECT_EQ(runUsage({"-bogus"}), std::string("\nCORVANE 3D Client\n") + kUsage);
    EXPECT_EQ(runUsage({"-Full"}), std::string("\nCORVANE 3D Client\n") + kUsage);
}

TEST(ClientStartup, OptionMissingItsValueTakesTheUsagePath) {
    for (const char* opt : {"-nick", "-server", "-details", "-dimension"})
        EXPECT_EQ(runUsage({"-nosound", opt}), std::string("\nCORVANE 3D Client\n") + kUsage)
            << opt;
}

TEST(ClientStartup, UsageAfterGoodOptionsStillStopsBeforeAnyWindow) {
    std::string longNick(600, 'N');
    EXPECT_EQ(runUsage({"-nick", longNick, "-details", "7", "extra"}),
              std::string("\nCORVANE 3D Client\n") + kUsage);
}

TEST(ClientStartup, StartsAndPrintsTheLoadingLine) {
    std::string longNick(300, 'A');
    testproc::Child c(CORVANE_CLIENT_BIN, {"-nosound", "-details", "abc", "-nick", longNick});
    ASSERT_TRUE(c.waitForOutput("\nCORVANE 3D Client\nLoading .....\n\n", 20000))
        << c.out() << c.err();
    c.signal(SIGTERM);
    c.waitExit();
}

TEST(ClientStartup, WithSoundOnInterruptAndTerminateEndTheClient) {
    const std::string device = "/tmp/corvane_signal_test_" + std::to_string(getpid()) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", device.c_str(), 1);
    for (int sig : {SIGINT, SIGTERM}) {
        std::remove(device.c_str());
        testproc::Child c(CORVANE_CLIENT_BIN, {"-details", "0"});
        // The sound is set up once its device writes.
        for (int waited = 0; fileSize(device) <= 0 && waited < 20000; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GT(fileSize(device), 0) << c.out() << c.err();
        c.signal(sig);
        EXPECT_EQ(c.waitExit(5000), 128 + sig) << "signal " << sig << " was ignored";
    }
    std::remove(device.c_str());
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}
