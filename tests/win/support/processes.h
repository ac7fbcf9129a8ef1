// Other programs run from a test: canvas-host.exe, or the test program
// itself with other arguments, with their output read back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A file name in the temporary folder, unique to this process.
std::wstring tempPath(const wchar_t* name);
// A file's bytes; empty when it cannot be read.
std::string readAll(const std::wstring& path);

// The path of this test program, and of a file beside it.
std::wstring thisProgram();
std::wstring besideThisProgram(const wchar_t* name);

struct Process {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out, err;
};

// Runs the program, its stdout and stderr in files, and waits for it: a hang
// guard, generous for the emulated 32-bit tier, kills it and fails the test.
// `environment`: variables (NAME=value) put into this process's own for it.
Process runProgram(const std::wstring& path, const std::wstring& args,
                   const std::vector<std::wstring>& environment = {});

// Runs the tests of this program that `filter` names (a GoogleTest filter,
// disabled tests included) in a process of their own.
Process runOwnTests(const std::wstring& filter);
// Whether such a process ended normally after exactly one test, passed.
bool onePassed(const Process& p);
