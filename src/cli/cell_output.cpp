#include "gis_commands.h"

namespace sheetfind::cli {

int grid(Context& context) {
    return context.session.usageError("grid is not available in this build", context.command);
}

} // namespace sheetfind::cli
