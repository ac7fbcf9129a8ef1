#include "editor/dialogs.h"

#include <array>
#include <string>

#include "canvas/convert.h"
#include "draw/font_style.h"

namespace editor {

namespace {

using canvas::ActionDescriptor;
using canvas::ParamRow;
using K = ControlKind;
using P = Pick;

//--- The layouts, made from the table of actions at compile time

// Fields run down the dialog 40 pixels apart from y 10, each 25 high at
// x 140: 230 wide with a "..." beside it (30 x 25 at x 380), else 270.
// Labels are 120 x 20 at x 10, five pixels below their field's top. "OK"
// and "Cancelar" are 100 x 25 at x 100 and 220, below the last field by the
// action's spacing.
constexpr int FIELD_TOP = 10;
constexpr int FIELD_STEP = 40;

constexpr int fieldY(int slot) {
    return FIELD_TOP + FIELD_STEP * slot;
}
constexpr int buttonsY(const ActionDescriptor& action) {
    return fieldY(action.paramCount - 1) + action.spacing.belowFields;
}
constexpr int dialogHeight(const ActionDescriptor& action) {
    return buttonsY(action) + action.spacing.belowButtons;
}

constexpr ControlRow label(int number, const char16_t* text, int fieldY) {
    return {number, K::Label, text, 10, fieldY + 5, 120, 20, NO_SLOT, P::None, 0, 0};
}
constexpr ControlRow field(int number, int y, int slot, bool withPick) {
    return {number, K::Edit, u"", 140, y, withPick ? 230 : 270, 25, slot, P::None, 0, 0};
}
constexpr ControlRow pickButton(int number, int y, Pick what, int target, int colourTarget) {
    return {number, K::Button, u"...", 380, y, 30, 25, NO_SLOT, what, target, colourTarget};
}
constexpr ControlRow ok(int y) {
    return {CONTROL_OK, K::Button, u"OK", 100, y, 100, 25, NO_SLOT, P::None, 0, 0};
}
constexpr ControlRow cancel(int y) {
    return {CONTROL_CANCEL, K::Button, u"Cancelar", 220, y, 100, 25, NO_SLOT, P::None, 0, 0};
}

// A label and a field per parameter, a "..." where it has a pick; then
// "OK" and "Cancelar".
constexpr size_t controlCount(const ActionDescriptor& action) {
    size_t n = 2;
    for (int slot = 0; slot < action.paramCount; ++slot) {
        n += action.params[slot].pick == Pick::None ? 2 : 3;
    }
    return n;
}

constexpr size_t allControlCount() {
    size_t n = 0;
    for (const ActionDescriptor& action : canvas::ACTIONS) {
        n += controlCount(action);
    }
    return n;
}

// Every dialog's rows, one dialog after the other in table order.
constexpr std::array<ControlRow, allControlCount()> makeRows() {
    std::array<ControlRow, allControlCount()> rows{};
    size_t at = 0;
    for (int index = 0; index < canvas::ACTION_COUNT; ++index) {
        const ActionDescriptor& action = canvas::ACTIONS[index];
        for (int slot = 0; slot < action.paramCount; ++slot) {
            const ParamRow& param = action.params[slot];
            const RowNumbers n = rowNumbers(index, slot);
            const int y = fieldY(slot);
            rows[at++] = label(n.label, param.label, y);
            rows[at++] = field(n.field, y, slot, param.pick != Pick::None);
            if (param.pick != Pick::None) {
                const int colourField =
                    param.colourSlot == NO_SLOT ? 0 : rowNumbers(index, param.colourSlot).field;
                rows[at++] = pickButton(n.pick, y, param.pick, n.field, colourField);
            }
        }
        rows[at++] = ok(buttonsY(action));
        rows[at++] = cancel(buttonsY(action));
    }
    return rows;
}

constexpr std::array<ControlRow, allControlCount()> ROWS = makeRows();

constexpr std::array<DialogLayout, canvas::ACTION_COUNT> makeDialogs() {
    std::array<DialogLayout, canvas::ACTION_COUNT> dialogs{};
    size_t at = 0;
    for (size_t i = 0; i < dialogs.size(); ++i) {
        const ActionDescriptor& action = canvas::ACTIONS[i];
        dialogs[i] = {action.id, action.dialogTitle, dialogHeight(action), ROWS.data() + at,
                      controlCount(action)};
        at += controlCount(action);
    }
    return dialogs;
}

constexpr std::array<DialogLayout, canvas::ACTION_COUNT> DIALOGS = makeDialogs();

// Checked while compiling: each dialog has one field per parameter of its
// action and stays inside its window.
constexpr bool dialogsFitTheirActions() {
    for (size_t i = 0; i < DIALOGS.size(); ++i) {
        const DialogLayout& d = DIALOGS[i];
        int fields = 0;
        for (size_t r = 0; r < d.rowCount; ++r) {
            const ControlRow& row = d.rows[r];
            fields += row.kind == ControlKind::Edit ? 1 : 0;
            if (row.x + row.width > DIALOG_WIDTH || row.y + row.height > d.height) {
                return false;
            }
        }
        if (d.actionId != canvas::ACTIONS[i].id || fields != canvas::ACTIONS[i].paramCount) {
            return false;
        }
    }
    return true;
}
static_assert(dialogsFitTheirActions(), "one field per parameter, inside the window");

// The names of kiv_DrawText's font controls are its layout's numbers: one
// typed by hand instead stops the build once it no longer matches.
constexpr bool fontControlsAsNamed() {
    const DialogLayout& d = DIALOGS[canvas::actionIndexOf<canvas::DrawTextParam>()];
    for (size_t r = 0; r < d.rowCount; ++r) {
        const ControlRow& row = d.rows[r];
        if (row.pick == Pick::Font) {
            return row.number == CONTROL_FONT_PICK && row.target == CONTROL_FONT_FIELD &&
                   row.colourTarget == CONTROL_TEXT_COLOUR_FIELD;
        }
    }
    return false;
}
static_assert(fontControlsAsNamed(), "CONTROL_FONT_* name kiv_DrawText's font pick");

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

} // namespace

const DialogLayout* findDialog(int actionId) {
    for (const DialogLayout& dialog : DIALOGS) {
        if (dialog.actionId == actionId) {
            return &dialog;
        }
    }
    return nullptr;
}

const ControlRow* findControl(const DialogLayout& layout, int number) {
    for (size_t i = 0; i < layout.rowCount; ++i) {
        if (layout.rows[i].number == number) {
            return &layout.rows[i];
        }
    }
    return nullptr;
}

FontDialogStart fontDialogStart(const Text& fontField) {
    const FontFields fields = splitFontSpec(fontField);
    FontDialogStart start{fields.face, low32(parseNumber(fields.size)),
                          (fields.styles & FONT_BOLD) != 0, (fields.styles & FONT_ITALIC) != 0,
                          (fields.styles & FONT_UNDERLINE) != 0};
    if (start.face.size() > FACE_NAME_MAX) {
        size_t keep = FACE_NAME_MAX;
        if (isHighSurrogate(start.face[keep - 1])) {
            --keep; // never leave half a character behind
        }
        start.face.resize(keep);
    }
    return start;
}

Text fontFieldText(const Text& face, int32_t points, int32_t weight, bool italic, bool underline) {
    int styles = 0;
    if (weight >= 700) {
        styles |= FONT_BOLD;
    }
    if (italic) {
        styles |= FONT_ITALIC;
    }
    if (underline) {
        styles |= FONT_UNDERLINE;
    }
    return formatFontSpec(face, points, styles);
}

Text colourFieldText(uint32_t colour) {
    return formatNumber(static_cast<int32_t>(colour));
}

} // namespace editor
