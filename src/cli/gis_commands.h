// SPDX-License-Identifier: MIT
#pragma once

#include "cell_writer.h"
#include "commands.h"

#include <memory>

// The subcommands for geometries where GIS users keep them: GIS layers of any format,
// and cells written as polygons. They live in a module of their own that the tool
// loads, with GDAL, only when a command needs it: a point looked up never loads GDAL.
namespace sheetfind::cli {

struct GisModule {
    // annotate SOURCE of a GIS layer: a copy of it with its sheets added.
    int (*annotateLayer)(Context& context);
    // cover FILE or cover --wkt WKT: the cells the geometries' lines pass through and
    // their areas share.
    int (*coverGeometry)(Context& context);
    // A layer of cells to write to (-f geojson, -o FILE), or nullptr after the reason
    // was reported.
    std::unique_ptr<gis::CellSink> (*openCells)(Context& context, const gis::CellTarget& target);
    // serve: the web face, which covers GeoJSON through GDAL.
    int (*serve)(Context& context);
};

// The module, loaded on first use from beside the executable or from the library
// folder it is installed in (on Windows it is linked in); nullptr after telling the
// user why it could not be.
const GisModule* gisModule(Session& session);

// What a build without GDAL leaves out, said when a command needs it.
std::string_view leftOutOfThisBuild();

// Makes a program that links the GIS commands in (a test) use them without loading the
// module.
void useGisModule(const GisModule* module);

} // namespace sheetfind::cli

// What the module exports, under a name that dlsym finds.
extern "C" const sheetfind::cli::GisModule* sheetfind_cli_gis_module();
