#include "canvas.h"
#include "noise.h"
#include "pictures.h"
#include "symbols.h"

#include <cmath>
#include <cstdio>

namespace {

const float kPi = 3.14159265f;

int save(const Canvas& c, const std::string& dir, const char* name, bool alpha) {
    if (c.writePng(dir + "/" + name, alpha)) return 0;
    std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name);
    return 1;
}

Canvas item(int kind) {
    const int size = 64;
    Canvas c(size, size);
    float k = size / 64.0f;
    switch (kind) {
    case 1:
        drawBadge(c, k, Rgba{0.3f, 0.55f, 0.95f, 1});
        drawBomb(c, k, 30, 36, 14);
        break;
    case 2:
        drawBadge(c, k, Rgba{0.2f, 0.65f, 0.3f, 1});
        drawBolt(c, k);
        break;
    case 3:
        drawBadge(c, k, Rgba{0.98f, 0.6f, 0.15f, 1});
        drawRangeFlame(c, k);
        break;
    case 4:
        drawBadge(c, k, Rgba{0.6f, 0.35f, 0.85f, 1});
        drawRemote(c, k, 1);
        break;
    case 5:
        drawBadge(c, k, Rgba{0.1f, 0.6f, 0.65f, 1});
        drawGhost(c, k);
        break;
    case 6:
        drawBadge(c, k, Rgba{1, 0.85f, 0.15f, 1});
        drawChevrons(c, k);
        break;
    default:
        drawBadge(c, k, Rgba{0.55f, 0.6f, 0.75f, 1});
        drawSnail(c, k);
        break;
    }
    c.bleedColour(3);
    return c;
}

// Soft grey puffs whose alpha fades to nothing at the picture's border.
Canvas smoke() {
    Canvas c(64, 64);
    Rng rng(77);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            float u = (x + 0.5f) / 64, v = (y + 0.5f) / 64;
            float dx = u - 0.5f, dy = v - 0.5f;
            float r = std::sqrt(dx * dx + dy * dy) * 2;
            float n = fbm3(u * 4, v * 4, 0.5f, 0, 0, 4, 0.55f, 11);
            float density = (1 - smoothstep(0.35f, 1.0f, r + n * 0.45f)) * 0.95f;
            float shade = 0.55f + 0.35f * clampf(0.5f - n, 0, 1);
            c.at(x, y) = Rgba{shade, shade, shade * 1.02f, clampf(density, 0, 1)};
        }
    return c;
}

// Weathered stone blocks. The picture's x axis runs up the wall, so the courses lie along y.
Canvas wall() {
    const int n = 128;
    Canvas c(n, n);
    const int courses = 4, perCourse = 2;
    const float courseW = n / static_cast<float>(courses),
                blockL = n / static_cast<float>(perCourse);
    Rng rng(5);
    float tint[courses][perCourse + 1];
    for (auto& row : tint)
        for (float& t : row)
            t = rng.range(-0.08f, 0.08f);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            int course = static_cast<int>(x / courseW);
            float offset = (course % 2) ? blockL / 2 : 0;
            float along = std::fmod(y + offset, static_cast<float>(n));
            int block = static_cast<int>(along / blockL);
            float fx = x - course * courseW, fy = along - block * blockL;
            float edge = std::fmin(std::fmin(fx, courseW - fx), std::fmin(fy, blockL - fy));
            float grain = fbm3(x / 16.0f, y / 16.0f, 0.3f, n / 16, 0, 4, 0.5f, 3);
            float fine = noise3(x / 3.0f, y / 3.0f, 2.0f, 0, 0, 8);
            float t = tint[course][block % (perCourse + 1)];
            Rgba stone{0.58f + t + grain * 0.18f + fine * 0.04f,
                       0.5f + t + grain * 0.15f + fine * 0.04f,
                       0.42f + t * 0.5f + grain * 0.12f + fine * 0.04f, 1};
            float bevel = smoothstep(1.5f, 5.0f, edge);
            float light = (fx < 5 ? 0.12f : 0) - (fy > blockL - 5 ? 0.1f : 0);
            Rgba shaded{stone.r * (0.75f + 0.25f * bevel) + light,
                        stone.g * (0.75f + 0.25f * bevel) + light,
                        stone.b * (0.75f + 0.25f * bevel) + light, 1};
            Rgba mortar{0.22f + fine * 0.03f, 0.2f + fine * 0.03f, 0.19f, 1};
            c.at(x, y) = mix(mortar, shaded, smoothstep(0.8f, 2.0f, edge));
        }
    return c;
}

// A rocky planet surface, seamless left to right.
Canvas planet() {
    const int n = 256;
    Canvas c(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float u = x / 32.0f, v = y / 32.0f;
            float h = fbm3(u, v, 0.7f, n / 32, 0, 6, 0.52f, 21);
            float m = fbm3(u * 0.5f, v * 0.5f, 4.1f, n / 64, 0, 3, 0.5f, 31);
            Rgba low{0.22f, 0.2f, 0.3f, 1}, mid{0.55f, 0.42f, 0.32f, 1},
                high{0.78f, 0.7f, 0.58f, 1};
            Rgba col =
                h < 0 ? mix(low, mid, clampf(h + 1, 0, 1)) : mix(mid, high, clampf(h * 2, 0, 1));
            col = mix(col, Rgba{0.35f, 0.45f, 0.55f, 1}, clampf(m * 0.8f, 0, 0.4f));
            float lat = std::fabs(y / static_cast<float>(n) - 0.5f) * 2;
            col = mix(col, Rgba{0.92f, 0.94f, 1, 1}, smoothstep(0.82f, 0.95f, lat + h * 0.1f));
            c.at(x, y) = col;
        }
    Rng rng(9);
    for (int i = 0; i < 18; ++i) {
        float cx = rng.range(0, n), cy = rng.range(40, n - 40), r = rng.range(3, 14);
        for (int wrap = -1; wrap <= 1; ++wrap) {
            float wx = cx + wrap * n;
            c.ring(wx, cy, r, r * 0.3f, Rgba{0.85f, 0.78f, 0.66f, 0.35f});
            c.disc(wx + r * 0.1f, cy + r * 0.1f, r * 0.8f, Rgba{0.15f, 0.13f, 0.16f, 0.35f});
        }
    }
    (void)kPi;
    return c;
}

} // namespace

int writeArenaPictures(const std::string& dir) {
    static const char* const names[8] = {
        nullptr,     "bomb.png",  "power.png", "range.png", "remote_control.png",
        "cloak.png", "speed.png", "slow.png"};
    int fails = 0;
    for (int kind = 1; kind <= 7; ++kind)
        fails += save(item(kind), dir, names[kind], true);
    fails += save(smoke(), dir, "smoke.png", true);
    fails += save(wall(), dir, "wall.png", false);
    fails += save(planet(), dir, "sphere.png", false);
    return fails;
}
