// The arguments of one call of an action, converted once from the texts of
// its slots by the kind of each parameter row, and read by the action
// through its parameters' names (canvas/action_table.h). Platform-free.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/text.h"
#include "canvas/action_table.h"
#include "canvas/convert.h"

namespace canvas {

struct Argument {
    Text text;                      // every row: the slot's text as it came
    int32_t number = 0;             // number rows: the low 32 bits of parseNumber
    std::optional<uint32_t> colour; // colour rows: parseColor, none for an empty text
    FontSpec font{};                // font rows: parseFontSpec, with the drawing defaults
};

// One argument per row of `action`, from `params` (a slot the host left
// out reads as empty). May throw std::bad_alloc.
std::vector<Argument> convertArguments(const ActionDescriptor& action, const Params& params);

// The converted arguments of an action whose names enum is `Names`; reads
// them, never copies them. A name reads the field of its row's kind.
template <typename Names> class Args {
  public:
    explicit Args(const std::vector<Argument>& values) : values_(values) {}

    const Text& text(Names name) const { return at(name).text; }
    int32_t number(Names name) const { return at(name).number; }
    std::optional<uint32_t> colour(Names name) const { return at(name).colour; }
    const FontSpec& font(Names name) const { return at(name).font; }

  private:
    const Argument& at(Names name) const { return values_[static_cast<size_t>(name)]; }
    const std::vector<Argument>& values_;
};

} // namespace canvas
