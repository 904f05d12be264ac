#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "labyrinth.h"
#include "member_steps.h"

using namespace harness;

namespace {

class ServerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.startRetrying()) << server.output(); }
    void TearDown() override { EXPECT_EQ(server.interrupt(2000), 0); }

    ServerProcess server;
};

} // namespace

TEST_F(ServerTest, GreetingIsTheWelcomeWithMagicAndAddress) {
    Client c;
    ASSERT_TRUE(c.connect());
    Bytes w;
    ASSERT_TRUE(c.read(44, &w));
    EXPECT_EQ(Bytes(w.begin(), w.begin() + 12),
              Bytes({4, 0, 0, 0, 44, 0, 0, 0, 0x44, 0x33, 0x56, 0x43}));
    proto::Welcome welcome;
    ASSERT_TRUE(proto::decodeWelcome(w.data(), w.size(), &welcome));
    EXPECT_NE(server.output().find(std::string("Server Address\t: ") + welcome.address + "\n\n"),
              std::string::npos);
    EXPECT_TRUE(c.quietFor(100));
}

TEST_F(ServerTest, StartUpLinesAndConnectionLogLines) {
    std::string out = server.output();
    EXPECT_EQ(out.rfind("\nCORVANE 3D Server\nServer Name\t: ", 0), 0u) << out;
    EXPECT_NE(out.find("\nServer Address\t: "), std::string::npos);
    EXPECT_NE(out.find("\n\nPress Ctrl-C to quit Server\n\n"), std::string::npos);

    Client a;
    ASSERT_TRUE(a.connectGreeted());
    EXPECT_TRUE(server.waitFor("client from 127.0.0.1 connected at ", 1000));
    joinAs(a, "Ann");
    EXPECT_TRUE(server.waitFor("client from 127.0.0.1 joined Ann accepted\n", 1000));
    ASSERT_TRUE(a.send(idMessage(proto::kLabyrinthRequest, 0)));
    Bytes head;
    ASSERT_TRUE(a.read(12, &head));
    EXPECT_TRUE(server.waitFor("client from 127.0.0.1 asks for the labyrinth\n", 1000));
    ASSERT_TRUE(a.send(headerOnly(proto::kStartGame)));
    EXPECT_TRUE(server.waitFor("client from 127.0.0.1 started game\n", 1000));
    ASSERT_TRUE(a.send(headerOnly(proto::kEndGame)));
    EXPECT_TRUE(server.waitFor("client from 127.0.0.1 ended game\n", 1000));
    ASSERT_TRUE(a.send(idMessage(proto::kLeaveGame, 1)));
    EXPECT_TRUE(server.waitFor("client from 127.0.0.1 left game\n", 1000));
    a.close();
    EXPECT_TRUE(server.waitFor("client from 127.0.0.1 disconnected from server ", 1000));

    // Every connection event line ends with the ctime text: a weekday, a date and a newline.
    out = server.output();
    size_t at = out.find("connected at ");
    ASSERT_NE(at, std::string::npos);
    size_t end = out.find('\n', at);
    EXPECT_EQ(end - at, std::string("connected at ").size() + 24);
}

TEST_F(ServerTest, AdmissionsFanOutPlayerInfo) {
    Client a, b;
    ASSERT_TRUE(a.connectGreeted());
    ASSERT_TRUE(b.connectGreeted());
    proto::JoinReply ra = joinAs(a, "Ann");
    EXPECT_EQ(ra.accepted, 1);
    EXPECT_EQ(ra.playerId, 1);
    for (double c : ra.colour) {
        EXPECT_GE(c, 0.0);
        EXPECT_LE(c, 32767 / 49150.5);
    }
    EXPECT_TRUE(a.quietFor(50)); // nobody else has joined yet

    proto::JoinReply rb = joinAs(b, "Bob");
    EXPECT_EQ(rb.accepted, 1);
    EXPECT_EQ(rb.playerId, 2);
    proto::PlayerInfo aboutA = playerInfo(b);
    EXPECT_EQ(aboutA.playerId, 1);
    EXPECT_STREQ(aboutA.nick, "Ann");
    EXPECT_STREQ(aboutA.address, "127.0.0.1");
    EXPECT_EQ(aboutA.colour[0], ra.colour[0]);
    EXPECT_EQ(aboutA.colour[2], ra.colour[2]);
    proto::PlayerInfo aboutB = playerInfo(a);
    EXPECT_EQ(aboutB.playerId, 2);
    EXPECT_STREQ(aboutB.nick, "Bob");
    EXPECT_EQ(aboutB.colour[1], rb.colour[1]);
}

TEST_F(ServerTest, LongNickWithoutNulIsCutAt31) {
    Client a, b;
    ASSERT_TRUE(a.connectGreeted());
    ASSERT_TRUE(b.connectGreeted());
    joinAs(a, "Ann");
    Bytes j = join("");
    std::memset(j.data() + 12, 'Z', 64); // nick and address fields without any NUL
    ASSERT_TRUE(b.send(j));
    Bytes reply;
    ASSERT_TRUE(b.readMessage(&reply));
    proto::PlayerInfo info = playerInfo(a);
    EXPECT_EQ(std::string(info.nick), std::string(31, 'Z'));
    EXPECT_STREQ(info.address, "127.0.0.1");
    EXPECT_TRUE(server.waitFor("joined " + std::string(31, 'Z') + " accepted\n", 1000));
}

TEST_F(ServerTest, SevenMembersAdmitTheEighthIsDeniedWhateverSitsInTheMenus) {
    // Silent connections (players in the menus) do not take lobby places.
    std::vector<std::unique_ptr<Client>> silent, cs;
    for (int i = 0; i < 6; ++i) {
        silent.emplace_back(new Client);
        ASSERT_TRUE(silent.back()->connectGreeted());
    }
    for (int i = 0; i < 8; ++i) {
        cs.emplace_back(new Client);
        ASSERT_TRUE(cs.back()->connectGreeted());
    }
    for (int i = 0; i < 7; ++i) {
        ASSERT_EQ(joinAs(*cs[i], "member").accepted, 1) << i;
        for (int k = 0; k < i; ++k) {
            playerInfo(*cs[i]);
            playerInfo(*cs[k]);
        }
    }
    proto::JoinReply r = joinAs(*cs[7], "eighth");
    EXPECT_EQ(r.accepted, 0);
    EXPECT_EQ(r.playerId, 0);
    EXPECT_TRUE(server.waitFor("joined eighth denied\n", 1000));
    EXPECT_TRUE(cs[6]->quietFor(50)); // a denied join is not announced
    // Once a member goes, the eighth can join.
    cs[0]->close();
    EXPECT_EQ(playerLeft(*cs[7]), 1);
    EXPECT_EQ(joinAs(*cs[7], "eighth").accepted, 1);
}

TEST_F(ServerTest, JoinDuringGameIsDenied) {
    Client a, b;
    ASSERT_TRUE(a.connectGreeted());
    ASSERT_TRUE(b.connectGreeted());
    joinAs(a, "Ann");
    ASSERT_TRUE(a.send(headerOnly(proto::kStartGame)));
    ASSERT_TRUE(server.waitFor("started game\n", 1000));
    proto::JoinReply r = joinAs(b, "Late");
    EXPECT_EQ(r.accepted, 0);
    EXPECT_EQ(r.playerId, 0);
    EXPECT_TRUE(server.waitFor("client from 127.0.0.1 joined Late denied\n", 1000));
    // Leaving the game with no joined player left returns to the lobby, which says so to all.
    ASSERT_TRUE(a.send(idMessage(proto::kLeaveGame, 1)));
    Bytes open;
    ASSERT_TRUE(b.readMessage(&open));
    EXPECT_EQ(open, headerOnly(proto::kLobbyOpen));
    ASSERT_TRUE(a.readMessage(&open));
    EXPECT_EQ(open, headerOnly(proto::kLobbyOpen));
    EXPECT_EQ(joinAs(b, "Late").accepted, 1);
}

TEST_F(ServerTest, RelayGoesOnlyToOtherJoinedClients) {
    Client a, b, c;
    ASSERT_TRUE(a.connectGreeted());
    ASSERT_TRUE(b.connectGreeted());
    ASSERT_TRUE(c.connectGreeted());
    joinPair(a, b);
    for (uint32_t type = proto::kCloakState; type <= proto::kItemTaken; ++type) {
        Bytes m(proto::messageLength(type));
        proto::encodeHeader(m.data(), type, static_cast<uint32_t>(m.size()));
        for (size_t i = 8; i < m.size(); ++i)
            m[i] = static_cast<uint8_t>(i * 7 + type);
        proto::putI32(m.data() + 8, 1); // the sender's own id (or a block id)
        if (type == proto::kBombDropped) proto::putI32(m.data() + 16, 8);
        ASSERT_TRUE(a.send(m));
        Bytes got;
        ASSERT_TRUE(b.readMessage(&got)) << type;
        EXPECT_EQ(got, m);
    }
    EXPECT_TRUE(a.quietFor(50));
    EXPECT_TRUE(c.quietFor(1));
}

TEST_F(ServerTest, UnknownTypesAreRelayedUnchanged) {
    Client a, b;
    ASSERT_TRUE(a.connectGreeted());
    ASSERT_TRUE(b.connectGreeted());
    joinPair(a, b);
    for (uint32_t type : {99u, 19u, 1000u, 0xffffffffu}) {
        Bytes m(1024);
        proto::encodeHeader(m.data(), type, 1024);
        for (size_t i = 8; i < m.size(); ++i)
            m[i] = static_cast<uint8_t>(i ^ type);
        ASSERT_TRUE(b.send(m));
        Bytes got;
        ASSERT_TRUE(a.readMessage(&got));
        EXPECT_EQ(got, m);
    }
}

TEST_F(ServerTest, LeaveGameIsRelayedAsPlayerLeft) {
    Client a, b, c;
    ASSERT_TRUE(a.connectGreeted());
    ASSERT_TRUE(b.connectGreeted());
    ASSERT_TRUE(c.connectGreeted());
    joinPair(a, b);
    ASSERT_TRUE(b.send(idMessage(proto::kLeaveGame, 2)));
    Bytes got;
    ASSERT_TRUE(a.readMessage(&got));
    EXPECT_EQ(got, idMessage(proto::kPlayerLeft, 2));
    EXPECT_TRUE(server.waitFor("client from 127.0.0.1 left game\n", 1000));
    EXPECT_TRUE(c.quietFor(50));
    // b is no longer joined: relays pass it by, and the connection stays open.
    ASSERT_TRUE(a.send(vehicleMove(1, 5)));
    EXPECT_TRUE(b.quietFor(100));
    EXPECT_EQ(joinAs(b, "Bob").accepted, 1);
    EXPECT_EQ(playerInfo(a).playerId, 3);
}

TEST_F(ServerTest, DisconnectIsAnnouncedToEveryConnection) {
    Client a, b, c;
    ASSERT_TRUE(a.connectGreeted());
    ASSERT_TRUE(b.connectGreeted());
    ASSERT_TRUE(c.connectGreeted());
    joinAs(a, "Ann");
    c.close(); // never joined: id 0
    EXPECT_EQ(playerLeft(a), 0);
    EXPECT_EQ(playerLeft(b), 0);
    a.close();
    EXPECT_EQ(playerLeft(b), 1);
    EXPECT_TRUE(server.waitForCount("client from 127.0.0.1 disconnected from server ", 2, 1000));
}

TEST_F(ServerTest, StartGameFromUnjoinedClientIsIgnored) {
    Client a, b;
    ASSERT_TRUE(a.connectGreeted());
    ASSERT_TRUE(b.connectGreeted());
    joinAs(a, "Ann");
    ASSERT_TRUE(b.send(headerOnly(proto::kStartGame)));
    EXPECT_TRUE(a.quietFor(100));
    EXPECT_EQ(server.countOf("started game"), 0);
    // Still the lobby: b can join, and the labyrinth is still empty.
    EXPECT_EQ(joinAs(b, "Bob").accepted, 1);
    ASSERT_TRUE(b.send(idMessage(proto::kLabyrinthRequest, 0)));
    Bytes head;
    ASSERT_TRUE(b.readMessage(&head)); // PlayerInfo about a
    ASSERT_TRUE(b.read(12, &head));
    EXPECT_EQ(head, Bytes({3, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(ServerTest, LabyrinthIsEmptyBeforeTheFirstGame) {
    Client a;
    ASSERT_TRUE(a.connectGreeted());
    ASSERT_TRUE(a.send(idMessage(proto::kLabyrinthRequest, 0)));
    Bytes head;
    ASSERT_TRUE(a.read(12, &head));
    EXPECT_EQ(head, Bytes({3, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(a.quietFor(100));
}

TEST_F(ServerTest, StartGameBuildsALabyrinthOfMeshTriangles) {
    Client a, b;
    ASSERT_TRUE(a.connectGreeted());
    ASSERT_TRUE(b.connectGreeted());
    joinPair(a, b);
    ASSERT_TRUE(a.send(headerOnly(proto::kStartGame)));
    Bytes got;
    ASSERT_TRUE(b.readMessage(&got));
    EXPECT_EQ(got, headerOnly(proto::kStartGame));
    EXPECT_TRUE(a.quietFor(50));

    Bytes heads[2];
    Bytes records[2];
    Client* both[2] = {&a, &b};
    for (int k = 0; k < 2; ++k) {
        ASSERT_TRUE(both[k]->send(idMessage(proto::kLabyrinthRequest, 0)));
        int32_t n = 0;
        ASSERT_TRUE(both[k]->read(12, &heads[k]));
        ASSERT_TRUE(proto::decodeLabyrinthHead(heads[k].data(), 12, &n));
        ASSERT_GT(n, 0);
        ASSERT_TRUE(both[k]->read(88 * static_cast<size_t>(n), &records[k]));
    }
    EXPECT_EQ(heads[0], heads[1]);
    EXPECT_EQ(records[0], records[1]);

    MeshTables mesh = planetMeshTables();
    size_t n = records[0].size() / 88;
    for (size_t i = 0; i < n; ++i) {
        proto::BlockRecord r;
        ASSERT_TRUE(proto::decodeBlockRecord(records[0].data() + 88 * i, 88, &r));
        EXPECT_EQ(r.id, static_cast<int32_t>(i + 1));
        for (int j = 0; j < 3; ++j) {
            bool found = false;
            for (int32_t v = 0; v < mesh.vertexCount && !found; ++v) {
                found = mesh.vertices[v][0] == r.x[j] && mesh.vertices[v][1] == r.y[j] &&
                        mesh.vertices[v][2] == r.z[j];
            }
            EXPECT_TRUE(found) << "record " << r.id << " corner " << j;
        }
    }
}

TEST_F(ServerTest, EndGameResetsIdsAndEmptiesTheLabyrinth) {
    Client a, b;
    ASSERT_TRUE(a.connectGreeted());
    ASSERT_TRUE(b.connectGreeted());
    EXPECT_EQ(joinAs(a, "Ann").playerId, 1);
    EXPECT_EQ(joinAs(b, "Bob").playerId, 2);
    playerInfo(a);
    playerInfo(b);
    ASSERT_TRUE(a.send(headerOnly(proto::kStartGame)));
    Bytes got;
    ASSERT_TRUE(b.readMessage(&got));
    ASSERT_TRUE(b.send(headerOnly(proto::kEndGame)));
    // EndGame is not relayed; the lobby opens again.
    ASSERT_TRUE(a.readMessage(&got));
    EXPECT_EQ(got, headerOnly(proto::kLobbyOpen));
    EXPECT_TRUE(a.quietFor(100));
    EXPECT_TRUE(server.waitFor("ended game\n", 1000));
    ASSERT_TRUE(a.send(idMessage(proto::kLabyrinthRequest, 0)));
    ASSERT_TRUE(a.read(12, &got));
    EXPECT_EQ(got, Bytes({3, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0}));
    // The counter starts at 1 again but passes over the ids the members still hold.
    Client c;
    ASSERT_TRUE(c.connectGreeted());
    EXPECT_EQ(joinAs(c, "Cy").playerId, 3);
}

TEST_F(ServerTest, IdsWrapToOneAfterHundredAdmissions) {
    Client a;
    ASSERT_TRUE(a.connectGreeted());
    for (int i = 1; i <= 100; ++i) {
        ASSERT_EQ(joinAs(a, "Ann").playerId, i);
        ASSERT_TRUE(a.send(idMessage(proto::kLeaveGame, i)));
    }
    EXPECT_EQ(joinAs(a, "Ann").playerId, 1);
    // The counter survives an empty table.
    a.close();
    ASSERT_TRUE(server.waitFor("disconnected from server", 1000));
    Client b;
    ASSERT_TRUE(b.connectGreeted());
    EXPECT_EQ(joinAs(b, "Bob").playerId, 2);
}

TEST_F(ServerTest, CtrlCEndsWithStatusZeroWithinAWait) {
    Client a;
    ASSERT_TRUE(a.connectGreeted());
    auto before = Clock::now();
    EXPECT_EQ(server.interrupt(1000), 0);
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(500));
}

TEST(ServerStartUp, PortInUseFailsWithStatusOne) {
    ServerProcess first;
    ASSERT_TRUE(first.startRetrying());
    ServerProcess second;
    EXPECT_FALSE(second.start());
    EXPECT_EQ(second.waitExit(2000), 1);
    EXPECT_NE(
        second.output().find(std::string(CORVANE_SERVER_BIN) + ": bind server_socket failed <"),
        std::string::npos)
        << second.output();
    EXPECT_EQ(first.interrupt(2000), 0);
}

TEST(ServerStartUp, RestartRightAfterStopBinds) {
    for (int round = 0; round < 2; ++round) {
        ServerProcess s;
        ASSERT_TRUE(s.start()); // no retry: the port must be free again at once
        Client a;
        ASSERT_TRUE(a.connectGreeted());
        ASSERT_TRUE(a.send(join("Ann")));
        Bytes r;
        ASSERT_TRUE(a.readMessage(&r));
        EXPECT_EQ(s.interrupt(2000), 0) << s.output();
    }
}

// --- malformed input: the offending peer goes, the others are still served.

class ServerAbuseTest : public ServerTest {
  protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_TRUE(a.connectGreeted());
        ASSERT_TRUE(b.connectGreeted());
        ASSERT_TRUE(bad.connectGreeted());
        joinPair(a, b);
    }
    Client a, b, bad;
};

TEST_F(ServerAbuseTest, OversizedLengthDropsThePeer) {
    Bytes m(16, 0);
    proto::encodeHeader(m.data(), proto::kVehicleMove, 1025);
    ASSERT_TRUE(bad.send(m));
    EXPECT_TRUE(bad.closedWithin(1000));
    EXPECT_EQ(playerLeft(a), 0);
    EXPECT_EQ(playerLeft(b), 0);
    expectRelayWorks(a, 1, b, 1);
}

TEST_F(ServerAbuseTest, UndersizedLengthDropsThePeer) {
    for (uint32_t length : {0u, 4u, 7u}) {
        Client c;
        ASSERT_TRUE(c.connectGreeted());
        Bytes m(8, 0);
        proto::encodeHeader(m.data(), proto::kCloakState, length);
        ASSERT_TRUE(c.send(m));
        EXPECT_TRUE(c.closedWithin(1000)) << length;
        EXPECT_EQ(playerLeft(a), 0);
        EXPECT_EQ(playerLeft(b), 0);
    }
    expectRelayWorks(b, 2, a, 2);
}

TEST_F(ServerAbuseTest, HandledTypeWithWrongLengthDropsThePeer) {
    Bytes m(40, 0);
    proto::encodeHeader(m.data(), proto::kJoin, 40);
    ASSERT_TRUE(bad.send(m));
    EXPECT_TRUE(bad.closedWithin(1000));
    EXPECT_EQ(playerLeft(a), 0);
    EXPECT_EQ(playerLeft(b), 0);
    expectRelayWorks(a, 1, b, 3);
}

TEST_F(ServerAbuseTest, HalfAHeaderDoesNotBlockTheOthers) {
    ASSERT_TRUE(bad.send(join("Late").data(), 4));
    expectRelayWorks(a, 1, b, 4);
    expectRelayWorks(b, 2, a, 5);
    // The rest of the message arrives later and is then handled.
    Bytes rest = join("Late");
    ASSERT_TRUE(bad.send(rest.data() + 4, rest.size() - 4));
    Bytes reply;
    ASSERT_TRUE(bad.readMessage(&reply));
    proto::JoinReply r;
    ASSERT_TRUE(proto::decodeJoinReply(reply.data(), reply.size(), &r));
    EXPECT_EQ(r.playerId, 3);
}

TEST_F(ServerAbuseTest, MessageSplitIntoSingleBytesIsAssembled) {
    Bytes move = vehicleMove(1, 6);
    for (uint8_t byte : move)
        ASSERT_TRUE(a.send(&byte, 1));
    Bytes got;
    ASSERT_TRUE(b.readMessage(&got));
    EXPECT_EQ(got, move);
}

TEST_F(ServerAbuseTest, RandomBytesDoNotHurtTheOthers) {
    std::mt19937 rng(7);
    for (int round = 0; round < 5; ++round) {
        Client r;
        ASSERT_TRUE(r.connectGreeted());
        Bytes junk(4096);
        for (uint8_t& x : junk)
            x = static_cast<uint8_t>(rng());
        r.send(junk);
        r.close();
        EXPECT_EQ(playerLeft(a), 0);
        EXPECT_EQ(playerLeft(b), 0);
    }
    expectRelayWorks(a, 1, b, 7);
    EXPECT_EQ(server.countOf("connected at"), 8);
}

TEST_F(ServerAbuseTest, ConnectionsBeyondTheTableAreRefusedAtOnce) {
    std::vector<std::unique_ptr<Client>> extra;
    for (int i = 3; i < 256; ++i) {
        extra.emplace_back(new Client);
        ASSERT_TRUE(extra.back()->connect());
    }
    Client over;
    ASSERT_TRUE(over.connect());
    EXPECT_TRUE(over.closedWithin(1000));
    EXPECT_TRUE(server.waitFor("client from 127.0.0.1 refused", 1000));
    extra.clear();
    for (int i = 3; i < 256; ++i) {
        ASSERT_EQ(playerLeft(a), 0);
        ASSERT_EQ(playerLeft(b), 0);
    }
    expectRelayWorks(a, 1, b, 8);
}
