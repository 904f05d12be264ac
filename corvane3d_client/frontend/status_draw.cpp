#include <GL/glut.h>

#include <cstdio>
#include <cstring>

#include "clock.h"
#include "globals.h"
#include "menu.h"
#include "text_draw.h"

namespace {

// Small text above the page's items: glyph size, row pitch and the top row (menu units, where
// the view reaches about 42 up and 54 to each side).
constexpr float kSize = 2.3f;
constexpr float kPitch = 2.7f;
constexpr float kTop = 39.0f;
constexpr int kRowGlyphs = 46;

void moodColour(int mood, float alpha) {
    switch (mood) {
    case 1:
        glColor4f(0.55f, 1.0f, 0.55f, alpha);
        break;
    case 2:
        glColor4f(1.0f, 0.9f, 0.4f, alpha);
        break;
    case 3:
        glColor4f(1.0f, 0.45f, 0.4f, alpha);
        break;
    default:
        glColor4f(0.75f, 0.75f, 0.75f, alpha);
        break;
    }
}

float rowY(int row) {
    return kTop - kPitch * static_cast<float>(row);
}

// A dark band behind the rows above row `below`, so that they read over the title picture.
void band(int below) {
    const float bottom = rowY(below - 1) - 0.5f;
    glDisable(GL_TEXTURE_2D);
    glColor4f(0, 0, 0, 0.6f);
    glBegin(GL_QUADS);
    glVertex2f(-60, bottom);
    glVertex2f(60, bottom);
    glVertex2f(60, 45);
    glVertex2f(-60, 45);
    glEnd();
    glEnable(GL_TEXTURE_2D);
}

} // namespace

void Menu::drawStatus() {
    if (font_.texture() == 0) return;
    const bool statusShown = page_ == kServers || page_ == kMulti || page_ == kLobby;
    const int rows = page_ == kLobby ? 1 : 3;
    const int notices = noticeCount() < rows ? noticeCount() : rows;
    const int used = page_ == kLobby ? 6 : (notices > 0 ? 1 + notices : statusShown ? 1 : 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (used > 0) band(used);
    font_.bind();

    char line[128];
    if (page_ == kServers) {
        const int found = discoveryCount();
        if (discoverySearching())
            std::snprintf(line, sizeof line, "SEARCHING FOR SERVERS%.*s",
                          static_cast<int>(clockMs() / 300 % 4), "...");
        else if (found == 0)
            std::snprintf(line, sizeof line, "NO SERVER FOUND: IS ONE RUNNING?");
        else
            std::snprintf(line, sizeof line, "%d SERVER%s FOUND: CHOOSE ONE", found,
                          found == 1 ? "" : "S");
        moodColour(discoverySearching() ? 2 : found ? 1 : 3, 1);
        drawFontLine(font_, line, 0, rowY(0), kSize, true);
    } else if (page_ == kMulti || page_ == kLobby) {
        const int mood = sessionMood();
        if (page_ == kMulti && mood == 0 && serverAddress[0] == '\0')
            std::snprintf(line, sizeof line, "NOT CONNECTED: FIND SERVERS OR TYPE ONE");
        else
            std::snprintf(line, sizeof line, "%s%.*s", sessionStatus(),
                          mood == 2 ? static_cast<int>(clockMs() / 300 % 4) : 0, "...");
        moodColour(mood, 1);
        drawFontLine(font_, line, 0, rowY(0), kSize, true);
    }

    // The newest notices under the status; the lobby keeps its rows below for the chat.
    const int first = noticeCount() - notices;
    for (int i = first; i < noticeCount(); ++i) {
        glColor4f(1.0f, 1.0f, 0.6f, noticeFade(i));
        drawFontLine(font_, noticeText(i), 0, rowY(1 + i - first), kSize, true);
    }
    if (page_ == kLobby) drawLobbyChat(kSize, kPitch, rowY(2));
    glDisable(GL_BLEND);
}

void Menu::drawLobbyChat(float size, float pitch, float top) {
    // The last three rows of the chat, long lines wrapped at a space.
    char rows[3][kRowGlyphs + 1];
    int filled = 0;
    for (int i = chatLineCount() - 1; i >= 0 && filled < 3; --i) {
        char pieces[4][kRowGlyphs + 1];
        int n = 0;
        for (const char* p = chatLine(i); *p && n < 4;) {
            const char* next = p;
            const int length = wrapLength(p, kRowGlyphs, &next);
            std::snprintf(pieces[n++], kRowGlyphs + 1, "%.*s", length, p);
            p = next;
        }
        for (int k = n - 1; k >= 0 && filled < 3; --k)
            std::memcpy(rows[filled++], pieces[k], kRowGlyphs + 1);
    }
    glColor4f(1, 1, 1, 1);
    for (int r = 0; r < filled; ++r)
        drawFontLine(font_, rows[filled - 1 - r], -kRowGlyphs * size / 2.0f,
                     top - pitch * static_cast<float>(r + 3 - filled), size, false);

    char line[kChatTextLimit + 8];
    const float inputY = top - pitch * 3.0f;
    if (chatting_) {
        std::snprintf(line, sizeof line, "SAY: %s]", chatBuffer_);
        const char* shown = line;
        const int length = static_cast<int>(std::strlen(line));
        if (length > kRowGlyphs) shown = line + (length - kRowGlyphs);
        glColor4f(1, 1, 1, 1);
        drawFontLine(font_, shown, -kRowGlyphs * size / 2.0f, inputY, size, false);
    } else if (joined_) {
        glColor4f(0.6f, 0.6f, 0.6f, 1);
        drawFontLine(font_, "PRESS T TO TALK", 0, inputY, size, true);
    }
}
