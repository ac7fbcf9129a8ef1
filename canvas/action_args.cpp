#include "canvas/action_args.h"

namespace canvas {

std::vector<Argument> convertArguments(const ActionDescriptor& action, const Params& params) {
    std::vector<Argument> values(static_cast<size_t>(action.paramCount));
    for (size_t slot = 0; slot < values.size(); ++slot) {
        const ParamRow& row = action.params[slot];
        Argument& value = values[slot];
        value.text = slotText(params, slot);
        if (row.type == ParamType::Number) {
            value.number = low32(parseNumber(value.text));
        } else if (row.pick == Pick::Colour && !value.text.empty()) {
            value.colour = parseColor(value.text);
        } else if (row.pick == Pick::Font) {
            value.font = parseFontSpec(value.text);
        }
    }
    return values;
}

} // namespace canvas
