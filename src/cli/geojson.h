#pragma once

#include "reference.h"

#include <string>
#include <vector>

namespace sheetfind {

// An RFC 7946 FeatureCollection with one Polygon feature per reference, in the
// order given: longitude first, the exterior ring counterclockwise from the
// south-west corner and closed, properties "reference" (the canonical text) and
// "scale" ("1:50000", "1:250000" or "1:1000000"). Coordinates are WGS 84 degrees,
// the GeoJSON default, so QGIS and other GIS tools open it as it is. Ends with a
// newline.
std::string featureCollection(const std::vector<sheetref::Reference>& references);

} // namespace sheetfind
