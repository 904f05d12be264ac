#include "net_support.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::mutex recordMutex;
std::vector<size_t> recorded;
std::thread::id recordThread;
std::atomic<bool> recording{false};

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Inodes of the sockets listening on port 1234 (hex 04D2) of this machine.
std::vector<std::string> listeningInodes() {
    std::vector<std::string> inodes;
    std::ifstream tcp("/proc/net/tcp");
    std::string line;
    std::getline(tcp, line);
    while (std::getline(tcp, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> inode;
        if (state == "0A" && local.size() > 5 && local.compare(local.size() - 5, 5, ":04D2") == 0)
            inodes.push_back(inode);
    }
    return inodes;
}

// True when process pid holds one of the sockets listening on port 1234.
bool listensOnPort(pid_t pid) {
    std::vector<std::string> inodes = listeningInodes();
    std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    DIR* d = opendir(dir.c_str());
    if (!d) return false;
    bool found = false;
    while (dirent* e = readdir(d)) {
        char target[128];
        ssize_t n = readlink((dir + "/" + e->d_name).c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        target[n] = 0;
        for (const std::string& inode : inodes)
            found = found || std::string(target) == "socket:[" + inode + "]";
    }
    closedir(d);
    return found;
}

} // namespace

// Counts the sizes asked of recv by the recording thread, then does the real receive.
extern "C" ssize_t recv(int fd, void* buffer, size_t length, int flags) {
    using RecvFn = ssize_t (*)(int, void*, size_t, int);
    static RecvFn real = reinterpret_cast<RecvFn>(dlsym(RTLD_NEXT, "recv"));
    if (recording.load() && std::this_thread::get_id() == recordThread) {
        std::lock_guard<std::mutex> lock(recordMutex);
        recorded.push_back(length);
    }
    return real(fd, buffer, length, flags);
}

namespace nettest {

bool sendAll(int fd, const void* bytes, size_t count) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    while (count > 0) {
        ssize_t n = send(fd, p, count, MSG_NOSIGNAL);
        if (n <= 0) return false;
        p += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

Bytes readBytes(int fd, size_t count, int timeoutMs) {
    Bytes out;
    int64_t end = nowMs() + timeoutMs;
    uint8_t piece[4096];
    while (out.size() < count && nowMs() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        size_t want = count - out.size();
        ssize_t n = read(fd, piece, want < sizeof piece ? want : sizeof piece);
        if (n <= 0) break;
        out.insert(out.end(), piece, piece + n);
    }
    return out;
}

Bytes welcome(uint32_t magic, const char* address) {
    Bytes b(proto::kWelcomeSize);
    proto::encodeWelcome(b.data(), address);
    proto::putU32(b.data() + 8, magic);
    return b;
}

Bytes header(uint32_t type, uint32_t length) {
    Bytes b(proto::kHeaderSize);
    proto::encodeHeader(b.data(), type, length);
    return b;
}

sockaddr_in loopbackPort() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(proto::kPort);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int connectRaw() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in a = loopbackPort();
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

FakeServer::FakeServer(Script script) : script_(std::move(script)) {
    int64_t end = nowMs() + 10000;
    while (listenFd_ < 0 && nowMs() < end) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a = loopbackPort();
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd, 5) == 0) {
            listenFd_ = fd;
        } else {
            close(fd);
            sleepMs(50);
        }
    }
    if (listenFd_ >= 0) thread_ = std::thread([this] { run(); });
}

FakeServer::~FakeServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) close(listenFd_);
}

void FakeServer::run() {
    bool scripted = false;
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        int fd = accept(listenFd_, nullptr, nullptr);
        if (fd < 0) continue;
        ++accepted_;
        if (!scripted) {
            scripted = true;
            script_(*this, fd);
            done_ = true;
        }
        close(fd);
    }
}

bool FakeServer::waitDone(int timeoutMs) const {
    int64_t end = nowMs() + timeoutMs;
    while (!done_ && nowMs() < end)
        sleepMs(5);
    return done_;
}

Bytes FakeServer::readUntilClosed(int fd) {
    Bytes out;
    uint8_t piece[4096];
    while (!stop_) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        ssize_t n = read(fd, piece, sizeof piece);
        if (n <= 0) break;
        out.insert(out.end(), piece, piece + n);
    }
    return out;
}

bool FakeServer::waitClosed(int fd) {
    uint8_t piece[256];
    while (!stop_) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        if (read(fd, piece, sizeof piece) <= 0) return true;
    }
    return false;
}

ServerProcess::ServerProcess() {
    int64_t end = nowMs() + 10000;
    while (nowMs() < end) {
        if (!listeningInodes().empty()) {
            sleepMs(20);
            continue;
        }
        pid_ = fork();
        if (pid_ == 0) {
            int out =
                open(CORVANE_BUILD_DIR "/test_net_server.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            execl(CORVANE_SERVER_BIN, CORVANE_SERVER_BIN, static_cast<char*>(nullptr));
            _exit(127);
        }
        while (pid_ > 0 && nowMs() < end) {
            if (listensOnPort(pid_)) {
                running_ = true;
                return;
            }
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
            sleepMs(5);
        }
    }
    ADD_FAILURE() << "the server did not start listening on port 1234";
}

ServerProcess::~ServerProcess() {
    stop();
}

void ServerProcess::stop() {
    running_ = false;
    if (pid_ <= 0) return;
    kill(pid_, SIGINT);
    int64_t end = nowMs() + 2000;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (nowMs() > end) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        sleepMs(5);
    }
    pid_ = -1;
}

RecvRecorder::RecvRecorder() {
    std::lock_guard<std::mutex> lock(recordMutex);
    recorded.clear();
    recordThread = std::this_thread::get_id();
    recording = true;
}

RecvRecorder::~RecvRecorder() {
    recording = false;
}

std::vector<size_t> RecvRecorder::asks() const {
    std::lock_guard<std::mutex> lock(recordMutex);
    return recorded;
}

} // namespace nettest
