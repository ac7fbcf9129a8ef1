// What the bad-input tests share: the plug-in loaded into a host with one
// scene of objects, and the allocation failures armed on demand.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "base/gdi_win.h"
#include "canvas/action_table.h"
#include "canvas/actions_win.h"
#include "draw/drawpass_win.h"
#include "draw/font_win.h"
#include "host/host_win.h"
#include "plugin/plugin_win.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/global_spy.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/import_patch.h"
#include "tests/win/support/linked_plugin.h"
#include "tests/win/support/processes.h"
#include "tests/win/support/subclass_spy.h"
#include "tests/win/support/ui_driver.h"
#include "ui/toolkit_win.h"

namespace badinput {

// Allocations of the plug-in code linked into this program; when g_failAt
// is not 0, the g_failAt-th allocation from the last reset fails.
extern long g_allocations;
extern long g_failAt;

constexpr size_t MEGABYTE = 1 << 20;

using Reason = canvas::ActionFailure;

inline std::string repeat(char c, size_t n) {
    return std::string(n, c);
}

inline std::string handleText(HWND w) {
    return std::to_string(reinterpret_cast<uintptr_t>(w));
}

// The plug-in loaded and connected to a host with one scene of objects.
class Plugged : public PluggedHost {
  protected:
    HWND object(const std::string& name, int w = 120, int h = 80) {
        HWND o = scene.addObject(host, name, x_, 0, w, h);
        x_ = (x_ + w + 10) % 1400;
        return o;
    }

    // An object of w x h with a white canvas.
    HWND canvasObject(const std::string& name, int w = 120, int h = 80) {
        HWND o = object(name, w, h);
        EXPECT_EQ(exec(CREATE, {name, ""}), 1) << "a canvas on " << name;
        return o;
    }

    // Canvas `name` cleared, then action `id` on it with `rest`: what it shows.
    CanvasPixels redrawn(const char* name, int id, const Slots& rest) {
        const Slots slots = on(name, rest);
        EXPECT_EQ(exec(CLEAR, {name}), 1) << name;
        EXPECT_EQ(exec(id, slots), 1) << scriptLine(id, slots).substr(0, 200);
        return readCanvas(host.objects[name]);
    }

    // The same call as exec on the linked copy, for the reason of its result.
    Reason reasonOf(int id, const Slots& slots) { return linked.reasonOf(id, slotTexts(slots)); }

    // The slots of an action on canvas `name`: the name, then `rest`.
    static Slots on(const char* name, Slots rest) {
        rest.insert(rest.begin(), Slot(name));
        return rest;
    }

    // The host answers every callback with `reply`.
    void answerWith(const std::string& reply) {
        host.answer = [reply](int, host::HostString* slot) {
            host::freeString(*slot);
            *slot = host::allocString(reply);
            return 1;
        };
    }

    LinkedPlugin linked;

  private:
    int x_ = 0;
};

} // namespace badinput
