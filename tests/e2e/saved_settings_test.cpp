// The settings file through the real client: a damaged file gives up only its bad lines, a
// command-line nick lasts for its run, options changed in the menu are written, and the next start
// comes back with them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "support/media_files.h"
#include "x_client.h"

TEST(SavedSettings, SurviveARestartOfTheRealClientWithoutTheRunsOwnOptions) {
    if (!std::getenv("DISPLAY") || !e2e::sh("command -v xdotool >/dev/null"))
        GTEST_SKIP() << "needs X and xdotool";
    testmedia::ScratchDir dir;
    const std::string config = dir.path() + "/config";
    const std::string file = config + "/corvane3d/settings";
    ::mkdir(config.c_str(), 0700);
    ::mkdir((config + "/corvane3d").c_str(), 0700);
    std::ofstream(file) << "display=640x480\ndetails=9\ncamera=wobbly\nnick=lower\nnick=ZED9\n"
                           "\x01\xfe garbage\nserver=10.0.0.1;reboot\nopponents=hard\n";
    const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + config};
    {
        e2e::Client client("FIRST", {"-nosound", "-nick", "GUEST"}, 0, env);
        EXPECT_EQ(client.size(), "640x480") << "the window size comes from the file";
        client.keys("Down Down Return");      // OPTIONS
        client.keys("Down Down Down Return"); // CAMERA: SMOOTH
        client.keys("Down Return");           // HANDLING: SLIDE
        client.keys("Down Down Return");      // MAIN
        client.keys("Escape");
        EXPECT_EQ(client.proc().waitExit(5000), 1);
    }
    EXPECT_EQ(testmedia::readText(file), "sound=on\ndisplay=640x480\ndetails=high\ncamera=smooth\n"
                                         "handling=slide\nopponents=hard\nnick=ZED9\nserver=\n")
        << "good lines kept, damaged ones dropped, the command-line nick not written";
    {
        e2e::Client client("SECOND", {"-nosound"}, 0, env);
        EXPECT_EQ(client.size(), "640x480");
        client.keys("Down Down Return");      // OPTIONS
        client.keys("Down Down Down Return"); // CAMERA: from the restored SMOOTH to CLASSIC
        client.keys("Down Down Down Return"); // MAIN
        client.keys("Escape");
        EXPECT_EQ(client.proc().waitExit(5000), 1);
    }
    EXPECT_EQ(testmedia::readText(file), "sound=on\ndisplay=640x480\ndetails=high\ncamera=classic\n"
                                         "handling=slide\nopponents=hard\nnick=ZED9\nserver=\n");
}
