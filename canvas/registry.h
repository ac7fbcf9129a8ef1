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

// Entries in order. A list keeps every entry's address while others are
// added or removed, and hands entries from one list to another without
// allocating.
using CanvasList = std::list<CanvasEntry>;

// A new entry with an empty name and all numbers 0 at the end of `list`, or
// null when memory is exhausted.
CanvasEntry* addEntry(CanvasList& list);

class CanvasRegistry {
  public:
    // The entry named exactly `name` (code unit by code unit, case-sensitive,
    // no trimming), or null.
    CanvasEntry* findCanvas(const Text& name);
    // A new entry with an empty name and all numbers 0, or null when memory
    // is exhausted.
    CanvasEntry* addCanvas() { return addEntry(entries_); }
    // Removes the entry and frees its name; its display objects must already
    // be released.
    void removeCanvas(CanvasEntry* entry);
    // Every entry, in registry order, taken out: the registry is empty, and
    // what is added to it from now on stays apart from what was taken.
    // Allocates nothing.
    CanvasList takeAll();
    // Moves the entries of `made` to the end of the registry, leaving `made`
    // empty. Allocates nothing; the caller keeps the names unique.
    void admit(CanvasList& made);
    bool empty() const { return entries_.empty(); }
    size_t size() const { return entries_.size(); }

  private:
    CanvasList entries_;
};
