// SPDX-License-Identifier: MIT
#pragma once

#include <cpl_string.h>

#include <string>
#include <string_view>
#include <variant>

class GDALDriver;

namespace sheetfind::gis {

// The GDAL driver that writes `path`: the one `driverName` names, or else the one its
// extension means (.gpkg, .shp, .geojson, .json, .fgb, .kml, .gml, .csv, .gpx); a
// message naming the file or the driver when there is none that creates vector data.
std::variant<GDALDriver*, std::string> outputDriver(const std::string& path,
                                                    std::string_view driverName);

// The creation options with which a format keeps what a layer holds: its geometry
// in a CSV file (as WKT), its fields in GPX (as extensions), GeoJSON as RFC 7946.
struct CreationOptions {
    CPLStringList dataset;
    CPLStringList layer;
};
CreationOptions creationOptions(GDALDriver& driver);

// Whether the driver is the one GDAL names so, such as "GeoJSON".
bool isDriver(GDALDriver& driver, std::string_view name);

} // namespace sheetfind::gis
