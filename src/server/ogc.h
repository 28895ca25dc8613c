// SPDX-License-Identifier: MIT
#pragma once

#include "api.h"

// The grid as OGC API - Features Part 1 (conformance classes Core, GeoJSON and
// OpenAPI 3.0), so that GIS clients such as QGIS and GDAL's OAPIF driver read it as
// three collections of polygons, one per scale: nts_1m (series), nts_250k (map areas)
// and nts_50k (sheets). Items are computed for each page, never read from a stored
// grid: the references of a box are cheap, and outlines are built for the page alone.
//
// Paths: / (the landing page: JSON for ?f=json or a client that does not ask for
// HTML, the map page for a browser), /conformance, /api (the OpenAPI document),
// /collections, /collections/{id}, /collections/{id}/items?bbox=W,S,E,N&limit=&offset=
// (limit in [1, 10000], 100 by default; offset from 0) and
// /collections/{id}/items/{reference}.
namespace sheetfind::server {

// The answer to a GET on one of the paths above: 400 with {"error": "..."} for a bad
// parameter or a text that is no reference, 404 for an unknown collection, a
// reference of another scale or any other path.
Response respondOgc(const Request& request);

} // namespace sheetfind::server
