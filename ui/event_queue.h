// The toolkit's event queue: what window procedures post and UiWaitEvent
// hands out. Platform-free; the Win32 glue keeps one queue per thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

// A window received WM_COMMAND from one of its controls (or an edit field
// gained or lost the focus, or a picture control saw a mouse gesture).
constexpr int32_t UI_EVENT_CONTROL = 0x332C;
// A window received WM_CLOSE (close box, Alt+F4, Close on the system menu).
constexpr int32_t UI_EVENT_CLOSE = 0x333C;

// Subtypes of UI_EVENT_CONTROL that do not come from WM_COMMAND.
constexpr int32_t UI_SUBTYPE_FOCUS_GAINED = 14000;
constexpr int32_t UI_SUBTYPE_FOCUS_LOST = 14001;
constexpr int32_t UI_SUBTYPE_DRAG_START = 14002;

struct UiEvent {
    int32_t code = 0;
    int control = 0;     // the sending control's number; 0 for window events
    int window = 0;      // the number of the window the event belongs to
    int32_t subtype = 0; // notification code or gesture

    bool operator==(const UiEvent& o) const {
        return code == o.code && control == o.control && window == o.window && subtype == o.subtype;
    }
};

// First in, first out, with three rules that keep it small and quiet:
// - an event equal in all four fields to the last one still waiting is
//   dropped, so a burst of identical notifications waits there once;
// - while suppressed (see Suppress), posting drops events unless forced;
// - it holds at most `capacity` events and drops the oldest when full, so a
//   window that keeps posting while nobody waits (a canvas left on screen for
//   hours) cannot make it grow without bound.
class EventQueue {
  public:
    static constexpr size_t DEFAULT_CAPACITY = 1024;

    explicit EventQueue(size_t capacity = DEFAULT_CAPACITY) : capacity_(capacity ? capacity : 1) {}

    // Appends the event; false when one of the rules above dropped it.
    // Never throws: an event that cannot be stored is dropped.
    bool post(const UiEvent& event, bool force = false);

    // Takes out the oldest event and remembers its control number; false
    // (and *out untouched) when the queue is empty.
    bool take(UiEvent* out);

    // Forgets every waiting event of a window (it is being destroyed).
    void dropWindow(int window);
    // Forgets every waiting UI_EVENT_CONTROL of a control (it is being
    // destroyed, or its number is reused).
    void dropControl(int control);

    // The control and window numbers of the event `take` returned last.
    int lastControl() const { return lastControl_; }
    int lastWindow() const { return lastWindow_; }

    size_t size() const { return events_.size(); }
    bool empty() const { return events_.empty(); }
    size_t capacity() const { return capacity_; }
    int suppression() const { return suppression_; }

    // Raises the suppression counter for its scope: a change the program
    // makes itself (UiSetState) queues no event. Nests.
    class Suppress {
      public:
        explicit Suppress(EventQueue& queue) : queue_(queue) { ++queue_.suppression_; }
        ~Suppress() { --queue_.suppression_; }
        Suppress(const Suppress&) = delete;
        Suppress& operator=(const Suppress&) = delete;

      private:
        EventQueue& queue_;
    };

  private:
    template <typename Pred> void dropIf(Pred pred);

    size_t capacity_;
    std::deque<UiEvent> events_;
    int suppression_ = 0;
    int lastControl_ = 0;
    int lastWindow_ = 0;
};
