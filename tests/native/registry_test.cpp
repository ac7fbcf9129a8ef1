#include <gtest/gtest.h>

#include "canvas/registry.h"

namespace {

CanvasEntry* add(CanvasRegistry& r, const Text& name) {
    CanvasEntry* e = r.addCanvas();
    e->name = name;
    return e;
}

TEST(CanvasRegistry, LookupIsExactWholeStringAndCaseSensitive) {
    CanvasRegistry r;
    EXPECT_EQ(r.findCanvas(u"rect1"), nullptr) << "empty registry";
    CanvasEntry* e = add(r, u"rect1");
    const Text misses[] = {u"Rect1",  u"rect1 ", u" rect1",          u"rect",
                           u"rect10", u"",       Text(u"rect1\0", 6)};
    for (const Text& m : misses) {
        EXPECT_EQ(r.findCanvas(m), nullptr);
    }
    EXPECT_EQ(r.findCanvas(u"rect1"), e);
}

TEST(CanvasRegistry, NewEntriesAreBlank) {
    CanvasRegistry r;
    CanvasEntry* e = r.addCanvas();
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->name.empty());
    EXPECT_EQ(e->window, 0);
    EXPECT_EQ(e->image, 0);
    EXPECT_EQ(e->pictureControl, 0);
}

TEST(CanvasRegistry, RemovingOneKeepsTheOthersInPlace) {
    CanvasRegistry r;
    CanvasEntry* a = add(r, u"a");
    CanvasEntry* b = add(r, u"b");
    CanvasEntry* c = add(r, u"c");
    r.removeCanvas(b);
    EXPECT_EQ(r.size(), 2u);
    EXPECT_EQ(r.findCanvas(u"a"), a);
    EXPECT_EQ(r.findCanvas(u"c"), c);
    EXPECT_EQ(r.findCanvas(u"b"), nullptr);
    add(r, u"b");
    EXPECT_NE(r.findCanvas(u"b"), nullptr) << "a removed name can be used again";
}

} // namespace
