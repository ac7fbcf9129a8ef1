#include <gtest/gtest.h>

#include <vector>

#include "ui/event_queue.h"

namespace {

UiEvent control(int number, int window = 0, int subtype = 0) {
    return UiEvent{UI_EVENT_CONTROL, number, window, subtype};
}

std::vector<UiEvent> drain(EventQueue& q) {
    std::vector<UiEvent> out;
    UiEvent e;
    while (q.take(&e)) {
        out.push_back(e);
    }
    return out;
}

TEST(EventQueue, FirstInFirstOutAndLastTaken) {
    EventQueue q;
    UiEvent e;
    EXPECT_FALSE(q.take(&e));
    EXPECT_EQ(q.lastControl(), 0);
    q.post(control(4, 0, 0));
    q.post(control(0x10000004, 0x10000001, 2));
    q.post(UiEvent{UI_EVENT_CLOSE, 0, 7, 0});
    ASSERT_TRUE(q.take(&e));
    EXPECT_EQ(e, control(4, 0, 0));
    EXPECT_EQ(q.lastControl(), 4);
    ASSERT_TRUE(q.take(&e));
    EXPECT_EQ(e.control, 0x10000004) << "numbers keep all 32 bits";
    EXPECT_EQ(q.lastControl(), 0x10000004);
    EXPECT_EQ(q.lastWindow(), 0x10000001);
    ASSERT_TRUE(q.take(&e));
    EXPECT_EQ(e.code, UI_EVENT_CLOSE);
    EXPECT_EQ(q.lastControl(), 0);
    EXPECT_EQ(q.lastWindow(), 7);
    // An empty queue leaves the last numbers alone.
    EXPECT_FALSE(q.take(&e));
    EXPECT_EQ(q.lastWindow(), 7);
}

TEST(EventQueue, DuplicateOfTheLastWaitingEventIsDropped) {
    // Each row: the events posted, then the events that wait afterwards.
    struct Case {
        const char* what;
        std::vector<UiEvent> posted;
        std::vector<UiEvent> waiting;
    };
    const UiEvent a = control(3, 0, 0x300), b = control(3, 0, 0x400);
    const Case cases[] = {
        {"a burst waits once", {a, a, a}, {a}},
        {"only the last waiting event counts", {a, b, a}, {a, b, a}},
        {"subtype differs", {a, control(3, 0, 0x301)}, {a, control(3, 0, 0x301)}},
        {"control differs", {a, control(4, 0, 0x300)}, {a, control(4, 0, 0x300)}},
        {"window differs", {a, control(3, 1, 0x300)}, {a, control(3, 1, 0x300)}},
        {"code differs",
         {UiEvent{UI_EVENT_CLOSE, 3, 0, 0x300}, UiEvent{UI_EVENT_CONTROL, 3, 0, 0x300}},
         {UiEvent{UI_EVENT_CLOSE, 3, 0, 0x300}, UiEvent{UI_EVENT_CONTROL, 3, 0, 0x300}}},
    };
    for (const Case& c : cases) {
        EventQueue q;
        for (const UiEvent& e : c.posted) {
            q.post(e);
        }
        EXPECT_EQ(drain(q), c.waiting) << c.what;
    }
}

TEST(EventQueue, ATakenEventNoLongerCountsAsWaiting) {
    EventQueue q;
    EXPECT_TRUE(q.post(control(1)));
    UiEvent e;
    ASSERT_TRUE(q.take(&e));
    EXPECT_TRUE(q.post(control(1))) << "the queue was empty: nothing to repeat";
    EXPECT_EQ(q.size(), 1u);
}

TEST(EventQueue, SuppressionDropsUnlessForcedAndNests) {
    EventQueue q;
    {
        EventQueue::Suppress outer(q);
        {
            EventQueue::Suppress inner(q);
            EXPECT_EQ(q.suppression(), 2);
            EXPECT_FALSE(q.post(control(1)));
        }
        EXPECT_FALSE(q.post(control(2))) << "still suppressed by the outer scope";
        EXPECT_TRUE(q.post(control(3), true));
    }
    EXPECT_EQ(q.suppression(), 0);
    EXPECT_TRUE(q.post(control(4)));
    EXPECT_EQ(drain(q), (std::vector<UiEvent>{control(3), control(4)}));
}

TEST(EventQueue, DropWindowAndDropControl) {
    EventQueue q;
    const UiEvent close0{UI_EVENT_CLOSE, 0, 0, 0};
    q.post(control(0, 0, 1));
    q.post(control(5, 9, 1));
    q.post(close0);
    q.post(control(0, 9, 2));
    q.post(control(0, 0, 3));
    q.post(UiEvent{UI_EVENT_CLOSE, 0, 9, 0});
    q.dropControl(0);
    // Control 0 loses its control events; a close event that carries
    // control 0 is a window event and stays.
    EXPECT_EQ(q.size(), 3u);
    q.dropWindow(9);
    EXPECT_EQ(drain(q), std::vector<UiEvent>{close0});
}

TEST(EventQueue, FullQueueDropsTheOldest) {
    EventQueue q(4);
    for (int i = 1; i <= 6; ++i) {
        EXPECT_TRUE(q.post(control(i)));
        EXPECT_LE(q.size(), 4u);
    }
    EXPECT_EQ(drain(q), (std::vector<UiEvent>{control(3), control(4), control(5), control(6)}));
}

} // namespace
