// The settings file: parsing that trusts no damaged line, the path under XDG_CONFIG_HOME, and a
// run that restores the file, takes command-line options for that run only and saves changes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "command_line.h"
#include "globals.h"
#include "saved_settings.h"
#include "settings.h"
#include "support/media_files.h"

namespace {

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

Settings unusual() {
    Settings s;
    s.sound = 0;
    s.display = 2;
    s.details = 0;
    s.camera = 1;
    s.handling = 1;
    s.opponents = 2;
    copyText(s.nick, "ACE7", sizeof s.nick);
    copyText(s.server, "192.168.1.10", sizeof s.server);
    return s;
}

// Points XDG_CONFIG_HOME at a scratch folder for the test's lifetime.
class ConfigHome : public ::testing::Test {
  protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", (dir_.path() + "/config").c_str(), 1); }
    void TearDown() override {
        // Saving stays armed after restoreSavedSettings: later saves in this process must fail.
        setenv("XDG_CONFIG_HOME", "/dev/null/corvane3d-test", 1);
        detailLevel = 2;
        cameraMode = 0;
        handlingMode = 0;
        opponentLevel = 0;
        copyText(nickName, "CORVANE", sizeof nickName);
        serverAddress[0] = '\0';
        windowWidth = 320;
        windowHeight = 256;
    }
    std::string file() const { return dir_.path() + "/config/corvane3d/settings"; }
    // Writes text as the settings file and restores the run's settings from it.
    void restoreFrom(const std::string& text) {
        ::mkdir((dir_.path() + "/config").c_str(), 0700);
        ::mkdir((dir_.path() + "/config/corvane3d").c_str(), 0700);
        writeFile(file(), text);
        restoreSavedSettings();
    }

    testmedia::ScratchDir dir_;
};

} // namespace

TEST(SettingsText, EverySettingSurvivesTheFile) {
    Settings s = unusual();
    Settings back;
    parseSettings(formatSettings(s), &back);
    EXPECT_TRUE(back == s) << formatSettings(back);
    EXPECT_EQ(formatSettings(Settings()), "sound=on\ndisplay=320x256\ndetails=high\n"
                                          "camera=classic\nhandling=classic\nopponents=parked\n"
                                          "nick=CORVANE\nserver=\n");
}

TEST(SettingsText, DamagedLinesAreIgnoredAndGoodOnesKept) {
    Settings s;
    parseSettings("camera=wobbly\ndetails=9\nsound\nnick=lower\nnick=TOOLONGNICKNAME123\n"
                  "display=1024x768\nserver=1.2.3.4;rm -rf\nopponents=\nhandling=slide\r\n"
                  "=smooth\ncamera = smooth\nunknown=1\n\x01\xff\nnick=BOB",
                  &s);
    Settings expected;
    expected.handling = 1;
    copyText(expected.nick, "BOB", sizeof expected.nick);
    EXPECT_TRUE(s == expected) << formatSettings(s);
}

TEST(SettingsText, CommandLineValuesLastForTheirRunOnly) {
    Settings file = unusual();
    Settings start = file;
    copyText(start.nick, "GUEST", sizeof start.nick); // -nick GUEST
    start.details = 2;                                // -details 2
    Settings now = start;
    now.camera = 0; // changed in the options page
    Settings kept = settingsToKeep(now, start, file);
    EXPECT_STREQ(kept.nick, "ACE7");
    EXPECT_EQ(kept.details, 0);
    EXPECT_EQ(kept.camera, 0);
    now.details = 1;
    EXPECT_EQ(settingsToKeep(now, start, file).details, 1);
}

TEST_F(ConfigHome, PathFollowsXdgThenHome) {
    EXPECT_EQ(settingsPath(), file());
    unsetenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        EXPECT_EQ(settingsPath(), std::string(home) + "/.config/corvane3d/settings");
    }
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_NE(settingsPath().rfind("relative", 0), 0u) << "a relative XDG folder is not used";
}

TEST_F(ConfigHome, SaveMakesTheFoldersAndLoadReadsItBack) {
    Settings s;
    EXPECT_FALSE(loadSettingsFile(file(), &s)) << "no file yet";
    EXPECT_TRUE(s == Settings());
    ASSERT_TRUE(saveSettingsFile(file(), unusual()));
    ASSERT_TRUE(loadSettingsFile(file(), &s));
    EXPECT_TRUE(s == unusual());
    EXPECT_FALSE(saveSettingsFile("/dev/null/corvane3d/settings", unusual()));
    writeFile(file(), std::string(200000, 'x') + "\ncamera=smooth\n");
    Settings big;
    loadSettingsFile(file(), &big);
    EXPECT_EQ(big.camera, 0) << "an oversized file is not read to its end";
}

TEST_F(ConfigHome, ARunRestoresTheFileAndSavesOnlyItsOwnChanges) {
    restoreFrom("display=640x480\ndetails=low\ncamera=smooth\nnick=ACE\nserver=10.1.1\n");
    EXPECT_EQ(windowWidth, 640);
    EXPECT_EQ(windowHeight, 480);
    EXPECT_EQ(detailLevel, 0);
    EXPECT_EQ(cameraMode, 1);
    EXPECT_STREQ(nickName, "ACE");
    EXPECT_STREQ(serverAddress, "10.1.1");
    EXPECT_TRUE(savedSoundWanted());

    char a0[] = "client", a1[] = "-nick", a2[] = "GUEST";
    char* argv[] = {a0, a1, a2};
    CommandLine options;
    ASSERT_TRUE(parseCommandLine(3, argv, &options));
    noteRunSettings();
    const std::string before = testmedia::readText(file());
    saveSettingsNow();
    EXPECT_EQ(testmedia::readText(file()), before) << "nothing changed: the file is left alone";

    handlingMode = 1;
    saveSettingsNow();
    Settings s;
    ASSERT_TRUE(loadSettingsFile(file(), &s));
    EXPECT_EQ(s.handling, 1);
    EXPECT_STREQ(s.nick, "ACE") << "the command-line nick was for this run only";
    EXPECT_EQ(s.details, 0);
    EXPECT_EQ(s.camera, 1);
}

TEST_F(ConfigHome, TheOpponentsChoiceIsRestoredAndSaved) {
    restoreFrom("opponents=hard\n");
    EXPECT_EQ(opponentLevel, 2);
    noteRunSettings();
    opponentLevel = 1;
    saveSettingsNow();
    EXPECT_NE(testmedia::readText(file()).find("opponents=easy\n"), std::string::npos);
    restoreFrom("opponents=fierce\n");
    EXPECT_EQ(opponentLevel, 0) << "an unknown level leaves the parked targets";
}
