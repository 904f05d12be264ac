// Shared set-up of the front-end tests: a GL window with the client's projection, a scratch data/
// folder holding the font and intro pictures, and the client settings at their start-up values.
#pragma once

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "globals.h"
#include "menu.h"
#include "support/gl_context.h"
#include "support/media_files.h"

namespace fronttest {

const char* const kCharset = "ABCDEFGHIJKLMNOPQRSTUVWXYZ?:+-0123456789.,!()] ";

// A 256 x 256 font picture: every glyph cell opaque white except the space, which is clear.
inline void writeFontPicture(const std::string& path) {
    testmedia::writePng(path, 256, 256, [](int x, int y, uint8_t* p) {
        const int g = (y / 34) * 8 + x / 32;
        const bool ink = y < 6 * 34 && g < 46;
        p[0] = p[1] = p[2] = 255;
        p[3] = ink ? 255 : 0;
    });
}

// Width and height of a PNG file from its header, or 0, 0.
inline void pngSize(const std::string& path, int* width, int* height) {
    *width = *height = 0;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return;
    unsigned char h[24];
    if (std::fread(h, 1, 24, f) == 24) {
        *width = (h[16] << 24) | (h[17] << 16) | (h[18] << 8) | h[19];
        *height = (h[20] << 24) | (h[21] << 16) | (h[22] << 8) | h[23];
    }
    std::fclose(f);
}

// Loads the projection the client's reshape callback sets for a window of width x height.
inline void clientProjection(int width, int height) {
    testgl::ensureContext(width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(80.0, 1.3, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

inline int quitCalls = 0;
inline void countQuit() {
    ++quitCalls;
}

class FrontEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!dir_.fromGameData("font.png")) writeFontPicture(dir_.file("font.png"));
        if (!dir_.fromGameData("intro.png"))
            testmedia::writePng(dir_.file("intro.png"), 64, 64, [](int x, int, uint8_t* p) {
                p[0] = 230;
                p[1] = static_cast<uint8_t>(100 + x);
                p[2] = 40;
                p[3] = 255;
            });
        clientProjection(640, 480);
        windowWidth = 320;
        windowHeight = 256;
        copyText(nickName, "CORVANE", sizeof nickName);
        serverAddress[0] = '\0';
        detailLevel = 2;
        fullScreen = 0;
        screenState = 1;
        gameMode = 0;
        displayIndex = 0;
        lobbyList.clear();
        quitCalls = 0;
        menuQuit = countQuit;
        gSound = nullptr;
        gGame = nullptr;
    }
    void TearDown() override {
        gMenu = nullptr;
        lobbyList.clear();
        menuQuit = nullptr;
        testgl::ensureContext(640, 480);
    }

  public:
    // Presses Enter, Escape or a text key on the menu.
    static void key(Menu& m, unsigned char k) { m.keyboard(k, 0, 0); }
    static void type(Menu& m, const char* text) {
        for (const char* c = text; *c; ++c)
            key(m, static_cast<unsigned char>(*c));
    }
    static void up(Menu& m) { m.special(GLUT_KEY_UP, 0, 0); }
    static void down(Menu& m) { m.special(GLUT_KEY_DOWN, 0, 0); }
    static void selectItem(Menu& m, int item) {
        while (m.selected() != item)
            down(m);
    }
    static const char* item(const Menu& m, int page, int i) { return m.pageTable(page).items[i]; }

  protected:
    testmedia::ScratchDir dir_;
};

} // namespace fronttest
