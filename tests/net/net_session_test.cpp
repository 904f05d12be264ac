// The session's steps as the menu drives them: refused after a game while the others still play,
// the client waits for the lobby to open and joins then.
#include <gtest/gtest.h>

#include <cstring>

#include "globals.h"
#include "lobby_feed.h"
#include "net_support.h"
#include "session.h"
#include "support/fake_clock.h"

using namespace nettest;

namespace {

class Session : public NetTest {
  protected:
    void TearDown() override {
        sessionClose();
        lobbyList.clear();
        NetTest::TearDown();
    }
    // Polls the session (bounded) until it reports an event or done() holds.
    template <typename Done> SessionEvent pollUntil(Done done) {
        for (int i = 0; i < 2000; ++i) {
            SessionEvent e = sessionPoll();
            if (e != SessionEvent::kNone || done()) return e;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return SessionEvent::kNone;
    }
};

Bytes joinReply(int32_t accepted, int32_t id) {
    Bytes b(proto::kJoinReplySize);
    proto::JoinReply r;
    r.accepted = accepted;
    r.playerId = id;
    proto::encodeJoinReply(b.data(), r);
    return b;
}

} // namespace

TEST_F(Session, RefusedAfterAGameItJoinsAgainWhenTheLobbyOpens) {
    FakeServer server([](FakeServer& s, int fd) {
        sendAll(fd, welcome());
        if (readBytes(fd, proto::kJoinSize).size() != proto::kJoinSize) return;
        sendAll(fd, joinReply(0, 0));
        sendAll(fd, header(proto::kLobbyOpen, proto::kHeaderOnlySize));
        if (readBytes(fd, proto::kJoinSize).size() != proto::kJoinSize) return;
        Bytes info(proto::kPlayerInfoSize);
        proto::PlayerInfo other;
        other.playerId = 4;
        std::strcpy(other.nick, "BOB");
        proto::encodePlayerInfo(info.data(), other);
        sendAll(fd, joinReply(1, 5));
        sendAll(fd, info);
        s.waitClosed(fd);
    });
    testing::internal::CaptureStdout();
    sessionConnect("127.0.0.1", "LANHOST");
    EXPECT_EQ(pollUntil([] { return false; }), SessionEvent::kConnected);
    testing::internal::GetCapturedStdout();
    EXPECT_STREQ(sessionStatus(), "CONNECTED TO LANHOST");
    sessionInGame();
    ASSERT_TRUE(sessionRejoin());
    EXPECT_EQ(pollUntil([] { return false; }), SessionEvent::kWaiting);
    EXPECT_TRUE(sessionWaitingForLobby());
    EXPECT_STREQ(sessionStatus(), "WAITING FOR THE GAME TO END");
    EXPECT_FALSE(sessionStart()) << "nobody starts from outside the lobby";

    for (int i = 0; i < 2000 && !sessionBusy(); ++i) {
        drainLobby(false, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(pollUntil([] { return false; }), SessionEvent::kJoined);
    EXPECT_EQ(sessionPlayerId(), 5);
    EXPECT_FALSE(sessionWaitingForLobby());
    for (int i = 0; i < 2000 && lobbyList.count() == 0; ++i) {
        drainLobby(true, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(lobbyList.count(), 1) << "the members are announced again";
    EXPECT_STREQ(lobbyList.first()->nick, "BOB");
}
