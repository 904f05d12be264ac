#include "canvas.h"
#include "noise.h"
#include "pictures.h"

#include <cmath>
#include <cstdio>

namespace {

const int kFrames = 32;
const int kSize = 64;

Rgba fireColour(float v) {
    const Rgba stops[5] = {{0.5f, 0.02f, 0.0f, 1},
                           {0.9f, 0.15f, 0.02f, 1},
                           {1.0f, 0.5f, 0.05f, 1},
                           {1.0f, 0.85f, 0.25f, 1},
                           {1.0f, 1.0f, 0.85f, 1}};
    v = clampf(v, 0, 0.9999f) * 4;
    int i = static_cast<int>(v);
    return mix(stops[i], stops[i + 1], v - i);
}

// One frame of flame running along x (the strip's length): the picture repeats seamlessly left to
// right, frame 32 would equal frame 0, and the flame fades out towards the top and bottom edges.
Canvas flameFrame(int frame) {
    Canvas c(kSize, kSize);
    float phase = static_cast<float>(frame) / kFrames;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            float u = (x + 0.5f) / kSize, v = (y + 0.5f) / kSize;
            float across = std::fabs(v - 0.5f) * 2;
            float scroll = u * 2 - phase * 2;
            float warp = fbm3(scroll, v * 3, phase * 4, 2, 4, 3, 0.5f, 41);
            float tongues =
                fbm3(scroll * 2 + warp * 0.6f, v * 5 + warp, phase * 8, 4, 8, 4, 0.55f, 57);
            float core = 1 - across;
            float heat = core * 1.1f + tongues * 1.2f - 0.2f;
            heat *= 1 - smoothstep(0.78f, 1.0f, across);
            float alpha = smoothstep(0.12f, 0.38f, heat);
            c.at(x, y) = withAlpha(fireColour(heat * 0.95f), alpha * 0.95f);
        }
    c.bleedColour(2);
    return c;
}

} // namespace

int writeFlamePictures(const std::string& dir) {
    int fails = 0;
    for (int i = 0; i < kFrames; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "flame%02d.png", i);
        if (!flameFrame(i).writePng(dir + "/" + name, true)) {
            std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name);
            ++fails;
        }
    }
    return fails;
}
