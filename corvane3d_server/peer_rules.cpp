#include "peer_rules.h"

#include <cstring>

#include "protocol.h"

namespace {

constexpr int32_t kMaxBombRange = 8;

} // namespace

bool MessageBudget::take(int64_t nowMs) {
    if (!started_) {
        started_ = true;
        lastMs_ = nowMs;
    }
    if (nowMs > lastMs_) {
        tokens_ += (nowMs - lastMs_) * kPerSecond / 1000.0;
        if (tokens_ > kBurst) tokens_ = kBurst;
        lastMs_ = nowMs;
    }
    if (tokens_ < 1) return false;
    tokens_ -= 1;
    return true;
}

bool MessageBudget::hasRoom(int64_t nowMs) const {
    if (!started_ || tokens_ >= 1) return true;
    return nowMs > lastMs_ && tokens_ + (nowMs - lastMs_) * kPerSecond / 1000.0 >= 1;
}

bool mayRelay(const uint8_t* message, size_t length, int32_t memberId) {
    uint32_t type = proto::getU32(message);
    switch (type) {
    case proto::kLabyrinth:
    case proto::kWelcome:
    case proto::kJoinReply:
    case proto::kPlayerInfo:
    case proto::kPlayerLeft:
    case proto::kLobbyOpen:
        return false;
    case proto::kCloakState:
    case proto::kVehicleMove:
    case proto::kPlayerDead:
    case proto::kBombDropped:
    case proto::kBombExploded:
        if (length != proto::messageLength(type)) return false;
        if (proto::getI32(message + 8) != memberId) return false;
        if (type == proto::kBombDropped) {
            int32_t range = proto::getI32(message + 16);
            if (range < 0 || range > kMaxBombRange) return false;
        }
        return true;
    case proto::kBlockDestroyed:
    case proto::kItemTaken:
        return length == proto::messageLength(type);
    default:
        return true;
    }
}

void rewriteChatLine(uint8_t* message, int32_t memberId, const char* nick) {
    char text[proto::kChatTextSize] = {};
    size_t n = 0;
    for (size_t i = 0; i < proto::kChatTextSize && message[48 + i] != 0; ++i) {
        char c = static_cast<char>(message[48 + i]);
        if (c >= ' ' && c <= '~' && n < proto::kChatTextLimit) text[n++] = c;
    }
    proto::ChatLine line;
    line.playerId = memberId;
    std::memcpy(line.nick, nick, sizeof line.nick);
    line.nick[sizeof line.nick - 1] = '\0';
    std::memcpy(line.text, text, sizeof line.text);
    proto::encodeChatLine(message, line);
}
