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

// A release takes every entry out before it closes any window (the host's
// code that runs then finds only canvases made since); a create holds its
// entry apart until the canvas is complete.
TEST(CanvasRegistry, EntriesTakenOrHeldApartAreNotFound) {
    CanvasRegistry r;
    CanvasEntry* a = add(r, u"a");
    add(r, u"b");
    CanvasList taken = r.takeAll();
    EXPECT_TRUE(r.empty());
    EXPECT_EQ(r.findCanvas(u"a"), nullptr);
    CanvasEntry* c = add(r, u"c");
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(&taken.front(), a) << "taken in place, in order";
    EXPECT_TRUE(taken.back().name == u"b");
    CanvasList made;
    CanvasEntry* d = addEntry(made);
    ASSERT_NE(d, nullptr);
    d->name = u"d";
    EXPECT_EQ(r.findCanvas(u"d"), nullptr) << "held apart";
    r.admit(made);
    EXPECT_TRUE(made.empty());
    EXPECT_EQ(r.findCanvas(u"d"), d);
    EXPECT_EQ(r.findCanvas(u"c"), c);
    EXPECT_EQ(r.size(), 2u);
}

} // namespace
