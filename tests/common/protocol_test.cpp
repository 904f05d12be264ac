#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "protocol.h"

using namespace proto;

namespace {

// Parses whitespace-separated hex pairs such as "01 02 ab" into bytes.
std::vector<uint8_t> hex(const std::string& text) {
    std::vector<uint8_t> out;
    unsigned v;
    int used;
    const char* p = text.c_str();
    while (std::sscanf(p, " %2x%n", &v, &used) == 1) {
        out.push_back(static_cast<uint8_t>(v));
        p += used;
    }
    return out;
}

// 32-byte text field holding s and zero padding, as hex.
std::string textHex(const std::string& s) {
    std::string out;
    char b[4];
    for (size_t i = 0; i < 32; ++i) {
        std::snprintf(b, sizeof b, "%02x ", i < s.size() ? static_cast<unsigned char>(s[i]) : 0u);
        out += b;
    }
    return out;
}

std::vector<uint8_t> bytes(const uint8_t* p, size_t n) {
    return std::vector<uint8_t>(p, p + n);
}

const char* kOne = "00 00 00 00 00 00 f0 3f ";     // 1.0
const char* kHalf = "00 00 00 00 00 00 e0 3f ";    // 0.5
const char* kMinus25 = "00 00 00 00 00 00 04 c0 "; // -2.5
const char* kHundred = "00 00 00 00 00 00 59 40 "; // 100.0
const char* kZero8 = "00 00 00 00 00 00 00 00 ";

} // namespace

TEST(ProtocolPrimitives, IntegersAreLittleEndian) {
    uint8_t b[4];
    putU32(b, 0x01020304u);
    EXPECT_EQ(bytes(b, 4), hex("04 03 02 01"));
    EXPECT_EQ(getU32(b), 0x01020304u);
    putI32(b, -2);
    EXPECT_EQ(bytes(b, 4), hex("fe ff ff ff"));
    EXPECT_EQ(getI32(b), -2);
    putU32(b, 0xffffffffu);
    EXPECT_EQ(getU32(b), 0xffffffffu);
}

TEST(ProtocolPrimitives, DoublesTravelAsTheirBitPattern) {
    uint8_t b[8];
    putF64(b, 1.0);
    EXPECT_EQ(bytes(b, 8), hex(kOne));
    putF64(b, -2.5);
    EXPECT_EQ(bytes(b, 8), hex(kMinus25));
    putF64(b, -0.0);
    EXPECT_EQ(bytes(b, 8), hex("00 00 00 00 00 00 00 80"));
    double awkward = 89.44271909999159;
    putF64(b, awkward);
    EXPECT_EQ(getF64(b), awkward);
    putF64(b, 5e-324);
    EXPECT_EQ(getF64(b), 5e-324);
}

TEST(ProtocolPrimitives, TextFieldsAreCutAt31CharactersAndPadded) {
    uint8_t b[32];
    std::memset(b, 0xaa, sizeof b);
    putText(b, "nick");
    EXPECT_EQ(bytes(b, 32), hex(textHex("nick")));
    putText(b, std::string(40, 'x').c_str());
    EXPECT_EQ(bytes(b, 32), hex(textHex(std::string(31, 'x'))));
    putText(b, nullptr);
    EXPECT_EQ(bytes(b, 32), hex(textHex("")));

    char out[32];
    std::memset(b, 'y', sizeof b); // no NUL anywhere in the field
    getText(b, out);
    EXPECT_EQ(std::string(out), std::string(31, 'y'));
    EXPECT_EQ(out[31], '\0');
    std::memcpy(b, "ab\0cd", 5);
    getText(b, out);
    EXPECT_STREQ(out, "ab");
}

TEST(ProtocolLengths, EveryTypeHasItsFixedLength) {
    const size_t expected[kMessageTypeCount] = {104, 12, 12, 0,  44, 40, 104, 12,  16, 64,
                                                12,  72, 16, 12, 12, 8,  8,   112, 8};
    for (uint32_t t = 0; t < kMessageTypeCount; ++t)
        EXPECT_EQ(messageLength(t), expected[t]) << t;
    EXPECT_EQ(messageLength(19), 0u);
    EXPECT_EQ(messageLength(0xffffffffu), 0u);
}

TEST(ProtocolGolden, Header) {
    uint8_t b[8];
    encodeHeader(b, 9, 64);
    EXPECT_EQ(bytes(b, 8), hex("09 00 00 00 40 00 00 00"));
    Header h;
    ASSERT_TRUE(decodeHeader(b, 8, &h));
    EXPECT_EQ(h.type, 9u);
    EXPECT_EQ(h.length, 64u);
    EXPECT_FALSE(decodeHeader(b, 7, &h));
    EXPECT_FALSE(decodeHeader(nullptr, 8, &h));
}

TEST(ProtocolGolden, Join) {
    uint8_t b[104];
    std::memset(b, 0xee, sizeof b);
    ASSERT_EQ(encodeJoin(b, "Ann"), 104u);
    std::string want = "00 00 00 00 68 00 00 00 00 00 00 00 " + textHex("Ann") + textHex("") +
                       "00 00 00 00 " + kZero8 + kZero8 + kZero8;
    EXPECT_EQ(bytes(b, 104), hex(want));
}

TEST(ProtocolGolden, PlayerInfo) {
    PlayerInfo info;
    info.playerId = 7;
    std::strcpy(info.nick, "Bob");
    std::strcpy(info.address, "10.0.0.2");
    info.colour[0] = 1.0;
    info.colour[1] = 0.5;
    info.colour[2] = -2.5;
    uint8_t b[104];
    std::memset(b, 0xee, sizeof b);
    ASSERT_EQ(encodePlayerInfo(b, info), 104u);
    std::string want = "06 00 00 00 68 00 00 00 07 00 00 00 " + textHex("Bob") +
                       textHex("10.0.0.2") + "00 00 00 00 " + kOne + kHalf + kMinus25;
    EXPECT_EQ(bytes(b, 104), hex(want));

    PlayerInfo back;
    ASSERT_TRUE(decodePlayerInfo(b, 104, &back));
    EXPECT_EQ(back.playerId, 7);
    EXPECT_STREQ(back.nick, "Bob");
    EXPECT_STREQ(back.address, "10.0.0.2");
    EXPECT_EQ(back.colour[2], -2.5);
}

TEST(ProtocolGolden, IdMessages) {
    uint8_t b[12];
    const uint32_t types[] = {kLeaveGame,  kLabyrinthRequest, kPlayerLeft,
                              kPlayerDead, kBlockDestroyed,   kItemTaken};
    for (uint32_t t : types) {
        ASSERT_EQ(encodeIdMessage(b, t, 0x01020304), 12u);
        std::vector<uint8_t> want = hex("00 00 00 00 0c 00 00 00 04 03 02 01");
        want[0] = static_cast<uint8_t>(t);
        EXPECT_EQ(bytes(b, 12), want) << t;
        int32_t id = 0;
        ASSERT_TRUE(decodeIdMessage(b, 12, t, &id));
        EXPECT_EQ(id, 0x01020304);
    }
    encodeIdMessage(b, kPlayerLeft, -1);
    EXPECT_EQ(bytes(b, 12), hex("07 00 00 00 0c 00 00 00 ff ff ff ff"));
}

TEST(ProtocolGolden, HeaderOnly) {
    uint8_t b[8];
    ASSERT_EQ(encodeHeaderOnly(b, kStartGame), 8u);
    EXPECT_EQ(bytes(b, 8), hex("0f 00 00 00 08 00 00 00"));
    ASSERT_EQ(encodeHeaderOnly(b, kEndGame), 8u);
    EXPECT_EQ(bytes(b, 8), hex("10 00 00 00 08 00 00 00"));
}

TEST(ProtocolGolden, WelcomeMagicIsCV3D) {
    uint8_t b[44];
    std::memset(b, 0xee, sizeof b);
    ASSERT_EQ(encodeWelcome(b, "192.168.1.20"), 44u);
    std::string want = "04 00 00 00 2c 00 00 00 44 33 56 43 " + textHex("192.168.1.20");
    EXPECT_EQ(bytes(b, 44), hex(want));
    Welcome w;
    ASSERT_TRUE(decodeWelcome(b, 44, &w));
    EXPECT_EQ(w.magic, kWelcomeMagic);
    EXPECT_STREQ(w.address, "192.168.1.20");
}

TEST(ProtocolGolden, JoinReply) {
    JoinReply r;
    r.accepted = 1;
    r.playerId = 100;
    r.colour[0] = 0.5;
    r.colour[1] = 1.0;
    r.colour[2] = 100.0;
    uint8_t b[40];
    ASSERT_EQ(encodeJoinReply(b, r), 40u);
    std::string want =
        std::string("05 00 00 00 28 00 00 00 01 00 00 00 64 00 00 00 ") + kHalf + kOne + kHundred;
    EXPECT_EQ(bytes(b, 40), hex(want));
    JoinReply back;
    ASSERT_TRUE(decodeJoinReply(b, 40, &back));
    EXPECT_EQ(back.accepted, 1);
    EXPECT_EQ(back.playerId, 100);
    EXPECT_EQ(back.colour[2], 100.0);
}

TEST(ProtocolGolden, CloakState) {
    uint8_t b[16];
    ASSERT_EQ(encodeCloakState(b, CloakState{3, 1}), 16u);
    EXPECT_EQ(bytes(b, 16), hex("08 00 00 00 10 00 00 00 03 00 00 00 01 00 00 00"));
    CloakState back;
    ASSERT_TRUE(decodeCloakState(b, 16, &back));
    EXPECT_EQ(back.playerId, 3);
    EXPECT_EQ(back.cloak, 1u);
}

TEST(ProtocolGolden, VehicleMove) {
    VehicleMove m;
    m.playerId = 2;
    m.position = Vector3(0, 0, 1);
    m.heading = Vector3(0.5, -2.5, 100);
    uint8_t b[64];
    std::memset(b, 0xee, sizeof b);
    ASSERT_EQ(encodeVehicleMove(b, m), 64u);
    std::string want = std::string("09 00 00 00 40 00 00 00 02 00 00 00 00 00 00 00 ") + kZero8 +
                       kZero8 + kOne + kHalf + kMinus25 + kHundred;
    EXPECT_EQ(bytes(b, 64), hex(want));
    VehicleMove back;
    ASSERT_TRUE(decodeVehicleMove(b, 64, &back));
    EXPECT_EQ(back.playerId, 2);
    EXPECT_EQ(back.position, m.position);
    EXPECT_EQ(back.heading, m.heading);
}

TEST(ProtocolGolden, BombDropped) {
    BombDropped m;
    m.owner = 5;
    m.number = 100;
    m.range = 3;
    m.dropPoint = Vector3(100, 0.5, 1);
    m.heading = Vector3(-2.5, 0, 1);
    uint8_t b[72];
    std::memset(b, 0xee, sizeof b);
    ASSERT_EQ(encodeBombDropped(b, m), 72u);
    std::string want = std::string("0b 00 00 00 48 00 00 00 05 00 00 00 64 00 00 00 03 00 00 00 "
                                   "00 00 00 00 ") +
                       kHundred + kHalf + kOne + kMinus25 + kZero8 + kOne;
    EXPECT_EQ(bytes(b, 72), hex(want));
    BombDropped back;
    ASSERT_TRUE(decodeBombDropped(b, 72, &back));
    EXPECT_EQ(back.owner, 5);
    EXPECT_EQ(back.number, 100);
    EXPECT_EQ(back.range, 3);
    EXPECT_EQ(back.dropPoint, m.dropPoint);
    EXPECT_EQ(back.heading, m.heading);
}

TEST(ProtocolGolden, BombExploded) {
    uint8_t b[16];
    ASSERT_EQ(encodeBombExploded(b, BombExploded{4, 9}), 16u);
    EXPECT_EQ(bytes(b, 16), hex("0c 00 00 00 10 00 00 00 04 00 00 00 09 00 00 00"));
    BombExploded back;
    ASSERT_TRUE(decodeBombExploded(b, 16, &back));
    EXPECT_EQ(back.owner, 4);
    EXPECT_EQ(back.number, 9);
}

TEST(ProtocolGolden, LabyrinthHead) {
    uint8_t b[12];
    ASSERT_EQ(encodeLabyrinthHead(b, 0), 12u);
    EXPECT_EQ(bytes(b, 12), hex("03 00 00 00 0c 00 00 00 00 00 00 00"));
    ASSERT_EQ(encodeLabyrinthHead(b, 2), 12u);
    EXPECT_EQ(bytes(b, 12), hex("03 00 00 00 bc 00 00 00 02 00 00 00")); // 12 + 176 = 188
    ASSERT_EQ(encodeLabyrinthHead(b, 954), 12u);
    EXPECT_EQ(getU32(b + 4), 12u + 88u * 954u);
    int32_t n = -1;
    ASSERT_TRUE(decodeLabyrinthHead(b, 12, &n));
    EXPECT_EQ(n, 954);
}

TEST(ProtocolGolden, BlockRecord) {
    BlockRecord r;
    r.id = 1;
    r.item = 2;
    r.height = 100;
    r.x[0] = 1;
    r.x[1] = 0.5;
    r.x[2] = -2.5;
    r.y[2] = 100;
    r.z[0] = -2.5;
    uint8_t b[88];
    std::memset(b, 0xee, sizeof b);
    encodeBlockRecord(b, r);
    std::string want = std::string("01 00 00 00 02 00 00 00 ") + kHundred + kOne + kHalf +
                       kMinus25 + kZero8 + kZero8 + kHundred + kMinus25 + kZero8 + kZero8;
    EXPECT_EQ(bytes(b, 88), hex(want));
    BlockRecord back;
    ASSERT_TRUE(decodeBlockRecord(b, 88, &back));
    EXPECT_EQ(back.id, 1);
    EXPECT_EQ(back.item, 2);
    EXPECT_EQ(back.height, 100.0);
    EXPECT_EQ(back.x[2], -2.5);
    EXPECT_EQ(back.y[2], 100.0);
    EXPECT_EQ(back.z[0], -2.5);
}

TEST(ProtocolEdges, WholeMessagesNeedExactlyTheirSize) {
    uint8_t b[128] = {};
    PlayerInfo pi;
    JoinReply jr;
    VehicleMove vm;
    BombDropped bd;
    BombExploded be;
    CloakState cs;
    Welcome w;
    int32_t id;

    encodePlayerInfo(b, PlayerInfo());
    EXPECT_TRUE(decodePlayerInfo(b, 104, &pi));
    EXPECT_FALSE(decodePlayerInfo(b, 103, &pi));
    EXPECT_FALSE(decodePlayerInfo(b, 105, &pi));
    encodeJoin(b, "j");
    EXPECT_TRUE(decodePlayerInfo(b, 104, &pi));
    EXPECT_STREQ(pi.nick, "j");

    encodeJoinReply(b, JoinReply());
    EXPECT_TRUE(decodeJoinReply(b, 40, &jr));
    EXPECT_FALSE(decodeJoinReply(b, 39, &jr));
    EXPECT_FALSE(decodeJoinReply(b, 41, &jr));

    encodeVehicleMove(b, VehicleMove());
    EXPECT_TRUE(decodeVehicleMove(b, 64, &vm));
    EXPECT_FALSE(decodeVehicleMove(b, 63, &vm));
    EXPECT_FALSE(decodeVehicleMove(b, 65, &vm));

    encodeBombDropped(b, BombDropped());
    EXPECT_TRUE(decodeBombDropped(b, 72, &bd));
    EXPECT_FALSE(decodeBombDropped(b, 71, &bd));
    EXPECT_FALSE(decodeBombDropped(b, 73, &bd));

    encodeBombExploded(b, BombExploded());
    EXPECT_TRUE(decodeBombExploded(b, 16, &be));
    EXPECT_FALSE(decodeBombExploded(b, 15, &be));
    EXPECT_FALSE(decodeBombExploded(b, 17, &be));

    encodeCloakState(b, CloakState());
    EXPECT_TRUE(decodeCloakState(b, 16, &cs));
    EXPECT_FALSE(decodeCloakState(b, 15, &cs));

    encodeIdMessage(b, kPlayerLeft, 1);
    EXPECT_TRUE(decodeIdMessage(b, 12, kPlayerLeft, &id));
    EXPECT_FALSE(decodeIdMessage(b, 11, kPlayerLeft, &id));
    EXPECT_FALSE(decodeIdMessage(b, 13, kPlayerLeft, &id));

    encodeWelcome(b, "1.2.3.4");
    EXPECT_TRUE(decodeWelcome(b, 44, &w));
    EXPECT_FALSE(decodeWelcome(b, 43, &w));
    EXPECT_FALSE(decodeWelcome(b, 45, &w));
}

TEST(ProtocolEdges, PiecesNeedAtLeastTheirSize) {
    uint8_t b[100] = {};
    BlockRecord r;
    r.id = 3;
    encodeBlockRecord(b, r);
    BlockRecord back;
    EXPECT_FALSE(decodeBlockRecord(b, 87, &back));
    EXPECT_TRUE(decodeBlockRecord(b, 88, &back));
    EXPECT_TRUE(decodeBlockRecord(b, 100, &back));
    EXPECT_EQ(back.id, 3);

    int32_t n = 0;
    encodeLabyrinthHead(b, 1);
    EXPECT_FALSE(decodeLabyrinthHead(b, 11, &n));
    EXPECT_TRUE(decodeLabyrinthHead(b, 12, &n));
    EXPECT_TRUE(decodeLabyrinthHead(b, 100, &n));
    EXPECT_EQ(n, 1);
}

TEST(ProtocolMalformed, WrongTypeOrLengthFieldIsRefusedAndOutputUntouched) {
    uint8_t b[104];
    encodeJoinReply(b, JoinReply{1, 5, {0, 0, 0}});
    JoinReply jr{9, 9, {9, 9, 9}};
    putU32(b, kPlayerLeft); // a PlayerLeft header arriving where a reply was expected
    EXPECT_FALSE(decodeJoinReply(b, 40, &jr));
    EXPECT_EQ(jr.accepted, 9);
    EXPECT_EQ(jr.playerId, 9);
    putU32(b, kJoinReply);
    putU32(b + 4, 41);
    EXPECT_FALSE(decodeJoinReply(b, 40, &jr));
    EXPECT_EQ(jr.colour[0], 9.0);

    int32_t id = 77;
    encodeIdMessage(b, kBlockDestroyed, 4);
    EXPECT_FALSE(decodeIdMessage(b, 12, kItemTaken, &id));
    EXPECT_EQ(id, 77);

    PlayerInfo pi;
    pi.playerId = 55;
    encodePlayerInfo(b, PlayerInfo());
    putU32(b, kJoinReply);
    EXPECT_FALSE(decodePlayerInfo(b, 104, &pi));
    EXPECT_EQ(pi.playerId, 55);
}

TEST(ProtocolMalformed, LabyrinthCountsOutsideTheMeshAreRefused) {
    uint8_t b[12];
    int32_t n = 42;
    encodeHeader(b, kLabyrinth, 12 - 88);
    putI32(b + 8, -1);
    EXPECT_FALSE(decodeLabyrinthHead(b, 12, &n));
    encodeHeader(b, kLabyrinth, 12 + 88 * 955);
    putI32(b + 8, 955);
    EXPECT_FALSE(decodeLabyrinthHead(b, 12, &n));
    putI32(b + 8, 0x7fffffff);
    EXPECT_FALSE(decodeLabyrinthHead(b, 12, &n));
    putI32(b + 8, INT32_MIN);
    EXPECT_FALSE(decodeLabyrinthHead(b, 12, &n));
    // count and length field disagree
    encodeHeader(b, kLabyrinth, 12 + 88 * 3);
    putI32(b + 8, 2);
    EXPECT_FALSE(decodeLabyrinthHead(b, 12, &n));
    // wrong type
    encodeLabyrinthHead(b, 2);
    putU32(b, kWelcome);
    EXPECT_FALSE(decodeLabyrinthHead(b, 12, &n));
    EXPECT_EQ(n, 42);
    // the limits themselves are fine
    encodeLabyrinthHead(b, 0);
    EXPECT_TRUE(decodeLabyrinthHead(b, 12, &n));
    EXPECT_EQ(n, 0);
}

TEST(ProtocolMalformed, BlockRecordItemOutsideKindsIsRefused) {
    uint8_t b[88] = {};
    BlockRecord r;
    r.id = 8;
    BlockRecord out;
    out.id = -5;
    for (int32_t item : {-1, 8, 1000}) {
        r.item = item;
        encodeBlockRecord(b, r);
        EXPECT_FALSE(decodeBlockRecord(b, 88, &out)) << item;
        EXPECT_EQ(out.id, -5);
    }
    r.item = 7;
    encodeBlockRecord(b, r);
    EXPECT_TRUE(decodeBlockRecord(b, 88, &out));
}

TEST(ProtocolMalformed, TextsWithoutNulAreCut) {
    uint8_t b[104];
    encodePlayerInfo(b, PlayerInfo());
    std::memset(b + 12, 'N', 32);
    std::memset(b + 44, 'A', 32);
    PlayerInfo pi;
    ASSERT_TRUE(decodePlayerInfo(b, 104, &pi));
    EXPECT_EQ(std::string(pi.nick), std::string(31, 'N'));
    EXPECT_EQ(std::string(pi.address), std::string(31, 'A'));

    uint8_t w[44];
    encodeWelcome(w, "");
    std::memset(w + 12, '9', 32);
    Welcome wel;
    ASSERT_TRUE(decodeWelcome(w, 44, &wel));
    EXPECT_EQ(std::string(wel.address), std::string(31, '9'));
}

TEST(ProtocolRoundTrip, LongNickIsCutOnEncode) {
    uint8_t b[104];
    std::string nick(50, 'k');
    encodeJoin(b, nick.c_str());
    EXPECT_EQ(b[12 + 30], 'k');
    EXPECT_EQ(b[12 + 31], 0);
    PlayerInfo pi;
    ASSERT_TRUE(decodePlayerInfo(b, 104, &pi));
    EXPECT_EQ(std::string(pi.nick), nick.substr(0, 31));
}

TEST(ProtocolRoundTrip, LabyrinthOfManyRecords) {
    const int n = 5;
    std::vector<uint8_t> wire(12 + 88 * n);
    encodeLabyrinthHead(wire.data(), n);
    for (int i = 0; i < n; ++i) {
        BlockRecord r;
        r.id = i + 1;
        r.item = i % 8;
        r.height = 4 + i / 7.0;
        for (int j = 0; j < 3; ++j) {
            r.x[j] = i * 3 + j + 0.1;
            r.y[j] = -r.x[j];
            r.z[j] = r.x[j] / 3.0;
        }
        encodeBlockRecord(wire.data() + 12 + 88 * i, r);
    }
    int32_t count = 0;
    ASSERT_TRUE(decodeLabyrinthHead(wire.data(), wire.size(), &count));
    ASSERT_EQ(count, n);
    for (int i = 0; i < n; ++i) {
        BlockRecord r;
        ASSERT_TRUE(decodeBlockRecord(wire.data() + 12 + 88 * i, wire.size() - 12 - 88 * i, &r));
        EXPECT_EQ(r.id, i + 1);
        EXPECT_EQ(r.item, i % 8);
        EXPECT_EQ(r.height, 4 + i / 7.0);
        EXPECT_EQ(r.z[2], (i * 3 + 2 + 0.1) / 3.0);
    }
}

TEST(ProtocolGolden, ChatLineCarriesSixtyCharactersAtMost) {
    ChatLine line;
    line.playerId = 3;
    std::strcpy(line.nick, "ANN");
    std::strcpy(line.text, "HI ALL");
    uint8_t b[112];
    std::memset(b, 0xee, sizeof b);
    ASSERT_EQ(encodeChatLine(b, line), 112u);
    std::string text = "48 49 20 41 4c 4c ";
    for (int i = 6; i < 64; ++i)
        text += "00 ";
    EXPECT_EQ(bytes(b, 112),
              hex("11 00 00 00 70 00 00 00 03 00 00 00 00 00 00 00 " + textHex("ANN") + text));
    ChatLine back;
    ASSERT_TRUE(decodeChatLine(b, 112, &back));
    EXPECT_EQ(back.playerId, 3);
    EXPECT_STREQ(back.nick, "ANN");
    EXPECT_STREQ(back.text, "HI ALL");

    std::memset(line.text, 'X', 63);
    line.text[63] = '\0';
    encodeChatLine(b, line);
    EXPECT_EQ(b[48 + 59], 'X');
    EXPECT_EQ(b[48 + 60], 0);
    std::memset(b + 48, 'Y', 64); // a hostile peer's text without any NUL
    ASSERT_TRUE(decodeChatLine(b, 112, &back));
    EXPECT_EQ(std::string(back.text), std::string(60, 'Y'));
    EXPECT_FALSE(decodeChatLine(b, 111, &back));
    putU32(b + 4, 104);
    EXPECT_FALSE(decodeChatLine(b, 112, &back));

    uint8_t open[8];
    ASSERT_EQ(encodeHeaderOnly(open, kLobbyOpen), 8u);
    EXPECT_EQ(bytes(open, 8), hex("12 00 00 00 08 00 00 00"));
}

TEST(ProtocolGolden, DiscoveryQueryAndAnswer) {
    uint8_t q[12];
    DiscoveryQuery query;
    query.nonce = 0x01020304;
    ASSERT_EQ(encodeDiscoveryQuery(q, query), 12u);
    EXPECT_EQ(bytes(q, 12), hex("43 56 44 51 01 00 00 00 04 03 02 01"));
    DiscoveryQuery backQuery;
    ASSERT_TRUE(decodeDiscoveryQuery(q, 12, &backQuery));
    EXPECT_EQ(backQuery.nonce, 0x01020304u);
    EXPECT_FALSE(decodeDiscoveryQuery(q, 13, &backQuery));
    q[4] = 2; // another version
    EXPECT_FALSE(decodeDiscoveryQuery(q, 12, &backQuery));

    DiscoveryAnswer answer;
    answer.nonce = 7;
    answer.players = 2;
    answer.inGame = 1;
    std::strcpy(answer.name, "lanhost");
    std::strcpy(answer.address, "192.168.1.10");
    uint8_t a[88];
    std::memset(a, 0xee, sizeof a);
    ASSERT_EQ(encodeDiscoveryAnswer(a, answer), 88u);
    EXPECT_EQ(bytes(a, 88), hex("43 56 44 41 01 00 00 00 07 00 00 00 02 00 00 00 01 00 00 00 "
                                "00 00 00 00 " +
                                textHex("lanhost") + textHex("192.168.1.10")));
    DiscoveryAnswer back;
    ASSERT_TRUE(decodeDiscoveryAnswer(a, 88, &back));
    EXPECT_EQ(back.players, 2);
    EXPECT_EQ(back.inGame, 1u);
    EXPECT_STREQ(back.name, "lanhost");
    EXPECT_STREQ(back.address, "192.168.1.10");

    back.players = -5;
    putI32(a + 12, 8); // more players than a lobby holds
    EXPECT_FALSE(decodeDiscoveryAnswer(a, 88, &back));
    EXPECT_EQ(back.players, -5);
    putI32(a + 12, 2);
    putU32(a + 16, 2);
    EXPECT_FALSE(decodeDiscoveryAnswer(a, 88, &back));
    putU32(a + 16, 0);
    EXPECT_FALSE(decodeDiscoveryAnswer(a, 87, &back));
    EXPECT_FALSE(decodeDiscoveryAnswer(q, 12, &back)); // a query is no answer
}
