// The network side of a multi-player game: each tick applies what the other players announced
// (a bounded number of messages, so that a flood cannot starve the drawing), tells the player who
// left or was hit out, notices a lost server, and ends the game once it is decided.
#pragma once

#include <cstdint>

class Game;

constexpr int kRoundMessagesPerTick = 100; // messages applied in one tick at most
constexpr int kRoundResultTicks = 100;     // the result picture shows for 4 s
constexpr int kRoundLostTicks = 60;        // "SERVER LOST" shows for 2.4 s before leaving
constexpr int kMaxLiveBombs = 10;          // live bombs of one player

// Gives the callbacks back to the front end after a game ended by itself; start-up points it at
// the path the Escape key takes. While null only the game is ended.
extern void (*roundReturn)();

// Forgets the last round (a game starts).
void roundReset();
// Applies up to kRoundMessagesPerTick messages to game and decides the round; false when the game
// was left during this call (the tick stops then).
bool roundTick(Game& game);
// Ticks since the game was decided (at most one car left, and the local car was not alone from
// the start), -1 while it goes on.
int32_t roundDecidedTicks();
// True once the server was lost during this game.
bool roundServerLost();
