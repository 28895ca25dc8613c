// SPDX-License-Identifier: MIT
#include "geodesic_cover.h"

#include "bcgs_layout.h"
#include "grid.h"
#include "nts_layout.h"
#include "png_layout.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>

namespace sheetref {
namespace {

using GeographicLib::Geodesic;
using GeographicLib::GeodesicLine;

// Every NTS cell edge of every zone and scale lies on one of these lines (see
// geometry_cover.cpp), so a geodesic piece that crosses none of them stays in one cell
// at any NTS scale: meridians every 30', parallels every 15'.
constexpr double kMeridiansPerDegree = 1.0 / layout::kSouthernSheetWidth;
constexpr double kParallelsPerDegree = 1.0 / layout::kSheetHeight;
// Every BCGS edge lies on the lines of the 1:2 500 cells, every 1'30" and 45".
constexpr double kBcgsMeridiansPerDegree =
    static_cast<double>(layout::kTicksPerDegree) / layout::kBcgs2500WidthTicks;
constexpr double kBcgsParallelsPerDegree =
    static_cast<double>(layout::kTicksPerDegree) / layout::kBcgs2500HeightTicks;

constexpr double kFullTurn = 360.0;
// Arc lengths on the auxiliary sphere, in degrees: latitude has a turning point (a
// vertex of the geodesic) where the arc from the northward equator crossing is 90°
// plus a multiple of 180°.
constexpr double kQuarterArc = 90.0;
constexpr double kHalfArc = 180.0;
// Halving the arc interval this often brings it below the resolution of a double.
constexpr int kMaxBisections = 200;

constexpr unsigned kPositionMask = Geodesic::LATITUDE | Geodesic::LONGITUDE | Geodesic::LONG_UNROLL;

struct Event {
    double arc;   // degrees along the edge, from its first vertex
    LatLon point; // longitude unrolled from the first vertex's
};

double normalizedLongitude(double longitude) {
    double normal = std::remainder(longitude, kFullTurn);
    // The grid lies in the western hemisphere: keep -180 rather than 180.
    return normal == kMaxLongitude ? -kMaxLongitude : normal;
}

class Edge {
public:
    Edge(const LatLon& a, const LatLon& b)
        : m_line(Geodesic::WGS84().InverseLine(a.latitude, a.longitude, b.latitude, b.longitude,
                                               kPositionMask)) {}

    double arc() const { return m_line.Arc(); }

    LatLon at(double arc) const {
        double latitude = 0;
        double longitude = 0;
        double unused = 0;
        m_line.GenPosition(true, arc, kPositionMask, latitude, longitude, unused, unused, unused,
                           unused, unused, unused);
        return {.latitude = latitude, .longitude = longitude};
    }

    // The arcs in (0, arc()) where the latitude turns.
    std::vector<double> turningArcs() const {
        std::vector<double> arcs;
        const double first = kQuarterArc - m_line.EquatorialArc();
        double arc = first - kHalfArc * std::floor(first / kHalfArc);
        for (; arc < m_line.Arc(); arc += kHalfArc) {
            if (arc > 0) {
                arcs.push_back(arc);
            }
        }
        return arcs;
    }

    // The arc in [low, high] where `coordinate` of the geodesic reaches `value`, given
    // that it is monotone there and passes the value strictly inside.
    template <typename Coordinate>
    double crossing(double low, double high, double value, Coordinate coordinate) const {
        const bool rising = coordinate(at(high)) > coordinate(at(low));
        for (int i = 0; i < kMaxBisections; ++i) {
            const double middle = low + (high - low) / 2;
            if (middle <= low || middle >= high) {
                break;
            }
            if ((coordinate(at(middle)) < value) == rising) {
                low = middle;
            } else {
                high = middle;
            }
        }
        return low + (high - low) / 2;
    }

private:
    GeodesicLine m_line;
};

double latitudeOf(const LatLon& point) {
    return point.latitude;
}
double longitudeOf(const LatLon& point) {
    return point.longitude;
}

// The lattice lines strictly between two values: k / perDegree for
// low < k / perDegree < high. Each line is the double nearest its true value, the one
// bounds() gives the cell edges on it (for the NTS every line is exact).
std::vector<double> linesBetween(double a, double b, double perDegree) {
    const double low = std::min(a, b);
    const double high = std::max(a, b);
    std::vector<double> lines;
    double k = std::floor(low * perDegree);
    while (k / perDegree <= low) {
        ++k;
    }
    for (; k / perDegree < high; ++k) {
        lines.push_back(k / perDegree);
    }
    return lines;
}

// The edge's vertices, turning points and lattice crossings, ordered along it, each
// crossing exactly on its lattice line.
std::vector<Event> eventsOf(const LatLon& a, const LatLon& b, Scale scale) {
    const double meridiansPerDegree = isBcgs(scale)  ? kBcgsMeridiansPerDegree
                                      : isPng(scale) ? layout::kPngColumnTicksPerDegree
                                                     : kMeridiansPerDegree;
    const double parallelsPerDegree = isBcgs(scale)  ? kBcgsParallelsPerDegree
                                      : isPng(scale) ? layout::kPngRowTicksPerDegree
                                                     : kParallelsPerDegree;
    std::vector<Event> events{{.arc = 0, .point = a}};
    if (a == b) {
        return events;
    }
    const Edge edge(a, b);
    const double length = edge.arc();
    const LatLon end = edge.at(length);
    // The longitude of a geodesic changes monotonically, so each meridian is crossed
    // at most once.
    for (const double meridian : linesBetween(a.longitude, end.longitude, meridiansPerDegree)) {
        const double arc = edge.crossing(0, length, meridian, longitudeOf);
        events.push_back(
            {.arc = arc, .point = {.latitude = edge.at(arc).latitude, .longitude = meridian}});
    }
    // The latitude is monotone between turning points.
    std::vector<double> bounds{0};
    for (const double arc : edge.turningArcs()) {
        bounds.push_back(arc);
        events.push_back({.arc = arc, .point = edge.at(arc)});
    }
    bounds.push_back(length);
    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        const double low = bounds[i];
        const double high = bounds[i + 1];
        const double southOrNorth = i == 0 ? a.latitude : edge.at(low).latitude;
        const double northOrSouth = i + 2 == bounds.size() ? b.latitude : edge.at(high).latitude;
        for (const double parallel : linesBetween(southOrNorth, northOrSouth, parallelsPerDegree)) {
            const double arc = edge.crossing(low, high, parallel, latitudeOf);
            events.push_back(
                {.arc = arc, .point = {.latitude = parallel, .longitude = edge.at(arc).longitude}});
        }
    }
    std::sort(events.begin() + 1, events.end(),
              [](const Event& x, const Event& y) { return x.arc < y.arc; });
    // The last vertex as given, not as the geodesic computes it back.
    events.push_back(
        {.arc = length, .point = {.latitude = b.latitude, .longitude = end.longitude}});
    // Between each two events the edge crosses no lattice line: a point between them
    // tells the cell of the whole piece.
    std::vector<Event> withPieces;
    withPieces.reserve(2 * events.size());
    // An edge along a meridian stays exactly on it, though GeographicLib's longitudes
    // may stray by a rounding error to the cell west or east.
    const bool meridional = a.longitude == b.longitude && std::abs(a.latitude) < kMaxLatitude &&
                            std::abs(b.latitude) < kMaxLatitude;
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (i > 0 && events[i].arc > events[i - 1].arc) {
            const double middle = events[i - 1].arc + (events[i].arc - events[i - 1].arc) / 2;
            withPieces.push_back({.arc = middle, .point = edge.at(middle)});
        }
        withPieces.push_back(events[i]);
    }
    if (meridional) {
        for (Event& event : withPieces) {
            event.point.longitude = a.longitude;
        }
    }
    return withPieces;
}

} // namespace

std::vector<LatLon> geodesicPath(std::span<const LatLon> vertices, Scale scale) {
    std::vector<LatLon> path;
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        if (i + 1 == vertices.size()) {
            if (path.empty()) {
                path.push_back(vertices[i]);
            }
            break;
        }
        const std::vector<Event> events = eventsOf(vertices[i], vertices[i + 1], scale);
        // Each edge starts where the last one ended.
        for (std::size_t j = i == 0 ? 0 : 1; j < events.size(); ++j) {
            LatLon point = events[j].point;
            point.longitude = normalizedLongitude(point.longitude);
            path.push_back(point);
        }
        // The last vertex exactly as given.
        path.back() = vertices[i + 1];
    }
    return path;
}

GeometryCover coverGeodesicLine(std::span<const LatLon> vertices, Scale scale) {
    if (const auto failure = checkVertices(vertices, std::nullopt)) {
        return *failure;
    }
    std::set<Reference> cells;
    for (const LatLon& point : geodesicPath(vertices, scale)) {
        if (const auto cell = locate(point, scale)) {
            cells.insert(*cell);
        }
    }
    return std::vector<Reference>(cells.begin(), cells.end());
}

GeometryCover coverGeodesicPolygon(std::span<const std::vector<LatLon>> rings, Scale scale) {
    std::vector<std::vector<LatLon>> paths;
    paths.reserve(rings.size());
    for (std::size_t r = 0; r < rings.size(); ++r) {
        if (const auto failure = checkVertices(rings[r], r)) {
            return *failure;
        }
        std::vector<LatLon> ring = rings[r];
        // The closing edge is a geodesic too.
        if (!ring.empty() && ring.front() != ring.back()) {
            ring.push_back(ring.front());
        }
        paths.push_back(geodesicPath(ring, scale));
    }
    // Each straight piece of a path stays in one lattice cell, as its geodesic does, so
    // the polygon of the paths shares area with the same cells.
    return coverPolygon(paths, scale);
}

} // namespace sheetref
