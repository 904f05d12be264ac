// A real OpenGL context for tests: one GLUT window per test process (under Xvfb in CI), and pixel
// read-back of what was drawn.
#pragma once

#include <GL/freeglut.h>
#include <GL/glu.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace testgl {

// Creates the process's GLUT window once, then resizes it to width x height (waiting until the
// window system has done so) and sets the viewport.
inline void ensureContext(int width = 640, int height = 480) {
    static bool created = false;
    if (!created) {
        int argc = 1;
        char name[] = "corvane3d_test";
        char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH | GLUT_ALPHA);
        glutInitWindowSize(width, height);
        glutInitWindowPosition(0, 0);
        glutCreateWindow("corvane3D test");
        glutDisplayFunc([] {});
        created = true;
    } else if (glutGet(GLUT_WINDOW_WIDTH) != width || glutGet(GLUT_WINDOW_HEIGHT) != height) {
        glutReshapeWindow(width, height);
        // The new size takes effect once the window system has answered.
        for (int i = 0; i < 200; ++i) {
            glutMainLoopEvent();
            if (glutGet(GLUT_WINDOW_WIDTH) == width && glutGet(GLUT_WINDOW_HEIGHT) == height) break;
            usleep(1000);
        }
        // Mesa resizes the buffers of a drawable at the next swap.
        glutSwapBuffers();
    }
    glViewport(0, 0, width, height);
    glReadBuffer(GL_BACK);
    glDrawBuffer(GL_BACK);
}

struct Pixel {
    uint8_t r, g, b, a;
};

// Reads the back buffer (origin bottom-left) as RGBA after glFinish.
inline std::vector<Pixel> readPixels(int width, int height) {
    glFinish();
    std::vector<Pixel> px(static_cast<size_t>(width) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// A texture of width x height RGBA texels (rows from the bottom), without mipmaps, filtered with
// filter (GL_NEAREST or GL_LINEAR); left bound.
inline GLuint makeTexture(int width, int height, const std::vector<GLubyte>& rgba, GLint filter) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.data());
    return name;
}

// Loads the game's view from 170 units above the planet's +Z pole, looking at the ground under it.
inline void lookFromAbove(double fovY, double aspect) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovY, aspect, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 170, 0, 0, 100, 0, 1, 0);
}

inline Pixel pixelAt(const std::vector<Pixel>& px, int width, int x, int y) {
    return px[static_cast<size_t>(y) * width + x];
}

} // namespace testgl
