// SPDX-License-Identifier: MIT
#pragma once

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

// The cells at `scale` that the box of `bbox` touches (sheetref::cover), where the
// text is WEST,SOUTH,EAST,NORTH in degrees with a dot, the order of OGC APIs and
// GeoJSON; or the message for a text that is not such a box.
// Example: coverOfBbox("-123.4,49.3,-123.1,49.4", Scale::Sheet) holds 092G06.
std::variant<std::vector<sheetref::Reference>, std::string> coverOfBbox(std::string_view bbox,
                                                                        sheetref::Scale scale);

} // namespace sheetfind::server
