// The real client under the test's X display, driven by key presses through xdotool, and the
// shell helpers the end-to-end tests share.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"

namespace e2e {

// Runs a shell command; true on exit status 0.
inline bool sh(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

inline std::string shOut(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

inline void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class Client {
  public:
    // Starts the real client with args (env entries as testproc::Child takes them), finds its new
    // window and moves it to x; name tells clients apart in screenshots and messages.
    Client(const std::string& name, const std::vector<std::string>& args, int x,
           const std::vector<std::string>& env = {})
        : windowsBefore_(windows()), proc_(CORVANE_CLIENT_BIN, args, env) {
        nick_ = name;
        EXPECT_TRUE(proc_.waitForOutput("Loading .....\n\n", 20000));
        // The client's window is the one titled corvane3D that was not there before.
        for (int i = 0; i < 50 && window_.empty(); ++i) {
            std::string now = windows();
            size_t start = 0;
            while (start < now.size()) {
                size_t end = now.find('\n', start);
                if (end == std::string::npos) end = now.size();
                std::string id = now.substr(start, end - start);
                if (!id.empty() &&
                    ("\n" + windowsBefore_ + "\n").find("\n" + id + "\n") == std::string::npos)
                    window_ = id;
                start = end + 1;
            }
            if (window_.empty()) pause(100);
        }
        EXPECT_FALSE(window_.empty()) << "no window for " << name;
        // Side by side, so that each can be photographed whole.
        sh("xdotool windowmove --sync " + window_ + " " + std::to_string(x) + " 0");
    }
    // Focuses this client's window and presses the keys (xdotool key names).
    void keys(const std::string& names) {
        ASSERT_TRUE(
            sh("xdotool windowfocus --sync " + window_ + " && xdotool key --delay 120 " + names));
        pause(150);
    }
    void type(const std::string& text) {
        ASSERT_TRUE(sh("xdotool windowfocus --sync " + window_ + " && xdotool type --delay 120 '" +
                       text + "'"));
        pause(150);
    }
    void hold(const char* key, int ms) {
        ASSERT_TRUE(sh("xdotool windowfocus --sync " + window_ + " && xdotool keydown " + key));
        pause(ms);
        ASSERT_TRUE(sh(std::string("xdotool keyup ") + key));
    }
    void screenshot(const std::string& file) {
        const char* dir = std::getenv("CORVANE_SHOT_DIR");
        if (dir) sh("import -window " + window_ + " " + dir + "/" + file);
    }
    // MULTI PLAYER, FIND SERVERS, the first server found, JOIN: no address typed.
    void joinFoundServer() {
        keys("Down Return");           // MULTI PLAYER
        keys("Down Down Down Return"); // FIND SERVERS
        pause(1300);                   // the search takes a second
        screenshot(std::string("lan_servers_") + nick_ + ".png");
        keys("Return"); // the first server: connect, JOIN is next
        pause(300);
        keys("Return"); // JOIN
    }
    // T, the line, Enter.
    void say(const std::string& text) {
        keys("t");
        type(text);
        keys("Return");
    }
    testproc::Child& proc() { return proc_; }
    // The size of the window as the window system has it, "WIDTHxHEIGHT".
    std::string size() {
        return shOut("xdotool getwindowgeometry " + window_ + " | sed -n 's/.*Geometry: //p'");
    }

  private:
    static std::string windows() {
        return shOut("xdotool search --name '^corvane3D$' 2>/dev/null");
    }
    std::string windowsBefore_;
    testproc::Child proc_;
    std::string nick_;
    std::string window_;
};

} // namespace e2e
