// The wire protocol between corvane3d_client and corvane3d_server: message numbers, fixed sizes,
// and explicit little-endian encoders and decoders for every record. TCP port 1234; every message
// starts with the 8-byte header; integers are 32-bit little-endian, reals IEEE 754 doubles
// little-endian, texts 32 bytes NUL-terminated (at most 31 characters).
//
// Encoders write the whole message (header included) into buf, which must hold the returned size,
// and return the number of bytes written. Reserved fields are written as zero. Decoders check the
// length they are given (and the type and the header's length field where a record belongs to
// one type; whole messages must be given at exactly their size), return false on any
// mismatch and then leave *out untouched. Text fields without a NUL in their 32 bytes are cut at
// 31 characters.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vector3.h"

namespace proto {

enum MessageType : uint32_t {
    kJoin = 0,
    kLeaveGame = 1,
    kLabyrinthRequest = 2,
    kLabyrinth = 3,
    kWelcome = 4,
    kJoinReply = 5,
    kPlayerInfo = 6,
    kPlayerLeft = 7,
    kCloakState = 8,
    kVehicleMove = 9,
    kPlayerDead = 10,
    kBombDropped = 11,
    kBombExploded = 12,
    kBlockDestroyed = 13,
    kItemTaken = 14,
    kStartGame = 15,
    kEndGame = 16,
    kChatLine = 17,
    kLobbyOpen = 18,
    kMessageTypeCount = 19
};

constexpr uint16_t kPort = 1234;
constexpr size_t kHeaderSize = 8;
constexpr size_t kTextSize = 32;
constexpr size_t kMaxClientMessage = 104;  // largest message a client sends
constexpr size_t kServerBufferSize = 1024; // the server's buffer for one message
constexpr size_t kLabyrinthHeadSize = 12;
constexpr size_t kBlockRecordSize = 88;
constexpr int32_t kMaxBlocks = 954;            // one block per planet-mesh triangle at most
constexpr uint32_t kWelcomeMagic = 0x43563344; // "CV3D", bytes 44 33 56 43 on the wire

constexpr size_t kJoinSize = 104;
constexpr size_t kIdMessageSize = 12; // LeaveGame, LabyrinthRequest, PlayerLeft, PlayerDead,
                                      // BlockDestroyed, ItemTaken
constexpr size_t kWelcomeSize = 44;
constexpr size_t kJoinReplySize = 40;
constexpr size_t kPlayerInfoSize = 104;
constexpr size_t kCloakStateSize = 16;
constexpr size_t kVehicleMoveSize = 64;
constexpr size_t kBombDroppedSize = 72;
constexpr size_t kBombExplodedSize = 16;
constexpr size_t kHeaderOnlySize = 8; // StartGame, EndGame, LobbyOpen
constexpr size_t kChatTextSize = 64;  // the chat text field
constexpr size_t kChatTextLimit = 60; // characters of one chat line
constexpr size_t kChatLineSize = 112;

// Discovery travels over UDP on kPort: a query broadcast by a client, one answer per server.
constexpr uint32_t kDiscoveryQueryMagic = 0x51445643;  // "CVDQ", bytes 43 56 44 51 on the wire
constexpr uint32_t kDiscoveryAnswerMagic = 0x41445643; // "CVDA", bytes 43 56 44 41 on the wire
constexpr uint32_t kDiscoveryVersion = 1;
constexpr size_t kDiscoveryQuerySize = 12;
constexpr size_t kDiscoveryAnswerSize = 88;

// Fixed length of a message type, header included; 0 for Labyrinth (12 + 88 n) and unknown types.
size_t messageLength(uint32_t type);

// Little-endian primitives over byte buffers.
void putU32(uint8_t* p, uint32_t v);
uint32_t getU32(const uint8_t* p);
void putI32(uint8_t* p, int32_t v);
int32_t getI32(const uint8_t* p);
void putF64(uint8_t* p, double v);
double getF64(const uint8_t* p);
// Writes text into a 32-byte field: at most 31 characters, NUL, zero padding.
void putText(uint8_t* p, const char* text);
// Copies a 32-byte field into out[32], cut at 31 characters and always NUL-terminated.
void getText(const uint8_t* p, char* out);

//  MessageHeader (8 bytes)
//  +--------+--------+
//  | 0 type | 4 len  |   uint32 type, uint32 length of the whole message
//  +--------+--------+
struct Header {
    uint32_t type = 0;
    uint32_t length = 0;
};
void encodeHeader(uint8_t* buf, uint32_t type, uint32_t length);
// Needs len >= 8; does not judge the length field.
bool decodeHeader(const uint8_t* buf, size_t len, Header* out);

//  Join (type 0) and PlayerInfo (type 6), 104 bytes
//  +--------+-----------+--------------+----------+-------------------------+
//  | 0 hdr  | 8 id i32  | 12 nick[32]  | 44 addr  | 76 rsvd | 80 colour f64[3] |
//  +--------+-----------+--------------+----------+-------------------------+
struct PlayerInfo {
    int32_t playerId = 0;
    char nick[kTextSize] = {};
    char address[kTextSize] = {};
    double colour[3] = {0, 0, 0};
};
// Join: id, address and colour reserved (zero); only the nick is meaningful.
size_t encodeJoin(uint8_t* buf, const char* nick);
size_t encodePlayerInfo(uint8_t* buf, const PlayerInfo& info);
// Accepts a 104-byte message of type 0 or 6.
bool decodePlayerInfo(const uint8_t* buf, size_t len, PlayerInfo* out);

//  Id messages, 12 bytes: LeaveGame 1, LabyrinthRequest 2 (id reserved), PlayerLeft 7,
//  PlayerDead 10, BlockDestroyed 13, ItemTaken 14
//  +--------+-----------+
//  | 0 hdr  | 8 id i32  |
//  +--------+-----------+
size_t encodeIdMessage(uint8_t* buf, uint32_t type, int32_t id);
// Accepts a 12-byte message of the given type.
bool decodeIdMessage(const uint8_t* buf, size_t len, uint32_t type, int32_t* id);

//  Header-only messages, 8 bytes: StartGame 15, EndGame 16, LobbyOpen 18 (server to clients: the
//  lobby admits players again after a game)
size_t encodeHeaderOnly(uint8_t* buf, uint32_t type);

//  Welcome (type 4), 44 bytes
//  +--------+--------------+--------------------+
//  | 0 hdr  | 8 magic u32  | 12 address[32]     |
//  +--------+--------------+--------------------+
struct Welcome {
    uint32_t magic = 0;
    char address[kTextSize] = {};
};
size_t encodeWelcome(uint8_t* buf, const char* serverAddress);
// Needs exactly 44 bytes; the type and length fields are not examined (the client reads the
// greeting by size).
bool decodeWelcome(const uint8_t* buf, size_t len, Welcome* out);

//  JoinReply (type 5), 40 bytes
//  +--------+----------------+-------------+----------------------+
//  | 0 hdr  | 8 accepted i32 | 12 id i32   | 16 colour f64[3]     |
//  +--------+----------------+-------------+----------------------+
struct JoinReply {
    int32_t accepted = 0;
    int32_t playerId = 0;
    double colour[3] = {0, 0, 0};
};
size_t encodeJoinReply(uint8_t* buf, const JoinReply& reply);
// Accepts a 40-byte message of type 5.
bool decodeJoinReply(const uint8_t* buf, size_t len, JoinReply* out);

//  CloakState (type 8), 16 bytes
//  +--------+-----------+--------------+
//  | 0 hdr  | 8 id i32  | 12 cloak u32 |
//  +--------+-----------+--------------+
struct CloakState {
    int32_t playerId = 0;
    uint32_t cloak = 0;
};
size_t encodeCloakState(uint8_t* buf, const CloakState& msg);
bool decodeCloakState(const uint8_t* buf, size_t len, CloakState* out);

//  VehicleMove (type 9), 64 bytes
//  +--------+-----------+----------+-------------------+------------------+
//  | 0 hdr  | 8 id i32  | 12 rsvd  | 16 position f64x3 | 40 heading f64x3 |
//  +--------+-----------+----------+-------------------+------------------+
struct VehicleMove {
    int32_t playerId = 0;
    Vector3 position;
    Vector3 heading;
};
size_t encodeVehicleMove(uint8_t* buf, const VehicleMove& msg);
bool decodeVehicleMove(const uint8_t* buf, size_t len, VehicleMove* out);

//  BombDropped (type 11), 72 bytes
//  +--------+-------------+--------------+-------------+---------+---------------+--------------+
//  | 0 hdr  | 8 owner i32 | 12 number i32| 16 range i32| 20 rsvd | 24 drop f64x3 | 48 head f64x3|
//  +--------+-------------+--------------+-------------+---------+---------------+--------------+
struct BombDropped {
    int32_t owner = 0;
    int32_t number = 0;
    int32_t range = 0;
    Vector3 dropPoint;
    Vector3 heading;
};
size_t encodeBombDropped(uint8_t* buf, const BombDropped& msg);
bool decodeBombDropped(const uint8_t* buf, size_t len, BombDropped* out);

//  BombExploded (type 12), 16 bytes
//  +--------+-------------+---------------+
//  | 0 hdr  | 8 owner i32 | 12 number i32 |
//  +--------+-------------+---------------+
struct BombExploded {
    int32_t owner = 0;
    int32_t number = 0;
};
size_t encodeBombExploded(uint8_t* buf, const BombExploded& msg);
bool decodeBombExploded(const uint8_t* buf, size_t len, BombExploded* out);

//  Labyrinth (type 3): 12-byte head, then n BlockRecords of 88 bytes; length = 12 + 88 n
//  +--------+----------+----------------------+
//  | 0 hdr  | 8 n i32  | 12 records[n]        |
//  +--------+----------+----------------------+
// Writes the head for n records; n is clamped to 0..954.
size_t encodeLabyrinthHead(uint8_t* buf, int32_t n);
// Needs at least 12 bytes of type 3; refuses n < 0, n > 954 and a length field not 12 + 88 n.
bool decodeLabyrinthHead(const uint8_t* buf, size_t len, int32_t* n);

//  BlockRecord, 88 bytes (no header)
//  +----------+------------+--------------+-----------+-----------+-----------+
//  | 0 id i32 | 4 item i32 | 8 height f64 | 16 x f64x3| 40 y f64x3| 64 z f64x3|
//  +----------+------------+--------------+-----------+-----------+-----------+
struct BlockRecord {
    int32_t id = 0;
    int32_t item = 0;
    double height = 0;
    double x[3] = {0, 0, 0};
    double y[3] = {0, 0, 0};
    double z[3] = {0, 0, 0};
};
void encodeBlockRecord(uint8_t* buf, const BlockRecord& rec);
// Needs at least 88 bytes; refuses an item kind outside 0..7.
bool decodeBlockRecord(const uint8_t* buf, size_t len, BlockRecord* out);

//  ChatLine (type 17), 112 bytes: a lobby chat line, sent by a member and relayed by the server
//  to every joined member (the sender included) with the id and nick the server knows it by
//  +--------+-----------+----------+--------------+----------------+
//  | 0 hdr  | 8 id i32  | 12 rsvd  | 16 nick[32]  | 48 text[64]    |
//  +--------+-----------+----------+--------------+----------------+
struct ChatLine {
    int32_t playerId = 0;
    char nick[kTextSize] = {};
    char text[kChatTextSize] = {};
};
// Writes at most 60 characters of text, NUL, zero padding.
size_t encodeChatLine(uint8_t* buf, const ChatLine& line);
// Accepts a 112-byte message of type 17; the text is cut at 60 characters.
bool decodeChatLine(const uint8_t* buf, size_t len, ChatLine* out);

//  DiscoveryQuery (UDP), 12 bytes, no header
//  +-------------+---------------+--------------+
//  | 0 magic u32 | 4 version u32 | 8 nonce u32  |
//  +-------------+---------------+--------------+
struct DiscoveryQuery {
    uint32_t nonce = 0;
};
size_t encodeDiscoveryQuery(uint8_t* buf, const DiscoveryQuery& query);
// Needs exactly 12 bytes with the query magic and version 1.
bool decodeDiscoveryQuery(const uint8_t* buf, size_t len, DiscoveryQuery* out);

//  DiscoveryAnswer (UDP), 88 bytes, no header; the nonce is the query's
//  +---------+-----------+---------+---------------+---------------+---------+----------+----------+
//  | 0 magic | 4 version | 8 nonce | 12 players i32| 16 inGame u32 | 20 rsvd | 24 name  | 56 addr |
//  +---------+-----------+---------+---------------+---------------+---------+----------+----------+
struct DiscoveryAnswer {
    uint32_t nonce = 0;
    int32_t players = 0;
    uint32_t inGame = 0;
    char name[kTextSize] = {};
    char address[kTextSize] = {};
};
size_t encodeDiscoveryAnswer(uint8_t* buf, const DiscoveryAnswer& answer);
// Needs exactly 88 bytes with the answer magic and version 1; refuses players outside 0..7 and
// inGame other than 0 or 1.
bool decodeDiscoveryAnswer(const uint8_t* buf, size_t len, DiscoveryAnswer* out);

} // namespace proto
