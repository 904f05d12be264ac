// The game's GLUT callbacks and the platform hooks that install them.
#pragma once

// Escape, Q, q leave the game; space drops a bomb; "-" fires remote bombs; P toggles the frame
// rate; W cycles the detail level.
void gameKeyboard(unsigned char key, int x, int y);
// Arrow keys set the turn and move inputs.
void gameSpecial(int key, int x, int y);
// Arrow keys released clear the inputs.
void gameSpecialUp(int key, int x, int y);
// One tick, a redisplay, and the next tick in 40 ms while this game runs.
void gameTimer(int generation);
// The platform hooks of the game view (see platform.h); with the frame-time log active (see
// frame_times.h) the game redraws back to back and logs every frame until it is left.
void prepareGameViewGl();
void installGameCallbacksGl();
void disableSteeringGl();

// Called after a game ended from the keyboard: the front end takes the callbacks again.
extern void (*returnToFrontEnd)();
