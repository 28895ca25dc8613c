// SPDX-License-Identifier: MIT
// annotate in a build without tables (SHEETFIND_WITH_TABLES off): the command is
// known, and says what the build leaves out rather than passing for an unknown one.
#include "commands.h"

namespace sheetfind::cli {

int annotate(Context& context) {
    context.session.diagnose("this sheetfind-cli was built without CSV tables (libcsv), so it "
                             "annotates no tables or layers; points, references and boxes are "
                             "answered as text");
    context.session.finish();
    return kUsageOrIo;
}

} // namespace sheetfind::cli
