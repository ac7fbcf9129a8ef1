#include "canvas/registry.h"

#include <new>

CanvasEntry* CanvasRegistry::findCanvas(const Text& name) {
    for (CanvasEntry& entry : entries_) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

CanvasEntry* CanvasRegistry::addCanvas() {
    try {
        entries_.emplace_back();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return &entries_.back();
}

void CanvasRegistry::removeCanvas(CanvasEntry* entry) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (&*it == entry) {
            entries_.erase(it);
            return;
        }
    }
}
