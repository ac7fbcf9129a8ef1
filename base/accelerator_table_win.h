// The owner of a keyboard accelerator table made with
// CreateAcceleratorTable (one loaded from a resource is freed by the system).
#pragma once

#include <windows.h>

// Owns one accelerator table and destroys it once (DestroyAcceleratorTable).
// It cannot be copied; moving hands the table over and leaves the moved-from
// owner empty, destroying nothing.
class AcceleratorTable {
  public:
    AcceleratorTable() = default;
    explicit AcceleratorTable(HACCEL handle) : handle_(handle) {}
    ~AcceleratorTable() { reset(); }
    AcceleratorTable(const AcceleratorTable&) = delete;
    AcceleratorTable& operator=(const AcceleratorTable&) = delete;
    AcceleratorTable(AcceleratorTable&& other) noexcept : handle_(other.release()) {}
    AcceleratorTable& operator=(AcceleratorTable&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    // The table, still owned here; null when empty.
    HACCEL get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Gives the table up without destroying it: the caller owns it now.
    HACCEL release() {
        HACCEL h = handle_;
        handle_ = nullptr;
        return h;
    }
    // Destroys the table held (if any) and takes `handle` instead.
    void reset(HACCEL handle = nullptr) {
        if (handle_) {
            DestroyAcceleratorTable(handle_);
        }
        handle_ = handle;
    }

  private:
    HACCEL handle_ = nullptr;
};
