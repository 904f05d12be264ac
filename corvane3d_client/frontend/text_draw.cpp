#include "text_draw.h"

#include <GL/gl.h>

#include <cstring>

#include "bitmap_font.h"

void drawFontLine(const BitmapFont& font, const char* text, float x, float y, float size,
                  bool centred) {
    const int n = static_cast<int>(std::strlen(text));
    glPushMatrix();
    glTranslatef(centred ? x - n * size / 2.0f : x, y, 0);
    glScalef(size, size, 1);
    font.drawText(text, n);
    glPopMatrix();
}

int wrapLength(const char* text, int limit, const char** next) {
    const int n = static_cast<int>(std::strlen(text));
    if (n <= limit) {
        *next = text + n;
        return n;
    }
    int cut = limit;
    while (cut > limit / 2 && text[cut] != ' ')
        --cut;
    if (text[cut] != ' ') cut = limit;
    *next = text + cut + (text[cut] == ' ' ? 1 : 0);
    return cut;
}
