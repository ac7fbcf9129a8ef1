// canvas-host as a program: its arguments, files and exit codes.
#pragma once

#include <string>
#include <vector>

#include "host/app_win.h"

namespace host {

enum ExitCode {
    EXIT_OK = 0,
    EXIT_NO_PLUGIN = 1,  // the plug-in did not load or lacks an export
    EXIT_BAD_SCRIPT = 2, // bad arguments, unreadable script, faults of the script check
    EXIT_RUN_FAILED = 3, // a command failed while running (file not written...)
};

// The whole program: `canvas-host [--plugin PATH] [--screenshot FILE.png]
// [--exit] [SCRIPT]`. Without --plugin it loads canvas.nbp from the
// program's folder; without --exit it runs until the main window closes.
// Returns the process exit code.
int runProgram(const std::vector<std::wstring>& args, const Console& console);

} // namespace host
