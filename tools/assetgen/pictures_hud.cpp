#include "canvas.h"
#include "pictures.h"
#include "stroke_font.h"
#include "symbols.h"

#include <cmath>
#include <cstdio>

namespace {

int save(const Canvas& c, const std::string& dir, const char* name, bool alpha) {
    if (c.writePng(dir + "/" + name, alpha)) return 0;
    std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name);
    return 1;
}

// Energy gauge: six strips, energy 5 to 0 from the left, each 38 pixels wide (the last 34), each
// showing that many bars out of five, coloured from green (full) to red (nearly empty).
Canvas energyGauge() {
    Canvas c(256, 128);
    const Rgba levels[6] = {{0.6f, 0.1f, 0.1f, 1},   {0.95f, 0.12f, 0.08f, 1},
                            {1.0f, 0.5f, 0.05f, 1},  {1.0f, 0.85f, 0.1f, 1},
                            {0.55f, 0.9f, 0.15f, 1}, {0.15f, 0.85f, 0.25f, 1}};
    for (int strip = 0; strip < 6; ++strip) {
        int energy = 5 - strip;
        float x0 = strip * 38.0f, x1 = x0 + (strip == 5 ? 34.0f : 38.0f);
        float l = x0 + 3, r = x1 - 3;
        c.roundRect(l, 2, r, 126, 5, Rgba{0.05f, 0.05f, 0.08f, 1});
        c.roundRect(l + 2, 4, r - 2, 124, 4, Rgba{0.18f, 0.2f, 0.24f, 1});
        for (int slot = 0; slot < 5; ++slot) {
            float top = 6.5f + (4 - slot) * 24.0f, bottom = top + 19;
            bool lit = slot < energy;
            Rgba col = lit ? levels[energy] : Rgba{0.08f, 0.08f, 0.1f, 1};
            c.roundRect(l + 5, top, r - 5, bottom, 2.5f, col);
            if (lit) {
                c.roundRect(l + 7, top + 2, r - 7, top + 7, 2, Rgba{1, 1, 1, 0.35f});
            } else if (energy == 0) {
                c.roundRect(l + 5, top, r - 5, bottom, 2.5f, Rgba{0.5f, 0.05f, 0.05f, 0.5f});
            }
        }
    }
    c.bleedColour(3);
    return c;
}

Canvas icon(int which) {
    Canvas c(64, 64);
    if (which == 0)
        drawBomb(c, 1, 28, 37, 19);
    else
        drawRemote(c, 1, 1.12f);
    c.bleedColour(3);
    return c;
}

// A word picture: lines of big outlined letters centred on a transparent 256 x 256 picture that is
// shown stretched to aspect:1.
Canvas wordPicture(const char* line1, const char* line2, float aspect, const StrokeStyle& st,
                   float glyphW, float glyphH, float advance, float lineGap) {
    Canvas c(256, 256);
    float dispW = 256 * aspect, dispH = 256;
    const char* lines[2] = {line1, line2};
    int n = line2 ? 2 : 1;
    float totalH = n * glyphH + (n - 1) * lineGap;
    TextShape shape;
    for (int i = 0; i < n; ++i) {
        TextShape probe;
        probe.addText(lines[i], 0, 0, glyphW, glyphH, advance);
        float w = probe.maxX() - probe.minX();
        shape.addText(lines[i], (dispW - w) / 2 - probe.minX(),
                      (dispH - totalH) / 2 + i * (glyphH + lineGap), glyphW, glyphH, advance);
    }
    drawTextShape(c, shape, st, aspect, 1);
    c.bleedColour(4);
    return c;
}

} // namespace

int writeHudPictures(const std::string& dir) {
    int fails = 0;
    fails += save(energyGauge(), dir, "energy.png", true);
    fails += save(icon(0), dir, "bomb2.png", true);
    fails += save(icon(1), dir, "remote_control2.png", true);

    StrokeStyle go{
        13, 7, Rgba{1, 1, 0.55f, 1}, Rgba{1, 0.55f, 0.05f, 1}, Rgba{0.25f, 0.05f, 0.02f, 1}, 0};
    fails += save(wordPicture("GO!", nullptr, 1, go, 62, 120, 80, 0), dir, "go.png", true);

    StrokeStyle over{
        11, 6, Rgba{1, 0.45f, 0.35f, 1}, Rgba{0.75f, 0.04f, 0.04f, 1}, Rgba{0.12f, 0.0f, 0.02f, 1},
        0};
    fails += save(wordPicture("GAME", "OVER", 4.0f / 3, over, 50, 80, 72, 28), dir, "gameover.png",
                  true);

    StrokeStyle won{11, 6, Rgba{1, 1, 0.6f, 1}, Rgba{1, 0.6f, 0.05f, 1}, Rgba{0.2f, 0.08f, 0.0f, 1},
                    0};
    Canvas win = wordPicture("YOU", "WIN", 4.0f / 3, won, 56, 80, 84, 28);
    fails += save(win, dir, "gamewon.png", true);
    return fails;
}
