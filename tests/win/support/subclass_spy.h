// A host that subclasses every control it sees, as skinning tools do from a
// CBT hook: each window of one class made on this thread while the hook is
// in place gets a procedure of its own, beneath whatever the plug-in puts in
// front of it afterwards. Each procedure records what it is handed and
// passes it on to the window's own procedure. Once its window has gone the
// procedure counts as freed (a host frees its thunk then): a later call is
// a stray and goes no further.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <vector>

class SubclassSpy {
  public:
    // Hooks the window creations of this thread: windows of `className` get
    // their own recording procedure (a handful per program at most).
    explicit SubclassSpy(const wchar_t* className);
    ~SubclassSpy() { unhook(); } // the procedures stay with their windows
    SubclassSpy(const SubclassSpy&) = delete;
    SubclassSpy& operator=(const SubclassSpy&) = delete;

    // Stops subclassing new windows.
    void unhook();
    // The windows subclassed, in the order they were made.
    std::vector<HWND> windows() const;
    // How often window i's procedure was handed `msg` (with `wp`, when
    // given) for its own window.
    size_t seen(size_t i, UINT msg, std::optional<WPARAM> wp = std::nullopt) const;
    // Calls to window i's procedure for another window, or once its own
    // window had gone.
    size_t strays(size_t i) const;

  private:
    static LRESULT CALLBACK hookProc(int code, WPARAM wp, LPARAM lp);

    HHOOK hook_ = nullptr;
    size_t first_; // this spy's first procedure in the program's pool
};
