// The parameter dialogs behind _nbEditAction: the layouts of
// editor/dialogs.h built with the toolkit, the "..." picks through the host
// and the font dialog, and the write-back on "OK".
#include "editor/editor_win.h"

#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <new>
#include <vector>

#include "canvas/convert.h"
#include "editor/dialogs.h"
#include "editor/modal_win.h"
#include "plugin/actions.h"
#include "plugin/win_util.h"
#include "ui/toolkit_win.h"

namespace editor {

namespace {

constexpr DWORD FONT_DIALOG_FLAGS = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
static_assert(FONT_DIALOG_FLAGS == 0x141, "screen fonts, start from the LOGFONT, effects");
static_assert(sizeof(void*) != 4 || sizeof(CHOOSEFONTW) == 60, "the 32-bit layout");

//--- The dialog

// Creates the layout's controls in table order (which is the Tab order),
// each field showing its slot's text. False when one could not be made:
// "OK" would then write an empty text over that slot.
bool addControls(const DialogLayout& layout, const std::vector<Text>& slotTexts) {
    for (size_t i = 0; i < layout.rowCount; ++i) {
        const ControlRow& row = layout.rows[i];
        intptr_t made = 0;
        switch (row.kind) {
        case ControlKind::Label:
            made = UiAddLabel(row.number, row.x, row.y, row.width, row.height, row.text,
                              UI_ALIGN_LEFT);
            break;
        case ControlKind::Edit:
            made = UiAddEdit(row.number, row.x, row.y, row.width, row.height,
                             slotTexts[static_cast<size_t>(row.slot)]);
            break;
        case ControlKind::Button:
            made = UiAddButton(row.number, row.x, row.y, row.width, row.height, row.text);
            break;
        }
        if (!made) {
            return false;
        }
    }
    return true;
}

// Every slot of the action from its field, in slot order, each a fresh host
// string (the old one freed) whether or not the field changed. The texts
// are all read first, so a failure to read leaves every slot as it was.
void writeSlots(const DialogLayout& layout, size_t slotCount, ParamArray params) {
    std::vector<Text> texts(slotCount);
    for (size_t i = 0; i < layout.rowCount; ++i) {
        const ControlRow& row = layout.rows[i];
        if (row.kind == ControlKind::Edit) {
            texts[static_cast<size_t>(row.slot)] = UiGetText(row.number);
        }
    }
    for (size_t slot = 0; slot < slotCount; ++slot) {
        setParamString(&params[slot], texts[slot]);
    }
}

//--- Picks

void pickFromHostInto(int command, int field) {
    Text reply;
    if (pickFromHost(command, &reply)) {
        UiSetText(field, reply);
    }
}

int screenPixelsPerInch() {
    ScreenDC screen;
    return screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
}

// -value, wrapping like the 32-bit arithmetic it stands for instead of
// overflowing on the most negative number.
LONG negated(int value) {
    return static_cast<LONG>(0u - static_cast<uint32_t>(value));
}

int32_t magnitude(int value) {
    return value < 0 ? negated(value) : value;
}

// The font dialog on the font field and the text colour; on its "OK" both
// fields take the choice (strike-out is not kept). Cancelled: nothing.
void pickFont() {
    const FontDialogStart start = fontDialogStart(UiGetText(CONTROL_FONT_FIELD));
    LOGFONTW font{};
    std::copy(start.face.begin(), start.face.end(), font.lfFaceName);
    font.lfHeight = negated(MulDiv(start.points, screenPixelsPerInch(), 72));
    font.lfWeight = start.bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = start.italic ? 1 : 0;
    font.lfUnderline = start.underline ? 1 : 0;

    CHOOSEFONTW choice{};
    choice.lStructSize = sizeof(choice);
    choice.hwndOwner = UiWindowHandle(DIALOG_WINDOW);
    choice.lpLogFont = &font;
    choice.Flags = FONT_DIALOG_FLAGS;
    choice.rgbColors = parseColor(UiGetText(CONTROL_TEXT_COLOUR_FIELD));
    if (!ChooseFontW(&choice)) {
        return;
    }
    const int32_t points = magnitude(MulDiv(font.lfHeight, 72, screenPixelsPerInch()));
    const Text face(reinterpret_cast<const char16_t*>(font.lfFaceName),
                    wcsnlen(font.lfFaceName, LF_FACESIZE));
    UiSetText(CONTROL_FONT_FIELD, fontFieldText(face, points, font.lfWeight, font.lfItalic != 0,
                                                font.lfUnderline != 0));
    UiSetText(CONTROL_TEXT_COLOUR_FIELD, colourFieldText(choice.rgbColors));
}

void runPick(const ControlRow& button) {
    switch (button.pick) {
    case Pick::Object:
        pickFromHostInto(HOST_CMD_SELECT_OBJECT, button.target);
        break;
    case Pick::Colour:
        pickFromHostInto(HOST_CMD_SELECT_COLOUR, button.target);
        break;
    case Pick::Font:
        pickFont();
        break;
    case Pick::None:
        break;
    }
}

int runDialog(const DialogLayout& layout, const ActionInfo& action, ParamArray params) {
    const size_t slotCount = static_cast<size_t>(action.count);
    std::vector<Text> slotTexts(slotCount);
    for (size_t slot = 0; slot < slotCount; ++slot) {
        slotTexts[slot] = fromHostString(params[slot]);
    }
    HWND owner = GetActiveWindow(); // may be null: the dialog then shows at 0, 0
    if (!UiOpenWindow(DIALOG_WINDOW, 0, 0, DIALOG_WIDTH, layout.height, layout.title,
                      UI_FLAGS_DIALOG, owner)) {
        return 0;
    }
    int result = 0;
    if (addControls(layout, slotTexts)) {
        ModalLoop loop;
        for (;;) {
            const int control = loop.next();
            if (control == ModalLoop::ENDED || control == CONTROL_CANCEL) {
                break;
            }
            if (control == CONTROL_OK) {
                writeSlots(layout, slotCount, params);
                result = 1;
                break;
            }
            const ControlRow* row = findControl(layout, control);
            if (row && row->kind == ControlKind::Button) {
                runPick(*row);
            }
        }
    }
    UiCloseWindow(DIALOG_WINDOW);
    return result;
}

} // namespace

int editAction(int id, ParamArray params) {
    const ActionInfo* action = findAction(id);
    const DialogLayout* layout = findDialog(id);
    if (!params || !action || !layout || dialogOpen()) {
        return 0;
    }
    try {
        return runDialog(*layout, *action, params);
    } catch (const std::bad_alloc&) {
        // Out of memory while reading texts: the slots were not touched.
        UiCloseWindow(DIALOG_WINDOW);
        return 0;
    }
}

} // namespace editor
