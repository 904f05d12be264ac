#include <GL/gl.h>

#include <cstring>

#include "bitmap_font.h"
#include "front_fixture.h"

namespace {

using fronttest::FrontEnd;

class FontTest : public FrontEnd {
  protected:
    // Draws text at 64 pixels a unit from the bottom-left corner of a 640 x 480 frame.
    std::vector<testgl::Pixel> drawAtUnitScale(const BitmapFont& font, const char* text, int count,
                                               float after[16]) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 10, 0, 7.5, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GEQUAL, 0.5f);
        glColor4f(1, 1, 1, 1);
        font.bind();
        font.drawText(text, count);
        glGetFloatv(GL_MODELVIEW_MATRIX, after);
        glDisable(GL_ALPHA_TEST);
        glDisable(GL_TEXTURE_2D);
        return testgl::readPixels(640, 480);
    }

    // Lit pixels inside unit cell u of the bottom row.
    static int litInUnit(const std::vector<testgl::Pixel>& px, int u) {
        int lit = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = u * 64; x < u * 64 + 64; ++x)
                if (testgl::pixelAt(px, 640, x, y).r > 64) ++lit;
        return lit;
    }
};

TEST_F(FontTest, GlyphCornersFollowTheCellGridWithTheLastColumnLeftOut) {
    BitmapFont font("data/font.png", fronttest::kCharset, 32, 34, 0, 0, 8);
    ASSERT_EQ(font.load(), 1);
    ASSERT_NE(font.texture(), 0u);
    int w = 0, h = 0;
    fronttest::pngSize("data/font.png", &w, &h);
    ASSERT_EQ(w, 256);
    ASSERT_EQ(h, 256);

    struct Expect {
        char c;
        int g;
        double x0, y0;
    } cases[] = {{'A', 0, 0, 0}, {']', 45, 160, 170}, {' ', 46, 192, 170}};
    for (const Expect& e : cases) {
        SCOPED_TRACE(e.g);
        EXPECT_EQ(font.glyphIndex(e.c), e.g);
        const float* c = font.glyph(e.g);
        ASSERT_NE(c, nullptr);
        const float left = static_cast<float>(e.x0 / 256);
        const float right = static_cast<float>((e.x0 + 31) / 256);
        const float bottom = static_cast<float>(1 - (e.y0 + 34) / 256);
        const float top = static_cast<float>(1 - e.y0 / 256);
        const float want[8] = {left, bottom, right, bottom, right, top, left, top};
        for (int i = 0; i < 8; ++i)
            EXPECT_FLOAT_EQ(c[i], want[i]) << "coordinate " << i;
    }
    EXPECT_EQ(font.glyph(47), nullptr);
    EXPECT_EQ(font.glyphIndex('a'), -1);
}

TEST_F(FontTest, MissingPictureLoadsNothing) {
    BitmapFont font("data/nofont.png", fronttest::kCharset, 32, 34, 0, 0, 8);
    EXPECT_EQ(font.load(), 0);
    EXPECT_EQ(font.texture(), 0u);
    EXPECT_EQ(font.glyph(0), nullptr);
    EXPECT_EQ(font.release(), 1);
}

TEST_F(FontTest, CountZeroDrawsAndMovesNothing) {
    BitmapFont font("data/font.png", fronttest::kCharset, 32, 34, 0, 0, 8);
    ASSERT_EQ(font.load(), 1);
    float after[16];
    auto px = drawAtUnitScale(font, "ABC", 0, after);
    for (int u = 0; u < 4; ++u)
        EXPECT_EQ(litInUnit(px, u), 0);
    EXPECT_FLOAT_EQ(after[12], 0.0f);
}

TEST_F(FontTest, CharactersOutsideTheSetLeaveOneBlankUnit) {
    BitmapFont font("data/font.png", fronttest::kCharset, 32, 34, 0, 0, 8);
    ASSERT_EQ(font.load(), 1);
    float after[16];
    auto px = drawAtUnitScale(font, "aA", 2, after);
    EXPECT_EQ(litInUnit(px, 0), 0);
    EXPECT_GT(litInUnit(px, 1), 200);
    EXPECT_EQ(litInUnit(px, 2), 0);
    EXPECT_FLOAT_EQ(after[12], 2.0f);

    // Only the first count characters are drawn; the space glyph is clear.
    px = drawAtUnitScale(font, " AB", 2, after);
    EXPECT_EQ(litInUnit(px, 0), 0);
    EXPECT_GT(litInUnit(px, 1), 200);
    EXPECT_EQ(litInUnit(px, 2), 0);
    EXPECT_FLOAT_EQ(after[12], 2.0f);
}

} // namespace
