// What the server lets one peer do: its message budget and the checks on what it relays for a
// member.
#pragma once

#include <cstddef>
#include <cstdint>

// A bucket of messages: kBurst at once, refilled at kPerSecond. A real client sends about 25
// moves a second and a few events; a bomb's flames may add a few dozen at once.
class MessageBudget {
  public:
    static constexpr double kBurst = 512;
    static constexpr double kPerSecond = 256;

    // Takes one message from the bucket at nowMs (a millisecond clock); false when it is empty.
    bool take(int64_t nowMs);
    // True when a message taken at nowMs would fit; takes nothing.
    bool hasRoom(int64_t nowMs) const;
    // Milliseconds until the bucket refills enough for one message.
    static constexpr int kRefillMs = static_cast<int>(1000 / kPerSecond) + 1;

  private:
    double tokens_ = kBurst;
    int64_t lastMs_ = 0;
    bool started_ = false;
};

// True when a message of a type the server relays may go to the other members on behalf of the
// member memberId: not a type only the server sends, the exact length for a type of the protocol,
// every player id or bomb owner it carries equal to memberId, and a bomb's range in 0..8.
bool mayRelay(const uint8_t* message, size_t length, int32_t memberId);

// Turns a received ChatLine (112 bytes) into the one relayed: the member's id and nick, the
// text cut at 60 characters with only printable ASCII kept, every other byte zero.
void rewriteChatLine(uint8_t* message, int32_t memberId, const char* nick);
