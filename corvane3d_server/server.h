// The lobby and relay server: one thread, one poll loop over the listening socket and the
// client connections, each read and written without blocking.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <netinet/in.h>
#include <poll.h>

#include "console_log.h"
#include "discovery.h"
#include "list.h"
#include "peer_rules.h"
#include "protocol.h"

// An owned, growable run of bytes consumed from the front.
class ByteQueue {
  public:
    ByteQueue() = default;
    ByteQueue(const ByteQueue&) = delete;
    ByteQueue& operator=(const ByteQueue&) = delete;
    // Frees the storage.
    ~ByteQueue();

    // Number of bytes waiting.
    size_t size() const { return end_ - start_; }
    // The first waiting byte; only meaningful while size() > 0.
    const uint8_t* data() const { return buffer_ + start_; }
    // Adds n bytes at the back.
    void append(const uint8_t* bytes, size_t n);
    // Drops the first n bytes (all of them when n >= size()).
    void consume(size_t n);
    // Drops every byte and keeps the storage.
    void clear() { start_ = end_ = 0; }

  private:
    uint8_t* buffer_ = nullptr;
    size_t start_ = 0;
    size_t end_ = 0;
    size_t capacity_ = 0;
};

// One accepted connection and what the server knows about its player.
struct ClientRecord {
    int socket = -1;
    sockaddr_in peer = {};
    int32_t playerId = 0;
    int32_t joined = 0;
    double colour[3] = {0, 0, 0};
    // Set at the first admission: a player coming back after a game keeps its colour.
    bool coloured = false;
    char nick[proto::kTextSize] = {};
    char address[proto::kTextSize] = {};

    // Bytes read but not yet handled: whole messages and the start of the next one.
    uint8_t input[4 * proto::kServerBufferSize] = {};
    size_t inputFill = 0;
    // Bytes accepted for sending that the socket has not taken yet.
    ByteQueue output;
    // Set when the connection is to be dropped at the end of the current pass.
    bool closing = false;
    // Clock times (ms) since when an unfinished message has waited in input and since when
    // output has waited for the socket; -1 while there is none.
    int64_t partialSinceMs = -1;
    int64_t backlogSinceMs = -1;
    // The connection's message budget; excess messages are dropped, logged once.
    MessageBudget budget;
    bool overBudgetLogged = false;

    ClientRecord() = default;
    ClientRecord(const ClientRecord&) = delete;
    ClientRecord& operator=(const ClientRecord&) = delete;
    // Closes the socket.
    ~ClientRecord();
};

enum class GameState { kLobby = 1, kGame = 2 };

class Server {
  public:
    static constexpr int kPassWaitMs = 100;
    static constexpr int32_t kMaxConnections = 256;
    static constexpr size_t kOutputCap = 256 * 1024;
    static constexpr int kReadsPerPass = 16;
    static constexpr int32_t kMaxMembers = 7;
    static constexpr int32_t kMaxPlayerId = 100;
    // A peer whose message stays unfinished this long is dropped.
    static constexpr int64_t kUnfinishedMessageMs = 10000;
    // A peer whose output has waited for its socket this long is dropped.
    static constexpr int64_t kStuckReaderMs = 5000;

    // The millisecond clock the time-outs and budgets read.
    using ClockSource = int64_t (*)();

    // log receives the console lines, each written whole or dropped (never waited for); errors
    // the start-up failures; programName prefixes the start-up failure lines.
    Server(const char* programName, FILE* log, FILE* errors);
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    // Closes the listening socket and every connection without sending anything.
    ~Server();

    // Prints the start-up lines, then opens a listening socket on every interface at port, and
    // the discovery socket on UDP port (without discovery, and one log line, when that fails).
    // Returns false after printing the failure line to errors when the listening socket fails.
    bool start(uint16_t port = proto::kPort);

    // One pass of the loop: waits up to timeoutMs for activity, accepts new connections, reads
    // and handles every complete message, writes what is queued, then drops closed peers.
    void runPass(int timeoutMs);

    // Replaces the clock (a monotonic millisecond count); nullptr restores the steady clock.
    void setClock(ClockSource source);

    // Runs passes of 100 ms until *quit becomes nonzero.
    void run(const volatile std::sig_atomic_t* quit);

    // Takes a connected socket as a new client, as an accepted connection is taken: logs it,
    // adds a record and queues the Welcome. Closes fd and returns false when the table is full.
    bool adoptConnection(int fd, const sockaddr_in& peer);

    // Observers for tests and tools.
    int32_t clientCount() const { return clients_.count(); }
    GameState gameState() const { return state_; }
    int32_t nextPlayerId() const { return nextPlayerId_; }
    int32_t labyrinthCount() const { return labyrinth_.count(); }
    const char* serverAddress() const { return serverAddress_; }
    int32_t memberCount();
    int64_t droppedLogLines() const { return log_.droppedLines(); }

  private:
    void acceptPending();
    void answerDiscovery();
    void readClient(ClientRecord* rec);
    void handleMessage(ClientRecord* rec, uint8_t* message, size_t length);
    void handleJoin(ClientRecord* rec, const uint8_t* message);
    void handleLeaveGame(ClientRecord* rec, uint8_t* message, size_t length);
    void handleStartGame(ClientRecord* rec, const uint8_t* message, size_t length);
    void handleEndGame(ClientRecord* rec);
    void handleLabyrinthRequest(ClientRecord* rec);
    void handleChatLine(ClientRecord* rec, uint8_t* message);
    void sendPlayerInfo(ClientRecord* to, const ClientRecord* about);
    int32_t takePlayerId();
    void openLobby();
    void relay(ClientRecord* from, const uint8_t* bytes, size_t length);
    void sendTo(ClientRecord* rec, const uint8_t* bytes, size_t length);
    void flushOutput(ClientRecord* rec);
    void checkTimeouts();
    void dropClosedClients();
    bool anyJoined();
    void encodeLabyrinth();
    int64_t now() const { return clock_(); }
    const char* nickOf(const ClientRecord* rec);

    const char* programName_;
    ConsoleLog log_;
    FILE* errors_;
    ClockSource clock_;
    char printableNick_[proto::kTextSize] = {};
    int listenSocket_ = -1;
    GameState state_ = GameState::kLobby;
    int32_t nextPlayerId_ = 1;
    List<ClientRecord> clients_;
    List<proto::BlockRecord> labyrinth_;
    ByteQueue labyrinthWire_;
    char hostName_[256] = {};
    char serverAddress_[proto::kTextSize] = {};

    DiscoveryResponder discovery_;

    pollfd pollSet_[kMaxConnections + 2] = {};
    ClientRecord* pollOwner_[kMaxConnections + 2] = {};
};
