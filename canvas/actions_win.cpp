#include "canvas/actions_win.h"

#include "base/handle_win.h"
#include "base/no_destroy.h"
#include "canvas/action_ids.h"
#include "canvas/convert.h"
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

using Params = std::vector<Text>;

// Emptied by releaseAllCanvases, after which it holds no memory; never
// destroyed at process exit.
NoDestroy<CanvasRegistry> g_registry;

const Text& slotText(const Params& params, size_t slot) {
    static NoDestroy<const Text> empty;
    return slot < params.size() ? params[slot] : *empty;
}

int32_t slotNumber(const Params& params, size_t slot) {
    return low32(parseNumber(slotText(params, slot)));
}

// The picture control takes a fresh copy of the image and repaints. A control
// that went with a window the host destroyed is simply not found.
void refresh(const CanvasEntry& entry) {
    UiSetState(entry.pictureControl, static_cast<int64_t>(ImgHandle(entry.image)));
}

// Ends the current drawing pass when its scope closes, on every way out,
// also when memory runs out half-way (nothing if no pass is open).
struct PassEnd {
    PassEnd() = default;
    PassEnd(const PassEnd&) = delete;
    PassEnd& operator=(const PassEnd&) = delete;
    ~PassEnd() { DrawStop(); }
};

// Frees a fixed font number when its scope closes, on every way out.
struct FontRelease {
    explicit FontRelease(int fontNumber) : number(fontNumber) {}
    FontRelease(const FontRelease&) = delete;
    FontRelease& operator=(const FontRelease&) = delete;
    ~FontRelease() { FontFree(number); }
    const int number;
};

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
    entry->name = name;

    // Opened hidden and shown only once it sits inside the object's window,
    // so it never flashes at the screen's top-left corner.
    entry->window = static_cast<int>(UiOpenWindow(UI_ANY, 0, 0, width, height, Text(),
                                                  UI_FLAGS_CANVAS | UI_OPEN_HIDDEN, nullptr));
    if (!entry->window) {
        abandon(entry);
        return 0;
    }
    // A child window, so that it never takes activation or the focus from
    // the host; laid into a window that is gone, or of another DPI
    // awareness, it would stay a stray top-level window: no canvas then.
    if (!UiSetParent(entry->window, objectWindow)) {
        abandon(entry);
        return 0;
    }

    entry->image = static_cast<int>(ImgCreate(UI_ANY, width, height, 32, 0));
    if (!entry->image) {
        abandon(entry);
        return 0;
    }
    entry->pictureControl = static_cast<int>(UiAddPicture(
        UI_ANY, 0, 0, width, height, reinterpret_cast<HBITMAP>(ImgHandle(entry->image))));
    if (!entry->pictureControl) {
        abandon(entry);
        return 0;
    }

    // Without a drawing pass (out of memory or GDI resources) the canvas
    // could only show black: it is not made at all.
    if (!DrawStart(ImgOutput(entry->image))) {
        abandon(entry);
        return 0;
    }
    DrawBox(0, 0, width, height, background);
    DrawStop();

    ShowWindow(UiWindowHandle(entry->window), SW_SHOWNA);
    refresh(*entry);
    return 1;
}

int createCanvas(const Params& params, const Text& name, HostLink& host) {
    if (registry().findCanvas(name)) {
        return 1; // already a canvas: its first background stays
    }
    const Text& colourText = slotText(params, 1);
    const uint32_t background = colourText.empty() ? WHITE : parseColor(colourText);

    const uint32_t reported = host.objectWindow(name);
    if (!reported) {
        return 0;
    }
    HWND objectWindow = handleFromLow32<HWND>(reported);
    RECT client = {};
    if (!GetClientRect(objectWindow, &client)) {
        client = RECT{};
    }
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) {
        return 0;
    }

    CanvasEntry* entry = registry().addCanvas();
    if (!entry) {
        return 0;
    }
    // Whatever fails from here on, running out of memory included, takes
    // the entry out again: no half-built canvas stays registered.
    try {
        return buildCanvas(entry, name, objectWindow, width, height, background);
    } catch (...) {
        abandon(entry);
        return 0;
    }
}

// One drawing pass on the canvas's image, then the refresh. Without a pass
// (out of memory or GDI resources) nothing is drawn and nothing changes on
// screen: 0.
template <typename Draw> int drawPass(const CanvasEntry& entry, Draw draw) {
    {
        const PassEnd passEnd;
        if (!DrawStart(ImgOutput(entry.image))) {
            return 0;
        }
        draw();
    }
    refresh(entry);
    return 1;
}

int drawCircle(const Params& params, const Text& name) {
    CanvasEntry* entry = drawable(name);
    if (!entry) {
        return 0;
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

int clearCanvas(const Text& name) {
    CanvasEntry* entry = drawable(name);
    if (!entry) {
        return 0;
    }
    return drawPass(*entry,
                    [&] { DrawBox(0, 0, ImgWidth(entry->image), ImgHeight(entry->image), WHITE); });
}

int drawText(const Params& params, const Text& name) {
    CanvasEntry* entry = drawable(name);
    if (!entry) {
        return 0;
    }
    const Text& text = slotText(params, 1);
    const int32_t x = slotNumber(params, 2);
    const int32_t y = slotNumber(params, 3);
    const Text& frontText = slotText(params, 4);
    const Text& backText = slotText(params, 5);
    const FontSpec font = parseFontSpec(slotText(params, 6));

    if (!FontLoad(TEXT_FONT_NUMBER, font.face, font.size, font.styles)) {
        return 0;
    }
    {
        // Scopes close in reverse: the pass ends, then the font it used goes.
        const FontRelease fontRelease(TEXT_FONT_NUMBER);
        const PassEnd passEnd;
        if (!DrawStart(ImgOutput(entry->image))) {
            return 0;
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

} // namespace

CanvasRegistry& registry() {
    return *g_registry;
}

int execAction(int id, const Params& params, HostLink& host) {
    const Text& name = slotText(params, 0);
    if (name.empty()) {
        return 0;
    }
    switch (id) {
    case ACTION_CREATE_CANVAS:
        return createCanvas(params, name, host);
    case ACTION_DRAW_CIRCLE:
        return drawCircle(params, name);
    case ACTION_CLEAR_CANVAS:
        return clearCanvas(name);
    case ACTION_DRAW_TEXT:
        return drawText(params, name);
    default:
        return 0;
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
