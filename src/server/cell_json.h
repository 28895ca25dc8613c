// SPDX-License-Identifier: MIT
#pragma once

#include "datum.h"
#include "grid.h"
#include "reference.h"

#include <nlohmann/json.hpp>

#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Cells as GeoJSON, and the box of a `bbox` parameter, as both the JSON API and the
// OGC API - Features answer them.
namespace sheetfind::server {

// A cell as a GeoJSON Feature: its id is the reference, its properties the fields of
// every layer of cells (gis::cellFields) and its geometry the densified outline in
// CRS84, longitude first. A cell of the petroleum and natural gas grid is drawn in
// NAD27: its outline is shifted to NAD83 (GridDatumShift), and its south, west, north
// and east stay the grid's NAD27 degrees, which the property "bounds_datum": "NAD27"
// says. The message instead where the outline could not be shifted.
// Its outline is densified, following its edges in any projection, or its corners
// alone: enough where meridians and parallels are straight lines, as on the web map,
// at a fifth of the bytes.
enum class Outline { Densified, Corners };
using FeatureResult = std::variant<nlohmann::json, std::string>;
FeatureResult cellFeature(const sheetref::Reference& cell, Outline outline = Outline::Densified);

// The cells as a GeoJSON FeatureCollection, in the order given; or the first message.
FeatureResult featureCollection(std::span<const sheetref::Reference> cells,
                                Outline outline = Outline::Densified);

// A cell's bounds as JSON: {"south", "west", "north", "east"}, and "datum": "NAD27" for
// a cell of the petroleum and natural gas grid, whose degrees are NAD27's.
nlohmann::json boundsJson(const sheetref::Reference& cell);

// What a box of CRS84 degrees covers of the grid at `scale`, in the grid's degrees: the
// box itself for the NTS and the BCGS; for the petroleum and natural gas grid, the part
// of it near BC shifted into NAD27, or nullopt where it holds nothing of BC. The message
// instead where the box could not be shifted.
std::variant<std::optional<sheetref::Bounds>, std::string>
boxInGridDatum(const sheetref::Bounds& box, sheetref::Scale scale);

// The server's one locator of the map's WGS 84 points and boxes: PROJ makes its
// operation once (a quarter of a second in its database, too long for each of the
// server's threads to repeat) and its objects serve one thread at a time, under the lock.
struct MapLocator {
    std::mutex lock;
    DatumLocator locator{Datum::Wgs84};
};
MapLocator& mapLocator();

// The extent of the grid at `scale` in CRS84: the NTS grid's, or BC's series for the
// BCGS and the petroleum and natural gas grid, from the cells themselves.
const sheetref::Bounds& extentOf(sheetref::Scale scale);

// The box of a `bbox` parameter, WEST,SOUTH,EAST,NORTH in degrees with a dot, the
// order of OGC APIs and GeoJSON; or the message for a text that is not such a box.
std::variant<sheetref::Bounds, std::string> boxOfBbox(std::string_view bbox);

// The same, where a WEST east of EAST is a box across the antimeridian, as OGC API -
// Features reads it: the two boxes either side of it.
std::variant<std::vector<sheetref::Bounds>, std::string> boxesOfBbox(std::string_view bbox,
                                                                     bool acrossAntimeridian);

} // namespace sheetfind::server
