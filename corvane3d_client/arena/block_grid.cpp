#include "block_grid.h"

#include <algorithm>
#include <cmath>

namespace {
// Points between these distances from the planet centre are looked up in the grid; the others are
// tested against every block.
const double kInner = 97.0;
const double kOuter = 106.0;
const int32_t kCells = 27; // per axis, over [-kOuter, kOuter]
const double kCellSize = 2.0 * kOuter / kCells;
// Added around every bounding box: far above the rounding of the containment test.
const double kMargin = 0.01;

struct Box {
    double lo[3];
    double hi[3];
};

// The point q with n . q = 0 on the two lines where a . q = da and b . q = db; false when the
// lines are (nearly) parallel.
bool meet(const Vector3& a, double da, const Vector3& b, double db, const Vector3& n, Vector3* q) {
    Vector3 bn = b.cross(n);
    double det = a.dot(bn);
    if (!(std::fabs(det) > 1e-9 * a.length() * b.length())) return false;
    *q = (bn * da + n.cross(a) * db) / det;
    return true;
}

// A box holding every point p with kInner <= |p| <= kOuter that block contains; false when the
// block's region in the shell cannot be bounded this way (degenerate or far from the planet).
bool boundInShell(const WallBlock& block, Box* box) {
    const Vector3& a0 = block.baseCorner(0);
    const Vector3& a1 = block.baseCorner(1);
    const Vector3& a2 = block.baseCorner(2);
    Vector3 sum = a0 + a1 + a2;
    Vector3 n = (a1 - a0).cross(a2 - a0);
    double length = n.length();
    if (!(length > 0.0) || !std::isfinite(length)) return false;
    n = n / length;
    if (n.dot(sum) < 0.0) n = n * -1.0;
    double along = n.dot(sum);
    if (!(along > 0.0)) return false;

    // contains(p) asks for p on each corner's side of the plane through the opposite edge's
    // midpoint, perpendicular to the median: a prism along n over the triangle those planes cut.
    const Vector3 corner[3] = {a0, a1, a2};
    Vector3 normal[3];
    double offset[3];
    for (int i = 0; i < 3; ++i) {
        Vector3 mid = (corner[(i + 1) % 3] + corner[(i + 2) % 3]) * 0.5;
        normal[i] = corner[i] - mid;
        offset[i] = normal[i].dot(mid);
    }
    Vector3 cut[3];
    double widest = 0.0;
    for (int i = 0; i < 3; ++i) {
        int j = (i + 1) % 3;
        if (!meet(normal[i], offset[i], normal[j], offset[j], n, &cut[i])) return false;
        widest = std::max(widest, cut[i].length());
    }
    if (!(widest < kInner)) return false;
    // Across the prism |p|^2 = |q|^2 + s^2 with q in the cut triangle and s = p . n.
    double low = std::sqrt(kInner * kInner - widest * widest);
    Vector3 sideways = sum - n * along;
    // Points with s <= -low lie on the far side of the planet centre: contains() refuses them.
    if (!(widest * sideways.length() < 0.5 * low * along)) return false;
    for (int k = 0; k < 3; ++k) {
        box->lo[k] = 1e300;
        box->hi[k] = -1e300;
    }
    for (int i = 0; i < 3; ++i) {
        for (double s : {low, kOuter}) {
            Vector3 p = cut[i] + n * s;
            const double c[3] = {p.x, p.y, p.z};
            for (int k = 0; k < 3; ++k) {
                box->lo[k] = std::min(box->lo[k], c[k] - kMargin);
                box->hi[k] = std::max(box->hi[k], c[k] + kMargin);
            }
        }
    }
    return true;
}

int32_t cellIndex(double v) {
    int32_t i = static_cast<int32_t>(std::floor((v + kOuter) / kCellSize));
    return std::min(std::max(i, 0), kCells - 1);
}
} // namespace

void BlockGrid::build(List<WallBlock>& blocks) {
    blocks_.clear();
    everywhere_.clear();
    for (WallBlock* b = blocks.first(); b; b = blocks.next()) {
        blocks_.push_back(b);
        if (blocks.atEnd()) break;
    }
    std::vector<int32_t> count(static_cast<size_t>(kCells) * kCells * kCells + 1, 0);
    std::vector<Box> boxes(blocks_.size());
    std::vector<bool> bounded(blocks_.size());
    for (size_t i = 0; i < blocks_.size(); ++i) {
        bounded[i] = boundInShell(*blocks_[i], &boxes[i]);
        if (!bounded[i]) everywhere_.push_back(static_cast<int32_t>(i));
    }
    // Two passes over the boxes: count per cell, then fill in ascending block order.
    cellStart_.assign(count.size(), 0);
    cellBlocks_.clear();
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            int32_t total = 0;
            for (size_t c = 0; c + 1 < count.size(); ++c) {
                cellStart_[c] = total;
                total += count[c];
                count[c] = cellStart_[c];
            }
            cellStart_.back() = total;
            cellBlocks_.resize(static_cast<size_t>(total));
        }
        for (size_t i = 0; i < blocks_.size(); ++i) {
            if (!bounded[i]) continue;
            const Box& b = boxes[i];
            for (int32_t x = cellIndex(b.lo[0]); x <= cellIndex(b.hi[0]); ++x)
                for (int32_t y = cellIndex(b.lo[1]); y <= cellIndex(b.hi[1]); ++y)
                    for (int32_t z = cellIndex(b.lo[2]); z <= cellIndex(b.hi[2]); ++z) {
                        size_t c = (static_cast<size_t>(x) * kCells + y) * kCells + z;
                        if (pass == 0)
                            ++count[c];
                        else
                            cellBlocks_[static_cast<size_t>(count[c]++)] = static_cast<int32_t>(i);
                    }
        }
    }
}

int32_t BlockGrid::cellOf(const Vector3& p) const {
    double r2 = p.dot(p);
    if (!(r2 >= kInner * kInner && r2 <= kOuter * kOuter)) return -1;
    return (cellIndex(p.x) * kCells + cellIndex(p.y)) * kCells + cellIndex(p.z);
}

WallBlock* BlockGrid::firstIntactContaining(const Vector3& p) const {
    int32_t cell = cellOf(p);
    if (cell < 0) {
        for (WallBlock* b : blocks_)
            if (b->state() == 0 && b->contains(p)) return b;
        return nullptr;
    }
    // Merge the cell's list with the unbounded blocks, both ascending.
    const int32_t* a = cellBlocks_.data() + cellStart_[static_cast<size_t>(cell)];
    const int32_t* aEnd = cellBlocks_.data() + cellStart_[static_cast<size_t>(cell) + 1];
    const int32_t* e = everywhere_.data();
    const int32_t* eEnd = e + everywhere_.size();
    while (a != aEnd || e != eEnd) {
        int32_t i = (e == eEnd || (a != aEnd && *a < *e)) ? *a++ : *e++;
        WallBlock* b = blocks_[static_cast<size_t>(i)];
        if (b->state() == 0 && b->contains(p)) return b;
    }
    return nullptr;
}
