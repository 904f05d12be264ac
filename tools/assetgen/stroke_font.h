// The generator's own stroke letters: every glyph of the game's character set as centre lines on
// an 8 x 12 grid (y down), turned into distance fields for drawing with thick anti-aliased strokes.
#pragma once

#include "canvas.h"

#include <vector>

// The characters, in the order the menu's font picture holds them.
extern const char* const kFontCharacters;

class TextShape {
  public:
    // Lays out text starting with the top-left of the first glyph box at (x, y); each glyph box is
    // w x h, the next glyph starts advance further right. Unknown characters leave a gap.
    void addText(const char* text, float x, float y, float w, float h, float advance);
    // Distance from (px, py) to the nearest stroke centre line; rectangle glyphs count as 0 inside.
    float distance(float px, float py) const;
    // True when no stroke was laid out (e.g. only spaces).
    bool empty() const { return segments_.empty() && boxes_.empty(); }
    // Bounding box of the centre lines.
    float minX() const { return x0_; }
    float minY() const { return y0_; }
    float maxX() const { return x1_; }
    float maxY() const { return y1_; }

  private:
    struct Segment {
        Point a, b;
    };
    struct Box {
        float x0, y0, x1, y1;
    };
    void extend(float x, float y);
    std::vector<Segment> segments_;
    std::vector<Box> boxes_;
    float x0_ = 1e30f, y0_ = 1e30f, x1_ = -1e30f, y1_ = -1e30f;
};

struct StrokeStyle {
    float halfWidth;    // stroke half width, in the layout's units
    float outline;      // outline width beyond the stroke
    Rgba top, bottom;   // fill colour at the top and bottom of the layout's box
    Rgba outlineColour; // outline colour
    float shadow;       // drop-shadow offset (0: none)
};

// Draws the strokes onto the canvas. Layout units map to canvas pixels by dividing x by aspectX and
// y by aspectY, so letters laid out for a stretched display look even once stretched.
void drawTextShape(Canvas& c, const TextShape& shape, const StrokeStyle& style, float aspectX,
                   float aspectY);
