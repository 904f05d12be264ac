#include <gtest/gtest.h>

#include "glpng.h"
#include "png_read.h"
#include "support/gl_context.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

using assets::dataPath;
using assets::Picture;
using assets::readPng;

namespace {

struct Expected {
    const char* name;
    int width, height, channels;
};

const Expected kPictures[] = {
    {"bomb2.png", 64, 64, 4},          {"remote_control2.png", 64, 64, 4},
    {"cloak.png", 64, 64, 4},          {"energy.png", 256, 128, 4},
    {"go.png", 256, 256, 4},           {"gameover.png", 256, 256, 4},
    {"gamewon.png", 256, 256, 4},      {"bomb.png", 64, 64, 4},
    {"power.png", 64, 64, 4},          {"range.png", 64, 64, 4},
    {"remote_control.png", 64, 64, 4}, {"speed.png", 64, 64, 4},
    {"slow.png", 64, 64, 4},           {"smoke.png", 64, 64, 4},
    {"wall.png", 128, 128, 3},         {"sphere.png", 256, 256, 3},
    {"intro.png", 512, 512, 3},        {"font.png", 256, 256, 4},
};

const char* const kItems[] = {"bomb.png",  "power.png", "range.png", "remote_control.png",
                              "cloak.png", "speed.png", "slow.png"};

const char* const kCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ?:+-0123456789.,!()] ";

std::string flameName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "flame%02d.png", i);
    return name;
}

Picture load(const std::string& name) {
    Picture p;
    EXPECT_TRUE(readPng(dataPath(name), p)) << name;
    return p;
}

bool powerOfTwo(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// Mean absolute difference of all RGBA bytes weighted by visibility (alpha) of two pictures.
double frameDifference(const Picture& a, const Picture& b) {
    double sum = 0;
    for (size_t i = 0; i < a.rgba.size(); i += 4)
        for (int c = 0; c < 4; ++c) {
            float wa = a.rgba[i + 3] / 255.0f, wb = b.rgba[i + 3] / 255.0f;
            sum += std::fabs(a.rgba[i + c] * (c < 3 ? wa : 1) - b.rgba[i + c] * (c < 3 ? wb : 1));
        }
    return sum / a.rgba.size();
}

double columnDifference(const Picture& p, int x0, int x1) {
    double sum = 0;
    for (int y = 0; y < p.height; ++y)
        for (int c = 0; c < 4; ++c)
            sum += std::fabs(p.pixel(x0, y)[c] - p.pixel(x1, y)[c]);
    return sum / (p.height * 4);
}

} // namespace

TEST(Pictures, EveryPictureHasItsSizeAndChannels) {
    for (const Expected& e : kPictures) {
        Picture p = load(e.name);
        EXPECT_EQ(p.width, e.width) << e.name;
        EXPECT_EQ(p.height, e.height) << e.name;
        EXPECT_EQ(p.channels, e.channels) << e.name;
        EXPECT_TRUE(powerOfTwo(p.width) && powerOfTwo(p.height)) << e.name;
    }
    for (int i = 0; i < 32; ++i) {
        Picture p = load(flameName(i));
        EXPECT_EQ(p.width, 64);
        EXPECT_EQ(p.height, 64);
        EXPECT_EQ(p.channels, 4) << flameName(i);
    }
}

TEST(Pictures, EveryPictureBindsAsATextureThroughPngBind) {
    testgl::ensureContext(64, 64);
    pngSetStandardOrientation(1);
    for (const Expected& e : kPictures) {
        pngInfo info{};
        unsigned name = pngBind(dataPath(e.name).c_str(), PNG_NOMIPMAPS,
                                e.channels == 4 ? PNG_ALPHA : PNG_SOLID, &info, GL_REPEAT,
                                GL_LINEAR, GL_LINEAR);
        ASSERT_NE(name, 0u) << e.name;
        EXPECT_EQ(static_cast<int>(info.Width), e.width) << e.name;
        EXPECT_EQ(static_cast<int>(info.Height), e.height) << e.name;
        EXPECT_EQ(info.Alpha, e.channels == 4 ? 1u : 0u) << e.name;
        GLint w = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        EXPECT_EQ(w, e.width) << e.name;
        glDeleteTextures(1, &name);
    }
}

TEST(FontPicture, EveryGlyphHasInkInsideItsCellAndNoneCrossesACellBorder) {
    Picture font = load("font.png");
    ASSERT_EQ(font.width, 256);
    size_t n = std::strlen(kCharacters);
    ASSERT_EQ(n, 47u);
    for (size_t g = 0; g < 48; ++g) {
        int x0 = static_cast<int>(g % 8) * 32, y0 = static_cast<int>(g / 8) * 34;
        bool visible = g < n && kCharacters[g] != ' ';
        int ink = 0, border = 0;
        for (int y = y0; y < y0 + 34; ++y)
            for (int x = x0; x < x0 + 32; ++x) {
                if (font.alpha(x, y) < 128) continue;
                ++ink;
                if (x <= x0 || x >= x0 + 30 || y == y0 || y == y0 + 33) ++border;
            }
        if (visible)
            EXPECT_GT(ink, 25) << "glyph '" << kCharacters[g] << "' has too little ink";
        else
            EXPECT_EQ(ink, 0) << "cell " << g << " should be empty";
        EXPECT_EQ(border, 0) << "glyph " << g << " touches its cell border or last columns";
    }
    for (int y = 6 * 34; y < font.height; ++y)
        for (int x = 0; x < font.width; ++x)
            ASSERT_EQ(font.alpha(x, y), 0) << x << "," << y;
}

TEST(FontPicture, GlyphsAreLightSoTheMenuColourShowsThrough) {
    Picture font = load("font.png");
    long bright = 0, opaque = 0;
    for (int y = 0; y < 6 * 34; ++y)
        for (int x = 0; x < 256; ++x) {
            if (font.alpha(x, y) < 128) continue;
            ++opaque;
            const uint8_t* p = font.pixel(x, y);
            if (p[0] > 200 && p[1] > 200 && p[2] > 200) ++bright;
        }
    EXPECT_GT(bright, opaque / 2);
}

TEST(EnergyPicture, EachStripShowsItsEnergyAsLitBars) {
    Picture e = load("energy.png");
    const int left[6] = {0, 38, 76, 114, 152, 190};
    for (int strip = 0; strip < 6; ++strip) {
        int x = left[strip] + 17;
        int runs = 0;
        bool inRun = false;
        for (int y = 0; y < e.height; ++y) {
            const uint8_t* p = e.pixel(x, y);
            int mx = std::max({p[0], p[1], p[2]}), mn = std::min({p[0], p[1], p[2]});
            bool lit = p[3] >= 128 && mx >= 150 && mx - mn >= 80;
            if (lit && !inRun) ++runs;
            inRun = lit;
        }
        EXPECT_EQ(runs, 5 - strip) << "strip " << strip;
    }
    for (int y = 0; y < e.height; ++y)
        for (int x = 225; x < 256; ++x)
            EXPECT_LT(e.alpha(x, y), 128) << x << "," << y;
}

TEST(OverlayPictures, WordsAreBrightOnATransparentSurround) {
    for (const char* name : {"go.png", "gameover.png", "gamewon.png"}) {
        Picture p = load(name);
        long shown = 0, bright = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                if (p.alpha(x, y) <= 51) continue;
                ++shown;
                const uint8_t* c = p.pixel(x, y);
                if (std::max({c[0], c[1], c[2]}) > 200) ++bright;
            }
        long total = static_cast<long>(p.width) * p.height;
        EXPECT_GT(shown, total / 10) << name;
        EXPECT_LT(shown, total * 3 / 4) << name;
        EXPECT_GT(bright, shown / 2) << name;
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                if (x < 4 || y < 4 || x >= p.width - 4 || y >= p.height - 4) {
                    ASSERT_EQ(p.alpha(x, y), 0) << name << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(ItemPictures, EachItemIsARoundSymbolWithItsOwnColours) {
    double means[7][3];
    for (int i = 0; i < 7; ++i) {
        Picture p = load(kItems[i]);
        EXPECT_EQ(p.alpha(0, 0), 0) << kItems[i];
        EXPECT_EQ(p.alpha(63, 63), 0) << kItems[i];
        EXPECT_EQ(p.alpha(32, 32), 255) << kItems[i];
        double sum[3] = {0, 0, 0};
        long n = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                if (p.alpha(x, y) >= 128) {
                    for (int c = 0; c < 3; ++c)
                        sum[c] += p.pixel(x, y)[c];
                    ++n;
                }
        ASSERT_GT(n, 64 * 64 / 2);
        for (int c = 0; c < 3; ++c)
            means[i][c] = sum[c] / n;
    }
    for (int a = 0; a < 7; ++a)
        for (int b = a + 1; b < 7; ++b) {
            double d = 0;
            for (int c = 0; c < 3; ++c)
                d += std::fabs(means[a][c] - means[b][c]);
            EXPECT_GT(d, 30) << kItems[a] << " and " << kItems[b] << " look alike";
        }
}

TEST(FlamePictures, AnimationLoopsAndTilesAlongTheStripAndFadesAtItsSides) {
    Picture frames[32];
    for (int i = 0; i < 32; ++i)
        frames[i] = load(flameName(i));
    double maxStep = 0;
    for (int i = 0; i + 1 < 32; ++i)
        maxStep = std::max(maxStep, frameDifference(frames[i], frames[i + 1]));
    double wrapStep = frameDifference(frames[31], frames[0]);
    EXPECT_LE(wrapStep, maxStep * 1.2) << "the jump from frame 31 to 0 is larger than any other";
    EXPECT_GT(frameDifference(frames[0], frames[16]), maxStep) << "the flame does not move";
    for (const Picture& f : frames) {
        double seam = columnDifference(f, 63, 0);
        double inner = 0;
        for (int x = 0; x < 63; ++x)
            inner = std::max(inner, columnDifference(f, x, x + 1));
        EXPECT_LE(seam, inner * 1.2);
        for (int x = 0; x < 64; ++x) {
            EXPECT_EQ(f.alpha(x, 0), 0);
            EXPECT_EQ(f.alpha(x, 63), 0);
        }
        long visible = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                visible += f.alpha(x, y) > 128;
        EXPECT_GT(visible, 64 * 64 / 4);
    }
}

TEST(SolidPictures, BackgroundWallAndPlanetAreNotFlat) {
    for (const char* name : {"intro.png", "wall.png", "sphere.png"}) {
        Picture p = load(name);
        double sum = 0, sq = 0;
        long n = static_cast<long>(p.width) * p.height;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const uint8_t* c = p.pixel(x, y);
                double l = 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2];
                sum += l, sq += l * l;
            }
        double sd = std::sqrt(sq / n - (sum / n) * (sum / n));
        EXPECT_GT(sd, 12) << name;
    }
}
