// SPDX-License-Identifier: MIT
#pragma once

#include "coordinates.h"
#include "lat_lon.h"
#include "reference.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Which cells of the NTS grid a line or a polygon needs: the sheets for a route or a
// park. Geometries are in geographic coordinates, decimal degrees, and their edges are
// straight in longitude and latitude (as a GIS draws them in a geographic CRS); they
// never wrap round the antimeridian.
//
// Decisions are exact on the doubles given: a vertex or an edge that lies exactly on a
// meridian or a parallel of the grid is treated as lying on it, never as a rounding
// error away. (A coordinate smaller in magnitude than 2^-480, about 3e-145, is read as
// zero, so that products of coordinates never underflow; it is the one place where a
// value is not taken as it is, and it lies far from any cell.)
//
// At the BCGS scales the same holds for every vertex, measured against the doubles
// bounds() gives the BCGS edges (49.1, -123.2). Those edges are multiples of 45", not of
// a power of two, so the course of an edge between its vertices may move by a rounding
// error: a segment that passes within some 1e-13 degrees of a BCGS corner may be
// given the cells on the other side of it.
namespace sheetref {

// What can be wrong with a vertex.
enum class GeometryError {
    NotANumber,     // NaN or infinite
    LatitudeRange,  // a latitude outside [-90, 90]
    LongitudeRange, // a longitude outside [-180, 180]
};

struct GeometryFailure {
    GeometryError error;
    std::size_t vertex;              // its index in the line or the ring, from 0
    std::optional<std::size_t> ring; // for a polygon: 0 the outer ring, then the holes
    Coordinate coordinate;
    double value;
    bool point = false; // the geometry is a single point, not a line of one vertex

    bool operator==(const GeometryFailure&) const = default;
};

// One English sentence naming the vertex, the coordinate, its value and what was
// expected, e.g. "vertex 2 of the line: the latitude nan is not a number; expected
// decimal degrees", "vertex 0 of ring 1 (a hole): latitude 95 is out of range -90..90",
// "the point: latitude 91 is out of range -90..90".
std::string describe(const GeometryFailure& failure);

// The first vertex that is not finite or out of range; `ring` as in GeometryFailure.
std::optional<GeometryFailure> checkVertices(std::span<const LatLon> vertices,
                                             std::optional<std::size_t> ring);

// The cells, in reference order and without duplicates, or the first bad vertex.
using GeometryCover = std::variant<std::vector<Reference>, GeometryFailure>;

// The cells at `scale` that hold some point of the polyline, each point by the grid's
// edge rule (the cell locate gives it). So a line running exactly along a meridian
// belongs to the cells west of it, one along a parallel to the cells north of it, and
// a line through a corner of four cells only to those it enters. A single vertex
// covers its own cell; no vertex covers nothing. Parts outside the grid are ignored.
//
// Example: the line from (49.3, -123.95) to (49.62, -122.35) covers 092G at
// Scale::MapArea, and 092G05, 092G06, 092G07, 092G09 and 092G10 at Scale::Sheet.
GeometryCover coverLine(std::span<const LatLon> vertices, Scale scale);

// The cell that holds a point, by the grid's edge rule (none outside the grid), or a
// failure that names it as a point.
GeometryCover coverPoint(const LatLon& point, Scale scale);

// The cells at `scale` that share some area with the polygon. rings[0] is the outer
// ring and the others are holes; each ring may be closed (last vertex equal to the
// first) or not. A cell that only touches the polygon's boundary, along an edge or at
// a point, is not covered: the polygon of a cell's own bounds covers that cell alone.
//
// Inside is decided by crossing parity (even-odd), so the orientation of the rings does
// not matter. The polygon is expected to be valid as in OGC simple features (rings do
// not cross and meet only at points). A hole with no area (fewer than three distinct
// vertices, or all on one line) takes nothing away. An outer ring with no area covers
// what its outline covers as a line, as coverLine does, from its first vertex back to
// it: a polygon collapsed to a point covers that point's cell, one collapsed to a line
// the cells of that line; its holes are ignored. An edge that retraces another, as in
// a zero-width spike, still counts the cells it crosses. No rings cover nothing.
GeometryCover coverPolygon(std::span<const std::vector<LatLon>> rings, Scale scale);

// The union of several covers, for multi-part geometries: sorted, no duplicates.
std::vector<Reference> mergeCovers(std::span<const std::vector<Reference>> covers);

inline constexpr int kMaxPointsPerEdge = 1 << 16;

// The message for points per edge that are not a whole number in [1,
// kMaxPointsPerEdge], as given: points per edge "0" is not a whole number from 1 to
// 65536.
std::string describePointsPerEdge(std::string_view given);

// The cell's outline as a closed exterior ring: counter-clockwise with longitude as x,
// starting and ending at the south-west corner (south-west, south-east, north-east,
// north-west). Each edge is cut into `pointsPerEdge` equal steps, so the ring has
// 4 * pointsPerEdge + 1 points and 1 gives the four corners and the closing point.
// Every point lies exactly on the cell's edge. nullopt when pointsPerEdge is outside
// [1, kMaxPointsPerEdge].
std::optional<std::vector<LatLon>> cellRing(const Reference& reference, int pointsPerEdge);

} // namespace sheetref
