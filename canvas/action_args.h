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

// What a row's text is converted to, besides the text itself.
enum class ArgKind {
    Text,   // nothing: an object name or a plain text
    Number, // parseNumber's low 32 bits
    Colour, // parseColor, none for an empty text
    Font,   // parseFontSpec, with the drawing defaults
};

constexpr ArgKind kindOf(const ParamRow& row) {
    if (row.type == ParamType::Number) {
        return ArgKind::Number;
    }
    if (row.pick == Pick::Colour) {
        return ArgKind::Colour;
    }
    return row.pick == Pick::Font ? ArgKind::Font : ArgKind::Text;
}

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
// them, never copies them. Each is read by its name, given as a template
// argument (`args.number<P::Radius>()`), so that the compiler looks up
// the name's row in the table: a parameter read as a kind it is not
// converted to (a colour as a number, whose field would be 0) does not
// build. Every row's text can be read as it came.
template <typename Names> class Args {
  public:
    explicit Args(const std::vector<Argument>& values) : values_(values) {}

    template <Names name> const Text& text() const { return at(name).text; }
    template <Names name> int32_t number() const {
        static_assert(kindOf(rowOf(name)) == ArgKind::Number, "this parameter is not a number");
        return at(name).number;
    }
    template <Names name> std::optional<uint32_t> colour() const {
        static_assert(kindOf(rowOf(name)) == ArgKind::Colour, "this parameter is not a colour");
        return at(name).colour;
    }
    template <Names name> const FontSpec& font() const {
        static_assert(kindOf(rowOf(name)) == ArgKind::Font, "this parameter is not a font");
        return at(name).font;
    }

  private:
    const Argument& at(Names name) const { return values_[static_cast<size_t>(name)]; }
    const std::vector<Argument>& values_;
};

} // namespace canvas
