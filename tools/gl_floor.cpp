// The GL driver's own share of a client's memory: a GLUT window of the client's kind (RGB, double
// buffered, depth) that redraws back to back one textured, fogged quad and one blended triangle,
// the least any game frame asks of the renderer. tools/frame_times.sh reads its private memory as
// the floor under the client's figure.
//
//   corvane_gl_floor [clear]     # clear: only clears the window, drawing nothing
#include <GL/glut.h>

#include <cstring>
#include <vector>

namespace {

bool drawing = true;

void display() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (drawing) {
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_FOG);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex3f(-1, -1, -0.5f);
        glTexCoord2f(1, 0);
        glVertex3f(1, -1, -0.5f);
        glTexCoord2f(1, 1);
        glVertex3f(1, 1, -0.5f);
        glTexCoord2f(0, 1);
        glVertex3f(-1, 1, -0.5f);
        glEnd();
        glDisable(GL_FOG);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBegin(GL_TRIANGLES);
        glTexCoord2f(0, 0);
        glVertex2f(-1, -1);
        glTexCoord2f(1, 0);
        glVertex2f(1, -1);
        glTexCoord2f(1, 1);
        glVertex2f(0, 1);
        glEnd();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
    }
    glutSwapBuffers();
    glutPostRedisplay();
}

} // namespace

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    drawing = !(argc > 1 && std::strcmp(argv[1], "clear") == 0);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(640, 480);
    glutCreateWindow("corvane_gl_floor");
    const int side = 256;
    std::vector<unsigned char> pixels(side * side * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 7);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels.data());
    glFogf(GL_FOG_DENSITY, 0.5f);
    glutDisplayFunc(display);
    glutMainLoop();
    return 0;
}
