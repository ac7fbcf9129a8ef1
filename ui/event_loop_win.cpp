// The events: one queue per thread that uses the toolkit, and the wait for
// the next event, which runs the thread's messages meanwhile.
#include "ui/toolkit_internal_win.h"

#include <new>

#include "base/no_destroy.h"

namespace {

//--- The queues of every thread

// One thread's queue, linked into a process-wide list so that shut-down can
// free the queues of every thread that ever used the toolkit.
struct QueueNode {
    EventQueue queue;
    QueueNode* next = nullptr;
};

DWORD g_queueSlot = TLS_OUT_OF_INDEXES;
QueueNode* volatile g_queues = nullptr;
// Used only when a thread's queue cannot be allocated.
NoDestroy<EventQueue> g_fallbackQueue;

} // namespace

EventQueue& ui::eventQueue() {
    // Made with the first queue, not when memory has already run short.
    EventQueue& fallback = *g_fallbackQueue;
    if (g_queueSlot == TLS_OUT_OF_INDEXES) {
        g_queueSlot = TlsAlloc();
        if (g_queueSlot == TLS_OUT_OF_INDEXES) {
            return fallback;
        }
    }
    auto* node = static_cast<QueueNode*>(TlsGetValue(g_queueSlot));
    if (!node) {
        node = new (std::nothrow) QueueNode();
        if (!node) {
            return fallback;
        }
        // Linked in without a lock: a compare-and-swap push.
        QueueNode* head = nullptr;
        do {
            head = g_queues;
            node->next = head;
        } while (InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&g_queues),
                                                   node, head) != head);
        TlsSetValue(g_queueSlot, node);
    }
    return node->queue;
}

bool ui::postEvent(const UiEvent& event, bool force) {
    return eventQueue().post(event, force);
}

void ui::freeEventQueues() {
    QueueNode* node = static_cast<QueueNode*>(
        InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&g_queues), nullptr));
    while (node) {
        QueueNode* next = node->next;
        delete node;
        node = next;
    }
    if (g_queueSlot != TLS_OUT_OF_INDEXES) {
        TlsFree(g_queueSlot); // clears the slot in every thread
        g_queueSlot = TLS_OUT_OF_INDEXES;
    }
    g_fallbackQueue.destroy();
}

//--- Waiting

int UiWaitEvent() {
    UiEvent event;
    for (;;) {
        if (ui::eventQueue().take(&event)) {
            return event.code;
        }
        MSG msg{};
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // The quit belongs to the host's own loop: give it back, and end
            // the modal loop as if its window had been closed.
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam));
            }
            ui::postEvent(UiEvent{UI_EVENT_CLOSE, 0, ui::containerNumber(), 0}, true);
            continue;
        }
        HWND active = GetActiveWindow();
        ui::WindowRecord* rec = ui::windowRecordOf(active, nullptr);
        if (rec && rec->accelerators &&
            TranslateAcceleratorW(active, rec->accelerators.get(), &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int UiEventControl() {
    return ui::eventQueue().lastControl();
}

int UiEventWindow() {
    return ui::eventQueue().lastWindow();
}
