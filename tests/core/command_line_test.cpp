// The command line into the settings: values, clamping, cutting, and the usage path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "command_line.h"
#include "globals.h"

namespace {

bool parse(std::vector<std::string> args, CommandLine* options) {
    args.insert(args.begin(), "corvane3d_client");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    return parseCommandLine(static_cast<int>(args.size()), argv.data(), options);
}

class CommandLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        detailLevel = 2;
        fullScreen = 0;
        copyText(nickName, "CORVANE", sizeof nickName);
        serverAddress[0] = '\0';
    }
};

} // namespace

TEST_F(CommandLineTest, NoArgumentsKeepTheDefaults) {
    CommandLine o;
    EXPECT_TRUE(parse({}, &o));
    EXPECT_EQ(detailLevel, 2);
    EXPECT_STREQ(nickName, "CORVANE");
    EXPECT_STREQ(serverAddress, "");
    EXPECT_STREQ(o.gameModeString, "320x256:256@60");
    EXPECT_FALSE(o.noSound);
    EXPECT_EQ(fullScreen, 0);
}

TEST_F(CommandLineTest, DetailsAreConvertedAndClamped) {
    CommandLine o;
    EXPECT_TRUE(parse({"-details", "7"}, &o));
    EXPECT_EQ(detailLevel, 1);
    EXPECT_TRUE(parse({"-details", "abc"}, &o));
    EXPECT_EQ(detailLevel, 0);
    EXPECT_TRUE(parse({"-details", " 2x"}, &o));
    EXPECT_EQ(detailLevel, 2);
    EXPECT_TRUE(parse({"-details", "-1"}, &o));
    EXPECT_EQ(detailLevel, 1);
    EXPECT_TRUE(parse({"-details", "0", "-details", "2"}, &o)) << "a later option overrides";
    EXPECT_EQ(detailLevel, 2);
}

TEST_F(CommandLineTest, ValuesAreStoredAndLongOnesCut) {
    CommandLine o;
    std::string longNick(400, 'K');
    EXPECT_TRUE(parse({"-full", "-dimension", "640x480:32@60", "-nosound", "-server", "10.0.0.1",
                       "-nick", longNick},
                      &o));
    EXPECT_EQ(fullScreen, 1);
    EXPECT_STREQ(o.gameModeString, "640x480:32@60");
    EXPECT_TRUE(o.noSound);
    EXPECT_STREQ(serverAddress, "10.0.0.1");
    EXPECT_EQ(std::strlen(nickName), 255u);
    EXPECT_EQ(std::string(nickName), std::string(255, 'K'));
}

TEST_F(CommandLineTest, UnknownOrIncompleteOptionsFail) {
    CommandLine o;
    EXPECT_FALSE(parse({"-sound"}, &o));
    EXPECT_FALSE(parse({"-nick"}, &o));
    EXPECT_FALSE(parse({"-full", "-server"}, &o));
    EXPECT_FALSE(parse({"full"}, &o));
}
