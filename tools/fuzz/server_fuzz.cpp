// libFuzzer target: arbitrary byte streams from three peers through the server's message
// assembly and handlers, over socketpairs. Checks that whatever the server sends back is a
// well-framed stream of messages.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "protocol.h"
#include "random.h"
#include "server.h"

namespace {

constexpr int kPeers = 3;
constexpr size_t kLargestMessage =
    proto::kLabyrinthHeadSize + proto::kBlockRecordSize * proto::kMaxBlocks;

// The server's clock: it moves only when the input says so, by whole seconds.
int64_t fuzzNowMs = 0;
int64_t fuzzClock() {
    return fuzzNowMs;
}

int counterSource() {
    static unsigned state = 1;
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) & 0x7fff);
}

// Follows the framing of what one peer receives; the first 44 bytes are the greeting.
struct StreamCheck {
    uint8_t header[8];
    size_t headerFill = 0;
    size_t remaining = 0;

    void feed(const uint8_t* p, size_t n) {
        while (n > 0) {
            if (remaining > 0) {
                size_t take = n < remaining ? n : remaining;
                remaining -= take;
                p += take;
                n -= take;
                continue;
            }
            header[headerFill++] = *p++;
            --n;
            if (headerFill < 8) continue;
            headerFill = 0;
            uint32_t type = proto::getU32(header);
            uint32_t length = proto::getU32(header + 4);
            if (length < 8 || length > kLargestMessage) {
                std::fprintf(stderr, "bad frame: type %u length %u\n", type, length);
                std::abort();
            }
            // The Labyrinth head announces its records, which follow as part of the message.
            remaining = length - 8;
        }
    }
};

void drain(int fd, StreamCheck& check) {
    uint8_t buf[65536];
    for (;;) {
        ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n <= 0) return;
        check.feed(buf, static_cast<size_t>(n));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FILE* devNull = std::fopen("/dev/null", "w");
    setRandomSource(counterSource);

    Server server("server_fuzz", devNull, devNull);
    fuzzNowMs = 0;
    server.setClock(fuzzClock);
    int peer[kPeers];
    bool open[kPeers];
    StreamCheck checks[kPeers];
    for (int i = 0; i < kPeers; ++i) {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) std::abort();
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(0x7f000001u + i);
        server.adoptConnection(pair[0], address);
        peer[i] = pair[1];
        open[i] = true;
    }

    // Each step: one control byte (peer = low 2 bits mod 3, action = high bits: 63 closes the
    // peer, 62 runs an extra pass, 61 moves the clock on by 1, 6 or 11 s), then for a write a
    // length byte and that many bytes.
    size_t at = 0;
    while (at < size) {
        uint8_t control = data[at++];
        int who = (control & 3) % kPeers;
        int action = control >> 2;
        if (action == 63) {
            if (open[who]) {
                close(peer[who]);
                open[who] = false;
            }
        } else if (action == 62) {
            server.runPass(0);
        } else if (action == 61) {
            // Time passes: budgets refill, unfinished messages and stuck readers time out.
            fuzzNowMs += 1000 * (1 + who * 5);
        } else if (open[who] && at < size) {
            size_t n = data[at++];
            if (n > size - at) n = size - at;
            if (n > 0) send(peer[who], data + at, n, MSG_DONTWAIT | MSG_NOSIGNAL);
            at += n;
        }
        server.runPass(0);
        for (int i = 0; i < kPeers; ++i)
            if (open[i]) drain(peer[i], checks[i]);
    }
    for (int i = 0; i < kPeers; ++i)
        if (open[i]) close(peer[i]);
    server.runPass(0);
    if (server.clientCount() != 0) {
        std::fprintf(stderr, "closed peers still in the table: %d\n", server.clientCount());
        std::abort();
    }
    return 0;
}
