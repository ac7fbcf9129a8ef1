// The window toolkit: numbered top-level windows, numbered child controls
// (labels, edit fields, push buttons, and custom controls such as the
// picture control in draw/picture_win.h), a per-thread event queue fed by
// the window procedures, and a blocking wait for the next event.
//
// Window numbers and control numbers are two separate spaces. A caller
// names a small number itself (0 to MAX_FIXED_NUMBER - 1; the dialogs use
// window 0 and a few control numbers per action) or passes UI_ANY for a
// fresh generated number (FIRST_ALLOCATED_NUMBER and up), which can never
// be mistaken for a small one. Creating with a number in use destroys the
// old object first. A number that names nothing (stale, garbage) is
// answered with 0 / empty.
//
// Everything here runs on one thread, the host's user-interface thread;
// windows, controls and the event queue belong to the thread that made them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/text.h"
#include "ui/event_queue.h"
#include "base/object_table.h"

// The number a caller passes to be given a fresh one: windows, controls,
// images and fonts alike.
constexpr int UI_ANY = FRESH_NUMBER;

//--- Window flags
// The flags word of UiOpenWindow is a Windows style (WS_*) whose lowest three
// bits and bit 0x02000000 carry toolkit options; they are cleared before the
// style reaches Windows. A word with no style bits left gets WS_CAPTION.

// Create the window but do not show it. The canvas code opens its popup
// hidden, lays it into the host's window (UiSetParent) and only then shows
// it, so that it never flashes at the screen's top-left corner.
constexpr uint32_t UI_OPEN_HIDDEN = 0x1;
// Centre the window on its owner, kept right of and below the top-left
// corner of the owner's monitor (ui/centring.h); no effect without an owner.
constexpr uint32_t UI_CENTRE_OWNER = 0x2;
// Take the window's place, and its controls' places, in the screen's own
// pixels. Without it they are laid out for 96 dpi and scaled to the
// screen's DPI (ui::screenDpi), as the controls' message font is: a
// dialog's texts fit on any screen. A canvas keeps its pixels, which its
// image and the script's coordinates count.
constexpr uint32_t UI_KEEP_PIXELS = 0x4;
// Taken for options that do not exist yet: cleared like the others, so a
// toolkit window never gets WS_CLIPCHILDREN.
constexpr uint32_t UI_OPTIONS_UNUSED = WS_CLIPCHILDREN;
constexpr uint32_t UI_OPTION_BITS =
    UI_OPEN_HIDDEN | UI_CENTRE_OWNER | UI_KEEP_PIXELS | UI_OPTIONS_UNUSED;
static_assert(UI_OPTION_BITS == 0x02000007, "the three lowest bits and bit 25");

// The two flag words the plug-in uses.
// Caption and close box, centred on the owner.
constexpr uint32_t UI_FLAGS_DIALOG = WS_CAPTION | WS_SYSMENU | UI_CENTRE_OWNER;
static_assert(UI_FLAGS_DIALOG == 0x00C80002, "the dialogs' flag word");
// No border, no caption.
constexpr uint32_t UI_FLAGS_CANVAS = WS_POPUP;
static_assert(UI_FLAGS_CANVAS == 0x80000000, "the canvas windows' flag word");

// Label alignment.
constexpr int UI_ALIGN_LEFT = 0;
constexpr int UI_ALIGN_CENTRE = 1;

// Commands of every window's accelerator table (Tab, Shift+Tab).
constexpr int UI_COMMAND_NEXT_FOCUS = 64001;
constexpr int UI_COMMAND_PREVIOUS_FOCUS = 64002;

enum UiControlKind { UI_KIND_LABEL = 1, UI_KIND_EDIT, UI_KIND_BUTTON, UI_KIND_IMAGE };

//--- Start-up and shut-down (called from DLL attach and detach)

// Takes the module whose resources and window classes the toolkit uses,
// and nothing else: it runs from DllMain, under the loader lock, where
// calls into User32, GDI and the common controls do not belong. The event
// queue, the default window icon (that module's icon 1), the controls'
// message font, the common control classes and each window's class are
// made on first use, from an export's call.
namespace ui {
void startup(HINSTANCE module);
// Closes every window still open, destroys every control, unregisters the
// window classes, destroys the icon and the font, frees every thread's
// event queue.
void shutdown();
// The module given to startup; before it (and after shutdown) the
// program itself, which is how the Windows tests link the toolkit directly.
HINSTANCE module();
// The screen's vertical pixels per inch, the system DPI: read at the first
// call, never from DllMain, and kept until shutdown (96 when no display
// device context could be made). Font sizes in points are converted with
// it, and the dialogs' layouts scaled by it. A window moved to a monitor
// of another DPI keeps it.
int screenDpi();
} // namespace ui

//--- Windows

// Opens a top-level window whose client area is width x height at screen
// position x, y, owned by `owner` (may be null), and makes it the current
// container for new controls. The place is scaled from 96 dpi to the
// screen's unless the flags hold UI_KEEP_PIXELS. Returns 0 on failure, else the generated
// number when `number` is UI_ANY, else the window's HWND.
intptr_t UiOpenWindow(int number, int x, int y, int width, int height, const Text& title,
                      uint32_t flags, HWND owner);
// Activates the owner (if any), then destroys the window and its controls.
// A number that names no window is ignored.
void UiCloseWindow(int number);
// Non-zero if a window with that number exists.
int UiIsWindow(int number);
// The window's HWND, null if there is no such window. The toolkit owns the
// window; one destroyed by someone else (with a parent it was re-parented
// into) leaves its number stale.
HWND UiWindowHandle(int number);
// Lays a window opened as a popup into `parent` as its child window: the
// style loses WS_POPUP and gains WS_CHILD before SetParent, which never
// changes them itself (a popup inside another window stays top-level for
// activation, and showing it would take the host's focus). It also loses
// the mirroring a right-to-left host gave it (ui::keepLeftToRight): it
// shows an image, whatever the layout of the window it lies in. False when
// SetParent refuses (a parent that is gone, or of a different DPI
// awareness); the window is then left to its caller to close.
bool UiSetParent(int number, HWND parent);

//--- Controls (placed in the current container, scaled with it unless it
// keeps its pixels; return 0 on failure, else the generated number for
// UI_ANY, else the control's HWND)

// A static text; "&" is an ordinary character, "\r\n" breaks the line.
intptr_t UiAddLabel(int number, int x, int y, int width, int height, const Text& text, int align);
// A single-line edit field; Ctrl+A selects all its text; gaining and losing
// the focus queue UI_EVENT_CONTROL with subtypes 14000 and 14001.
intptr_t UiAddEdit(int number, int x, int y, int width, int height, const Text& text);
// An ordinary push button (not a default button).
intptr_t UiAddButton(int number, int x, int y, int width, int height, const Text& caption);

//--- The same, with named arguments
// The create functions above take their arguments in a row, as their API
// fixes; a caller inside the plug-in names them instead.
namespace ui {

// A rectangle in pixels: a window's client area on the screen, or a
// control's place in its window.
struct Place {
    int x = 0, y = 0, width = 0, height = 0;
};

struct WindowArgs {
    int number = UI_ANY;
    Place place;
    Text title;
    uint32_t flags = 0;   // UI_FLAGS_* and the UI_* options
    HWND owner = nullptr; // not owned; may be null
};
// UiOpenWindow, with its arguments named.
inline intptr_t openWindow(const WindowArgs& args) {
    const Place& p = args.place;
    return UiOpenWindow(args.number, p.x, p.y, p.width, p.height, args.title, args.flags,
                        args.owner);
}

struct ControlArgs {
    int kind = UI_KIND_LABEL; // UI_KIND_LABEL, UI_KIND_EDIT or UI_KIND_BUTTON
    int number = UI_ANY;
    Place place;
    Text text;                 // a label's text, a field's text, a button's caption
    int align = UI_ALIGN_LEFT; // labels only
};
// UiAddLabel, UiAddEdit or UiAddButton as `kind` says, with the arguments
// named; 0 for any other kind.
intptr_t addControl(const ControlArgs& args);

} // namespace ui

// The control's HWND, null if there is no such control; it goes with its
// window or when its number is reused.
HWND UiControlHandle(int control);
// The control's current text; empty if there is no such control.
Text UiGetText(int control);
// Replaces the control's text; nothing if there is no such control.
void UiSetText(int control, const Text& text);
// Hands a value to a custom control's set-state operation (for a picture
// control: the bitmap to show, in the low 32 bits). Events are suppressed
// meanwhile, so a change made by the program queues none. Nothing if the
// control does not exist or its class has no such operation.
void UiSetState(int control, int64_t value);
// The custom control's get-state value (a picture control: the bitmap it
// shows), 0 if there is none.
int64_t UiGetState(int control);

//--- Events

// The code of the next event of this thread's queue. While the queue is
// empty it runs the thread's messages (every window's, the host's too),
// Tab and Shift+Tab through the active toolkit window's accelerators.
// A WM_QUIT is handed back to the thread's queue and reported as
// UI_EVENT_CLOSE of the current container, so a modal loop ends and the
// host's own loop still sees the quit.
int UiWaitEvent();
// The control number of the event UiWaitEvent returned last.
int UiEventControl();
// The window number of the event UiWaitEvent returned last, so a loop can
// tell its own window's events from those of other toolkit windows (canvas
// windows post events nobody waits for; they wait in the queue).
int UiEventWindow();

//--- Custom controls
// A custom control is a child window its module creates in the current
// container and then hands to adoptControl, which files it in the control
// table under a number, sets its control id to that number, installs the
// toolkit's control procedure in front of the module's own and gives it the
// message font. The class's operations receive the control's HWND and the
// state pointer handed over at adoption.

struct UiControlClass {
    int kind = 0;     // UiControlKind
    int typeCode = 0; // the class's code (9 for pictures)
    int64_t (*getState)(HWND control, void* state) = nullptr;
    void (*setState)(HWND control, void* state, int64_t value) = nullptr;
    // The control is being destroyed (WM_NCDESTROY): free `state`.
    void (*release)(HWND control, void* state) = nullptr;
    SIZE (*getSize)(HWND control, void* state) = nullptr;
    // The control outlives the toolkit (its window belongs to a thread
    // that cannot destroy it from here): takes the class's own procedure
    // and properties off it and returns the procedure the class displaced.
    // Null: the class put no procedure of its own in front.
    WNDPROC (*giveBack)(HWND control, void* state) = nullptr;
};

namespace ui {

// The current container's HWND, null if there is none.
HWND containerHandle();
// Files `control` under `number` (destroying a control that had it). Returns
// as UiAddLabel. On failure the control is destroyed, and with it `state`
// (through cls->release), so the caller owns nothing either way.
intptr_t adoptControl(int number, HWND control, const UiControlClass* cls, void* state);
// The state pointer of an adopted control, null for any other window.
void* controlState(HWND control);
// Takes the mirroring off a window a right-to-left host (its process
// layout, or a hook) gave it, so that its x counts from the left and a
// blit into it is not flipped. For windows that show an image pixel for
// pixel; made before their children, which inherit it.
void keepLeftToRight(HWND hwnd);
// For its life, the calling thread in the DPI awareness of `window`, the
// caller's own given back at its end. A window takes its thread's
// awareness when it is made, and Windows lays a window only into one of
// the same awareness (SetParent fails otherwise), while a host may call
// in another awareness than its windows have (unaware around plug-ins, as
// Microsoft recommends). Nothing where Windows has no such awareness (before
// Windows 10 1607): the functions are looked up in user32 at run time, so
// that the DLL still loads on Windows 7.
class WindowDpiAwareness {
  public:
    explicit WindowDpiAwareness(HWND window);
    ~WindowDpiAwareness();
    WindowDpiAwareness(const WindowDpiAwareness&) = delete;
    WindowDpiAwareness& operator=(const WindowDpiAwareness&) = delete;

  private:
    DPI_AWARENESS_CONTEXT callers_ = nullptr; // null: nothing to give back
};
// The nearest toolkit window at or above `hwnd`, null if none.
HWND toolkitWindowOf(HWND hwnd);
// That window's number; false if `hwnd` is not inside a toolkit window.
bool windowNumberOf(HWND hwnd, int* number);
// The calling thread's event queue, owned by the toolkit until shutdown; a
// queue shared by all threads when the thread's own cannot be made.
EventQueue& eventQueue();
// Posts to the calling thread's queue (see EventQueue::post).
bool postEvent(const UiEvent& event, bool force = false);
// The controls' message font, owned by the toolkit (never delete it); the
// stock GUI font while the message font cannot be made.
HFONT controlFont();
// The size of the control's window rectangle, {0, 0} if there is none.
SIZE controlSize(int control);

} // namespace ui
