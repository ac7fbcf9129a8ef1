// The owner of a library the program loaded itself with LoadLibrary.
#pragma once

#include <windows.h>

// Owns one loaded library and frees it once (FreeLibrary). It cannot be
// copied; moving hands the library over and leaves the moved-from owner
// empty. Never hold one where its destructor would run under the loader
// lock (a static destroyed at DLL_PROCESS_DETACH): free it from a shutdown
// call instead.
class Module {
  public:
    Module() = default;
    explicit Module(HMODULE handle) : handle_(handle) {}
    ~Module() { reset(); }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    Module(Module&& other) noexcept : handle_(other.release()) {}
    Module& operator=(Module&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    // The library, still owned here; null when empty.
    HMODULE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Gives the library up without freeing it: the caller owns it now.
    HMODULE release() {
        HMODULE h = handle_;
        handle_ = nullptr;
        return h;
    }
    // Frees the library held (if any) and takes `handle` instead.
    void reset(HMODULE handle = nullptr) {
        if (handle_ && handle_ != handle) {
            FreeLibrary(handle_);
        }
        handle_ = handle;
    }

  private:
    HMODULE handle_ = nullptr;
};
