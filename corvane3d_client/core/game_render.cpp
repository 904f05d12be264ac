#include "game_render.h"

#include <GL/glut.h>
#include <sys/time.h>

#include <cstdio>

#include "bomb.h"
#include "clock.h"
#include "flame_preview.h"
#include "game.h"
#include "globals.h"
#include "hud_render.h"
#include "glpng.h"
#include "notices_render.h"
#include "vehicle.h"
#include "world.h"

unsigned bombIconTexture = 0;
unsigned remoteIconTexture = 0;
unsigned cloakIconTexture = 0;
unsigned energyTexture = 0;
unsigned goTexture = 0;
unsigned gameOverTexture = 0;
unsigned gameWonTexture = 0;

namespace {

const float overlayColours[10][4] = {{1.0f, 1.0f, 1.0f, 1.0f}, {0.9f, 0.9f, 0.9f, 1.0f},
                                     {0.8f, 0.8f, 0.8f, 1.0f}, {0.7f, 0.7f, 0.7f, 1.0f},
                                     {0.6f, 0.6f, 0.6f, 1.0f}, {0.5f, 0.5f, 0.5f, 1.0f},
                                     {0.4f, 0.4f, 0.4f, 1.0f}, {0.3f, 0.3f, 0.3f, 1.0f},
                                     {0.2f, 0.2f, 0.2f, 0.0f}, {0.1f, 0.1f, 0.1f, 0.0f}};

const float energyStrips[6][2] = {{0.0f, 0.1484375f},      {0.1484375f, 0.296875f},
                                  {0.296875f, 0.4453125f}, {0.4453125f, 0.59375f},
                                  {0.59375f, 0.7421875f},  {0.7421875f, 0.875f}};

int frameCounter = 0;
char frameRateText[64] = "";
int32_t frameClockPrevious = 0;

unsigned loadPicture(const char* file, const char* failure) {
    pngInfo info;
    unsigned name = pngBind(file, PNG_NOMIPMAPS, PNG_ALPHA, &info, GL_REPEAT, GL_LINEAR, GL_LINEAR);
    if (name == 0) std::fputs(failure, stderr);
    return name;
}

void texturedQuad(float x0, float y0, float x1, float y1, float s0 = 0, float s1 = 1) {
    glBegin(GL_QUADS);
    glTexCoord2f(s0, 0);
    glVertex2f(x0, y0);
    glTexCoord2f(s1, 0);
    glVertex2f(x1, y0);
    glTexCoord2f(s1, 1);
    glVertex2f(x1, y1);
    glTexCoord2f(s0, 1);
    glVertex2f(x0, y1);
    glEnd();
}

} // namespace

void beginWindowSpace() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, windowWidth, 0, windowHeight, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void endWindowSpace() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void drawOverlay(Game* g) {
    beginWindowSpace();
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.2f);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glPushMatrix();
    float sx = windowWidth / 320.0f, sy = windowHeight / 256.0f;
    glTranslatef(static_cast<float>(windowWidth / 2), static_cast<float>(windowHeight / 2), 0);
    int32_t pulse;
    if (g->localVehicle->energy() < 1) {
        glBindTexture(GL_TEXTURE_2D, gameOverTexture);
        glScalef(sx * 80, sy * 60, 1);
        pulse = ++g->endTicks;
    } else if (g->won()) {
        glBindTexture(GL_TEXTURE_2D, gameWonTexture);
        glScalef(sx * 80, sy * 60, 1);
        pulse = ++g->endTicks;
    } else {
        glBindTexture(GL_TEXTURE_2D, goTexture);
        glScalef(sx * 40, sy * 40, 1);
        pulse = g->startTicks;
    }
    int row = pulse % 20;
    if (row < 0) row = -row;
    if (row >= 10) row = 20 - row;
    if (row > 9) row = 9;
    glColor4fv(overlayColours[row]);
    texturedQuad(-1, -1, 1, 1);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
    endWindowSpace();
}

void drawHud(const Vehicle* car) {
    beginWindowSpace();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);
    glColor4f(1, 1, 1, 1);
    float sx = windowWidth / 320.0f, sy = windowHeight / 256.0f;
    glScalef(sx, sy, 1);
    float right = windowWidth / sx;

    float s0, s1;
    energyStrip(car->energy(), &s0, &s1);
    glBindTexture(GL_TEXTURE_2D, energyTexture);
    texturedQuad(5, 5, 5 + 16, 5 + 50, s0, s1);

    if (car->remoteControl()) {
        glBindTexture(GL_TEXTURE_2D, remoteIconTexture);
        texturedQuad(right - 34, 5, right - 34 + 16, 5 + 16);
    }
    if (car->cloak()) {
        glBindTexture(GL_TEXTURE_2D, cloakIconTexture);
        texturedQuad(right - 34, 21, right - 34 + 16, 21 + 16);
    }
    glBindTexture(GL_TEXTURE_2D, bombIconTexture);
    // A dark copy one unit down and right keeps the icons readable over dark blocks.
    glColor4f(0, 0, 0, 1);
    for (int i = 0; i < car->bombsAvailable(); ++i) {
        float y = 5.0f + 16.0f * i;
        texturedQuad(right - 15, y - 1, right + 1, y + 15);
    }
    glColor4f(1, 1, 1, 1);
    for (int i = 0; i < car->bombsAvailable(); ++i) {
        float y = 5.0f + 16.0f * i;
        texturedQuad(right - 16, y, right, y + 16);
    }
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
    endWindowSpace();
}

void energyStrip(int32_t energy, float* sFrom, float* sTo) {
    if (energy < 0) energy = 0;
    if (energy > 5) energy = 5;
    *sFrom = energyStrips[5 - energy][0];
    *sTo = energyStrips[5 - energy][1];
}

void loadHudTextures() {
    if (bombIconTexture != 0) return;
    pngSetStandardOrientation(1);
    bombIconTexture = loadPicture("data/bomb2.png", "Problem loading bomb2.png\n");
    remoteIconTexture =
        loadPicture("data/remote_control2.png", "Problem loading remote_control.png\n");
    cloakIconTexture = loadPicture("data/cloak.png", "Problem loading cloak.png\n");
    energyTexture = loadPicture("data/energy.png", "Problem loading energy.png\n");
}

void loadOverlayTextures() {
    if (goTexture != 0) return;
    pngSetStandardOrientation(1);
    goTexture = loadPicture("data/go.png", "Problem loading go.png\n");
    gameOverTexture = loadPicture("data/gameover.png", "Problem loading gameover.png\n");
    gameWonTexture = loadPicture("data/gamewon.png", "Problem loading gamewon.png\n");
}

void drawText(int x, int y, const char* text) {
    drawTextColoured(x, y, text, 0, 0, 0);
}

void drawTextColoured(int x, int y, const char* text, float r, float g, float b) {
    glDisable(GL_DEPTH_TEST);
    beginWindowSpace();
    glColor3f(r, g, b);
    glRasterPos2i(x, y);
    int line = 0;
    for (const char* c = text; *c; ++c) {
        if (*c == '\n') {
            ++line;
            glRasterPos2i(x + 1, y - 1 - 18 * line);
            continue;
        }
        glutBitmapCharacter(GLUT_BITMAP_HELVETICA_12, *c);
    }
    endWindowSpace();
    glEnable(GL_DEPTH_TEST);
}

float secondsSinceLastCall() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    int32_t now = static_cast<int32_t>(static_cast<uint32_t>(tv.tv_sec) * 1000u +
                                       static_cast<uint32_t>(tv.tv_usec / 1000));
    int32_t elapsed = static_cast<int32_t>(static_cast<uint32_t>(now) -
                                           static_cast<uint32_t>(frameClockPrevious));
    frameClockPrevious = now;
    return elapsed / 1000.0f;
}

void Camera::apply(Vector3 p, Vector3 forward) {
    follow(p, forward);
    gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, up.x, up.y, up.z);
}

void Lights::setUp() {
    GLfloat position[4] = {float(eye.x), float(eye.y), float(eye.z), 1.0f};
    GLfloat direction[4] = {float(target.x), float(target.y), float(target.z), 1.0f};
    GLfloat diffuse[4] = {float(colour.x), float(colour.y), float(colour.z), 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, direction);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, float(constantAttenuation));
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, float(linearAttenuation));
    glEnable(GL_LIGHT0);
}

void Lights::follow(Vector3 p) {
    target = p * 100.0;
    eye = target * 2.0;
    GLfloat position[4] = {float(eye.x), float(eye.y), float(eye.z), 1.0f};
    GLfloat direction[4] = {float(target.x), float(target.y), float(target.z), 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, direction);
    if (detailLevel == 2) {
        GLfloat fogColour[4] = {0.5f, 0.5f, 0.5f, 1.0f};
        glEnable(GL_FOG);
        glFogi(GL_FOG_MODE, GL_LINEAR);
        glFogfv(GL_FOG_COLOR, fogColour);
        glFogf(GL_FOG_DENSITY, 0.2f);
        glHint(GL_FOG_HINT, GL_NICEST);
        glFogf(GL_FOG_START, 50.0f);
        glFogf(GL_FOG_END, 120.0f);
    } else {
        glDisable(GL_FOG);
    }
}

void Game::render() {
    Vector3 p = localVehicle->position();
    // The up arrow drives the car along position x heading.
    camera->apply(p, p.cross(localVehicle->heading()));
    lights->follow(p);
    observeHits(this);
    world->render();
    if (localVehicle->energy() > 0) drawFlashing(localVehicle);
    for (Vehicle* v = opponents->first(); v; v = opponents->next()) {
        drawFlashing(v);
        if (opponents->atEnd()) break;
    }
    drawFlamePreviews(*bombs, clockMs());
    for (Bomb* b = bombs->first(); b; b = bombs->next()) {
        b->draw();
        if (bombs->atEnd()) break;
    }
    drawExplosions(*camera);
    if (won() || localVehicle->energy() < 1 || startTicks < 40) drawOverlay(this);
    drawHud(localVehicle);
    drawHudExtras(this);
    drawGameNotices();
}

void gameDisplay() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    if (gGame) gGame->render();
    if (showFps) {
        glFinish();
        ++frameCounter;
        if (frameCounter > 5) {
            std::snprintf(frameRateText, sizeof frameRateText, "%2.2f fps",
                          frameCounter / secondsSinceLastCall());
            frameCounter = 0;
        }
        drawOutlinedText(5, windowHeight - 10, frameRateText, 0, 0, 0, 1, 1, 1);
    }
    glutSwapBuffers();
}
