// Item and heads-up symbols, drawn on a 64 x 64 design grid scaled by k.
#pragma once

#include "canvas.h"

// A round badge of colour c with a darker rim and a soft highlight, filling the grid.
void drawBadge(Canvas& c, float k, Rgba colour);
// A black bomb with a lit fuse, centred at (cx, cy) with body radius r.
void drawBomb(Canvas& c, float k, float cx, float cy, float r);
// A yellow lightning bolt with a dark outline.
void drawBolt(Canvas& c, float k);
// A flame over a double-headed arrow.
void drawRangeFlame(Canvas& c, float k);
// A hand-held remote control with an antenna and signal arcs; size 1 fills a badge, larger values
// fill the whole grid.
void drawRemote(Canvas& c, float k, float size);
// A pale ghost with dark eyes.
void drawGhost(Canvas& c, float k);
// Two dark chevrons pointing right.
void drawChevrons(Canvas& c, float k);
// A snail with a spiral shell.
void drawSnail(Canvas& c, float k);
// A filled star polygon.
void drawStar(Canvas& c, float cx, float cy, float outer, float inner, int points, float turn,
              Rgba colour);
