// The parameter dialogs behind _nbEditAction: the layouts of
// editor/dialogs.h built with the toolkit, the "..." picks through the host
// and the font dialog, and the write-back on "OK".
#include "editor/editor_win.h"

#include <windows.h>

#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <new>
#include <vector>

#include "canvas/action_table.h"
#include "canvas/convert.h"
#include "canvas/failure.h"
#include "editor/dialogs.h"
#include "editor/modal_win.h"
#include "ui/toolkit_win.h"

namespace editor {

namespace {

constexpr DWORD FONT_DIALOG_FLAGS = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
static_assert(FONT_DIALOG_FLAGS == 0x141, "screen fonts, start from the LOGFONT, effects");
static_assert(sizeof(void*) != 4 || sizeof(CHOOSEFONTW) == 60, "the 32-bit layout");

//--- The dialog

// The toolkit's control kind for a layout row.
int toolkitKind(ControlKind kind) {
    switch (kind) {
    case ControlKind::Edit:
        return UI_KIND_EDIT;
    case ControlKind::Button:
        return UI_KIND_BUTTON;
    case ControlKind::Label:
        break;
    }
    return UI_KIND_LABEL;
}

// Creates the layout's controls in table order (which is the Tab order),
// each field showing its slot's text. False when one could not be made:
// "OK" would then write an empty text over that slot.
bool addControls(const DialogLayout& layout, const std::vector<Text>& slotTexts) {
    for (size_t i = 0; i < layout.rowCount; ++i) {
        const ControlRow& row = layout.rows[i];
        ui::ControlArgs control;
        control.kind = toolkitKind(row.kind);
        control.number = row.number;
        control.place = ui::Place{row.x, row.y, row.width, row.height};
        control.text = row.kind == ControlKind::Edit
                           ? canvas::slotText(slotTexts, static_cast<size_t>(row.slot))
                           : row.text;
        if (!ui::addControl(control)) {
            return false;
        }
    }
    return true;
}

// Every slot's text from its field, whether or not the field changed. The
// texts are all read first, so a failure to read leaves *slots as it was.
void readFields(const DialogLayout& layout, std::vector<Text>* slots) {
    std::vector<Text> texts(slots->size());
    for (size_t i = 0; i < layout.rowCount; ++i) {
        const ControlRow& row = layout.rows[i];
        if (row.kind == ControlKind::Edit && static_cast<size_t>(row.slot) < texts.size()) {
            texts[static_cast<size_t>(row.slot)] = UiGetText(row.number);
        }
    }
    slots->swap(texts);
}

//--- Picks

// The host's answer goes into the field as it was written.
void fillFromPick(bool answered, const Text& reply, int field) {
    if (answered) {
        UiSetText(field, reply);
    }
}

// -value, wrapping like the 32-bit arithmetic it stands for instead of
// overflowing on the most negative number.
LONG negated(int value) {
    return static_cast<LONG>(0u - static_cast<uint32_t>(value));
}

int32_t magnitude(int value) {
    return value < 0 ? negated(value) : value;
}

// The font dialog on the button's font field and its colour field; on its
// "OK" both fields take the choice (strike-out is not kept). Cancelled:
// nothing.
void pickFont(const ControlRow& button) {
    const FontDialogStart start = fontDialogStart(UiGetText(button.target));
    LOGFONTW font{};
    std::copy(start.face.begin(), start.face.end(), font.lfFaceName);
    font.lfHeight = negated(MulDiv(start.points, ui::screenDpi(), 72));
    font.lfWeight = start.bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = start.italic ? 1 : 0;
    font.lfUnderline = start.underline ? 1 : 0;

    CHOOSEFONTW choice{};
    choice.lStructSize = sizeof(choice);
    choice.hwndOwner = UiWindowHandle(DIALOG_WINDOW);
    choice.lpLogFont = &font;
    choice.Flags = FONT_DIALOG_FLAGS;
    choice.rgbColors = parseColor(UiGetText(button.colourTarget));
    if (!ChooseFontW(&choice)) {
        return;
    }
    const int32_t points = magnitude(MulDiv(font.lfHeight, 72, ui::screenDpi()));
    const Text face(reinterpret_cast<const char16_t*>(font.lfFaceName),
                    wcsnlen(font.lfFaceName, LF_FACESIZE));
    UiSetText(button.target, fontFieldText(face, points, font.lfWeight, font.lfItalic != 0,
                                           font.lfUnderline != 0));
    UiSetText(button.colourTarget, colourFieldText(choice.rgbColors));
}

void runPick(const ControlRow& button, HostLink& host) {
    Text reply;
    switch (button.pick) {
    case Pick::Object:
        fillFromPick(host.pickObject(&reply), reply, button.target);
        break;
    case Pick::Colour:
        fillFromPick(host.pickColour(&reply), reply, button.target);
        break;
    case Pick::Font:
        pickFont(button);
        break;
    case Pick::None:
        break;
    }
}

// Runs the shown dialog's loop: 1 on "OK" with *slots read from the
// fields, else 0 with the reason.
int untilClosed(const DialogLayout& layout, std::vector<Text>* slots, HostLink& host,
                const Text& actionName) {
    ModalLoop loop;
    for (;;) {
        const int control = loop.next();
        if (control == ModalLoop::ENDED || control == CONTROL_CANCEL) {
            return canvas::refuse(canvas::ActionFailure::DialogClosed, actionName);
        }
        if (control == CONTROL_OK) {
            readFields(layout, slots);
            return 1;
        }
        const ControlRow* row = findControl(layout, control);
        if (row && row->kind == ControlKind::Button) {
            runPick(*row, host);
        }
    }
}

int runDialog(const DialogLayout& layout, std::vector<Text>* slots, HostLink& host) {
    const Text actionName = canvas::findAction(layout.actionId)->name;
    if (!openDialog(layout.title, DIALOG_WIDTH, layout.height)) {
        return canvas::refuse(canvas::ActionFailure::NoDialog, actionName);
    }
    const int result = addControls(layout, *slots)
                           ? untilClosed(layout, slots, host, actionName)
                           : canvas::refuse(canvas::ActionFailure::NoDialog, actionName);
    UiCloseWindow(DIALOG_WINDOW);
    return result;
}

} // namespace

int editAction(int id, std::vector<Text>* slots, HostLink& host) {
    const DialogLayout* layout = findDialog(id);
    if (!layout) {
        return canvas::refuse(canvas::ActionFailure::UnknownAction, formatNumber(id));
    }
    if (dialogOpen()) {
        return canvas::refuse(canvas::ActionFailure::DialogOpen);
    }
    try {
        return runDialog(*layout, slots, host);
    } catch (const std::bad_alloc&) {
        // Out of memory while reading texts: the slots were not touched.
        UiCloseWindow(DIALOG_WINDOW);
        return canvas::refuse(canvas::ActionFailure::OutOfMemory);
    }
}

} // namespace editor
