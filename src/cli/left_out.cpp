// SPDX-License-Identifier: MIT
// annotate in a build without tables (Windows): the command is known, and says
// what the build leaves out rather than passing for an unknown one.
#include "gis_commands.h"

namespace sheetfind::cli {

int annotate(Context& context) {
    context.session.diagnose(leftOutOfThisBuild());
    context.session.finish();
    return kUsageOrIo;
}

} // namespace sheetfind::cli
