// SPDX-License-Identifier: MIT
#include "cell_writer.h"

#include "datum.h"

#include "drivers.h"
#include "gdal_errors.h"
#include "geometry_cover.h"
#include "output_dataset.h"

#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>

namespace sheetfind::gis {
namespace {

using sheetref::Reference;
using sheetref::Scale;

constexpr int kWgs84 = 4326;
constexpr int kNad27 = 4267;
constexpr const char* kStdout = "/vsistdout/";
constexpr const char* kStdoutLayer = "nts";

// Measured by the cell output test (the widest cell of each zone and row, projected
// to EPSG:3978). With corners only, a series at 40° N bows out by 11.2 km, a
// high-Arctic map area (8°) by 2.5 km and a high-Arctic sheet (2°) by 156 m. The
// offset shrinks with the square of the steps, so at least 34, 16 and 4 steps keep
// them within 10 m; a little more leaves a margin.
constexpr int kSeriesPointsPerEdge = 36;
constexpr int kMapAreaPointsPerEdge = 18;
constexpr int kSheetPointsPerEdge = 5;

constexpr std::array kFields{
    CellField{"reference", true}, CellField{"scale", true},  CellField{"south", false},
    CellField{"west", false},     CellField{"north", false}, CellField{"east", false},
};

// Formats that hold no polygons: a cell written there would lose its shape.
constexpr std::array<std::string_view, 1> kNoPolygonDrivers{"GPX"};

// Writes what GDAL sends to /vsistdout/ into the Output, so that the one policy for a
// closed pipe or a full disk applies to GeoJSON as to text. GDAL hands the stream
// pointer back untouched: it carries the Output, never a real FILE.
std::size_t writeToOutput(const void* data, std::size_t size, std::size_t count, FILE* stream) {
    auto* out = reinterpret_cast<Output*>(stream);
    if (!out->open()) {
        return 0;
    }
    out->append(std::string_view(static_cast<const char*>(data), size * count));
    out->flushIfFull();
    return out->open() ? count : 0;
}

class CellWriter : public CellSink {
public:
    ~CellWriter() override { closeDataset(); }

    bool add(const Reference& cell) override;
    bool close() override;
    const std::string& error() const override { return m_error; }

    static std::variant<std::unique_ptr<CellSink>, Stop> open(const CellTarget& target,
                                                              Output& out);

private:
    void closeDataset() {
        if (m_output) {
            m_dataset = nullptr;
            m_output.reset(); // discarded unless finished
        }
        if (m_dataset != nullptr) {
            GDALClose(m_dataset);
            m_dataset = nullptr;
        }
        m_layer = nullptr;
        if (m_redirected) {
            VSIStdoutSetRedirection(fwrite, stdout);
            m_redirected = false;
        }
    }

    GdalErrors m_errors;
    bool m_redirected = false; // while /vsistdout/ goes to an Output
    std::string m_path;
    std::optional<OutputDataset> m_output; // a file
    GDALDataset* m_dataset = nullptr;      // standard output, or the file's dataset
    OGRLayer* m_layer = nullptr;
    bool m_transaction = false;
    int m_pointsPerEdge = 0;
    // Where each of kFields is in the layer: a driver may hold fields of its own before
    // them (KML's Name and Description).
    std::vector<int> m_fieldIndex;
    // The datum of the layer's CRS, which a cell drawn in the other is shifted into.
    Datum m_datum = Datum::Nad83;
    GridDatumShift m_toNad83;
    DatumLocator m_toNad27{Datum::Nad83};
    bool m_distinct = false;       // no cell comes twice
    std::set<Reference> m_written; // the cells written, where one may come again
    std::string m_error;
};

std::variant<std::unique_ptr<CellSink>, Stop> CellWriter::open(const CellTarget& target,
                                                               Output& out) {
    auto writer = std::make_unique<CellWriter>();
    writer->m_pointsPerEdge = target.pointsPerEdge;
    writer->m_distinct = target.distinct;
    writer->m_datum = gridDatum(target.scale);
    const bool toStdout = target.path.empty();

    auto found = outputDriver(toStdout ? std::string() : target.path,
                              toStdout ? std::string_view("GeoJSON") : target.driver);
    if (const auto* message = std::get_if<std::string>(&found)) {
        return Stop::usage(*message, Advice::ChooseDriver);
    }
    GDALDriver* driver = std::get<GDALDriver*>(found);
    const std::string_view driverName = driver->GetDescription();
    if (std::find(kNoPolygonDrivers.begin(), kNoPolygonDrivers.end(), driverName) !=
        kNoPolygonDrivers.end()) {
        return Stop::usage("the " + std::string(driverName) +
                           " format holds points and lines only, and cells are polygons; choose "
                           ".gpkg, .shp, .geojson, .fgb or .kml");
    }

    std::string layerName = kStdoutLayer;
    CreationOptions options = creationOptions(*driver);
    GdalErrors& errors = writer->m_errors;
    const std::string& path = writer->m_path;
    if (toStdout) {
        writer->m_path = kStdout;
        VSIStdoutSetRedirection(writeToOutput, reinterpret_cast<FILE*>(&out));
        writer->m_redirected = true;
        writer->m_dataset =
            driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, options.dataset.List());
        if (writer->m_dataset == nullptr) {
            return Stop::io("cannot create \"" + path +
                            "\": " + errors.take("the driver refused it"));
        }
    } else {
        writer->m_path = target.path;
        auto created = OutputDataset::create(*driver, target.path, options.dataset.List(), errors);
        if (auto* stop = std::get_if<Stop>(&created)) {
            return std::move(*stop);
        }
        writer->m_dataset = &*writer->m_output.emplace(std::move(std::get<OutputDataset>(created)));
        layerName = CPLGetBasename(target.path.c_str());
    }
    OGRSpatialReference crs;
    crs.importFromEPSG(cellCrsEpsg(target.scale));
    crs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    writer->m_layer =
        writer->m_dataset->CreateLayer(layerName.c_str(), &crs, wkbPolygon, options.layer.List());
    if (writer->m_layer == nullptr) {
        return Stop::io("cannot create a layer in \"" + path +
                        "\": " + errors.take("the driver refused it"));
    }
    for (const CellField& field : kFields) {
        OGRFieldDefn definition(std::string(field.name).c_str(), field.text ? OFTString : OFTReal);
        if (writer->m_layer->CreateField(&definition) != OGRERR_NONE) {
            return Stop::io("cannot create the field " + std::string(field.name) + " in \"" + path +
                            "\": " + errors.take("the driver refused it"));
        }
        writer->m_fieldIndex.push_back(
            writer->m_layer->GetLayerDefn()->GetFieldIndex(std::string(field.name).c_str()));
    }
    // One transaction for the whole layer: a GeoPackage commits each feature alone
    // otherwise, a disk sync per cell.
    if (writer->m_dataset->TestCapability(ODsCTransactions)) {
        writer->m_transaction = writer->m_dataset->StartTransaction() == OGRERR_NONE;
    }
    return std::unique_ptr<CellSink>(std::move(writer));
}

bool CellWriter::add(const Reference& cell) {
    if (m_layer == nullptr) {
        return false;
    }
    if (!m_distinct && !m_written.insert(cell).second) {
        return true;
    }
    const auto record = cellRecord(cell, m_pointsPerEdge);
    if (!record) {
        m_error = "cannot draw " + cell.text() + " with " + std::to_string(m_pointsPerEdge) +
                  " points per edge";
        return false;
    }
    // A cell of a grid drawn in the other datum (a PNG cell among NTS sheets, or the
    // reverse) is drawn where it lies in the layer's: its fields keep its own degrees.
    const Datum datum = gridDatum(cell.scale());
    auto outline = std::make_unique<OGRLinearRing>();
    outline->setNumPoints(static_cast<int>(record->outline.size()), FALSE);
    for (std::size_t i = 0; i < record->outline.size(); ++i) {
        std::optional<sheetref::LatLon> point = record->outline[i];
        if (datum != m_datum) {
            point = m_datum == Datum::Nad83
                        ? m_toNad83.toNad83(*point, cell.scale())
                        : m_toNad27.inGridDatum(*point, sheetref::Scale::PngBlock);
            if (!point) {
                m_error = "cannot draw " + cell.text() + " in " + std::string(datumName(m_datum)) +
                          ": " +
                          (m_datum == Datum::Nad83 ? m_toNad83.failure() : m_toNad27.failure());
                return false;
            }
        }
        outline->setPoint(static_cast<int>(i), point->longitude, point->latitude);
    }
    OGRPolygon polygon;
    polygon.addRingDirectly(outline.release());

    OGRFeature feature(m_layer->GetLayerDefn());
    std::size_t field = 0;
    for (const FieldValue& value : fieldValues(*record)) {
        const int index = m_fieldIndex[field++];
        if (const auto* text = std::get_if<std::string>(&value)) {
            feature.SetField(index, text->c_str());
        } else {
            feature.SetField(index, std::get<double>(value));
        }
    }
    feature.SetGeometry(&polygon);
    if (m_layer->CreateFeature(&feature) != OGRERR_NONE) {
        m_error = "cannot write " + cell.text() + " to \"" + m_path +
                  "\": " + OutputDataset::failure(m_errors, "the driver refused it");
        return false;
    }
    return true;
}

bool CellWriter::close() {
    if (m_dataset == nullptr) {
        return m_error.empty();
    }
    bool closed = true;
    if (m_transaction && m_dataset->CommitTransaction() != OGRERR_NONE) {
        m_error = "cannot finish \"" + m_path +
                  "\": " + OutputDataset::failure(m_errors, "the driver refused it");
        closed = false;
    }
    if (m_output && closed) {
        m_dataset = nullptr;
        if (const auto stop = m_output->finish(m_errors)) {
            m_error = stop->message;
            closed = false;
        }
    }
    m_errors.take({});
    closeDataset();
    // GDAL 3.6 reports a failure to close (a full disk while it writes the footer)
    // only through its error handler.
    if (const std::string failure = m_errors.take({}); closed && !failure.empty()) {
        m_error = "cannot finish \"" + m_path + "\": " + failure;
        closed = false;
    }
    return closed;
}

} // namespace

int defaultPointsPerEdge(Scale scale) {
    switch (scale) {
    case Scale::Series:
        return kSeriesPointsPerEdge;
    case Scale::MapArea:
        return kMapAreaPointsPerEdge;
    case Scale::Sheet:
    // BCGS and PNG cells are at most 12' wide, far narrower than the widest sheet: its
    // steps keep them within 10 m too.
    case Scale::Bcgs20k:
    case Scale::Bcgs10k:
    case Scale::Bcgs5k:
    case Scale::Bcgs2500:
    case Scale::PngBlock:
    case Scale::PngUnit:
    case Scale::PngQuarterUnit:
        return kSheetPointsPerEdge;
    }
    return kSeriesPointsPerEdge;
}

std::span<const CellField> cellFields() {
    return kFields;
}

int cellCrsEpsg(Scale scale) {
    return sheetref::isPng(scale) ? kNad27 : kWgs84;
}

std::optional<CellRecord> cellRecord(const Reference& cell, int pointsPerEdge) {
    auto ring = sheetref::cellRing(cell, pointsPerEdge != 0 ? pointsPerEdge
                                                            : defaultPointsPerEdge(cell.scale()));
    if (!ring) {
        return std::nullopt;
    }
    return CellRecord{.reference = cell.text(),
                      .scale = std::string(sheetref::scaleName(cell.scale())),
                      .bounds = sheetref::bounds(cell),
                      .outline = std::move(*ring)};
}

std::vector<FieldValue> fieldValues(const CellRecord& record) {
    const sheetref::Bounds& b = record.bounds;
    const std::array values{FieldValue(record.reference), FieldValue(record.scale),
                            FieldValue(b.south),          FieldValue(b.west),
                            FieldValue(b.north),          FieldValue(b.east)};
    // A value missing here would shift every later field of every layer written.
    static_assert(std::tuple_size_v<decltype(values)> == kFields.size());
    return {values.begin(), values.end()};
}

std::variant<std::unique_ptr<CellSink>, Stop> openCellLayer(const CellTarget& target, Output& out) {
    return CellWriter::open(target, out);
}

} // namespace sheetfind::gis
