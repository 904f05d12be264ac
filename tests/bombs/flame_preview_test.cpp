// The outline of a waiting bomb's flames: how strong it is over the fuse, and where it lands on
// screen under a real GL context: on the strips the flames will burn, the first one ahead of the
// car that dropped the bomb, and gone once the bomb has gone off.
#include <gtest/gtest.h>

#include <GL/glu.h>

#include <algorithm>
#include <vector>

#include "bomb.h"
#include "clock.h"
#include "driving.h"
#include "flame_preview.h"
#include "platform.h"
#include "support/fake_clock.h"
#include "support/gl_context.h"

namespace {

const int kW = 320;
const int kH = 240;

TEST(FlamePreviewAlpha, GrowsOverTheFuseBlinksAtTheEndAndWaitsForARemote) {
    EXPECT_FLOAT_EQ(flamePreviewAlpha(3000, false), kFlamePreviewFaint);
    EXPECT_FLOAT_EQ(flamePreviewAlpha(5000, false), kFlamePreviewFaint);
    EXPECT_LT(flamePreviewAlpha(2500, false), flamePreviewAlpha(1500, false));
    float brightest = 0, darkest = 1;
    for (int64_t ms = 0; ms < 1000; ms += 25) {
        brightest = std::max(brightest, flamePreviewAlpha(ms, false));
        darkest = std::min(darkest, flamePreviewAlpha(ms, false));
    }
    EXPECT_NEAR(brightest, kFlamePreviewStrong, 0.02f);
    EXPECT_LT(darkest, 0.7f * brightest) << "the last second blinks";
    EXPECT_FLOAT_EQ(flamePreviewAlpha(-40000, true), kFlamePreviewRemote);
    EXPECT_GT(flamePreviewAlpha(-1, false), 0.0f) << "a late fuse still shows until it goes off";
}

class FlamePreviewPixels : public ::testing::Test {
  protected:
    void SetUp() override {
        platform = PlatformHooks();
        testclock::now = 10000;
        setClock(testclock::read);
        testgl::ensureContext(kW, kH);
        testgl::lookFromAbove(60.0, static_cast<double>(kW) / kH);
    }
    void TearDown() override { setClock(nullptr); }

    std::vector<testgl::Pixel> draw() {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawFlamePreviews(bombs, clockMs());
        return testgl::readPixels(kW, kH);
    }
    int redAt(const std::vector<testgl::Pixel>& px, const Vector3& p) {
        GLdouble model[16], proj[16], x, y, z;
        GLint view[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glGetIntegerv(GL_VIEWPORT, view);
        gluProject(p.x, p.y, p.z, model, proj, view, &x, &y, &z);
        const testgl::Pixel c =
            testgl::pixelAt(px, kW, static_cast<int>(x + 0.5), static_cast<int>(y + 0.5));
        return c.r > c.g && c.g >= c.b ? c.r : 0;
    }
    List<Bomb> bombs;
};

TEST_F(FlamePreviewPixels, OutlinesTheStripsAheadOfTheCarUntilTheBombGoesOff) {
    const Vector3 place(0, 0, 1), heading(0, 1, 0);
    Bomb* bomb = new Bomb(place * 102.0, heading, 1, 3, 0);
    bombs.append(bomb);
    auto px = draw();
    for (int s = 0; s < 3; ++s) {
        List<Vector3>& centres = bomb->flameCentres(s);
        for (Vector3* c = centres.first(); c; c = centres.next())
            EXPECT_GT(redAt(px, *c), 20) << "strip " << s;
    }
    EXPECT_EQ(redAt(px, place * 102.0), 0) << "the open triangle round the bomb stays clear";
    // The car that dropped it drives forward into the first strip.
    Vector3 ahead = drivenPosition(place, heading, 3, -1);
    ahead.normalize();
    Vector3 behind = drivenPosition(place, heading, 3, 1);
    behind.normalize();
    const Vector3 first = *bomb->flameCentres(0).first();
    EXPECT_LT((first - ahead * 102.0).length(), (first - behind * 102.0).length());
    const int early = redAt(px, first);

    testclock::now += 1900;
    EXPECT_GT(redAt(draw(), first), early) << "stronger as the fuse runs down";

    bomb->explode();
    for (const testgl::Pixel& p : draw())
        ASSERT_EQ(p.r + p.g + p.b, 0) << "no outline once the flames burn";
}

} // namespace
