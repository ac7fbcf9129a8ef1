// Why the last action returned 0. The host only ever sees the 0; the
// reason is for whoever tests or debugs the plug-in: read in-process with
// lastFailure(), and in builds without NDEBUG also written out with
// OutputDebugStringW. The shipped DLL writes nothing and shows nothing.
#pragma once

namespace canvas {

enum class ActionFailure {
    None,          // the last action was carried out (or none ran yet)
    NoParameters,  // the host passed a null parameter array
    UnknownAction, // no action has that id
    NoName,        // slot 0, the object or canvas name, is empty
    // kiv_CreateCanvas
    ObjectUnknown,   // the host named no window for the object
    ObjectNotWindow, // what the host named is no window (any more)
    ObjectEmpty,     // the object's window has no client area
    NoEntry,         // the registry could not take one more canvas
    NoWindow,        // the canvas window could not be made
    ParentRefused,   // it could not be laid into the object's window
    NoImage,         // the canvas's image could not be made
    NoPicture,       // the picture control could not be made
    // every action that draws
    NotACanvas, // no canvas of that name, or its image is gone
    NoPass,     // no drawing pass could be opened on the image
    NoFont,     // kiv_DrawText: the font could not be loaded
    OutOfMemory,
};

// The reason of the last action run in this process, None after one that
// returned 1.
ActionFailure lastFailure();

// Records `why` as the reason of the action now ending, and returns the
// action's result, 0.
int refuse(ActionFailure why);

} // namespace canvas
