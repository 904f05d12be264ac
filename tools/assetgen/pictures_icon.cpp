#include "canvas.h"
#include "pictures.h"

#include <cmath>

bool writeDesktopIcon(const std::string& path) {
    const int size = 128;
    const float cx = 64, cy = 66, r = 54;
    Canvas c(size, size);
    // The planet, lit from the upper left.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float dx = (x + 0.5f - cx) / r, dy = (y + 0.5f - cy) / r;
            float d2 = dx * dx + dy * dy;
            if (d2 >= 1.04f) continue;
            float z = std::sqrt(std::fmax(0.0f, 1 - d2));
            float light = clampf(0.25f + 0.75f * (-0.5f * dx - 0.6f * dy + 0.62f * z), 0, 1);
            Rgba ground = mix(Rgba{0.05f, 0.16f, 0.30f, 1}, Rgba{0.35f, 0.72f, 0.86f, 1}, light);
            float cov = clampf((1.0f - std::sqrt(d2)) * r + 0.5f, 0, 1);
            c.blend(x, y, ground, cov);
        }
    // A few wall blocks of the labyrinth.
    const Rgba wall{0.86f, 0.62f, 0.30f, 1};
    const Rgba wallDark{0.50f, 0.32f, 0.14f, 1};
    c.polygon({{30, 52}, {46, 44}, {44, 62}}, wall);
    c.polygon({{44, 62}, {46, 44}, {58, 58}}, wallDark);
    c.polygon({{76, 86}, {94, 80}, {88, 100}}, wall);
    c.polygon({{60, 98}, {76, 86}, {74, 108}}, wallDark);
    c.polygon({{84, 40}, {100, 50}, {86, 56}}, wall);
    // The car, and a bomb with its spark.
    c.roundRect(52, 70, 74, 82, 4, Rgba{0.86f, 0.12f, 0.10f, 1});
    c.roundRect(56, 66, 68, 72, 2, Rgba{0.95f, 0.85f, 0.80f, 1});
    c.disc(56, 83, 3.2f, Rgba{0.08f, 0.08f, 0.08f, 1});
    c.disc(70, 83, 3.2f, Rgba{0.08f, 0.08f, 0.08f, 1});
    c.disc(98, 24, 10, Rgba{0.10f, 0.10f, 0.12f, 1});
    c.disc(95, 21, 3, Rgba{0.55f, 0.55f, 0.60f, 1});
    c.line({104, 16}, {110, 9}, 2.5f, Rgba{0.55f, 0.45f, 0.30f, 1});
    c.disc(111, 8, 4.5f, Rgba{1.0f, 0.78f, 0.20f, 0.95f});
    c.disc(111, 8, 2.2f, Rgba{1, 1, 0.85f, 1});
    return c.writePng(path, true);
}
