#include "editor/editor_win.h"

#include "plugin/actions.h"

namespace editor {

int editAction(int id, ParamArray params) {
    if (!params || !findAction(id)) {
        return 0;
    }
    return 0;
}

} // namespace editor
