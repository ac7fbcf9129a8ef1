#include <gtest/gtest.h>

#include "ui/centring.h"

namespace {

using ui::ScreenPoint;
using ui::ScreenRect;

// Each row: an owner and a window (frames, screen coordinates), the
// top-left corner of the owner's monitor, and where the window goes.
TEST(Centring, CentredOnTheOwnerAndKeptOnItsMonitor) {
    struct Row {
        const char* what;
        ScreenRect owner;
        ScreenRect window;
        ScreenPoint floor;
        ScreenPoint expected;
    };
    const Row rows[] = {
        // The primary monitor, whose corner is (0, 0): as it always was.
        {"owner larger", {100, 80, 800, 580}, {0, 0, 300, 200}, {0, 0}, {300, 230}},
        {"same size", {10, 20, 310, 220}, {0, 0, 300, 200}, {0, 0}, {10, 20}},
        {"odd difference truncates", {0, 0, 101, 51}, {0, 0, 100, 50}, {0, 0}, {0, 0}},
        {"negative odd, toward 0", {50, 50, 150, 150}, {0, 0, 103, 105}, {0, 0}, {49, 48}},
        {"owner smaller: clamped", {0, 0, 100, 80}, {0, 0, 400, 300}, {0, 0}, {0, 0}},
        {"each axis on its own", {10, 300, 110, 400}, {0, 0, 400, 50}, {0, 0}, {0, 325}},
        {"own position ignored", {100, 100, 500, 400}, {-900, 700, -700, 800}, {0, 0}, {200, 200}},
        // A monitor left of the primary one.
        {"left", {-1500, 100, -900, 500}, {0, 0, 200, 100}, {-1920, 0}, {-1300, 250}},
        {"left, clamped", {-1910, 10, -1810, 60}, {0, 0, 400, 300}, {-1920, 0}, {-1920, 0}},
        // A monitor above the primary one.
        {"above", {100, -900, 700, -300}, {0, 0, 300, 200}, {0, -1080}, {250, -700}},
        {"above, clamped", {0, -1075, 100, -1000}, {0, 0, 300, 200}, {0, -1080}, {0, -1080}},
        {"above and left",
         {-1270, -1020, -1200, -1000},
         {0, 0, 300, 200},
         {-1280, -1024},
         {-1280, -1024}},
        // A monitor right of the primary one: the clamp is its left edge.
        {"right", {2000, 100, 2600, 500}, {0, 0, 200, 100}, {1920, 0}, {2200, 250}},
        {"right, clamped", {1925, 5, 2025, 55}, {0, 0, 400, 300}, {1920, 0}, {1920, 0}},
        // Extreme coordinates do not overflow.
        {"extremes",
         {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
         {0, 0, 2, 2},
         {INT32_MIN, INT32_MIN},
         {-2, -2}},
    };
    for (const Row& row : rows) {
        const ScreenPoint at = ui::centredOnOwner(row.owner, row.window, row.floor);
        EXPECT_EQ(at.x, row.expected.x) << row.what;
        EXPECT_EQ(at.y, row.expected.y) << row.what;
    }
}

} // namespace
