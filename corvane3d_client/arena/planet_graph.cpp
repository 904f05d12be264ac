#include "planet_graph.h"

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <map>
#include <queue>
#include <utility>

#include "wall_block.h"

namespace {
const double kPlanetRadius = 100.0;
const double kCarViewHeight = -70.0;
// Below this |z| of a unit direction a point is too far from a pole to lie in its opening.
const double kPoleRegionZ = 0.965;

Vector3 vertex(int index) {
    const double* v = planetVertices[index];
    return Vector3(v[0], v[1], v[2]);
}

Vector3 cornerOf(int triangle, int k) {
    return vertex(planetTriangles[triangle][k]);
}

std::array<int, 3> sortedCorners(int a, int b, int c) {
    std::array<int, 3> key = {a, b, c};
    std::sort(key.begin(), key.end());
    return key;
}
} // namespace

PlanetGraph::PlanetGraph() {
    std::map<std::pair<int, int>, std::vector<int>> edges;
    std::vector<std::vector<int>> byVertex(kPlanetVertexCount);
    for (int t = 0; t < kPlanetTriangleCount; ++t) {
        centre_[t] = unit(cornerOf(t, 0) + cornerOf(t, 1) + cornerOf(t, 2));
        for (int k = 0; k < 3; ++k) {
            int a = planetTriangles[t][k];
            int b = planetTriangles[t][(k + 1) % 3];
            edges[{std::min(a, b), std::max(a, b)}].push_back(t);
            byVertex[a].push_back(t);
        }
    }
    centre_[kNorthPole] = Vector3(0, 0, 1);
    centre_[kSouthPole] = Vector3(0, 0, -1);

    auto link = [this](int a, int b, const Vector3& midpoint) {
        neighbours_[a].push_back(b);
        portals_[a].push_back(midpoint);
        neighbours_[b].push_back(a);
        portals_[b].push_back(midpoint);
    };
    std::vector<int> rimVertices[2];
    for (const auto& e : edges) {
        Vector3 midpoint = unit(vertex(e.first.first) + vertex(e.first.second));
        if (e.second.size() == 2) {
            link(e.second[0], e.second[1], midpoint);
        } else if (e.second.size() == 1) {
            int side = midpoint.z > 0 ? 0 : 1;
            link(e.second[0], side == 0 ? kNorthPole : kSouthPole, midpoint);
            rimVertices[side].push_back(e.first.first);
            rimVertices[side].push_back(e.first.second);
        }
    }

    for (int t = 0; t < kPlanetTriangleCount; ++t) {
        std::vector<int>& ring = around_[t];
        for (int k = 0; k < 3; ++k)
            for (int other : byVertex[planetTriangles[t][k]])
                if (other != t) ring.push_back(other);
        std::sort(ring.begin(), ring.end());
        ring.erase(std::unique(ring.begin(), ring.end()), ring.end());
    }
    for (int side = 0; side < 2; ++side) {
        std::vector<int>& ring = around_[side == 0 ? kNorthPole : kSouthPole];
        for (int v : rimVertices[side])
            ring.insert(ring.end(), byVertex[v].begin(), byVertex[v].end());
        std::sort(ring.begin(), ring.end());
        ring.erase(std::unique(ring.begin(), ring.end()), ring.end());
    }
}

Vector3 PlanetGraph::portal(int a, int b) const {
    const std::vector<int>& n = neighbours_[a];
    for (size_t k = 0; k < n.size(); ++k)
        if (n[k] == b) return portals_[a][k];
    return unit(centre_[a] + centre_[b]);
}

bool PlanetGraph::inside(int node, const Vector3& p) const {
    Vector3 q = unit(p) * kPlanetRadius;
    if (node == kNorthPole || node == kSouthPole) {
        double z = node == kNorthPole ? q.z : -q.z;
        if (z < kPoleRegionZ * kPlanetRadius) return false;
        for (int t : around_[node])
            if (inside(t, q)) return false;
        return true;
    }
    Vector3 a0 = cornerOf(node, 0), a1 = cornerOf(node, 1), a2 = cornerOf(node, 2);
    if (q.dot(a0 + a1 + a2) <= 0.0) return false;
    return insideMedianPlanes(a0, a1, a2, q);
}

int PlanetGraph::nodeAt(Vector3 p, int hint) const {
    if (hint >= 0 && hint < kNodeCount) {
        if (inside(hint, p)) return hint;
        for (int n : neighbours_[hint])
            if (inside(n, p)) return n;
        for (int n : around_[hint])
            if (inside(n, p)) return n;
    }
    Vector3 u = unit(p);
    int nearest = 0;
    double best = -2.0;
    for (int t = 0; t < kPlanetTriangleCount; ++t) {
        double d = centre_[t].dot(u);
        if (d > best) {
            best = d;
            nearest = t;
        }
    }
    if (inside(nearest, u)) return nearest;
    for (int n : around_[nearest])
        if (inside(n, u)) return n;
    if (u.z >= kPoleRegionZ) return kNorthPole;
    if (u.z <= -kPoleRegionZ) return kSouthPole;
    return nearest;
}

void PlanetGraph::bind(List<WallBlock>& blocks) {
    static std::map<std::array<double, 3>, int> vertexIndex;
    static std::map<std::array<int, 3>, int> triangleIndex;
    if (vertexIndex.empty()) {
        for (int v = 0; v < kPlanetVertexCount; ++v)
            vertexIndex[{planetVertices[v][0], planetVertices[v][1], planetVertices[v][2]}] = v;
        for (int t = 0; t < kPlanetTriangleCount; ++t)
            triangleIndex[sortedCorners(planetTriangles[t][0], planetTriangles[t][1],
                                        planetTriangles[t][2])] = t;
    }
    boundBlocks_.clear();
    std::fill(block_, block_ + kNodeCount, nullptr);
    for (WallBlock* b = blocks.first(); b; b = blocks.next()) {
        int corner[3];
        bool known = true;
        for (int k = 0; k < 3; ++k) {
            const Vector3& c = b->baseCorner(k);
            auto found = vertexIndex.find({c.x, c.y, c.z});
            if (found == vertexIndex.end()) {
                known = false;
                break;
            }
            corner[k] = found->second;
        }
        int node = -1;
        if (known) {
            auto found = triangleIndex.find(sortedCorners(corner[0], corner[1], corner[2]));
            if (found != triangleIndex.end()) node = found->second;
        }
        if (node < 0) node = nodeAt(b->baseCorner(0) + b->baseCorner(1) + b->baseCorner(2));
        if (node >= kPlanetTriangleCount || block_[node]) continue;
        block_[node] = b;
        boundBlocks_.push_back(b);
    }
    for (int n = 0; n < kNodeCount; ++n)
        blocked_[n] = block_[n] && block_[n]->state() == 0 ? 1 : 0;
    updateCrowding();
    version_ = 1;
}

bool PlanetGraph::refresh() {
    bool changed = false;
    for (int n = 0; n < kPlanetTriangleCount; ++n) {
        if (!blocked_[n] || block_[n]->state() == 0) continue;
        blocked_[n] = 0;
        changed = true;
    }
    if (changed) {
        updateCrowding();
        ++version_;
    }
    return changed;
}

void PlanetGraph::updateCrowding() {
    for (int n = 0; n < kNodeCount; ++n) {
        int count = 0;
        for (int t : around_[n])
            count += blocked_[t];
        crowding_[n] = count;
    }
}

bool PlanetGraph::carFits(Vector3 position, Vector3 heading, int node) const {
    if (node < 0) node = nodeAt(position);
    Vector3 at = position * kPlanetRadius;
    Vector3 view = position * kCarViewHeight;
    if (blocked_[node] && block_[node]->blocks(at, heading, view)) return false;
    for (int t : around_[node])
        if (blocked_[t] && block_[t]->blocks(at, heading, view)) return false;
    return true;
}

void PlanetGraph::shortestPaths(int source, const Costs& costs, std::vector<double>& distance,
                                std::vector<int>& previous) const {
    const double unreached = std::numeric_limits<double>::infinity();
    distance.assign(kNodeCount, unreached);
    previous.assign(kNodeCount, -1);
    if (source < 0 || source >= kNodeCount) return;
    using Entry = std::pair<double, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    distance[source] = 0.0;
    open.push({0.0, source});
    while (!open.empty()) {
        Entry e = open.top();
        open.pop();
        int n = e.second;
        if (e.first > distance[n]) continue;
        for (int m : neighbours_[n]) {
            double step = (centre_[m] - centre_[n]).length() * kPlanetRadius *
                          (1.0 + costs.crowdingWeight * crowding_[m]);
            if (blocked_[m]) {
                if (costs.blockedCost < 0.0) continue;
                step += costs.blockedCost;
            }
            double d = e.first + step;
            if (d < distance[m]) {
                distance[m] = d;
                previous[m] = n;
                open.push({d, m});
            }
        }
    }
}

std::vector<int> PlanetGraph::pathTo(int goal, const std::vector<int>& previous,
                                     const std::vector<double>& distance) {
    std::vector<int> path;
    if (goal < 0 || goal >= static_cast<int>(distance.size()) ||
        distance[goal] == std::numeric_limits<double>::infinity())
        return path;
    for (int n = goal; n >= 0; n = previous[n])
        path.push_back(n);
    std::reverse(path.begin(), path.end());
    return path;
}
