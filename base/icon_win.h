// The owner of an icon the program made itself (LoadImage without
// LR_SHARED, CreateIconIndirect). A shared icon, such as LoadIcon's, belongs
// to the system and must never be given to it.
#pragma once

#include <windows.h>

// Owns one icon and destroys it once (DestroyIcon). It cannot be copied (a
// copy would destroy the icon twice); moving hands the icon over and leaves
// the moved-from owner empty, destroying nothing.
class Icon {
  public:
    Icon() = default;
    explicit Icon(HICON handle) : handle_(handle) {}
    ~Icon() { reset(); }
    Icon(const Icon&) = delete;
    Icon& operator=(const Icon&) = delete;
    Icon(Icon&& other) noexcept : handle_(other.release()) {}
    Icon& operator=(Icon&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    // The icon, still owned here; null when empty.
    HICON get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Gives the icon up without destroying it: the caller owns it now.
    HICON release() {
        HICON h = handle_;
        handle_ = nullptr;
        return h;
    }
    // Destroys the icon held (if any) and takes `handle` instead.
    void reset(HICON handle = nullptr) {
        if (handle_) {
            DestroyIcon(handle_);
        }
        handle_ = handle;
    }

  private:
    HICON handle_ = nullptr;
};
