#include "ui/centring.h"

#include <algorithm>

namespace ui {

namespace {

// Computed in 64 bits, so no pair of 32-bit coordinates can overflow; the
// result lies between the owner's edges or at the floor, within 32 bits.
int32_t centred(int32_t ownerStart, int32_t ownerEnd, int32_t windowStart, int32_t windowEnd,
                int32_t floor) {
    const int64_t ownerSize = static_cast<int64_t>(ownerEnd) - ownerStart;
    const int64_t windowSize = static_cast<int64_t>(windowEnd) - windowStart;
    const int64_t start = ownerStart + (ownerSize - windowSize) / 2;
    return static_cast<int32_t>(std::max<int64_t>(start, floor));
}

} // namespace

ScreenPoint centredOnOwner(const ScreenRect& owner, const ScreenRect& window, ScreenPoint floor) {
    return ScreenPoint{centred(owner.left, owner.right, window.left, window.right, floor.x),
                       centred(owner.top, owner.bottom, window.top, window.bottom, floor.y)};
}

} // namespace ui
