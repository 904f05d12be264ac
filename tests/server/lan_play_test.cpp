// LAN play against the real server: discovery over UDP, lobby chat, and playing again.
#include <gtest/gtest.h>

#include <algorithm>

#include "member_steps.h"

using namespace harness;

namespace {

// A UDP socket on an ephemeral loopback port that queries the server's discovery port.
class Finder {
  public:
    Finder() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        to_.sin_family = AF_INET;
        to_.sin_port = htons(proto::kPort);
        to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~Finder() { close(fd_); }

    bool sendRaw(const uint8_t* p, size_t n) {
        return sendto(fd_, p, n, 0, reinterpret_cast<const sockaddr*>(&to_), sizeof to_) ==
               static_cast<ssize_t>(n);
    }
    bool query(uint32_t nonce) {
        uint8_t q[proto::kDiscoveryQuerySize];
        proto::DiscoveryQuery query;
        query.nonce = nonce;
        return sendRaw(q, proto::encodeDiscoveryQuery(q, query));
    }
    // Waits up to timeoutMs for one datagram; true with its bytes.
    bool receive(Bytes* out, int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) != 1) return false;
        out->assign(200, 0);
        ssize_t n = recv(fd_, out->data(), out->size(), 0);
        if (n < 0) return false;
        out->resize(static_cast<size_t>(n));
        return true;
    }
    // Queries and decodes the answer.
    bool ask(uint32_t nonce, proto::DiscoveryAnswer* answer) {
        Bytes got;
        return query(nonce) && receive(&got, 1000) &&
               proto::decodeDiscoveryAnswer(got.data(), got.size(), answer);
    }

  private:
    int fd_ = -1;
    sockaddr_in to_ = {};
};

Bytes chatLine(int32_t id, const char* nick, const char* text) {
    proto::ChatLine line;
    line.playerId = id;
    std::snprintf(line.nick, sizeof line.nick, "%s", nick);
    std::snprintf(line.text, sizeof line.text, "%s", text);
    Bytes b(proto::kChatLineSize);
    proto::encodeChatLine(b.data(), line);
    return b;
}

class LanPlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.startRetrying()) << server.output();
        ASSERT_TRUE(a.connectGreeted());
        ASSERT_TRUE(b.connectGreeted());
    }
    void TearDown() override { EXPECT_EQ(server.interrupt(2000), 0); }

    // Reads one message of c and expects it to be the header-only type.
    void expectHeaderOnly(Client& c, uint32_t type) {
        Bytes got;
        ASSERT_TRUE(c.readMessage(&got));
        EXPECT_EQ(got, headerOnly(type));
    }

    // Asks for the labyrinth and returns its records (n > 0 expected).
    Bytes labyrinth(Client& c) {
        Bytes head, records;
        int32_t n = 0;
        EXPECT_TRUE(c.send(idMessage(proto::kLabyrinthRequest, 0)));
        EXPECT_TRUE(c.read(proto::kLabyrinthHeadSize, &head));
        EXPECT_TRUE(proto::decodeLabyrinthHead(head.data(), head.size(), &n));
        EXPECT_GT(n, 0);
        EXPECT_TRUE(c.read(proto::kBlockRecordSize * static_cast<size_t>(n), &records));
        return records;
    }

    ServerProcess server;
    Client a, b;
};

} // namespace

TEST_F(LanPlayTest, DiscoveryAnswersQueriesWithTheLobbyAndIgnoresEverythingElse) {
    Finder finder;
    proto::DiscoveryAnswer answer;
    ASSERT_TRUE(finder.ask(0xC0FFEE01u, &answer));
    EXPECT_EQ(answer.nonce, 0xC0FFEE01u);
    EXPECT_EQ(answer.players, 0);
    EXPECT_EQ(answer.inGame, 0u);
    char host[256] = {};
    gethostname(host, sizeof host);
    EXPECT_EQ(std::string(answer.name), std::string(host).substr(0, 31));
    Bytes w;
    Client c;
    ASSERT_TRUE(c.connect());
    ASSERT_TRUE(c.read(proto::kWelcomeSize, &w));
    proto::Welcome welcome;
    ASSERT_TRUE(proto::decodeWelcome(w.data(), w.size(), &welcome));
    EXPECT_STREQ(answer.address, welcome.address);

    joinPair(a, b);
    ASSERT_TRUE(a.send(headerOnly(proto::kStartGame)));
    expectHeaderOnly(b, proto::kStartGame);
    ASSERT_TRUE(finder.ask(7, &answer));
    EXPECT_EQ(answer.players, 2);
    EXPECT_EQ(answer.inGame, 1u);

    // Wrong size, wrong magic, wrong version, an answer sent back: no reply, no log line.
    uint8_t q[proto::kDiscoveryQuerySize + 4] = {};
    proto::DiscoveryQuery query;
    proto::encodeDiscoveryQuery(q, query);
    ASSERT_TRUE(server.waitFor("started game", 2000));
    std::string before = server.output();
    ASSERT_TRUE(finder.sendRaw(q, proto::kDiscoveryQuerySize - 1));
    ASSERT_TRUE(finder.sendRaw(q, proto::kDiscoveryQuerySize + 4));
    q[0] ^= 1;
    ASSERT_TRUE(finder.sendRaw(q, proto::kDiscoveryQuerySize));
    q[0] ^= 1;
    q[4] = 2;
    ASSERT_TRUE(finder.sendRaw(q, proto::kDiscoveryQuerySize));
    uint8_t echo[proto::kDiscoveryAnswerSize];
    ASSERT_TRUE(finder.sendRaw(echo, proto::encodeDiscoveryAnswer(echo, answer)));
    Bytes got;
    EXPECT_FALSE(finder.receive(&got, 200));
    EXPECT_EQ(server.output(), before);

    // A flood of queries leaves the relay alone and the server answering.
    for (int i = 0; i < 20000; ++i)
        finder.query(static_cast<uint32_t>(i));
    expectRelayWorks(a, 1, b, 1);
    while (finder.receive(&got, 100)) {
    }
    ASSERT_TRUE(finder.ask(99, &answer));
    EXPECT_EQ(answer.nonce, 99u);
}

TEST(LanDiscovery, AServerWithoutItsUdpPortRunsWithoutDiscovery) {
    int udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(proto::kPort);
    ASSERT_EQ(bind(udp, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    ServerProcess server;
    ASSERT_TRUE(server.startRetrying());
    EXPECT_TRUE(server.waitFor("server: discovery on UDP port 1234 unavailable <", 1000));
    EXPECT_EQ(server.countOf("discovery"), 1);
    Client a;
    ASSERT_TRUE(a.connectGreeted());
    EXPECT_EQ(joinAs(a, "Ann").accepted, 1);
    EXPECT_EQ(server.interrupt(2000), 0);
    close(udp);
}

TEST_F(LanPlayTest, ChatGoesToEveryMemberWithTheSendersOwnIdAndNick) {
    Client c;
    ASSERT_TRUE(c.connectGreeted());
    joinPair(a, b);
    // b claims to be a and sends control characters and a text too long.
    std::string text = "hi\x1b[2J\tall " + std::string(70, 'x');
    Bytes line = chatLine(1, "Ann", "");
    std::memcpy(line.data() + 48, text.data(), 64);
    ASSERT_TRUE(b.send(line));
    for (Client* to : {&a, &b}) {
        Bytes got;
        ASSERT_TRUE(to->readMessage(&got));
        proto::ChatLine heard;
        ASSERT_TRUE(proto::decodeChatLine(got.data(), got.size(), &heard));
        EXPECT_EQ(heard.playerId, 2);
        EXPECT_STREQ(heard.nick, "Bob");
        EXPECT_EQ(std::string(heard.text), "hi[2Jall " + std::string(51, 'x'));
        EXPECT_TRUE(std::all_of(got.begin() + 48 + 60, got.end(), [](uint8_t x) { return !x; }));
    }
    // A chat line of the wrong length is dropped, and the connection stays.
    Bytes shortLine = chatLine(2, "Bob", "short");
    proto::putU32(shortLine.data() + 4, 100);
    shortLine.resize(100);
    ASSERT_TRUE(b.send(shortLine));
    expectRelayWorks(b, 2, a, 1);
    EXPECT_TRUE(b.quietFor(50));
    EXPECT_TRUE(c.quietFor(1));
}

TEST_F(LanPlayTest, BothMembersLeaveAndJoinAgainAndPlayASecondRound) {
    proto::JoinReply firstA = joinAs(a, "Ann");
    joinAs(b, "Bob");
    playerInfo(a);
    playerInfo(b);
    ASSERT_TRUE(a.send(headerOnly(proto::kStartGame)));
    expectHeaderOnly(b, proto::kStartGame);
    Bytes first = labyrinth(a);
    EXPECT_EQ(labyrinth(b), first);
    expectRelayWorks(a, 1, b, 1);

    // a's game ends first: it leaves and asks to join while b still plays.
    ASSERT_TRUE(a.send(idMessage(proto::kLeaveGame, 1)));
    EXPECT_EQ(playerLeft(b), 1);
    proto::JoinReply denied = joinAs(a, "Ann");
    EXPECT_EQ(denied.accepted, 0);
    EXPECT_EQ(denied.playerId, 0);
    // b's game ends: the lobby opens for every connection.
    ASSERT_TRUE(b.send(idMessage(proto::kLeaveGame, 2)));
    expectHeaderOnly(b, proto::kLobbyOpen);
    expectHeaderOnly(a, proto::kLobbyOpen);
    proto::JoinReply rb = joinAs(b, "Bob");
    EXPECT_EQ(rb.accepted, 1);
    proto::JoinReply ra = joinAs(a, "Ann");
    EXPECT_EQ(ra.accepted, 1);
    EXPECT_NE(ra.playerId, rb.playerId);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(ra.colour[c], firstA.colour[c]) << "a player back from a game keeps its colour";
    proto::PlayerInfo aboutB = playerInfo(a);
    EXPECT_EQ(aboutB.playerId, rb.playerId);
    EXPECT_STREQ(aboutB.nick, "Bob");
    proto::PlayerInfo aboutA = playerInfo(b);
    EXPECT_EQ(aboutA.playerId, ra.playerId);
    EXPECT_STREQ(aboutA.nick, "Ann");

    // The second round starts on a labyrinth generated anew, the same for both.
    ASSERT_TRUE(b.send(headerOnly(proto::kStartGame)));
    expectHeaderOnly(a, proto::kStartGame);
    Bytes second = labyrinth(b);
    EXPECT_EQ(labyrinth(a), second);
    expectRelayWorks(a, ra.playerId, b, 2);
    EXPECT_EQ(server.countOf("started game"), 2);
}

TEST_F(LanPlayTest, TheLastMemberLosingItsConnectionOpensTheLobby) {
    Client menu;
    ASSERT_TRUE(menu.connectGreeted());
    joinPair(a, b);
    ASSERT_TRUE(a.send(headerOnly(proto::kStartGame)));
    expectHeaderOnly(b, proto::kStartGame);
    a.close();
    EXPECT_EQ(playerLeft(b), 1);
    EXPECT_EQ(playerLeft(menu), 1);
    b.close();
    EXPECT_EQ(playerLeft(menu), 2);
    expectHeaderOnly(menu, proto::kLobbyOpen);
    EXPECT_EQ(joinAs(menu, "Late").accepted, 1);
}
