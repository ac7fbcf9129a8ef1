#include <gtest/gtest.h>

#include "base/object_table.h"

namespace {

struct Thing {
    uintptr_t handle = 0;
    int payload = 0;
};

ObjectTable<Thing>* g_table = nullptr;
std::vector<int> g_released;

void releaseThing(int number) {
    g_released.push_back(number);
    g_table->remove(number);
}

class Table : public ::testing::Test {
  protected:
    void SetUp() override {
        g_table = &table;
        g_released.clear();
    }
    ObjectTable<Thing> table{16, &releaseThing};

    Thing* make(int number, int* assigned, uintptr_t handle = 1) {
        Thing* t = table.allocate(number, assigned);
        if (t) {
            t->handle = handle;
        }
        return t;
    }
};

TEST_F(Table, FixedNumbersGrowInSteps) {
    int n = 0;
    ASSERT_TRUE(make(3, &n));
    EXPECT_EQ(n, 3);
    EXPECT_EQ(table.capacity(), 19u);
    ASSERT_TRUE(make(40, &n));
    EXPECT_EQ(table.capacity(), 56u);
    EXPECT_TRUE(table.find(3));
    EXPECT_FALSE(table.find(4));
}

TEST_F(Table, ReusingAFixedNumberReleasesTheOldObjectFirst) {
    int n = 0;
    make(0, &n, 11)->payload = 5;
    Thing* again = make(0, &n, 12);
    EXPECT_EQ(g_released, std::vector<int>{0});
    EXPECT_EQ(again->payload, 0) << "a zeroed record";
    EXPECT_EQ(table.find(0)->handle, 12u);
}

TEST_F(Table, FreshNumbersAreLargeDistinctAndNeverAddresses) {
    int a = 0, b = 0;
    Thing* ta = make(FRESH_NUMBER, &a);
    make(FRESH_NUMBER, &b);
    EXPECT_GE(a, FIRST_ALLOCATED_NUMBER);
    EXPECT_NE(a, b);
    EXPECT_NE(static_cast<uintptr_t>(a), reinterpret_cast<uintptr_t>(ta));
    table.remove(a);
    EXPECT_FALSE(table.find(a)) << "a stale number finds nothing";
    int c = 0;
    make(FRESH_NUMBER, &c);
    EXPECT_NE(c, a) << "numbers are not recycled at once";
}

TEST_F(Table, GarbageNumbersFindNothing) {
    const int garbage[] = {
        -2, -1, MAX_FIXED_NUMBER, 0x0FFFFFFF, FIRST_ALLOCATED_NUMBER + 99, INT32_MAX, INT32_MIN};
    for (int g : garbage) {
        EXPECT_FALSE(table.find(g)) << g;
        table.remove(g); // harmless
    }
    int n = 0;
    EXPECT_FALSE(table.allocate(MAX_FIXED_NUMBER, &n));
    EXPECT_FALSE(table.allocate(-5, &n));
}

TEST_F(Table, ARecordWithoutHandleDoesNotExist) {
    int n = 0;
    table.allocate(2, &n);
    EXPECT_FALSE(table.find(2));
    EXPECT_TRUE(table.numbers().empty());
    EXPECT_FALSE(table.findIf([](const Thing&) { return true; }));
}

TEST_F(Table, FindIfSearchesBothRanges) {
    int fixed = 0, fresh = 0;
    make(3, &fixed, 30)->payload = 1;
    make(FRESH_NUMBER, &fresh, 40)->payload = 2;
    for (int payload : {1, 2}) {
        const Thing* t = table.findIf([&](const Thing& r) { return r.payload == payload; });
        ASSERT_TRUE(t);
        EXPECT_EQ(t, table.find(payload == 1 ? fixed : fresh));
    }
    EXPECT_FALSE(table.findIf([](const Thing& r) { return r.payload == 3; }));
}

TEST_F(Table, ReleaseAllReachesBothRanges) {
    int a = 0, b = 0, c = 0;
    make(1, &a);
    make(FRESH_NUMBER, &b);
    make(7, &c);
    table.releaseAll();
    EXPECT_EQ(g_released, (std::vector<int>{1, 7, b}));
    EXPECT_TRUE(table.numbers().empty());
}

} // namespace
