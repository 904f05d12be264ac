// The notices drawn over the game view.
#pragma once

// Draws the notices centred near the top of the window in the bitmap font, scaled from the
// 320 x 256 design size, each fading over its last second; loads the font at the first call.
void drawGameNotices();
