// The parameter dialogs as data: title, client size and every control with
// its number, kind, text, rectangle, the parameter slot an edit field shows
// and writes, and what a "..." button does. Each is derived from its
// action's rows in canvas/action_table.h; the Win32 side only walks these
// tables, so the layouts can be checked without a screen.
//
// Also the editor's font field arithmetic (what the font dialog opens on and
// what its answer becomes), kept apart from ChooseFontW for the same reason.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/text.h"
#include "canvas/action_table.h"

namespace editor {

constexpr int DIALOG_WINDOW = 0; // every dialog is window number 0
constexpr int DIALOG_WIDTH = 420;

// Control numbers every dialog shares: its first row (the object or canvas,
// slot 0) and its closing buttons. The rows after the first take numbers
// from 6 on, one after the other through the whole table of actions, so no
// two controls of the plug-in share a number.
constexpr int CONTROL_OBJECT_LABEL = 1;
constexpr int CONTROL_OBJECT_FIELD = 2;
constexpr int CONTROL_OBJECT_PICK = 3;
constexpr int CONTROL_OK = 4;
constexpr int CONTROL_CANCEL = 5;
constexpr int CONTROL_FIRST_FREE = 6;
// kiv_DrawText's font "..." and the two fields it fills (checked against the
// derived layout where it is made).
constexpr int CONTROL_TEXT_COLOUR_FIELD = 25;
constexpr int CONTROL_FONT_FIELD = 31;
constexpr int CONTROL_FONT_PICK = 32;

enum class ControlKind { Label, Edit, Button };

// What a button does when clicked (None for labels, fields, "OK" and
// "Cancelar"): the pick of its parameter row.
using Pick = canvas::Pick;

using canvas::NO_SLOT;

struct ControlRow {
    int number;
    ControlKind kind;
    const char16_t* text; // label text or button caption; empty for fields
    int x, y, width, height;
    int slot;         // edit fields: the parameter slot shown and written; else NO_SLOT
    Pick pick;        // buttons only
    int target;       // the field a pick fills, 0 for none
    int colourTarget; // a font pick: the colour field it fills too, 0 for none
};

struct DialogLayout {
    int actionId;
    const char16_t* title;
    int height;             // client area; the width is DIALOG_WIDTH
    const ControlRow* rows; // in creation order, which is also the Tab order
    size_t rowCount;
};

// The dialog of action `actionId`, null for an id no action has.
const DialogLayout* findDialog(int actionId);
// The row of control `number` in `layout`, null if it has none.
const ControlRow* findControl(const DialogLayout& layout, int number);

//--- The font field

// What the font dialog opens on: the font field split as a font description,
// without the drawing defaults (an empty face stays empty, a missing size
// gives 0 points, and so lfHeight 0: the dialog's own choice).
struct FontDialogStart {
    Text face;      // at most FACE_NAME_MAX code units (see below)
    int32_t points; // the size field's low 32 bits, any sign
    bool bold, italic, underline;
};

// LOGFONTW holds 31 characters of face name and a terminator. A longer face
// is cut to its first 31 UTF-16 code units, one less when the cut would split
// a surrogate pair: the dialog opens on the nearest face it lists, and a
// field that long names no installed face anyway.
constexpr size_t FACE_NAME_MAX = 31;

FontDialogStart fontDialogStart(const Text& fontField);

// The new font field after the dialog's OK: "face,points,styles" with B for a
// weight of 700 or more, I, U, in that order; the second comma always written.
Text fontFieldText(const Text& face, int32_t points, int32_t weight, bool italic, bool underline);

// The colour field after a font pick: the colour reference as a signed
// decimal number, which reads back as the same colour.
Text colourFieldText(uint32_t colour);

} // namespace editor
