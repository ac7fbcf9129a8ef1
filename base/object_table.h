// Numbered objects: windows, controls, images and fonts live in tables like
// this one. Platform-free.
//
// A caller either names a small number itself (0 to MAX_FIXED_NUMBER - 1,
// indexing an array that grows on demand) or passes FRESH_NUMBER and gets a
// fresh number from a separate, large range. Fresh numbers are generated values,
// never addresses: they fit in 32 bits in every build, and a stale or garbage
// number simply finds nothing.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

// The request for a fresh number (the toolkit's API spells it UI_ANY).
constexpr int FRESH_NUMBER = -1;
constexpr int MAX_FIXED_NUMBER = 0x10000;
constexpr int FIRST_ALLOCATED_NUMBER = 0x10000000;

// Record: a default-constructible struct whose first field is `handle`; a
// record exists while its handle is non-zero.
template <typename Record> class ObjectTable {
  public:
    // `release` destroys the object of a number (and must end with
    // `remove(number)`); it is called when a fixed number is reused.
    using ReleaseFn = void (*)(int number);

    ObjectTable(int growthStep, ReleaseFn release) : growthStep_(growthStep), release_(release) {}

    // The zeroed record for `number`, which is stored in *assigned: a fresh
    // number for FRESH_NUMBER, else `number` itself after destroying whatever
    // object held it. Null for a number outside both ranges.
    Record* allocate(int number, int* assigned) {
        if (number == FRESH_NUMBER) {
            int fresh = nextFresh();
            auto& slot = allocated_[fresh];
            slot.reset(new Record());
            *assigned = fresh;
            return slot.get();
        }
        if (number < 0 || number >= MAX_FIXED_NUMBER) {
            return nullptr;
        }
        if (find(number) && release_) {
            release_(number);
        }
        if (static_cast<size_t>(number) >= fixed_.size()) {
            fixed_.resize(static_cast<size_t>(number) + growthStep_);
        }
        fixed_[number].reset(new Record());
        *assigned = number;
        return fixed_[number].get();
    }

    // The existing record of a number, or null.
    Record* find(int number) const {
        Record* r = nullptr;
        if (number >= 0 && number < MAX_FIXED_NUMBER) {
            if (static_cast<size_t>(number) < fixed_.size()) {
                r = fixed_[number].get();
            }
        } else {
            auto it = allocated_.find(number);
            if (it != allocated_.end()) {
                r = it->second.get();
            }
        }
        return r && r->handle ? r : nullptr;
    }

    // Forgets the record of a number (no object is destroyed here).
    void remove(int number) {
        if (number >= 0 && number < MAX_FIXED_NUMBER) {
            if (static_cast<size_t>(number) < fixed_.size()) {
                fixed_[number].reset();
            }
        } else {
            allocated_.erase(number);
        }
    }

    // Calls the release routine for every existing object.
    void releaseAll() {
        for (int number : numbers()) {
            if (find(number) && release_) {
                release_(number);
            }
        }
    }

    // The first existing record for which `wanted` is true, or null. Walks
    // the table without allocating, so it cannot fail.
    template <typename Wanted> Record* findIf(Wanted wanted) const {
        for (const auto& r : fixed_) {
            if (r && r->handle && wanted(*r)) {
                return r.get();
            }
        }
        for (const auto& entry : allocated_) {
            if (entry.second && entry.second->handle && wanted(*entry.second)) {
                return entry.second.get();
            }
        }
        return nullptr;
    }

    // The numbers of every existing object, fixed ones first.
    std::vector<int> numbers() const {
        std::vector<int> out;
        for (size_t i = 0; i < fixed_.size(); ++i) {
            if (fixed_[i] && fixed_[i]->handle) {
                out.push_back(static_cast<int>(i));
            }
        }
        for (const auto& entry : allocated_) {
            if (entry.second && entry.second->handle) {
                out.push_back(entry.first);
            }
        }
        return out;
    }

    size_t capacity() const { return fixed_.size(); }

  private:
    int nextFresh() {
        // Counts up through the allocated range and wraps; skips numbers in
        // use, so a number is reused only after 1.8 billion others.
        for (;;) {
            int candidate = next_;
            next_ = next_ == INT32_MAX ? FIRST_ALLOCATED_NUMBER : next_ + 1;
            if (!allocated_.count(candidate)) {
                return candidate;
            }
        }
    }

    int growthStep_;
    ReleaseFn release_;
    std::vector<std::unique_ptr<Record>> fixed_;
    std::map<int, std::unique_ptr<Record>> allocated_;
    int next_ = FIRST_ALLOCATED_NUMBER;
};
