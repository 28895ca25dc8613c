// SPDX-License-Identifier: MIT
#include "grid.h"

#include "sheet_reference.h"

#include "coordinates.h"
#include "decimal_text.h"
#include "nts_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace sheetref {
namespace {

using layout::Zone;

// The centre of a cell, as a fraction of its size from its east and south edges.
constexpr double kCentre = 0.5;

// A cell's name as locate builds its Reference: the letter is '\0' for a series and
// the sheet 0 above the sheet scale; the series is kNoSeries where no cell lies.
struct CellName {
    int series = layout::kNoSeries;
    char letter = '\0';
    int sheet = 0;
};

// The cell at `scale` that holds a point of the latitude band of `zone`. The zone is a
// template argument so that every size is a constant: each is a power of two, so the
// divisions become exact multiplications, and the series, map area and sheet all
// come from the one column and row of the sheet that holds the point.
template <const Zone& zone> CellName cellAt(LatLon point, Scale scale) {
    // Inside the zone both differences are exact (Sterbenz's lemma near the zone's
    // edge, exact multiples further away), and dividing them by powers of two is
    // exact too. So a point typed exactly on an edge is decided on its true position,
    // never on a rounding error. Written so that NaN fails the range test.
    const double west = zone.east - point.longitude;
    if (!(0.0 <= west && west < zone.width)) {
        return {};
    }
    const double north = point.latitude - zone.south;
    // Both distances are never negative and below the zone's size, so truncation is
    // a floor and fits an int: a point on an edge starts the next sheet to the west
    // (or north), which is the edge rule.
    const int column = static_cast<int>(west / zone.sheetWidth);
    const int row = static_cast<int>(north / layout::kSheetHeight);
    constexpr int kSheetsAcrossSeries = zone.areaColumns * layout::kSheetColumns;
    constexpr int kSheetsUpSeries = layout::kAreaRows * layout::kSheetRows;
    const int series =
        layout::seriesNumber(zone, column / kSheetsAcrossSeries, row / kSheetsUpSeries);
    if (scale == Scale::Series) {
        return {.series = series};
    }
    const int areaColumn = column / layout::kSheetColumns % zone.areaColumns;
    const int areaRow = row / layout::kSheetRows % layout::kAreaRows;
    const char letter =
        zone.letters[static_cast<std::size_t>(areaRow * zone.areaColumns + areaColumn)];
    if (scale == Scale::MapArea) {
        return {.series = series, .letter = letter};
    }
    return {.series = series,
            .letter = letter,
            .sheet =
                layout::kSheetNumbers[row % layout::kSheetRows][column % layout::kSheetColumns]};
}

// The cells of one scale in one zone, as a lattice: columns count westward from the
// zone's east edge and rows northward from its south edge. Each cell owns
// [k * size, (k + 1) * size) of the distance from those edges, which is the edge
// rule again.
struct Lattice {
    double width;
    double height;
    int columns;
    int rows;
};

Lattice latticeOf(const Zone& zone, Scale scale) {
    switch (scale) {
    case Scale::Series:
        return {zone.seriesWidth, layout::kSeriesHeight, zone.seriesColumns, zone.seriesRows};
    case Scale::MapArea:
        return {zone.areaWidth, layout::kAreaHeight, zone.seriesColumns * zone.areaColumns,
                zone.seriesRows * layout::kAreaRows};
    case Scale::Sheet:
        break;
    }
    return {zone.sheetWidth, layout::kSheetHeight,
            zone.seriesColumns * zone.areaColumns * layout::kSheetColumns,
            zone.seriesRows * layout::kAreaRows * layout::kSheetRows};
}

// How an interval meets cells.
enum class Reach {
    Touching, // shares at least a boundary point with the closed cell
    Covering, // shares some length; an interval of no length, the cell that owns it
};

struct IndexRange {
    int first = 0;
    int last = -1; // empty when last < first
};

// The cells among [0, count) that the interval [low, high] of distances meets.
// Ranges are worked out in doubles and clipped to the lattice before any conversion,
// so far-away or huge values never reach an integer.
IndexRange cellsMeeting(double low, double high, double size, int count, Reach reach) {
    double first = 0;
    double last = 0;
    if (reach == Reach::Touching) {
        first = std::ceil(low / size) - 1;
        last = std::floor(high / size);
    } else if (low == high) {
        first = last = std::floor(low / size);
    } else {
        first = std::floor(low / size);
        last = std::ceil(high / size) - 1;
    }
    first = std::max(first, 0.0);
    last = std::min(last, count - 1.0);
    if (!(first <= last)) {
        return {};
    }
    return {static_cast<int>(first), static_cast<int>(last)};
}

// Every cell at `scale` that the box meets, in every zone, in reference order.
std::vector<Reference> cellsIn(const Bounds& box, Scale scale, Reach reach) {
    std::vector<Reference> found;
    for (const Zone* zone : layout::kZones) {
        const Lattice lattice = latticeOf(*zone, scale);
        const IndexRange rows = cellsMeeting(box.south - zone->south, box.north - zone->south,
                                             lattice.height, lattice.rows, reach);
        const IndexRange columns = cellsMeeting(zone->east - box.east, zone->east - box.west,
                                                lattice.width, lattice.columns, reach);
        for (int row = rows.first; row <= rows.last; ++row) {
            for (int column = columns.first; column <= columns.last; ++column) {
                // Naming a cell is locate's job; its centre is well inside it. The
                // lattice of the high Arctic is a rectangle, and locate leaves out
                // its corner west of 120° W north of 84° N, where there is no series.
                const double longitude = zone->east - (column + kCentre) * lattice.width;
                const double latitude = zone->south + (row + kCentre) * lattice.height;
                if (const std::optional<Reference> reference =
                        locate({.latitude = latitude, .longitude = longitude}, scale)) {
                    found.push_back(*reference);
                }
            }
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string_view edgeName(BoxEdge edge) {
    switch (edge) {
    case BoxEdge::South:
        return "south";
    case BoxEdge::West:
        return "west";
    case BoxEdge::North:
        return "north";
    case BoxEdge::East:
        return "east";
    }
    return {};
}

std::optional<BoxFailure> checkBox(const Bounds& box) {
    const std::pair<BoxEdge, double> edges[] = {{BoxEdge::South, box.south},
                                                {BoxEdge::West, box.west},
                                                {BoxEdge::North, box.north},
                                                {BoxEdge::East, box.east}};
    for (const auto& [edge, value] : edges) {
        if (!std::isfinite(value)) {
            return BoxFailure{BoxError::NotANumber, edge, value};
        }
        const bool latitude = edge == BoxEdge::South || edge == BoxEdge::North;
        if (!inRange(latitude ? Coordinate::Latitude : Coordinate::Longitude, value)) {
            return BoxFailure{latitude ? BoxError::LatitudeRange : BoxError::LongitudeRange, edge,
                              value};
        }
    }
    if (!(box.south <= box.north)) {
        return BoxFailure{BoxError::SouthOfNorth, BoxEdge::South, box.south, box.north};
    }
    if (!(box.west <= box.east)) {
        return BoxFailure{BoxError::WestOfEast, BoxEdge::West, box.west, box.east};
    }
    return std::nullopt;
}

} // namespace

std::ostream& operator<<(std::ostream& out, const Bounds& bounds) {
    return out << "{south " << decimalText(bounds.south) << ", north " << decimalText(bounds.north)
               << ", west " << decimalText(bounds.west) << ", east " << decimalText(bounds.east)
               << "}";
}

std::ostream& operator<<(std::ostream& out, const LatLon& point) {
    return out << "{latitude " << decimalText(point.latitude) << ", longitude "
               << decimalText(point.longitude) << "}";
}

std::optional<Reference> locate(LatLon point, Scale scale) {
    const Zone* zone = layout::zoneAt(point.latitude);
    const CellName cell = zone == &layout::kSouthern     ? cellAt<layout::kSouthern>(point, scale)
                          : zone == &layout::kArctic     ? cellAt<layout::kArctic>(point, scale)
                          : zone == &layout::kHighArctic ? cellAt<layout::kHighArctic>(point, scale)
                                                         : CellName{};
    if (cell.series == layout::kNoSeries) {
        return std::nullopt;
    }
    return Reference(scale, cell.series, cell.letter, cell.sheet);
}

Bounds bounds(const Reference& reference) {
    // A Reference only ever names a cell of the grid, so its series is found.
    const layout::SeriesPlace place = layout::findSeries(reference.seriesNumber());
    const Zone& zone = *place.zone;
    double east = zone.east - place.column * zone.seriesWidth;
    double south = zone.south + place.row * layout::kSeriesHeight;
    double width = zone.seriesWidth;
    double height = layout::kSeriesHeight;

    if (reference.scale() != Scale::Series) {
        const auto index = static_cast<int>(zone.letters.find(reference.letter()));
        east -= index % zone.areaColumns * zone.areaWidth;
        south += index / zone.areaColumns * layout::kAreaHeight;
        width = zone.areaWidth;
        height = layout::kAreaHeight;
    }
    if (reference.scale() == Scale::Sheet) {
        for (int row = 0; row < layout::kSheetRows; ++row) {
            for (int column = 0; column < layout::kSheetColumns; ++column) {
                if (layout::kSheetNumbers[row][column] == reference.sheetNumber()) {
                    east -= column * zone.sheetWidth;
                    south += row * layout::kSheetHeight;
                }
            }
        }
        width = zone.sheetWidth;
        height = layout::kSheetHeight;
    }
    return {south, south + height, east - width, east};
}

std::vector<Reference> neighbours(const Reference& reference) {
    std::vector<Reference> found = cellsIn(bounds(reference), reference.scale(), Reach::Touching);
    std::erase(found, reference);
    return found;
}

std::string describe(const BoxFailure& failure) {
    const std::string edge =
        "the " + std::string(edgeName(failure.edge)) + " edge " + decimalText(failure.value);
    switch (failure.error) {
    case BoxError::NotANumber:
        return edge + " is not a number; expected decimal degrees";
    case BoxError::LatitudeRange:
    case BoxError::LongitudeRange:
        return describeRange(std::string(edgeName(failure.edge)) + " edge",
                             failure.error == BoxError::LatitudeRange ? Coordinate::Latitude
                                                                      : Coordinate::Longitude,
                             failure.value);
    case BoxError::SouthOfNorth:
        return edge + " is north of the north edge " + decimalText(failure.other) +
               "; expected SOUTH <= NORTH";
    case BoxError::WestOfEast:
        return edge + " is east of the east edge " + decimalText(failure.other) +
               "; expected WEST <= EAST, with west longitudes negative";
    }
    return edge;
}

CoverResult cover(const Bounds& box, Scale scale) {
    if (const std::optional<BoxFailure> failure = checkBox(box)) {
        return *failure;
    }
    return cellsIn(box, scale, Reach::Covering);
}

// Defined here, beside locate, so that the compiler can inline locate into it: the
// window's operation then costs hardly more than locate itself.
std::string sheetfindGrid(double longitude, double latitude) {
    // locate already answers nothing outside the grid, and its southern and Arctic
    // zones span exactly the window's meridians, 144° W to 48° W: of the rest of the
    // grid only the high Arctic is left to leave out. Written so that NaN fails.
    if (!(latitude < layout::kHighArcticLatitude)) {
        return {};
    }
    const std::optional<Reference> sheet =
        locate({.latitude = latitude, .longitude = longitude}, Scale::Sheet);
    return sheet ? sheet->text() : std::string();
}

} // namespace sheetref
