// Answers LAN discovery queries: one non-blocking UDP socket that the server's loop polls.
#pragma once

#include <cstdint>

#include "peer_rules.h"
#include "protocol.h"

class DiscoveryResponder {
  public:
    // Datagrams read in one pass at most, so that a flood of queries cannot hold up the loop.
    static constexpr int kDatagramsPerPass = 16;

    DiscoveryResponder() = default;
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;
    // Closes the socket.
    ~DiscoveryResponder();

    // Binds a UDP socket on every interface at port; false, with errno kept and no socket, when
    // that fails.
    bool open(uint16_t port);
    // The socket to poll for reading; -1 when closed.
    int socket() const { return fd_; }
    // Reads up to kDatagramsPerPass waiting datagrams and answers each well-formed query with
    // answer (its nonce replaced by the query's) by a send that never waits, as long as the
    // answers' budget at nowMs allows; anything else is dropped unanswered. Returns the number of
    // answers sent.
    int answerPending(const proto::DiscoveryAnswer& answer, int64_t nowMs);

  private:
    int fd_ = -1;
    MessageBudget budget_;
};
