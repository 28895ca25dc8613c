// SPDX-License-Identifier: MIT
#pragma once

#include "grid.h"
#include "reference.h"

#include <nlohmann/json.hpp>

#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Cells as GeoJSON, and the box of a `bbox` parameter, as both the JSON API and the
// OGC API - Features answer them.
namespace sheetfind::server {

// A cell as a GeoJSON Feature: its id is the reference, its properties the fields of
// every layer of cells (gis::cellFields) and its geometry the densified outline,
// longitude first.
nlohmann::json cellFeature(const sheetref::Reference& cell);

// The cells as a GeoJSON FeatureCollection, in the order given.
nlohmann::json featureCollection(std::span<const sheetref::Reference> cells);

// The box of a `bbox` parameter, WEST,SOUTH,EAST,NORTH in degrees with a dot, the
// order of OGC APIs and GeoJSON; or the message for a text that is not such a box.
std::variant<sheetref::Bounds, std::string> boxOfBbox(std::string_view bbox);

// The same, where a WEST east of EAST is a box across the antimeridian, as OGC API -
// Features reads it: the two boxes either side of it.
std::variant<std::vector<sheetref::Bounds>, std::string> boxesOfBbox(std::string_view bbox,
                                                                     bool acrossAntimeridian);

} // namespace sheetfind::server
