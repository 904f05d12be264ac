#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "front_fixture.h"
#include "game.h"
#include "game_gl.h"
#include "net.h"
#include "protocol.h"
#include "support/process.h"

namespace {

using fronttest::FrontEnd;

// A second player on its own socket, speaking the wire protocol directly.
class RawPlayer {
  public:
    RawPlayer() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(proto::kPort);
        inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        uint8_t welcome[proto::kWelcomeSize];
        ok_ = connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
              receive(welcome, sizeof welcome);
    }
    ~RawPlayer() {
        if (fd_ >= 0) close(fd_);
    }
    RawPlayer(const RawPlayer&) = delete;
    RawPlayer& operator=(const RawPlayer&) = delete;

    bool ok() const { return ok_; }
    // Joins with nick (what arrives ahead of the reply is skipped); returns the player id, 0 when
    // denied or on failure.
    int32_t join(const char* nick) {
        uint8_t m[proto::kJoinSize];
        if (!send(m, proto::encodeJoin(m, nick))) return 0;
        uint8_t r[proto::kServerBufferSize];
        proto::JoinReply reply;
        if (!await(proto::kJoinReply, r, sizeof r) ||
            !proto::decodeJoinReply(r, proto::kJoinReplySize, &reply))
            return 0;
        return reply.accepted == 1 ? reply.playerId : 0;
    }
    bool sendChat(const char* nick, const char* text) {
        proto::ChatLine line;
        line.playerId = 99;
        copyText(line.nick, nick, sizeof line.nick);
        copyText(line.text, text, sizeof line.text);
        uint8_t m[proto::kChatLineSize];
        return send(m, proto::encodeChatLine(m, line));
    }
    bool sendId(uint32_t type, int32_t id) {
        uint8_t m[proto::kIdMessageSize];
        return send(m, proto::encodeIdMessage(m, type, id));
    }
    bool sendStart() {
        uint8_t m[proto::kHeaderOnlySize];
        return send(m, proto::encodeHeaderOnly(m, proto::kStartGame));
    }
    // Reads messages until one of type arrives (within 2 s); its bytes land in out.
    bool await(uint32_t type, uint8_t* out, size_t capacity) {
        for (int i = 0; i < 20; ++i) {
            uint8_t h[proto::kHeaderSize];
            proto::Header header;
            if (!receive(h, sizeof h) || !proto::decodeHeader(h, sizeof h, &header)) return false;
            if (header.length < 8 || header.length > capacity) return false;
            std::memcpy(out, h, sizeof h);
            if (!receive(out + 8, header.length - 8)) return false;
            if (header.type == type) return true;
        }
        return false;
    }

  private:
    bool send(const uint8_t* m, size_t n) { return ::send(fd_, m, n, MSG_NOSIGNAL) == (ssize_t)n; }
    bool receive(uint8_t* buf, size_t n) {
        size_t got = 0;
        while (got < n) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0) return false;
            ssize_t r = recv(fd_, buf + got, n - got, 0);
            if (r <= 0) return false;
            got += static_cast<size_t>(r);
        }
        return true;
    }
    int fd_ = -1;
    bool ok_ = false;
};

// The real server, a connected menu and a Game for the local id.
class LobbyTest : public FrontEnd {
  protected:
    void SetUp() override {
        FrontEnd::SetUp();
        // Port 1234 is fixed: a server that cannot bind it (another one holds it) ends at once,
        // and then a new one is tried.
        for (int attempt = 0; attempt < 50; ++attempt) {
            server_ =
                std::make_unique<testproc::Child>(CORVANE_SERVER_BIN, std::vector<std::string>{});
            if (server_->waitForOutput("Press Ctrl-C to quit Server") && server_->waitExit(100) < 0)
                break;
            server_.reset();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        ASSERT_NE(server_, nullptr) << "port 1234 stays taken";
        clearNotices();
        clearChatLines();
        NetStartup();
        copyText(serverAddress, "127.0.0.1", sizeof serverAddress);
        game_ = std::make_unique<Game>();
        gGame = game_.get();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        for (int i = 0; i < 100 && !NetIsConnected(); ++i) {
            menu_ = std::make_unique<Menu>(); // starts connecting in its constructor
            gMenu = menu_.get();
            pumpUntil([&] { return menu_->connected() || sessionMood() == 3; });
            if (!NetIsConnected()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        testing::internal::GetCapturedStderr();
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(menu_->connected());
    }
    void TearDown() override {
        returnToFrontEnd = nullptr;
        discoveryStop();
        sessionClose();
        menu_.reset();
        gGame = nullptr;
        game_.reset();
        NetClose();
        server_.reset();
        FrontEnd::TearDown();
    }

    Menu& menu() { return *menu_; }
    // Pumps the menu until done() holds (at most about 3 s); the result of done().
    template <typename Done> bool pumpUntil(Done done) {
        for (int i = 0; i < 1500 && !done(); ++i) {
            menu_->pump();
            if (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    }
    void joinFromMenu() {
        selectItem(menu(), 1);
        key(menu(), 13);
        ASSERT_EQ(menu().page(), Menu::kMulti);
        selectItem(menu(), 2);
        key(menu(), 13);
        ASSERT_TRUE(pumpUntil([&] { return menu().joined(); }));
    }
    // Waits (bounded) until the menu's connection has input, and a little longer for what the
    // server sends with it, so that one timer run sees it all.
    static bool inputArrives() {
        for (int i = 0; i < 400; ++i) {
            if (!NetPoll()) continue;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return true;
        }
        return false;
    }
    std::string line(int i) const { return item(*menu_, Menu::kLobby, i); }

    std::unique_ptr<testproc::Child> server_;
    std::unique_ptr<Game> game_;
    std::unique_ptr<Menu> menu_;
};

TEST_F(LobbyTest, AcceptedJoinShowsStartLeaveAndTheLocalLine) {
    joinFromMenu();
    EXPECT_EQ(menu().page(), Menu::kLobby);
    EXPECT_EQ(menu().selected(), 0);
    EXPECT_TRUE(menu().joined());
    EXPECT_EQ(game_->localPlayerId(), 1);
    menu().lobbyTimerRun();
    EXPECT_EQ(menu().pageTable(Menu::kLobby).count, 3);
    EXPECT_EQ(line(0), "START");
    EXPECT_EQ(line(1), "LEAVE");
    EXPECT_EQ(line(2), "CORVANE:LOCAL");
    EXPECT_EQ(lobbyList.count(), 0);
}

TEST_F(LobbyTest, TwoPlayersAnnouncedWithinOneSecondBothAppearAfterOneTimerRun) {
    joinFromMenu();
    RawPlayer bob, carol;
    ASSERT_TRUE(bob.ok() && carol.ok());
    int32_t bobId = bob.join("BOB");
    int32_t carolId = carol.join("CAROL");
    ASSERT_NE(bobId, 0);
    ASSERT_NE(carolId, 0);
    ASSERT_TRUE(inputArrives());
    menu().lobbyTimerRun();
    ASSERT_EQ(lobbyList.count(), 2);
    EXPECT_EQ(lobbyList.get(0)->playerId, bobId);
    EXPECT_EQ(lobbyList.get(1)->playerId, carolId);
    EXPECT_EQ(menu().pageTable(Menu::kLobby).count, 5);
    EXPECT_EQ(line(3), "BOB:127.0.0.1");
    EXPECT_EQ(line(4), "CAROL:127.0.0.1");
    ASSERT_EQ(noticeCount(), 2);
    EXPECT_STREQ(noticeText(0), "BOB JOINED");
    EXPECT_STREQ(noticeText(1), "CAROL JOINED");
}

TEST_F(LobbyTest, PlayerLeftRemovesOnlyAKnownPlayer) {
    joinFromMenu();
    RawPlayer bob;
    int32_t bobId = bob.join("BOB");
    ASSERT_NE(bobId, 0);
    ASSERT_TRUE(inputArrives());
    menu().lobbyTimerRun();
    ASSERT_EQ(lobbyList.count(), 1);

    {
        RawPlayer stranger; // never joins: its going is announced to all as PlayerLeft id 0
        ASSERT_TRUE(stranger.ok());
    }
    ASSERT_TRUE(inputArrives());
    menu().lobbyTimerRun();
    ASSERT_EQ(lobbyList.count(), 1);
    EXPECT_EQ(lobbyList.get(0)->playerId, bobId);
    EXPECT_EQ(line(3), "BOB:127.0.0.1");

    ASSERT_TRUE(bob.sendId(proto::kLeaveGame, bobId));
    ASSERT_TRUE(inputArrives());
    menu().lobbyTimerRun();
    EXPECT_EQ(lobbyList.count(), 0);
    EXPECT_EQ(menu().pageTable(Menu::kLobby).count, 3);
}

TEST_F(LobbyTest, LeaveKeepsTheConnectionAndANewJoinIsAdmitted) {
    RawPlayer bob;
    ASSERT_NE(bob.join("BOB"), 0);
    joinFromMenu();
    const int32_t firstId = game_->localPlayerId();
    ASSERT_TRUE(pumpUntil([] { return lobbyList.count() == 1; }))
        << "announced as the join is answered";
    menu().lobbyTimerRun();
    ASSERT_EQ(lobbyList.count(), 1);

    selectItem(menu(), 1);
    key(menu(), 13);
    EXPECT_EQ(menu().page(), Menu::kMulti);
    EXPECT_EQ(menu().selected(), 0);
    EXPECT_FALSE(menu().joined());
    EXPECT_TRUE(menu().connected());
    EXPECT_EQ(NetIsConnected(), 1);
    EXPECT_EQ(lobbyList.count(), 0);
    uint8_t m[proto::kServerBufferSize];
    ASSERT_TRUE(bob.await(proto::kPlayerLeft, m, sizeof m));
    EXPECT_EQ(proto::getI32(m + 8), firstId);

    selectItem(menu(), 2);
    key(menu(), 13);
    ASSERT_TRUE(pumpUntil([&] { return menu().joined(); }));
    EXPECT_EQ(menu().page(), Menu::kLobby);
    EXPECT_EQ(game_->localPlayerId(), firstId + 1);
}

TEST_F(LobbyTest, EnterOnAPlayerLineLeavesLikeLeave) {
    RawPlayer bob;
    ASSERT_NE(bob.join("BOB"), 0);
    joinFromMenu();
    ASSERT_TRUE(pumpUntil([] { return lobbyList.count() == 1; }))
        << "announced as the join is answered";
    EXPECT_EQ(noticeCount(), 0) << "BOB was there before: no news";
    menu().lobbyTimerRun();
    selectItem(menu(), 3);
    key(menu(), 13);
    EXPECT_EQ(menu().page(), Menu::kMulti);
    EXPECT_FALSE(menu().joined());
    EXPECT_EQ(lobbyList.count(), 0);
}

TEST_F(LobbyTest, EditingTheServerAddressClosesTheConnectionAtOnce) {
    selectItem(menu(), 1);
    key(menu(), 13);
    key(menu(), 13); // server label
    EXPECT_TRUE(menu().editing());
    EXPECT_FALSE(menu().connected());
    EXPECT_EQ(NetIsConnected(), 0);
    EXPECT_STREQ(menu().editBuffer(), "127.0.0.1");

    testing::internal::CaptureStdout();
    key(menu(), 13); // confirms the same address: connected again
    pumpUntil([&] { return menu().connected(); });
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(menu().editing());
    EXPECT_TRUE(menu().connected());
    EXPECT_STREQ(serverAddress, "127.0.0.1");
}

TEST_F(LobbyTest, MainWhileConnectedClosesTheConnectionAndForgetsTheAddress) {
    selectItem(menu(), 1);
    key(menu(), 13);
    selectItem(menu(), 4);
    key(menu(), 13);
    EXPECT_EQ(menu().page(), Menu::kMain);
    EXPECT_FALSE(menu().connected());
    EXPECT_EQ(NetIsConnected(), 0);
    EXPECT_STREQ(serverAddress, "");
    EXPECT_STREQ(item(menu(), Menu::kMulti, 0), "SERVER: ");
}

TEST_F(LobbyTest, StartAnnouncesTheGameAndEntersItAsMultiPlayer) {
    RawPlayer bob;
    int32_t bobId = bob.join("BOB");
    ASSERT_NE(bobId, 0);
    joinFromMenu();
    ASSERT_TRUE(pumpUntil([] { return lobbyList.count() == 1; }))
        << "announced as the join is answered";
    menu().lobbyTimerRun();
    key(menu(), 13); // START
    uint8_t m[proto::kServerBufferSize];
    EXPECT_TRUE(bob.await(proto::kStartGame, m, sizeof m));
    EXPECT_TRUE(pumpUntil([] { return screenState == 2; })) << "the labyrinth arrives";
    EXPECT_EQ(gameMode, 2);
    ASSERT_EQ(game_->opponents->count(), 1);
}

TEST_F(LobbyTest, StartGameFromAnotherMemberStartsThisGame) {
    joinFromMenu();
    RawPlayer bob;
    ASSERT_NE(bob.join("BOB"), 0);
    ASSERT_TRUE(inputArrives());
    menu().lobbyTimerRun();
    ASSERT_TRUE(bob.sendStart());
    ASSERT_TRUE(inputArrives());
    menu().lobbyTimerRun();
    EXPECT_TRUE(pumpUntil([] { return screenState == 2; }));
    EXPECT_EQ(gameMode, 2);
    EXPECT_EQ(game_->opponents->count(), 1);
}

TEST_F(LobbyTest, ChatLinesGoThroughTheServerToEveryMemberUnderTheirOwnNicks) {
    RawPlayer bob;
    ASSERT_NE(bob.join("BOB"), 0);
    joinFromMenu();
    key(menu(), 't');
    ASSERT_TRUE(menu().chatting());
    type(menu(), "quit? no, ~ready!");
    EXPECT_STREQ(menu().chatBuffer(), "QUIT? NO, READY!");
    EXPECT_EQ(fronttest::quitCalls, 0) << "Q is text while talking";
    key(menu(), 13);
    EXPECT_FALSE(menu().chatting());
    uint8_t m[proto::kServerBufferSize];
    proto::ChatLine got;
    ASSERT_TRUE(bob.await(proto::kChatLine, m, sizeof m));
    ASSERT_TRUE(proto::decodeChatLine(m, proto::kChatLineSize, &got));
    EXPECT_STREQ(got.text, "QUIT? NO, READY!");
    EXPECT_STREQ(got.nick, "CORVANE");
    ASSERT_TRUE(pumpUntil([] { return chatLineCount() == 1; })) << "the sender sees its line too";

    ASSERT_TRUE(bob.sendChat("MALLORY", "hello\x1b[2J there"));
    ASSERT_TRUE(pumpUntil([] { return chatLineCount() == 2; }));
    EXPECT_STREQ(chatLine(0), "CORVANE: QUIT? NO, READY!");
    EXPECT_STREQ(chatLine(1), "BOB: HELLO2J THERE");

    key(menu(), 'T');
    type(menu(), "never sent");
    key(menu(), 27);
    EXPECT_FALSE(menu().chatting());
    EXPECT_EQ(fronttest::quitCalls, 0) << "Escape ends the line, not the program";
    EXPECT_EQ(menu().page(), Menu::kLobby);
}

TEST_F(LobbyTest, AfterAGameEveryoneIsBackInTheLobbyAndStartsAgain) {
    RawPlayer bob;
    int32_t bobId = bob.join("BOB");
    ASSERT_NE(bobId, 0);
    joinFromMenu();
    ASSERT_TRUE(pumpUntil([] { return lobbyList.count() == 1; }));
    key(menu(), 13); // START
    ASSERT_TRUE(pumpUntil([] { return screenState == 2; }));
    returnToFrontEnd = [] { gMenu->installCallbacks(); };
    gameKeyboard(27, 0, 0); // leaves the game at once: LeaveGame, then Join again
    EXPECT_EQ(menu().page(), Menu::kLobby);
    ASSERT_TRUE(pumpUntil([] { return !sessionBusy(); }));
    EXPECT_TRUE(sessionWaitingForLobby()) << "refused while BOB still plays";
    EXPECT_FALSE(menu().joined());

    ASSERT_TRUE(bob.sendId(proto::kLeaveGame, bobId)); // the last player leaves: the lobby opens
    ASSERT_TRUE(pumpUntil([&] { return menu().joined(); }));
    EXPECT_EQ(menu().page(), Menu::kLobby);
    ASSERT_NE(bob.join("BOB"), 0);
    ASSERT_TRUE(pumpUntil([] { return lobbyList.count() == 1; }));
    menu().lobbyTimerRun();
    EXPECT_EQ(line(2), "CORVANE:LOCAL");
    EXPECT_EQ(line(3), "BOB:127.0.0.1");

    selectItem(menu(), 0);
    key(menu(), 13); // START the second round, without LEAVE and JOIN
    uint8_t m[proto::kServerBufferSize];
    EXPECT_TRUE(bob.await(proto::kStartGame, m, sizeof m));
    EXPECT_TRUE(pumpUntil([] { return screenState == 2; }));
    EXPECT_EQ(game_->opponents->count(), 1);
}

TEST_F(LobbyTest, FoundServersAreListedAndEnterConnects) {
    selectItem(menu(), 1);
    key(menu(), 13);
    selectItem(menu(), 4); // MAIN forgets the connection
    key(menu(), 13);
    selectItem(menu(), 1);
    key(menu(), 13);
    selectItem(menu(), 3); // FIND SERVERS
    key(menu(), 13);
    ASSERT_EQ(menu().page(), Menu::kServers);
    ASSERT_TRUE(pumpUntil([] { return discoveryCount() == 1; }));
    const std::string found = item(menu(), Menu::kServers, 0);
    EXPECT_NE(found.find(" 127.0.0.1 0 OF 7"), std::string::npos) << found;
    EXPECT_STREQ(item(menu(), Menu::kServers, 1), "SEARCH AGAIN");
    key(menu(), 13);
    EXPECT_EQ(menu().page(), Menu::kMulti);
    EXPECT_EQ(menu().selected(), 2) << "JOIN is next";
    EXPECT_STREQ(serverAddress, "127.0.0.1");
    testing::internal::CaptureStdout();
    ASSERT_TRUE(pumpUntil([&] { return menu().connected(); }));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::string(sessionStatus()).rfind("CONNECTED TO ", 0), 0u) << sessionStatus();
}

} // namespace
