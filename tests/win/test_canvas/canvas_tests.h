// What the canvas tests share: the plug-in loaded into a host, with
// rectangle objects as real windows.
#pragma once

#include <cstring>
#include <functional>
#include <map>
#include <utility>

#include "editor/dialogs.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/linked_plugin.h"
#include "tests/win/support/processes.h"
#include "tests/win/support/ui_driver.h"

namespace canvastests {

class Canvases : public PluggedHost {
  protected:
    HWND object(const std::string& name, int w = 60, int h = 40, int x = 0, int y = 0) {
        return scene.addObject(host, name, x, y, w, h);
    }
    // The same object, made a canvas of `colour`.
    HWND canvasOn(const std::string& name, const char* colour = "", int w = 60, int h = 40,
                  int x = 0, int y = 0) {
        HWND o = object(name, w, h, x, y);
        EXPECT_EQ(exec(CREATE, {name, colour}), 1) << "a canvas on " << name;
        return o;
    }

    LinkedPlugin linked; // the same code in this program: the reasons of its 0s
};

} // namespace canvastests
