#include "ui/event_queue.h"

#include <algorithm>
#include <new>

bool EventQueue::post(const UiEvent& event, bool force) {
    if (suppression_ > 0 && !force) {
        return false;
    }
    if (!events_.empty() && events_.back() == event) {
        return false;
    }
    if (events_.size() >= capacity_) {
        events_.pop_front();
    }
    try {
        events_.push_back(event);
    } catch (const std::bad_alloc&) {
        return false; // posting happens inside window procedures: never throw
    }
    return true;
}

bool EventQueue::take(UiEvent* out) {
    if (events_.empty()) {
        return false;
    }
    *out = events_.front();
    events_.pop_front();
    lastControl_ = out->control;
    lastWindow_ = out->window;
    return true;
}

template <typename Pred> void EventQueue::dropIf(Pred pred) {
    events_.erase(std::remove_if(events_.begin(), events_.end(), pred), events_.end());
}

void EventQueue::dropWindow(int window) {
    dropIf([window](const UiEvent& e) { return e.window == window; });
}

void EventQueue::dropControl(int control) {
    dropIf(
        [control](const UiEvent& e) { return e.code == UI_EVENT_CONTROL && e.control == control; });
}
