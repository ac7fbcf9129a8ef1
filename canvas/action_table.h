// Every action the plug-in adds to the host's script language, one
// descriptor each: what the host registers (id, name, hint, parameter
// types) and what the editor shows (the dialog's title and one row per
// parameter), with a name for each parameter. Registration, dispatch, the
// dialogs and every count derive from this table.
//
// Platform-free, and readable at run time by native code: the functions
// that run the actions sit in their own table in canvas/actions_win.cpp,
// checked there against this one.
//
// Adding an action (README, "Adding an action", lists every file):
// - here: its names enum and its row, with the next id;
// - canvas/actions_win.cpp: its function and its line in RUNS;
// - docs/LEAME.md: its line in the table of actions and its section, and
//   tests/win/test_leame.cpp: a row for each line of that section's example;
// - examples/demo.script: a line that runs it;
// - the goldens that list every action (registration, the host's listing,
//   the dialog layouts), and the screenshots.
// Registration, dispatch, the dialogs (their control numbers too) and the
// editor follow this table, and so do the tests that walk it.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "base/no_destroy.h"
#include "base/text.h"

namespace canvas {

// A parameter's type as the host reads it from the registration.
enum class ParamType : unsigned char { Number = 3, Text = 4, Object = 8 };

// What the "..." beside a parameter's field does in the editor.
enum class Pick {
    None,   // no "..."
    Object, // asks the host for an object name
    Colour, // asks the host for a colour text
    Font,   // the font dialog, on this field and on a colour field of the same dialog
};

constexpr int NO_SLOT = -1;
constexpr int MAX_ACTION_PARAMS = 7;

// One parameter: its label in the editor, its type and its "...".
struct ParamRow {
    const char16_t* label = u"";
    ParamType type = ParamType::Text;
    Pick pick = Pick::None;
    int colourSlot = NO_SLOT; // a font pick: the slot whose colour the font dialog sets too
    int name = NO_SLOT;       // the value of the name it was declared with
};

// A row declared under a name of its action's enum (`Names`, whose last
// enumerator is Count). Row i must carry the name of value i: a row moved
// without its name stops the build (rowsFollowTheirNames below).
template <typename Names> struct NamedRow { ParamRow row; };

template <typename Names>
constexpr NamedRow<Names> named(Names name, const char16_t* label, ParamType type, Pick pick,
                                int colourSlot = NO_SLOT) {
    return {ParamRow{label, type, pick, colourSlot, static_cast<int>(name)}};
}
template <typename Names> constexpr NamedRow<Names> objectParam(Names name, const char16_t* label) {
    return named(name, label, ParamType::Object, Pick::Object);
}
template <typename Names> constexpr NamedRow<Names> numberParam(Names name, const char16_t* label) {
    return named(name, label, ParamType::Number, Pick::None);
}
template <typename Names> constexpr NamedRow<Names> textParam(Names name, const char16_t* label) {
    return named(name, label, ParamType::Text, Pick::None);
}
// A colour text; an empty one has a meaning of its action's (no background,
// white, ...), which the run function gives it.
template <typename Names> constexpr NamedRow<Names> colourParam(Names name, const char16_t* label) {
    return named(name, label, ParamType::Text, Pick::Colour);
}
// A font description; its "..." also sets the colour field `colour`.
template <typename Names>
constexpr NamedRow<Names> fontParam(Names name, const char16_t* label, Names colour) {
    return named(name, label, ParamType::Text, Pick::Font, static_cast<int>(colour));
}

// The vertical spacing of a dialog below its last field and below its
// "OK"/"Cancelar" row, in pixels.
struct DialogSpacing {
    int belowFields = 35;
    int belowButtons = 35;
};

using Params = std::vector<Text>;

// Slot 0 names the object or the canvas in every action.
constexpr size_t OBJECT_SLOT = 0;

// The text of parameter slot `slot`: empty for a slot the host left out
// (and for NO_SLOT).
inline const Text& slotText(const Params& params, size_t slot) {
    static NoDestroy<const Text> empty;
    return slot < params.size() ? params[slot] : *empty;
}

// One key per names enum: its address tells the enums apart in constant
// expressions, so the run functions' table can be checked against this one.
template <typename Names> inline constexpr char NAMES_KEY = 0;

struct ActionDescriptor {
    int id = 0; // the number the host calls it with
    const char16_t* name = u"";
    const char16_t* hint = u"";
    const char16_t* dialogTitle = u"";
    DialogSpacing spacing;
    int paramCount = 0;
    ParamRow params[MAX_ACTION_PARAMS] = {};
    int nameCount = 0;           // the enumerators of its names but Count
    const void* names = nullptr; // &NAMES_KEY<Names>
};

template <typename Names>
constexpr ActionDescriptor
describeAction(int id, const char16_t* name, const char16_t* hint, const char16_t* dialogTitle,
               std::initializer_list<NamedRow<Names>> params, DialogSpacing spacing = {}) {
    ActionDescriptor action;
    action.id = id;
    action.name = name;
    action.hint = hint;
    action.dialogTitle = dialogTitle;
    action.spacing = spacing;
    for (const NamedRow<Names>& named : params) {
        action.params[action.paramCount++] = named.row;
    }
    action.nameCount = static_cast<int>(Names::Count);
    action.names = &NAMES_KEY<Names>;
    return action;
}

//--- The parameters' names, one enum per action, in the order of its rows

enum class CreateCanvasParam { Object, Background, Count };
enum class DrawCircleParam { Canvas, X, Y, Radius, Colour, Count };
enum class ClearCanvasParam { Canvas, Count };
enum class DrawTextParam { Canvas, Text, X, Y, TextColour, BackColour, Font, Count };

//--- The table, in the order of their ids (1, 2, ...)

inline constexpr ActionDescriptor ACTIONS[] = {
    describeAction<CreateCanvasParam>(
        1, u"kiv_CreateCanvas", u"Prepara un objeto Rectángulo con un color de fondo.",
        u"Configurar CreateCanvas",
        {objectParam(CreateCanvasParam::Object, u"Objeto Rectángulo:"),
         colourParam(CreateCanvasParam::Background, u"Color de Fondo:")}),
    describeAction<DrawCircleParam>(
        2, u"kiv_DrawCircle", u"Dibuja un círculo en el lienzo.", u"Configurar DrawCircle",
        {objectParam(DrawCircleParam::Canvas, u"Lienzo:"), numberParam(DrawCircleParam::X, u"X:"),
         numberParam(DrawCircleParam::Y, u"Y:"), numberParam(DrawCircleParam::Radius, u"Radio:"),
         colourParam(DrawCircleParam::Colour, u"Color:")},
        DialogSpacing{40, 30}),
    describeAction<ClearCanvasParam>(
        3, u"kiv_ClearCanvas", u"Borra todo el contenido del lienzo.", u"Configurar ClearCanvas",
        {objectParam(ClearCanvasParam::Canvas, u"Objeto Rectángulo:")}),
    describeAction<DrawTextParam>(
        4, u"kiv_DrawText", u"Dibuja texto con fuente, tamaño y colores personalizados.",
        u"Configurar DrawText",
        {objectParam(DrawTextParam::Canvas, u"Lienzo:"), textParam(DrawTextParam::Text, u"Texto:"),
         numberParam(DrawTextParam::X, u"X:"), numberParam(DrawTextParam::Y, u"Y:"),
         colourParam(DrawTextParam::TextColour, u"Color Texto:"),
         colourParam(DrawTextParam::BackColour, u"Color Fondo:"),
         fontParam(DrawTextParam::Font, u"Fuente:", DrawTextParam::TextColour)}),
};

constexpr int ACTION_COUNT = static_cast<int>(sizeof(ACTIONS) / sizeof(ACTIONS[0]));
constexpr int LAST_ACTION_ID = ACTIONS[ACTION_COUNT - 1].id;

constexpr bool idsRunFromOne() {
    for (int i = 0; i < ACTION_COUNT; ++i) {
        if (ACTIONS[i].id != i + 1) {
            return false;
        }
    }
    return true;
}
static_assert(idsRunFromOne(), "the host calls the actions 1, 2, ... in table order");

constexpr bool everyActionStartsWithItsObject() {
    for (const ActionDescriptor& action : ACTIONS) {
        if (action.paramCount < 1 || action.params[0].pick != Pick::Object) {
            return false;
        }
    }
    return true;
}
static_assert(everyActionStartsWithItsObject(), "slot 0 names the canvas or its object");

constexpr bool rowsFollowTheirNames() {
    for (const ActionDescriptor& action : ACTIONS) {
        if (action.paramCount != action.nameCount) {
            return false;
        }
        for (int slot = 0; slot < action.paramCount; ++slot) {
            if (action.params[slot].name != slot) {
                return false;
            }
        }
    }
    return true;
}
static_assert(rowsFollowTheirNames(), "row i of an action carries its name of value i");

// The index in ACTIONS of the action whose names enum is `Names`; a names
// enum of no action does not compile where this is asked for.
template <typename Names> constexpr int actionIndexOf() {
    int index = 0;
    while (ACTIONS[index].names != &NAMES_KEY<Names>) {
        ++index; // past the end: not a constant, so no build
    }
    return index;
}

// The row declared under `name`.
template <typename Names> constexpr const ParamRow& rowOf(Names name) {
    return ACTIONS[actionIndexOf<Names>()].params[static_cast<int>(name)];
}

// The action with that id, or null for an id no action has.
constexpr const ActionDescriptor* findAction(int id) {
    return id >= 1 && id <= ACTION_COUNT ? &ACTIONS[id - 1] : nullptr;
}

// The action called `name` (exactly), or null.
constexpr const ActionDescriptor* findActionNamed(std::u16string_view name) {
    for (const ActionDescriptor& action : ACTIONS) {
        if (name == action.name) {
            return &action;
        }
    }
    return nullptr;
}

} // namespace canvas
