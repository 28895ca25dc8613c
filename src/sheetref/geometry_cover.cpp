// SPDX-License-Identifier: MIT
#include "geometry_cover.h"

#include "bcgs_layout.h"
#include "decimal_text.h"
#include "grid.h"
#include "nts_layout.h"
#include "png_layout.h"
#include "quote.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace sheetref {
namespace {

// Every NTS cell edge of every zone and scale lies on a 30' meridian and a 15'
// parallel: southern sheets are 30' wide, Arctic and high-Arctic cells are whole
// multiples of it, and every height is a multiple of 15'. So the cells of this fine
// lattice nest in the cells of any NTS scale, and the geometry is worked out once on
// it. Scaling by these powers of two is exact, so in lattice units every grid line is
// an integer.
constexpr double kColumnsPerDegree = 1.0 / layout::kSouthernSheetWidth;
constexpr double kRowsPerDegree = 1.0 / layout::kSheetHeight;
static_assert(kColumnsPerDegree == 2.0 && kRowsPerDegree == 4.0);

// The BCGS cells nest in their own fine lattice, of 1:2 500 cells (1'30" x 45"). Its
// scale factors, 40 and 80, are not powers of two: a coordinate is placed in it
// exactly with respect to every grid line (see toLattice), but the shape of a segment
// between two vertices may move by a rounding error.
constexpr double kBcgsColumnsPerDegree =
    static_cast<double>(layout::kTicksPerDegree) / layout::kBcgs2500WidthTicks;
constexpr double kBcgsRowsPerDegree =
    static_cast<double>(layout::kTicksPerDegree) / layout::kBcgs2500HeightTicks;
static_assert(kBcgsColumnsPerDegree == 40.0 && kBcgsRowsPerDegree == 80.0);

// The fine lattice a scale is worked out on, and the part of it that holds cells. Fine
// column c holds x in (c - 1, c] and fine row r holds y in [r, r + 1), which is the
// grid's edge rule.
struct FineLattice {
    double columnsPerDegree;
    double rowsPerDegree;
    int firstColumn;
    int lastColumn;
    int firstRow;
    int lastRow;
    bool powerOfTwo; // scaling is exact
};

// The NTS grid, and the box of BC's series, 48° to 60° N and 112° to 144° W.
constexpr FineLattice kNtsLattice{kColumnsPerDegree,
                                  kRowsPerDegree,
                                  static_cast<int>(layout::kWesternLimit* kColumnsPerDegree) + 1,
                                  static_cast<int>(layout::kOriginLongitude* kColumnsPerDegree),
                                  static_cast<int>(layout::kOriginLatitude* kRowsPerDegree),
                                  static_cast<int>(layout::kNorthernLimit* kRowsPerDegree) - 1,
                                  true};
constexpr double kBcgsWest = -144.0;
constexpr double kBcgsEast = -112.0;
constexpr double kBcgsSouth = 48.0;
constexpr double kBcgsNorth = 60.0;
constexpr FineLattice kBcgsLattice{kBcgsColumnsPerDegree,
                                   kBcgsRowsPerDegree,
                                   static_cast<int>(kBcgsWest* kBcgsColumnsPerDegree) + 1,
                                   static_cast<int>(kBcgsEast* kBcgsColumnsPerDegree),
                                   static_cast<int>(kBcgsSouth* kBcgsRowsPerDegree),
                                   static_cast<int>(kBcgsNorth* kBcgsRowsPerDegree) - 1,
                                   false};

// The petroleum and natural gas grid's quarter units, 22.5" x 15", in the same box.
constexpr double kPngColumnsPerDegree = layout::kPngColumnTicksPerDegree;
constexpr double kPngRowsPerDegree = layout::kPngRowTicksPerDegree;
constexpr FineLattice kPngLattice{kPngColumnsPerDegree,
                                  kPngRowsPerDegree,
                                  static_cast<int>(kBcgsWest* kPngColumnsPerDegree) + 1,
                                  static_cast<int>(kBcgsEast* kPngColumnsPerDegree),
                                  static_cast<int>(kBcgsSouth* kPngRowsPerDegree),
                                  static_cast<int>(kBcgsNorth* kPngRowsPerDegree) - 1,
                                  false};

const FineLattice& latticeFor(Scale scale) {
    return isBcgs(scale) ? kBcgsLattice : isPng(scale) ? kPngLattice : kNtsLattice;
}

// Half a fine cell, in lattice units: its centre is this far from each of its edges.
constexpr double kHalf = 0.5;

// Below this a coordinate is read as zero, so that every product of two coordinates
// is a normal double and the orientation test below stays exact.
constexpr double kTiny = 0x1p-480;

struct Point {
    double x; // longitude, in lattice units
    double y; // latitude, in lattice units
};

struct FineCell {
    int column;
    int row;

    auto operator<=>(const FineCell&) const = default;
};

double flushed(double value) {
    return std::abs(value) < kTiny ? 0.0 : value;
}

// A coordinate in lattice units. Where scaling rounds, the result is put on the same
// side of the nearest grid line as the coordinate lies of that line's own double (the
// one bounds() gives and locate decides on): exactly on it when the coordinate is that
// double, else a step off it if rounding would have landed on it or crossed it.
double scaled(double degrees, double perDegree, bool exact) {
    const double value = flushed(degrees) * perDegree;
    if (exact) {
        return value;
    }
    const double line = std::round(value);
    const double lineDegrees = line / perDegree;
    if (degrees == lineDegrees) {
        return line;
    }
    if (degrees > lineDegrees && value <= line) {
        return std::nextafter(line, kMaxLongitude * perDegree);
    }
    if (degrees < lineDegrees && value >= line) {
        return std::nextafter(line, -kMaxLongitude * perDegree);
    }
    return value;
}

Point toLattice(const LatLon& point, const FineLattice& lattice) {
    return {scaled(point.longitude, lattice.columnsPerDegree, lattice.powerOfTwo),
            scaled(point.latitude, lattice.rowsPerDegree, lattice.powerOfTwo)};
}

// a + b as the rounded sum and its exact error (Knuth's error-free transformation).
void twoSum(double a, double b, double& sum, double& error) {
    sum = a + b;
    const double bVirtual = sum - a;
    error = (a - (sum - bVirtual)) + (b - bVirtual);
}

// The sign of an exact sum of doubles. The terms are gathered into a nonoverlapping
// expansion (Shewchuk's grow-expansion), whose sign is that of its largest component.
template <std::size_t N> int signOfSum(const std::array<double, N>& terms) {
    std::array<double, N> expansion{};
    std::size_t size = 0;
    for (const double term : terms) {
        double carry = term;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < size; ++i) {
            double error = 0;
            twoSum(carry, expansion[i], carry, error);
            if (error != 0) {
                expansion[kept++] = error;
            }
        }
        expansion[kept++] = carry;
        size = kept;
    }
    for (std::size_t i = size; i-- > 0;) {
        if (expansion[i] != 0) {
            return expansion[i] > 0 ? 1 : -1;
        }
    }
    return 0;
}

// Which side of the line from p to q the point c lies on: 1 left, -1 right, 0 on it.
// Exact: a quick floating-point answer when it is clearly safe, else the six products
// of the determinant, each split exactly into two doubles with fma, summed exactly.
int orientation(Point p, Point q, Point c) {
    const double left = (p.x - c.x) * (q.y - c.y);
    const double right = (p.y - c.y) * (q.x - c.x);
    const double determinant = left - right;
    const double magnitude = std::abs(left) + std::abs(right);
    // Shewchuk's bound for this expression, valid while nothing underflows.
    constexpr double kEpsilon = 0x1p-53;
    constexpr double kBound = (3.0 + 16.0 * kEpsilon) * kEpsilon;
    constexpr double kSmallest = 0x1p-900;
    if (magnitude > kSmallest && std::abs(determinant) > kBound * magnitude) {
        return determinant > 0 ? 1 : -1;
    }
    const std::array<std::array<double, 2>, 6> products = {
        {{q.x, c.y}, {-q.x, p.y}, {-p.x, c.y}, {-q.y, c.x}, {q.y, p.x}, {p.y, c.x}}};
    std::array<double, 12> terms{};
    for (std::size_t i = 0; i < products.size(); ++i) {
        const double product = products[i][0] * products[i][1];
        terms[2 * i] = product;
        terms[2 * i + 1] = std::fma(products[i][0], products[i][1], -product);
    }
    return signOfSum(terms);
}

int sign(double value) {
    return (value > 0) - (value < 0);
}

int toInt(double integral) {
    // Only called on floors and ceilings of coordinates already checked to be within
    // [-180, 180] degrees, so within [-14 400, 14 400] lattice units.
    return static_cast<int>(integral);
}

enum class Walk {
    EveryPoint,    // the fine cells holding the points of the segment, by the edge rule
    OpenInteriors, // the fine cells whose open interior the segment passes through
};

// Walks the fine lattice from p to q and appends the cells met. The segment is cut at
// each meridian and parallel it crosses into crossing points and open pieces between
// them; a piece lies wholly in one fine cell, or on one lattice line when the segment
// runs along it. Which of a meridian and a parallel is crossed first is decided
// exactly by the side of the segment their intersection lies on. When it lies on the
// segment, the segment goes through that corner: the point there takes the corner's
// own cell, and the piece after it lies diagonally across from the piece before it,
// never in the two cells that only touch the corner.
void walkSegment(Point p, Point q, Walk walk, std::vector<FineCell>& cells) {
    const auto add = [&cells](int column, int row) {
        if (cells.empty() || cells.back() != FineCell{column, row}) {
            cells.push_back({column, row});
        }
    };
    const int dirX = sign(q.x - p.x);
    const int dirY = sign(q.y - p.y);
    if (walk == Walk::EveryPoint) {
        add(toInt(std::ceil(p.x)), toInt(std::floor(p.y)));
    }
    if (dirX == 0 && dirY == 0) {
        return;
    }
    // The fine cell of the piece just after p.
    int column = toInt(dirX > 0 ? std::floor(p.x) + 1 : std::ceil(p.x));
    int row = toInt(dirY < 0 ? std::ceil(p.y) - 1 : std::floor(p.y));
    const bool onLine =
        (dirX == 0 && p.x == std::ceil(p.x)) || (dirY == 0 && p.y == std::floor(p.y));
    const auto addPiece = [&] {
        if (walk == Walk::EveryPoint || !onLine) {
            add(column, row);
        }
    };
    addPiece();
    // The next meridian and parallel strictly between p and q, and the last ones.
    int meridian = toInt(dirX > 0 ? std::floor(p.x) + 1 : std::ceil(p.x) - 1);
    const int lastMeridian = toInt(dirX > 0 ? std::ceil(q.x) - 1 : std::floor(q.x) + 1);
    int parallel = toInt(dirY > 0 ? std::floor(p.y) + 1 : std::ceil(p.y) - 1);
    const int lastParallel = toInt(dirY > 0 ? std::ceil(q.y) - 1 : std::floor(q.y) + 1);
    const auto before = [](int next, int last, int dir) {
        return dir != 0 && (dir > 0 ? next <= last : next >= last);
    };
    while (true) {
        const bool moreMeridians = before(meridian, lastMeridian, dirX);
        const bool moreParallels = before(parallel, lastParallel, dirY);
        if (!moreMeridians && !moreParallels) {
            break;
        }
        // < 0: the meridian comes first; > 0: the parallel; 0: both at once.
        int order = moreMeridians ? -1 : 1;
        if (moreMeridians && moreParallels) {
            const Point corner{static_cast<double>(meridian), static_cast<double>(parallel)};
            const int side = orientation(p, q, corner);
            order = side == 0 ? 0 : (side * dirX * dirY > 0 ? -1 : 1);
        }
        int pointColumn = column;
        int pointRow = row;
        if (order <= 0) {
            pointColumn = meridian;
            column = dirX > 0 ? meridian + 1 : meridian;
            meridian += dirX;
        }
        if (order >= 0) {
            pointRow = parallel;
            row = dirY > 0 ? parallel : parallel - 1;
            parallel += dirY;
        }
        if (walk == Walk::EveryPoint) {
            add(pointColumn, pointRow);
        }
        addPiece();
    }
    if (walk == Walk::EveryPoint) {
        add(toInt(std::ceil(q.x)), toInt(std::floor(q.y)));
    }
}

// The cells at `scale` that hold the fine cells; every fine cell lies in one of them
// or outside the grid.
std::vector<Reference> referencesOf(std::vector<FineCell> cells, Scale scale) {
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    const FineLattice& lattice = latticeFor(scale);
    std::vector<Reference> found;
    for (const FineCell& cell : cells) {
        const LatLon centre{.latitude = (cell.row + kHalf) / lattice.rowsPerDegree,
                            .longitude = (cell.column - kHalf) / lattice.columnsPerDegree};
        if (const std::optional<Reference> reference = locate(centre, scale)) {
            if (found.empty() || found.back() != *reference) {
                found.push_back(*reference);
            }
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

// A ring's vertices in lattice units, without its closing vertex or repeated ones, or
// nothing when the ring has no area: fewer than three distinct vertices, or all of
// them on one line.
std::vector<Point> ringWithArea(std::span<const LatLon> ring, const FineLattice& lattice) {
    std::vector<Point> points;
    for (const LatLon& vertex : ring) {
        const Point point = toLattice(vertex, lattice);
        if (points.empty() || points.back().x != point.x || points.back().y != point.y) {
            points.push_back(point);
        }
    }
    while (points.size() > 1 && points.back().x == points.front().x &&
           points.back().y == points.front().y) {
        points.pop_back();
    }
    if (points.size() < 3) {
        return {};
    }
    for (const Point& point : points) {
        if (orientation(points[0], points[1], point) != 0) {
            return points;
        }
    }
    return {};
}

struct Edge {
    Point from;
    Point to;
};

} // namespace

std::string describe(const GeometryFailure& failure) {
    std::string where = "vertex " + std::to_string(failure.vertex);
    if (failure.point) {
        where = "the point";
    } else if (!failure.ring) {
        where += " of the line";
    } else {
        where += " of ring " + std::to_string(*failure.ring) +
                 (*failure.ring == 0 ? " (the outer ring)" : " (a hole)");
    }
    const std::string_view coordinate =
        failure.coordinate == Coordinate::Latitude ? "latitude" : "longitude";
    if (failure.error == GeometryError::NotANumber) {
        return where + ": the " + std::string(coordinate) + " " + decimalText(failure.value) +
               " is not a number; expected decimal degrees";
    }
    return where + ": " + describeRange(coordinate, failure.coordinate, failure.value);
}

std::optional<GeometryFailure> checkVertices(std::span<const LatLon> vertices,
                                             std::optional<std::size_t> ring) {
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const std::pair<Coordinate, double> coordinates[] = {
            {Coordinate::Latitude, vertices[i].latitude},
            {Coordinate::Longitude, vertices[i].longitude}};
        for (const auto& [coordinate, value] : coordinates) {
            if (!std::isfinite(value)) {
                return GeometryFailure{GeometryError::NotANumber, i, ring, coordinate, value};
            }
            if (!inRange(coordinate, value)) {
                return GeometryFailure{coordinate == Coordinate::Latitude
                                           ? GeometryError::LatitudeRange
                                           : GeometryError::LongitudeRange,
                                       i, ring, coordinate, value};
            }
        }
    }
    return std::nullopt;
}

GeometryCover coverLine(std::span<const LatLon> vertices, Scale scale) {
    if (const std::optional<GeometryFailure> failure = checkVertices(vertices, std::nullopt)) {
        return *failure;
    }
    const FineLattice& lattice = latticeFor(scale);
    std::vector<FineCell> cells;
    if (vertices.size() == 1) {
        const Point point = toLattice(vertices[0], lattice);
        walkSegment(point, point, Walk::EveryPoint, cells);
    }
    for (std::size_t i = 1; i < vertices.size(); ++i) {
        walkSegment(toLattice(vertices[i - 1], lattice), toLattice(vertices[i], lattice),
                    Walk::EveryPoint, cells);
    }
    return referencesOf(std::move(cells), scale);
}

GeometryCover coverPoint(const LatLon& point, Scale scale) {
    GeometryCover cover = coverLine(std::span(&point, 1), scale);
    if (auto* failure = std::get_if<GeometryFailure>(&cover)) {
        failure->point = true;
    }
    return cover;
}

GeometryCover coverPolygon(std::span<const std::vector<LatLon>> rings, Scale scale) {
    for (std::size_t i = 0; i < rings.size(); ++i) {
        if (const std::optional<GeometryFailure> failure = checkVertices(rings[i], i)) {
            return *failure;
        }
    }
    const FineLattice& lattice = latticeFor(scale);
    std::vector<Edge> edges;
    double west = kMaxLongitude * lattice.columnsPerDegree;
    double east = -west;
    double south = kMaxLatitude * lattice.rowsPerDegree;
    double north = -south;
    for (std::size_t r = 0; r < rings.size(); ++r) {
        const std::vector<Point> points = ringWithArea(rings[r], lattice);
        if (r == 0 && points.empty()) {
            // A polygon collapsed to a point or a line still marks where it is, as a
            // box of no size does: its outline is covered as a line, and its holes,
            // which take nothing from no area, are left out.
            std::vector<LatLon> outline(rings[0].begin(), rings[0].end());
            if (!outline.empty()) {
                outline.push_back(outline.front());
            }
            return coverLine(outline, scale);
        }
        for (std::size_t i = 0; i < points.size(); ++i) {
            edges.push_back({points[i], points[(i + 1) % points.size()]});
            west = std::min(west, points[i].x);
            east = std::max(east, points[i].x);
            south = std::min(south, points[i].y);
            north = std::max(north, points[i].y);
        }
    }
    // The fine cells whose open interior meets the box of the polygon, within the grid.
    const int firstColumn = std::max(lattice.firstColumn, toInt(std::floor(west)) + 1);
    const int lastColumn = std::min(lattice.lastColumn, toInt(std::ceil(east)));
    const int firstRow = std::max(lattice.firstRow, toInt(std::floor(south)));
    const int lastRow = std::min(lattice.lastRow, toInt(std::ceil(north)) - 1);
    if (edges.empty() || firstColumn > lastColumn || firstRow > lastRow) {
        return std::vector<Reference>{};
    }
    const auto columns = static_cast<std::size_t>(lastColumn - firstColumn + 1);
    const auto rows = static_cast<std::size_t>(lastRow - firstRow + 1);
    std::vector<bool> marked(columns * rows, false);
    const auto index = [&](int column, int row) {
        return static_cast<std::size_t>(row - firstRow) * columns +
               static_cast<std::size_t>(column - firstColumn);
    };

    // A cell that an edge passes through has area of the polygon on one side of that
    // edge: crossing parity changes across it.
    std::vector<FineCell> crossed;
    for (const Edge& edge : edges) {
        walkSegment(edge.from, edge.to, Walk::OpenInteriors, crossed);
    }
    for (const FineCell& cell : crossed) {
        if (firstColumn <= cell.column && cell.column <= lastColumn && firstRow <= cell.row &&
            cell.row <= lastRow) {
            marked[index(cell.column, cell.row)] = true;
        }
    }

    // Any other cell lies wholly inside or wholly outside, as its centre does. One scan
    // line per row through the centres: every crossing lies on a column edge or beyond
    // the crossed cells, so a centre is never near one and rounding cannot misplace it.
    std::vector<std::vector<const Edge*>> edgesOfRow(rows);
    for (const Edge& edge : edges) {
        const double low = std::min(edge.from.y, edge.to.y);
        const double high = std::max(edge.from.y, edge.to.y);
        const int first = std::max(firstRow, toInt(std::ceil(low - kHalf)));
        const int last = std::min(lastRow, toInt(std::floor(high - kHalf)));
        for (int row = first; row <= last; ++row) {
            edgesOfRow[static_cast<std::size_t>(row - firstRow)].push_back(&edge);
        }
    }
    std::vector<double> crossings;
    for (int row = firstRow; row <= lastRow; ++row) {
        const double y = row + kHalf;
        crossings.clear();
        for (const Edge* edge : edgesOfRow[static_cast<std::size_t>(row - firstRow)]) {
            const Point a = edge->from;
            const Point b = edge->to;
            // Half-open in y, so that a vertex on the scan line counts once.
            if ((a.y <= y) != (b.y <= y)) {
                crossings.push_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
            }
        }
        std::sort(crossings.begin(), crossings.end());
        std::size_t passed = 0;
        for (int column = firstColumn; column <= lastColumn; ++column) {
            const double x = column - kHalf;
            while (passed < crossings.size() && crossings[passed] < x) {
                ++passed;
            }
            if (passed % 2 == 1) {
                marked[index(column, row)] = true;
            }
        }
    }

    std::vector<FineCell> inside;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            if (marked[index(column, row)]) {
                inside.push_back({column, row});
            }
        }
    }
    return referencesOf(std::move(inside), scale);
}

std::vector<Reference> mergeCovers(std::span<const std::vector<Reference>> covers) {
    std::vector<Reference> merged;
    for (const std::vector<Reference>& cover : covers) {
        merged.insert(merged.end(), cover.begin(), cover.end());
    }
    std::sort(merged.begin(), merged.end());
    merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
    return merged;
}

std::string describePointsPerEdge(std::string_view given) {
    return "points per edge " + quoteText(given) + " is not a whole number from 1 to " +
           std::to_string(kMaxPointsPerEdge);
}

std::optional<std::vector<LatLon>> cellRing(const Reference& reference, int pointsPerEdge) {
    if (!(1 <= pointsPerEdge && pointsPerEdge <= kMaxPointsPerEdge)) {
        return std::nullopt;
    }
    const Bounds b = bounds(reference);
    const double width = b.east - b.west;
    const double height = b.north - b.south;
    const double steps = pointsPerEdge;
    std::vector<LatLon> ring;
    ring.reserve(4 * static_cast<std::size_t>(pointsPerEdge) + 1);
    // Rounding is monotonic, so a step's point never passes the corner that ends its
    // edge, and the fixed coordinate is the edge's own.
    for (int i = 0; i < pointsPerEdge; ++i) {
        ring.push_back({.latitude = b.south, .longitude = b.west + width * i / steps});
    }
    for (int i = 0; i < pointsPerEdge; ++i) {
        ring.push_back({.latitude = b.south + height * i / steps, .longitude = b.east});
    }
    for (int i = 0; i < pointsPerEdge; ++i) {
        ring.push_back({.latitude = b.north, .longitude = b.east - width * i / steps});
    }
    for (int i = 0; i < pointsPerEdge; ++i) {
        ring.push_back({.latitude = b.north - height * i / steps, .longitude = b.west});
    }
    ring.push_back(ring.front());
    return ring;
}

} // namespace sheetref
