#include "net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "globals.h"
#include "protocol.h"
#include "wall_block.h"

#ifndef MSG_NOSIGNAL
#include <csignal>
#define MSG_NOSIGNAL 0
#define CORVANE_IGNORE_SIGPIPE 1
#endif

namespace {

constexpr size_t kPieceSize = 1024;
constexpr int kPollSliceMs = 100;
constexpr uint32_t kLongestMessage =
    proto::kLabyrinthHeadSize + proto::kBlockRecordSize * proto::kMaxBlocks;
constexpr int32_t kMaxPending = 256;
constexpr int kMaxSkipped = 1024;

struct PendingMessage {
    size_t size = 0;
    uint8_t bytes[proto::kPlayerInfoSize] = {};
};

int gSocket = -1;
int32_t gStarted = 0;
int32_t gConnected = 0;
int32_t gTimeoutMs = 5000;
List<PendingMessage> gPending;

enum ReadResult { kReadDone, kReadClosed, kReadTimedOut };
enum FrameResult { kFrameStored, kFrameDropped, kFrameBroken };

int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// 1 readable (or closed), 0 nothing within waitMs, -1 error.
int waitReadable(int fd, int waitMs) {
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, waitMs);
    if (r < 0) return errno == EINTR ? 0 : -1;
    return r > 0 ? 1 : 0;
}

ReadResult readExact(uint8_t* buffer, size_t count, size_t* got) {
    *got = 0;
    int64_t lastByte = steadyMs();
    while (*got < count) {
        int64_t left = gTimeoutMs - (steadyMs() - lastByte);
        int r = waitReadable(
            gSocket, static_cast<int>(left < kPollSliceMs ? (left > 0 ? left : 0) : kPollSliceMs));
        if (r < 0) return kReadClosed;
        if (r == 0) {
            if (steadyMs() - lastByte >= gTimeoutMs) return kReadTimedOut;
            continue;
        }
        size_t missing = count - *got;
        ssize_t n = recv(gSocket, buffer + *got, missing < kPieceSize ? missing : kPieceSize, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return kReadClosed;
        *got += static_cast<size_t>(n);
        lastByte = steadyMs();
    }
    return kReadDone;
}

bool discard(size_t count) {
    uint8_t sink[kPieceSize];
    while (count > 0) {
        size_t piece = count < kPieceSize ? count : kPieceSize;
        size_t got = 0;
        if (readExact(sink, piece, &got) != kReadDone) return false;
        count -= piece;
    }
    return true;
}

// 1 header read, 0 nothing consumed (nothing came, or the peer closed), -1 framing lost (closed).
int readHeader(uint8_t raw[proto::kHeaderSize], proto::Header* header) {
    size_t got = 0;
    if (readExact(raw, proto::kHeaderSize, &got) != kReadDone) {
        if (got == 0) return 0;
        NetClose();
        return -1;
    }
    proto::decodeHeader(raw, proto::kHeaderSize, header);
    if (header->length < proto::kHeaderSize || header->length > kLongestMessage) {
        NetClose();
        return -1;
    }
    return 1;
}

// Reads the rest of the message whose header is in raw into buffer (capacity bytes, header
// included); a message that does not fit is read and dropped.
FrameResult readBody(const uint8_t raw[proto::kHeaderSize], const proto::Header& header,
                     uint8_t* buffer, size_t capacity, size_t* size) {
    size_t rest = header.length - proto::kHeaderSize;
    if (header.length > capacity) {
        if (discard(rest)) return kFrameDropped;
        NetClose();
        return kFrameBroken;
    }
    std::memcpy(buffer, raw, proto::kHeaderSize);
    size_t got = 0;
    if (readExact(buffer + proto::kHeaderSize, rest, &got) != kReadDone) {
        NetClose();
        return kFrameBroken;
    }
    *size = header.length;
    return kFrameStored;
}

// Reads messages until one of the wanted type, whose header is returned; the others are set
// aside for NetReceiveMessage. False when none came in time or the stream broke.
bool awaitMessage(uint32_t type, uint8_t raw[proto::kHeaderSize], proto::Header* header) {
    for (int skipped = 0; skipped < kMaxSkipped; ++skipped) {
        if (readHeader(raw, header) != 1) return false;
        if (header->type == type) return true;
        PendingMessage* pending = new PendingMessage;
        FrameResult r =
            readBody(raw, *header, pending->bytes, sizeof pending->bytes, &pending->size);
        if (r == kFrameStored && gPending.count() < kMaxPending) {
            gPending.append(pending);
        } else {
            delete pending;
            if (r == kFrameBroken) return false;
        }
    }
    return false;
}

bool connectBounded(int fd, const sockaddr_in& address) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) return false;
        pollfd p{fd, POLLOUT, 0};
        int r;
        do {
            r = poll(&p, 1, gTimeoutMs);
        } while (r < 0 && errno == EINTR);
        if (r == 0) errno = ETIMEDOUT;
        if (r <= 0) return false;
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
        if (error != 0) {
            errno = error;
            return false;
        }
    }
    return fcntl(fd, F_SETFL, flags) == 0;
}

bool finite(const proto::BlockRecord& r) {
    bool ok = std::isfinite(r.height);
    for (int i = 0; i < 3; ++i)
        ok = ok && std::isfinite(r.x[i]) && std::isfinite(r.y[i]) && std::isfinite(r.z[i]);
    return ok;
}

} // namespace

int NetStartup() {
    if (gStarted) return 0;
#ifdef CORVANE_IGNORE_SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    gStarted = 1;
    return 1;
}

int NetCleanup() {
    if (!gStarted) return 0;
    if (gConnected || gSocket >= 0) NetClose();
    gStarted = 0;
    return 1;
}

int NetConnect(const char* address) {
    if (!gStarted || gConnected) return 0;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        std::fprintf(stderr, "ERROR: socket open failed <%d>\n", errno);
        return 0;
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(proto::kPort);
    bool valid = address && inet_aton(address, &server.sin_addr) != 0;
    if (!valid || !connectBounded(fd, server)) {
        std::fprintf(stderr, "ERROR: connect to %s failed <%d>\n", address ? address : "",
                     valid ? errno : EINVAL);
        close(fd);
        return 0;
    }
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    gSocket = fd;

    uint8_t greeting[proto::kWelcomeSize];
    size_t got = 0;
    proto::Welcome welcome;
    if (readExact(greeting, sizeof greeting, &got) != kReadDone ||
        !proto::decodeWelcome(greeting, sizeof greeting, &welcome) ||
        welcome.magic != proto::kWelcomeMagic) {
        std::printf("invalid server command ... closing connection\n");
        std::fflush(stdout);
        NetClose();
        return 0;
    }
    std::printf("connected to server %s\n", welcome.address);
    std::fflush(stdout);
    gConnected = 1;
    return 1;
}

int NetClose() {
    if (gSocket >= 0) close(gSocket);
    gSocket = -1;
    gConnected = 0;
    gPending.clear();
    return 1;
}

int NetIsConnected() {
    return gConnected;
}

void NetSetReceiveTimeout(int32_t milliseconds) {
    gTimeoutMs = milliseconds > 0 ? milliseconds : 0;
}

int32_t NetReceiveTimeout() {
    return gTimeoutMs;
}

int NetSend(const void* bytes, size_t count) {
    if (gSocket < 0 || !bytes) return 0;
    ssize_t n;
    do {
        n = send(gSocket, bytes, count, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n > 0 ? 1 : 0;
}

int NetReceive(void* buffer, size_t count) {
    if (gSocket < 0 || (!buffer && count > 0)) return 0;
    size_t got = 0;
    return readExact(static_cast<uint8_t*>(buffer), count, &got) == kReadDone ? 1 : 0;
}

int NetReceiveMessage(void* buffer, size_t capacity) {
    if (!buffer) return 0;
    if (gPending.count() > 0) {
        PendingMessage* pending = gPending.first();
        int stored = pending->size <= capacity ? 1 : 0;
        if (stored) std::memcpy(buffer, pending->bytes, pending->size);
        gPending.remove(1);
        return stored;
    }
    if (gSocket < 0) return 0;
    uint8_t raw[proto::kHeaderSize];
    proto::Header header;
    if (readHeader(raw, &header) != 1) return 0;
    size_t size = 0;
    return readBody(raw, header, static_cast<uint8_t*>(buffer), capacity, &size) == kFrameStored
               ? 1
               : 0;
}

int NetPoll() {
    if (gPending.count() > 0) return 1;
    if (gSocket < 0) return 0;
    return waitReadable(gSocket, 1) > 0 ? 1 : 0;
}

int NetJoin(int32_t* accepted, int32_t* playerId, double colour[3]) {
    *accepted = 0;
    *playerId = 0;
    colour[0] = colour[1] = colour[2] = 0;
    if (!gConnected) return 0;
    uint8_t message[proto::kJoinSize];
    NetSend(message, proto::encodeJoin(message, nickName));

    uint8_t raw[proto::kHeaderSize];
    proto::Header header;
    if (!awaitMessage(proto::kJoinReply, raw, &header)) return 1;
    uint8_t bytes[proto::kJoinReplySize];
    size_t size = 0;
    proto::JoinReply reply;
    if (readBody(raw, header, bytes, sizeof bytes, &size) != kFrameStored ||
        !proto::decodeJoinReply(bytes, size, &reply))
        return 1;
    *accepted = reply.accepted;
    *playerId = reply.playerId;
    for (int i = 0; i < 3; ++i)
        colour[i] = reply.colour[i];
    return 1;
}

int NetFetchLabyrinth(List<WallBlock>& blocks) {
    if (!gConnected) return 0;
    blocks.clear();
    uint8_t request[proto::kIdMessageSize];
    NetSend(request, proto::encodeIdMessage(request, proto::kLabyrinthRequest, 0));

    uint8_t head[proto::kLabyrinthHeadSize];
    proto::Header header;
    if (!awaitMessage(proto::kLabyrinth, head, &header)) return 0;
    size_t got = 0;
    int32_t n = 0;
    if (readExact(head + proto::kHeaderSize, proto::kLabyrinthHeadSize - proto::kHeaderSize,
                  &got) != kReadDone ||
        !proto::decodeLabyrinthHead(head, sizeof head, &n)) {
        NetClose();
        return 0;
    }

    size_t bytes = proto::kBlockRecordSize * static_cast<size_t>(n);
    uint8_t* data = new uint8_t[bytes + 1];
    if (readExact(data, bytes, &got) != kReadDone) {
        delete[] data;
        NetClose();
        return 0;
    }
    proto::BlockRecord* records = new proto::BlockRecord[n + 1];
    bool valid = true;
    for (int32_t i = 0; i < n && valid; ++i)
        valid = proto::decodeBlockRecord(data + proto::kBlockRecordSize * i,
                                         proto::kBlockRecordSize, &records[i]) &&
                finite(records[i]);
    delete[] data;
    if (valid) {
        for (int32_t i = 0; i < n; ++i) {
            const proto::BlockRecord& r = records[i];
            WallBlock* block =
                new WallBlock(Vector3(r.x[0], r.y[0], r.z[0]), Vector3(r.x[1], r.y[1], r.z[1]),
                              Vector3(r.x[2], r.y[2], r.z[2]), r.height);
            block->setId(r.id);
            block->setItem(r.item);
            blocks.append(block);
        }
    }
    delete[] records;
    return valid ? 1 : 0;
}

namespace {
// Hands a built message to the socket while connected: 1 then (whatever the send did), else 0 and
// nothing is sent.
int announce(const uint8_t* message, size_t length) {
    if (!gConnected) return 0;
    NetSend(message, length);
    return 1;
}
} // namespace

int NetLeaveGame(int32_t playerId) {
    uint8_t message[proto::kIdMessageSize];
    return announce(message, proto::encodeIdMessage(message, proto::kLeaveGame, playerId));
}

int NetStartGame() {
    uint8_t message[proto::kHeaderOnlySize];
    return announce(message, proto::encodeHeaderOnly(message, proto::kStartGame));
}

int NetEndGame() {
    uint8_t message[proto::kHeaderOnlySize];
    return announce(message, proto::encodeHeaderOnly(message, proto::kEndGame));
}

int NetSendVehicleMove(int32_t playerId, Vector3 position, Vector3 heading) {
    uint8_t message[proto::kVehicleMoveSize];
    proto::VehicleMove move;
    move.playerId = playerId;
    move.position = position;
    move.heading = heading;
    return announce(message, proto::encodeVehicleMove(message, move));
}

int NetSendCloak(int32_t playerId, uint8_t cloak) {
    uint8_t message[proto::kCloakStateSize];
    proto::CloakState state;
    state.playerId = playerId;
    state.cloak = cloak;
    return announce(message, proto::encodeCloakState(message, state));
}

int NetSendPlayerDead(int32_t playerId) {
    uint8_t message[proto::kIdMessageSize];
    return announce(message, proto::encodeIdMessage(message, proto::kPlayerDead, playerId));
}

int NetSendBombDropped(int32_t owner, int32_t number, int32_t range, Vector3 dropPoint,
                       Vector3 heading) {
    uint8_t message[proto::kBombDroppedSize];
    proto::BombDropped bomb;
    bomb.owner = owner;
    bomb.number = number;
    bomb.range = range;
    bomb.dropPoint = dropPoint;
    bomb.heading = heading;
    return announce(message, proto::encodeBombDropped(message, bomb));
}

int NetSendBombExploded(int32_t owner, int32_t number) {
    uint8_t message[proto::kBombExplodedSize];
    proto::BombExploded bomb;
    bomb.owner = owner;
    bomb.number = number;
    return announce(message, proto::encodeBombExploded(message, bomb));
}

int NetSendBlockDestroyed(int32_t blockId) {
    uint8_t message[proto::kIdMessageSize];
    return announce(message, proto::encodeIdMessage(message, proto::kBlockDestroyed, blockId));
}

int NetSendItemTaken(int32_t blockId) {
    uint8_t message[proto::kIdMessageSize];
    return announce(message, proto::encodeIdMessage(message, proto::kItemTaken, blockId));
}
