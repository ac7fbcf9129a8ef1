// Where a dialog centred on its owner goes. Platform-free: rectangles are
// screen coordinates, which are negative on a monitor left of or above the
// primary one.
#pragma once

#include <cstdint>

namespace ui {

struct ScreenRect {
    int32_t left, top, right, bottom;
};

struct ScreenPoint {
    int32_t x, y;
};

// The top-left corner that centres `window` on `owner`, both taken with
// their frames: owner's left + (owner's width - window's width) / 2, the
// division truncating toward zero, and the same for the top. Neither may
// lie left of or above `floor`, the top-left corner of the owner's
// monitor: a dialog larger than its owner, or an owner near the monitor's
// edge, stops there instead of moving onto another monitor. On the primary
// monitor `floor` is (0, 0).
ScreenPoint centredOnOwner(const ScreenRect& owner, const ScreenRect& window, ScreenPoint floor);

} // namespace ui
