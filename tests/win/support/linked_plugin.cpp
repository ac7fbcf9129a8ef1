#include "tests/win/support/linked_plugin.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "host/host_win.h"
#include "plugin/plugin_win.h"
#include "tests/win/support/ui_driver.h"

namespace {

canvas::ActionFailure reasonOfResult(int result) {
    const canvas::ActionFailure reason = canvas::lastFailure();
    EXPECT_EQ(result == 0, reason != canvas::ActionFailure::None)
        << "result " << result << ", reason " << static_cast<int>(reason);
    return reason;
}

} // namespace

LinkedPlugin::LinkedPlugin() {
    plugin::attach(GetModuleHandleW(nullptr));
    plugin::state().hostInterface = &host::Host::interfaceProc;
}

LinkedPlugin::~LinkedPlugin() {
    plugin::state().hostInterface = nullptr;
    plugin::detach();
    pumpMessages();
}

canvas::ActionFailure LinkedPlugin::reasonOf(int id, const std::vector<const char*>& texts) {
    host::Params params(texts);
    const int result = plugin::execAction(id, params.data());
    pumpMessages();
    return reasonOfResult(result);
}

canvas::ActionFailure LinkedPlugin::reasonOfNullArray(int id) {
    return reasonOfResult(plugin::execAction(id, nullptr));
}
