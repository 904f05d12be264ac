// A lookup of wall blocks by position: a uniform grid over the shell around the planet where
// flames, cars and items live, listing in each cell the blocks whose containment region
// (WallBlock::contains) may reach into it.
#pragma once

#include <cstdint>
#include <vector>

#include "list.h"
#include "vector3.h"
#include "wall_block.h"

class BlockGrid {
  public:
    // Indexes blocks in list order; the grid keeps pointers to them, so it must be rebuilt once
    // the list changes.
    void build(List<WallBlock>& blocks);
    // The first block in list order that is intact (state 0) and contains p, or nullptr; the same
    // answer as testing every block in list order, for any p.
    WallBlock* firstIntactContaining(const Vector3& p) const;

  private:
    int32_t cellOf(const Vector3& p) const;

    std::vector<WallBlock*> blocks_;  // in list order
    std::vector<int32_t> everywhere_; // blocks whose region could not be bounded
    std::vector<int32_t> cellStart_;  // cell c lists cellBlocks_[cellStart_[c] .. [c + 1])
    std::vector<int32_t> cellBlocks_; // block indexes, ascending within a cell
};
