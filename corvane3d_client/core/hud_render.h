// The heads-up pieces drawn over the classic display: the arrow to the nearest opponent,
// the targets-left counter, the opponents' energy pips, hit flashes, red edges and explosions.
#pragma once

#include "hit_feedback.h"
#include "target_arrow.h"

class Game;
class Camera;
class Vehicle;

// The hit records of the running game.
HitFeedback& hitFeedback();
// The camera of the last applied frame as a ViewFrame (80 degrees, aspect 1.3).
ViewFrame viewOf(const Camera& camera);
// Updates the hit records from the game's cars at the current clock.
void observeHits(Game* game);
// Draws car v, tinted red in the bright phases of its hit flash.
void drawFlashing(const Vehicle* v);
// Draws the burning explosions as flame and smoke pictures facing the camera.
void drawExplosions(const Camera& camera);
// Window-space pieces: energy pips over the opponents, the arrow to the nearest one, the targets
// left in single player and the red edges after the local car was hit.
void drawHudExtras(Game* game);
// Text at window pixel (x, y) in colour (r, g, b) with a one-pixel outline in (or, og, ob).
void drawOutlinedText(int x, int y, const char* text, float r, float g, float b, float or_,
                      float og, float ob);
