#include "protocol.h"

#include <cstring>

namespace proto {

namespace {

uint64_t getU64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

void putU64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void putVector(uint8_t* p, const Vector3& v) {
    putF64(p, v.x);
    putF64(p + 8, v.y);
    putF64(p + 16, v.z);
}

Vector3 getVector(const uint8_t* p) {
    return Vector3(getF64(p), getF64(p + 8), getF64(p + 16));
}

// True when buf holds exactly size bytes whose header names type and size.
bool isMessage(const uint8_t* buf, size_t len, uint32_t type, size_t size) {
    return buf && len == size && getU32(buf) == type && getU32(buf + 4) == size;
}

} // namespace

size_t messageLength(uint32_t type) {
    switch (type) {
    case kJoin:
    case kPlayerInfo:
        return kJoinSize;
    case kLeaveGame:
    case kLabyrinthRequest:
    case kPlayerLeft:
    case kPlayerDead:
    case kBlockDestroyed:
    case kItemTaken:
        return kIdMessageSize;
    case kWelcome:
        return kWelcomeSize;
    case kJoinReply:
        return kJoinReplySize;
    case kCloakState:
        return kCloakStateSize;
    case kVehicleMove:
        return kVehicleMoveSize;
    case kBombDropped:
        return kBombDroppedSize;
    case kBombExploded:
        return kBombExplodedSize;
    case kStartGame:
    case kEndGame:
    case kLobbyOpen:
        return kHeaderOnlySize;
    case kChatLine:
        return kChatLineSize;
    default:
        return 0;
    }
}

void putU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t getU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void putI32(uint8_t* p, int32_t v) {
    putU32(p, static_cast<uint32_t>(v));
}

int32_t getI32(const uint8_t* p) {
    return static_cast<int32_t>(getU32(p));
}

void putF64(uint8_t* p, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    putU64(p, bits);
}

double getF64(const uint8_t* p) {
    uint64_t bits = getU64(p);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

namespace {
// Writes text into a field of size bytes: at most limit characters, then zeros.
void putField(uint8_t* p, const char* text, size_t size, size_t limit) {
    size_t i = 0;
    if (text) {
        for (; i < limit && text[i] != '\0'; ++i)
            p[i] = static_cast<uint8_t>(text[i]);
    }
    for (; i < size; ++i)
        p[i] = 0;
}

// Copies a field of size bytes into out[size], cut at limit characters, always NUL-terminated.
void getField(const uint8_t* p, char* out, size_t size, size_t limit) {
    size_t i = 0;
    for (; i < limit && p[i] != 0; ++i)
        out[i] = static_cast<char>(p[i]);
    for (; i < size; ++i)
        out[i] = '\0';
}
} // namespace

void putText(uint8_t* p, const char* text) {
    putField(p, text, kTextSize, kTextSize - 1);
}

void getText(const uint8_t* p, char* out) {
    getField(p, out, kTextSize, kTextSize - 1);
}

void encodeHeader(uint8_t* buf, uint32_t type, uint32_t length) {
    putU32(buf, type);
    putU32(buf + 4, length);
}

bool decodeHeader(const uint8_t* buf, size_t len, Header* out) {
    if (!buf || len < kHeaderSize) return false;
    out->type = getU32(buf);
    out->length = getU32(buf + 4);
    return true;
}

size_t encodeJoin(uint8_t* buf, const char* nick) {
    PlayerInfo info;
    size_t n = encodePlayerInfo(buf, info);
    putU32(buf, kJoin);
    putText(buf + 12, nick);
    return n;
}

size_t encodePlayerInfo(uint8_t* buf, const PlayerInfo& info) {
    encodeHeader(buf, kPlayerInfo, kPlayerInfoSize);
    putI32(buf + 8, info.playerId);
    putText(buf + 12, info.nick);
    putText(buf + 44, info.address);
    putU32(buf + 76, 0);
    for (int i = 0; i < 3; ++i)
        putF64(buf + 80 + 8 * i, info.colour[i]);
    return kPlayerInfoSize;
}

bool decodePlayerInfo(const uint8_t* buf, size_t len, PlayerInfo* out) {
    if (!isMessage(buf, len, kPlayerInfo, kPlayerInfoSize) &&
        !isMessage(buf, len, kJoin, kJoinSize))
        return false;
    out->playerId = getI32(buf + 8);
    getText(buf + 12, out->nick);
    getText(buf + 44, out->address);
    for (int i = 0; i < 3; ++i)
        out->colour[i] = getF64(buf + 80 + 8 * i);
    return true;
}

size_t encodeIdMessage(uint8_t* buf, uint32_t type, int32_t id) {
    encodeHeader(buf, type, kIdMessageSize);
    putI32(buf + 8, id);
    return kIdMessageSize;
}

bool decodeIdMessage(const uint8_t* buf, size_t len, uint32_t type, int32_t* id) {
    if (!isMessage(buf, len, type, kIdMessageSize)) return false;
    *id = getI32(buf + 8);
    return true;
}

size_t encodeHeaderOnly(uint8_t* buf, uint32_t type) {
    encodeHeader(buf, type, kHeaderOnlySize);
    return kHeaderOnlySize;
}

size_t encodeWelcome(uint8_t* buf, const char* serverAddress) {
    encodeHeader(buf, kWelcome, kWelcomeSize);
    putU32(buf + 8, kWelcomeMagic);
    putText(buf + 12, serverAddress);
    return kWelcomeSize;
}

bool decodeWelcome(const uint8_t* buf, size_t len, Welcome* out) {
    if (!buf || len != kWelcomeSize) return false;
    out->magic = getU32(buf + 8);
    getText(buf + 12, out->address);
    return true;
}

size_t encodeJoinReply(uint8_t* buf, const JoinReply& reply) {
    encodeHeader(buf, kJoinReply, kJoinReplySize);
    putI32(buf + 8, reply.accepted);
    putI32(buf + 12, reply.playerId);
    for (int i = 0; i < 3; ++i)
        putF64(buf + 16 + 8 * i, reply.colour[i]);
    return kJoinReplySize;
}

bool decodeJoinReply(const uint8_t* buf, size_t len, JoinReply* out) {
    if (!isMessage(buf, len, kJoinReply, kJoinReplySize)) return false;
    out->accepted = getI32(buf + 8);
    out->playerId = getI32(buf + 12);
    for (int i = 0; i < 3; ++i)
        out->colour[i] = getF64(buf + 16 + 8 * i);
    return true;
}

size_t encodeCloakState(uint8_t* buf, const CloakState& msg) {
    encodeHeader(buf, kCloakState, kCloakStateSize);
    putI32(buf + 8, msg.playerId);
    putU32(buf + 12, msg.cloak);
    return kCloakStateSize;
}

bool decodeCloakState(const uint8_t* buf, size_t len, CloakState* out) {
    if (!isMessage(buf, len, kCloakState, kCloakStateSize)) return false;
    out->playerId = getI32(buf + 8);
    out->cloak = getU32(buf + 12);
    return true;
}

size_t encodeVehicleMove(uint8_t* buf, const VehicleMove& msg) {
    encodeHeader(buf, kVehicleMove, kVehicleMoveSize);
    putI32(buf + 8, msg.playerId);
    putU32(buf + 12, 0);
    putVector(buf + 16, msg.position);
    putVector(buf + 40, msg.heading);
    return kVehicleMoveSize;
}

bool decodeVehicleMove(const uint8_t* buf, size_t len, VehicleMove* out) {
    if (!isMessage(buf, len, kVehicleMove, kVehicleMoveSize)) return false;
    out->playerId = getI32(buf + 8);
    out->position = getVector(buf + 16);
    out->heading = getVector(buf + 40);
    return true;
}

size_t encodeBombDropped(uint8_t* buf, const BombDropped& msg) {
    encodeHeader(buf, kBombDropped, kBombDroppedSize);
    putI32(buf + 8, msg.owner);
    putI32(buf + 12, msg.number);
    putI32(buf + 16, msg.range);
    putU32(buf + 20, 0);
    putVector(buf + 24, msg.dropPoint);
    putVector(buf + 48, msg.heading);
    return kBombDroppedSize;
}

bool decodeBombDropped(const uint8_t* buf, size_t len, BombDropped* out) {
    if (!isMessage(buf, len, kBombDropped, kBombDroppedSize)) return false;
    out->owner = getI32(buf + 8);
    out->number = getI32(buf + 12);
    out->range = getI32(buf + 16);
    out->dropPoint = getVector(buf + 24);
    out->heading = getVector(buf + 48);
    return true;
}

size_t encodeBombExploded(uint8_t* buf, const BombExploded& msg) {
    encodeHeader(buf, kBombExploded, kBombExplodedSize);
    putI32(buf + 8, msg.owner);
    putI32(buf + 12, msg.number);
    return kBombExplodedSize;
}

bool decodeBombExploded(const uint8_t* buf, size_t len, BombExploded* out) {
    if (!isMessage(buf, len, kBombExploded, kBombExplodedSize)) return false;
    out->owner = getI32(buf + 8);
    out->number = getI32(buf + 12);
    return true;
}

size_t encodeLabyrinthHead(uint8_t* buf, int32_t n) {
    if (n < 0) n = 0;
    if (n > kMaxBlocks) n = kMaxBlocks;
    encodeHeader(
        buf, kLabyrinth,
        static_cast<uint32_t>(kLabyrinthHeadSize + kBlockRecordSize * static_cast<size_t>(n)));
    putI32(buf + 8, n);
    return kLabyrinthHeadSize;
}

bool decodeLabyrinthHead(const uint8_t* buf, size_t len, int32_t* n) {
    if (!buf || len < kLabyrinthHeadSize || getU32(buf) != kLabyrinth) return false;
    int32_t count = getI32(buf + 8);
    if (count < 0 || count > kMaxBlocks) return false;
    uint64_t expected = kLabyrinthHeadSize + kBlockRecordSize * static_cast<uint64_t>(count);
    if (getU32(buf + 4) != expected) return false;
    *n = count;
    return true;
}

void encodeBlockRecord(uint8_t* buf, const BlockRecord& rec) {
    putI32(buf, rec.id);
    putI32(buf + 4, rec.item);
    putF64(buf + 8, rec.height);
    for (int i = 0; i < 3; ++i) {
        putF64(buf + 16 + 8 * i, rec.x[i]);
        putF64(buf + 40 + 8 * i, rec.y[i]);
        putF64(buf + 64 + 8 * i, rec.z[i]);
    }
}

bool decodeBlockRecord(const uint8_t* buf, size_t len, BlockRecord* out) {
    if (!buf || len < kBlockRecordSize) return false;
    int32_t item = getI32(buf + 4);
    if (item < 0 || item > 7) return false;
    out->id = getI32(buf);
    out->item = item;
    out->height = getF64(buf + 8);
    for (int i = 0; i < 3; ++i) {
        out->x[i] = getF64(buf + 16 + 8 * i);
        out->y[i] = getF64(buf + 40 + 8 * i);
        out->z[i] = getF64(buf + 64 + 8 * i);
    }
    return true;
}

size_t encodeChatLine(uint8_t* buf, const ChatLine& line) {
    encodeHeader(buf, kChatLine, kChatLineSize);
    putI32(buf + 8, line.playerId);
    putU32(buf + 12, 0);
    putText(buf + 16, line.nick);
    putField(buf + 48, line.text, kChatTextSize, kChatTextLimit);
    return kChatLineSize;
}

bool decodeChatLine(const uint8_t* buf, size_t len, ChatLine* out) {
    if (!isMessage(buf, len, kChatLine, kChatLineSize)) return false;
    out->playerId = getI32(buf + 8);
    getText(buf + 16, out->nick);
    getField(buf + 48, out->text, kChatTextSize, kChatTextLimit);
    return true;
}

size_t encodeDiscoveryQuery(uint8_t* buf, const DiscoveryQuery& query) {
    putU32(buf, kDiscoveryQueryMagic);
    putU32(buf + 4, kDiscoveryVersion);
    putU32(buf + 8, query.nonce);
    return kDiscoveryQuerySize;
}

bool decodeDiscoveryQuery(const uint8_t* buf, size_t len, DiscoveryQuery* out) {
    if (!buf || len != kDiscoveryQuerySize || getU32(buf) != kDiscoveryQueryMagic ||
        getU32(buf + 4) != kDiscoveryVersion)
        return false;
    out->nonce = getU32(buf + 8);
    return true;
}

size_t encodeDiscoveryAnswer(uint8_t* buf, const DiscoveryAnswer& answer) {
    putU32(buf, kDiscoveryAnswerMagic);
    putU32(buf + 4, kDiscoveryVersion);
    putU32(buf + 8, answer.nonce);
    putI32(buf + 12, answer.players);
    putU32(buf + 16, answer.inGame);
    putU32(buf + 20, 0);
    putText(buf + 24, answer.name);
    putText(buf + 56, answer.address);
    return kDiscoveryAnswerSize;
}

bool decodeDiscoveryAnswer(const uint8_t* buf, size_t len, DiscoveryAnswer* out) {
    if (!buf || len != kDiscoveryAnswerSize || getU32(buf) != kDiscoveryAnswerMagic ||
        getU32(buf + 4) != kDiscoveryVersion)
        return false;
    int32_t players = getI32(buf + 12);
    uint32_t inGame = getU32(buf + 16);
    if (players < 0 || players > 7 || inGame > 1) return false;
    out->nonce = getU32(buf + 8);
    out->players = players;
    out->inGame = inGame;
    getText(buf + 24, out->name);
    getText(buf + 56, out->address);
    return true;
}

} // namespace proto
