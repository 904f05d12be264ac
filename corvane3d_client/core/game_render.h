// Frame drawing of the game: heads-up and overlay pictures, text, the frame-rate clock and the
// game's display callback.
#pragma once

#include <cstdint>

extern unsigned bombIconTexture;
extern unsigned remoteIconTexture;
extern unsigned cloakIconTexture;
extern unsigned energyTexture;
extern unsigned goTexture;
extern unsigned gameOverTexture;
extern unsigned gameWonTexture;

// Loads bomb2, remote_control2, cloak and energy pictures once; failures print "Problem loading".
void loadHudTextures();
// Loads the go, gameover and gamewon pictures once; failures print "Problem loading".
void loadOverlayTextures();
// Draws black text at window pixel (x, y), origin bottom-left; '\n' starts a new line.
void drawText(int x, int y, const char* text);
// Pushes both matrices: a projection of window pixels (origin bottom-left) and an identity
// model-view.
void beginWindowSpace();
// Pops what beginWindowSpace pushed.
void endWindowSpace();
// drawText in the colour (r, g, b).
void drawTextColoured(int x, int y, const char* text, float r, float g, float b);
// Seconds since the previous call (the first call measures from 0).
float secondsSinceLastCall();
// The game's GLUT display callback: clear, render the game, frame-rate text, swap.
void gameDisplay();
class Game;
class Vehicle;
// The go, game-over or game-won picture, pulsing, over the whole window (game-over first).
void drawOverlay(Game* game);
// Energy gauge, remote-control and cloak flags and bomb icons of car, in the 320 x 256 design space
// scaled to the window.
void drawHud(const Vehicle* car);
// The energy gauge strip [s from, s to] for an energy value 0..5 (clamped).
void energyStrip(int32_t energy, float* sFrom, float* sTo);
