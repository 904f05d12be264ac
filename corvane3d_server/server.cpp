#include "server.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "labyrinth.h"
#include "random.h"

namespace {

constexpr double kColourDivisor = 49150.5;
constexpr int kListenBacklog = SOMAXCONN;
constexpr int kAcceptsPerPass = 32;
// Keeps what the kernel holds for a slow peer small, so the output cap governs its backlog.
constexpr int kSocketSendBuffer = 64 * 1024;

bool wouldBlock(int err) {
    return err == EAGAIN || err == EWOULDBLOCK;
}

void makeNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

void findServerAddress(char* hostName, size_t hostSize, char* address, size_t addressSize) {
    if (gethostname(hostName, hostSize) != 0) hostName[0] = '\0';
    hostName[hostSize - 1] = '\0';
    std::snprintf(address, addressSize, "127.0.0.1");
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (hostName[0] == '\0' || getaddrinfo(hostName, nullptr, &hints, &found) != 0) return;
    for (addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family != AF_INET) continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        char text[INET_ADDRSTRLEN];
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text))
            std::snprintf(address, addressSize, "%s", text);
        break;
    }
    freeaddrinfo(found);
}

} // namespace

ByteQueue::~ByteQueue() {
    delete[] buffer_;
}

void ByteQueue::append(const uint8_t* bytes, size_t n) {
    if (n == 0) return;
    if (end_ + n > capacity_) {
        size_t waiting = size();
        if (waiting + n <= capacity_ && start_ >= capacity_ / 2) {
            std::memmove(buffer_, buffer_ + start_, waiting);
        } else {
            size_t grown = capacity_ ? capacity_ : 1024;
            while (grown < waiting + n)
                grown *= 2;
            auto* bigger = new uint8_t[grown];
            if (waiting) std::memcpy(bigger, buffer_ + start_, waiting);
            delete[] buffer_;
            buffer_ = bigger;
            capacity_ = grown;
        }
        start_ = 0;
        end_ = waiting;
    }
    std::memcpy(buffer_ + end_, bytes, n);
    end_ += n;
}

void ByteQueue::consume(size_t n) {
    if (n >= size()) {
        start_ = end_ = 0;
        return;
    }
    start_ += n;
}

ClientRecord::~ClientRecord() {
    if (socket >= 0) close(socket);
}

Server::Server(const char* programName, FILE* log, FILE* errors)
    : programName_(programName ? programName : "corvane3d_server"), log_(log), errors_(errors) {
    encodeLabyrinth();
}

Server::~Server() {
    if (listenSocket_ >= 0) close(listenSocket_);
}

void Server::logLine(const char* format, ...) {
    if (!log_) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(log_, format, args);
    va_end(args);
    std::fflush(log_);
}

bool Server::start(uint16_t port) {
    findServerAddress(hostName_, sizeof hostName_, serverAddress_, sizeof serverAddress_);
    logLine("\n");
    logLine("CORVANE 3D Server\n");
    logLine("Server Name\t: %s\n", hostName_);
    logLine("Server Address\t: %s\n\n", serverAddress_);
    logLine("Press Ctrl-C to quit Server\n\n");

    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        std::fprintf(errors_, "%s: socket open failed <%d>\n", programName_, errno);
        return false;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        std::fprintf(errors_, "%s: bind server_socket failed <%d>\n", programName_, errno);
        close(fd);
        return false;
    }
    if (listen(fd, kListenBacklog) != 0) {
        std::fprintf(errors_, "%s: listen server_socket failed <%d>\n", programName_, errno);
        close(fd);
        return false;
    }
    makeNonBlocking(fd);
    listenSocket_ = fd;
    return true;
}

void Server::run(const volatile std::sig_atomic_t* quit) {
    while (!*quit)
        runPass(kPassWaitMs);
}

void Server::runPass(int timeoutMs) {
    nfds_t n = 0;
    if (listenSocket_ >= 0) {
        pollSet_[n] = pollfd{listenSocket_, POLLIN, 0};
        pollOwner_[n] = nullptr;
        ++n;
    }
    for (ClientRecord* rec = clients_.first(); rec && n <= kMaxConnections;
         rec = clients_.atEnd() ? nullptr : clients_.next()) {
        short events = POLLIN;
        if (rec->output.size() > 0) events |= POLLOUT;
        pollSet_[n] = pollfd{rec->socket, events, 0};
        pollOwner_[n] = rec;
        ++n;
    }

    int ready = poll(pollSet_, n, timeoutMs);
    if (ready <= 0) return;

    for (nfds_t i = 0; i < n; ++i) {
        short revents = pollSet_[i].revents;
        if (revents == 0) continue;
        ClientRecord* rec = pollOwner_[i];
        if (!rec) {
            acceptPending();
            continue;
        }
        if (rec->closing) continue;
        if (revents & POLLOUT) flushOutput(rec);
        if (revents & (POLLIN | POLLHUP | POLLERR)) readClient(rec);
    }
    dropClosedClients();
}

void Server::acceptPending() {
    for (int i = 0; i < kAcceptsPerPass; ++i) {
        sockaddr_in peer = {};
        socklen_t peerSize = sizeof peer;
        int fd = accept4(listenSocket_, reinterpret_cast<sockaddr*>(&peer), &peerSize,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (wouldBlock(errno)) return;
            if (errno == EINTR || errno == ECONNABORTED) continue;
            logLine("server: accept failed.<%d>\n", errno);
            return;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        int sendBuffer = kSocketSendBuffer;
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        adoptConnection(fd, peer);
    }
}

bool Server::adoptConnection(int fd, const sockaddr_in& peer) {
    char address[proto::kTextSize] = {};
    if (peer.sin_family != AF_INET || !inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address))
        std::snprintf(address, sizeof address, "0.0.0.0");
    time_t now = std::time(nullptr);
    if (clients_.count() >= kMaxConnections) {
        logLine("client from %s refused, too many connections, at %s", address, std::ctime(&now));
        close(fd);
        return false;
    }
    makeNonBlocking(fd);
    logLine("client from %s connected at %s", address, std::ctime(&now));
    auto* rec = new ClientRecord;
    rec->socket = fd;
    rec->peer = peer;
    std::memcpy(rec->address, address, sizeof address);
    clients_.append(rec);
    uint8_t welcome[proto::kWelcomeSize];
    sendTo(rec, welcome, proto::encodeWelcome(welcome, serverAddress_));
    return true;
}

void Server::readClient(ClientRecord* rec) {
    for (int reads = 0; reads < kReadsPerPass && !rec->closing; ++reads) {
        size_t space = sizeof rec->input - rec->inputFill;
        ssize_t got = recv(rec->socket, rec->input + rec->inputFill, space, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            if (!wouldBlock(errno)) rec->closing = true;
            return;
        }
        if (got == 0) {
            rec->closing = true;
            return;
        }
        rec->inputFill += static_cast<size_t>(got);

        size_t used = 0;
        while (!rec->closing && rec->inputFill - used >= proto::kHeaderSize) {
            uint32_t length = proto::getU32(rec->input + used + 4);
            if (length < proto::kHeaderSize || length > proto::kServerBufferSize) {
                rec->closing = true;
                return;
            }
            if (rec->inputFill - used < length) break;
            handleMessage(rec, rec->input + used, length);
            used += length;
        }
        if (rec->closing) return;
        std::memmove(rec->input, rec->input + used, rec->inputFill - used);
        rec->inputFill -= used;
        if (static_cast<size_t>(got) < space) return;
    }
}

void Server::handleMessage(ClientRecord* rec, uint8_t* message, size_t length) {
    uint32_t type = proto::getU32(message);
    switch (type) {
    case proto::kJoin:
    case proto::kLeaveGame:
    case proto::kLabyrinthRequest:
    case proto::kStartGame:
    case proto::kEndGame:
        if (length != proto::messageLength(type)) {
            rec->closing = true;
            return;
        }
        break;
    default:
        break;
    }
    switch (type) {
    case proto::kJoin:
        handleJoin(rec, message);
        break;
    case proto::kLeaveGame:
        handleLeaveGame(rec, message, length);
        break;
    case proto::kStartGame:
        handleStartGame(rec, message, length);
        break;
    case proto::kEndGame:
        handleEndGame(rec);
        break;
    case proto::kLabyrinthRequest:
        handleLabyrinthRequest(rec);
        break;
    default:
        relay(rec, message, length);
        break;
    }
}

void Server::handleJoin(ClientRecord* rec, const uint8_t* message) {
    proto::getText(message + 12, rec->nick);
    if (state_ != GameState::kLobby || liveClientCount() >= kLobbySize) {
        uint8_t reply[proto::kJoinReplySize];
        sendTo(rec, reply, proto::encodeJoinReply(reply, proto::JoinReply()));
        logLine("client from %s joined %s denied\n", rec->address, rec->nick);
        return;
    }

    proto::JoinReply accepted;
    accepted.accepted = 1;
    accepted.playerId = nextPlayerId_;
    for (double& c : accepted.colour)
        c = nextRandom() / kColourDivisor;
    rec->joined = 1;
    rec->playerId = nextPlayerId_;
    for (int i = 0; i < 3; ++i)
        rec->colour[i] = accepted.colour[i];
    uint8_t reply[proto::kJoinReplySize];
    sendTo(rec, reply, proto::encodeJoinReply(reply, accepted));
    if (++nextPlayerId_ > kMaxPlayerId) nextPlayerId_ = 1;

    proto::PlayerInfo info;
    info.playerId = rec->playerId;
    std::memcpy(info.nick, rec->nick, sizeof info.nick);
    std::memcpy(info.address, rec->address, sizeof info.address);
    for (int i = 0; i < 3; ++i)
        info.colour[i] = rec->colour[i];
    uint8_t wire[proto::kPlayerInfoSize];
    proto::encodePlayerInfo(wire, info);
    relay(rec, wire, sizeof wire);

    for (int32_t i = 0; i < clients_.count(); ++i) {
        ClientRecord* other = clients_.get(i);
        if (other == rec || !other->joined || other->closing) continue;
        info.playerId = other->playerId;
        std::memcpy(info.nick, other->nick, sizeof info.nick);
        std::memcpy(info.address, other->address, sizeof info.address);
        for (int c = 0; c < 3; ++c)
            info.colour[c] = other->colour[c];
        proto::encodePlayerInfo(wire, info);
        sendTo(rec, wire, sizeof wire);
    }
    logLine("client from %s joined %s accepted\n", rec->address, rec->nick);
}

void Server::handleLeaveGame(ClientRecord* rec, uint8_t* message, size_t length) {
    rec->joined = 0;
    logLine("client from %s left game\n", rec->address);
    proto::putU32(message, proto::kPlayerLeft);
    relay(rec, message, length);
    if (!anyJoined()) state_ = GameState::kLobby;
}

void Server::handleStartGame(ClientRecord* rec, const uint8_t* message, size_t length) {
    if (!rec->joined) return;
    state_ = GameState::kGame;
    logLine("client from %s started game\n", rec->address);
    generatePlanetLabyrinth(labyrinth_);
    encodeLabyrinth();
    relay(rec, message, length);
}

void Server::handleEndGame(ClientRecord* rec) {
    state_ = GameState::kLobby;
    logLine("client from %s ended game\n", rec->address);
    nextPlayerId_ = 1;
    labyrinth_.clear();
    encodeLabyrinth();
}

void Server::handleLabyrinthRequest(ClientRecord* rec) {
    logLine("client from %s asks for the labyrinth\n", rec->address);
    const uint8_t* wire = labyrinthWire_.data();
    sendTo(rec, wire, proto::kLabyrinthHeadSize);
    sendTo(rec, wire + proto::kLabyrinthHeadSize,
           labyrinthWire_.size() - proto::kLabyrinthHeadSize);
}

void Server::encodeLabyrinth() {
    int32_t n = labyrinth_.count();
    if (n > proto::kMaxBlocks) n = proto::kMaxBlocks;
    labyrinthWire_.clear();
    uint8_t head[proto::kLabyrinthHeadSize];
    labyrinthWire_.append(head, proto::encodeLabyrinthHead(head, n));
    uint8_t record[proto::kBlockRecordSize];
    for (int32_t i = 0; i < n; ++i) {
        proto::encodeBlockRecord(record, *labyrinth_.get(i));
        labyrinthWire_.append(record, sizeof record);
    }
}

void Server::relay(ClientRecord* from, const uint8_t* bytes, size_t length) {
    for (ClientRecord* rec = clients_.first(); rec;
         rec = clients_.atEnd() ? nullptr : clients_.next()) {
        if (rec != from && rec->joined) sendTo(rec, bytes, length);
    }
}

void Server::sendTo(ClientRecord* rec, const uint8_t* bytes, size_t length) {
    if (rec->closing || length == 0) return;
    if (rec->output.size() == 0) {
        ssize_t sent;
        do {
            sent = send(rec->socket, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        } while (sent < 0 && errno == EINTR);
        if (sent < 0) {
            if (!wouldBlock(errno)) return;
            sent = 0;
        }
        bytes += sent;
        length -= static_cast<size_t>(sent);
        if (length == 0) return;
    }
    rec->output.append(bytes, length);
    if (rec->output.size() > kOutputCap) rec->closing = true;
}

void Server::flushOutput(ClientRecord* rec) {
    while (rec->output.size() > 0) {
        ssize_t sent =
            send(rec->socket, rec->output.data(), rec->output.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (!wouldBlock(errno)) rec->output.clear();
            return;
        }
        rec->output.consume(static_cast<size_t>(sent));
    }
}

void Server::dropClosedClients() {
    for (;;) {
        int32_t position = 0;
        ClientRecord* gone = nullptr;
        for (int32_t i = 0; i < clients_.count(); ++i) {
            ClientRecord* rec = clients_.get(i);
            if (rec->closing) {
                gone = rec;
                position = i + 1;
                break;
            }
        }
        if (!gone) return;

        uint8_t left[proto::kIdMessageSize];
        proto::encodeIdMessage(left, proto::kPlayerLeft, gone->playerId);
        for (int32_t i = 0; i < clients_.count(); ++i) {
            ClientRecord* rec = clients_.get(i);
            if (rec != gone) sendTo(rec, left, sizeof left);
        }
        time_t now = std::time(nullptr);
        logLine("client from %s disconnected from server %s", gone->address, std::ctime(&now));
        clients_.remove(position);
        if (clients_.count() == 0) state_ = GameState::kLobby;
    }
}

int32_t Server::liveClientCount() {
    int32_t live = 0;
    for (ClientRecord* rec = clients_.first(); rec;
         rec = clients_.atEnd() ? nullptr : clients_.next()) {
        if (!rec->closing) ++live;
    }
    return live;
}

bool Server::anyJoined() {
    for (ClientRecord* rec = clients_.first(); rec;
         rec = clients_.atEnd() ? nullptr : clients_.next()) {
        if (rec->joined && !rec->closing) return true;
    }
    return false;
}
