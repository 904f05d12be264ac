// Arena drawing in a real GL context, checked through the pixels read back: block outlines and
// faces at each detail level, debris and revealed items, the planet, and the arena pictures.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "globals.h"
#include "platform.h"
#include "random.h"
#include "support/gl_context.h"
#include "world.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

const Vector3 kA0(0, 0, 100), kA1(10, 0, 100), kA2(0, 10, 100);

// The block view: world x -2..14 and y -2..10 seen from above, 40 pixels per unit.
int pixelX(double x) {
    return static_cast<int>((x + 2.0) * 40.0);
}
int pixelY(double y) {
    return static_cast<int>((y + 2.0) * 40.0);
}

bool isBackground(const testgl::Pixel& p) {
    return p.r < 16 && p.g < 16 && p.b < 16;
}
bool isWhite(const testgl::Pixel& p) {
    return p.r > 240 && p.g > 240 && p.b > 240;
}
bool isRed(const testgl::Pixel& p) {
    return p.r > 240 && p.g < 16 && p.b < 16;
}
bool isGreen(const testgl::Pixel& p) {
    return p.r < 16 && p.g > 240 && p.b < 16;
}

int litCount(const std::vector<testgl::Pixel>& px) {
    int n = 0;
    for (const testgl::Pixel& p : px)
        if (!isBackground(p)) ++n;
    return n;
}

testgl::Pixel at(const std::vector<testgl::Pixel>& px, double x, double y) {
    return testgl::pixelAt(px, kWidth, pixelX(x), pixelY(y));
}

// A 2 x 2 texture of one colour, without mipmaps.
GLuint solidTexture(GLubyte r, GLubyte g, GLubyte b, GLubyte a) {
    GLubyte texels[16];
    for (int i = 0; i < 4; ++i) {
        texels[4 * i] = r;
        texels[4 * i + 1] = g;
        texels[4 * i + 2] = b;
        texels[4 * i + 3] = a;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

class ArenaRender : public ::testing::Test {
  protected:
    void SetUp() override {
        testgl::ensureContext(kWidth, kHeight);
        savedDetail_ = detailLevel;
        for (int i = 0; i < 10; ++i)
            savedTextures_[i] = itemTextures[i];
        viewBlock();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glClearColor(0, 0, 0, 1);
        clear();
    }
    void TearDown() override {
        detailLevel = savedDetail_;
        for (int i = 0; i < 10; ++i)
            itemTextures[i] = savedTextures_[i];
        if (!made_.empty()) glDeleteTextures(static_cast<GLsizei>(made_.size()), made_.data());
        setRandomSource(nullptr);
    }

    void viewBlock() { ortho(-2, 14, -2, 10); }
    void ortho(double l, double r, double b, double t) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(l, r, b, t, -300, 300);
        glMatrixMode(GL_MODELVIEW);
    }
    void clear() {
        glColor4f(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    GLuint texture(GLubyte r, GLubyte g, GLubyte b, GLubyte a) {
        made_.push_back(solidTexture(r, g, b, a));
        return made_.back();
    }
    std::vector<testgl::Pixel> draw(WallBlock& block, int detail) {
        detailLevel = detail;
        clear();
        block.render();
        return testgl::readPixels(kWidth, kHeight);
    }

  private:
    int32_t savedDetail_ = 0;
    unsigned savedTextures_[10] = {};
    std::vector<GLuint> made_;
};

} // namespace

TEST_F(ArenaRender, LowDetailIntactBlockIsOutlineOnly) {
    WallBlock b(kA0, kA1, kA2, 5.0);
    std::vector<testgl::Pixel> px = draw(b, 0);
    // Roof centroid at (4, 4): inside the outline, nothing filled.
    EXPECT_TRUE(isBackground(at(px, 4, 4)));
    // The roof edge B0..B1 runs along y = 2/3.
    int lit = 0;
    for (int dy = -3; dy <= 3; ++dy)
        if (!isBackground(testgl::pixelAt(px, kWidth, pixelX(5), pixelY(2.0 / 3.0) + dy))) ++lit;
    EXPECT_GT(lit, 0);
    EXPECT_GT(litCount(px), 500);
    EXPECT_LT(litCount(px), 4000);
}

TEST_F(ArenaRender, MediumDetailFillsRoofWithoutTexture) {
    itemTextures[9] = texture(255, 0, 0, 255);
    WallBlock b(kA0, kA1, kA2, 5.0);
    std::vector<testgl::Pixel> px = draw(b, 1);
    EXPECT_TRUE(isWhite(at(px, 4, 4)));
    EXPECT_TRUE(isBackground(at(px, 12, 8)));
}

TEST_F(ArenaRender, HighDetailTexturesFacesAndTurnsTexturingOff) {
    itemTextures[9] = texture(255, 0, 0, 255);
    WallBlock b(kA0, kA1, kA2, 5.0);
    std::vector<testgl::Pixel> px = draw(b, 2);
    EXPECT_TRUE(isRed(at(px, 4, 4)));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ArenaRender, DestroyedBlockWithoutItemDrawsNothingOnceDebrisSettles) {
    itemTextures[8] = texture(255, 255, 255, 255);
    WallBlock b(kA0, kA1, kA2, 5.0);
    b.setState(1);
    for (int i = 0; i < 19; ++i)
        b.updateDebris();
    ASSERT_EQ(b.debrisTicks(), 20);
    for (int detail = 0; detail <= 2; ++detail)
        EXPECT_EQ(litCount(draw(b, detail)), 0) << "detail " << detail;
}

TEST_F(ArenaRender, DebrisShowsFromBothSidesAndCullingComesBack) {
    itemTextures[8] = texture(255, 255, 255, 255);
    WallBlock b(kA0, kA1, kA2, 5.0);
    b.setState(1);
    for (int detail = 0; detail <= 2; ++detail) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT_AND_BACK);
        std::vector<testgl::Pixel> px = draw(b, detail);
        EXPECT_GT(litCount(px), 100) << "detail " << detail;
        EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        glCullFace(GL_BACK);
        glDisable(GL_CULL_FACE);
    }
}

TEST_F(ArenaRender, SmokeIsFullColourOnlyOnFirstDebrisTick) {
    itemTextures[8] = texture(255, 255, 255, 255);
    WallBlock b(kA0, kA1, kA2, 5.0);
    b.setState(1);
    EXPECT_GT(litCount(draw(b, 2)), 100);
    b.updateDebris();
    detailLevel = 2;
    glClear(GL_COLOR_BUFFER_BIT);
    b.render();
    EXPECT_EQ(litCount(testgl::readPixels(kWidth, kHeight)), 0);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 0.0f);
    EXPECT_EQ(colour[3], 1.0f);
}

TEST_F(ArenaRender, RevealedItemLiesOnGroundAtEveryDetailLevel) {
    itemTextures[kItemPower] = texture(0, 255, 0, 255);
    WallBlock b(kA0, kA1, kA2, 5.0);
    b.setState(1);
    b.setItem(kItemPower);
    for (int i = 0; i < 19; ++i)
        b.updateDebris();
    for (int detail = 0; detail <= 2; ++detail) {
        std::vector<testgl::Pixel> px = draw(b, detail);
        EXPECT_TRUE(isGreen(at(px, 3.75, 2.5))) << "detail " << detail;
        EXPECT_TRUE(isBackground(at(px, 8, 4))) << "detail " << detail;
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    }
}

TEST_F(ArenaRender, ItemPictureTransparencyIsCutOut) {
    itemTextures[kItemCloak] = texture(0, 255, 0, 100);
    WallBlock b(kA0, kA1, kA2, 5.0);
    b.setState(1);
    b.setItem(kItemCloak);
    for (int i = 0; i < 19; ++i)
        b.updateDebris();
    EXPECT_EQ(litCount(draw(b, 2)), 0);
}

TEST_F(ArenaRender, UnknownItemKindDrawsPlainPatch) {
    itemTextures[9] = texture(255, 0, 0, 255);
    WallBlock b(kA0, kA1, kA2, 5.0);
    b.setState(1);
    b.setItem(99);
    for (int i = 0; i < 19; ++i)
        b.updateDebris();
    std::vector<testgl::Pixel> px = draw(b, 2);
    EXPECT_TRUE(isWhite(at(px, 3.75, 2.5)));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(ArenaRender, PlanetIsWireAtLowDetailAndSolidAbove) {
    platform.loadPlanetTexture = nullptr;
    World w;
    ortho(-150, 150, -112.5, 112.5); // 640 / 300 pixels per unit: the planet is 213 pixels wide
    double fraction[3];
    for (int detail = 0; detail <= 2; ++detail) {
        detailLevel = detail;
        clear();
        w.render();
        std::vector<testgl::Pixel> px = testgl::readPixels(kWidth, kHeight);
        int lit = 0, total = 0;
        for (int y = -180; y <= 180; y += 2)
            for (int x = -180; x <= 180; x += 2) {
                if (x * x + y * y > 180 * 180) continue;
                ++total;
                if (!isBackground(testgl::pixelAt(px, kWidth, 320 + x, 240 + y))) ++lit;
            }
        fraction[detail] = static_cast<double>(lit) / total;
        EXPECT_TRUE(isBackground(testgl::pixelAt(px, kWidth, 5, 5)));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    }
    EXPECT_GT(fraction[0], 0.02);
    EXPECT_LT(fraction[0], 0.5);
    EXPECT_GT(fraction[1], 0.99);
    EXPECT_GT(fraction[2], 0.99);
}

TEST_F(ArenaRender, WholeLabyrinthDrawsCleanlyAtEveryDetailLevel) {
    itemTextures[8] = texture(255, 255, 255, 255);
    itemTextures[9] = texture(255, 0, 0, 255);
    World w;
    std::srand(3);
    w.buildLabyrinth(1);
    ASSERT_GT(w.blocks().count(), 0);
    int n = 0;
    for (WallBlock* b = w.blocks().first(); b; b = w.blocks().next())
        if (++n % 3 == 0) b->setState(1);
    ortho(-150, 150, -112.5, 112.5);
    glEnable(GL_CULL_FACE);
    for (int detail = 0; detail <= 2; ++detail) {
        detailLevel = detail;
        clear();
        w.render();
        EXPECT_GT(litCount(testgl::readPixels(kWidth, kHeight)), 1000);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    }
}

namespace {

const char* const kPictureFiles[10] = {"bomb.png",  "power.png", "range.png", "remote_control.png",
                                       "cloak.png", "speed.png", "slow.png",  "smoke.png",
                                       "wall.png",  "sphere.png"};

bool writeSmallPng(const std::string& path, bool alpha) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    int channels = alpha ? 4 : 3;
    png_set_IHDR(png, info, 4, 4, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(4 * channels, 200);
    for (int y = 0; y < 4; ++y)
        png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return true;
}

std::string makeTempDir() {
    char pattern[] = "/tmp/corvane_arena_XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? std::string(dir) : std::string();
}

// A directory holding data/ with the arena pictures: the generated ones when complete, else small
// stand-ins written here.
std::string arenaDataRoot() {
    std::string build = CORVANE_BUILD_DIR;
    bool complete = true;
    for (const char* name : kPictureFiles)
        if (access((build + "/data/" + name).c_str(), R_OK) != 0) complete = false;
    if (complete) return build;
    std::string root = makeTempDir();
    mkdir((root + "/data").c_str(), 0755);
    for (int i = 0; i < 10; ++i)
        writeSmallPng(root + "/data/" + kPictureFiles[i], i < 8);
    return root;
}

class WorkingDirectory {
  public:
    explicit WorkingDirectory(const std::string& dir) {
        if (getcwd(saved_, sizeof saved_) == nullptr) saved_[0] = '\0';
        ok_ = chdir(dir.c_str()) == 0;
    }
    ~WorkingDirectory() {
        if (saved_[0] && chdir(saved_) != 0) std::perror("chdir");
    }
    bool ok() const { return ok_; }

  private:
    char saved_[4096];
    bool ok_ = false;
};

GLint alphaBits(GLuint name) {
    GLint bits = -1;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &bits);
    glBindTexture(GL_TEXTURE_2D, 0);
    return bits;
}

} // namespace

TEST_F(ArenaRender, ArenaPicturesLoadOnceWithTheirTransparency) {
    for (int i = 0; i < 10; ++i)
        itemTextures[i] = 0;
    std::string root = arenaDataRoot();
    {
        WorkingDirectory cwd(root);
        ASSERT_TRUE(cwd.ok());
        loadArenaTextures();
    }
    unsigned first[10];
    for (int i = 0; i < 10; ++i)
        first[i] = itemTextures[i];
    EXPECT_EQ(first[0], 0u);
    for (int i = 1; i <= 9; ++i) {
        EXPECT_NE(first[i], 0u) << kPictureFiles[i - 1];
        EXPECT_TRUE(glIsTexture(first[i])) << kPictureFiles[i - 1];
        for (int j = 1; j < i; ++j)
            EXPECT_NE(first[i], first[j]);
    }
    for (int i = 1; i <= 8; ++i)
        EXPECT_GT(alphaBits(first[i]), 0) << kPictureFiles[i - 1];
    EXPECT_EQ(alphaBits(first[9]), 0);

    // From a directory without pictures a second load would leave zeros behind.
    std::string empty = makeTempDir();
    {
        WorkingDirectory cwd(empty);
        ASSERT_TRUE(cwd.ok());
        loadArenaTextures();
    }
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(itemTextures[i], first[i]);
    rmdir(empty.c_str());
}

TEST_F(ArenaRender, PlanetTextureLoadsFromDataDirectory) {
    std::string root = arenaDataRoot();
    {
        WorkingDirectory cwd(root);
        ASSERT_TRUE(cwd.ok());
        unsigned name = loadPlanetTexture();
        EXPECT_NE(name, 0u);
        EXPECT_TRUE(glIsTexture(name));
        EXPECT_EQ(alphaBits(name), 0);
        platform.loadPlanetTexture = loadPlanetTexture;
        World w;
        EXPECT_NE(w.planetTexture(), 0u);
        platform.loadPlanetTexture = nullptr;
    }
    std::string empty = makeTempDir();
    {
        WorkingDirectory cwd(empty);
        EXPECT_EQ(loadPlanetTexture(), 0u);
    }
    rmdir(empty.c_str());
}
