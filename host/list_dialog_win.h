// A small modal list to choose from: the host's object picker and its
// menu's choice of action.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace host {

// Lets the user choose one of `items` in a modal dialog owned by `owner`,
// centred on it; the first item starts selected, and the owner is active
// again once the dialog is gone. True with the chosen index in *index
// on OK or a double click; false, *index untouched, when cancelled or when
// there is nothing to choose.
bool chooseFromList(HWND owner, const std::wstring& title, const std::vector<std::wstring>& items,
                    int* index);

} // namespace host
