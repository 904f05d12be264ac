// Finding servers on the LAN: a DiscoveryQuery broadcast on UDP port 1234 (to 255.255.255.255,
// every interface's broadcast address and 127.0.0.1), and the answers collected for about a
// second, all without waiting.
#pragma once

#include <cstdint>

constexpr int kDiscoveryLimit = 8;     // servers listed at most
constexpr int64_t kDiscoveryMs = 1000; // how long answers are collected

struct FoundServer {
    char name[32];    // the server's host name, in the font's characters
    char address[32]; // where the answer came from, dotted quad
    int32_t players;  // joined players, 0 to 7
    uint8_t inGame;   // 1 while a game runs
};

// Forgets earlier answers, opens the socket and sends the query; false when no socket opens.
bool discoveryStart();
// Reads the answers that have arrived (a bounded number per call) and repeats the query now and
// then; true while the search goes on, false once it is over (the socket is then closed).
bool discoveryPoll();
// True from discoveryStart until the search is over.
bool discoverySearching();
// Servers found so far, one per address, in the order they answered.
int discoveryCount();
const FoundServer& discoveryServer(int i);
// Ends the search at once, keeping what was found.
void discoveryStop();
