// A bomb drawn in a real OpenGL context, seen from above as the game's camera sees it: culling of
// clockwise faces, lighting from a light above the planet; pixels read back.
#include <gtest/gtest.h>

#include <GL/glu.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "bomb.h"
#include "clock.h"
#include "platform.h"
#include "support/gl_context.h"

namespace {

const int kW = 320;
const int kH = 240;

struct ScreenPoint {
    int x, y;
};

class BombDrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testgl::ensureContext(kW, kH);
        platform = PlatformHooks();
        std::memset(flameTextures, 0, sizeof flameTextures);

        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        testgl::lookFromAbove(60.0, static_cast<double>(kW) / kH);

        glShadeModel(GL_SMOOTH);
        glFrontFace(GL_CCW);
        glEnable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        const GLfloat none[4] = {0, 0, 0, 1};
        const GLfloat white[4] = {1, 1, 1, 1};
        const GLfloat above[4] = {0, 0, 300, 1};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
        glLightfv(GL_LIGHT0, GL_AMBIENT, none);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_SPECULAR, none);
        glLightfv(GL_LIGHT0, GL_POSITION, above);
    }
    void TearDown() override {
        glDisable(GL_LIGHTING);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        std::memset(flameTextures, 0, sizeof flameTextures);
    }

    ScreenPoint project(const Vector3& p) {
        GLdouble model[16], proj[16];
        GLint view[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glGetIntegerv(GL_VIEWPORT, view);
        GLdouble x, y, z;
        gluProject(p.x, p.y, p.z, model, proj, view, &x, &y, &z);
        return {static_cast<int>(x + 0.5), static_cast<int>(y + 0.5)};
    }

    static int brightness(const testgl::Pixel& p) { return p.r + p.g + p.b; }

    static int litPixels(const std::vector<testgl::Pixel>& px) {
        int n = 0;
        for (const testgl::Pixel& p : px)
            if (brightness(p) > 0) ++n;
        return n;
    }
};

} // namespace

TEST_F(BombDrawTest, UnexplodedBombIsASphereAtItsPlace) {
    Bomb b(Vector3(0, 0, 102), Vector3(0, 1, 0), 1, 3, 0);
    b.draw();
    std::vector<testgl::Pixel> px = testgl::readPixels(kW, kH);
    ScreenPoint c = project(Vector3(0, 0, 104));
    EXPECT_GT(brightness(testgl::pixelAt(px, kW, c.x, c.y)), 300);
    // Radius 2 at 66 units from the eye: a disc of roughly 8 pixels across, nothing far away.
    ScreenPoint edge = project(Vector3(2.5, 0, 102));
    EXPECT_EQ(brightness(testgl::pixelAt(px, kW, edge.x + 2, edge.y)), 0);
    EXPECT_EQ(brightness(testgl::pixelAt(px, kW, 5, 5)), 0);
    EXPECT_GT(litPixels(px), 20);
    EXPECT_LT(litPixels(px), 200);
}

TEST_F(BombDrawTest, ExplodedBombShowsLitFlamesFromAboveAndNoSphere) {
    Bomb b(Vector3(0, 0, 102), Vector3(0, 1, 0), 1, 3, 0);
    b.explode();
    b.draw();
    std::vector<testgl::Pixel> px = testgl::readPixels(kW, kH);
    for (int s = 0; s < 3; ++s) {
        List<Vector3>& centres = b.flameCentres(s);
        for (Vector3* c = centres.first(); c; c = centres.next()) {
            ScreenPoint p = project(*c);
            // Lit from the front: white material under a white light straight above.
            EXPECT_GT(brightness(testgl::pixelAt(px, kW, p.x, p.y)), 450)
                << "strip " << s << " at " << p.x << "," << p.y;
        }
    }
    // The bomb's own place lies inside the triangle the strips leave open: no sphere there.
    ScreenPoint centre = project(Vector3(0, 0, 102));
    EXPECT_EQ(brightness(testgl::pixelAt(px, kW, centre.x, centre.y)), 0);
}

TEST_F(BombDrawTest, FlameFramesAdvanceOncePerDrawnFrameAndWrap) {
    Bomb b(Vector3(0, 0, 102), Vector3(0, 1, 0), 1, 3, 0);
    b.draw();
    EXPECT_EQ(b.frame(), 0);
    b.explode();
    b.draw();
    EXPECT_EQ(b.frame(), 1);
    for (int i = 0; i < 31; ++i)
        b.draw();
    EXPECT_EQ(b.frame(), 0);
}

TEST_F(BombDrawTest, FinishedBombDrawsNothing) {
    int64_t now = 0;
    static int64_t* nowPtr = &now;
    setClock([] { return *nowPtr; });
    Bomb b(Vector3(0, 0, 102), Vector3(0, 1, 0), 1, 3, 0);
    now = 3000;
    b.update();
    now = 5000;
    b.update();
    setClock(nullptr);
    ASSERT_LT(b.owner(), 0);
    b.draw();
    EXPECT_EQ(litPixels(testgl::readPixels(kW, kH)), 0);
}

TEST_F(BombDrawTest, TexturedFlamesShowTheFlamePictures) {
    std::string dataDir = std::string(CORVANE_BUILD_DIR) + "/data/flame00.png";
    if (access(dataDir.c_str(), R_OK) != 0) GTEST_SKIP() << "no generated flame pictures";
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(CORVANE_BUILD_DIR), 0);
    loadFlameTextures();
    unsigned first[32];
    std::memcpy(first, flameTextures, sizeof first);
    loadFlameTextures();
    ASSERT_EQ(chdir(cwd), 0);
    for (int i = 0; i < 32; ++i) {
        EXPECT_NE(flameTextures[i], 0u) << "frame " << i;
        EXPECT_EQ(flameTextures[i], first[i]) << "a second load changed frame " << i;
    }

    Bomb b(Vector3(0, 0, 102), Vector3(0, 1, 0), 1, 8, 0);
    b.explode();
    b.draw();
    std::vector<testgl::Pixel> px = testgl::readPixels(kW, kH);
    int lit = 0;
    for (int s = 0; s < 3; ++s) {
        List<Vector3>& centres = b.flameCentres(s);
        for (Vector3* c = centres.first(); c; c = centres.next()) {
            ScreenPoint p = project(*c);
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    if (brightness(testgl::pixelAt(px, kW, p.x + dx, p.y + dy)) > 60) ++lit;
        }
    }
    EXPECT_GT(lit, 3 * 8 * 25 / 4) << "flame pictures barely visible";
    glDeleteTextures(32, flameTextures);
}

TEST_F(BombDrawTest, MissingFlamePicturesLeaveZeroSilently) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    char dir[] = "/tmp/corvane_noflames_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    ASSERT_EQ(chdir(dir), 0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    loadFlameTextures();
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(chdir(cwd), 0);
    rmdir(dir);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(flameTextures[i], 0u);
}
