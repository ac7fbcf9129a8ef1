#include "canvas/actions_win.h"

#include <windows.h>

#include <iterator>

#include "base/handle_win.h"
#include "base/no_destroy.h"
#include "base/unique_handle.h"
#include "canvas/action_args.h"
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
constexpr uint32_t BLACK = 0x000000;
// kiv_DrawText loads its font under this number for the length of one call.
constexpr int TEXT_FONT_NUMBER = 100;

// Emptied by releaseAllCanvases, after which it holds no memory; never
// destroyed at process exit.
NoDestroy<CanvasRegistry> g_registry;

// The picture control takes a fresh copy of the image and repaints. A control
// that went with a window the host destroyed is simply not found.
void refresh(const CanvasEntry& entry) {
    UiSetState(entry.pictureControl, static_cast<int64_t>(ImgHandle(entry.image)));
}

// A drawing context made current by ImgOutput (its output number), ended
// with DrawStop when its scope closes, on every way out, also when memory
// runs out half-way. ImgOutput gives 0 with no context current: nothing to
// end then.
using CurrentPass = UniqueAny<intptr_t, &DrawStop>;

// A font loaded under a fixed number, freed when its scope closes.
using LoadedFont = UniqueAny<int, &FontFree>;

// Selects a font into the current pass for as long as it lives, and the
// system font again when its scope closes: a font still selected into a
// device context cannot be deleted, so it must go before the font's owner.
class SelectedFont {
  public:
    explicit SelectedFont(intptr_t font) { DrawSetFont(font); }
    ~SelectedFont() { DrawSetFont(-1); }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;
};

// The one way to draw on a canvas's image: a pass opened on it, `draw`
// run inside it (1, or 0 with its reason), the pass closed, and the
// picture refreshed after a drawing that was carried out. Without a pass
// (out of memory or GDI resources) nothing is drawn and nothing changes
// on screen: 0.
template <typename Draw> int paint(const CanvasEntry& entry, Draw draw) {
    {
        const CurrentPass pass(ImgOutput(entry.image));
        if (!pass || !DrawStart(pass.get())) {
            return refuse(ActionFailure::NoPass, entry.name);
        }
        if (!draw(entry)) {
            return 0;
        }
    }
    refresh(entry);
    return 1;
}

// paint() on the canvas named `name`, registered and with its image still
// there; 0 without one.
template <typename Draw> int drawOn(const Text& name, Draw draw) {
    const CanvasEntry* entry = registry().findCanvas(name);
    if (!entry || !ImgExists(entry->image)) {
        return refuse(ActionFailure::NotACanvas, name);
    }
    return paint(*entry, draw);
}

// Undoes a creation that failed part-way: what exists is released in the
// reverse order of its making. The entry is held apart from the registry,
// so the host's code, which closing the window lets run, cannot reach it.
void abandon(const CanvasEntry& entry) {
    if (entry.image && ImgExists(entry.image)) {
        ImgFree(entry.image);
    }
    if (entry.window && UiIsWindow(entry.window)) {
        UiCloseWindow(entry.window);
    }
}

// Destroying a child window sends WM_PARENTNOTIFY to its parent, and by
// Windows' documentation on to every ancestor, which run their procedures
// inside the call; a window marked so sends nothing. Only this thread's
// windows: the mark is sent to the window as a message (WM_STYLECHANGING),
// which another thread's, waiting on this one, would never answer; nor can
// this thread destroy them.
void withholdParentNotice(HWND hwnd) {
    if (hwnd && GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
        const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
        SetWindowLongW(hwnd, GWL_EXSTYLE, exStyle | WS_EX_NOPARENTNOTIFY);
    }
}

// Fills a new entry with the canvas window, laid into the object's window
// but still hidden, the image and the picture control, and paints the
// background. 1 when the canvas is complete; 0 after releasing whatever was
// made.
int buildCanvas(CanvasEntry* entry, const Text& name, HWND objectWindow, int width, int height,
                uint32_t background) {
    // Releases what was made and gives the reason.
    auto undo = [entry, &name](ActionFailure why) {
        abandon(*entry);
        return refuse(why, name);
    };
    entry->name = name;

    // Opened hidden and shown only once it sits inside the object's window,
    // so it never flashes at the screen's top-left corner; the size of the
    // object in its pixels at any DPI, as its image is.
    ui::WindowArgs window;
    window.place = ui::Place{0, 0, width, height};
    window.flags = UI_FLAGS_CANVAS | UI_OPEN_HIDDEN | UI_KEEP_PIXELS;
    entry->window = static_cast<int>(ui::openWindow(window));
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
    const int painted = paint(*entry, [&](const CanvasEntry&) {
        DrawBox(0, 0, width, height, background);
        return 1;
    });
    if (!painted) {
        abandon(*entry);
        return 0;
    }
    return 1;
}

//--- The actions, one function each

int createCanvas(const Args<CreateCanvasParam>& args, HostLink& host) {
    using P = CreateCanvasParam;
    const Text& name = args.text<P::Object>();
    if (registry().findCanvas(name)) {
        return 1; // already a canvas: its first background stays
    }
    const uint32_t background = args.colour<P::Background>().value_or(WHITE);

    const uint32_t reported = host.objectWindow(name);
    if (!reported) {
        return refuse(ActionFailure::ObjectUnknown, name);
    }
    HWND objectWindow = handleFromLow32<HWND>(reported);
    // The object's size and the canvas window in the object window's own
    // awareness: the size unscaled, the window one that Windows lets lie in
    // the object's.
    const ui::WindowDpiAwareness objectsAwareness(objectWindow);
    RECT client = {};
    if (!GetClientRect(objectWindow, &client)) {
        return refuse(ActionFailure::ObjectNotWindow, name);
    }
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) {
        return refuse(ActionFailure::ObjectEmpty, name);
    }

    // Made apart from the registry, and registered only once complete:
    // making it lets the host's code run (hooks see every window made, the
    // object's window hears of its new child), and whatever that code calls
    // finds no half-made canvas, nor can it release one under the making.
    CanvasList made;
    CanvasEntry* entry = addEntry(made);
    if (!entry) {
        return refuse(ActionFailure::NoEntry, name);
    }
    // Whatever fails from here on, running out of memory included, releases
    // what was made: no half-built canvas stays behind.
    try {
        if (!buildCanvas(entry, name, objectWindow, width, height, background)) {
            return 0;
        }
    } catch (...) {
        abandon(*entry);
        return refuse(ActionFailure::OutOfMemory);
    }
    // The host's code may have made a canvas of this name meanwhile (in its
    // answer to the query, or while this one was made): the name keeps that
    // one, as it would for any later create.
    if (registry().findCanvas(name)) {
        abandon(*entry);
        return 1;
    }
    // Shown by its handle once registered: showing lets the host's code run
    // too, which may release it then.
    HWND shown = UiWindowHandle(entry->window);
    registry().admit(made);
    ShowWindow(shown, SW_SHOWNA);
    return 1;
}

int drawCircle(const Args<DrawCircleParam>& args, HostLink&) {
    using P = DrawCircleParam;
    return drawOn(args.text<P::Canvas>(), [&](const CanvasEntry&) {
        DrawSetMode(DRAW_MODE_OUTLINED);
        DrawCircle(args.number<P::X>(), args.number<P::Y>(), args.number<P::Radius>(),
                   args.colour<P::Colour>().value_or(BLACK));
        return 1;
    });
}

int clearCanvas(const Args<ClearCanvasParam>& args, HostLink&) {
    return drawOn(args.text<ClearCanvasParam::Canvas>(), [](const CanvasEntry& entry) {
        DrawBox(0, 0, ImgWidth(entry.image), ImgHeight(entry.image), WHITE);
        return 1;
    });
}

int drawText(const Args<DrawTextParam>& args, HostLink&) {
    using P = DrawTextParam;
    return drawOn(args.text<P::Canvas>(), [&](const CanvasEntry&) {
        const FontSpec& font = args.font<P::Font>();
        // Scopes close in reverse: the pass takes the system font back,
        // then the font goes, then the pass ends.
        const LoadedFont loaded(
            FontLoad(TEXT_FONT_NUMBER, font.face, font.size, font.styles) ? TEXT_FONT_NUMBER : 0);
        if (!loaded) {
            return refuse(ActionFailure::NoFont, args.text<P::Font>());
        }
        const SelectedFont selected(FontHandle(TEXT_FONT_NUMBER));
        // No back colour: the text alone, on what is there.
        const std::optional<uint32_t> back = args.colour<P::BackColour>();
        DrawSetMode(back ? DRAW_MODE_DEFAULT : DRAW_MODE_TRANSPARENT);
        DrawString(args.number<P::X>(), args.number<P::Y>(), args.text<P::Text>(),
                   args.colour<P::TextColour>().value_or(BLACK), back);
        return 1;
    });
}

//--- The run functions, in the order of the table

using ActionRun = int (*)(const std::vector<Argument>& values, HostLink& host);

struct ActionFunction {
    const void* names; // the names enum it reads its arguments by
    ActionRun run;
};

template <typename Names, int (*Run)(const Args<Names>&, HostLink&)>
int runWith(const std::vector<Argument>& values, HostLink& host) {
    return Run(Args<Names>(values), host);
}
template <typename Names, int (*Run)(const Args<Names>&, HostLink&)>
constexpr ActionFunction function() {
    return {&NAMES_KEY<Names>, &runWith<Names, Run>};
}

// One line per action, so that adding one adds a line.
// clang-format off
constexpr ActionFunction RUNS[] = {
    function<CreateCanvasParam, createCanvas>(),
    function<DrawCircleParam, drawCircle>(),
    function<ClearCanvasParam, clearCanvas>(),
    function<DrawTextParam, drawText>(),
};
// clang-format on
static_assert(std::size(RUNS) == ACTION_COUNT, "one run function per action");

constexpr bool runsFollowTheTable() {
    for (int i = 0; i < ACTION_COUNT; ++i) {
        if (RUNS[i].names != ACTIONS[i].names) {
            return false;
        }
    }
    return true;
}
static_assert(runsFollowTheTable(), "RUNS[i] reads the names of ACTIONS[i]");

} // namespace

CanvasRegistry& registry() {
    return *g_registry;
}

int execAction(int id, const Params& params, HostLink& host) {
    // An empty name ends any call before its id is looked at; the line
    // names the action when there is one.
    const ActionDescriptor* action = findAction(id);
    beginCall(action ? action->name : u"_nbExecAction");
    if (slotText(params, OBJECT_SLOT).empty()) {
        return refuse(ActionFailure::NoName);
    }
    if (!action) {
        return refuse(ActionFailure::UnknownAction, formatNumber(id));
    }
    // An exception here can only mean that memory ran out; the action's
    // scopes have put back what it held.
    try {
        return RUNS[id - 1].run(convertArguments(*action, params), host);
    } catch (...) {
        return refuse(ActionFailure::OutOfMemory);
    }
}

void releaseAllCanvases(ParentNotice notice) {
    // Out of the registry before any window closes: closing one lets the
    // host's code run, and whatever that calls finds only canvases made
    // since, and frees nothing this walk still reads.
    const CanvasList leaving = registry().takeAll();
    for (const CanvasEntry& entry : leaving) {
        if (notice == ParentNotice::Withheld) {
            withholdParentNotice(UiWindowHandle(entry.window));
            withholdParentNotice(UiControlHandle(entry.pictureControl));
        }
        if (UiIsWindow(entry.window)) {
            UiCloseWindow(entry.window); // the picture control goes with it
        }
        if (ImgExists(entry.image)) {
            ImgFree(entry.image);
        }
    }
}

} // namespace canvas
