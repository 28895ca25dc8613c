// SPDX-License-Identifier: MIT
#include "drivers.h"

#include "gdal_errors.h"

#include <gdal_priv.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace sheetfind::gis {
namespace {

struct ExtensionDriver {
    std::string_view extension; // lower case, with the dot
    std::string_view driver;
};

// What people expect a file name to mean; GDAL 3.6 cannot tell it from the name.
constexpr std::array kExtensionDrivers{
    ExtensionDriver{".gpkg", "GPKG"},       ExtensionDriver{".shp", "ESRI Shapefile"},
    ExtensionDriver{".geojson", "GeoJSON"}, ExtensionDriver{".json", "GeoJSON"},
    ExtensionDriver{".fgb", "FlatGeobuf"},  ExtensionDriver{".kml", "KML"},
    ExtensionDriver{".gml", "GML"},         ExtensionDriver{".csv", "CSV"},
    ExtensionDriver{".gpx", "GPX"},
};

// The same bytes on every platform: GDAL's text formats that choose their line ends
// would end them with CRLF on Windows.
constexpr const char* kLineFormat = "LF";

std::string lowered(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return lower;
}

std::string extensionOf(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return {};
    }
    return lowered(path.substr(dot));
}

std::string knownExtensions() {
    std::string list;
    for (const ExtensionDriver& known : kExtensionDrivers) {
        list += list.empty() ? "" : ", ";
        list += known.extension;
    }
    return list;
}

} // namespace

std::variant<GDALDriver*, std::string> outputDriver(const std::string& path,
                                                    std::string_view driverName) {
    registerDrivers();
    std::string name(driverName);
    if (name.empty()) {
        const std::string extension = extensionOf(path);
        for (const ExtensionDriver& known : kExtensionDrivers) {
            if (extension == known.extension) {
                name = known.driver;
            }
        }
        if (name.empty()) {
            return "cannot tell the format of \"" + path + "\" from its name; expected one of " +
                   knownExtensions() + ", or the name of a GDAL driver";
        }
    }
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(name.c_str());
    if (driver == nullptr || driver->GetMetadataItem(GDAL_DCAP_VECTOR) == nullptr ||
        driver->GetMetadataItem(GDAL_DCAP_CREATE) == nullptr) {
        return "unknown output driver \"" + name +
               "\"; expected a GDAL vector driver that creates files, such as GPKG, \"ESRI "
               "Shapefile\", GeoJSON or FlatGeobuf";
    }
    return driver;
}

CreationOptions creationOptions(GDALDriver& driver) {
    CreationOptions options;
    if (isDriver(driver, "GeoJSON")) {
        options.layer.SetNameValue("RFC7946", "YES");
    } else if (isDriver(driver, "CSV")) {
        // Without it a CSV file keeps the attributes and drops the geometries.
        options.layer.SetNameValue("GEOMETRY", "AS_WKT");
        options.layer.SetNameValue("LINEFORMAT", kLineFormat);
    } else if (isDriver(driver, "GPX")) {
        // Without extensions GPX holds only its own fields, and the sheet would be lost.
        options.dataset.SetNameValue("GPX_USE_EXTENSIONS", "YES");
        options.dataset.SetNameValue("LINEFORMAT", kLineFormat);
    }
    return options;
}

bool isDriver(GDALDriver& driver, std::string_view name) {
    return EQUAL(driver.GetDescription(), std::string(name).c_str());
}

} // namespace sheetfind::gis
