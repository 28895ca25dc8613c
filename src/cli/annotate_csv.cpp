#include "gis_commands.h"

namespace sheetfind::cli {

int annotate(Context& context) {
    return context.session.usageError("annotate is not available in this build", context.command);
}

} // namespace sheetfind::cli
