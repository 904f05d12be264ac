#include "server.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

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
// Keeps what the kernel holds for a slow peer small (less than a labyrinth), so that the output
// queue, its cap and its time-out govern the backlog.
constexpr int kSocketSendBuffer = 32 * 1024;

int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

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
    : programName_(programName ? programName : "corvane3d_server"), log_(log ? fileno(log) : -1),
      errors_(errors), clock_(steadyMs) {
    encodeLabyrinth();
}

Server::~Server() {
    if (listenSocket_ >= 0) close(listenSocket_);
}

void Server::setClock(ClockSource source) {
    clock_ = source ? source : steadyMs;
}

const char* Server::nickOf(const ClientRecord* rec) {
    printableText(rec->nick, printableNick_, sizeof printableNick_);
    return printableNick_;
}

bool Server::start(uint16_t port) {
    findServerAddress(hostName_, sizeof hostName_, serverAddress_, sizeof serverAddress_);
    log_.line("\n");
    log_.line("CORVANE 3D Server\n");
    log_.line("Server Name\t: %s\n", hostName_);
    log_.line("Server Address\t: %s\n\n", serverAddress_);
    log_.line("Press Ctrl-C to quit Server\n\n");

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
    if (!discovery_.open(port))
        log_.line("server: discovery on UDP port %u unavailable <%d>, going on without it\n",
                  static_cast<unsigned>(port), errno);
    return true;
}

void Server::run(const volatile std::sig_atomic_t* quit) {
    while (!*quit)
        runPass(kPassWaitMs);
}

void Server::runPass(int timeoutMs) {
    nfds_t n = 0;
    for (int fd : {listenSocket_, discovery_.socket()}) {
        if (fd < 0) continue;
        pollSet_[n] = pollfd{fd, POLLIN, 0};
        pollOwner_[n] = nullptr;
        ++n;
    }
    // A peer past its budget is not read until the budget refills, so that a flood waits in its
    // own socket instead of costing the loop.
    int64_t t = now();
    bool throttled = false;
    for (ClientRecord* rec = clients_.first(); rec && n < kMaxConnections + 2;
         rec = clients_.atEnd() ? nullptr : clients_.next()) {
        short events = 0;
        if (rec->budget.hasRoom(t))
            events = POLLIN;
        else
            throttled = true;
        if (rec->output.size() > 0) events |= POLLOUT;
        pollSet_[n] = pollfd{rec->socket, events, 0};
        pollOwner_[n] = rec;
        ++n;
    }
    if (throttled && timeoutMs > MessageBudget::kRefillMs) timeoutMs = MessageBudget::kRefillMs;

    int ready = poll(pollSet_, n, timeoutMs);
    if (ready > 0) {
        for (nfds_t i = 0; i < n; ++i) {
            short revents = pollSet_[i].revents;
            if (revents == 0) continue;
            ClientRecord* rec = pollOwner_[i];
            if (!rec) {
                if (pollSet_[i].fd == listenSocket_)
                    acceptPending();
                else
                    answerDiscovery();
                continue;
            }
            if (rec->closing) continue;
            if (revents & POLLOUT) flushOutput(rec);
            if (revents & (POLLIN | POLLHUP | POLLERR)) readClient(rec);
        }
    }
    checkTimeouts();
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
            log_.line("server: accept failed.<%d>\n", errno);
            return;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        int sendBuffer = kSocketSendBuffer;
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        adoptConnection(fd, peer);
    }
}

void Server::answerDiscovery() {
    proto::DiscoveryAnswer answer;
    answer.players = memberCount();
    answer.inGame = state_ == GameState::kGame ? 1 : 0;
    size_t nameLength = std::strlen(hostName_);
    if (nameLength >= sizeof answer.name) nameLength = sizeof answer.name - 1;
    std::memcpy(answer.name, hostName_, nameLength);
    std::memcpy(answer.address, serverAddress_, sizeof answer.address);
    discovery_.answerPending(answer, now());
}

bool Server::adoptConnection(int fd, const sockaddr_in& peer) {
    char address[proto::kTextSize] = {};
    if (peer.sin_family != AF_INET || !inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address))
        std::snprintf(address, sizeof address, "0.0.0.0");
    time_t wall = std::time(nullptr);
    if (clients_.count() >= kMaxConnections) {
        log_.line("client from %s refused, too many connections, at %s", address,
                  std::ctime(&wall));
        close(fd);
        return false;
    }
    makeNonBlocking(fd);
    log_.line("client from %s connected at %s", address, std::ctime(&wall));
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
    // The first read always happens, so that a hang-up is seen even past the budget.
    for (int reads = 0;
         reads < kReadsPerPass && !rec->closing && (reads == 0 || rec->budget.hasRoom(now()));
         ++reads) {
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
        if (rec->inputFill == 0)
            rec->partialSinceMs = -1;
        else if (used > 0 || rec->partialSinceMs < 0)
            rec->partialSinceMs = now();
        if (static_cast<size_t>(got) < space) return;
    }
}

void Server::handleMessage(ClientRecord* rec, uint8_t* message, size_t length) {
    if (!rec->budget.take(now())) {
        if (!rec->overBudgetLogged) {
            rec->overBudgetLogged = true;
            log_.line("client from %s sends too fast, its excess messages are dropped\n",
                      rec->address);
        }
        return;
    }
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
    if (type == proto::kJoin) {
        handleJoin(rec, message);
    } else if (type == proto::kLabyrinthRequest) {
        handleLabyrinthRequest(rec);
    } else if (!rec->joined) {
        // Only members act on the game and speak to the others.
    } else if (type == proto::kLeaveGame) {
        handleLeaveGame(rec, message, length);
    } else if (type == proto::kStartGame) {
        handleStartGame(rec, message, length);
    } else if (type == proto::kEndGame) {
        handleEndGame(rec);
    } else if (type == proto::kChatLine) {
        if (length == proto::kChatLineSize) handleChatLine(rec, message);
    } else if (mayRelay(message, length, rec->playerId)) {
        relay(rec, message, length);
    }
}

void Server::handleJoin(ClientRecord* rec, const uint8_t* message) {
    proto::getText(message + 12, rec->nick);
    proto::JoinReply reply;
    if (rec->joined) {
        // A member joining again keeps its id and colour; only its nick changes.
        reply.accepted = 1;
        reply.playerId = rec->playerId;
        for (int i = 0; i < 3; ++i)
            reply.colour[i] = rec->colour[i];
        uint8_t wire[proto::kJoinReplySize];
        sendTo(rec, wire, proto::encodeJoinReply(wire, reply));
        log_.line("client from %s joined %s accepted\n", rec->address, nickOf(rec));
        return;
    }
    if (state_ != GameState::kLobby || memberCount() >= kMaxMembers) {
        uint8_t wire[proto::kJoinReplySize];
        sendTo(rec, wire, proto::encodeJoinReply(wire, reply));
        log_.line("client from %s joined %s denied\n", rec->address, nickOf(rec));
        return;
    }

    reply.accepted = 1;
    reply.playerId = takePlayerId();
    if (!rec->coloured) {
        for (double& c : rec->colour)
            c = nextRandom() / kColourDivisor;
        rec->coloured = true;
    }
    for (int i = 0; i < 3; ++i)
        reply.colour[i] = rec->colour[i];
    rec->joined = 1;
    rec->playerId = reply.playerId;
    uint8_t wire[proto::kJoinReplySize];
    sendTo(rec, wire, proto::encodeJoinReply(wire, reply));

    for (ClientRecord* other = clients_.first(); other;
         other = clients_.atEnd() ? nullptr : clients_.next()) {
        if (other != rec && other->joined) sendPlayerInfo(other, rec);
    }
    for (ClientRecord* other = clients_.first(); other;
         other = clients_.atEnd() ? nullptr : clients_.next()) {
        if (other != rec && other->joined && !other->closing) sendPlayerInfo(rec, other);
    }
    log_.line("client from %s joined %s accepted\n", rec->address, nickOf(rec));
}

void Server::sendPlayerInfo(ClientRecord* to, const ClientRecord* about) {
    proto::PlayerInfo info;
    info.playerId = about->playerId;
    std::memcpy(info.nick, about->nick, sizeof info.nick);
    std::memcpy(info.address, about->address, sizeof info.address);
    for (int c = 0; c < 3; ++c)
        info.colour[c] = about->colour[c];
    uint8_t wire[proto::kPlayerInfoSize];
    sendTo(to, wire, proto::encodePlayerInfo(wire, info));
}

int32_t Server::takePlayerId() {
    for (int32_t tries = 0; tries < kMaxPlayerId; ++tries) {
        int32_t id = nextPlayerId_;
        if (++nextPlayerId_ > kMaxPlayerId) nextPlayerId_ = 1;
        bool held = false;
        for (ClientRecord* rec = clients_.first(); rec && !held;
             rec = clients_.atEnd() ? nullptr : clients_.next())
            held = rec->playerId == id;
        if (!held) return id;
    }
    return nextPlayerId_;
}

void Server::handleLeaveGame(ClientRecord* rec, uint8_t* message, size_t length) {
    rec->joined = 0;
    log_.line("client from %s left game\n", rec->address);
    // The leave always names the leaver, whatever id the message carried.
    proto::putU32(message, proto::kPlayerLeft);
    proto::putI32(message + 8, rec->playerId);
    relay(rec, message, length);
    rec->playerId = 0;
    if (!anyJoined()) openLobby();
}

void Server::handleStartGame(ClientRecord* rec, const uint8_t* message, size_t length) {
    if (state_ != GameState::kLobby) return;
    state_ = GameState::kGame;
    log_.line("client from %s started game\n", rec->address);
    generatePlanetLabyrinth(labyrinth_);
    encodeLabyrinth();
    relay(rec, message, length);
}

void Server::handleEndGame(ClientRecord* rec) {
    log_.line("client from %s ended game\n", rec->address);
    nextPlayerId_ = 1;
    labyrinth_.clear();
    encodeLabyrinth();
    openLobby();
}

void Server::openLobby() {
    if (state_ == GameState::kLobby) return;
    state_ = GameState::kLobby;
    uint8_t wire[proto::kHeaderOnlySize];
    proto::encodeHeaderOnly(wire, proto::kLobbyOpen);
    for (ClientRecord* rec = clients_.first(); rec;
         rec = clients_.atEnd() ? nullptr : clients_.next())
        sendTo(rec, wire, sizeof wire);
}

void Server::handleLabyrinthRequest(ClientRecord* rec) {
    log_.line("client from %s asks for the labyrinth\n", rec->address);
    const uint8_t* wire = labyrinthWire_.data();
    sendTo(rec, wire, proto::kLabyrinthHeadSize);
    sendTo(rec, wire + proto::kLabyrinthHeadSize,
           labyrinthWire_.size() - proto::kLabyrinthHeadSize);
}

void Server::handleChatLine(ClientRecord* rec, uint8_t* message) {
    rewriteChatLine(message, rec->playerId, rec->nick);
    relay(rec, message, proto::kChatLineSize);
    sendTo(rec, message, proto::kChatLineSize);
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
        rec->backlogSinceMs = now();
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
            break;
        }
        rec->output.consume(static_cast<size_t>(sent));
    }
    if (rec->output.size() == 0) rec->backlogSinceMs = -1;
}

void Server::checkTimeouts() {
    int64_t t = now();
    for (ClientRecord* rec = clients_.first(); rec;
         rec = clients_.atEnd() ? nullptr : clients_.next()) {
        if (rec->closing) continue;
        if (rec->partialSinceMs >= 0 && t - rec->partialSinceMs >= kUnfinishedMessageMs) {
            rec->closing = true;
            log_.line("client from %s dropped, its message stayed unfinished\n", rec->address);
        } else if (rec->backlogSinceMs >= 0 && t - rec->backlogSinceMs >= kStuckReaderMs) {
            rec->closing = true;
            log_.line("client from %s dropped, it stopped reading\n", rec->address);
        }
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
        time_t wall = std::time(nullptr);
        log_.line("client from %s disconnected from server %s", gone->address, std::ctime(&wall));
        bool wasMember = gone->joined;
        clients_.remove(position);
        // The last member gone, by leaving or by losing its connection, ends the game.
        if (clients_.count() == 0 || (wasMember && !anyJoined())) openLobby();
    }
}

int32_t Server::memberCount() {
    int32_t members = 0;
    for (ClientRecord* rec = clients_.first(); rec;
         rec = clients_.atEnd() ? nullptr : clients_.next()) {
        if (rec->joined && !rec->closing) ++members;
    }
    return members;
}

bool Server::anyJoined() {
    return memberCount() > 0;
}
