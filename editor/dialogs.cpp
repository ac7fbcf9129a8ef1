#include "editor/dialogs.h"

#include <string>

#include "canvas/convert.h"
#include "draw/font_style.h"
#include "canvas/action_ids.h"

namespace editor {

namespace {

using K = ControlKind;
using P = Pick;

// Labels are 120 x 20 at x 10, five pixels below their field's top; "..."
// buttons are 30 x 25 at x 380; a field with a "..." is 230 wide, else 270.
constexpr ControlRow label(int number, const char16_t* text, int fieldY) {
    return {number, K::Label, text, 10, fieldY + 5, 120, 20, NO_SLOT, P::None, 0};
}
constexpr ControlRow field(int number, int y, int slot, bool withPick) {
    return {number, K::Edit, u"", 140, y, withPick ? 230 : 270, 25, slot, P::None, 0};
}
constexpr ControlRow pick(int number, int y, Pick what, int target) {
    return {number, K::Button, u"...", 380, y, 30, 25, NO_SLOT, what, target};
}
constexpr ControlRow ok(int y) {
    return {CONTROL_OK, K::Button, u"OK", 100, y, 100, 25, NO_SLOT, P::None, 0};
}
constexpr ControlRow cancel(int y) {
    return {CONTROL_CANCEL, K::Button, u"Cancelar", 220, y, 100, 25, NO_SLOT, P::None, 0};
}

const ControlRow CREATE_CANVAS[] = {
    label(1, u"Objeto Rectángulo:", 10),
    field(2, 10, 0, true),
    pick(3, 10, P::Object, 2),
    label(6, u"Color de Fondo:", 50),
    field(7, 50, 1, true),
    pick(8, 50, P::Colour, 7),
    ok(85),
    cancel(85),
};

const ControlRow DRAW_CIRCLE[] = {
    label(1, u"Lienzo:", 10),
    field(2, 10, 0, true),
    pick(3, 10, P::Object, 2),
    label(9, u"X:", 50),
    field(10, 50, 1, false),
    label(11, u"Y:", 90),
    field(12, 90, 2, false),
    label(13, u"Radio:", 130),
    field(14, 130, 3, false),
    label(15, u"Color:", 170),
    field(16, 170, 4, true),
    pick(17, 170, P::Colour, 16),
    ok(210),
    cancel(210),
};

const ControlRow CLEAR_CANVAS[] = {
    label(1, u"Objeto Rectángulo:", 10),
    field(2, 10, 0, true),
    pick(3, 10, P::Object, 2),
    ok(45),
    cancel(45),
};

const ControlRow DRAW_TEXT[] = {
    label(1, u"Lienzo:", 10),
    field(2, 10, 0, true),
    pick(3, 10, P::Object, 2),
    label(18, u"Texto:", 50),
    field(19, 50, 1, false),
    label(20, u"X:", 90),
    field(21, 90, 2, false),
    label(22, u"Y:", 130),
    field(23, 130, 3, false),
    label(24, u"Color Texto:", 170),
    field(CONTROL_TEXT_COLOUR_FIELD, 170, 4, true),
    pick(26, 170, P::Colour, CONTROL_TEXT_COLOUR_FIELD),
    label(27, u"Color Fondo:", 210),
    field(28, 210, 5, true),
    pick(29, 210, P::Colour, 28),
    label(30, u"Fuente:", 250),
    field(CONTROL_FONT_FIELD, 250, 6, true),
    pick(CONTROL_FONT_PICK, 250, P::Font, CONTROL_FONT_FIELD),
    ok(285),
    cancel(285),
};

template <size_t N> constexpr size_t countOf(const ControlRow (&)[N]) {
    return N;
}

const DialogLayout DIALOGS[ACTION_COUNT] = {
    {ACTION_CREATE_CANVAS, u"Configurar CreateCanvas", 120, CREATE_CANVAS, countOf(CREATE_CANVAS)},
    {ACTION_DRAW_CIRCLE, u"Configurar DrawCircle", 240, DRAW_CIRCLE, countOf(DRAW_CIRCLE)},
    {ACTION_CLEAR_CANVAS, u"Configurar ClearCanvas", 80, CLEAR_CANVAS, countOf(CLEAR_CANVAS)},
    {ACTION_DRAW_TEXT, u"Configurar DrawText", 320, DRAW_TEXT, countOf(DRAW_TEXT)},
};

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

Text decimal(int64_t value) {
    const std::string digits = std::to_string(value);
    return Text(digits.begin(), digits.end());
}

} // namespace

const DialogLayout* findDialog(int actionId) {
    return actionId >= 1 && actionId <= ACTION_COUNT ? &DIALOGS[actionId - 1] : nullptr;
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
    return decimal(static_cast<int32_t>(colour));
}

} // namespace editor
