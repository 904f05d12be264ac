#include <GL/gl.h>

#include "draw_state.h"
#include "globals.h"
#include "wall_block.h"
#include "world.h"

namespace {
void vertex(const Vector3& v) {
    glVertex3f(static_cast<GLfloat>(v.x), static_cast<GLfloat>(v.y), static_cast<GLfloat>(v.z));
}

void normal(const Vector3& n) {
    glNormal3f(static_cast<GLfloat>(n.x), static_cast<GLfloat>(n.y), static_cast<GLfloat>(n.z));
}

void texCoord(int corner) {
    static const GLfloat coords[4][2] = {{0.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f}};
    glTexCoord2fv(coords[corner]);
}

GLuint itemTexture(int32_t item) {
    return (item >= kItemBomb && item <= kItemSlow) ? itemTextures[item] : 0;
}
} // namespace

void WallBlock::render() {
    DrawState state;
    render(state);
    state.apply();
}

void WallBlock::render(DrawState& state) {
    const Vector3& a0 = base_.c0;
    const Vector3& a1 = base_.c1;
    const Vector3& a2 = base_.c2;
    const Vector3& b0 = top_.c0;
    const Vector3& b1 = top_.c1;
    const Vector3& b2 = top_.c2;

    if (state_ == 0) {
        if (detailLevel == 0) {
            state.apply();
            glBegin(GL_LINES);
            vertex(a0);
            vertex(b0);
            vertex(a1);
            vertex(b1);
            vertex(a2);
            vertex(b2);
            glEnd();
            state.apply();
            glBegin(GL_LINE_LOOP);
            vertex(b0);
            vertex(b1);
            vertex(b2);
            glEnd();
        } else if (detailLevel == 1) {
            state.apply();
            glBegin(GL_TRIANGLES);
            normal(top_.normal);
            vertex(b0);
            vertex(b1);
            vertex(b2);
            glEnd();
            state.apply();
            glBegin(GL_QUAD_STRIP);
            normal(sides_[0].normal);
            vertex(sides_[0].c0);
            vertex(sides_[0].c1);
            vertex(sides_[0].c2);
            vertex(sides_[0].c3);
            normal(sides_[1].normal);
            vertex(sides_[1].c2);
            vertex(sides_[1].c3);
            normal(sides_[2].normal);
            vertex(sides_[2].c2);
            vertex(sides_[2].c3);
            glEnd();
        } else {
            state.enable(GL_TEXTURE_2D);
            state.bindTexture(itemTextures[9]);
            state.apply();
            glBegin(GL_TRIANGLES);
            normal(top_.normal);
            texCoord(0);
            vertex(b0);
            texCoord(1);
            vertex(b1);
            texCoord(2);
            vertex(b2);
            glEnd();
            state.apply();
            glBegin(GL_QUAD_STRIP);
            normal(sides_[0].normal);
            texCoord(0);
            vertex(a2);
            texCoord(3);
            vertex(b2);
            texCoord(1);
            vertex(a1);
            texCoord(2);
            vertex(b1);
            normal(sides_[1].normal);
            texCoord(0);
            vertex(a0);
            texCoord(3);
            vertex(b0);
            normal(sides_[2].normal);
            texCoord(1);
            vertex(a2);
            texCoord(2);
            vertex(b2);
            glEnd();
            state.disable(GL_TEXTURE_2D);
        }
        return;
    }

    if (debrisTicks_ < 20) {
        state.disable(GL_CULL_FACE);
        if (detailLevel == 0) {
            for (Fragment* f = fragments_.first(); f; f = fragments_.next()) {
                state.apply();
                glBegin(GL_LINE_LOOP);
                vertex(f->c0);
                vertex(f->c1);
                vertex(f->c2);
                vertex(f->c3);
                vertex(f->c0);
                glEnd();
            }
        } else if (detailLevel == 1) {
            state.apply();
            glBegin(GL_QUADS);
            for (Fragment* f = fragments_.first(); f; f = fragments_.next()) {
                normal(f->normal);
                vertex(f->c0);
                vertex(f->c1);
                vertex(f->c2);
                vertex(f->c3);
            }
            glEnd();
        } else {
            state.enable(GL_TEXTURE_2D);
            state.enable(GL_ALPHA_TEST);
            state.alphaFunc(GL_GREATER, 0.01f);
            state.enable(GL_BLEND);
            state.blendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            state.bindTexture(itemTextures[8]);
            GLfloat g = static_cast<GLfloat>(1 / debrisTicks_);
            glColor4f(g, g, g, 1.0f);
            state.apply();
            glBegin(GL_QUADS);
            for (Fragment* f = fragments_.first(); f; f = fragments_.next()) {
                normal(f->normal);
                texCoord(0);
                vertex(f->c0);
                texCoord(1);
                vertex(f->c1);
                texCoord(2);
                vertex(f->c2);
                texCoord(3);
                vertex(f->c3);
            }
            glEnd();
            state.disable(GL_TEXTURE_2D);
            state.disable(GL_ALPHA_TEST);
            state.disable(GL_BLEND);
        }
        state.enable(GL_CULL_FACE);
    }

    if (item_ != kItemNone) {
        state.enable(GL_TEXTURE_2D);
        state.enable(GL_ALPHA_TEST);
        state.alphaFunc(GL_GEQUAL, 0.5f);
        state.bindTexture(itemTexture(item_));
        state.apply();
        glBegin(GL_QUADS);
        normal(itemQuad_.normal);
        texCoord(0);
        vertex(itemQuad_.c0);
        texCoord(1);
        vertex(itemQuad_.c1);
        texCoord(2);
        vertex(itemQuad_.c2);
        texCoord(3);
        vertex(itemQuad_.c3);
        glEnd();
        state.disable(GL_ALPHA_TEST);
        state.disable(GL_TEXTURE_2D);
    }
}
