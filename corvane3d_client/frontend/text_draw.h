// One line of bitmap-font text placed in the current frame, for status lines and notices.
#pragma once

class BitmapFont;

// Draws text with glyphs size units square, its lower left corner at (x, y), or centred on x;
// the caller binds the font and sets the colour and the blending.
void drawFontLine(const BitmapFont& font, const char* text, float x, float y, float size,
                  bool centred);
// The longest piece of text (at most limit characters) that ends at a space when it must be cut:
// its length, and in *next where the rest begins.
int wrapLength(const char* text, int limit, const char** next);
