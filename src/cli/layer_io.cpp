#include "gis_commands.h"

namespace sheetfind::cli {

int annotateLayer(Context& context) {
    return context.session.usageError("annotate of GIS layers is not available in this build",
                                      context.command);
}

int coverGeometry(Context& context) {
    return context.session.usageError("cover of geometries is not available in this build",
                                      context.command);
}

} // namespace sheetfind::cli
