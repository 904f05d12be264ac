#include "notices_render.h"

#include <GL/gl.h>

#include "bitmap_font.h"
#include "font_text.h"
#include "globals.h"
#include "notices.h"
#include "text_draw.h"

namespace {

constexpr float kGlyph = 8.0f; // design pixels
constexpr float kPitch = 11.0f;

BitmapFont* font = nullptr;
bool fontTried = false;

} // namespace

void drawGameNotices() {
    if (noticeCount() == 0) return;
    if (!fontTried) {
        fontTried = true;
        font = new BitmapFont("data/font.png", kFontCharset, 32, 34, 0, 0, 8);
        if (!font->load()) {
            delete font;
            font = nullptr;
        }
    }
    if (!font) return;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 320, 0, 256, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    font->bind();
    for (int i = 0; i < noticeCount(); ++i) {
        const float y = 256.0f - 24.0f - kPitch * static_cast<float>(i);
        const float fade = noticeFade(i);
        glColor4f(0, 0, 0, 0.8f * fade);
        drawFontLine(*font, noticeText(i), 160.5f, y - 0.8f, kGlyph, true);
        glColor4f(1.0f, 1.0f, 0.6f, fade);
        drawFontLine(*font, noticeText(i), 160.0f, y, kGlyph, true);
    }
    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
