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
// two controls of the action dialogs share a number beyond these five. (The
// About box, window 0 as well but never open with a dialog, numbers its
// three controls 1 to 3 on its own.)
constexpr int CONTROL_OBJECT_LABEL = 1;
constexpr int CONTROL_OBJECT_FIELD = 2;
constexpr int CONTROL_OBJECT_PICK = 3;
constexpr int CONTROL_OK = 4;
constexpr int CONTROL_CANCEL = 5;
constexpr int CONTROL_FIRST_FREE = 6;

// The control numbers of one parameter's row: its label, its field and its
// "..." (0 without one).
struct RowNumbers {
    int label, field, pick;
};

// The numbers of the row of slot `slot` of ACTIONS[actionIndex], as the
// layouts number them: slot 0 the shared ones, then a label, a field and
// a "..." where there is a pick, for every slot past 0 of every action in
// table order.
constexpr RowNumbers rowNumbers(int actionIndex, int slot) {
    if (slot == 0) {
        return {CONTROL_OBJECT_LABEL, CONTROL_OBJECT_FIELD, CONTROL_OBJECT_PICK};
    }
    int next = CONTROL_FIRST_FREE;
    for (int a = 0; a < actionIndex; ++a) {
        for (int s = 1; s < canvas::ACTIONS[a].paramCount; ++s) {
            next += canvas::ACTIONS[a].params[s].pick == canvas::Pick::None ? 2 : 3;
        }
    }
    const canvas::ActionDescriptor& action = canvas::ACTIONS[actionIndex];
    for (int s = 1; s < slot; ++s) {
        next += action.params[s].pick == canvas::Pick::None ? 2 : 3;
    }
    return {next, next + 1, action.params[slot].pick == canvas::Pick::None ? 0 : next + 2};
}

// The numbers of the row declared under `name`, in its action's dialog.
template <typename Names> constexpr RowNumbers rowNumbers(Names name) {
    return rowNumbers(canvas::actionIndexOf<Names>(), static_cast<int>(name));
}

// kiv_DrawText's font "..." and the two fields it fills.
constexpr int CONTROL_TEXT_COLOUR_FIELD = rowNumbers(canvas::DrawTextParam::TextColour).field;
constexpr int CONTROL_FONT_FIELD = rowNumbers(canvas::DrawTextParam::Font).field;
constexpr int CONTROL_FONT_PICK = rowNumbers(canvas::DrawTextParam::Font).pick;

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
