// The one way an exception stops at a boundary with code that cannot take
// it: the exports the host calls, and every entry the system calls (window
// and subclass procedures, timer and hook callbacks, DllMain). The 32-bit
// build unwinds with DWARF tables, which cannot pass through the system's
// frames: an exception reaching one ends the host's process. Platform-free.
#pragma once

// Runs `work` and returns what it returns. When it throws (memory ran out
// half-way), the call ends with what `fallback` returns instead: the sound
// answer to that call, such as 0 or the default handling of a message.
// `fallback` must not throw.
template <typename Work, typename Fallback>
auto atBoundary(Work&& work, Fallback&& fallback) noexcept -> decltype(work()) {
    try {
        return work();
    } catch (...) {
    }
    return fallback();
}
