#include "discovery.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "clock.h"
#include "font_text.h"
#include "globals.h"
#include "protocol.h"

namespace {

constexpr int kAnswersPerPoll = 64;
constexpr int64_t kRepeatMs = 300;

int udp = -1;
int64_t startedAt = 0;
int64_t lastQuery = 0;
uint32_t nonce = 0;
FoundServer found[kDiscoveryLimit];
bool foundHere[kDiscoveryLimit]; // the server runs on this machine
int foundCount = 0;
uint32_t ownAddresses[16];
int ownCount = 0;

void sendTo(uint32_t address, const uint8_t* query, size_t size) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(proto::kPort);
    to.sin_addr.s_addr = address;
    sendto(udp, query, size, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void sendQueries() {
    uint8_t query[proto::kDiscoveryQuerySize];
    proto::DiscoveryQuery q;
    q.nonce = nonce;
    const size_t size = proto::encodeDiscoveryQuery(query, q);
    sendTo(htonl(INADDR_BROADCAST), query, size);
    sendTo(htonl(INADDR_LOOPBACK), query, size);
    ifaddrs* interfaces = nullptr;
    ownCount = 0;
    if (getifaddrs(&interfaces) == 0) {
        for (ifaddrs* i = interfaces; i; i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
            if (ownCount < 16)
                ownAddresses[ownCount++] =
                    reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
            if (!(i->ifa_flags & IFF_BROADCAST) || !(i->ifa_flags & IFF_UP)) continue;
            if (!i->ifa_broadaddr) continue;
            sendTo(reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr, query,
                   size);
        }
        freeifaddrs(interfaces);
    }
    lastQuery = clockMs();
}

bool fromThisMachine(const sockaddr_in& from) {
    if ((ntohl(from.sin_addr.s_addr) >> 24) == 127) return true;
    for (int i = 0; i < ownCount; ++i)
        if (ownAddresses[i] == from.sin_addr.s_addr) return true;
    return false;
}

void record(const proto::DiscoveryAnswer& answer, const sockaddr_in& from) {
    char address[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &from.sin_addr, address, sizeof address);
    const bool here = fromThisMachine(from);
    const bool loopback = (ntohl(from.sin_addr.s_addr) >> 24) == 127;
    // A server on this machine answers once per path to it (loopback and each interface): one
    // line, under the address that the other machines can reach too.
    int i = 0;
    for (; i < foundCount && i < kDiscoveryLimit; ++i)
        if (here ? foundHere[i] : std::strcmp(found[i].address, address) == 0) break;
    if (i == foundCount) {
        if (foundCount == kDiscoveryLimit) return;
        ++foundCount;
        foundHere[i] = here;
        copyText(found[i].address, address, sizeof found[i].address);
    } else if (!loopback) {
        copyText(found[i].address, address, sizeof found[i].address);
    }
    FoundServer& f = found[i];
    toFontText(answer.name, f.name, sizeof f.name);
    if (f.name[0] == '\0') copyText(f.name, "SERVER", sizeof f.name);
    f.players = answer.players;
    f.inGame = static_cast<uint8_t>(answer.inGame);
}

} // namespace

bool discoveryStart() {
    discoveryStop();
    foundCount = 0;
    udp = socket(AF_INET, SOCK_DGRAM, 0);
    if (udp < 0) return false;
    int on = 1;
    setsockopt(udp, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    nonce = static_cast<uint32_t>(clockMs() * 2654435761u) ^ static_cast<uint32_t>(getpid());
    startedAt = clockMs();
    sendQueries();
    return true;
}

bool discoveryPoll() {
    if (udp < 0) return false;
    for (int i = 0; i < kAnswersPerPoll; ++i) {
        uint8_t bytes[proto::kDiscoveryAnswerSize + 1];
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        ssize_t n = recvfrom(udp, bytes, sizeof bytes, MSG_DONTWAIT,
                             reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        proto::DiscoveryAnswer answer;
        if (from.sin_family == AF_INET &&
            proto::decodeDiscoveryAnswer(bytes, static_cast<size_t>(n), &answer) &&
            answer.nonce == nonce)
            record(answer, from);
    }
    const int64_t now = clockMs();
    if (now - startedAt >= kDiscoveryMs) {
        discoveryStop();
        return false;
    }
    if (now - lastQuery >= kRepeatMs) sendQueries();
    return true;
}

bool discoverySearching() {
    return udp >= 0;
}

int discoveryCount() {
    return foundCount;
}

const FoundServer& discoveryServer(int i) {
    static const FoundServer none = {};
    return i >= 0 && i < foundCount ? found[i] : none;
}

void discoveryStop() {
    if (udp >= 0) close(udp);
    udp = -1;
}
