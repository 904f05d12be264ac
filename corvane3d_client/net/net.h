// The client's one connection to the server: start-up of the socket layer, connect with the
// greeting check, framing, and one sender per client message. Every sender sends nothing and
// returns 0 while not connected.
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
