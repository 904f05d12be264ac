// What the server tells a lobby member: players coming and going, chat lines, another member's
// game start and the lobby opening again, applied to lobbyList, the notices, the chat lines and
// the session.
#pragma once

#include <cstdint>

#include "protocol.h"

enum class LobbyNews { kNothing, kChanged, kGameStarts, kLost };

constexpr int kLobbyMessagesPerDrain = 64; // messages applied in one drain at most
constexpr int32_t kLobbyOthers = 6;        // players in a lobby besides this one

// Applies up to kLobbyMessagesPerDrain waiting messages. Stops early at a game start (the session
// then fetches the labyrinth; what follows belongs to the game), when the lobby opens and a join
// goes out, or when the connection is lost (kLost; the caller reports it). A client that is not
// joined takes only LobbyOpen.
LobbyNews drainLobby(bool joined, int32_t localId);
// This client was just admitted: the members the server lists next were there before it, and
// the next drain announces none of them as joining.
void lobbyJoined();
// Lists the player, replacing the entry with its id; a full lobby takes nobody new and the local
// id is never listed: false then.
bool lobbyEnter(const proto::PlayerInfo& info, int32_t localId);
