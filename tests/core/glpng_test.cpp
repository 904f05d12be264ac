// The PNG texture loader against files written here in every colour type, read back from GL.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "glpng.h"
#include "support/gl_context.h"

namespace {

std::string tempPath(const char* name) {
    return std::string("/tmp/corvane_glpng_") + name;
}

// Writes a width x height PNG; pixel(x, y) gives 16-bit RGBA (y = 0 is the top row).
template <typename F>
void writePng(const std::string& path, int width, int height, int colourType, int bitDepth,
              int interlace, F pixel, bool palette = false) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, bitDepth, colourType, interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (palette) {
        png_color pal[2] = {{255, 0, 0}, {0, 0, 255}};
        png_set_PLTE(png, info, pal, 2);
        png_byte alpha[2] = {255, 0};
        png_set_tRNS(png, info, alpha, 2, nullptr);
    }
    png_write_info(png, info);
    int channels = png_get_channels(png, info);
    int bytes = bitDepth == 16 ? 2 : 1;
    std::vector<std::vector<png_byte>> rows(height,
                                            std::vector<png_byte>(width * channels * bytes + 8));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned v[4] = {0, 0, 0, 0xffff};
            pixel(x, y, v);
            for (int c = 0; c < channels; ++c) {
                png_byte* d = &rows[y][(x * channels + c) * bytes];
                if (bytes == 2) {
                    d[0] = v[c] >> 8;
                    d[1] = v[c] & 0xff;
                } else {
                    d[0] = static_cast<png_byte>(v[c] >> 8);
                }
            }
        }
    std::vector<png_bytep> ptrs(height);
    for (int y = 0; y < height; ++y)
        ptrs[y] = rows[y].data();
    png_write_image(png, ptrs.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

std::vector<unsigned char> readTexture(unsigned name, int w, int h, GLenum format) {
    int comps = format == GL_RGBA ? 4 : 3;
    std::vector<unsigned char> out(static_cast<size_t>(w) * h * comps);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    return out;
}

class PngBind : public ::testing::Test {
  protected:
    void SetUp() override {
        testgl::ensureContext(64, 64);
        pngSetStandardOrientation(1);
    }
};

// Red on the top row, blue below, alpha 0 on the right half.
void topRedRightClear(int x, int y, unsigned v[4]) {
    v[0] = y == 0 ? 0xffff : 0;
    v[1] = 0;
    v[2] = y == 0 ? 0 : 0xffff;
    v[3] = x >= 2 ? 0 : 0xffff;
}

} // namespace

TEST_F(PngBind, RgbaStandardOrientationPutsTopRowAtTopOfTexture) {
    std::string p = tempPath("rgba.png");
    writePng(p, 4, 2, PNG_COLOR_TYPE_RGBA, 8, PNG_INTERLACE_NONE, topRedRightClear);
    pngInfo info{};
    unsigned name =
        pngBind(p.c_str(), PNG_NOMIPMAPS, PNG_ALPHA, &info, GL_REPEAT, GL_LINEAR, GL_LINEAR);
    ASSERT_NE(name, 0u);
    EXPECT_EQ(info.Width, 4u);
    EXPECT_EQ(info.Height, 2u);
    EXPECT_EQ(info.Alpha, 1u);
    auto px = readTexture(name, 4, 2, GL_RGBA);
    // GL row 1 (t near 1) holds the picture's top row.
    EXPECT_EQ(px[(1 * 4 + 0) * 4 + 0], 255);
    EXPECT_EQ(px[(0 * 4 + 0) * 4 + 2], 255);
    EXPECT_EQ(px[(0 * 4 + 3) * 4 + 3], 0);
    EXPECT_EQ(px[(0 * 4 + 0) * 4 + 3], 255);
    GLint wrap = 0, minf = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minf);
    EXPECT_EQ(wrap, GL_REPEAT);
    EXPECT_EQ(minf, GL_LINEAR);
}

TEST_F(PngBind, WithoutStandardOrientationTopRowComesFirst) {
    std::string p = tempPath("rgba_raw.png");
    writePng(p, 4, 2, PNG_COLOR_TYPE_RGBA, 8, PNG_INTERLACE_NONE, topRedRightClear);
    pngSetStandardOrientation(0);
    unsigned name =
        pngBind(p.c_str(), PNG_NOMIPMAPS, PNG_ALPHA, nullptr, GL_CLAMP, GL_NEAREST, GL_NEAREST);
    pngSetStandardOrientation(1);
    ASSERT_NE(name, 0u);
    auto px = readTexture(name, 4, 2, GL_RGBA);
    EXPECT_EQ(px[0], 255);
}

TEST_F(PngBind, SolidUploadsOpaquePixels) {
    std::string p = tempPath("solid.png");
    writePng(p, 4, 2, PNG_COLOR_TYPE_RGBA, 8, PNG_INTERLACE_NONE, topRedRightClear);
    unsigned name =
        pngBind(p.c_str(), PNG_NOMIPMAPS, PNG_SOLID, nullptr, GL_REPEAT, GL_LINEAR, GL_LINEAR);
    ASSERT_NE(name, 0u);
    auto px = readTexture(name, 4, 2, GL_RGBA);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(px[i * 4 + 3], 255) << i;
}

TEST_F(PngBind, EveryColourTypeAndDepthLoads) {
    struct Case {
        const char* file;
        int type, depth, interlace;
        bool palette;
        unsigned char expectTopLeft[4];
    } cases[] = {
        {"grey8.png", PNG_COLOR_TYPE_GRAY, 8, PNG_INTERLACE_NONE, false, {255, 255, 255, 255}},
        {"grey1.png", PNG_COLOR_TYPE_GRAY, 1, PNG_INTERLACE_NONE, false, {255, 255, 255, 255}},
        {"greyalpha.png",
         PNG_COLOR_TYPE_GRAY_ALPHA,
         8,
         PNG_INTERLACE_NONE,
         false,
         {255, 255, 255, 255}},
        {"rgb16.png", PNG_COLOR_TYPE_RGB, 16, PNG_INTERLACE_NONE, false, {255, 255, 0, 255}},
        {"rgba16.png", PNG_COLOR_TYPE_RGBA, 16, PNG_INTERLACE_NONE, false, {255, 0, 0, 255}},
        {"interlaced.png", PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_ADAM7, false, {255, 0, 0, 255}},
        {"palette.png", PNG_COLOR_TYPE_PALETTE, 8, PNG_INTERLACE_NONE, true, {255, 0, 0, 255}},
    };
    for (const Case& c : cases) {
        std::string p = tempPath(c.file);
        if (c.palette) {
            writePng(
                p, 8, 8, c.type, c.depth, c.interlace,
                [](int x, int, unsigned v[4]) { v[0] = x < 4 ? 0 : 1 << 8; }, true);
        } else {
            writePng(p, 8, 8, c.type, c.depth, c.interlace, [](int x, int y, unsigned v[4]) {
                bool lit = y == 0 && x < 4;
                v[0] = lit ? 0xffff : 0;
                v[1] = 0xffff; // green, or the alpha of a grey+alpha file
                v[2] = 0;
                v[3] = 0xffff;
            });
        }
        pngInfo info{};
        unsigned name =
            pngBind(p.c_str(), PNG_NOMIPMAPS, PNG_ALPHA, &info, GL_REPEAT, GL_LINEAR, GL_LINEAR);
        ASSERT_NE(name, 0u) << c.file;
        EXPECT_EQ(info.Width, 8u) << c.file;
        auto px = readTexture(name, 8, 8, GL_RGBA);
        const unsigned char* topLeft = &px[(7 * 8 + 0) * 4];
        EXPECT_EQ(topLeft[0], c.expectTopLeft[0]) << c.file;
        EXPECT_EQ(topLeft[3], c.expectTopLeft[3]) << c.file;
        if (c.palette) {
            const unsigned char* clear = &px[(7 * 8 + 6) * 4];
            EXPECT_EQ(clear[3], 0) << "tRNS gives alpha";
            EXPECT_EQ(info.Alpha, 1u);
        }
    }
}

TEST_F(PngBind, MissingTruncatedAndForeignFilesGiveZeroAndNoTexture) {
    // Mesa hands out texture names in sequence: a leaked object shows as a gap between these two.
    GLuint before = 0;
    glGenTextures(1, &before);

    EXPECT_EQ(pngBind("/nonexistent/none.png", PNG_NOMIPMAPS, PNG_ALPHA, nullptr, GL_REPEAT,
                      GL_LINEAR, GL_LINEAR),
              0u);

    std::string good = tempPath("whole.png");
    writePng(good, 32, 32, PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_NONE,
             [](int x, int y, unsigned v[4]) {
                 v[0] = (x * y) << 8;
                 v[1] = x << 10;
                 v[2] = y << 9;
             });
    FILE* f = std::fopen(good.c_str(), "rb");
    std::vector<char> bytes(4096);
    size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    std::string cut = tempPath("cut.png");
    f = std::fopen(cut.c_str(), "wb");
    std::fwrite(bytes.data(), 1, n / 2, f);
    std::fclose(f);
    EXPECT_EQ(
        pngBind(cut.c_str(), PNG_NOMIPMAPS, PNG_SOLID, nullptr, GL_REPEAT, GL_LINEAR, GL_LINEAR),
        0u);

    std::string text = tempPath("text.png");
    f = std::fopen(text.c_str(), "wb");
    std::fputs("this is not a picture at all", f);
    std::fclose(f);
    EXPECT_EQ(
        pngBind(text.c_str(), PNG_NOMIPMAPS, PNG_SOLID, nullptr, GL_REPEAT, GL_LINEAR, GL_LINEAR),
        0u);

    GLuint after = 0;
    glGenTextures(1, &after);
    EXPECT_EQ(after, before + 1) << "a failed load left a texture object behind";
    glDeleteTextures(1, &before);
    glDeleteTextures(1, &after);
}
