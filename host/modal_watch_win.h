// Unattended modal boxes: the reference host saves and dismisses a box that
// a blocking plug-in call opens, as a user would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host/script.h"

namespace host {

// Watches for the modal box that a blocking plug-in call (_nbAbout,
// _nbEditAction) opens. Arms a thread timer on construction; the plug-in's
// modal loop dispatches every message of the thread, so the timer fires
// inside it. The first time a new visible top-level window of the thread is
// up, the watch saves it (when a capture file is given) and dismisses it as
// asked. Disarmed on destruction. One watch at a time.
class ModalWatch {
  public:
    ModalWatch(const std::wstring& capturePath, CloseWith close);
    ~ModalWatch();
    ModalWatch(const ModalWatch&) = delete;
    ModalWatch& operator=(const ModalWatch&) = delete;

    // Milliseconds between the timer's looks for the box.
    static constexpr UINT LOOK_INTERVAL_MS = 300;

    // Stops watching (the blocking call has returned); a watch that saw no
    // box then says so in problem().
    void disarm();

    bool sawBox() const { return box_ != nullptr; }
    bool captured() const { return captured_; }
    // What went wrong (no box, capture failed, no such button); empty if all well.
    const std::string& problem() const { return problem_; }

  private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD);
    void look();
    HWND findBox() const;
    void dismiss(HWND box);

    std::wstring capturePath_;
    CloseWith close_;
    UINT_PTR timer_ = 0;
    int looks_ = 0;
    std::vector<HWND> before_; // top-level windows of the thread when armed
    HWND box_ = nullptr;
    bool captured_ = false;
    std::string problem_;
};

} // namespace host
