// SPDX-License-Identifier: MIT
#include "grid.h"

#include "sheet_reference.h"

#include "bcgs_layout.h"
#include "coordinates.h"
#include "decimal_text.h"
#include "nts_layout.h"
#include "png_layout.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <functional>

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
    // (or north), which is the edge rule. Counted unsigned, the divisions by the
    // powers of two below are shifts and masks.
    const auto column = static_cast<unsigned>(west / zone.sheetWidth);
    const auto row = static_cast<unsigned>(north / layout::kSheetHeight);
    constexpr unsigned kSheetColumns = layout::kSheetColumns;
    constexpr unsigned kSheetRows = layout::kSheetRows;
    constexpr unsigned kAreaColumns = zone.areaColumns;
    constexpr unsigned kAreaRows = layout::kAreaRows;
    const int series =
        layout::seriesNumber(zone, static_cast<int>(column / (kAreaColumns * kSheetColumns)),
                             static_cast<int>(row / (kAreaRows * kSheetRows)));
    if (scale == Scale::Series) {
        return {.series = series};
    }
    const unsigned areaColumn = column / kSheetColumns % kAreaColumns;
    const unsigned areaRow = row / kSheetRows % kAreaRows;
    const char letter = zone.letters[areaRow * kAreaColumns + areaColumn];
    if (scale == Scale::MapArea) {
        return {.series = series, .letter = letter};
    }
    return {.series = series,
            .letter = letter,
            .sheet = layout::kSheetNumbers[row % kSheetRows][column % kSheetColumns]};
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
    case Scale::Bcgs20k:
    case Scale::Bcgs10k:
    case Scale::Bcgs5k:
    case Scale::Bcgs2500:
    case Scale::PngBlock:
    case Scale::PngUnit:
    case Scale::PngQuarterUnit:
        // The BCGS and PNG cells are not lattices of the zone; their own walks find them.
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

    std::size_t size() const {
        return last < first ? 0 : static_cast<std::size_t>(last - first + 1);
    }
    IndexRange within(int low, int high) const {
        return {std::max(first, low), std::min(last, high)};
    }
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

// The BCGS cells of one map area along one axis, at one scale. Cell k of `count` spans
// ticks origin + k * step to origin + (k + 1) * step (from the equator or Greenwich;
// columns count eastward), and its edges are the doubles edge(k): every scale that
// shares an edge gives it the same double, bounds() gives it too, and locate decides
// on it, so a point typed on an edge is placed by the edge rule however 1/80 rounds.
struct TickAxis {
    int origin;
    int step;
    int count;
    int ticksPerDegree = layout::kTicksPerDegree; // the PNG grid's are finer

    double edge(int k) const { return static_cast<double>(origin + k * step) / ticksPerDegree; }

    // The greatest k in [-1, count] with edge(k) <= value, or edge(k) < value when
    // `strictly`; -1 when there is none. The division only guesses k, and may be one
    // off where `value` lies within a rounding error of an edge; comparing with the
    // edges themselves settles it. `value` is finite and within [-180, 180].
    int lastEdgeBelow(double value, bool strictly) const {
        const double guess = std::floor((value * ticksPerDegree - origin) / step);
        int k = static_cast<int>(std::clamp(guess, -1.0, static_cast<double>(count)));
        const auto below = [&](int i) { return strictly ? edge(i) < value : edge(i) <= value; };
        while (k >= 0 && !below(k)) {
            --k;
        }
        while (k < count && below(k + 1)) {
            ++k;
        }
        return k;
    }
};

// The digits a BCGS scale adds to its 1:20 000 number, and so how many times the
// 1:20 000 cell is cut in two each way.
int cutsOf(Scale scale) {
    return static_cast<int>(scale) - static_cast<int>(Scale::Bcgs20k);
}

// The rows (south to north) and columns (west to east) of the cells at a BCGS scale in
// the map area whose bounds are given; map-area edges are whole degrees.
struct TickLattice {
    TickAxis rows;
    TickAxis columns;

    struct Ranges {
        IndexRange rows;
        IndexRange columns;
    };
};

TickLattice tickLatticeOf(const Bounds& area, Scale scale) {
    const int cuts = cutsOf(scale);
    const auto ticks = [](double degrees) {
        return static_cast<int>(degrees) * layout::kTicksPerDegree;
    };
    return {{ticks(area.south), layout::kBcgs20kHeightTicks >> cuts, layout::kBcgsRows << cuts},
            {ticks(area.west), layout::kBcgs20kWidthTicks >> cuts, layout::kBcgsColumns << cuts}};
}

// The row and column at which a numbering table holds `value`.
template <std::size_t Rows, std::size_t Columns>
std::pair<int, int> placeIn(const int (&table)[Rows][Columns], int value) {
    for (std::size_t row = 0; row < Rows; ++row) {
        for (std::size_t column = 0; column < Columns; ++column) {
            if (table[row][column] == value) {
                return {static_cast<int>(row), static_cast<int>(column)};
            }
        }
    }
    return {0, 0};
}

// The row and column of a 1:20 000 cell in its map area, from its number.
std::pair<int, int> placeOfNumber(int number) {
    return placeIn(layout::kBcgsNumbers, number);
}

// The half (row, column) of a cell that a quarter digit names.
std::pair<int, int> placeOfQuarter(int digit) {
    return placeIn(layout::kQuarterDigits, digit);
}

// The cells that an interval [low, high] meets on an axis, as cellsMeeting does for
// the NTS lattices. Rows own their low (south) edge, columns their high (east) edge,
// which decides which cell holds an interval of no length.
IndexRange ticksMeeting(const TickAxis& axis, double low, double high, Reach reach,
                        bool ownsLowEdge) {
    int first = 0;
    int last = 0;
    if (reach == Reach::Touching) {
        first = axis.lastEdgeBelow(low, true);
        last = axis.lastEdgeBelow(high, false);
    } else if (low == high) {
        first = last = axis.lastEdgeBelow(low, !ownsLowEdge);
    } else {
        first = axis.lastEdgeBelow(low, false);
        last = axis.lastEdgeBelow(high, true);
    }
    first = std::max(first, 0);
    last = std::min(last, axis.count - 1);
    return {first, last};
}

// The rows and columns of the cells at a BCGS `scale` in `area` that the box meets.
TickLattice::Ranges bcgsRangesIn(const Reference& area, const Bounds& box, Scale scale,
                                 Reach reach) {
    const TickLattice lattice = tickLatticeOf(bounds(area), scale);
    return {ticksMeeting(lattice.rows, box.south, box.north, reach, true),
            ticksMeeting(lattice.columns, box.west, box.east, reach, false)};
}

// How many of the cells in `rows` and `columns` of a map area's lattice at a BCGS scale
// cut `cuts` times lie in BC: the box's cells, 1:20 000 cell by 1:20 000 cell, where
// a whole map area would count the cells BC never drew.
std::size_t bcgsCountIn(int series, char letter, const IndexRange& rows, const IndexRange& columns,
                        int cuts) {
    if (rows.size() == 0 || columns.size() == 0) {
        return 0;
    }
    const int side = 1 << cuts;
    std::size_t count = 0;
    for (int number = layout::kFirstBcgsNumber; number <= layout::kLastBcgsNumber; ++number) {
        if (layout::isInBc(series, letter, number)) {
            const auto [row20k, column20k] = placeOfNumber(number);
            count += rows.within(row20k * side, row20k * side + side - 1).size() *
                     columns.within(column20k * side, column20k * side + side - 1).size();
        }
    }
    return count;
}

// Visits every BCGS cell at `scale` that the box meets, in reference order: BC's series
// in turn, their map areas by letter, in each the 1:20 000 numbers in turn, and in each
// number its quarters by digit, depth first. Nothing is gathered; the cells are made as
// they are visited. The first `skip` cells are passed over by counting, a map area or
// a 1:20 000 cell at a time where they fit. Stops when `visit` returns false, and
// tells whether it ran through.
bool visitBcgsCells(const Bounds& box, Scale scale, Reach reach,
                    const std::function<bool(const Reference&)>& visit, std::size_t skip = 0) {
    const int cuts = cutsOf(scale);
    const int side = 1 << cuts; // cells of `scale` across a 1:20 000 cell
    // The halves, south-west first, in the order of their digits.
    std::array<std::pair<int, int>, layout::kLastQuarterDigit> halves{};
    for (int digit = layout::kFirstQuarterDigit; digit <= layout::kLastQuarterDigit; ++digit) {
        halves[static_cast<std::size_t>(digit - layout::kFirstQuarterDigit)] =
            placeOfQuarter(digit);
    }
    const int descendants = side * side;
    static_assert(std::is_sorted(layout::kBcgsSeries.begin(), layout::kBcgsSeries.end()));
    for (const int series : layout::kBcgsSeries) {
        // Letters in alphabetical order, which is reference order.
        for (std::size_t i = 0; i < layout::kSouthern.letters.size(); ++i) {
            const auto letter = static_cast<char>('A' + i);
            const auto [rows, columns] =
                bcgsRangesIn(*Reference::mapArea(series, letter), box, scale, reach);
            if (const std::size_t inArea = bcgsCountIn(series, letter, rows, columns, cuts);
                skip >= inArea) {
                skip -= inArea;
                continue;
            }
            for (int number = layout::kFirstBcgsNumber; number <= layout::kLastBcgsNumber;
                 ++number) {
                if (!layout::isInBc(series, letter, number)) {
                    continue;
                }
                const auto [row20k, column20k] = placeOfNumber(number);
                const int row0 = row20k * side;
                const int column0 = column20k * side;
                const std::size_t inNumber = rows.within(row0, row0 + side - 1).size() *
                                             columns.within(column0, column0 + side - 1).size();
                if (skip >= inNumber) {
                    skip -= inNumber;
                    continue;
                }
                // Each descendant's quarter digits, read as a number in base 4, count up
                // in reference order.
                for (int index = 0; index < descendants; ++index) {
                    int row = row0;
                    int column = column0;
                    for (int cut = cuts - 1; cut >= 0; --cut) {
                        const auto [half, across] = halves[static_cast<std::size_t>(
                            index >> (2 * cut) & (layout::kLastQuarterDigit - 1))];
                        row += half << cut;
                        column += across << cut;
                    }
                    if (!(rows.first <= row && row <= rows.last && columns.first <= column &&
                          column <= columns.last)) {
                        continue;
                    }
                    if (skip > 0) {
                        --skip;
                        continue;
                    }
                    std::optional<Reference> cell = Reference::bcgs(series, letter, number);
                    for (int cut = cuts - 1; cut >= 0; --cut) {
                        cell =
                            cell->quarter((index >> (2 * cut) & (layout::kLastQuarterDigit - 1)) +
                                          layout::kFirstQuarterDigit);
                    }
                    if (!visit(*cell)) {
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

// locate() at a BCGS scale: the map area the NTS gives, then the cell of the map area's
// tick lattice that owns the point. Out of line, as locatePng is: inlined, they would
// make locating an NTS cell, a batch's, save and restore the registers they need.
[[gnu::noinline]] std::optional<Reference> locateBcgs(LatLon point, Scale scale) {
    const std::optional<Reference> area = locate(point, Scale::MapArea);
    if (!area || !layout::isBcgsSeries(area->seriesNumber())) {
        return std::nullopt;
    }
    const TickLattice lattice = tickLatticeOf(bounds(*area), scale);
    // The point lies in the map area, so both are in [0, count).
    const int row = lattice.rows.lastEdgeBelow(point.latitude, false);
    const int column = lattice.columns.lastEdgeBelow(point.longitude, true);
    const int cuts = cutsOf(scale);
    // nullopt where BC drew no cell.
    std::optional<Reference> cell = Reference::bcgs(
        area->seriesNumber(), area->letter(), layout::kBcgsNumbers[row >> cuts][column >> cuts]);
    if (!cell) {
        return std::nullopt;
    }
    for (int cut = cuts - 1; cut >= 0; --cut) {
        cell = cell->quarter(layout::kQuarterDigits[row >> cut & 1][column >> cut & 1]);
    }
    return cell;
}

Bounds bcgsBounds(const Reference& reference) {
    const Scale scale = reference.scale();
    const TickLattice lattice = tickLatticeOf(bounds(*reference.at(Scale::MapArea)), scale);
    auto [row, column] = placeOfNumber(reference.bcgsNumber());
    for (int cut = 0; cut < cutsOf(scale); ++cut) {
        const auto [half, across] = placeOfQuarter(reference.quarterDigit(cut));
        row = 2 * row + half;
        column = 2 * column + across;
    }
    return {lattice.rows.edge(row), lattice.rows.edge(row + 1), lattice.columns.edge(column),
            lattice.columns.edge(column + 1)};
}

// The petroleum and natural gas grid, sheet by sheet: each 1:50 000 sheet of BC's
// series is a lattice of quarter-unit ticks, 60 rows of 15" by 80 columns of 22.5".

// The ticks that cells of a PNG scale span each way: 20 for a block, 2 for a unit, 1
// for a quarter unit.
int pngCellTicks(Scale scale) {
    return scale == Scale::PngBlock  ? layout::kPngBlockTicks
           : scale == Scale::PngUnit ? layout::kPngUnitTicks
                                     : 1;
}

// The lattice of a PNG scale's cells over one sheet whose bounds are given: sheet
// edges are whole multiples of 15' and 30', so whole numbers of ticks.
TickLattice pngLatticeOf(const Bounds& sheet, Scale scale) {
    const int step = pngCellTicks(scale);
    return {{static_cast<int>(std::lround(sheet.south * layout::kPngRowTicksPerDegree)), step,
             layout::kPngSheetRowTicks / step, layout::kPngRowTicksPerDegree},
            {static_cast<int>(std::lround(sheet.west * layout::kPngColumnTicksPerDegree)), step,
             layout::kPngSheetColumnTicks / step, layout::kPngColumnTicksPerDegree}};
}

// The PNG cell at `scale` whose south-west quarter unit is at tick `row` and `column`
// of its sheet (0 to 59 and 0 to 79, columns eastward), or nullopt where BC drew no block.
std::optional<Reference> pngCellAt(const Reference& sheet, int row, int column, Scale scale) {
    const int blockRow = row / layout::kPngBlockTicks;
    const int blockColumn = column / layout::kPngBlockTicks;
    std::optional<Reference> cell =
        Reference::pngBlock(sheet.seriesNumber(), sheet.letter(), sheet.sheetNumber(),
                            layout::kPngBlockLetters[blockRow][blockColumn]);
    if (!cell || scale == Scale::PngBlock) {
        return cell;
    }
    const int unitRow = row % layout::kPngBlockTicks / layout::kPngUnitTicks;
    const int unitColumn = column % layout::kPngBlockTicks / layout::kPngUnitTicks;
    cell = cell->pngUnit(layout::kPngUnitNumbers[unitRow][unitColumn]);
    if (scale == Scale::PngUnit) {
        return cell;
    }
    return cell->pngQuarterUnit(
        layout::kPngQuarterLetters[row % layout::kPngUnitTicks][column % layout::kPngUnitTicks]);
}

[[gnu::noinline]] std::optional<Reference> locatePng(LatLon point, Scale scale) {
    const std::optional<Reference> sheet = locate(point, Scale::Sheet);
    if (!sheet || !layout::isBcgsSeries(sheet->seriesNumber())) {
        return std::nullopt;
    }
    // The point lies in the sheet, whose edges are exact, so both are in range.
    const TickLattice lattice = pngLatticeOf(bounds(*sheet), Scale::PngQuarterUnit);
    const int row = lattice.rows.lastEdgeBelow(point.latitude, false);
    const int column = lattice.columns.lastEdgeBelow(point.longitude, true);
    return pngCellAt(*sheet, row, column, scale);
}

// The tick row and column (of the sheet's quarter-unit lattice) of a PNG cell's
// south-west quarter unit.
std::pair<int, int> pngPlaceOf(const Reference& cell) {
    int row = 0;
    int column = 0;
    for (int r = 0; r < layout::kPngBlockRows; ++r) {
        for (int c = 0; c < layout::kPngBlockColumns; ++c) {
            if (layout::kPngBlockLetters[r][c] == cell.pngBlockLetter()) {
                row = r * layout::kPngBlockTicks;
                column = c * layout::kPngBlockTicks;
            }
        }
    }
    if (cell.scale() != Scale::PngBlock) {
        const auto [unitRow, unitColumn] = placeIn(layout::kPngUnitNumbers, cell.pngUnitNumber());
        row += unitRow * layout::kPngUnitTicks;
        column += unitColumn * layout::kPngUnitTicks;
    }
    if (cell.scale() == Scale::PngQuarterUnit) {
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 2; ++c) {
                if (layout::kPngQuarterLetters[r][c] == cell.pngQuarterLetter()) {
                    row += r;
                    column += c;
                }
            }
        }
    }
    return {row, column};
}

Bounds pngBounds(const Reference& cell) {
    const TickLattice lattice = pngLatticeOf(bounds(*cell.at(Scale::Sheet)), Scale::PngQuarterUnit);
    const auto [row, column] = pngPlaceOf(cell);
    const int size = pngCellTicks(cell.scale());
    return {lattice.rows.edge(row), lattice.rows.edge(row + size), lattice.columns.edge(column),
            lattice.columns.edge(column + size)};
}

// Visits every PNG cell at `scale` that the box meets, in reference order: the sheets
// of BC's series in turn, in each the blocks A to L, their units 1 to 100 and the
// quarter units a to d. The first `skip` are counted, a block at a time where they
// fit, not made. Stops when `visit` returns false, and tells whether it ran through.
// With `visit` empty it only counts, and returns how many it met in `counted`.
bool visitPngCells(const Bounds& box, Scale scale, Reach reach,
                   const std::function<bool(const Reference&)>& visit, std::size_t skip = 0,
                   std::size_t* counted = nullptr) {
    const int size = pngCellTicks(scale);
    for (const int series : layout::kBcgsSeries) {
        for (std::size_t i = 0; i < layout::kSouthern.letters.size(); ++i) {
            const auto letter = static_cast<char>('A' + i);
            const Bounds area = bounds(*Reference::mapArea(series, letter));
            if (box.north < area.south || area.north < box.south || box.east < area.west ||
                area.east < box.west) {
                continue;
            }
            for (int number = layout::kFirstSheet; number <= layout::kLastSheet; ++number) {
                const Reference sheet = *Reference::sheet(series, letter, number);
                const TickLattice lattice = pngLatticeOf(bounds(sheet), scale);
                const IndexRange rows =
                    ticksMeeting(lattice.rows, box.south, box.north, reach, true);
                const IndexRange columns =
                    ticksMeeting(lattice.columns, box.west, box.east, reach, false);
                if (rows.size() == 0 || columns.size() == 0) {
                    continue;
                }
                for (char block = layout::kFirstPngBlock; block <= layout::kLastPngBlock; ++block) {
                    const std::optional<Reference> blockCell =
                        Reference::pngBlock(series, letter, number, block);
                    if (!blockCell) {
                        continue;
                    }
                    const auto [row0, column0] = pngPlaceOf(*blockCell);
                    const int across = layout::kPngBlockTicks / size;
                    const IndexRange inRows = rows.within(row0 / size, row0 / size + across - 1);
                    const IndexRange inColumns =
                        columns.within(column0 / size, column0 / size + across - 1);
                    const std::size_t inBlock = inRows.size() * inColumns.size();
                    if (counted != nullptr) {
                        *counted += inBlock;
                    }
                    if (!visit || inBlock == 0) {
                        continue;
                    }
                    if (skip >= inBlock) {
                        skip -= inBlock;
                        continue;
                    }
                    // The block's cells in reference order: by unit, then quarter unit.
                    std::vector<Reference> cells;
                    for (int row = inRows.first; row <= inRows.last; ++row) {
                        for (int column = inColumns.first; column <= inColumns.last; ++column) {
                            cells.push_back(*pngCellAt(sheet, row * size, column * size, scale));
                        }
                    }
                    std::sort(cells.begin(), cells.end());
                    for (const Reference& cell : cells) {
                        if (skip > 0) {
                            --skip;
                            continue;
                        }
                        if (!visit(cell)) {
                            return false;
                        }
                    }
                }
            }
        }
    }
    return true;
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

} // namespace

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
    if (isBcgs(scale)) {
        return locateBcgs(point, scale);
    }
    if (isPng(scale)) {
        return locatePng(point, scale);
    }
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
    if (isBcgs(reference.scale())) {
        return bcgsBounds(reference);
    }
    if (isPng(reference.scale())) {
        return pngBounds(reference);
    }
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
    const Scale scale = reference.scale();
    if (!isBcgs(scale) && !isPng(scale)) {
        std::vector<Reference> found = cellsIn(bounds(reference), scale, Reach::Touching);
        std::erase(found, reference);
        return found;
    }
    // The BCGS and PNG grids are walked, not gathered: every cell touching this one.
    std::vector<Reference> found;
    const auto collect = [&](const Reference& cell) {
        if (cell != reference) {
            found.push_back(cell);
        }
        return true;
    };
    if (isBcgs(scale)) {
        visitBcgsCells(bounds(reference), scale, Reach::Touching, collect);
    } else {
        visitPngCells(bounds(reference), scale, Reach::Touching, collect);
    }
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
    if (!isBcgs(scale) && !isPng(scale)) {
        if (const std::optional<BoxFailure> failure = checkBox(box)) {
            return *failure;
        }
        return cellsIn(box, scale, Reach::Covering);
    }
    std::vector<Reference> found;
    if (const std::optional<BoxFailure> failure =
            coverEach(box, scale, [&found](const Reference& cell) {
                found.push_back(cell);
                return true;
            })) {
        return *failure;
    }
    return found;
}

std::optional<BoxFailure> coverEach(const Bounds& box, Scale scale,
                                    const std::function<bool(const Reference&)>& visit,
                                    std::size_t skip) {
    if (const std::optional<BoxFailure> failure = checkBox(box)) {
        return failure;
    }
    if (isBcgs(scale)) {
        visitBcgsCells(box, scale, Reach::Covering, visit, skip);
        return std::nullopt;
    }
    if (isPng(scale)) {
        visitPngCells(box, scale, Reach::Covering, visit, skip);
        return std::nullopt;
    }
    const std::vector<Reference> cells = cellsIn(box, scale, Reach::Covering);
    for (std::size_t i = skip; i < cells.size(); ++i) {
        if (!visit(cells[i])) {
            break;
        }
    }
    return std::nullopt;
}

std::variant<std::size_t, BoxFailure> coverCount(const Bounds& box, Scale scale) {
    if (const std::optional<BoxFailure> failure = checkBox(box)) {
        return *failure;
    }
    if (isPng(scale)) {
        std::size_t count = 0;
        visitPngCells(box, scale, Reach::Covering, nullptr, 0, &count);
        return count;
    }
    if (!isBcgs(scale)) {
        return cellsIn(box, scale, Reach::Covering).size();
    }
    std::size_t count = 0;
    for (const int series : layout::kBcgsSeries) {
        for (std::size_t i = 0; i < layout::kSouthern.letters.size(); ++i) {
            const auto letter = static_cast<char>('A' + i);
            const auto [rows, columns] =
                bcgsRangesIn(*Reference::mapArea(series, letter), box, scale, Reach::Covering);
            count += bcgsCountIn(series, letter, rows, columns, cutsOf(scale));
        }
    }
    return count;
}

std::variant<CoverPage, BoxFailure> coverPage(const Bounds& box, Scale scale, std::size_t offset,
                                              std::size_t limit) {
    if (const std::optional<BoxFailure> failure = checkBox(box)) {
        return *failure;
    }
    CoverPage page;
    if (!isBcgs(scale) && !isPng(scale)) {
        // At most the 27 264 sheets, gathered once rather than counted and then walked.
        std::vector<Reference> all = cellsIn(box, scale, Reach::Covering);
        page.matched = all.size();
        const std::size_t first = std::min(offset, all.size());
        const std::size_t last = first + std::min(limit, all.size() - first);
        page.cells.assign(all.begin() + static_cast<std::ptrdiff_t>(first),
                          all.begin() + static_cast<std::ptrdiff_t>(last));
        return page;
    }
    // The BCGS and PNG grids count the cells before the page instead of making them.
    page.matched = std::get<std::size_t>(coverCount(box, scale));
    if (offset < page.matched && limit > 0) {
        coverEach(
            box, scale,
            [&](const Reference& cell) {
                page.cells.push_back(cell);
                return page.cells.size() < limit;
            },
            offset);
    }
    return page;
}

// Defined here, beside locate, so that the compiler can inline locate into it: the
// window's operation then costs hardly more than locate itself.
std::optional<Reference> sheetfindSheet(double longitude, double latitude) {
    // locate already answers nothing outside the grid, and its southern and Arctic
    // zones span exactly the window's meridians, 144° W to 48° W: of the rest of the
    // grid only the high Arctic is left to leave out. Written so that NaN fails.
    if (!(latitude < layout::kHighArcticLatitude)) {
        return std::nullopt;
    }
    return locate({.latitude = latitude, .longitude = longitude}, Scale::Sheet);
}

std::string sheetfindGrid(double longitude, double latitude) {
    const std::optional<Reference> sheet = sheetfindSheet(longitude, latitude);
    return sheet ? sheet->text() : std::string();
}

} // namespace sheetref
