// Text inside the plug-in: UTF-16, one type everywhere. Host strings are
// converted at the plug-in's boundary (plugin/host_exchange_win.h).
#pragma once

#include <string>

using Text = std::u16string;
