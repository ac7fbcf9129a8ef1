// Watches one module's GlobalAlloc and GlobalFree calls by patching its
// import table, so tests can tell who freed which host string, and how often.
#pragma once

#include <windows.h>

#include <vector>

class GlobalSpy {
  public:
    // Patches `module` (the loaded canvas.nbp, or the test program itself
    // for the glue linked into it); fails the test when it cannot. Only one
    // spy may be active at a time.
    explicit GlobalSpy(HMODULE module);
    ~GlobalSpy();
    GlobalSpy(const GlobalSpy&) = delete;
    GlobalSpy& operator=(const GlobalSpy&) = delete;

    bool ok() const { return ok_; }
    // Blocks the module allocated and freed while the spy was active.
    std::vector<void*> allocated;
    std::vector<void*> freed;
    int timesFreed(const void* block) const;
    // The module is about to be unloaded, its import table with it: nothing
    // to restore then. Calls made while it unloads are still recorded.
    void moduleUnloading() { unloading_ = true; }

  private:
    HMODULE module_;
    bool ok_ = false;
    bool unloading_ = false;
};
