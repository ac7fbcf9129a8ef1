// A host that subclasses every control of one class from a CBT hook, as skinning
// tools do: each window gets a recording procedure of its own (a distinct function,
// like a host's thunk), beneath whatever the plug-in puts in front of it later.
// Once its window is gone the thunk counts as freed: a call then, or one for
// another window, is a stray and goes no further.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>
#include <vector>

struct Spied {
    HWND hwnd = nullptr;
    WNDPROC original = nullptr;
    WNDPROC own = nullptr; // the host's procedure put on it
    bool gone = false;
    std::vector<std::pair<UINT, WPARAM>> calls; // for its own window
    size_t strays = 0;
    size_t seen(UINT msg, WPARAM wp) const;
};

// Subclasses the windows of `className` that `make` creates on this thread;
// returns them in the order they were made.
std::vector<const Spied*> subclassWhile(const wchar_t* className,
                                        const std::function<void()>& make);
