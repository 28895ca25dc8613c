// SPDX-License-Identifier: MIT
#pragma once

#include "commands.h"

// The subcommands for points and geometries where GIS users keep them: tables,
// GIS layers of any format, and the grid itself as a layer.
namespace sheetfind::cli {

// annotate SOURCE: every record of a CSV table or a GIS layer with its sheet added.
int annotate(Context& context);

// annotate of a source that is not a CSV table, through GDAL/OGR.
int annotateLayer(Context& context);

// cover FILE or cover --wkt WKT: the cells the geometries' lines pass through and
// their areas share.
int coverGeometry(Context& context);

// grid: every cell of a scale, optionally inside --bbox, as a layer.
int grid(Context& context);

} // namespace sheetfind::cli
