// Storage for a program-wide object that the C runtime never destroys.
// Platform-free.
//
// A DLL's static destructors run at DLL_PROCESS_DETACH whether the DLL is
// being unloaded or the process is ending. At process exit nothing may be
// released: other threads are gone, other DLLs may be unloaded already, and
// the system reclaims memory, GDI objects and windows itself. So every
// global or static that owns something lives in a NoDestroy: it is made on
// first use and destroyed only by an explicit destroy(), which the shut-down
// of an unload calls in its order. At process exit nothing runs at all.
#pragma once

#include <new>

template <typename T> class NoDestroy {
  public:
    // The object is default-constructed on first use.
    constexpr NoDestroy() : make_(&makeDefault) {}
    // The object is what `make` returns, made on first use: for one whose
    // constructor needs arguments.
    constexpr explicit NoDestroy(T (*make)()) : make_(make) {}
    NoDestroy(const NoDestroy&) = delete;
    NoDestroy& operator=(const NoDestroy&) = delete;

    // The object, made now when it is not there (again after destroy()).
    // Whatever its construction throws comes through, and it stays unmade.
    T& operator*() {
        if (!made_) {
            new (storage_) T(make_());
            made_ = true;
        }
        return *object();
    }
    T* operator->() { return &**this; }

    // Destroys the object, releasing what it owns; nothing when it was
    // never made. Only the shut-down of an unload calls this.
    void destroy() {
        if (made_) {
            object()->~T();
            made_ = false;
        }
    }

  private:
    static T makeDefault() { return T(); }
    T* object() { return std::launder(reinterpret_cast<T*>(storage_)); }

    alignas(T) unsigned char storage_[sizeof(T)] = {};
    bool made_ = false;
    T (*make_)();
};
