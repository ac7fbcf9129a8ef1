// The four actions by the numbers the host calls them with. Platform-free:
// the action table that registers them (plugin/), the code that runs them
// and the editor's dialogs all key on these.
#pragma once

constexpr int ACTION_CREATE_CANVAS = 1;
constexpr int ACTION_DRAW_CIRCLE = 2;
constexpr int ACTION_CLEAR_CANVAS = 3;
constexpr int ACTION_DRAW_TEXT = 4;
constexpr int ACTION_COUNT = 4;
