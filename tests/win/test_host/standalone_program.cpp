// canvas-host as a program: its arguments and exit codes in this process,
// and canvas-host.exe as a separate process.
#include <cstdlib>

#include "tests/win/test_host/host_tests.h"

using namespace hosttests;

namespace {

//--- The program's arguments and exit codes, in this process

TEST(CanvasHost, RefusesBadArgumentsAndScripts) {
    Captured c;
    EXPECT_EQ(host::runProgram({L"--frobnicate"}, c.console()), host::EXIT_BAD_SCRIPT);
    EXPECT_EQ(host::runProgram({L"a.script", L"b.script"}, c.console()), host::EXIT_BAD_SCRIPT);
    EXPECT_EQ(host::runProgram({L"no-such.script"}, c.console()), host::EXIT_BAD_SCRIPT);

    const std::wstring script = tempPath(L"bad.script");
    // Syntax errors, unknown actions and wrong parameter counts: all in one
    // round, each with the script's file name and line, and nothing runs.
    const std::string name = host::baseName(host::utf8FromWide(script));
    writeAll(script, "object a 0 0 10 10\nobject b 0 0 10\nkiv_Unknown a\nwait x\n"
                     "kiv_ClearCanvas a b\n");
    c.err.clear();
    EXPECT_EQ(host::runProgram({L"--exit", script}, c.console()), host::EXIT_BAD_SCRIPT);
    EXPECT_EQ(c.err, (std::vector<std::string>{
                         name + ":2: usage: object NAME X Y W H",
                         name + ":3: no action \"kiv_Unknown\" is registered",
                         name + ":4: MS must be a whole number from 0 to 600000",
                         name + ":5: kiv_ClearCanvas takes 1 parameter, 2 given",
                     }));
    EXPECT_EQ(c.out.size(), kRegistration.size()) << "the registration only: nothing ran";
    DeleteFileW(script.c_str());

    c.err.clear();
    EXPECT_EQ(host::runProgram({L"--plugin", L"missing.nbp", L"--exit"}, c.console()),
              host::EXIT_NO_PLUGIN);
    EXPECT_EQ(c.err, std::vector<std::string>{"cannot load the plug-in missing.nbp"});
    // A DLL without the exports is not a plug-in.
    c.err.clear();
    EXPECT_EQ(host::runProgram({L"--plugin", L"kernel32.dll", L"--exit"}, c.console()),
              host::EXIT_NO_PLUGIN);
    EXPECT_NE(c.errors().find("an export is missing"), std::string::npos);
}

//--- canvas-host.exe as a separate process

Process runExe(const std::wstring& args) {
    return runProgram(besideThisProgram(L"canvas-host.exe"), args);
}

TEST(CanvasHostExe, RunsAScriptAndSavesTheWindow) {
    const std::wstring script = tempPath(L"scene.script");
    const std::wstring png = tempPath(L"scene.png");
    writeAll(script, "# a scene\n"
                     "window 320 240\n"
                     "object \"Rect\xC3\xA1ngulo 1\" 10 20 100 80\n"
                     "object b 150 30 120 150\n"
                     "object gone 10 150 60 60\n"
                     "kiv_CreateCanvas \"Rect\xC3\xA1ngulo 1\" \"$0000FF\"\n"
                     "destroy gone\n");
    Process p =
        runExe(L"--plugin canvas.nbp --screenshot \"" + png + L"\" --exit \"" + script + L"\"");
    EXPECT_EQ(p.exitCode, 0u) << p.err;
    std::vector<std::string> lines = splitLines(p.out);
    ASSERT_EQ(lines.size(), kRegistration.size() + 2) << p.out;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + kRegistration.size()),
              kRegistration);
    // Results carry the script's file name and line.
    EXPECT_EQ(lines[kRegistration.size()],
              host::baseName(host::utf8FromWide(script)) + ":6: kiv_CreateCanvas -> 1");
    EXPECT_EQ(lines.back(), "message 6 -> 0");

    host::Picture shot;
    ASSERT_TRUE(takePng(png, &shot));
    EXPECT_EQ(shot.width, 320);
    EXPECT_EQ(shot.height, 240);
    // A canvas, once made, covers its object's client area exactly.
    const COLORREF first = RGB(255, 0, 0);
    const POINT corners[] = {{10, 20}, {109, 20}, {10, 99}, {109, 99}};
    for (POINT pt : corners) {
        EXPECT_EQ(shot.at(pt.x, pt.y), first) << pt.x << "," << pt.y;
    }
    EXPECT_EQ(shot.at(150, 30), host::OBJECT_COLOUR);
    EXPECT_EQ(shot.at(269, 179), host::OBJECT_COLOUR);
    EXPECT_NE(shot.at(9, 50), first) << "the border stays outside";
    EXPECT_EQ(shot.at(20, 160), host::WINDOW_COLOUR) << "the destroyed object is gone";
    EXPECT_EQ(shot.at(300, 5), host::WINDOW_COLOUR);
    DeleteFileW(script.c_str());
}

// The diagnostic build says why each 0, and the host shows it after the
// result; the product, the same script, says nothing.
TEST(CanvasHostExe, ShowsTheDiagnosticBuildsReasonBesideEachZero) {
    const std::wstring script = tempPath(L"zeros.script");
    const std::string name = host::baseName(host::utf8FromWide(script));
    writeAll(script, "object a 0 0 50 50\n"
                     "kiv_DrawText \"r1\" \"x\"\n"
                     "kiv_CreateCanvas nadie \"\"\n"
                     "kiv_CreateCanvas a \"$0000FF\"\n");
    const struct {
        const wchar_t* plugin;
        std::vector<std::string> results;
    } cases[] = {
        {L"diagnostico\\canvas.nbp",
         {":2: kiv_DrawText -> 0 (no hay ning\xC3\xBAn lienzo llamado \"r1\")",
          ":3: kiv_CreateCanvas -> 0 (el programa no da ninguna ventana para el "
          "objeto \"nadie\")",
          ":4: kiv_CreateCanvas -> 1"}},
        {L"canvas.nbp",
         {":2: kiv_DrawText -> 0", ":3: kiv_CreateCanvas -> 0", ":4: kiv_CreateCanvas -> 1"}},
    };
    for (const auto& c : cases) {
        Process p = runExe(L"--plugin " + std::wstring(c.plugin) + L" --exit \"" + script + L"\"");
        EXPECT_EQ(p.exitCode, 0u) << p.err;
        std::vector<std::string> results;
        for (const std::string& line : splitLines(p.out)) {
            if (line.rfind(name + ":", 0) == 0) {
                results.push_back(line.substr(name.size()));
            }
        }
        EXPECT_EQ(results, c.results);
    }
    DeleteFileW(script.c_str());
}

TEST(CanvasHostExe, DrawsTheDemoScene) {
    const std::wstring png = tempPath(L"demo.png");
    const std::string source = CANVAS_SOURCE_DIR "/examples/demo.script";
    Process p = runExe(L"--plugin canvas.nbp --screenshot \"" + png + L"\" --exit \"" +
                       std::wstring(source.begin(), source.end()) + L"\"");
    EXPECT_EQ(p.exitCode, 0u) << p.err;
    // Every action of the scene was carried out, and each result names the
    // line of the script that ran it ("demo.script:N: ACTION -> 1").
    const std::vector<std::string> script =
        splitLines(readAll(std::wstring(source.begin(), source.end())));
    const std::string prefix = "demo.script:";
    int actions = 0;
    for (const std::string& line : splitLines(p.out)) {
        const size_t colon = line.find(": kiv_");
        if (line.rfind(prefix, 0) != 0 || colon == std::string::npos) {
            continue;
        }
        EXPECT_EQ(line.substr(line.size() - 4), "-> 1") << line;
        const size_t number = std::strtoul(line.c_str() + prefix.size(), nullptr, 10);
        const std::string action = line.substr(colon + 2, line.find(' ', colon + 2) - colon - 2);
        EXPECT_TRUE(number >= 1 && number <= script.size() &&
                    script[number - 1].rfind(action + " ", 0) == 0)
            << line;
        ++actions;
    }
    EXPECT_GE(actions, 20);
    host::Picture shot;
    ASSERT_TRUE(takePng(png, &shot));
    ASSERT_EQ(shot.width, 800);
    ASSERT_EQ(shot.height, 600);
    // An object's client area, and its canvas, start where it was declared.
    const struct {
        int x, y;
        COLORREF colour;
        const char* what;
    } expected[] = {
        {16 + 5, 16 + 130, RGB(255, 255, 255), "lienzo1: white background"},
        {16 + 284, 16 + 136, RGB(255, 0, 0), "lienzo1: red circle, right point"},
        {16 + 184, 16 + 196, RGB(0, 160, 0), "lienzo1: green circle, bottom point"},
        {16 + 164, 16 + 136, RGB(0, 0, 255), "lienzo1: blue circle, left point"},
        {400 + 200, 16 + 250, RGB(255, 255, 192), "lienzo2: pale yellow background"},
        {400 + 350, 16 + 200, RGB(0, 0, 0), "lienzo2: black circle, right point"},
        {16 + 5, 304 + 130, RGB(0, 48, 96), "lienzo3: dark blue background"},
        {16 + 304, 304 + 150, RGB(255, 255, 255), "lienzo3: white circle, right point"},
        {400 + 120, 304 + 230, RGB(255, 255, 255), "lienzo4: the circle was cleared"},
        {400 + 200, 304 + 150, RGB(255, 255, 255), "lienzo4: white after clearing"},
    };
    for (const auto& px : expected) {
        EXPECT_EQ(shot.at(px.x, px.y), px.colour) << px.what;
    }
}

} // namespace
