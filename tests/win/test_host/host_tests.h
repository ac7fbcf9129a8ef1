// What the reference host's tests share: the host application with its
// console captured, a modal box like the plug-in's, and the host's texts.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>

#include "canvas/action_table.h"
#include "host/app_win.h"
#include "host/program_win.h"
#include "host/encoding_win.h"
#include "tests/win/support/global_spy.h"
#include "tests/win/support/host_app.h"
#include "tests/win/support/processes.h"
#include "tests/win/support/ui_driver.h"

namespace hosttests {

using host::HostString;

void writeAll(const std::wstring& path, const std::string& bytes);
// Decodes a PNG file into `picture` and deletes the file; false when it is none.
bool takePng(const std::wstring& path, host::Picture* picture);

// What canvas-host prints for the plug-in's registration (UTF-8).
extern const std::vector<std::string> kRegistration;

constexpr COLORREF kBoxColour = RGB(40, 160, 90);

enum class Ended { Running, Ok, Cancel, CloseBox, Timeout };

// Opens a captioned 300 x 120 box owned by the active window, with buttons
// "OK" (4) and "Cancelar" (5), and waits in its own loop until one of them
// or the close box ends it. Its client area is painted kBoxColour.
Ended runBox(const wchar_t* okCaption = L"OK");

using Close = host::CloseWith;
// The request of command 1, for an object's name.
constexpr const char* kPickObject = "ObjectType=4";

// A question to the host as the plug-in asks it, with a ModalWatch closing
// the box it opens as `close` says, and what must come of it.
struct Answer {
    const char* what;
    int command;
    const char* request;
    Close close;
    int result;
    bool box;          // a box came up
    const char* reply; // the slot's text then, null for none
};

class HostApp : public HostAppTest {
  protected:
    host::Picture shot() {
        host::Picture p;
        EXPECT_TRUE(host::captureWindow(app.mainWindow(), false, &p));
        return p;
    }

    // Asks the host as the plug-in does: the request in a slot, then the
    // callback; returns the result, leaves the reply in `slot`.
    int ask(int command, const char* request, HostString* slot) {
        *slot = request ? host::allocString(request) : nullptr;
        const ModalGuard guard;
        return host::Host::interfaceProc(command, slot);
    }
    void expectAnswer(const Answer& answer);
    // The reply to a request the host answers with 1, which frees the request it replaces.
    std::string replyTo(int command, const char* request);
    // Chooses a command of the host's menu, closing its box as `close` says;
    // true when a box came up.
    bool menu(int command, Close close) {
        host::ModalWatch watch(L"", close);
        const ModalGuard guard;
        SendMessageW(app.mainWindow(), WM_COMMAND, command, 0);
        return watch.sawBox();
    }
};

} // namespace hosttests
