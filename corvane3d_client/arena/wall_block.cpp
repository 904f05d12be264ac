#include "wall_block.h"

#include <cmath>

#include "random.h"

namespace {
Fragment* makeFragment(const Vector3& c0, const Vector3& c1, const Vector3& c2, const Vector3& c3) {
    Fragment* f = new Fragment;
    f->c0 = c0;
    f->c1 = c1;
    f->c2 = c2;
    f->c3 = c3;
    return f;
}
} // namespace

WallBlock::WallBlock(Vector3 a0, Vector3 a1, Vector3 a2, double h) {
    base_.c0 = a0;
    base_.c1 = a1;
    base_.c2 = a2;
    base_.normal = unit((a1 - a0).cross(a2 - a0));

    Vector3 e = ((a0 + a1 + a2) / 3.0) / h;
    top_.c0 = a0 + e;
    top_.c1 = a1 + e;
    top_.c2 = a2 + e;
    top_.normal = unit((top_.c1 - top_.c0).cross(top_.c2 - top_.c0));

    Vector3 d = top_.c2 - a2;
    sides_[0] = Quad{a2, top_.c2, a1, top_.c1, unit((a1 - a2).cross(d))};
    sides_[1] = Quad{a1, top_.c1, a0, top_.c0, unit((a0 - a1).cross(d))};
    sides_[2] = Quad{a0, top_.c0, a2, top_.c2, unit((a2 - a0).cross(d))};

    Vector3 n = unit((a1 - a0).cross(a2 - a1));
    Vector3 k = (a1 - a0) / 4.0;
    itemQuad_.c0 = (n + a0) + k;
    itemQuad_.c1 = (n + a1) - k;
    itemQuad_.c2 = (n + a1) + (a2 - a1) / 2.0;
    itemQuad_.c3 = (n + a0) + (a2 - a0) / 2.0;
    itemQuad_.normal = n;

    fragments_.append(makeFragment(itemQuad_.c0, itemQuad_.c1, itemQuad_.c2, itemQuad_.c3));
    const Vector3* ground[3] = {&base_.c0, &base_.c1, &base_.c2};
    const Vector3* roof[3] = {&top_.c0, &top_.c1, &top_.c2};
    for (int i = 0; i < 3; ++i) {
        int j = (i + 1) % 3;
        const Vector3& ai = *ground[i];
        const Vector3& aj = *ground[j];
        const Vector3& bi = *roof[i];
        const Vector3& bj = *roof[j];
        Vector3 h2 = (bi - ai) / 2.0;
        Vector3 e2 = (aj - ai) / 2.0;
        fragments_.append(makeFragment(ai, ai + e2, (ai + h2) + e2, ai + h2));
        fragments_.append(makeFragment(ai + e2, aj, aj + h2, (ai + h2) + e2));
        fragments_.append(makeFragment(ai + h2, (ai + h2) + e2, bi + e2, bi));
        fragments_.append(makeFragment((ai + h2) + e2, aj + h2, bj, bi + e2));
    }
    for (Fragment* f = fragments_.first(); f; f = fragments_.next()) {
        f->normal = unit((f->c0 - f->c1).cross(f->c0 - f->c2)) * (nextRandom() / 8192.0);
    }
}

const Vector3& WallBlock::baseCorner(int i) const {
    if (i == 1) return base_.c1;
    if (i == 2) return base_.c2;
    return base_.c0;
}

bool WallBlock::contains(const Vector3& p) const {
    const Vector3& a0 = base_.c0;
    const Vector3& a1 = base_.c1;
    const Vector3& a2 = base_.c2;
    if (p.dot(a0 + a1 + a2) <= 0.0) return false;
    return insideMedianPlanes(a0, a1, a2, p);
}

bool WallBlock::blocks(Vector3 position, Vector3 heading, Vector3 view) const {
    if (view.dot(top_.c0 - base_.c0) > 0.0) return false;
    Vector3 u = unit(position.cross(heading)) * 4.0;
    Vector3 w = heading * 5.0;
    return contains(position + u + w) || contains(position - u + w) || contains(position - u - w) ||
           contains(position + u - w);
}

void WallBlock::updateDebris() {
    if (state_ != 1 || debrisTicks_ >= 20) return;
    ++debrisTicks_;
    const double step = M_PI / 60.0;
    for (Fragment* f = fragments_.first(); f; f = fragments_.next()) {
        Vector3* corners[4] = {&f->c0, &f->c1, &f->c2, &f->c3};
        for (Vector3* c : corners) {
            c->rotateAround(step, f->normal);
            *c += f->normal;
        }
    }
}
