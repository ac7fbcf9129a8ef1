#include "canvas/registry.h"

#include <new>

CanvasEntry* addEntry(CanvasList& list) {
    try {
        list.emplace_back();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return &list.back();
}

CanvasEntry* CanvasRegistry::findCanvas(const Text& name) {
    for (CanvasEntry& entry : entries_) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

void CanvasRegistry::removeCanvas(CanvasEntry* entry) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (&*it == entry) {
            entries_.erase(it);
            return;
        }
    }
}

CanvasList CanvasRegistry::takeAll() {
    CanvasList taken;
    taken.splice(taken.end(), entries_);
    return taken;
}

void CanvasRegistry::admit(CanvasList& made) {
    entries_.splice(entries_.end(), made);
}
