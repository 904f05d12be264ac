#include "bomb.h"

#include <GL/glut.h>

#include <cstdio>

#include "glpng.h"

unsigned flameTextures[32] = {0};

namespace {
// Texture coordinates of corners 0..3: s runs along the strip, t across it.
const GLfloat kFlameTexCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
} // namespace

void loadFlameTextures() {
    if (flameTextures[0] != 0) return;
    pngSetStandardOrientation(1);
    for (int i = 0; i < 32; ++i) {
        if (flameTextures[i] != 0) {
            GLuint stale = flameTextures[i];
            glDeleteTextures(1, &stale);
        }
        char name[32];
        std::snprintf(name, sizeof name, "data/flame%02d.png", i);
        flameTextures[i] =
            pngBind(name, PNG_NOMIPMAPS, PNG_ALPHA, nullptr, GL_REPEAT, GL_LINEAR, GL_LINEAR);
    }
}

void Bomb::draw() {
    if (owner_ < 0) return;
    static const GLfloat ambient[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    static const GLfloat diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    static const GLfloat specular[4] = {0.6f, 0.6f, 0.6f, 1.0f};

    glPushMatrix();
    glColor3f(1.0f, 1.0f, 1.0f);
    glMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT, GL_SHININESS, 0.5f);

    if (exploded_) {
        frame_ = (frame_ + 1) % 32;
        // A frame whose picture failed to load is drawn untextured.
        if (flameTextures[frame_] != 0) glEnable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBindTexture(GL_TEXTURE_2D, flameTextures[frame_]);
        glBegin(GL_QUADS);
        for (FlameQuad* q = flameQuads_.first(); q; q = flameQuads_.next()) {
            glNormal3f(static_cast<GLfloat>(q->normal.x), static_cast<GLfloat>(q->normal.y),
                       static_cast<GLfloat>(q->normal.z));
            for (int c = 0; c < 4; ++c) {
                glTexCoord2fv(kFlameTexCoords[c]);
                glVertex3f(static_cast<GLfloat>(q->corner[c].x),
                           static_cast<GLfloat>(q->corner[c].y),
                           static_cast<GLfloat>(q->corner[c].z));
            }
        }
        glEnd();
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
    } else {
        glTranslatef(static_cast<GLfloat>(position_.x), static_cast<GLfloat>(position_.y),
                     static_cast<GLfloat>(position_.z));
        glutSolidSphere(2.0, 10, 10);
    }
    glPopMatrix();
}
