// SPDX-License-Identifier: MIT
#include "cell_writer.h"

#include "geometry_cover.h"
#include "grid.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <set>

namespace sheetfind::cli {
namespace {

using sheetref::Reference;
using sheetref::Scale;

constexpr int kWgs84 = 4326;
constexpr const char* kStdout = "/vsistdout/";
constexpr const char* kStdoutLayer = "nts";

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

// Formats that hold no polygons: a cell written there would lose its shape.
constexpr std::array<std::string_view, 1> kNoPolygonDrivers{"GPX"};

std::string lowered(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return lower;
}

std::string extensionOf(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
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

// Writes what GDAL sends to /vsistdout/ into the session's output, so that the one
// policy for a closed pipe or a full disk applies to GeoJSON as to text. GDAL hands
// the stream pointer back untouched: it carries the Output, never a real FILE.
std::size_t writeToOutput(const void* data, std::size_t size, std::size_t count, FILE* stream) {
    auto* out = reinterpret_cast<Output*>(stream);
    if (!out->open()) {
        return 0;
    }
    out->append(std::string_view(static_cast<const char*>(data), size * count));
    out->flushIfFull();
    return out->open() ? count : 0;
}

void registerDrivers() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// Keeps GDAL's messages off standard error (every message goes through the Session)
// and remembers the last failure for the report.
class GdalErrors {
public:
    GdalErrors() { CPLPushErrorHandlerEx(handle, this); }
    ~GdalErrors() { CPLPopErrorHandler(); }
    GdalErrors(const GdalErrors&) = delete;
    GdalErrors& operator=(const GdalErrors&) = delete;

    // The last failure since the previous call, or `fallback` when GDAL said nothing.
    std::string take(std::string_view fallback) {
        std::string message = m_last.empty() ? std::string(fallback) : m_last;
        m_last.clear();
        return message;
    }

private:
    static void CPL_STDCALL handle(CPLErr level, CPLErrorNum, const char* message) {
        auto* self = static_cast<GdalErrors*>(CPLGetErrorHandlerUserData());
        if (self != nullptr && level >= CE_Failure && message != nullptr) {
            self->m_last = message;
        }
    }

    std::string m_last;
};

enum FieldIndex : int { kReference, kScale, kSouth, kWest, kNorth, kEast };

struct FieldDefinition {
    const char* name;
    OGRFieldType type;
};

constexpr std::array kFields{
    FieldDefinition{"reference", OFTString}, FieldDefinition{"scale", OFTString},
    FieldDefinition{"south", OFTReal},       FieldDefinition{"west", OFTReal},
    FieldDefinition{"north", OFTReal},       FieldDefinition{"east", OFTReal},
};

} // namespace

struct CellWriter::State {
    GdalErrors errors;
    Output* redirected = nullptr; // set while /vsistdout/ goes to this Output
    std::string path;
    GDALDataset* dataset = nullptr;
    OGRLayer* layer = nullptr;
    bool transaction = false;
    int pointsPerEdge = 0;
    std::set<Reference> written;
    std::string error;

    ~State() { closeDataset(); }

    void closeDataset() {
        if (dataset != nullptr) {
            GDALClose(dataset);
            dataset = nullptr;
            layer = nullptr;
        }
        if (redirected != nullptr) {
            VSIStdoutSetRedirection(fwrite, stdout);
            redirected = nullptr;
        }
    }
};

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
                   knownExtensions() + ", or a GDAL driver with --of";
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

CellWriter::CellWriter(std::unique_ptr<State> state) : m_state(std::move(state)) {}

CellWriter::~CellWriter() = default;

std::variant<std::unique_ptr<CellWriter>, CellWriter::Failure>
CellWriter::open(const CellTarget& target, Output& out) {
    registerDrivers();
    auto state = std::make_unique<State>();
    state->pointsPerEdge = target.pointsPerEdge;
    const bool toStdout = target.path.empty();

    auto found = outputDriver(toStdout ? std::string() : target.path,
                              toStdout ? std::string_view("GeoJSON") : target.driver);
    if (const auto* message = std::get_if<std::string>(&found)) {
        return Failure{.message = *message, .usage = true};
    }
    GDALDriver* driver = std::get<GDALDriver*>(found);
    const std::string_view driverShortName = driver->GetDescription();
    if (std::find(kNoPolygonDrivers.begin(), kNoPolygonDrivers.end(), driverShortName) !=
        kNoPolygonDrivers.end()) {
        return Failure{.message = "the " + std::string(driverShortName) +
                                  " format holds points and lines only, and cells are "
                                  "polygons; choose .gpkg, .shp, .geojson, .fgb or .kml",
                       .usage = true};
    }

    std::string layerName = kStdoutLayer;
    if (toStdout) {
        state->path = kStdout;
        VSIStdoutSetRedirection(writeToOutput, reinterpret_cast<FILE*>(&out));
        state->redirected = &out;
    } else {
        state->path = target.path;
        VSIStatBufL stat;
        if (VSIStatL(target.path.c_str(), &stat) == 0) {
            return Failure{.message = "\"" + target.path +
                                      "\" exists already; it is left as it is: remove it or "
                                      "choose another name"};
        }
        layerName = CPLGetBasename(target.path.c_str());
    }

    state->dataset = driver->Create(state->path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    if (state->dataset == nullptr) {
        return Failure{.message = "cannot create \"" + state->path +
                                  "\": " + state->errors.take("the driver refused it")};
    }
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(kWgs84);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    CPLStringList options;
    if (driverShortName == "GeoJSON") {
        options.SetNameValue("RFC7946", "YES");
    } else if (driverShortName == "CSV") {
        // Without it a CSV file keeps the attributes and drops the polygons.
        options.SetNameValue("GEOMETRY", "AS_WKT");
    }
    state->layer =
        state->dataset->CreateLayer(layerName.c_str(), &wgs84, wkbPolygon, options.List());
    if (state->layer == nullptr) {
        return Failure{.message = "cannot create a layer in \"" + state->path +
                                  "\": " + state->errors.take("the driver refused it")};
    }
    for (const FieldDefinition& field : kFields) {
        OGRFieldDefn definition(field.name, field.type);
        if (state->layer->CreateField(&definition) != OGRERR_NONE) {
            return Failure{.message = "cannot create the field " + std::string(field.name) +
                                      " in \"" + state->path +
                                      "\": " + state->errors.take("the driver refused it")};
        }
    }
    // One transaction for the whole layer: a GeoPackage commits each feature alone
    // otherwise, a disk sync per cell.
    if (state->dataset->TestCapability(ODsCTransactions)) {
        state->transaction = state->dataset->StartTransaction() == OGRERR_NONE;
    }
    return std::unique_ptr<CellWriter>(new CellWriter(std::move(state)));
}

bool CellWriter::add(const Reference& cell) {
    State& state = *m_state;
    if (state.layer == nullptr) {
        return false;
    }
    if (!state.written.insert(cell).second) {
        return true;
    }
    const int points = state.pointsPerEdge != 0 ? state.pointsPerEdge
                                                : sheetref::defaultPointsPerEdge(cell.scale());
    const auto ring = sheetref::cellRing(cell, points);
    if (!ring) {
        state.error =
            "cannot draw " + cell.text() + " with " + std::to_string(points) + " points per edge";
        return false;
    }
    auto outline = std::make_unique<OGRLinearRing>();
    outline->setNumPoints(static_cast<int>(ring->size()), FALSE);
    for (std::size_t i = 0; i < ring->size(); ++i) {
        outline->setPoint(static_cast<int>(i), (*ring)[i].longitude, (*ring)[i].latitude);
    }
    OGRPolygon polygon;
    polygon.addRingDirectly(outline.release());

    const sheetref::Bounds b = sheetref::bounds(cell);
    OGRFeature feature(state.layer->GetLayerDefn());
    feature.SetField(kReference, cell.text().c_str());
    feature.SetField(kScale, std::string(sheetref::scaleName(cell.scale())).c_str());
    feature.SetField(kSouth, b.south);
    feature.SetField(kWest, b.west);
    feature.SetField(kNorth, b.north);
    feature.SetField(kEast, b.east);
    feature.SetGeometry(&polygon);
    if (state.layer->CreateFeature(&feature) != OGRERR_NONE) {
        state.error = "cannot write " + cell.text() + " to \"" + state.path +
                      "\": " + state.errors.take("the driver refused it");
        return false;
    }
    return true;
}

bool CellWriter::close() {
    State& state = *m_state;
    if (state.dataset == nullptr) {
        return state.error.empty();
    }
    bool closed = true;
    if (state.transaction && state.dataset->CommitTransaction() != OGRERR_NONE) {
        state.error =
            "cannot finish \"" + state.path + "\": " + state.errors.take("the driver refused it");
        closed = false;
    }
    state.errors.take({});
    state.closeDataset();
    // GDAL 3.6 reports a failure to close (a full disk while it writes the index or
    // the footer) only through its error handler.
    if (const std::string failure = state.errors.take({}); closed && !failure.empty()) {
        state.error = "cannot finish \"" + state.path + "\": " + failure;
        closed = false;
    }
    return closed;
}

const std::string& CellWriter::error() const {
    return m_state->error;
}

} // namespace sheetfind::cli
