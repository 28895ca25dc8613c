// SPDX-License-Identifier: MIT
#pragma once

#include "geometry_cover.h"

#include <span>
#include <vector>

// Which cells of the NTS grid a route needs when its edges are geodesics on the WGS 84
// ellipsoid (the shortest paths a flight, a radio link or a long survey line follows)
// rather than straight lines in longitude and latitude. Between Vancouver and Calgary
// the two differ by some kilometres, enough to need other 1:50 000 sheets.
//
// The cover is worked out by walking the lattice of 30' meridians and 15' parallels on
// which every NTS cell edge of every zone and scale lies (at the BCGS scales, of the
// 1'30" meridians and 45" parallels of the 1:2 500 cells): each edge is cut where its
// geodesic crosses a lattice line (found by bisection on the arc length, to about
// 1e-12 degrees), so that each piece between two crossings lies in one lattice cell.
// A point of the geodesic closer than that to a lattice line may be given to the cell
// on the other side.
namespace sheetref {

// The cells at `scale` that hold some point of the geodesic polyline, each point by
// the grid's edge rule (west < longitude <= east, south <= latitude < north), in
// reference order without duplicates, or the first bad vertex. Each edge is the
// shortest geodesic between its vertices, so an edge may cross the antimeridian. A
// single vertex covers its own cell; no vertex covers nothing; parts outside the grid
// are ignored.
//
// Example: from Vancouver (49.28, -123.12) to Calgary (51.05, -114.07) at
// Scale::Sheet the geodesic passes through 082L04 and 082L07, north of the straight
// line in longitude and latitude, which passes through 082E14 instead.
GeometryCover coverGeodesicLine(std::span<const LatLon> vertices, Scale scale);

// The cells at `scale` that share some area with the polygon whose edges are
// geodesics; rings as in coverPolygon (rings[0] the outer ring, then the holes).
GeometryCover coverGeodesicPolygon(std::span<const std::vector<LatLon>> rings, Scale scale);

// The geodesic polyline traced by straight pieces that each stay within one cell of the
// lattice of `scale` (the NTS lattice for the NTS scales, the BCGS one for the BCGS
// scales): the vertices with every lattice crossing of each edge between them (exactly
// on its meridian or parallel, as bounds() gives it) and a point of the geodesic
// between each two crossings. Longitudes are within [-180, 180]. Vertices are expected
// to be valid (finite, latitude in [-90, 90], longitude in [-180, 180]).
std::vector<LatLon> geodesicPath(std::span<const LatLon> vertices, Scale scale = Scale::Sheet);

} // namespace sheetref
