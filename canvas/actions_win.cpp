#include "canvas/actions_win.h"

#include "plugin/actions.h"

namespace canvas {

int execAction(int id, ParamArray params) {
    if (!params) {
        return 0;
    }
    const Text name = fromHostString(params[0]);
    if (name.empty() || !findAction(id)) {
        return 0;
    }
    return 0;
}

} // namespace canvas
