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

#include "clock.h"
#include "font_text.h"
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
constexpr size_t kInboxCapacity = kLongestMessage + kPieceSize;
constexpr size_t kOutboxCapacity = 64 * 1024;
constexpr int32_t kMaxPending = 256;
constexpr int kMaxSkipped = 1024;
constexpr int kMessagesPerPoll = 64;
constexpr size_t kPendingSize = 128;

struct PendingMessage {
    size_t size = 0;
    uint8_t bytes[kPendingSize] = {};
};

enum ConnectPhase { kIdle, kConnecting, kGreeting };

int gSocket = -1;
int32_t gStarted = 0;
int32_t gConnected = 0;
int32_t gTimeoutMs = 5000;
List<PendingMessage> gPending;

// Bytes that have arrived and are not yet taken, the head of the stream: gInboxFill bytes from
// gInboxBuffer + gInboxStart, at gInbox.
uint8_t gInboxBuffer[kInboxCapacity];
uint8_t* gInbox = gInboxBuffer;
size_t gInboxFill = 0;
bool gPeerClosed = false;
int64_t gWaitSince = 0; // when the message at the head of the inbox began to wait
int64_t gLastByte = 0;
// Bytes of messages the socket could not take at once, sent before anything else.
uint8_t gOutbox[kOutboxCapacity];
size_t gOutboxFill = 0;

int32_t gLost = 0;
ConnectPhase gPhase = kIdle;
int64_t gPhaseSince = 0;
char gAddress[64] = "";
const char* gFailure = "";
char gServerText[proto::kTextSize] = "";
bool gJoinPending = false;
int64_t gJoinSince = 0;
bool gLabyrinthPending = false;
int64_t gLabyrinthSince = 0;
proto::BlockRecord* gHeld = nullptr;
int32_t gHeldCount = 0;
bool gHeldReady = false;

enum ReadResult { kReadDone, kReadClosed, kReadTimedOut };
enum FrameResult { kFrameStored, kFrameDropped, kFrameBroken };

int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

// 1 readable (or closed), 0 nothing within waitMs, -1 error.
int waitReadable(int fd, int waitMs) {
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, waitMs);
    if (r < 0) return errno == EINTR ? 0 : -1;
    return r > 0 ? 1 : 0;
}

// True when no byte came for the receive bound, or the wait since began took three bounds.
bool expired(int64_t since, int64_t lastByte) {
    const int64_t now = clockMs();
    return now - lastByte >= gTimeoutMs || now - since >= 3 * static_cast<int64_t>(gTimeoutMs);
}

size_t takeInbox(uint8_t* buffer, size_t count) {
    size_t n = count < gInboxFill ? count : gInboxFill;
    if (n == 0) return 0;
    std::memcpy(buffer, gInbox, n);
    gInbox += n;
    gInboxFill -= n;
    gWaitSince = clockMs();
    return n;
}

void consumeInbox(size_t n) {
    gInbox += n;
    gInboxFill -= n;
    gWaitSince = clockMs();
}

void emptyInbox() {
    gInbox = gInboxBuffer;
    gInboxFill = 0;
}

// Reads what has arrived without waiting; a peer that closed or failed is remembered.
void fillInbox() {
    if (gSocket < 0 || gPeerClosed) return;
    if (gInbox != gInboxBuffer) {
        std::memmove(gInboxBuffer, gInbox, gInboxFill);
        gInbox = gInboxBuffer;
    }
    while (gInboxFill < kInboxCapacity) {
        ssize_t n = recv(gSocket, gInbox + gInboxFill, kInboxCapacity - gInboxFill, MSG_DONTWAIT);
        if (n > 0) {
            const int64_t now = clockMs();
            if (gInboxFill == 0) gWaitSince = now;
            gInboxFill += static_cast<size_t>(n);
            gLastByte = now;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && wouldBlock(errno)) return;
        gPeerClosed = true;
        return;
    }
}

// 1 a whole message of *length bytes heads the inbox, 0 not yet, -1 the stream is broken (an
// impossible length, an unfinished message past its time) or ended.
int inboxMessage(size_t* length) {
    if (gInboxFill >= proto::kHeaderSize) {
        proto::Header h;
        proto::decodeHeader(gInbox, gInboxFill, &h);
        if (h.length < proto::kHeaderSize || h.length > kLongestMessage) return -1;
        if (gInboxFill >= h.length) {
            *length = h.length;
            return 1;
        }
    }
    if (gPeerClosed) return -1;
    if (gInboxFill > 0 && expired(gWaitSince, gLastByte)) return -1;
    return 0;
}

int nextInStream(size_t* length) {
    int r = inboxMessage(length);
    if (r != 0) return r;
    fillInbox();
    return inboxMessage(length);
}

void flushOutbox() {
    while (gSocket >= 0 && gOutboxFill > 0) {
        ssize_t n = send(gSocket, gOutbox, gOutboxFill, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        std::memmove(gOutbox, gOutbox + n, gOutboxFill - static_cast<size_t>(n));
        gOutboxFill -= static_cast<size_t>(n);
    }
}

void setAside(const uint8_t* message, size_t size) {
    if (size > kPendingSize || gPending.count() >= kMaxPending) return;
    PendingMessage* pending = new PendingMessage;
    std::memcpy(pending->bytes, message, size);
    pending->size = size;
    gPending.append(pending);
}

void dropHeld() {
    delete[] gHeld;
    gHeld = nullptr;
    gHeldCount = 0;
    gHeldReady = false;
}

// Closes the connection that ended under the client and remembers that it was lost.
void lose() {
    NetClose();
    gLost = 1;
    gFailure = "CONNECTION LOST";
}

const char* connectFailure(int error) {
    switch (error) {
    case ECONNREFUSED:
        return "NO SERVER THERE";
    case ENETUNREACH:
    case EHOSTUNREACH:
        return "NO ROUTE TO SERVER";
    case ETIMEDOUT:
        return "NO ANSWER";
    default:
        return "CANNOT CONNECT";
    }
}

ReadResult readExact(uint8_t* buffer, size_t count, size_t* got) {
    *got = takeInbox(buffer, count);
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
        if (n < 0 && (errno == EINTR || wouldBlock(errno))) continue;
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
        lose();
        return -1;
    }
    proto::decodeHeader(raw, proto::kHeaderSize, header);
    if (header->length < proto::kHeaderSize || header->length > kLongestMessage) {
        lose();
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
        lose();
        return kFrameBroken;
    }
    std::memcpy(buffer, raw, proto::kHeaderSize);
    size_t got = 0;
    if (readExact(buffer + proto::kHeaderSize, rest, &got) != kReadDone) {
        lose();
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

// The classic address forms (127.0.0.1, 127.1, 0x7f.1), and nothing after them.
bool parseAddress(const char* address, in_addr* out) {
    if (!address || address[0] == '\0') return false;
    for (const char* p = address; *p; ++p)
        if (!std::strchr("0123456789abcdefABCDEFxX.", *p)) return false;
    return inet_aton(address, out) != 0;
}

bool finite(const proto::BlockRecord& r) {
    bool ok = std::isfinite(r.height);
    for (int i = 0; i < 3; ++i)
        ok = ok && std::isfinite(r.x[i]) && std::isfinite(r.y[i]) && std::isfinite(r.z[i]);
    return ok;
}

} // namespace

namespace {

// Decodes n records into a new array (valid corners, known items, finite numbers); nullptr when
// any record is refused.
proto::BlockRecord* decodeRecords(const uint8_t* data, int32_t n) {
    proto::BlockRecord* records = new proto::BlockRecord[n + 1];
    bool valid = true;
    for (int32_t i = 0; i < n && valid; ++i)
        valid = proto::decodeBlockRecord(data + proto::kBlockRecordSize * i,
                                         proto::kBlockRecordSize, &records[i]) &&
                finite(records[i]);
    if (valid) return records;
    delete[] records;
    return nullptr;
}

void appendBlocks(const proto::BlockRecord* records, int32_t n, List<WallBlock>& blocks) {
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

// Looks through up to kMessagesPerPoll arrived messages for one of type, setting the others aside:
// 1 it heads the inbox (*length bytes), 0 not yet, -1 the connection was lost.
int awaitInInbox(uint32_t type, size_t* length) {
    for (int i = 0; i < kMessagesPerPoll; ++i) {
        int r = nextInStream(length);
        if (r < 0) {
            lose();
            return -1;
        }
        if (r == 0) return 0;
        if (proto::getU32(gInbox) == type) return 1;
        setAside(gInbox, *length);
        consumeInbox(*length);
    }
    return 0;
}

void printConnected() {
    std::printf("connected to server %s\n", gServerText);
    std::fflush(stdout);
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
    NetClose();
    gStarted = 0;
    return 1;
}

int NetConnect(const char* address) {
    if (!gStarted || gConnected || gPhase != kIdle) return 0;
    gLost = 0;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        std::fprintf(stderr, "ERROR: socket open failed <%d>\n", errno);
        return 0;
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(proto::kPort);
    bool valid = parseAddress(address, &server.sin_addr);
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
    toPrintable(welcome.address, gServerText, sizeof gServerText);
    printConnected();
    gConnected = 1;
    return 1;
}

int NetClose() {
    if (gSocket >= 0) close(gSocket);
    gSocket = -1;
    gConnected = 0;
    gPhase = kIdle;
    gPending.clear();
    emptyInbox();
    gOutboxFill = 0;
    gPeerClosed = false;
    gJoinPending = false;
    gLabyrinthPending = false;
    gLost = 0;
    dropHeld();
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
    if (gSocket < 0 || !bytes || count == 0) return 0;
    flushOutbox();
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    if (gOutboxFill == 0) {
        ssize_t n;
        do {
            n = send(gSocket, p, count, MSG_NOSIGNAL | MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        if (n < 0 && !wouldBlock(errno)) return 0;
        if (n > 0) {
            p += n;
            count -= static_cast<size_t>(n);
        }
        if (count == 0) return 1;
    }
    // What the socket cannot take now waits, whole, behind what waits already.
    if (gOutboxFill + count > kOutboxCapacity) return 0;
    std::memcpy(gOutbox + gOutboxFill, p, count);
    gOutboxFill += count;
    return 1;
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
    size_t length = 0;
    if (inboxMessage(&length) != 0 || gPeerClosed) return 1;
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
    if (gHeldReady) {
        blocks.clear();
        appendBlocks(gHeld, gHeldCount, blocks);
        dropHeld();
        return 1;
    }
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
    proto::BlockRecord* records = decodeRecords(data, n);
    delete[] data;
    if (!records) return 0;
    appendBlocks(records, n, blocks);
    delete[] records;
    return 1;
}

int NetBeginConnect(const char* address) {
    if (gConnected || gPhase != kIdle) return 0;
    NetClose();
    gFailure = "";
    gServerText[0] = '\0';
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(proto::kPort);
    if (!parseAddress(address, &server.sin_addr)) {
        std::fprintf(stderr, "ERROR: connect to %s failed <%d>\n", address ? address : "", EINVAL);
        gFailure = "BAD ADDRESS";
        return 0;
    }
    if (!gStarted) {
        gFailure = "NO NETWORK";
        return 0;
    }
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        std::fprintf(stderr, "ERROR: socket open failed <%d>\n", errno);
        gFailure = "NO NETWORK";
        return 0;
    }
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0 ||
        (connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0 &&
         errno != EINPROGRESS)) {
        std::fprintf(stderr, "ERROR: connect to %s failed <%d>\n", address, errno);
        gFailure = connectFailure(errno);
        close(fd);
        return 0;
    }
    gSocket = fd;
    gPhase = kConnecting;
    gPhaseSince = clockMs();
    copyText(gAddress, address, sizeof gAddress);
    return 1;
}

int NetPollConnect() {
    if (gConnected) return 1;
    if (gPhase == kIdle) return -1;
    const int64_t now = clockMs();
    if (gPhase == kConnecting) {
        pollfd p{gSocket, POLLOUT, 0};
        if (poll(&p, 1, 0) > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            if (getsockopt(gSocket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
            if (error != 0) {
                std::fprintf(stderr, "ERROR: connect to %s failed <%d>\n", gAddress, error);
                NetClose();
                gFailure = connectFailure(error);
                return -1;
            }
            int on = 1;
            setsockopt(gSocket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            gPhase = kGreeting;
            gPhaseSince = now;
        } else if (now - gPhaseSince >= gTimeoutMs) {
            std::fprintf(stderr, "ERROR: connect to %s failed <%d>\n", gAddress, ETIMEDOUT);
            NetClose();
            gFailure = "NO ANSWER";
            return -1;
        } else {
            return 0;
        }
    }
    fillInbox();
    const char* why;
    if (gInboxFill >= proto::kWelcomeSize) {
        proto::Welcome welcome;
        proto::decodeWelcome(gInbox, proto::kWelcomeSize, &welcome);
        consumeInbox(proto::kWelcomeSize);
        if (welcome.magic == proto::kWelcomeMagic) {
            toPrintable(welcome.address, gServerText, sizeof gServerText);
            printConnected();
            gConnected = 1;
            gPhase = kIdle;
            return 1;
        }
        why = "NOT A GAME SERVER";
    } else if (gPeerClosed) {
        why = "NO GREETING";
    } else if (now - gPhaseSince >= gTimeoutMs) {
        why = "NO ANSWER";
    } else {
        return 0;
    }
    std::printf("invalid server command ... closing connection\n");
    std::fflush(stdout);
    NetClose();
    gFailure = why;
    return -1;
}

const char* NetFailure() {
    return gFailure;
}

const char* NetServerText() {
    return gServerText;
}

int NetLost() {
    return gLost;
}

int NetBeginJoin() {
    if (!gConnected) return 0;
    uint8_t message[proto::kJoinSize];
    NetSend(message, proto::encodeJoin(message, nickName));
    gJoinPending = true;
    gJoinSince = clockMs();
    return 1;
}

int NetPollJoin(int32_t* accepted, int32_t* playerId, double colour[3]) {
    *accepted = 0;
    *playerId = 0;
    colour[0] = colour[1] = colour[2] = 0;
    if (!gJoinPending) return -1;
    size_t length = 0;
    const int r = awaitInInbox(proto::kJoinReply, &length);
    if (r < 0) return -1;
    if (r > 0) {
        proto::JoinReply reply;
        bool valid = proto::decodeJoinReply(gInbox, length, &reply);
        consumeInbox(length);
        gJoinPending = false;
        if (valid) {
            *accepted = reply.accepted;
            *playerId = reply.playerId;
            for (int c = 0; c < 3; ++c)
                colour[c] = reply.colour[c];
        }
        return 1;
    }
    if (clockMs() - gJoinSince < gTimeoutMs) return 0;
    gJoinPending = false;
    gFailure = "NO ANSWER TO JOIN";
    return -1;
}

int NetBeginFetchLabyrinth() {
    if (!gConnected) return 0;
    dropHeld();
    uint8_t request[proto::kIdMessageSize];
    NetSend(request, proto::encodeIdMessage(request, proto::kLabyrinthRequest, 0));
    gLabyrinthPending = true;
    gLabyrinthSince = clockMs();
    return 1;
}

int NetPollLabyrinth() {
    if (gHeldReady) return 1;
    if (!gLabyrinthPending) return -1;
    size_t length = 0;
    const int r = awaitInInbox(proto::kLabyrinth, &length);
    if (r < 0) return -1;
    if (r > 0) {
        gLabyrinthPending = false;
        int32_t n = 0;
        proto::BlockRecord* records = nullptr;
        if (proto::decodeLabyrinthHead(gInbox, length, &n))
            records = decodeRecords(gInbox + proto::kLabyrinthHeadSize, n);
        consumeInbox(length);
        if (!records) {
            gFailure = "BAD LABYRINTH";
            return -1;
        }
        gHeld = records;
        gHeldCount = n;
        gHeldReady = true;
        return 1;
    }
    const int64_t lastByte = gLastByte > gLabyrinthSince ? gLastByte : gLabyrinthSince;
    if (!expired(gLabyrinthSince, lastByte)) return 0;
    lose();
    gFailure = "NO LABYRINTH";
    return -1;
}

int NetNextMessage(void* buffer, size_t capacity) {
    if (!buffer) return 0;
    while (gPending.count() > 0) {
        PendingMessage* pending = gPending.first();
        const bool fits = pending->size <= capacity;
        if (fits) std::memcpy(buffer, pending->bytes, pending->size);
        gPending.remove(1);
        if (fits) return 1;
    }
    if (gLost) return -1;
    if (gSocket < 0 || !gConnected) return 0;
    flushOutbox();
    for (int skipped = 0; skipped < kMaxSkipped; ++skipped) {
        size_t length = 0;
        int r = nextInStream(&length);
        if (r == 0) return 0;
        if (r < 0) {
            lose();
            return -1;
        }
        const bool fits = length <= capacity;
        if (fits) std::memcpy(buffer, gInbox, length);
        consumeInbox(length);
        if (fits) return 1;
    }
    return 0;
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

int NetSendChat(int32_t playerId, const char* text) {
    uint8_t message[proto::kChatLineSize];
    proto::ChatLine line;
    line.playerId = playerId;
    copyText(line.nick, nickName, sizeof line.nick);
    copyText(line.text, text ? text : "", sizeof line.text);
    return announce(message, proto::encodeChatLine(message, line));
}
