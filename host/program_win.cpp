#include "host/program_win.h"

#include <cstdio>

#include "host/encoding_win.h"

namespace host {

namespace {

const wchar_t DEFAULT_PLUGIN[] = L"canvas.nbp";
const size_t READ_CHUNK_BYTES = 4096;
const char USAGE[] = "usage: canvas-host [--plugin PATH] [--screenshot FILE.png] [--exit] [SCRIPT]";

// A file in the program's own folder.
std::wstring besideExe(const wchar_t* file) {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    size_t slash = dir.find_last_of(L"\\/");
    dir = slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1);
    return dir + file;
}

bool readFile(const std::wstring& path, std::string* bytes) {
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) {
        return false;
    }
    char buffer[READ_CHUNK_BYTES];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes->append(buffer, n);
    }
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

} // namespace

int runProgram(const std::vector<std::wstring>& args, const Console& console) {
    std::wstring pluginPath, shot, scriptPath;
    bool exitWhenDone = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if ((a == L"--plugin" || a == L"--screenshot") && i + 1 < args.size()) {
            (a == L"--plugin" ? pluginPath : shot) = args[++i];
        } else if (a == L"--exit") {
            exitWhenDone = true;
        } else if (a.compare(0, 2, L"--") == 0 || !scriptPath.empty()) {
            console.err(USAGE);
            return EXIT_BAD_SCRIPT;
        } else {
            scriptPath = a;
        }
    }
    if (pluginPath.empty()) {
        pluginPath = besideExe(DEFAULT_PLUGIN);
    }

    // Syntax errors do not stop here: the actions are checked against the
    // registration too, so that every fault is reported in one round.
    Script script;
    std::string name;
    if (!scriptPath.empty()) {
        std::string text;
        if (!readFile(scriptPath, &text)) {
            console.err("cannot read the script " + utf8FromWide(scriptPath));
            return EXIT_BAD_SCRIPT;
        }
        script = parseScript(text);
        name = baseName(utf8FromWide(scriptPath));
    }

    PluginModule plugin(pluginPath);
    if (!plugin.ok()) {
        for (const ScriptError& e : script.errors) {
            console.err(formatError(e, name));
        }
        console.err("cannot load the plug-in " + utf8FromWide(pluginPath) +
                    (plugin.handle() ? " (an export is missing)" : ""));
        return EXIT_NO_PLUGIN;
    }
    App app(plugin, console);
    app.unattended = exitWhenDone;
    app.scriptName = name;
    app.connect();
    if (!app.check(script)) {
        return EXIT_BAD_SCRIPT;
    }
    if (!app.openMainWindow()) {
        console.err("cannot open the main window");
        return EXIT_RUN_FAILED;
    }
    bool ok = app.run(script);
    if (!shot.empty() && app.mainWindow() && !app.screenshot(shot)) {
        console.err("cannot write the screenshot " + utf8FromWide(shot));
        ok = false;
    }
    if (exitWhenDone) {
        app.close();
    } else {
        app.loop();
    }
    return ok ? EXIT_OK : EXIT_RUN_FAILED;
}

} // namespace host
