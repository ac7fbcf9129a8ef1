// What the toolkit's own files share and nobody else sees: the records of
// the window and control tables, and the few calls that cross from one of
// its jobs to another (the window procedure finds records, the event loop
// finds the active window's accelerators, shut-down reaches every table).
#pragma once

#include <windows.h>

#include <string>

#include "base/owners_win.h"
#include "base/object_table.h"
#include "ui/toolkit_win.h"

namespace ui {

// How many fixed numbers a window or control table grows by at a time.
constexpr int UI_TABLE_GROWTH = 16;

//--- Window table (windows_win.cpp)

struct WindowRecord {
    HWND handle = nullptr;
    std::wstring className;        // registered for this window alone
    AcceleratorTable accelerators; // Tab and Shift+Tab; destroyed with the record
    HWND lastFocus = nullptr;      // not owned: the child focused at the last deactivation
    bool keepPixels = false;       // opened with UI_KEEP_PIXELS: its controls are not scaled
    SIZE client{};                 // the client area's size, whatever frame the window gets
};

// The record of a toolkit window by its HWND, null if it is none of ours
// (or its record has gone); *number, when asked for, gets its number.
WindowRecord* windowRecordOf(HWND hwnd, int* number);
// Puts the number handed to CreateWindowExW on the window being created
// (WM_NCCREATE), so that windowRecordOf finds it from then on.
void numberNewWindow(HWND hwnd, const CREATESTRUCTW& create);
// The window's WM_NCDESTROY: forgets its record, its waiting events and its
// class, and takes the number off the window.
void forgetDestroyedWindow(HWND hwnd);
// The number of the current container, UI_ANY when there is none.
int containerNumber();
// Sizes the window so that its client area is the record's, measuring the
// frame it really has: a skinning host answers WM_NCCALCSIZE itself, and a
// per-monitor-aware thread's frame follows its monitor's DPI, where
// AdjustWindowRectEx predicts neither.
void fitClientArea(HWND hwnd, const WindowRecord& rec);
// Closes every window of the table (shut-down).
void closeAllWindows();
// A window this thread cannot destroy (another thread's) stays, but without
// the toolkit: it and its class get DefWindowProcW, so that nothing of it
// calls into this module once it is unloaded. The caller forgets its
// record. Its controls stay filed, and working, until their numbers are
// released (at the latest by destroyAllControls), which gives them back.
void abandonWindow(HWND hwnd);

//--- Window classes (window_classes_win.cpp)

// The class name of window `number`, unique per number.
std::wstring windowClassName(int number);
// Registers a class for toolkit window `number` and returns its name (empty
// on failure): its procedure, the default icon, the arrow cursor. The name
// is the number's own unless a class of that name is still held by a window
// that outlived an earlier toolkit (see abandonWindow). First unregisters
// the classes of windows destroyed since the last chance, so a reused
// number's old class is gone.
std::wstring registerWindowClass(int number);
// Unregisters a class whose window could not be created.
void unregisterWindowClass(const std::wstring& name);
// Files the class of a window being destroyed for unregistering later: it
// cannot go while its window is still in WM_NCDESTROY.
void retireWindowClass(const std::wstring& name);
// Unregisters every class filed by retireWindowClass that has no window
// left; the others wait for the next chance.
void flushStaleClasses();
// Unregisters what it can and forgets the rest (shut-down).
void forgetStaleClasses();

//--- Window procedure (window_proc_win.cpp)

// The procedure of every toolkit window.
LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

//--- Control table (controls_win.cpp)

struct ControlRecord {
    HWND handle = nullptr;
    int kind = 0;                        // UiControlKind
    const UiControlClass* cls = nullptr; // null for labels, edits and buttons
    void* state = nullptr;               // the class's, released through cls->release
    WNDPROC previous = nullptr;          // the control's procedure behind the toolkit's
};

// Every control of the thread's toolkit windows, by number.
ObjectTable<ControlRecord>& controlTable();
// The record of a toolkit control by its HWND (its control id is its
// number), null if it is none of ours; *number, when asked for, gets it.
ControlRecord* controlRecordOf(HWND hwnd, int* number);
// Forgets a control whose HWND is gone or going: drops its waiting events
// and releases its class's state.
void forgetControl(int number);
// Destroys every control of the table (shut-down). One this thread cannot
// destroy (another thread's) is given back instead (giveBackControl) and
// its record goes without its class's state: a leak (one picture's copy),
// rather than memory freed under a message that thread may be handling.
void destroyAllControls();
// Gives a control that this thread cannot destroy the procedure it had
// before the toolkit (and its class) took it over, and takes the toolkit's
// property off it. Its record stays for the caller to forget.
void giveBackControl(const ControlRecord& rec);

//--- DPI (dpi_win.cpp)

// A place laid out at 96 dpi, in the screen's pixels: its edges times
// screenDpi() / 96 (MulDiv, rounded), so that a text fits it as it does at
// 96 dpi; the place itself at 96 dpi. Every window and standard control
// that does not keep its pixels is placed through it.
Place scaledPlace(const Place& place);
// Forgets the DPI read (shut-down): a DLL loaded again reads it afresh.
void forgetScreenDpi();

//--- Start-up (startup_win.cpp)

// The class icon of every toolkit window (owned by the toolkit); loaded on
// first use, null if the module has none.
HICON defaultIcon();
// Reads the message font again (a dialog opens) and makes the controls'
// font anew when the user changed it meanwhile; the DPI stays the system's.
void refreshControlFont();
// Registers the common control classes, once per start-up: before the
// first window opens.
void startCommonControls();

//--- Event loop (event_loop_win.cpp)

// Frees the queue of every thread that ever used the toolkit (shut-down).
void freeEventQueues();

} // namespace ui
