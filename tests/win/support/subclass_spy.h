// A host that subclasses every control of one class, as skinning tools do
// from a CBT hook: each such window gets a recording procedure of its own (a
// distinct function, as a host's thunks are), beneath whatever the plug-in
// puts in front of it afterwards. Once its window has gone the procedure
// counts as freed (a host frees its thunk then): a call then, or one for
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
