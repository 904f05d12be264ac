// Whole arena frames from the game's camera, drawn as the game draws them and drawn block by block
// in list order (each block setting and clearing its own state, the planet last): the two must
// agree in every pixel at every detail level, with blocks breaking near the car and far away.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <vector>

#include "game.h"
#include "game_gl.h"
#include "globals.h"
#include "platform.h"
#include "support/full_labyrinth.h"
#include "support/gl_context.h"
#include "world.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// A 16 x 16 texture: a checker of two greys, with alpha running from 0 to 255 across it when
// translucent.
GLuint checker(bool translucent) {
    std::vector<GLubyte> texels(16 * 16 * 4);
    for (int i = 0; i < 16 * 16; ++i) {
        GLubyte v = ((i % 16) / 4 + (i / 16) / 4) % 2 ? 230 : 70;
        texels[4 * i] = v;
        texels[4 * i + 1] = static_cast<GLubyte>(v / 2);
        texels[4 * i + 2] = static_cast<GLubyte>(255 - v);
        texels[4 * i + 3] = translucent ? static_cast<GLubyte>((i % 16) * 17) : 255;
    }
    return testgl::makeTexture(16, 16, texels, GL_LINEAR);
}

class ArenaPicture : public ::testing::Test {
  protected:
    void SetUp() override {
        testgl::ensureContext(kWidth, kHeight);
        platform = PlatformHooks();
        savedDetail_ = detailLevel;
        for (int i = 0; i < 10; ++i)
            savedTextures_[i] = itemTextures[i];
        for (int i = 1; i <= 9; ++i)
            itemTextures[i] = checker(i != 9);
        prepareGameViewGl();
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(80.0, 1.3, 1.0, 500.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        lights_.setUp();
    }
    void TearDown() override {
        glDeleteTextures(9, itemTextures + 1);
        for (int i = 0; i < 10; ++i)
            itemTextures[i] = savedTextures_[i];
        detailLevel = savedDetail_;
        glDisable(GL_FOG);
    }

    // Breaks the blocks within reach of the car at p, each a different number of ticks into its
    // break-up, and every fifth block elsewhere, settled, with its item showing.
    static void breakSome(World& world, Vector3 p) {
        int i = 0;
        for (WallBlock* b = world.blocks().first(); b; b = world.blocks().next(), ++i) {
            Vector3 c = (b->baseCorner(0) + b->baseCorner(1) + b->baseCorner(2)) / 3.0;
            int ticks = (c - p * 100.0).length() < 45.0 ? i % 20 : i % 5 == 0 ? 19 : -1;
            if (ticks < 0) continue;
            b->setState(1);
            if (b->item() == kItemNone && i % 2) b->setItem(kItemRange);
            for (int k = 0; k < ticks; ++k)
                b->updateDebris();
        }
    }

    enum class Drawing { kWorld, kListOrder, kReversed };

    std::vector<testgl::Pixel> frame(World& world, Vector3 p, Drawing drawing) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        camera_.setEye(p * 170.0);
        camera_.apply(p);
        lights_.follow(p);
        if (drawing != Drawing::kWorld) {
            static const GLfloat wallColour[4] = {0.6f, 0.6f, 0.6f, 1.0f};
            static const GLfloat wallSpecular[4] = {0.5f, 0.5f, 0.5f, 1.0f};
            glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, wallColour);
            glMaterialfv(GL_FRONT, GL_SPECULAR, wallSpecular);
            glMaterialf(GL_FRONT, GL_SHININESS, 1.0f);
            std::vector<WallBlock*> blocks;
            for (WallBlock* b = world.blocks().first(); b; b = world.blocks().next())
                blocks.push_back(b);
            // Smoke blends with what lies behind it, so only what follows the last smoking block
            // is turned round.
            size_t opaqueFrom = 0;
            for (size_t i = 0; detailLevel == 2 && i < blocks.size(); ++i)
                if (blocks[i]->state() != 0 && blocks[i]->debrisTicks() < 20) opaqueFrom = i + 1;
            // Wire frames keep the list order.
            if (drawing == Drawing::kReversed && detailLevel > 0)
                std::reverse(blocks.begin() + static_cast<long>(opaqueFrom), blocks.end());
            for (WallBlock* b : blocks)
                b->render();
            World planetOnly;
            planetOnly.render();
        } else {
            world.render();
        }
        return testgl::readPixels(kWidth, kHeight);
    }

    // Drawn at once, the picture equals the blocks drawn one by one in list order at every pixel
    // whose colour does not depend on the order of the opaque blocks: where two faces meet at
    // exactly the same depth the first drawn wins, so those pixels are found by drawing them
    // backwards.
    void expectSamePictures(World& world, const std::vector<Vector3>& places) {
        for (Vector3 p : places) {
            p.normalize();
            for (int detail = 0; detail <= 2; ++detail) {
                detailLevel = detail;
                std::vector<testgl::Pixel> expected = frame(world, p, Drawing::kListOrder);
                std::vector<testgl::Pixel> reversed = frame(world, p, Drawing::kReversed);
                std::vector<testgl::Pixel> got = frame(world, p, Drawing::kWorld);
                int differ = 0, seams = 0;
                for (size_t k = 0; k < got.size(); ++k) {
                    const testgl::Pixel &a = expected[k], &r = reversed[k], &b = got[k];
                    const bool seam = a.r != r.r || a.g != r.g || a.b != r.b;
                    seams += seam;
                    differ += !seam && (a.r != b.r || a.g != b.g || a.b != b.b);
                }
                EXPECT_EQ(differ, 0)
                    << "detail " << detail << " at " << p.x << " " << p.y << " " << p.z;
                EXPECT_LT(seams, static_cast<int>(got.size() / 200)) << "detail " << detail;
                EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            }
        }
    }

    Camera camera_;
    Lights lights_;
    int32_t savedDetail_ = 0;
    unsigned savedTextures_[10] = {};
};

} // namespace

TEST_F(ArenaPicture, GeneratedLabyrinthLooksTheSameDrawnAtOnce) {
    World world;
    std::srand(5);
    world.buildLabyrinth(1);
    ASSERT_GT(world.blocks().count(), 100);
    std::vector<Vector3> places = {Vector3(0.2, 0.3, 0.9), Vector3(-0.7, 0.1, -0.2)};
    expectSamePictures(world, places);
    for (const Vector3& p : places)
        breakSome(world, p * (1.0 / p.length()));
    expectSamePictures(world, places);
}

TEST_F(ArenaPicture, FullLabyrinthLooksTheSameDrawnAtOnce) {
    World world;
    testworld::fillPlanet(world.blocks());
    Vector3 p(0.5, -0.6, 0.3);
    p.normalize();
    breakSome(world, p);
    expectSamePictures(world, {p, Vector3(0.1, 0.9, 0.1)});
}
