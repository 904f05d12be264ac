// The server's own code on a thread of the test process, listening on port 1234 like the binary,
// with a clock the test moves by hand so that time-outs are reached without waiting for them.
#pragma once

#include <atomic>
#include <memory>

#include "server.h"
#include "server/server_harness.h"

namespace harness {

class InProcessServer {
  public:
    InProcessServer() = default;
    InProcessServer(const InProcessServer&) = delete;
    InProcessServer& operator=(const InProcessServer&) = delete;
    ~InProcessServer() { stop(); }

    // Starts listening and running passes; its log is read into output().
    bool start() {
        int out[2];
        if (pipe(out) != 0) return false;
        log_ = fdopen(out[1], "w");
        output_.begin(out[0]);
        server_ = std::make_unique<Server>("server", log_, log_);
        server_->setClock(&InProcessServer::now);
        if (!server_->start()) return false;
        quit_ = 0;
        thread_ = std::thread([this] {
            while (!quit_) {
                server_->runPass(5);
                ++passes_;
            }
        });
        return true;
    }

    // Ends the loop, closes every connection and the log.
    void stop() {
        quit_ = 1;
        if (thread_.joinable()) thread_.join();
        server_.reset();
        if (log_) std::fclose(log_);
        log_ = nullptr;
        output_.finish();
    }

    // Moves the server's clock forward by ms and returns once two passes have run since.
    void advanceMs(int64_t ms) {
        clock_ += ms;
        int64_t seen = passes_;
        while (passes_ < seen + 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    OutputReader& output() { return output_; }

  private:
    static int64_t now() { return clock_; }

    static inline std::atomic<int64_t> clock_{1000000};
    std::unique_ptr<Server> server_;
    FILE* log_ = nullptr;
    OutputReader output_;
    std::thread thread_;
    std::atomic<int> quit_{0};
    std::atomic<int64_t> passes_{0};
};

} // namespace harness
