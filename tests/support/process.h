// A child process for tests: the real client or server binary with its output piped back.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace testproc {

class Child {
  public:
    // Starts path with args; stdout and stderr are captured separately.
    Child(const std::string& path, const std::vector<std::string>& args) {
        int out[2], err[2];
        if (pipe(out) != 0 || pipe(err) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            close(out[0]);
            close(err[0]);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(path.c_str()));
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
        fcntl(out_, F_SETFL, O_NONBLOCK);
        fcntl(err_, F_SETFL, O_NONBLOCK);
    }
    ~Child() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
        if (err_ >= 0) close(err_);
    }

    // Reads stdout until it contains text or timeoutMs passes; true when found.
    bool waitForOutput(const std::string& text, int timeoutMs = 10000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (stdout_.find(text) == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            if (!pump(static_cast<int>(left.count())))
                return stdout_.find(text) != std::string::npos;
        }
        return true;
    }

    // Waits for the process to end (at most timeoutMs); returns its exit status, -1 on time-out.
    int waitExit(int timeoutMs = 10000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            pump(20);
            int status = 0;
            pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                exited_ = true;
                while (pump(0)) {
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        return -1;
    }

    void signal(int sig) { kill(pid_, sig); }
    pid_t pid() const { return pid_; }
    const std::string& out() const { return stdout_; }
    const std::string& err() {
        pump(0);
        return stderr_;
    }

  private:
    // Reads what is available (waiting up to timeoutMs); false when both pipes are closed.
    bool pump(int timeoutMs) {
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        int n = poll(fds, 2, timeoutMs);
        if (n <= 0) return n == 0;
        bool open = false;
        char buf[4096];
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents) {
                open = true;
                continue;
            }
            ssize_t r = read(fds[i].fd, buf, sizeof buf);
            if (r > 0) {
                (i == 0 ? stdout_ : stderr_).append(buf, static_cast<size_t>(r));
                open = true;
            }
        }
        return open;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool exited_ = false;
    std::string stdout_;
    std::string stderr_;
};

} // namespace testproc
