// The host's pickers, its answers to the plug-in's commands 1 (an object)
// and 10 (a colour).
#include "host/app_win.h"

#include <commdlg.h>

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

bool App::pickColour(COLORREF* colour) {
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = GetActiveWindow();
    cc.rgbResult = lastColour_;
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
