// canvas-host: the reference host program. Loads a plug-in, registers it,
// shows its objects in a main window and runs a script of actions.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/program_win.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    // Plain LF line ends, as the script files have them.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    host::Console console;
    // Flushed line by line so that the record survives a crash in the plug-in.
    console.out = [](const std::string& line) {
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
    };
    console.err = [](const std::string& line) {
        std::fputs(("canvas-host: " + line + "\n").c_str(), stderr);
        std::fflush(stderr);
    };
    return host::runProgram(args, console);
}
