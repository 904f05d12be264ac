#include <cstring>
#include <string>

#include "front_fixture.h"
#include "game.h"
#include "game_gl.h"
#include "net.h"
#include "random.h"
#include "sound.h"

namespace {

using fronttest::FrontEnd;
using fronttest::quitCalls;
using MenuTest = FrontEnd;

int topRandom() {
    return 32767;
}

// Goes from the main page to the multi-player page.
void toMultiPlayer(Menu& m) {
    FrontEnd::selectItem(m, 1);
    m.keyboard(13, 0, 0);
}

TEST_F(MenuTest, StartsOnTheMainPageWithItsLabels) {
    Menu m;
    EXPECT_EQ(m.page(), Menu::kMain);
    EXPECT_EQ(m.selected(), 0);
    EXPECT_FALSE(m.editing());
    EXPECT_FALSE(m.connected());
    EXPECT_STREQ(item(m, 0, 0), "SINGLE PLAYER");
    EXPECT_STREQ(item(m, 1, 0), "SERVER: ");
    EXPECT_STREQ(item(m, 1, 1), "NICK: CORVANE");
    EXPECT_STREQ(item(m, 2, 0), "SOUND: OFF");
    EXPECT_STREQ(item(m, 2, 1), "DISPLAY: 320X256");
    EXPECT_STREQ(item(m, 2, 2), " DETAILS: HIGH ");
    EXPECT_EQ(m.pageTable(3).count, 5);
    EXPECT_EQ(m.pageTable(4).selectable, 0);
}

TEST_F(MenuTest, ArrowsWrapAroundAndStayPutWhileEditing) {
    Menu m;
    up(m);
    EXPECT_EQ(m.selected(), 5);
    down(m);
    EXPECT_EQ(m.selected(), 0);
    up(m);
    down(m);
    down(m);
    EXPECT_EQ(m.selected(), 1);
    m.special(GLUT_KEY_LEFT, 0, 0);
    EXPECT_EQ(m.selected(), 1);

    key(m, 13);
    ASSERT_EQ(m.page(), Menu::kMulti);
    down(m);
    key(m, 13);
    ASSERT_TRUE(m.editing());
    up(m);
    EXPECT_EQ(m.selected(), 1);
    down(m);
    down(m);
    EXPECT_EQ(m.selected(), 1);
}

TEST_F(MenuTest, NickEditingTakesSixteenUpperCaseLettersOrDigits) {
    Menu m;
    toMultiPlayer(m);
    selectItem(m, 1);
    key(m, 13);
    ASSERT_TRUE(m.editing());
    EXPECT_STREQ(m.editBuffer(), "CORVANE");
    EXPECT_STREQ(item(m, 1, 1), "NICK: CORVANE]");
    for (int i = 0; i < 7; ++i)
        key(m, 8);
    type(m, "ab-c.9 x");
    EXPECT_STREQ(m.editBuffer(), "ABC9X");
    EXPECT_STREQ(item(m, 1, 1), "NICK: ABC9X]");
    type(m, "qwertyuiopasdfgh");
    EXPECT_STREQ(m.editBuffer(), "ABC9XQWERTYUIOPA");
    EXPECT_EQ(std::strlen(m.editBuffer()), 16u);
    key(m, 8);
    type(m, "zz");
    EXPECT_STREQ(m.editBuffer(), "ABC9XQWERTYUIOPZ");
    EXPECT_EQ(quitCalls, 0); // q, Q and the like are text while editing
    key(m, 27);              // Escape ends the edit and keeps the text
    EXPECT_FALSE(m.editing());
    EXPECT_STREQ(nickName, "ABC9XQWERTYUIOPZ");
    EXPECT_STREQ(item(m, 1, 1), "NICK: ABC9XQWERTYUIOPZ");
}

TEST_F(MenuTest, ServerFieldRefusesLettersAndAFailedAddressStaysWithItsReason) {
    Menu m;
    toMultiPlayer(m);
    key(m, 13);
    ASSERT_TRUE(m.editing());
    type(m, "1a2.bz3");
    EXPECT_STREQ(m.editBuffer(), "12.3");
    EXPECT_STREQ(item(m, 1, 0), "SERVER: 12.3]");
    type(m, "4444444444444");
    EXPECT_STREQ(m.editBuffer(), "12.3444444444444");
    type(m, "5");
    EXPECT_EQ(std::strlen(m.editBuffer()), 16u);

    testing::internal::CaptureStderr();
    key(m, 13);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("ERROR: unable to establish connection to 12.3444444444444\n"),
              std::string::npos);
    EXPECT_FALSE(m.editing());
    EXPECT_FALSE(m.connected());
    EXPECT_STREQ(serverAddress, "12.3444444444444");
    EXPECT_STREQ(item(m, 1, 0), "SERVER: 12.3444444444444");
    EXPECT_STREQ(sessionStatus(), "FAILED: BAD ADDRESS");
}

TEST_F(MenuTest, LongSettingsAreShownCutWithoutOverrunningTheLabels) {
    std::memset(nickName, 'N', 255);
    nickName[255] = '\0';
    std::memset(serverAddress, '7', 255);
    serverAddress[255] = '\0';
    Menu m;
    const std::string nick = item(m, 1, 1);
    EXPECT_EQ(nick.size(), 63u);
    EXPECT_EQ(nick, "NICK: " + std::string(57, 'N'));
    EXPECT_EQ(std::string(item(m, 1, 0)), "SERVER: " + std::string(55, '7'));
    EXPECT_STREQ(item(m, 1, 2), "JOIN");
    EXPECT_STREQ(item(m, 2, 0), "SOUND: OFF");
    EXPECT_STREQ(item(m, 2, 1), "DISPLAY: 320X256");

    // Editing the long nick keeps the cursor visible and refuses more text.
    toMultiPlayer(m);
    selectItem(m, 1);
    key(m, 13);
    type(m, "A");
    EXPECT_EQ(std::strlen(m.editBuffer()), 255u);
    const std::string editing = item(m, 1, 1);
    EXPECT_EQ(editing.size(), 63u);
    EXPECT_EQ(editing.back(), ']');

    // The lobby line carries the whole nick.
    m.lobbyTimerRun();
    EXPECT_EQ(std::string(item(m, 5, 2)), std::string(255, 'N') + ":LOCAL");
}

TEST_F(MenuTest, LobbyPageNeverHoldsMoreThanThirtyOnePlayerLines) {
    for (int i = 0; i < 40; ++i) {
        LobbyEntry* e = new LobbyEntry;
        e->playerId = 10 + i;
        copyText(e->nick, "P", sizeof e->nick);
        copyText(e->address, "127.0.0.1", sizeof e->address);
        lobbyList.append(e);
    }
    Menu m;
    m.lobbyTimerRun();
    const MenuPage& lobby = m.pageTable(5);
    EXPECT_EQ(lobby.count, Menu::kLobbyCapacity);
    EXPECT_STREQ(lobby.items[0], "START");
    EXPECT_STREQ(lobby.items[1], "LEAVE");
    EXPECT_STREQ(lobby.items[2], "CORVANE:LOCAL");
    EXPECT_STREQ(lobby.items[32], "P:127.0.0.1");
    lobbyList.clear();
    m.lobbyTimerRun();
    EXPECT_EQ(m.pageTable(5).count, 3);
}

TEST_F(MenuTest, DisplayItemCyclesWindowSizesExceptInFullScreen) {
    {
        Menu m;
        selectItem(m, 2);
        key(m, 13);
        ASSERT_EQ(m.page(), Menu::kOptions);
        selectItem(m, 1);
        const int sizes[3][2] = {{640, 480}, {800, 600}, {320, 256}};
        const char* labels[3] = {"DISPLAY: 640X480", "DISPLAY: 800X600", "DISPLAY: 320X256"};
        for (int i = 0; i < 3; ++i) {
            key(m, 13);
            EXPECT_EQ(windowWidth, sizes[i][0]);
            EXPECT_EQ(windowHeight, sizes[i][1]);
            EXPECT_STREQ(item(m, 2, 1), labels[i]);
        }
    }
    fullScreen = 1;
    Menu m;
    EXPECT_STREQ(item(m, 2, 1), " DISPLAY: N.A.");
    selectItem(m, 2);
    key(m, 13);
    selectItem(m, 1);
    key(m, 13);
    EXPECT_EQ(windowWidth, 320);
    EXPECT_EQ(displayIndex, 0);
    EXPECT_STREQ(item(m, 2, 1), " DISPLAY: N.A.");
}

TEST_F(MenuTest, DetailsItemCyclesTheLevel) {
    Menu m;
    selectItem(m, 2);
    key(m, 13);
    selectItem(m, 2);
    key(m, 13);
    EXPECT_EQ(detailLevel, 0);
    EXPECT_STREQ(item(m, 2, 2), " DETAILS: LOW  ");
    key(m, 13);
    EXPECT_EQ(detailLevel, 1);
    EXPECT_STREQ(item(m, 2, 2), "DETAILS: MEDIUM");
    key(m, 13);
    EXPECT_EQ(detailLevel, 2);
    selectItem(m, 6);
    key(m, 13);
    EXPECT_EQ(m.page(), Menu::kMain);
}

TEST_F(MenuTest, ChoiceLinesStartAtTheClassicGameAndCycle) {
    cameraMode = handlingMode = opponentLevel = 0;
    Menu m;
    selectItem(m, 2);
    key(m, 13);
    const MenuPage& page = m.pageTable(Menu::kOptions);
    ASSERT_EQ(page.count, 7);
    EXPECT_STREQ(page.items[3], "CAMERA: CLASSIC");
    EXPECT_STREQ(page.items[4], "HANDLING: CLASSIC");
    EXPECT_STREQ(page.items[5], "OPPONENTS: PARKED");
    EXPECT_STREQ(page.items[6], "MAIN");
    selectItem(m, 3);
    key(m, 13);
    EXPECT_EQ(cameraMode, 1);
    EXPECT_STREQ(page.items[3], "CAMERA: SMOOTH");
    selectItem(m, 4);
    key(m, 13);
    EXPECT_EQ(handlingMode, 1);
    EXPECT_STREQ(page.items[4], "HANDLING: SLIDE");
    selectItem(m, 5);
    const char* levels[3] = {"OPPONENTS: EASY", "OPPONENTS: HARD", "OPPONENTS: PARKED"};
    for (const char* label : levels) {
        key(m, 13);
        EXPECT_STREQ(page.items[5], label);
    }
    EXPECT_EQ(opponentLevel, 0);
    cameraMode = handlingMode = 0;
}

TEST_F(MenuTest, SoundItemSwitchesTheSoundSystem) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    Sound sound;
    gSound = &sound;
    Menu m;
    selectItem(m, 2);
    key(m, 13);
    EXPECT_STREQ(item(m, 2, 0), "SOUND: OFF");
    testing::internal::CaptureStderr(); // the scratch folder has no samples
    key(m, 13);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(sound.isInitialised(), 1);
    EXPECT_STREQ(item(m, 2, 0), "SOUND: ON ");
    key(m, 13);
    EXPECT_EQ(sound.isInitialised(), 0);
    EXPECT_STREQ(item(m, 2, 0), "SOUND: OFF");
    gSound = nullptr;
}

TEST_F(MenuTest, BackgroundOnlyAtHighDetail) {
    Menu m;
    auto frame = [&](int level) {
        detailLevel = level;
        glLoadIdentity();
        m.drawPage();
        return testgl::readPixels(640, 480);
    };
    // Text lies in the middle; the bottom-left corner holds only background.
    auto cornerLit = [](const std::vector<testgl::Pixel>& px) {
        int lit = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 60; ++x) {
                testgl::Pixel p = testgl::pixelAt(px, 640, x, y);
                if (p.r || p.g || p.b) ++lit;
            }
        return lit;
    };
    glEnable(GL_TEXTURE_2D);
    auto low = frame(0);
    auto medium = frame(1);
    auto high = frame(2);
    glDisable(GL_TEXTURE_2D);
    EXPECT_EQ(cornerLit(low), 0);
    EXPECT_EQ(cornerLit(medium), 0);
    EXPECT_GT(cornerLit(high), 0);
    int differ = 0;
    for (size_t i = 0; i < high.size(); ++i)
        if (high[i].r != medium[i].r || high[i].g != medium[i].g || high[i].b != medium[i].b)
            ++differ;
    EXPECT_GT(differ, static_cast<int>(high.size() / 4));
    // The main page's text is drawn: grey items and the white selected one.
    int white = 0;
    for (const testgl::Pixel& p : medium)
        if (p.r > 200 && p.g > 200 && p.b > 200) ++white;
    EXPECT_GT(white, 100);
}

TEST_F(MenuTest, SinglePlayerFillsThreeComputerTargetsAndEntersTheGame) {
    setRandomSource(topRandom);
    Game game;
    gGame = &game;
    Menu m;
    key(m, 13);
    setRandomSource(nullptr);
    ASSERT_EQ(lobbyList.count(), 3);
    for (int i = 0; i < 3; ++i) {
        const LobbyEntry* e = lobbyList.get(i);
        EXPECT_EQ(e->playerId, 2 + i);
        EXPECT_STREQ(e->nick, "CPU");
        EXPECT_STREQ(e->address, "LOCAL");
        for (double c : e->colour)
            EXPECT_DOUBLE_EQ(c, 32767 / 49150.5);
    }
    EXPECT_EQ(game.localPlayerId(), 1);
    EXPECT_EQ(game.opponents->count(), 3);
    EXPECT_EQ(screenState, 2);
    EXPECT_EQ(gameMode, 1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    gGame = nullptr;
}

TEST_F(MenuTest, EscapeInTheGameReturnsToTheSamePage) {
    Game game;
    gGame = &game;
    Menu m;
    gMenu = &m;
    returnToFrontEnd = [] { gMenu->installCallbacks(); };
    key(m, 13); // SINGLE PLAYER
    ASSERT_EQ(screenState, 2);
    gameKeyboard(27, 0, 0);
    EXPECT_EQ(screenState, 1);
    EXPECT_EQ(gameMode, 0);
    EXPECT_EQ(m.page(), 0);
    EXPECT_EQ(m.selected(), 0);
    EXPECT_EQ(game.opponents->count(), 0);
    EXPECT_EQ(lobbyList.count(), 0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << "the menu has the callbacks and its state again";
    returnToFrontEnd = nullptr;
    gMenu = nullptr;
    gGame = nullptr;
}

TEST_F(MenuTest, InstallCallbacksResetsTheLobbyAndGameMode) {
    Menu m;
    gMenu = &m;
    lobbyList.append(new LobbyEntry);
    gameMode = 2;
    m.installCallbacks();
    EXPECT_EQ(lobbyList.count(), 0);
    EXPECT_EQ(gameMode, 0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    m.leave();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(MenuTest, QuitKeysAndItemCallTheQuitPath) {
    Menu m;
    key(m, 27);
    key(m, 'q');
    key(m, 'Q');
    key(m, 'x');
    EXPECT_EQ(quitCalls, 3);
    selectItem(m, 5);
    key(m, 13);
    EXPECT_EQ(quitCalls, 4);
}

TEST_F(MenuTest, CreditsHelpAndMainItemsLeadBackToTheMainPage) {
    Menu m;
    for (int page = 1; page <= 4; ++page) {
        selectItem(m, page);
        key(m, 13);
        EXPECT_EQ(m.page(), page);
        EXPECT_EQ(m.selected(), 0);
        if (page <= 2) selectItem(m, m.pageTable(page).count - 1);
        key(m, 13);
        EXPECT_EQ(m.page(), Menu::kMain);
        EXPECT_EQ(m.selected(), 0);
    }
}

TEST_F(MenuTest, JoinWithoutAConnectionStaysOnThePage) {
    Menu m;
    toMultiPlayer(m);
    selectItem(m, 2);
    key(m, 13);
    EXPECT_EQ(m.page(), Menu::kMulti);
    EXPECT_FALSE(m.joined());
}

} // namespace

namespace {
TEST_F(MenuTest, DetailsLabelFollowsTheLevelChangedDuringAGame) {
    detailLevel = 2;
    Menu m;
    selectItem(m, 2);
    key(m, 13);
    EXPECT_STREQ(item(m, 2, 2), " DETAILS: HIGH ");
    detailLevel = 0; // the W key in the game
    m.installCallbacks();
    EXPECT_STREQ(item(m, 2, 2), " DETAILS: LOW  ");
    detailLevel = 2;
}
} // namespace
