// Why the last action returned 0. The host only ever sees the 0; the
// reason is for whoever tests or debugs the plug-in: read in-process with
// lastFailure(), and in builds without NDEBUG also written out with
// OutputDebugStringW. The shipped DLL writes nothing and shows nothing.
#pragma once

namespace canvas {

enum class ActionFailure {
    NONE,           // the last action was carried out (or none ran yet)
    NO_PARAMETERS,  // the host passed a null parameter array
    UNKNOWN_ACTION, // no action has that id
    NO_NAME,        // slot 0, the object or canvas name, is empty
    // kiv_CreateCanvas
    OBJECT_UNKNOWN,    // the host named no window for the object
    OBJECT_NOT_WINDOW, // what the host named is no window (any more)
    OBJECT_EMPTY,      // the object's window has no client area
    NO_ENTRY,          // the registry could not take one more canvas
    NO_WINDOW,         // the canvas window could not be made
    NO_IMAGE,          // the canvas's image could not be made
    NO_PICTURE,        // the picture control could not be made
    // every action that draws
    NOT_A_CANVAS, // no canvas of that name, or its image is gone
    NO_PASS,      // no drawing pass could be opened on the image
    NO_FONT,      // kiv_DrawText: the font could not be loaded
    OUT_OF_MEMORY,
};

// The reason of the last action run in this process, NONE after one that
// returned 1.
ActionFailure lastFailure();

// Records `why` as the reason of the action now ending, and returns the
// action's result, 0.
int refuse(ActionFailure why);

} // namespace canvas
