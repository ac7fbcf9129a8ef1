// The host's pickers, its answers to the plug-in's commands 1 (an object)
// and 10 (a colour).
#include "host/app_win.h"

#include <commdlg.h>

#include <cwchar>
#include <cwctype>

#include "host/encoding_win.h"
#include "host/list_dialog_win.h"

namespace host {

bool App::pickObject(std::string* ansiName) {
    std::vector<std::wstring> items;
    std::vector<std::string> names;
    for (const auto& entry : host_.objects) {
        names.push_back(entry.first);
        items.push_back(wide(entry.first));
    }
    int index = 0;
    if (!chooseFromList(GetActiveWindow(), L"Choose an object", items, &index)) {
        return false;
    }
    *ansiName = names[static_cast<size_t>(index)];
    return true;
}

namespace {

const size_t FIELD_TEXT_CHARS = 64;
const COLORREF COLOUR_MASK = 0xFFFFFF;

// A colour as a field holds it: "$BBGGRR" in hexadecimal or a decimal colour
// reference, blanks around it allowed; the low three bytes count.
bool readColour(std::wstring text, COLORREF* colour) {
    const size_t first = text.find_first_not_of(L" \t");
    const size_t last = text.find_last_not_of(L" \t");
    if (first == std::wstring::npos) {
        return false;
    }
    text = text.substr(first, last - first + 1);
    const bool hex = text[0] == L'$';
    const wchar_t* digits = text.c_str() + (hex ? 1 : 0);
    if (*digits == 0 || (hex && !iswxdigit(*digits))) {
        return false;
    }
    wchar_t* end = nullptr;
    const long long value = std::wcstoll(digits, &end, hex ? 16 : 10);
    if (*end != 0) {
        return false;
    }
    *colour = static_cast<COLORREF>(value) & COLOUR_MASK;
    return true;
}

// The text of the field a colour is asked for. The request carries nothing,
// so it is the window that has the focus when that is an edit field, or
// else (the "..." button that was pressed) the nearest edit field before it.
bool askingFieldText(std::wstring* text) {
    for (HWND w = GetFocus(); w; w = GetWindow(w, GW_HWNDPREV)) {
        wchar_t cls[8] = {};
        GetClassNameW(w, cls, 8);
        if (lstrcmpiW(cls, L"Edit") == 0) {
            wchar_t buffer[FIELD_TEXT_CHARS] = {};
            GetWindowTextW(w, buffer, FIELD_TEXT_CHARS);
            *text = buffer;
            return true;
        }
    }
    return false;
}

} // namespace

bool App::pickColour(COLORREF* colour) {
    // The dialog opens on the asking field's colour; on the last choice when
    // the field holds none.
    COLORREF start = lastColour_;
    std::wstring field;
    if (askingFieldText(&field)) {
        readColour(field, &start);
    }
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = GetActiveWindow();
    cc.rgbResult = start;
    cc.lpCustColors = customColours_;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorW(&cc)) {
        return false;
    }
    lastColour_ = cc.rgbResult;
    *colour = cc.rgbResult;
    return true;
}

} // namespace host
