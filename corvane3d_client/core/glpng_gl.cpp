#include "glpng.h"

#include <GL/gl.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace {

int standardOrientation = 0;

struct Decoded {
    unsigned width = 0;
    unsigned height = 0;
    unsigned depth = 0;
    unsigned alpha = 0;
    std::vector<unsigned char> rgba; // top row first
    std::vector<unsigned char*> rows;
};

void quietWarning(png_structp, png_const_charp) {}

bool decode(FILE* f, Decoded* out) {
    unsigned char signature[8];
    if (std::fread(signature, 1, 8, f) != 8 || png_sig_cmp(signature, 0, 8) != 0) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quietWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, f);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);

    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    int colourType = png_get_color_type(png, info);
    int channels = png_get_channels(png, info);
    bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (width == 0 || height == 0 || width > 16384 || height > 16384) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    out->depth = static_cast<unsigned>(bitDepth * channels);
    out->alpha = (colourType & PNG_COLOR_MASK_ALPHA) || hasTrns ? 1 : 0;

    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (hasTrns) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if (!(colourType & PNG_COLOR_MASK_ALPHA) && !hasTrns)
        png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }

    out->width = width;
    out->height = height;
    out->rgba.assign(static_cast<size_t>(width) * height * 4, 0);
    out->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        out->rows[y] = &out->rgba[static_cast<size_t>(y) * width * 4];
    png_read_image(png, out->rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

void pngSetStandardOrientation(int orientation) {
    standardOrientation = orientation;
}

unsigned int pngBind(const char* filename, int mipmap, int trans, pngInfo* info, int wrapst,
                     int minfilter, int magfilter) {
    (void)mipmap;
    FILE* f = std::fopen(filename, "rb");
    if (!f) return 0;
    Decoded picture;
    bool ok = decode(f, &picture);
    std::fclose(f);
    if (!ok) return 0;

    const unsigned w = picture.width, h = picture.height;
    const bool withAlpha = trans == PNG_ALPHA;
    const unsigned components = withAlpha ? 4 : 3;
    std::vector<unsigned char> pixels(static_cast<size_t>(w) * h * components);
    for (unsigned row = 0; row < h; ++row) {
        // OpenGL's first row is t = 0: standard orientation puts the picture's top row at t = 1.
        unsigned src = standardOrientation ? h - 1 - row : row;
        const unsigned char* s = &picture.rgba[static_cast<size_t>(src) * w * 4];
        unsigned char* d = &pixels[static_cast<size_t>(row) * w * components];
        for (unsigned x = 0; x < w; ++x) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            if (withAlpha) d[3] = s[3];
            s += 4;
            d += components;
        }
    }

    GLuint name = 0;
    glGenTextures(1, &name);
    if (name == 0) return 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapst);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapst);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minfilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magfilter);
    while (glGetError() != GL_NO_ERROR) {
    }
    glTexImage2D(GL_TEXTURE_2D, 0, withAlpha ? GL_RGBA : GL_RGB, static_cast<GLsizei>(w),
                 static_cast<GLsizei>(h), 0, withAlpha ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE,
                 pixels.data());
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &name);
        return 0;
    }
    if (info) {
        info->Width = w;
        info->Height = h;
        info->Depth = picture.depth;
        info->Alpha = picture.alpha;
    }
    return name;
}
