// The client's LAN session as the front end sees it: connecting, joining (and joining again after
// a game) and fetching a game's labyrinth are steps that wait for the server without holding up
// the window. The menu polls them once a frame and shows their state as a line of words.
#pragma once

#include <cstdint>

enum class SessionEvent {
    kNone,
    kConnected,     // the server's greeting came
    kConnectFailed, // the status says why
    kJoined,        // admitted: sessionPlayerId and sessionColour hold the reply
    kJoinDenied,    // refused (the lobby is full or a game runs)
    kJoinFailed,    // no answer to the join
    kWaiting,       // refused after a game: waits for the lobby to open
    kGameReady,     // the labyrinth is held: the game can start
    kLost           // the connection ended under the client
};

// Starts connecting to address, closing any connection first and forgetting its chat; the status
// names the server by name when given, else by the address.
void sessionConnect(const char* address, const char* name);
// Forgets the connection and its state (the player edits the address or leaves the page).
void sessionClose();
// Sends Join; false when not connected or another step still waits.
bool sessionJoin();
// After a multi-player game: joins again, and when refused waits for the lobby to open (LobbyOpen)
// and joins then; false when the connection is gone.
bool sessionRejoin();
// The player leaves the lobby, or stops waiting for it (a join still unanswered is taken back).
void sessionLeave();
// Announces StartGame and fetches the labyrinth; false when not joined or another step waits.
bool sessionStart();
// Another member started the game: fetches the labyrinth.
void sessionStartedByOther();
// The server opened its lobby again: a client waiting for it joins.
void sessionLobbyOpen();
// The game has taken over the connection.
void sessionInGame();
// The connection ended under the client (whoever read from it saw it).
void sessionLost();
// Advances the step that waits; returns what happened, at most one event per call.
SessionEvent sessionPoll();
// True while a step waits for the server's answer: nobody else reads the connection meanwhile.
bool sessionBusy();
// True while refused after a game and waiting for the lobby to open.
bool sessionWaitingForLobby();
int32_t sessionPlayerId();
const double* sessionColour();
// The state in the font's characters, e.g. "CONNECTING TO 10.0.0.2", "FAILED: NO SERVER THERE",
// "SERVER LOST".
const char* sessionStatus();
// How the status reads: 0 neutral, 1 good, 2 waiting, 3 trouble.
int sessionMood();
