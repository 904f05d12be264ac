// Finding servers: the query goes out on UDP port 1234 and the answers that carry its nonce are
// listed, one line per server, while the search runs on the client's clock.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "discovery.h"
#include "net_support.h"
#include "protocol.h"
#include "support/fake_clock.h"

namespace {

// Answers every query on 127.0.0.1:1234 with a wrong-nonce answer, a short datagram and then the
// right answer.
class FakeResponder {
  public:
    FakeResponder() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a = nettest::loopbackPort();
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        thread_ = std::thread([this] { run(); });
    }
    ~FakeResponder() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    bool bound() const { return bound_; }
    int queries() const { return queries_.load(); }

  private:
    void run() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 10) <= 0) continue;
            uint8_t in[64];
            sockaddr_in from{};
            socklen_t size = sizeof from;
            ssize_t n = recvfrom(fd_, in, sizeof in, 0, reinterpret_cast<sockaddr*>(&from), &size);
            proto::DiscoveryQuery query;
            if (n < 0 || !proto::decodeDiscoveryQuery(in, static_cast<size_t>(n), &query)) continue;
            ++queries_;
            proto::DiscoveryAnswer answer;
            answer.nonce = query.nonce + 1;
            answer.players = 3;
            std::strcpy(answer.name, "wrong\x1b[1m");
            std::strcpy(answer.address, "10.9.9.9");
            uint8_t out[proto::kDiscoveryAnswerSize];
            auto reply = [&](size_t length) {
                sendto(fd_, out, length, 0, reinterpret_cast<sockaddr*>(&from), size);
            };
            reply(proto::encodeDiscoveryAnswer(out, answer));
            reply(40);
            answer.nonce = query.nonce;
            std::strcpy(answer.name, "lan_host\x07");
            reply(proto::encodeDiscoveryAnswer(out, answer));
        }
    }
    int fd_ = -1;
    bool bound_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> queries_{0};
    std::thread thread_;
};

} // namespace

TEST(Discovery, AnswersToTheQueryAreListedOncePerServerUntilTheSecondIsOver) {
    FakeResponder responder;
    ASSERT_TRUE(responder.bound());
    testclock::now = 5000000;
    setClock(testclock::read);
    ASSERT_TRUE(discoveryStart());
    int polls = 0;
    while (discoveryPoll()) {
        ++polls;
        testclock::now += 20;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_FALSE(discoverySearching());
    EXPECT_EQ(polls, kDiscoveryMs / 20);
    EXPECT_GE(responder.queries(), 2) << "the query is repeated within the second";
    ASSERT_EQ(discoveryCount(), 1) << "one server, however often and by however many paths";
    const FoundServer& f = discoveryServer(0);
    EXPECT_STREQ(f.name, "LAN-HOST") << "upper case, font characters only";
    EXPECT_STREQ(f.address, "127.0.0.1") << "where the answer came from";
    EXPECT_EQ(f.players, 3);
    EXPECT_EQ(f.inGame, 0);

    ASSERT_TRUE(discoveryStart());
    EXPECT_EQ(discoveryCount(), 0) << "a new search forgets the old answers";
    discoveryStop();
    EXPECT_FALSE(discoveryPoll());
    setClock(nullptr);
}
