#include "tests/win/support/processes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <fstream>
#include <iterator>

std::wstring tempPath(const wchar_t* name) {
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + L"canvas-host-test-" + std::to_wstring(GetCurrentProcessId()) +
           L"-" + name;
}

std::string readAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::wstring thisProgram() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

std::wstring besideThisProgram(const wchar_t* name) {
    const std::wstring self = thisProgram();
    return self.substr(0, self.find_last_of(L"\\/") + 1) + name;
}

namespace {

std::wstring nameOf(const std::wstring& variable) {
    return variable.substr(0, variable.find(L'=', 1)); // "=C:" (a drive's folder) starts with one
}

int compareNames(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(nameOf(a).c_str(), nameOf(b).c_str());
}

// This process's environment with `changes` put in, as CreateProcessW takes
// a block: sorted by name without regard to case, each variable ended by a
// zero and the block by one more.
std::wstring environmentWith(const std::vector<std::wstring>& changes) {
    std::vector<std::wstring> variables = changes;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* v = own; *v; v += std::wcslen(v) + 1) {
        if (std::none_of(changes.begin(), changes.end(),
                         [&](const std::wstring& c) { return compareNames(c, v) == 0; })) {
            variables.emplace_back(v);
        }
    }
    FreeEnvironmentStringsW(own);
    std::sort(variables.begin(), variables.end(),
              [](const std::wstring& a, const std::wstring& b) { return compareNames(a, b) < 0; });
    std::wstring block;
    for (const std::wstring& v : variables) {
        block += v;
        block += L'\0';
    }
    return block + L'\0';
}

} // namespace

Process runProgram(const std::wstring& path, const std::wstring& args,
                   const std::vector<std::wstring>& environment) {
    Process result;
    const std::wstring outPath = tempPath(L"stdout.txt"), errPath = tempPath(L"stderr.txt");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = err;
    std::wstring cmd = L"\"" + path + L"\" " + args;
    PROCESS_INFORMATION pi{};
    std::wstring block = environment.empty() ? std::wstring() : environmentWith(environment);
    if (CreateProcessW(path.c_str(), &cmd[0], nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                       block.empty() ? nullptr : &block[0], nullptr, &si, &pi)) {
        if (WaitForSingleObject(pi.hProcess, 300000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(pi.hProcess, &result.exitCode);
        } else {
            TerminateProcess(pi.hProcess, 99);
            ADD_FAILURE() << "the program did not finish";
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << std::string(path.begin(), path.end());
    }
    CloseHandle(out);
    CloseHandle(err);
    result.out = readAll(outPath);
    result.err = readAll(errPath);
    DeleteFileW(outPath.c_str());
    DeleteFileW(errPath.c_str());
    return result;
}

Process runOwnTests(const std::wstring& filter) {
    return runProgram(thisProgram(), L"--gtest_also_run_disabled_tests --gtest_filter=" + filter);
}

bool onePassed(const Process& p) {
    return p.exitCode == 0 && p.out.find("[  PASSED  ] 1 test.") != std::string::npos;
}
