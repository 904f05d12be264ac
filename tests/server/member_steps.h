// Steps of a member's conversation with the server, checked with GoogleTest as they go.
#pragma once

#include <gtest/gtest.h>

#include "server/server_harness.h"

namespace harness {

// Joins c as nick and reads its JoinReply (and nothing else).
inline proto::JoinReply joinAs(Client& c, const char* nick) {
    proto::JoinReply r;
    r.accepted = -1;
    Bytes b;
    EXPECT_TRUE(c.send(join(nick)));
    EXPECT_TRUE(c.readMessage(&b));
    EXPECT_TRUE(proto::decodeJoinReply(b.data(), b.size(), &r));
    return r;
}

// Reads one PlayerInfo from c.
inline proto::PlayerInfo playerInfo(Client& c) {
    proto::PlayerInfo info;
    Bytes b;
    EXPECT_TRUE(c.readMessage(&b));
    EXPECT_TRUE(proto::decodePlayerInfo(b.data(), b.size(), &info));
    return info;
}

// Joins a as Ann and b as Bob and reads the PlayerInfo each gets about the other.
inline void joinPair(Client& a, Client& b) {
    joinAs(a, "Ann");
    joinAs(b, "Bob");
    playerInfo(a);
    playerInfo(b);
}

// Reads one PlayerLeft from c and returns its id (-1 when none came).
inline int32_t playerLeft(Client& c) {
    Bytes b;
    int32_t id = -1;
    EXPECT_TRUE(c.readMessage(&b));
    EXPECT_TRUE(proto::decodeIdMessage(b.data(), b.size(), proto::kPlayerLeft, &id));
    return id;
}

// Checks that a move of the member fromId, sent by `from`, still reaches `to`.
inline void expectRelayWorks(Client& from, int32_t fromId, Client& to, double tag) {
    Bytes move = vehicleMove(fromId, tag);
    ASSERT_TRUE(from.send(move));
    Bytes got;
    ASSERT_TRUE(to.readMessage(&got, 1000));
    EXPECT_EQ(got, move);
}

} // namespace harness
