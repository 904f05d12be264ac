// Placeholder until the socket layer lands: the client is never connected.
#include "net.h"

int NetStartup() { return 0; }
int NetCleanup() { return 0; }
int NetConnect(const char*) { return 0; }
int NetClose() { return 1; }
int NetIsConnected() { return 0; }
int NetSend(const void*, size_t) { return 0; }
int NetReceive(void*, size_t) { return 0; }
int NetReceiveMessage(void*, size_t) { return 0; }
int NetPoll() { return 0; }
int NetJoin(int32_t* accepted, int32_t* playerId, double colour[3]) {
    *accepted = 0;
    *playerId = 0;
    colour[0] = colour[1] = colour[2] = 0;
    return 0;
}
int NetLeaveGame(int32_t) { return 0; }
int NetStartGame() { return 0; }
int NetEndGame() { return 0; }
int NetFetchLabyrinth(List<WallBlock>&) { return 0; }
int NetSendVehicleMove(int32_t, Vector3, Vector3) { return 0; }
int NetSendCloak(int32_t, uint8_t) { return 0; }
int NetSendPlayerDead(int32_t) { return 0; }
int NetSendBombDropped(int32_t, int32_t, int32_t, Vector3, Vector3) { return 0; }
int NetSendBombExploded(int32_t, int32_t) { return 0; }
int NetSendBlockDestroyed(int32_t) { return 0; }
int NetSendItemTaken(int32_t) { return 0; }
