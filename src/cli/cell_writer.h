// SPDX-License-Identifier: MIT
#pragma once

#include "output.h"
#include "reference.h"

#include <memory>
#include <string>
#include <string_view>
#include <variant>

class GDALDriver;

namespace sheetfind::cli {

// The GDAL driver that writes `path`: the one `driverName` names (--of), or else the
// one its extension means (.gpkg, .shp, .geojson, .fgb, .kml, .gml, .csv, .gpx); a
// message naming the file or the driver when there is none that creates vector data.
std::variant<GDALDriver*, std::string> outputDriver(const std::string& path,
                                                    std::string_view driverName);

// Where cells go as polygons.
struct CellTarget {
    std::string path;      // the file to create; empty: GeoJSON on the session's output
    std::string driver;    // a GDAL vector driver; empty: chosen by the file's extension
    int pointsPerEdge = 0; // in [1, sheetref::kMaxPointsPerEdge]; 0: sheetref::defaultPointsPerEdge
};

// Writes cells as a polygon layer through GDAL/OGR, each cell once, as it comes:
// the attributes reference (text, "092G06"), scale (text, "1:50000"), south, west,
// north and east (reals, degrees), in WGS 84 (EPSG:4326) with longitude as x, every
// outer ring counter-clockwise from the south-west corner. The layer and its fields
// exist from open() on, so an empty result is still a valid layer with its schema.
//
// On standard output it is an RFC 7946 FeatureCollection streamed through
// /vsistdout/ into `out`: memory stays flat however many cells are written, and a
// reader that goes away or a failed write shows in `out`'s state as for any answer.
// A file is never overwritten: an existing one is refused, its data kept.
//
// GDAL keeps global state (the stdout redirection, the error handler stack), so one
// writer is open at a time in a thread.
class CellWriter {
public:
    struct Failure {
        std::string message; // a sentence naming the file or the driver
        bool usage = false;  // an option that cannot work (unknown driver...), not I/O
    };

    static std::variant<std::unique_ptr<CellWriter>, Failure> open(const CellTarget& target,
                                                                   Output& out);
    ~CellWriter();
    CellWriter(const CellWriter&) = delete;
    CellWriter& operator=(const CellWriter&) = delete;

    // Writes the cell unless it was written already; false when the write failed,
    // error() then says why.
    bool add(const sheetref::Reference& cell);
    // Ends the layer and closes the file; false when that failed.
    bool close();
    const std::string& error() const;

private:
    struct State;
    explicit CellWriter(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

} // namespace sheetfind::cli
