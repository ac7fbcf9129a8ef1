#include "canvas/action_args.h"

namespace canvas {

std::vector<Argument> convertArguments(const ActionDescriptor& action, const Params& params) {
    std::vector<Argument> values(static_cast<size_t>(action.paramCount));
    for (size_t slot = 0; slot < values.size(); ++slot) {
        Argument& value = values[slot];
        value.text = slotText(params, slot);
        switch (kindOf(action.params[slot])) {
        case ArgKind::Number:
            value.number = low32(parseNumber(value.text));
            break;
        case ArgKind::Colour:
            if (!value.text.empty()) {
                value.colour = parseColor(value.text);
            }
            break;
        case ArgKind::Font:
            value.font = parseFontSpec(value.text);
            break;
        case ArgKind::Text:
            break;
        }
    }
    return values;
}

} // namespace canvas
