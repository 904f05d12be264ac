// The front end: text pages (main, multi player, options, credits, help, lobby, found servers)
// that own the GLUT callbacks whenever no game runs.
#pragma once

#include <cstdint>

#include "bitmap_font.h"
#include "discovery.h"
#include "notices.h"
#include "session.h"

// One page of the menu: its item texts, layout and whether a highlight moves over it.
struct MenuPage {
    const char** items;
    int32_t count;
    float scaleX;
    float scaleY;
    float offsetX;
    float offsetY;
    uint8_t centred;
    uint8_t selectable;
};

// Called for Escape, Q, q and the QUIT item; start-up points it at the program's quit path. While
// null those keys do nothing.
extern void (*menuQuit)();
// The options page's window size: 0 = 320 x 256, 1 = 640 x 480, 2 = 800 x 600.
extern int32_t displayIndex;

class Menu {
  public:
    enum Page {
        kMain = 0,
        kMulti = 1,
        kOptions = 2,
        kCredits = 3,
        kHelp = 4,
        kLobby = 5,
        kServers = 6
    };
    static constexpr int kPageCount = 7;
    static constexpr int kServerItems = kDiscoveryLimit + 2; // found servers, SEARCH AGAIN, BACK
    static constexpr int kPumpMs = 50;                       // the network pump's period
    static constexpr int kLobbyCapacity = 33;                // START, LEAVE and 31 player lines
    static constexpr int kLabelSize = 64;                    // bytes of each option label

    // Loads the font and the intro picture (a failure is reported and the menu runs without it),
    // writes the labels and connects to serverAddress when it is set.
    Menu();
    // Leaves the menu and frees the font table, the edit buffer, the labels and the lobby lines.
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // Gives GLUT to the menu: its display, keyboard and special-key callbacks and the lobby timer;
    // plays the menu music, sets the 2D drawing state, clears joined and lobbyList, gameMode = 0.
    void installCallbacks();
    // Stops the menu music and switches texturing off (a game is about to start).
    void leave();

    // GLUT display callback: clears, draws the current page and swaps buffers.
    void display();
    // Draws the current page into the back buffer (background only at detail level 2).
    void drawPage();
    // GLUT keyboard callback: navigation, actions, quitting and text editing.
    void keyboard(unsigned char key, int x, int y);
    // GLUT special-key callback: the up and down arrows move the highlight with wrapping.
    void special(int key, int x, int y);
    // One run of the lobby timer without re-arming it: drains the connection, rebuilds the lobby
    // page's player lines and redisplays.
    void lobbyTimerRun();
    // One run of the network pump without re-arming it: advances the session's waiting step,
    // drains the connection (a bounded number of messages), collects found servers and redisplays
    // when anything changed.
    void pump();

    int32_t page() const { return page_; }
    int32_t selected() const { return selected_; }
    bool editing() const { return editing_ != 0; }
    bool connected() const { return connected_ != 0; }
    bool joined() const { return joined_ != 0; }
    const char* editBuffer() const { return editBuffer_; }
    // True while a chat line is typed in the lobby; chatBuffer holds it.
    bool chatting() const { return chatting_ != 0; }
    const char* chatBuffer() const { return chatBuffer_; }
    // The table of page p (0..6).
    const MenuPage& pageTable(int p) const { return pages_[p]; }

  private:
    void runAction();
    void mainAction();
    void multiAction();
    void optionsAction();
    void lobbyAction();
    void join();
    void startLobbyGame();
    void leaveLobby();
    void enterGame(int mode);
    bool drainConnection();
    void applySessionEvent(SessionEvent event);
    void connectionLost();
    void chatKey(unsigned char key);
    void findServers();
    void serversAction();
    void rebuildServerLines();
    void drawStatus();
    void drawLobbyChat(float size, float pitch, float top);
    void rebuildLobbyLines();
    void freeLobbyLines();
    void editKey(unsigned char key);
    void writeSoundLabel();
    void writeNickLabel();
    void writeServerLabel();
    void writeDetailsLabel();
    void writeDisplayLabel();
    void writeChoiceLabels();
    void goTo(int32_t page);

    unsigned introTexture_ = 0;
    BitmapFont font_;
    int32_t selected_ = 0;
    int32_t page_ = 0;
    uint8_t editing_ = 0;
    uint8_t connected_ = 0;
    uint8_t joined_ = 0;
    char* editBuffer_ = nullptr;

    char* serverLabel_ = nullptr;
    char* nickLabel_ = nullptr;
    char* soundLabel_ = nullptr;
    char* displayLabel_ = nullptr;
    char* detailsLabel_ = nullptr;
    char* cameraLabel_ = nullptr;
    char* handlingLabel_ = nullptr;
    char* opponentsLabel_ = nullptr;

    uint8_t chatting_ = 0;
    char chatBuffer_[kChatTextLimit + 1] = {};

    const char* multiItems_[5] = {};
    const char* optionsItems_[7] = {};
    const char* lobbyItems_[kLobbyCapacity] = {};
    char* lobbyLines_[kLobbyCapacity] = {};
    const char* serverItems_[kServerItems] = {};
    char serverLines_[kDiscoveryLimit][80] = {};
    MenuPage pages_[kPageCount];
};
