#include "hud_render.h"

#include <GL/glut.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "bitmap_font.h"
#include "bomb.h"
#include "clock.h"
#include "game.h"
#include "game_render.h"
#include "globals.h"
#include "play_timer.h"
#include "vehicle.h"
#include "world.h"

namespace {

const double kPi = 3.141592653589793;
const char* const kFontCharset = "ABCDEFGHIJKLMNOPQRSTUVWXYZ?:+-0123456789.,!()] ";
const float kGlyphWidth = 7.0f;
const float kGlyphHeight = 7.0f * 34.0f / 32.0f;
const int kPips = 5;
const float kPipWidth = 5.0f;
const float kPipHeight = 4.0f;
const float kEdgeWidth = 24.0f;
const float kCounterBand = 28.0f;

HitFeedback feedback;
PlayTimer playTimer;
BitmapFont hudFont("data/font.png", kFontCharset, 32, 34, 0, 0, 8);
bool fontTried = false;

void beginDesignSpace() {
    beginWindowSpace();
    glScalef(windowWidth / 320.0f, windowHeight / 256.0f, 1);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void endDesignSpace() {
    glPopAttrib();
    endWindowSpace();
}

void rect(float x0, float y0, float x1, float y1) {
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

bool hiddenByCloak(const Vehicle* v) {
    return v->cloak() == 1 && v->drawnWhileCloaked() == 0;
}

void drawPips(Game* g, const ViewFrame& view) {
    // In single player the pips keep below the targets-left counter along the top edge.
    const float pipsTop = 256.0f - (gameMode == 1 ? kCounterBand : 0.0f) - (kPipHeight + 2);
    for (Vehicle* v = g->opponents->first(); v; v = g->opponents->next()) {
        Vector3 p = v->position();
        p.normalize();
        double nx, ny;
        if (v->energy() > 0 && !hiddenByCloak(v) && view.eye.dot(p) > 100.0 &&
            projectPoint(view, p * 114.0, &nx, &ny) && std::fabs(nx) < 1 && std::fabs(ny) < 1) {
            const int32_t known = feedback.energyOf(v->id());
            const int32_t energy = known >= 0 ? known : v->energy();
            const float width = kPips * (kPipWidth + 1) + 1;
            const float x = static_cast<float>((nx + 1) * 160.0) - width / 2;
            const float y = std::fmin(static_cast<float>((ny + 1) * 128.0), pipsTop);
            glColor4f(0, 0, 0, 0.8f);
            rect(x, y, x + width, y + kPipHeight + 2);
            for (int i = 0; i < kPips; ++i) {
                if (i < energy)
                    glColor4f(1.0f, 0.85f, 0.1f, 1);
                else
                    glColor4f(0.3f, 0.3f, 0.3f, 1);
                const float px = x + 1 + i * (kPipWidth + 1);
                rect(px, y + 1, px + kPipWidth, y + 1 + kPipHeight);
            }
        }
        if (g->opponents->atEnd()) break;
    }
}

// An arrow head pointing along +x with a notched tail, scaled by size around its middle.
void chevron(float size) {
    glBegin(GL_TRIANGLES);
    glVertex2f(11 * size, 0);
    glVertex2f(-7 * size, 7 * size);
    glVertex2f(-2 * size, 0);
    glVertex2f(11 * size, 0);
    glVertex2f(-2 * size, 0);
    glVertex2f(-7 * size, -7 * size);
    glEnd();
}

void drawArrow(Game* g, const ViewFrame& view) {
    const Vehicle* nearest = nearestOpponent(g->localVehicle->position(), *g->opponents);
    if (!nearest || g->localDead()) return;
    ArrowPlacement a = placeArrow(view, g->localVehicle->position(), nearest->position());
    if (!a.shown) return;
    glPushMatrix();
    glTranslatef(a.x, a.y, 0);
    glRotatef(a.angle * 180.0f / 3.14159265f, 0, 0, 1);
    glColor4f(0, 0, 0, 0.8f * a.alpha);
    chevron(1.35f);
    const float* c = nearest->diffuse();
    glColor4f(0.5f + 0.5f * c[0], 0.5f + 0.5f * c[1], 0.5f + 0.5f * c[2], a.alpha);
    chevron(1.0f);
    glPopMatrix();
}

void drawFontText(const char* text, float x, float y) {
    const int n = static_cast<int>(std::strlen(text));
    static const float outline[4][2] = {{-0.7f, 0}, {0.7f, 0}, {0, -0.7f}, {0, 0.7f}};
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, 0.5f);
    hudFont.bind();
    for (int pass = 0; pass < 5; ++pass) {
        glPushMatrix();
        if (pass < 4) {
            glColor4f(0, 0, 0, 1);
            glTranslatef(x + outline[pass][0], y + outline[pass][1], 0);
        } else {
            glColor4f(1, 1, 1, 1);
            glTranslatef(x, y, 0);
        }
        glScalef(kGlyphWidth, kGlyphHeight, 1);
        hudFont.drawText(text, n);
        glPopMatrix();
    }
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
}

void drawTargetsLeft(Game* g) {
    if (gameMode != 1) return;
    if (!fontTried) {
        fontTried = true;
        if (!hudFont.load()) std::fputs("Problem loading font.png\n", stderr);
    }
    if (hudFont.texture() == 0) return;
    playTimer.observe(g->startTicks, g->won() || g->localDead(), clockMs());
    char text[48];
    if (g->won())
        std::snprintf(text, sizeof text, "ALL TARGETS DOWN IN %s",
                      minutesSeconds(playTimer.elapsedMs(clockMs())).c_str());
    else
        std::snprintf(text, sizeof text, "TARGETS LEFT: %d",
                      static_cast<int>(g->opponents->count()));
    const float width = kGlyphWidth * static_cast<float>(std::strlen(text));
    drawFontText(text, 160.0f - width / 2, 256.0f - 6.0f - kGlyphHeight);
}

void drawEdges(double level) {
    if (level <= 0) return;
    const float a = static_cast<float>(0.7 * level);
    const float w = kEdgeWidth;
    const float corners[4][4] = {
        {0, 0, 320, w}, {0, 256 - w, 320, 256}, {0, 0, w, 256}, {320 - w, 0, 320, 256}};
    glShadeModel(GL_SMOOTH);
    for (int side = 0; side < 4; ++side) {
        const float* r = corners[side];
        // The outer edge of each strip is strong, the inner one clear.
        float alphas[4] = {a, a, a, a};
        if (side == 0) alphas[2] = alphas[3] = 0;
        if (side == 1) alphas[0] = alphas[1] = 0;
        if (side == 2) alphas[1] = alphas[2] = 0;
        if (side == 3) alphas[0] = alphas[3] = 0;
        glBegin(GL_QUADS);
        glColor4f(1, 0, 0, alphas[0]);
        glVertex2f(r[0], r[1]);
        glColor4f(1, 0, 0, alphas[1]);
        glVertex2f(r[2], r[1]);
        glColor4f(1, 0, 0, alphas[2]);
        glVertex2f(r[2], r[3]);
        glColor4f(1, 0, 0, alphas[3]);
        glVertex2f(r[0], r[3]);
        glEnd();
    }
}

void billboard(Vector3 centre, const Vector3& side, const Vector3& up, double size) {
    const Vector3 s = side * size, u = up * size;
    const Vector3 corners[4] = {centre - s - u, centre + s - u, centre + s + u, centre - s + u};
    static const float tex[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; ++i) {
        glTexCoord2fv(tex[i]);
        glVertex3d(corners[i].x, corners[i].y, corners[i].z);
    }
    glEnd();
}

} // namespace

HitFeedback& hitFeedback() {
    return feedback;
}

ViewFrame viewOf(const Camera& camera) {
    ViewFrame v;
    v.eye = camera.eye;
    v.target = camera.target;
    v.up = camera.up;
    return v;
}

void observeHits(Game* g) {
    feedback.observe(*g->localVehicle, *g->opponents, *g->bombs, gameMode != 2, g->startTicks,
                     clockMs());
}

void drawFlashing(const Vehicle* v) {
    v->draw();
    if (!feedback.flashOn(v->id(), clockMs())) return;
    // The same car again, unlit and tinted, over itself.
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_FOG);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthFunc(GL_LEQUAL);
    glColor4f(1.0f, 0.25f, 0.1f, 0.8f);
    v->draw();
    glPopAttrib();
}

void drawExplosions(const Camera& camera) {
    const Explosion* list = nullptr;
    const int64_t now = clockMs();
    const int count = feedback.explosions(now, &list);
    if (count == 0) return;
    Vector3 forward = camera.target - camera.eye;
    forward.normalize();
    Vector3 side = forward.cross(camera.up);
    side.normalize();
    const Vector3 up = side.cross(forward);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(now - list[i].startMs) /
                         static_cast<double>(HitFeedback::kExplosionMs);
        Vector3 p = list[i].position;
        p.normalize();
        const Vector3 centre = p * 106.0 - forward * 4.0;
        // Smoke rises and spreads behind the flames, fading out over the whole burst.
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBindTexture(GL_TEXTURE_2D, itemTextures[8]);
        if (itemTextures[8]) glEnable(GL_TEXTURE_2D);
        glColor4f(0.35f, 0.35f, 0.35f, static_cast<float>(0.9 * (1.0 - t)));
        billboard(centre + up * (6.0 * t), side, up, 6.0 + 14.0 * t);
        // Flames flare up within the first third and burn down by the end.
        const int frame = static_cast<int>(t * 31.0) % 32;
        glBindTexture(GL_TEXTURE_2D, flameTextures[frame]);
        if (flameTextures[frame])
            glEnable(GL_TEXTURE_2D);
        else
            glDisable(GL_TEXTURE_2D);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        const double flare = t < 0.3 ? t / 0.3 : 1.0 - (t - 0.3) / 0.7;
        glColor4f(1.0f, 0.8f, 0.5f, static_cast<float>(flare));
        // Three flame strips crossed like a star, turning slowly, make a round burst.
        const double size = 4.0 + 10.0 * std::sqrt(t);
        for (int k = 0; k < 3; ++k) {
            const double a = k * kPi / 3.0 + t * 0.7;
            const Vector3 s = side * std::cos(a) + up * std::sin(a);
            const Vector3 u = up * std::cos(a) - side * std::sin(a);
            billboard(centre - forward * (1.0 + k * 0.1), s, u * 0.6, size);
        }
        glDisable(GL_TEXTURE_2D);
    }
    glPopAttrib();
}

void drawHudExtras(Game* g) {
    const ViewFrame view = viewOf(*g->camera);
    beginDesignSpace();
    drawPips(g, view);
    drawArrow(g, view);
    drawTargetsLeft(g);
    drawEdges(feedback.edgeLevel(clockMs()));
    endDesignSpace();
}

void drawOutlinedText(int x, int y, const char* text, float r, float g, float b, float or_,
                      float og, float ob) {
    static const int offsets[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    for (const auto& o : offsets)
        drawTextColoured(x + o[0], y + o[1], text, or_, og, ob);
    drawTextColoured(x, y, text, r, g, b);
}
