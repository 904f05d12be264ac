#include "discovery.h"

#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

DiscoveryResponder::~DiscoveryResponder() {
    if (fd_ >= 0) close(fd_);
}

bool DiscoveryResponder::open(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        int err = errno;
        close(fd);
        errno = err;
        return false;
    }
    fd_ = fd;
    return true;
}

int DiscoveryResponder::answerPending(const proto::DiscoveryAnswer& answer, int64_t nowMs) {
    int answered = 0;
    for (int i = 0; i < kDatagramsPerPass && fd_ >= 0; ++i) {
        // One byte more than a query, so that a longer datagram shows its wrong size.
        uint8_t datagram[proto::kDiscoveryQuerySize + 1];
        sockaddr_in from = {};
        socklen_t fromSize = sizeof from;
        ssize_t n = recvfrom(fd_, datagram, sizeof datagram, MSG_DONTWAIT,
                             reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        proto::DiscoveryQuery query;
        if (fromSize != sizeof from || from.sin_family != AF_INET ||
            !proto::decodeDiscoveryQuery(datagram, static_cast<size_t>(n), &query) ||
            !budget_.take(nowMs))
            continue;
        proto::DiscoveryAnswer reply = answer;
        reply.nonce = query.nonce;
        uint8_t wire[proto::kDiscoveryAnswerSize];
        proto::encodeDiscoveryAnswer(wire, reply);
        if (sendto(fd_, wire, sizeof wire, MSG_DONTWAIT | MSG_NOSIGNAL,
                   reinterpret_cast<sockaddr*>(&from), sizeof from) == sizeof wire)
            ++answered;
    }
    return answered;
}
