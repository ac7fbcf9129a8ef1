#include <gtest/gtest.h>

#include <new>
#include <type_traits>
#include <utility>

#include "base/no_destroy.h"

namespace {

int g_made = 0;
int g_destroyed = 0;
bool g_failNext = false;

struct Counted {
    explicit Counted(int v) : value(v) {
        if (std::exchange(g_failNext, false)) {
            throw std::bad_alloc();
        }
        ++g_made;
    }
    Counted() : Counted(7) {}
    ~Counted() { ++g_destroyed; }
    int value;
};

// What the C runtime would run at exit: nothing.
static_assert(std::is_trivially_destructible_v<NoDestroy<Counted>>);

NoDestroy<Counted> g_plain;
NoDestroy<Counted> g_withArgument{[] { return Counted(3); }};

} // namespace

TEST(NoDestroy, MadeOnFirstUseAndDestroyedOnlyWhenAsked) {
    EXPECT_EQ(g_made, 0) << "nothing is made before its first use";
    g_failNext = true;
    EXPECT_THROW(*g_plain, std::bad_alloc);
    EXPECT_EQ(g_made, 0) << "a failed construction leaves it unmade";

    EXPECT_EQ(g_plain->value, 7);
    EXPECT_EQ(g_withArgument->value, 3);
    g_plain->value = 8;
    EXPECT_EQ((*g_plain).value, 8) << "the same object on every use";
    EXPECT_EQ(g_made, 2);

    g_plain.destroy();
    g_plain.destroy();
    EXPECT_EQ(g_destroyed, 1) << "destroyed once";
    EXPECT_EQ(g_plain->value, 7) << "a fresh object after destroy()";
    EXPECT_EQ(g_made, 3);
    g_plain.destroy();
    g_withArgument.destroy();
    EXPECT_EQ(g_destroyed, 3);
}
