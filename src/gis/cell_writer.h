// SPDX-License-Identifier: MIT
#pragma once

#include "gis_error.h"
#include "grid.h"
#include "lat_lon.h"
#include "output.h"
#include "reference.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Cells as polygons: the one schema of a layer of cells, and the writer of such
// layers in any format GDAL writes. This header includes nothing of GDAL, so that a
// program can hold a CellSink without loading GDAL until it opens one.
namespace sheetfind::gis {

// The points per edge (sheetref::cellRing) that keep every edge of a cell of `scale`
// within 10 m of its true parallel or meridian once projected to Canada Lambert
// (EPSG:3978). Parallels are arcs in a conic projection and the widest cells (16° for
// a high-Arctic series, 8° in the south) bow out by kilometres between their corners;
// meridians stay straight. In [1, sheetref::kMaxPointsPerEdge].
// Example: defaultPointsPerEdge(Scale::Sheet) == 5.
int defaultPointsPerEdge(sheetref::Scale scale);

// The fields of a layer of cells, in order: reference (text, "092G06"), scale (text,
// "1:50000"), south, west, north and east (reals, degrees).
struct CellField {
    std::string_view name;
    bool text; // a text field; a real otherwise
};
std::span<const CellField> cellFields();

// One cell as a layer of cells holds it: its fields' values and its outline, a closed
// ring in WGS 84 with longitude as x, counter-clockwise from the south-west corner.
struct CellRecord {
    std::string reference;
    std::string scale;
    sheetref::Bounds bounds;
    std::vector<sheetref::LatLon> outline;
};

// The EPSG code of the geographic CRS a cell's outline and bounds are in: the datum
// its grid is drawn in, NAD27 (4267) for the petroleum and natural gas grid, WGS 84
// (4326) for the others. Every face that draws cells takes its CRS from here.
int cellCrsEpsg(sheetref::Scale scale);

// `pointsPerEdge` 0 means defaultPointsPerEdge; nullopt outside [1, kMaxPointsPerEdge].
std::optional<CellRecord> cellRecord(const sheetref::Reference& cell, int pointsPerEdge = 0);

// The values of a cell's fields, one for each of cellFields() and in its order: a text
// for a text field, a real otherwise. Every face that writes a cell takes them from
// here, so that a field added to the schema reaches all of them.
// Example: for 092G06, {"092G06", "1:50000", 49.25, -123.5, 49.5, -123.0}.
using FieldValue = std::variant<std::string, double>;
std::vector<FieldValue> fieldValues(const CellRecord& record);

// Where cells go as polygons.
struct CellTarget {
    std::string path;      // the file to create; empty: GeoJSON on the output
    std::string driver;    // a GDAL vector driver; empty: chosen by the file's extension
    int pointsPerEdge = 0; // 0: defaultPointsPerEdge
    // The cells' scale: the layer's CRS is the datum its grid is drawn in, NAD27
    // (EPSG:4267) for the petroleum and natural gas grid, WGS 84 for the others.
    sheetref::Scale scale = sheetref::Scale::Sheet;
    // Every cell comes once (a grid, a cover): the writer need not remember the cells
    // it wrote to leave out repeats, and its memory stays flat however many there are.
    bool distinct = false;
};

// A layer being written, one cell at a time.
class CellSink {
public:
    virtual ~CellSink() = default;
    // Writes the cell unless it was written already (unless the target said every cell
    // comes once); false when the write failed, error() then says why.
    virtual bool add(const sheetref::Reference& cell) = 0;
    // Ends the layer and closes the file; false when that failed.
    virtual bool close() = 0;
    virtual const std::string& error() const = 0;
};

// Opens a layer of cells through GDAL/OGR, in WGS 84 (EPSG:4326), with the fields
// and outlines of cellRecord. The layer and its fields exist from here on, so an
// empty result is still a valid layer with its schema.
//
// To standard output (an empty path) it is an RFC 7946 FeatureCollection streamed
// through /vsistdout/ into `out`: memory stays flat however many cells are written,
// and a reader that goes away or a failed write shows in `out`'s state. A file is
// never overwritten: an existing one is refused, its data kept.
//
// GDAL keeps global state (the stdout redirection), so one sink is open at a time in
// a process.
std::variant<std::unique_ptr<CellSink>, Stop> openCellLayer(const CellTarget& target, Output& out);

} // namespace sheetfind::gis
