#include <GL/gl.h>

#include "bomb.h"
#include "flame_preview.h"

namespace {
void vertex(const Vector3& v) {
    glVertex3d(v.x, v.y, v.z);
}
} // namespace

void drawFlamePreviews(List<Bomb>& bombs, int64_t nowMs) {
    bool begun = false;
    for (Bomb* b = bombs.first(); b; b = bombs.next()) {
        if (b->exploded() == 0 && b->owner() > 0) {
            if (!begun) {
                glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT |
                             GL_DEPTH_BUFFER_BIT | GL_LINE_BIT);
                glDisable(GL_LIGHTING);
                glDisable(GL_TEXTURE_2D);
                glDisable(GL_CULL_FACE);
                glEnable(GL_BLEND);
                glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                glDepthMask(GL_FALSE);
                glLineWidth(2.0f);
                begun = true;
            }
            const float alpha = flamePreviewAlpha(b->deadlineMs() - nowMs, b->remote() != 0);
            List<FlameQuad>& quads = b->flameQuads();
            glColor4f(1.0f, 0.4f, 0.05f, alpha * 0.6f);
            glBegin(GL_QUADS);
            for (FlameQuad* q = quads.first(); q; q = quads.next())
                for (const Vector3& c : q->corner)
                    vertex(c);
            glEnd();
            // The long sides of each strip and its far end, brighter than the fill.
            glColor4f(1.0f, 0.75f, 0.25f, alpha);
            const int range = b->range();
            int k = 0;
            glBegin(GL_LINES);
            for (FlameQuad* q = quads.first(); q; q = quads.next(), ++k) {
                vertex(q->corner[0]);
                vertex(q->corner[1]);
                vertex(q->corner[3]);
                vertex(q->corner[2]);
                if (range > 0 && k % range == range - 1) {
                    vertex(q->corner[1]);
                    vertex(q->corner[2]);
                }
            }
            glEnd();
        }
        if (bombs.atEnd()) break;
    }
    if (begun) glPopAttrib();
}
