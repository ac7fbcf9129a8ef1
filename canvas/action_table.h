// Every action the plug-in adds to the host's script language, one
// descriptor each: what the host registers (id, name, hint, parameter
// types), what the editor shows (the dialog's title and one row per
// parameter) and the function that runs it. Registration, dispatch, the
// dialogs and every count derive from this table, so an action is added
// here and in its own function, and nowhere else.
//
// Platform-free: the run functions are only named here (defined in
// canvas/actions_win.cpp). Platform-free code reads the table in constant
// expressions only, so that it never needs their code.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <vector>

#include "base/no_destroy.h"
#include "base/text.h"
#include "canvas/host_link.h"

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
};

constexpr ParamRow objectParam(const char16_t* label) {
    return {label, ParamType::Object, Pick::Object, NO_SLOT};
}
constexpr ParamRow numberParam(const char16_t* label) {
    return {label, ParamType::Number, Pick::None, NO_SLOT};
}
constexpr ParamRow textParam(const char16_t* label) {
    return {label, ParamType::Text, Pick::None, NO_SLOT};
}
constexpr ParamRow colourParam(const char16_t* label) {
    return {label, ParamType::Text, Pick::Colour, NO_SLOT};
}
constexpr ParamRow fontParam(const char16_t* label, int colourSlot) {
    return {label, ParamType::Text, Pick::Font, colourSlot};
}

// The vertical spacing of a dialog below its last field and below its
// "OK"/"Cancelar" row, in pixels.
struct DialogSpacing {
    int belowFields = 35;
    int belowButtons = 35;
};

using Params = std::vector<Text>;

// The text of parameter slot `slot`: empty for a slot the host left out
// (and for NO_SLOT).
inline const Text& slotText(const Params& params, size_t slot) {
    static NoDestroy<const Text> empty;
    return slot < params.size() ? params[slot] : *empty;
}

// Runs an action on the texts of its parameter slots (a slot the host left
// out reads as empty); `name` is slot 0, never empty. 1 when the action was
// carried out; 0 otherwise, with its reason recorded (canvas/failure.h).
using ActionRun = int (*)(const Params& params, const Text& name, HostLink& host);

struct ActionDescriptor {
    int id = 0; // the number the host calls it with
    const char16_t* name = u"";
    const char16_t* hint = u"";
    const char16_t* dialogTitle = u"";
    DialogSpacing spacing;
    int paramCount = 0;
    ParamRow params[MAX_ACTION_PARAMS] = {};
    ActionRun run = nullptr;
};

constexpr ActionDescriptor describeAction(int id, const char16_t* name, const char16_t* hint,
                                          ActionRun run, const char16_t* dialogTitle,
                                          std::initializer_list<ParamRow> params,
                                          DialogSpacing spacing = {}) {
    ActionDescriptor action;
    action.id = id;
    action.name = name;
    action.hint = hint;
    action.dialogTitle = dialogTitle;
    action.spacing = spacing;
    action.run = run;
    for (const ParamRow& row : params) {
        action.params[action.paramCount++] = row;
    }
    return action;
}

//--- The actions' own functions (canvas/actions_win.cpp)

int createCanvas(const Params& params, const Text& name, HostLink& host);
int drawCircle(const Params& params, const Text& name, HostLink& host);
int clearCanvas(const Params& params, const Text& name, HostLink& host);
int drawText(const Params& params, const Text& name, HostLink& host);

//--- The table, in the order of their ids (1, 2, ...)

inline constexpr ActionDescriptor ACTIONS[] = {
    describeAction(1, u"kiv_CreateCanvas", u"Prepara un objeto Rectángulo con un color de fondo.",
                   createCanvas, u"Configurar CreateCanvas",
                   {objectParam(u"Objeto Rectángulo:"), colourParam(u"Color de Fondo:")}),
    describeAction(2, u"kiv_DrawCircle", u"Dibuja un círculo en el lienzo.", drawCircle,
                   u"Configurar DrawCircle",
                   {objectParam(u"Lienzo:"), numberParam(u"X:"), numberParam(u"Y:"),
                    numberParam(u"Radio:"), colourParam(u"Color:")},
                   DialogSpacing{40, 30}),
    describeAction(3, u"kiv_ClearCanvas", u"Borra todo el contenido del lienzo.", clearCanvas,
                   u"Configurar ClearCanvas", {objectParam(u"Objeto Rectángulo:")}),
    describeAction(4, u"kiv_DrawText", u"Dibuja texto con fuente, tamaño y colores personalizados.",
                   drawText, u"Configurar DrawText",
                   {objectParam(u"Lienzo:"), textParam(u"Texto:"), numberParam(u"X:"),
                    numberParam(u"Y:"), colourParam(u"Color Texto:"), colourParam(u"Color Fondo:"),
                    fontParam(u"Fuente:", 4)}),
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

// The action with that id, or null for an id no action has.
constexpr const ActionDescriptor* findAction(int id) {
    return id >= 1 && id <= ACTION_COUNT ? &ACTIONS[id - 1] : nullptr;
}

} // namespace canvas
