#include "canvas.h"
#include "noise.h"
#include "pictures.h"
#include "stroke_font.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

int save(const Canvas& c, const std::string& dir, const char* name, bool alpha) {
    if (c.writePng(dir + "/" + name, alpha)) return 0;
    std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name);
    return 1;
}

// The menu font: 32 x 34 cells, 8 per row from the top-left, white letters with a dark rim on
// alpha 0. Ink keeps two pixels clear of each cell's right edge, whose last column is never shown.
Canvas font() {
    Canvas c(256, 256);
    const int cellW = 32, cellH = 34, perRow = 8;
    StrokeStyle st{
        2.3f, 1.2f, Rgba{1, 1, 1, 1}, Rgba{0.82f, 0.86f, 0.95f, 1}, Rgba{0.05f, 0.05f, 0.1f, 1}, 0};
    size_t n = std::strlen(kFontCharacters);
    for (size_t g = 0; g < n; ++g) {
        char text[2] = {kFontCharacters[g], 0};
        int col = static_cast<int>(g % perRow), row = static_cast<int>(g / perRow);
        TextShape shape;
        shape.addText(text, col * cellW + 5.5f, row * cellH + 4.5f, 19, 24, 0);
        drawTextShape(c, shape, st, 1, 1);
    }
    c.bleedColour(2);
    return c;
}

// Title background shown stretched to 55:42: starfield, nebula, a planet rising from the bottom and
// the name in big letters at the top.
Canvas intro() {
    const int n = 512;
    const float ax = 55.0f / 42.0f;
    const float dispW = n * ax;
    Canvas c(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float u = x * ax / dispW, v = y / static_cast<float>(n);
            Rgba sky{0.01f + 0.02f * v, 0.01f + 0.015f * v, 0.04f + 0.05f * v, 1};
            float neb = fbm3(u * 3, v * 3, 1.3f, 0, 0, 5, 0.55f, 71);
            float neb2 = fbm3(u * 2 + 5, v * 2, 2.7f, 0, 0, 4, 0.5f, 83);
            float mask = smoothstep(-0.05f, 0.5f, neb) * (0.35f + 0.65f * (1 - v));
            sky = mix(sky, Rgba{0.35f, 0.12f, 0.45f, 1}, mask * 0.55f);
            sky = mix(sky, Rgba{0.1f, 0.3f, 0.55f, 1}, smoothstep(0.0f, 0.5f, neb2) * 0.35f);
            c.at(x, y) = sky;
        }
    Rng rng(2024);
    for (int i = 0; i < 700; ++i) {
        float x = rng.range(0, n), y = rng.range(0, n);
        float b = rng.uniform();
        float r = 0.35f + b * b * 1.1f;
        Rgba col = mix(Rgba{0.7f, 0.8f, 1, 1}, Rgba{1, 0.9f, 0.75f, 1}, rng.uniform());
        c.disc(x, y, r, withAlpha(col, 0.35f + 0.65f * b));
        if (b > 0.93f) {
            c.line({x - 5, y}, {x + 5, y}, 0.8f, withAlpha(col, 0.5f));
            c.line({x, y - 5}, {x, y + 5}, 0.8f, withAlpha(col, 0.5f));
        }
    }
    // The planet: centre and radius in display units (x stretched by ax).
    const float pcx = dispW * 0.5f, pcy = 930, pr = 600;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float dx = (x + 0.5f) * ax - pcx, dy = (y + 0.5f) - pcy;
            float d = std::sqrt(dx * dx + dy * dy);
            float glow = std::exp(-(d - pr) / 22.0f);
            if (d > pr) {
                c.blend(x, y, Rgba{0.35f, 0.65f, 1, 1}, clampf(glow * 0.8f, 0, 1));
                continue;
            }
            float nx = dx / pr, ny = dy / pr;
            float nz = std::sqrt(std::fmax(0.0f, 1 - nx * nx - ny * ny));
            float light = clampf(-0.55f * nx - 0.6f * ny + 0.58f * nz, 0, 1);
            float h = fbm3(nx * 6 / (nz + 0.3f), ny * 14, 3.3f, 0, 0, 6, 0.55f, 91);
            Rgba ground =
                h < 0 ? mix(Rgba{0.12f, 0.14f, 0.28f, 1}, Rgba{0.45f, 0.33f, 0.3f, 1}, h + 1)
                      : mix(Rgba{0.45f, 0.33f, 0.3f, 1}, Rgba{0.85f, 0.72f, 0.55f, 1},
                            clampf(h * 2, 0, 1));
            float shade = 0.08f + 0.95f * light;
            Rgba col{ground.r * shade, ground.g * shade, ground.b * shade, 1};
            float rim = std::pow(1 - nz, 3.0f);
            col = mix(col, Rgba{0.45f, 0.75f, 1, 1}, clampf(rim * 0.9f, 0, 0.85f));
            float cov = clampf(pr - d + 0.5f, 0, 1);
            c.blend(x, y, col, cov);
        }
    // A small moon.
    {
        float mcx = 95, mcy = 175, mr = 26;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n / 2; ++x) {
                float dx = (x + 0.5f) * ax - mcx, dy = y + 0.5f - mcy;
                float d = std::sqrt(dx * dx + dy * dy);
                if (d > mr + 1) continue;
                float nx = dx / mr, ny = dy / mr;
                float nz = std::sqrt(std::fmax(0.0f, 1 - nx * nx - ny * ny));
                float light = clampf(0.7f * nx - 0.4f * ny + 0.6f * nz, 0, 1);
                float h = fbm3(nx * 3, ny * 3, 8.5f, 0, 0, 4, 0.5f, 13);
                float g = (0.55f + 0.25f * h) * (0.05f + light);
                c.blend(x, y, Rgba{g, g * 0.97f, g * 0.95f, 1}, clampf(mr - d + 0.5f, 0, 1));
            }
    }
    // Title glow, then the letters.
    TextShape name, three;
    const float gw = 46, gh = 72, adv = 61;
    float titleW = 6 * adv + gw + 40 + adv + gw;
    float x0 = (dispW - titleW) / 2, y0 = 34;
    name.addText("CORVANE", x0, y0, gw, gh, adv);
    three.addText("3D", x0 + 7 * adv + 40, y0, gw, gh, adv);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < n; ++x) {
            float lx = (x + 0.5f) * ax, ly = y + 0.5f;
            float d = std::fmin(name.distance(lx, ly), three.distance(lx, ly));
            c.blend(x, y, Rgba{0.3f, 0.55f, 1, 1}, 0.45f * std::exp(-d / 14.0f));
        }
    StrokeStyle metal{7.5f,
                      3.5f,
                      Rgba{0.95f, 0.98f, 1, 1},
                      Rgba{0.45f, 0.6f, 0.85f, 1},
                      Rgba{0.02f, 0.03f, 0.1f, 1},
                      5};
    StrokeStyle fire{
        7.5f, 3.5f, Rgba{1, 0.95f, 0.45f, 1}, Rgba{1, 0.4f, 0.05f, 1}, Rgba{0.15f, 0.03f, 0.0f, 1},
        5};
    drawTextShape(c, name, metal, ax, 1);
    drawTextShape(c, three, fire, ax, 1);
    return c;
}

} // namespace

int writeFrontEndPictures(const std::string& dir) {
    int fails = 0;
    fails += save(font(), dir, "font.png", true);
    fails += save(intro(), dir, "intro.png", false);
    return fails;
}
