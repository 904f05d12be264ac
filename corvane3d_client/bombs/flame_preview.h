// Where a bomb that has not gone off will burn: a faint outline of its three flame strips on the
// ground, growing stronger as the fuse runs down, so that a player sees which way the flames go
// before they do.
#pragma once

#include <cstdint>

#include "list.h"

class Bomb;

// Opacity of the outline of a bomb with remainingMs of its fuse left: from kFlamePreviewFaint at
// the drop to kFlamePreviewStrong when it goes off, blinking in the last second; a remote bomb
// whose fuse ran out waits at kFlamePreviewRemote.
float flamePreviewAlpha(int64_t remainingMs, bool remote);
// Draws the outline of every bomb in bombs that has neither gone off nor finished, at nowMs.
void drawFlamePreviews(List<Bomb>& bombs, int64_t nowMs);

constexpr float kFlamePreviewFaint = 0.3f;
constexpr float kFlamePreviewStrong = 0.75f;
constexpr float kFlamePreviewRemote = 0.4f;
