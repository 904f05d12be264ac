#include <GL/gl.h>
#include <GL/glut.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "draw_state.h"
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

// Segments from the eye that pass this close to the planet centre (times its radius) run through
// the solid sphere drawn for the planet, which reaches down to about 0.995 of the radius between
// its vertices.
const double kHiddenBelow = 0.98;

// The eye in world coordinates, when the projection is a perspective one and the modelview a
// rotation and a translation, and the near plane lies closer to the eye than the planet does.
bool perspectiveEye(double radius, Vector3* eye) {
    GLdouble m[16], p[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    glGetDoublev(GL_PROJECTION_MATRIX, p);
    if (p[3] != 0.0 || p[7] != 0.0 || p[11] != -1.0 || p[15] != 0.0) return false;
    for (int i = 0; i < 3; ++i) {
        if (m[4 * i + 3] != 0.0) return false;
        for (int j = 0; j < 3; ++j) {
            double d =
                m[4 * i] * m[4 * j] + m[4 * i + 1] * m[4 * j + 1] + m[4 * i + 2] * m[4 * j + 2];
            if (std::fabs(d - (i == j ? 1.0 : 0.0)) > 1e-6) return false;
        }
    }
    if (m[15] != 1.0) return false;
    double e[3];
    for (int j = 0; j < 3; ++j)
        e[j] = -(m[4 * j] * m[12] + m[4 * j + 1] * m[13] + m[4 * j + 2] * m[14]);
    *eye = Vector3(e[0], e[1], e[2]);
    double near = p[14] / (p[10] - 1.0);
    return std::isfinite(near) && near > 0.0 && eye->length() > radius * 1.1 + near;
}

// True when the segment from eye to p passes within limit of the planet centre.
bool behindPlanet(const Vector3& eye, const Vector3& p, double limit) {
    Vector3 d = p - eye;
    double t = -eye.dot(d) / d.dot(d);
    if (t > 1.0) t = 1.0;
    if (t < 0.0) t = 0.0;
    Vector3 closest = eye + d * t;
    return closest.dot(closest) < limit * limit;
}

// A block to draw and its squared distance from the eye; index keeps list order among equals.
struct DrawOrder {
    double distance2;
    int32_t index;
    WallBlock* block;
};

// Kept from frame to frame so that drawing allocates nothing once it has grown.
std::vector<DrawOrder>& drawOrder() {
    static std::vector<DrawOrder> order;
    return order;
}

// True when every corner of the intact block lies behind the planet as seen from eye, so that the
// planet, drawn after the blocks, covers every pixel of it.
bool hiddenByPlanet(const WallBlock& b, const Vector3& eye, double limit) {
    for (const Vector3* c :
         {&b.base().c0, &b.base().c1, &b.base().c2, &b.top().c0, &b.top().c1, &b.top().c2})
        if (!behindPlanet(eye, *c, limit)) return false;
    return true;
}
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
    // Intact blocks behind the planet are left out where that changes no pixel: over the solid
    // planet, and at high detail only after the last block whose smoke blends with what lies
    // behind it.
    Vector3 eye;
    const bool culling = detailLevel > 0 && perspectiveEye(radius_, &eye);
    int32_t lastBlended = -1;
    if (culling && detailLevel == 2) {
        int32_t i = 0;
        for (WallBlock* b = blocks_.first(); b; b = blocks_.next(), ++i)
            if (b->state() != 0 && b->debrisTicks() < 20) lastBlended = i;
    }
    const double limit = radius_ * kHiddenBelow;
    // What follows the last blended block is opaque (depth-tested, alpha-tested at most), so it is
    // drawn nearest first: the renderer then skips shading the pixels already covered. Only the
    // pixels where two faces meet at exactly the same depth can come out otherwise.
    DrawState state;
    std::vector<DrawOrder>& nearestFirst = drawOrder();
    nearestFirst.clear();
    int32_t i = 0;
    for (WallBlock* b = blocks_.first(); b; b = blocks_.next(), ++i) {
        if (!culling || i <= lastBlended) {
            b->render(state);
        } else if (b->state() != 0 || !hiddenByPlanet(*b, eye, limit)) {
            const Vector3 middle = (b->top().c0 + b->top().c1 + b->top().c2) / 3.0 - eye;
            nearestFirst.push_back({middle.dot(middle), i, b});
        }
    }
    std::sort(nearestFirst.begin(), nearestFirst.end(), [](const DrawOrder& x, const DrawOrder& y) {
        return x.distance2 != y.distance2 ? x.distance2 < y.distance2 : x.index < y.index;
    });
    for (const DrawOrder& d : nearestFirst)
        d.block->render(state);
    state.apply();

    glMaterialfv(GL_FRONT, GL_AMBIENT, planetAmbient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, planetDiffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, planetSpecular);
    glMaterialf(GL_FRONT, GL_SHININESS, 1.0f);
    if (detailLevel == 0)
        glutWireSphere(radius_, slices_, stacks_);
    else
        glutSolidSphere(radius_, slices_, stacks_);
}
