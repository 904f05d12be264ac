#include "console_log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

ConsoleLog::ConsoleLog(int fd) {
    if (fd < 0) return;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode)) {
        fd_ = fd;
        socket_ = true;
        return;
    }
    // A descriptor of our own on the same pipe, terminal or file, so that non-blocking writes
    // leave the flags of the shared one (the shell's terminal) alone.
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    int own = open(path, O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (own >= 0) {
        fd_ = own;
        ownFd_ = true;
    } else {
        fd_ = fd;
    }
}

ConsoleLog::~ConsoleLog() {
    if (ownFd_) close(fd_);
}

bool ConsoleLog::writeWhole(const char* text, size_t n) {
    ssize_t written;
    do {
        if (socket_) {
            written = send(fd_, text, n, MSG_DONTWAIT | MSG_NOSIGNAL);
        } else {
            if (!ownFd_) {
                pollfd p{fd_, POLLOUT, 0};
                if (poll(&p, 1, 0) != 1 || !(p.revents & POLLOUT)) return false;
            }
            written = write(fd_, text, n);
        }
    } while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(n);
}

void ConsoleLog::line(const char* format, ...) {
    if (fd_ < 0) return;
    if (dropped_ > reported_) {
        char note[96];
        int n = std::snprintf(note, sizeof note,
                              "server: %lld log lines dropped, nobody read the output\n",
                              static_cast<long long>(dropped_ - reported_));
        if (!writeWhole(note, static_cast<size_t>(n))) {
            ++dropped_;
            return;
        }
        reported_ = dropped_;
    }
    char text[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) return;
    size_t length = static_cast<size_t>(n) < sizeof text ? static_cast<size_t>(n) : sizeof text - 1;
    if (!writeWhole(text, length)) ++dropped_;
}

void printableText(const char* text, char* out, size_t outSize) {
    size_t n = 0;
    for (; *text && n + 1 < outSize; ++text) {
        if (*text >= ' ' && *text <= '~') out[n++] = *text;
    }
    out[n] = '\0';
}
