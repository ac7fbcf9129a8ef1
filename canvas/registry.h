// The canvas registry: the plug-in's only lasting record of the canvases that
// exist, keyed by the name of the host object each was made on. Platform-free;
// releasing the display objects is the caller's (canvas/actions_win.cpp).
#pragma once

#include <list>

#include "base/text.h"

struct CanvasEntry {
    Text name;              // exactly as it arrived in parameter 0 of kiv_CreateCanvas; never empty
    int window = 0;         // toolkit window number (generated), 0 while not created
    int image = 0;          // image number (generated)
    int pictureControl = 0; // picture control number (generated) inside `window`
};

class CanvasRegistry {
  public:
    // The entry named exactly `name` (code unit by code unit, case-sensitive,
    // no trimming), or null.
    CanvasEntry* findCanvas(const Text& name);
    // A new entry with an empty name and all numbers 0, or null when memory
    // is exhausted.
    CanvasEntry* addCanvas();
    // Removes the entry and frees its name; its display objects must already
    // be released.
    void removeCanvas(CanvasEntry* entry);
    // Entries in registry order, for releasing them all.
    std::list<CanvasEntry>& entries() { return entries_; }
    bool empty() const { return entries_.empty(); }
    size_t size() const { return entries_.size(); }

  private:
    // A list keeps entry addresses stable while others are added or removed.
    std::list<CanvasEntry> entries_;
};
