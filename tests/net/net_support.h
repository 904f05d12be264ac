// Sockets for the network tests: a scripted fake server on 127.0.0.1:1234 driven by a thread, the
// real server as a child process, raw client sockets, and a record of the sizes the client's recv
// calls ask for.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <netinet/in.h>
#include <sys/types.h>
#include <thread>
#include <vector>

#include "net.h"
#include "protocol.h"

namespace nettest {

using Bytes = std::vector<uint8_t>;

// Sends all bytes on fd (ignoring a closed peer); false when not all were written.
bool sendAll(int fd, const void* bytes, size_t count);
inline bool sendAll(int fd, const Bytes& bytes) {
    return sendAll(fd, bytes.data(), bytes.size());
}
// Reads exactly count bytes from fd within timeoutMs; the bytes read so far on failure.
Bytes readBytes(int fd, size_t count, int timeoutMs = 3000);
// The 44-byte greeting with the given magic and address text.
Bytes welcome(uint32_t magic = proto::kWelcomeMagic, const char* address = "127.0.0.1");
// A raw header with any type and length field.
Bytes header(uint32_t type, uint32_t length);
// 127.0.0.1, port 1234.
sockaddr_in loopbackPort();
// Opens a plain TCP connection to 127.0.0.1:1234; -1 on failure.
int connectRaw();

// A listening socket on 127.0.0.1:1234 whose first accepted connection is handed to script on a
// thread; later connections are counted and closed.
class FakeServer {
  public:
    using Script = std::function<void(FakeServer&, int fd)>;
    explicit FakeServer(Script script);
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    bool listening() const { return listenFd_ >= 0; }
    // Connections accepted so far.
    int accepted() const { return accepted_.load(); }
    // True once the destructor has begun: scripts stop waiting.
    bool stopping() const { return stop_.load(); }
    // Blocks until the script has finished (at most timeoutMs); true when it has.
    bool waitDone(int timeoutMs = 3000) const;
    // Reads from fd until the client closes or the server stops; everything read.
    Bytes readUntilClosed(int fd);
    // Waits until the client closes fd (or the server stops); true on a close.
    bool waitClosed(int fd);

  private:
    void run();

    int listenFd_ = -1;
    Script script_;
    std::atomic<int> accepted_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// The real server as a child process, listening once the constructor returns (check running()).
class ServerProcess {
  public:
    ServerProcess();
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    bool running() const { return running_; }
    // Ends the server (Ctrl-C, then kill after 2 s) and waits for it.
    void stop();

  private:
    pid_t pid_ = -1;
    bool running_ = false;
};

// Records the length argument of every recv made by the calling thread while active.
class RecvRecorder {
  public:
    RecvRecorder();
    ~RecvRecorder();
    std::vector<size_t> asks() const;
};

// Puts the network layer into the started, unconnected state with a short receive bound, and
// back to the defaults afterwards.
class NetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NetCleanup();
        ASSERT_EQ(NetStartup(), 1);
        NetSetReceiveTimeout(300);
    }
    void TearDown() override {
        NetCleanup();
        NetSetReceiveTimeout(5000);
    }
};

} // namespace nettest
