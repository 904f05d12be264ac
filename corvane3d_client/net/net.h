// The client's one connection to the server: start-up of the socket layer, connect with the
// greeting check, framing, and one sender per client message. Every sender sends nothing and
// returns 0 while not connected.
//
// The waiting steps (connect and greeting, join, labyrinth, every message) also come as a begin
// call and a poll that never waits: a poll returns 1 done, 0 still waiting, -1 failed. A step fails
// when the server sends nothing for the receive bound, or takes three times that in all.
#pragma once

#include <cstddef>
#include <cstdint>

#include "list.h"
#include "vector3.h"

class WallBlock;

// Starts the socket layer once: 1 the first time, 0 afterwards.
int NetStartup();
// Closes the connection if open and stops the layer: 1 if it was started, else 0.
int NetCleanup();
// Connects to a dotted-quad address on port 1234 and checks the Welcome: 1 connected, 0 failed
// (also when already connected, keeping that connection).
int NetConnect(const char* address);
// Closes the socket and clears the connected flag; returns 1.
int NetClose();
// 1 while connected.
int NetIsConnected();
// One send of count bytes: 1 if it wrote a positive count, else 0.
int NetSend(const void* bytes, size_t count);
// Reads exactly count bytes in pieces of at most 1024 within a bounded wait: 1 when all arrived,
// 0 on close, error or time-out.
int NetReceive(void* buffer, size_t count);
// Sets the longest wait without any byte arriving before a receive gives up (5000 ms at start).
void NetSetReceiveTimeout(int32_t milliseconds);
// The current receive bound in milliseconds.
int32_t NetReceiveTimeout();
// Reads one whole message into buffer (capacity bytes): 0 if no header could be read or the
// length field is below 8 or above capacity (the message is then discarded), else 1.
int NetReceiveMessage(void* buffer, size_t capacity);
// 1 if input is waiting (a closed connection or a message set aside counts), waiting at most
// 1 ms; 0 otherwise.
int NetPoll();
// Sends Join with the nick and reads the JoinReply (messages ahead of it are set aside for
// NetReceiveMessage). Outputs are zeroed first and stay 0 when no reply comes; returns 1 if asked,
// 0 when not connected.
int NetJoin(int32_t* accepted, int32_t* playerId, double colour[3]);
int NetLeaveGame(int32_t playerId);
int NetStartGame();
int NetEndGame();
// Empties blocks, requests the labyrinth and appends one WallBlock per record (messages ahead of
// the reply are set aside): 1 done, 0 when not connected or the reply is malformed or cut short
// (the list is then left empty and a malformed stream is closed).
int NetFetchLabyrinth(List<WallBlock>& blocks);
int NetSendVehicleMove(int32_t playerId, Vector3 position, Vector3 heading);
int NetSendCloak(int32_t playerId, uint8_t cloak);
int NetSendPlayerDead(int32_t playerId);
int NetSendBombDropped(int32_t owner, int32_t number, int32_t range, Vector3 dropPoint,
                       Vector3 heading);
int NetSendBombExploded(int32_t owner, int32_t number);
int NetSendBlockDestroyed(int32_t blockId);
int NetSendItemTaken(int32_t blockId);
// Sends a lobby ChatLine with the nick and at most 60 characters of text; 1 sent, 0 not connected.
int NetSendChat(int32_t playerId, const char* text);

// Starts connecting to a dotted-quad address without waiting: 1 started, 0 refused at once (not
// started, connected or connecting already, or a bad address: NetFailure says why).
int NetBeginConnect(const char* address);
// Advances the connect and the greeting check: 1 connected (printed as NetConnect prints it),
// 0 still waiting, -1 failed (the socket is closed; NetFailure says why).
int NetPollConnect();
// The last failure in a few words of the font's characters ("NO SERVER THERE", "NO ANSWER", ...).
const char* NetFailure();
// The server's address text from its greeting, printable characters only; empty before.
const char* NetServerText();
// 1 once the connection ended under the client (peer closed or reset, broken framing, a step
// that timed out) until the next connect or NetClose.
int NetLost();
// Sends Join with the nick; its reply is awaited by NetPollJoin: 1 sent, 0 not connected.
int NetBeginJoin();
// Looks at what has arrived for the JoinReply (other messages are set aside for NetNextMessage):
// 1 the reply came (outputs set), 0 still waiting, -1 no join pending, no reply in time or the
// connection was lost. Outputs are zeroed unless the reply came.
int NetPollJoin(int32_t* accepted, int32_t* playerId, double colour[3]);
// Sends LabyrinthRequest; its reply is awaited by NetPollLabyrinth: 1 sent, 0 not connected.
int NetBeginFetchLabyrinth();
// 1 the labyrinth has arrived and is held for the next NetFetchLabyrinth, which then hands it over
// without asking again; 0 still waiting; -1 none pending, malformed, or lost (messages ahead of
// it are set aside).
int NetPollLabyrinth();
// Takes the next whole message without waiting: 1 copied into buffer, 0 none complete yet, -1 the
// connection is lost (closed, reset, impossible length, or a message left unfinished past the
// receive bound). A message longer than capacity is skipped.
int NetNextMessage(void* buffer, size_t capacity);
