// The planet's triangles as a graph for finding ways across the labyrinth: neighbours across shared
// edges, the two pole openings as nodes of their own, which triangles an intact block covers, the
// node under a point, and shortest paths.
#pragma once

#include <cstdint>
#include <vector>

#include "list.h"
#include "planet_mesh.h"
#include "vector3.h"

class WallBlock;

class PlanetGraph {
  public:
    // Nodes 0..953 are the mesh triangles; the last two are the openings around (0, 0, 100) and
    // (0, 0, -100), where no block can stand.
    static constexpr int kNorthPole = kPlanetTriangleCount;
    static constexpr int kSouthPole = kPlanetTriangleCount + 1;
    static constexpr int kNodeCount = kPlanetTriangleCount + 2;

    // Builds the topology from the planet mesh; no blocks are bound.
    PlanetGraph();

    // The node's centre as a unit vector (a triangle's centroid, or the pole).
    const Vector3& centre(int node) const { return centre_[node]; }
    // Nodes sharing an edge with node (for a pole: the triangles on its rim).
    const std::vector<int>& neighbours(int node) const { return neighbours_[node]; }
    // The unit midpoint of the edge that node a and its neighbour b share.
    Vector3 portal(int a, int b) const;
    // Triangles sharing at least a corner with node, the node itself excluded.
    const std::vector<int>& around(int node) const { return around_[node]; }

    // The node whose triangle holds the direction p (any length); a point in a pole opening gives
    // the pole. hint, a node near p, makes the search short.
    int nodeAt(Vector3 p, int hint = -1) const;

    // Binds the blocks of a labyrinth to the triangles they stand on (matched by their ground
    // corners); the blocks must outlive the binding or the next bind.
    void bind(List<WallBlock>& blocks);
    // Re-reads the bound blocks' states; true when a block was destroyed since the last look.
    bool refresh();
    // Counts every change seen by refresh; starts at 1 after bind.
    uint32_t version() const { return version_; }

    // The block standing on node (intact or destroyed), nullptr for none.
    WallBlock* block(int node) const { return block_[node]; }
    // True when an intact block stands on node.
    bool blocked(int node) const { return blocked_[node] != 0; }
    // Intact blocks on the triangles around node.
    int crowding(int node) const { return crowding_[node]; }

    // The same answer as the world's free test for a car at the unit position with heading, seen
    // from straight above it; only the blocks near the car are asked. node is the node under
    // position (nodeAt), or -1.
    bool carFits(Vector3 position, Vector3 heading, int node = -1) const;

    // Shortest ways from source over the graph: cost of entering a node is the distance between
    // centres (world units) times (1 + crowdingWeight x crowding), plus blockedCost for a node with
    // an intact block, which is never entered while blockedCost is below 0.
    struct Costs {
        double blockedCost = -1.0;
        double crowdingWeight = 0.0;
    };
    void shortestPaths(int source, const Costs& costs, std::vector<double>& distance,
                       std::vector<int>& previous) const;
    // The nodes from the source of the last shortestPaths to goal, source first; empty when the
    // goal was not reached.
    static std::vector<int> pathTo(int goal, const std::vector<int>& previous,
                                   const std::vector<double>& distance);

  private:
    bool inside(int node, const Vector3& p) const;
    void updateCrowding();

    Vector3 centre_[kNodeCount];
    std::vector<int> neighbours_[kNodeCount];
    std::vector<Vector3> portals_[kNodeCount];
    std::vector<int> around_[kNodeCount];
    std::vector<WallBlock*> boundBlocks_;
    WallBlock* block_[kNodeCount] = {};
    uint8_t blocked_[kNodeCount] = {};
    int crowding_[kNodeCount] = {};
    uint32_t version_ = 0;
};
