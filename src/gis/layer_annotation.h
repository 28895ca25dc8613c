// SPDX-License-Identifier: MIT
#pragma once

#include "gdal_errors.h"
#include "gis_error.h"
#include "reference.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// GIS sources of any format GDAL reads, put on the grid: each feature of a layer
// with its cells added, or the cells all of a source's features need.
namespace sheetfind::gis {

// A feature that has no cells, by its layer and id, and why; the run goes on
// without it.
using FeatureReport =
    std::function<void(std::string_view layer, std::int64_t feature, const GisFailure& failure)>;

// Where a feature is, for a message: "layer 'roads', feature 7".
std::string describeFeature(std::string_view layer, std::int64_t feature);

// Which layers of a source, and how their geometries become cells.
struct SourceLayers {
    std::string source;               // a path, or anything GDAL opens
    std::optional<std::string> layer; // one layer by name; nullopt: see each operation
    std::string assumeCrs;            // the CRS of a layer that has none; empty: none
    sheetref::Scale scale = sheetref::Scale::Sheet;
    bool geodesic = false; // edges are geodesics between the vertices, not straight
};

struct LayerAnnotation {
    SourceLayers from;    // its layer, or the source's only one
    std::string output;   // a file to create; an existing one is refused
    std::string driver;   // a GDAL vector driver; empty: chosen by the extension
    std::string column;   // the added field; empty: sheetColumnName(scale)
    bool explode = false; // one feature per (feature, cell) rather than a list
    // Adds the boolean field uncertainColumnName(column): for a point, whether the shift
    // of its datum into the grid's may have put it in the wrong cell.
    bool flagUncertain = false;
};

// Writes a copy of the layer with every field, geometry and the CRS kept and the cells
// of each feature added in a text field: the cell of a point, the cells a line passes
// through, those a polygon shares area with, joined by kCellSeparator in reference
// order, or one copy of the feature per cell with `explode`. A feature without cells
// (outside the grid, no geometry, or one reported through `report`) keeps its place
// with an empty field. Nothing is overwritten. nullopt when the layer was written
// whole; GDAL's warnings go to `warn`.
std::optional<Stop> annotateLayer(const LayerAnnotation& annotation, const FeatureReport& report,
                                  const GdalErrors::Warn& warn = {});

// The cells of every feature of one layer, in the order GDAL reads them: what a face
// that writes the features itself (the QGIS plugin, through its own provider) needs,
// read in one pass over the geometries alone.
struct LayerCells {
    std::vector<std::int64_t> ids;                       // each feature's FID
    std::vector<std::vector<sheetref::Reference>> cells; // as annotateLayer adds them
    std::vector<std::uint32_t> geometryTypes; // the ISO WKB types of the geometries, each once
};

// The cells of each feature of from.source's named or only layer, read as annotateLayer
// reads them; a feature without cells is reported through `report` as there. `crs`,
// where not empty, is the CRS of the layer's coordinates (what GDAL reads: WKT, "EPSG:3005"),
// in place of the layer's own: a GIS may have given the layer another.
std::variant<LayerCells, Stop> layerCells(const SourceLayers& from, std::string_view crs,
                                          const FeatureReport& report,
                                          const GdalErrors::Warn& warn = {});

// The cells that the features of the source need, in reference order without
// duplicates: of its one named layer, or else of all its layers (a GPX file keeps a
// route in one layer and its points in another, and both are the route).
std::variant<std::vector<sheetref::Reference>, Stop> coverSource(const SourceLayers& layers,
                                                                 const FeatureReport& report,
                                                                 const GdalErrors::Warn& warn = {});

} // namespace sheetfind::gis
