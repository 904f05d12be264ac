// The real client binary: usage path, exit statuses and the start-up console lines.
#include <gtest/gtest.h>

#include <string>

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
