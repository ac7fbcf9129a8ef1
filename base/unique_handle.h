// The one owner of every handle the program acquires: a move-only holder of
// one handle and of the policy that closes it. Each kind of handle is one
// alias line over it, naming its close function (UniqueAny below); only
// owners whose close needs more than the handle (a DC and its window, a
// selection and its DC) have a small policy of their own.
#pragma once

#include <type_traits>
#include <utility>

// Owns one handle and closes it once, by calling `Close` with it. `Close`
// is a function object; it may carry what the close needs besides the
// handle (the window a DC came from, the DC a selection is put back into),
// and that travels with the handle on a move. The value-initialised handle
// (null, 0) is empty and is never closed.
//
// It cannot be copied (a copy would close twice); moving hands the handle
// over and leaves the moved-from owner empty, closing nothing.
template <typename Handle, typename Close> class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle, Close close = Close()) noexcept
        : handle_(handle), close_(close) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()), close_(other.close_) {}
    // Closes the handle held here (with its own policy) before taking the
    // other's handle and policy.
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
            close_ = other.close_;
        }
        return *this;
    }

    // The handle, still owned here; empty when none is held.
    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Handle(); }
    // Gives the handle up without closing it: the caller owns it now.
    Handle release() { return std::exchange(handle_, Handle()); }
    // Closes the handle held (if any) and takes `handle` instead, under the
    // same policy. Giving it the handle it holds already is refused, as that
    // would keep a closed handle and close it a second time later.
    void reset(Handle handle = Handle()) {
        if (handle != Handle() && handle == handle_) {
            return;
        }
        const Handle old = std::exchange(handle_, handle);
        if (old != Handle()) {
            close_(old);
        }
    }

  private:
    Handle handle_ = Handle();
    Close close_ = Close();
};

// The close policy that calls the function `Close`: with the handle, or,
// for a close that takes none (a pass that simply ends), without it.
template <auto Close> struct CloseWith {
    template <typename Handle> void operator()(Handle handle) const {
        if constexpr (std::is_invocable_v<decltype(Close), Handle>) {
            Close(handle);
        } else {
            Close();
        }
    }
};

// The owner of a handle closed by one function: a new kind is one line,
// `using Icon = UniqueAny<HICON, &DestroyIcon>;`.
template <typename Handle, auto Close> using UniqueAny = UniqueHandle<Handle, CloseWith<Close>>;
