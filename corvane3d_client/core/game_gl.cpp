#include "game_gl.h"

#include <GL/glut.h>

#include "frame_times.h"
#include "game.h"
#include "game_render.h"
#include "globals.h"

void (*returnToFrontEnd)() = nullptr;

namespace {
// Each game start opens a new timer chain; a chain left over from an earlier game (a timer still
// pending when that game ended) stops instead of ticking the new game a second time.
int timerGeneration = 0;

void timedGameDisplay() {
    gameDisplay();
    frameTimeLog().frameEnded(monotonicMicroseconds(), detailLevel, windowWidth, windowHeight);
}

void redrawAtOnce() {
    glutPostRedisplay();
}
} // namespace

void gameKeyboard(unsigned char key, int, int) {
    switch (key) {
    case 27:
    case 'Q':
    case 'q':
        screenState = 1;
        frameTimeLog().flush();
        gGame->end();
        if (returnToFrontEnd) returnToFrontEnd();
        break;
    case ' ':
        gGame->dropBomb();
        break;
    case '-':
        gGame->fireRemoteBombs();
        break;
    case 'P':
    case 'p':
        showFps = showFps ? 0 : 1;
        break;
    case 'W':
    case 'w':
        detailLevel = (detailLevel + 1) % 3;
        break;
    default:
        break;
    }
}

void gameSpecial(int key, int, int) {
    switch (key) {
    case GLUT_KEY_LEFT:
        gGame->turnInput = -4;
        break;
    case GLUT_KEY_RIGHT:
        gGame->turnInput = 4;
        break;
    case GLUT_KEY_UP:
        gGame->moveInput = -1;
        break;
    case GLUT_KEY_DOWN:
        gGame->moveInput = 1;
        break;
    default:
        break;
    }
    glutPostRedisplay();
}

void gameSpecialUp(int key, int, int) {
    switch (key) {
    case GLUT_KEY_LEFT:
    case GLUT_KEY_RIGHT:
        gGame->turnInput = 0;
        break;
    case GLUT_KEY_UP:
    case GLUT_KEY_DOWN:
        gGame->moveInput = 0;
        break;
    default:
        break;
    }
}

void gameTimer(int generation) {
    if (generation != timerGeneration) return;
    gGame->tick();
    glutPostRedisplay();
    if (screenState == 2) glutTimerFunc(40, gameTimer, generation);
}

void prepareGameViewGl() {
    glClearColor(0.5f, 0.5f, 0.9f, 0.0f);
    glShadeModel(GL_SMOOTH);
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
}

void installGameCallbacksGl() {
    glutIgnoreKeyRepeat(1);
    if (frameTimeLog().active()) {
        glutDisplayFunc(timedGameDisplay);
        glutIdleFunc(redrawAtOnce);
    } else {
        glutDisplayFunc(gameDisplay);
    }
    glutKeyboardFunc(gameKeyboard);
    glutSpecialFunc(gameSpecial);
    glutSpecialUpFunc(gameSpecialUp);
    glutTimerFunc(50, gameTimer, ++timerGeneration);
}

void disableSteeringGl() {
    glutSpecialFunc(nullptr);
    glutSpecialUpFunc(nullptr);
}
