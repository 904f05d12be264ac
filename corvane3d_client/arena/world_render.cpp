#include <GL/gl.h>
#include <GL/glut.h>

#include "glpng.h"
#include "globals.h"
#include "world.h"

unsigned itemTextures[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

namespace {
struct ArenaPicture {
    const char* file;
    int transparency;
};

const ArenaPicture kArenaPictures[9] = {
    {"data/bomb.png", PNG_ALPHA},  {"data/power.png", PNG_ALPHA},
    {"data/range.png", PNG_ALPHA}, {"data/remote_control.png", PNG_ALPHA},
    {"data/cloak.png", PNG_ALPHA}, {"data/speed.png", PNG_ALPHA},
    {"data/slow.png", PNG_ALPHA},  {"data/smoke.png", PNG_ALPHA},
    {"data/wall.png", PNG_SOLID},
};

bool arenaTexturesLoaded = false;
} // namespace

void loadArenaTextures() {
    if (arenaTexturesLoaded || itemTextures[1] != 0) return;
    arenaTexturesLoaded = true;
    pngSetStandardOrientation(1);
    pngInfo info;
    for (int i = 0; i < 9; ++i) {
        itemTextures[i + 1] =
            pngBind(kArenaPictures[i].file, PNG_NOMIPMAPS, kArenaPictures[i].transparency, &info,
                    GL_REPEAT, GL_LINEAR, GL_LINEAR);
    }
}

unsigned loadPlanetTexture() {
    pngSetStandardOrientation(1);
    pngInfo info;
    return pngBind("data/sphere.png", PNG_NOMIPMAPS, PNG_SOLID, &info, GL_REPEAT, GL_LINEAR,
                   GL_LINEAR);
}

void World::render() {
    static const GLfloat wallColour[4] = {0.6f, 0.6f, 0.6f, 1.0f};
    static const GLfloat wallSpecular[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    static const GLfloat planetAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    static const GLfloat planetDiffuse[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    static const GLfloat planetSpecular[4] = {0.5f, 0.5f, 0.5f, 1.0f};

    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, wallColour);
    glMaterialfv(GL_FRONT, GL_SPECULAR, wallSpecular);
    glMaterialf(GL_FRONT, GL_SHININESS, 1.0f);
    for (WallBlock* b = blocks_.first(); b; b = blocks_.next())
        b->render();

    glMaterialfv(GL_FRONT, GL_AMBIENT, planetAmbient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, planetDiffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, planetSpecular);
    glMaterialf(GL_FRONT, GL_SHININESS, 1.0f);
    if (detailLevel == 0)
        glutWireSphere(radius_, slices_, stacks_);
    else
        glutSolidSphere(radius_, slices_, stacks_);
}
