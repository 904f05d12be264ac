#include "bitmap_font.h"

#include <GL/gl.h>

#include <cstring>

#include "glpng.h"

BitmapFont::BitmapFont(const char* fileName, const char* charset, int32_t cellWidth,
                       int32_t cellHeight, int32_t gapX, int32_t gapY, int32_t perRow)
    : cellWidth_(cellWidth), cellHeight_(cellHeight), gapX_(gapX), gapY_(gapY), perRow_(perRow),
      charset_(charset), fileName_(fileName) {}

BitmapFont::~BitmapFont() {
    release();
}

int BitmapFont::load() {
    pngInfo info = {};
    pngSetStandardOrientation(1);
    texture_ = pngBind(fileName_, PNG_NOMIPMAPS, PNG_ALPHA, &info, GL_REPEAT, GL_LINEAR, GL_LINEAR);
    if (texture_ == 0) return 0;
    buildCoordinates(static_cast<int>(info.Width), static_cast<int>(info.Height));
    return 1;
}

void BitmapFont::buildCoordinates(int width, int height) {
    release();
    const int n = static_cast<int>(std::strlen(charset_));
    coordinates_ = new float[static_cast<size_t>(n) * 8];
    const double w = width;
    const double h = height;
    for (int g = 0; g < n; ++g) {
        const int row = g / perRow_;
        const int column = g % perRow_;
        const double y0 = row * (cellHeight_ + gapY_);
        const double x0 = column * (cellWidth_ + gapX_);
        const float left = static_cast<float>(x0 / w);
        const float right = static_cast<float>((x0 + cellWidth_ - 1) / w);
        const float bottom = static_cast<float>(1.0 - (y0 + cellHeight_) / h);
        const float top = static_cast<float>(1.0 - y0 / h);
        float* c = coordinates_ + static_cast<size_t>(g) * 8;
        c[0] = left;
        c[1] = bottom;
        c[2] = right;
        c[3] = bottom;
        c[4] = right;
        c[5] = top;
        c[6] = left;
        c[7] = top;
    }
}

int BitmapFont::bind() const {
    glBindTexture(GL_TEXTURE_2D, texture_);
    return 1;
}

int BitmapFont::glyphIndex(char c) const {
    if (c == '\0') return -1;
    const char* p = std::strchr(charset_, c);
    return p ? static_cast<int>(p - charset_) : -1;
}

const float* BitmapFont::glyph(int g) const {
    if (!coordinates_ || g < 0 || g >= static_cast<int>(std::strlen(charset_))) return nullptr;
    return coordinates_ + static_cast<size_t>(g) * 8;
}

int BitmapFont::drawText(const char* text, int count) const {
    for (int i = 0; i < count; ++i) {
        const float* c = glyph(glyphIndex(text[i]));
        if (c) {
            glBegin(GL_QUADS);
            glTexCoord2f(c[0], c[1]);
            glVertex2f(0, 0);
            glTexCoord2f(c[2], c[3]);
            glVertex2f(1, 0);
            glTexCoord2f(c[4], c[5]);
            glVertex2f(1, 1);
            glTexCoord2f(c[6], c[7]);
            glVertex2f(0, 1);
            glEnd();
        }
        glTranslatef(1, 0, 0);
    }
    return 1;
}

int BitmapFont::release() {
    delete[] coordinates_;
    coordinates_ = nullptr;
    return 1;
}
