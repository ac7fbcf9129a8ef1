#include "canvas/actions_win.h"

#include <windows.h>

#include "base/handle_win.h"
#include "base/no_destroy.h"
#include "base/unique_handle.h"
#include "canvas/action_table.h"
#include "canvas/convert.h"
#include "canvas/failure.h"
#include "draw/drawpass_win.h"
#include "draw/font_win.h"
#include "draw/image_win.h"
#include "draw/picture_win.h"
#include "ui/toolkit_win.h"

namespace canvas {

namespace {

constexpr uint32_t WHITE = 0xFFFFFF;
// kiv_DrawText loads its font under this number for the length of one call.
constexpr int TEXT_FONT_NUMBER = 100;

// Emptied by releaseAllCanvases, after which it holds no memory; never
// destroyed at process exit.
NoDestroy<CanvasRegistry> g_registry;

int32_t slotNumber(const Params& params, size_t slot) {
    return low32(parseNumber(slotText(params, slot)));
}

// The picture control takes a fresh copy of the image and repaints. A control
// that went with a window the host destroyed is simply not found.
void refresh(const CanvasEntry& entry) {
    UiSetState(entry.pictureControl, static_cast<int64_t>(ImgHandle(entry.image)));
}

// A drawing context made current by ImgOutput (its output number), ended
// with DrawStop when its scope closes, on every way out, also when memory
// runs out half-way. ImgOutput gives 0 with no context current: nothing to
// end then.
struct StopPass {
    void operator()(intptr_t) const { DrawStop(); }
};
using CurrentPass = UniqueHandle<intptr_t, StopPass>;

// A font loaded under a fixed number, freed when its scope closes.
struct FreeFont {
    void operator()(int number) const { FontFree(number); }
};
using LoadedFont = UniqueHandle<int, FreeFont>;

// The entry of a drawing action: registered, with its image still there.
CanvasEntry* drawable(const Text& name) {
    CanvasEntry* entry = registry().findCanvas(name);
    return entry && ImgExists(entry->image) ? entry : nullptr;
}

// Undoes a creation that failed part-way: what exists is released in the
// reverse order of its making, and the entry goes.
void abandon(CanvasEntry* entry) {
    if (entry->image && ImgExists(entry->image)) {
        ImgFree(entry->image);
    }
    if (entry->window && UiIsWindow(entry->window)) {
        UiCloseWindow(entry->window);
    }
    registry().removeCanvas(entry);
}

// Fills a new registry entry with the canvas window, laid into the object's
// window, the image and the picture control, and paints the background.
// 1 when the canvas is complete; 0 after releasing whatever was made.
int buildCanvas(CanvasEntry* entry, const Text& name, HWND objectWindow, int width, int height,
                uint32_t background) {
    // Releases what was made and gives the reason.
    auto undo = [entry, &name](ActionFailure why) {
        abandon(entry);
        return refuse(why, name);
    };
    entry->name = name;

    // Opened hidden and shown only once it sits inside the object's window,
    // so it never flashes at the screen's top-left corner.
    entry->window = static_cast<int>(UiOpenWindow(UI_ANY, 0, 0, width, height, Text(),
                                                  UI_FLAGS_CANVAS | UI_OPEN_HIDDEN, nullptr));
    if (!entry->window) {
        return undo(ActionFailure::NoWindow);
    }
    // A child window, so that it never takes activation or the focus from
    // the host; laid into a window that is gone, or of another DPI
    // awareness, it would stay a stray top-level window: no canvas then.
    if (!UiSetParent(entry->window, objectWindow)) {
        return undo(ActionFailure::ParentRefused);
    }

    entry->image = static_cast<int>(ImgCreate(UI_ANY, width, height, 32, 0));
    if (!entry->image) {
        return undo(ActionFailure::NoImage);
    }
    entry->pictureControl = static_cast<int>(UiAddPicture(
        UI_ANY, 0, 0, width, height, reinterpret_cast<HBITMAP>(ImgHandle(entry->image))));
    if (!entry->pictureControl) {
        return undo(ActionFailure::NoPicture);
    }

    // Without a drawing pass (out of memory or GDI resources) the canvas
    // could only show black: it is not made at all.
    if (!DrawStart(ImgOutput(entry->image))) {
        return undo(ActionFailure::NoPass);
    }
    DrawBox(0, 0, width, height, background);
    DrawStop();

    ShowWindow(UiWindowHandle(entry->window), SW_SHOWNA);
    refresh(*entry);
    return 1;
}

// One drawing pass on the canvas's image, then the refresh. Without a pass
// (out of memory or GDI resources) nothing is drawn and nothing changes on
// screen: 0.
template <typename Draw> int drawPass(const CanvasEntry& entry, Draw draw) {
    {
        const CurrentPass pass(ImgOutput(entry.image));
        if (!pass || !DrawStart(pass.get())) {
            return refuse(ActionFailure::NoPass, entry.name);
        }
        draw();
    }
    refresh(entry);
    return 1;
}

} // namespace

int createCanvas(const Params& params, const Text& name, HostLink& host) {
    if (registry().findCanvas(name)) {
        return 1; // already a canvas: its first background stays
    }
    const Text& colourText = slotText(params, 1);
    const uint32_t background = colourText.empty() ? WHITE : parseColor(colourText);

    const uint32_t reported = host.objectWindow(name);
    if (!reported) {
        return refuse(ActionFailure::ObjectUnknown, name);
    }
    HWND objectWindow = handleFromLow32<HWND>(reported);
    RECT client = {};
    if (!GetClientRect(objectWindow, &client)) {
        return refuse(ActionFailure::ObjectNotWindow, name);
    }
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) {
        return refuse(ActionFailure::ObjectEmpty, name);
    }

    CanvasEntry* entry = registry().addCanvas();
    if (!entry) {
        return refuse(ActionFailure::NoEntry, name);
    }
    // Whatever fails from here on, running out of memory included, takes
    // the entry out again: no half-built canvas stays registered.
    try {
        return buildCanvas(entry, name, objectWindow, width, height, background);
    } catch (...) {
        abandon(entry);
        return refuse(ActionFailure::OutOfMemory);
    }
}

int drawCircle(const Params& params, const Text& name, HostLink&) {
    CanvasEntry* entry = drawable(name);
    if (!entry) {
        return refuse(ActionFailure::NotACanvas, name);
    }
    const int32_t x = slotNumber(params, 1);
    const int32_t y = slotNumber(params, 2);
    const int32_t radius = slotNumber(params, 3);
    const uint32_t colour = parseColor(slotText(params, 4));
    return drawPass(*entry, [&] {
        DrawSetMode(DRAW_MODE_OUTLINED);
        DrawCircle(x, y, radius, colour);
    });
}

int clearCanvas(const Params&, const Text& name, HostLink&) {
    CanvasEntry* entry = drawable(name);
    if (!entry) {
        return refuse(ActionFailure::NotACanvas, name);
    }
    return drawPass(*entry,
                    [&] { DrawBox(0, 0, ImgWidth(entry->image), ImgHeight(entry->image), WHITE); });
}

int drawText(const Params& params, const Text& name, HostLink&) {
    CanvasEntry* entry = drawable(name);
    if (!entry) {
        return refuse(ActionFailure::NotACanvas, name);
    }
    const Text& text = slotText(params, 1);
    const int32_t x = slotNumber(params, 2);
    const int32_t y = slotNumber(params, 3);
    const Text& frontText = slotText(params, 4);
    const Text& backText = slotText(params, 5);
    const FontSpec font = parseFontSpec(slotText(params, 6));

    if (!FontLoad(TEXT_FONT_NUMBER, font.face, font.size, font.styles)) {
        return refuse(ActionFailure::NoFont, slotText(params, 6));
    }
    {
        // Scopes close in reverse: the pass ends, then the font it used goes.
        const LoadedFont loadedFont(TEXT_FONT_NUMBER);
        const CurrentPass pass(ImgOutput(entry->image));
        if (!pass || !DrawStart(pass.get())) {
            return refuse(ActionFailure::NoPass, name);
        }
        DrawSetFont(FontHandle(TEXT_FONT_NUMBER));
        if (backText.empty()) {
            DrawSetMode(DRAW_MODE_TRANSPARENT);
            DrawString(x, y, text, parseColor(frontText));
        } else {
            DrawSetMode(DRAW_MODE_DEFAULT);
            DrawString(x, y, text, parseColor(frontText), parseColor(backText));
        }
    }
    refresh(*entry);
    return 1;
}

CanvasRegistry& registry() {
    return *g_registry;
}

int execAction(int id, const Params& params, HostLink& host) {
    // An empty name ends any call before its id is looked at; the line
    // names the action when there is one.
    const ActionDescriptor* action = findAction(id);
    beginCall(action ? action->name : u"_nbExecAction");
    const Text& name = slotText(params, 0);
    if (name.empty()) {
        return refuse(ActionFailure::NoName);
    }
    if (!action) {
        return refuse(ActionFailure::UnknownAction, formatNumber(id));
    }
    // An exception here can only mean that memory ran out; the action's
    // scopes have put back what it held.
    try {
        return action->run(params, name, host);
    } catch (...) {
        return refuse(ActionFailure::OutOfMemory);
    }
}

void releaseAllCanvases() {
    CanvasRegistry& r = registry();
    for (CanvasEntry& entry : r.entries()) {
        if (UiIsWindow(entry.window)) {
            UiCloseWindow(entry.window); // the picture control goes with it
        }
        if (ImgExists(entry.image)) {
            ImgFree(entry.image);
        }
    }
    r.entries().clear();
}

} // namespace canvas
