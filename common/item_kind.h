// What a wall block may hide; the same numbers travel in the labyrinth records.
#pragma once

#include <cstdint>

enum ItemKind : int32_t {
    kItemNone = 0,
    kItemBomb = 1,
    kItemPower = 2,
    kItemRange = 3,
    kItemRemoteControl = 4,
    kItemCloak = 5,
    kItemSpeed = 6,
    kItemSlow = 7
};
