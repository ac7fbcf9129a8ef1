// Why the last call returned 0. The host only ever sees the 0; the reason
// is for whoever writes the script, tests or debugs the plug-in: read
// in-process with lastFailure() and lastFailureLine(). The product writes
// nothing and shows nothing; the diagnostic build (bin/diagnostico/) also
// writes each refusal's line with OutputDebugStringW.
//
// Each reason and its Spanish text are one row of FAILURE_TEXTS; a line
// names who refused (an action, or the export when no action is known),
// the text, and the value that caused it where the text has "{}":
//   kiv_DrawText: no hay ningún lienzo llamado "r1"
#pragma once

#include <cstddef>

#include "base/text.h"

namespace canvas {

enum class ActionFailure {
    None,          // the last call was carried out (or none ran yet)
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
    // the editor
    DialogOpen,   // another dialog of the plug-in is open on this thread
    NoDialog,     // the dialog's window or a control could not be made
    DialogClosed, // the user closed the dialog without "OK"
    Count         // not a reason: the number of them, which FAILURE_TEXTS must match
};

struct FailureText {
    ActionFailure reason;
    const char16_t* text; // "{}" stands for the value that caused it
};

inline constexpr FailureText FAILURE_TEXTS[] = {
    {ActionFailure::None, u"sin error"},
    {ActionFailure::NoParameters, u"la matriz de parámetros es nula"},
    {ActionFailure::UnknownAction, u"no hay ninguna acción con el número {}"},
    {ActionFailure::NoName, u"el nombre del objeto o del lienzo está vacío"},
    {ActionFailure::ObjectUnknown, u"el programa no da ninguna ventana para el objeto \"{}\""},
    {ActionFailure::ObjectNotWindow, u"la ventana del objeto \"{}\" no existe"},
    {ActionFailure::ObjectEmpty, u"la ventana del objeto \"{}\" no tiene superficie"},
    {ActionFailure::NoEntry, u"no cabe un lienzo más: \"{}\""},
    {ActionFailure::NoWindow, u"no se pudo crear la ventana del lienzo \"{}\""},
    {ActionFailure::ParentRefused,
     u"no se pudo colocar el lienzo dentro de la ventana del objeto \"{}\""},
    {ActionFailure::NoImage, u"no se pudo crear la imagen del lienzo \"{}\""},
    {ActionFailure::NoPicture, u"no se pudo mostrar la imagen del lienzo \"{}\""},
    {ActionFailure::NotACanvas, u"no hay ningún lienzo llamado \"{}\""},
    {ActionFailure::NoPass, u"no se pudo dibujar en el lienzo \"{}\""},
    {ActionFailure::NoFont, u"no se pudo cargar la fuente \"{}\""},
    {ActionFailure::OutOfMemory, u"no hay memoria suficiente"},
    {ActionFailure::DialogOpen, u"ya hay otro diálogo abierto"},
    {ActionFailure::NoDialog, u"no se pudo abrir el diálogo de {}"},
    {ActionFailure::DialogClosed, u"se cerró el diálogo de {} sin \"OK\""},
};

constexpr size_t FAILURE_COUNT = sizeof(FAILURE_TEXTS) / sizeof(FAILURE_TEXTS[0]);

// Row i holds reason i, from None to the one before Count: a reason added
// to the enum without its row, or rows out of order, stop the build.
static_assert(FAILURE_COUNT == static_cast<size_t>(ActionFailure::Count),
              "one row of FAILURE_TEXTS per reason");
constexpr bool everyReasonHasItsText() {
    for (size_t i = 0; i < FAILURE_COUNT; ++i) {
        if (static_cast<size_t>(FAILURE_TEXTS[i].reason) != i || !FAILURE_TEXTS[i].text[0]) {
            return false;
        }
    }
    return true;
}
static_assert(everyReasonHasItsText(), "one text per reason, in the enum's order");

// The line of a refusal: "who: text", the text's "{}" replaced by `value`.
Text failureLine(const char16_t* who, ActionFailure why, const Text& value);

//--- The record of the current call (canvas/failure_win.cpp)

// Starts a call made on behalf of `who` (an export's or an action's name,
// a literal that lives as long as the program): no reason yet.
void beginCall(const char16_t* who);

// Records `why` and the value that caused it as the reason of the call
// now ending (in the diagnostic build also writes its line), and returns
// the call's result, 0.
int refuse(ActionFailure why, const Text& value = Text());

// The reason of the last call in this process, None after one that
// returned 1; its line, empty after a 1.
ActionFailure lastFailure();
Text lastFailureLine();

// Frees the value kept for the last line: the DLL is being unloaded, and
// its memory would stay behind in the host's heap.
void forgetLastFailure();

} // namespace canvas
