// Drives the real server binary as a child process and talks to it over loopback sockets.
#pragma once

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "protocol.h"

namespace harness {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

inline int msLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Collects what a server writes into a pipe, on a thread of its own that a test can pause so
// that the pipe fills up.
class OutputReader {
  public:
    OutputReader() = default;
    OutputReader(const OutputReader&) = delete;
    OutputReader& operator=(const OutputReader&) = delete;
    ~OutputReader() { finish(); }

    // Starts reading fd (owned from here on).
    void begin(int fd) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            output_.clear();
            closed_ = false;
            paused_ = false;
        }
        pipe_ = fd;
        reader_ = std::thread([this] { readOutput(); });
    }

    // Waits for the writer's end to close, then closes the pipe.
    void finish() {
        resume();
        if (reader_.joinable()) reader_.join();
        if (pipe_ >= 0) close(pipe_);
        pipe_ = -1;
    }

    // Stops reading (the pipe fills) until resume().
    void pause() {
        std::lock_guard<std::mutex> lock(mutex_);
        paused_ = true;
    }
    void resume() {
        std::lock_guard<std::mutex> lock(mutex_);
        paused_ = false;
        changed_.notify_all();
    }

    // True once text has appeared in the output (searched from the start), within timeoutMs.
    bool waitFor(const std::string& text, int timeoutMs) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            return output_.find(text) != std::string::npos || closed_;
        }) && output_.find(text) != std::string::npos;
    }

    // True once text has appeared at least n times, within timeoutMs.
    bool waitForCount(const std::string& text, int n, int timeoutMs) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (countOf(text) < n) {
            if (msLeft(deadline) == 0) return false;
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait_for(lock, std::chrono::milliseconds(10));
        }
        return true;
    }

    // Number of times text appears in the output so far.
    int countOf(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        int n = 0;
        for (size_t at = output_.find(text); at != std::string::npos;
             at = output_.find(text, at + text.size()))
            ++n;
        return n;
    }

    // Everything read so far.
    std::string output() {
        std::lock_guard<std::mutex> lock(mutex_);
        return output_;
    }

  private:
    void readOutput() {
        char buf[4096];
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return !paused_; });
            }
            ssize_t n = read(pipe_, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            std::lock_guard<std::mutex> lock(mutex_);
            if (n <= 0) {
                closed_ = true;
                changed_.notify_all();
                return;
            }
            output_.append(buf, static_cast<size_t>(n));
            changed_.notify_all();
        }
    }

    int pipe_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string output_;
    bool closed_ = false;
    bool paused_ = false;
};

// The server binary running as a child, its standard output and error collected by a thread.
class ServerProcess {
  public:
    ServerProcess() = default;
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    // Interrupts the child if it still runs and reaps it.
    ~ServerProcess() { stop(); }

    // Starts the binary; true once its start-up lines are out. pipeSize > 0 shrinks the output
    // pipe to that many bytes.
    bool start(const char* path = CORVANE_SERVER_BIN, int pipeSize = 0) {
        int out[2];
        if (pipe(out) != 0) return false;
        if (pipeSize > 0) fcntl(out[0], F_SETPIPE_SZ, pipeSize);
        pid_ = fork();
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(out[1], 2);
            close(out[0]);
            close(out[1]);
            execl(path, path, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        output_.begin(out[0]);
        return waitFor("Press Ctrl-C to quit Server\n\n", 5000) && waitListening(5000);
    }

    // Starts the binary, retrying while another process holds the port; true once it listens.
    bool startRetrying(int timeoutMs = 5000, int pipeSize = 0) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (start(CORVANE_SERVER_BIN, pipeSize)) return true;
            stop();
            if (msLeft(deadline) == 0) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    // True once the child owns a socket listening on the server port, false if it exits first.
    bool waitListening(int timeoutMs) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (pid_ <= 0) return false;
            if (ownsListener()) return true;
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                output_.finish();
                return false;
            }
            if (msLeft(deadline) == 0) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Sends SIGINT and waits up to timeoutMs for the exit; returns the exit status, -1 on timeout.
    int interrupt(int timeoutMs) {
        if (pid_ <= 0) return exitStatus_;
        kill(pid_, SIGINT);
        return waitExit(timeoutMs);
    }

    // Waits up to timeoutMs for the child to end; returns its exit status or -1.
    int waitExit(int timeoutMs) {
        if (pid_ <= 0) return exitStatus_;
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int status = 0;
            pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                output_.finish();
                return exitStatus_;
            }
            if (msLeft(deadline) == 0) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    // Ends the child (SIGINT, then SIGKILL) and the reader thread.
    void stop() {
        if (pid_ > 0 && interrupt(2000) < 0) {
            kill(pid_, SIGKILL);
            waitExit(2000);
        }
        output_.finish();
    }

    bool waitFor(const std::string& text, int timeoutMs) {
        return output_.waitFor(text, timeoutMs);
    }
    bool waitForCount(const std::string& text, int n, int timeoutMs) {
        return output_.waitForCount(text, n, timeoutMs);
    }
    int countOf(const std::string& text) { return output_.countOf(text); }
    std::string output() { return output_.output(); }
    // The reader of the child's output, to pause and resume it.
    OutputReader& reader() { return output_; }

    pid_t pid() const { return pid_; }

  private:
    // Looks for a LISTEN socket on the server port in /proc/net/tcp whose inode is one of the
    // child's descriptors.
    bool ownsListener() {
        FILE* f = std::fopen("/proc/net/tcp", "r");
        if (!f) return false;
        char line[512];
        std::vector<unsigned long> inodes;
        while (std::fgets(line, sizeof line, f)) {
            unsigned localPort = 0, state = 0;
            unsigned long inode = 0;
            if (std::sscanf(line, " %*d: %*x:%x %*x:%*x %x %*x:%*x %*x:%*x %*x %*u %*u %lu",
                            &localPort, &state, &inode) == 3 &&
                localPort == proto::kPort && state == 0x0A)
                inodes.push_back(inode);
        }
        std::fclose(f);
        for (unsigned long inode : inodes) {
            char want[64];
            std::snprintf(want, sizeof want, "socket:[%lu]", inode);
            for (int fd = 0; fd < 16; ++fd) {
                char path[64], target[64] = {};
                std::snprintf(path, sizeof path, "/proc/%d/fd/%d", static_cast<int>(pid_), fd);
                ssize_t n = readlink(path, target, sizeof target - 1);
                if (n > 0 && std::strcmp(target, want) == 0) return true;
            }
        }
        return false;
    }

    pid_t pid_ = -1;
    int exitStatus_ = -1;
    OutputReader output_;
};

// One TCP connection to the server on 127.0.0.1 with bounded waits.
class Client {
  public:
    Client() = default;
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client() { close(); }

    // Connects to 127.0.0.1:port (retrying refused connects for up to timeoutMs); receiveBuffer > 0
    // shrinks SO_RCVBUF before connecting.
    bool connect(int timeoutMs = 2000, int receiveBuffer = 0, uint16_t port = proto::kPort) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd_ < 0) return false;
            if (receiveBuffer > 0)
                setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
            int one = 1;
            setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            sockaddr_in a = {};
            a.sin_family = AF_INET;
            a.sin_port = htons(port);
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return true;
            close();
            if (msLeft(deadline) == 0) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // Connects and reads the 44-byte greeting; true when it carried the magic.
    bool connectGreeted(int timeoutMs = 2000) {
        if (!connect(timeoutMs)) return false;
        Bytes w;
        return read(proto::kWelcomeSize, &w, timeoutMs) &&
               proto::getU32(w.data() + 8) == proto::kWelcomeMagic;
    }

    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    int fd() const { return fd_; }

    // Sends all bytes (blocking); true when every byte went out.
    bool send(const uint8_t* p, size_t n) {
        while (n > 0) {
            ssize_t s = ::send(fd_, p, n, MSG_NOSIGNAL);
            if (s < 0 && errno == EINTR) continue;
            if (s <= 0) return false;
            p += s;
            n -= static_cast<size_t>(s);
        }
        return true;
    }
    bool send(const Bytes& b) { return send(b.data(), b.size()); }

    // Reads exactly n bytes within timeoutMs.
    bool read(size_t n, Bytes* out, int timeoutMs = 2000) {
        out->assign(n, 0);
        size_t got = 0;
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got < n) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, msLeft(deadline)) <= 0) return false;
            ssize_t r = recv(fd_, out->data() + got, n - got, 0);
            if (r <= 0) return false;
            got += static_cast<size_t>(r);
        }
        return true;
    }

    // Reads one whole message (header, then the rest) within timeoutMs.
    bool readMessage(Bytes* out, int timeoutMs = 2000) {
        Bytes head;
        if (!read(proto::kHeaderSize, &head, timeoutMs)) return false;
        uint32_t length = proto::getU32(head.data() + 4);
        if (length < proto::kHeaderSize || length > 200000) return false;
        Bytes rest;
        if (!read(length - proto::kHeaderSize, &rest, timeoutMs)) return false;
        *out = head;
        out->insert(out->end(), rest.begin(), rest.end());
        return true;
    }

    // True when nothing arrives within ms (the peer may also not have closed).
    bool quietFor(int ms) {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, ms) == 0;
    }

    // True when the server closes this connection within timeoutMs (data before the close is
    // discarded).
    bool closedWithin(int timeoutMs) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        uint8_t buf[4096];
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, msLeft(deadline)) <= 0) return false;
            ssize_t r = recv(fd_, buf, sizeof buf, 0);
            if (r == 0) return true;
            if (r < 0) return errno != EAGAIN && errno != EINTR;
        }
    }

  private:
    int fd_ = -1;
};

inline Bytes join(const char* nick) {
    Bytes b(proto::kJoinSize);
    proto::encodeJoin(b.data(), nick);
    return b;
}

inline Bytes idMessage(uint32_t type, int32_t id) {
    Bytes b(proto::kIdMessageSize);
    proto::encodeIdMessage(b.data(), type, id);
    return b;
}

inline Bytes headerOnly(uint32_t type) {
    Bytes b(proto::kHeaderOnlySize);
    proto::encodeHeaderOnly(b.data(), type);
    return b;
}

inline Bytes vehicleMove(int32_t id, double t) {
    proto::VehicleMove m;
    m.playerId = id;
    m.position = Vector3(t, 0, 1);
    m.heading = Vector3(0, 1, t);
    Bytes b(proto::kVehicleMoveSize);
    proto::encodeVehicleMove(b.data(), m);
    return b;
}

} // namespace harness
