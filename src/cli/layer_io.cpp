// SPDX-License-Identifier: MIT
#include "cell_writer.h"
#include "gis_commands.h"
#include "layer_geometry.h"

#include "geometry_cover.h"

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sheetfind::cli {
namespace {

using sheetref::Reference;
using sheetref::Scale;

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

// GDAL's own messages: warnings reach the user through the session, as every
// diagnostic does; failures are left for the caller, which reports them with what
// failed (CPLGetLastErrorMsg).
class GdalMessages {
public:
    explicit GdalMessages(Session& session) {
        GDALAllRegister();
        CPLPushErrorHandlerEx(forward, &session);
    }
    ~GdalMessages() { CPLPopErrorHandler(); }
    GdalMessages(const GdalMessages&) = delete;
    GdalMessages& operator=(const GdalMessages&) = delete;

private:
    static void CPL_STDCALL forward(CPLErr level, CPLErrorNum, const char* message) {
        if (level == CE_Warning) {
            static_cast<Session*>(CPLGetErrorHandlerUserData())
                ->diagnose(std::string("GDAL: ") + message);
        }
    }
};

std::string lastGdalError() {
    const std::string message = CPLGetLastErrorMsg();
    return message.empty() ? std::string("GDAL gives no reason") : message;
}

int ioFailure(Context& context, const std::string& message = {}) {
    if (!message.empty()) {
        context.session.diagnose(message);
    }
    context.session.finish();
    return kUsageOrIo;
}

std::string layerNames(GDALDataset& dataset) {
    std::string names;
    for (OGRLayer* layer : dataset.GetLayers()) {
        names += names.empty() ? "" : ", ";
        names += layer->GetName();
    }
    return names;
}

Dataset openSource(Context& context, const std::string& path) {
    CPLErrorReset();
    Dataset dataset(
        GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
    if (!dataset) {
        context.session.diagnose("cannot open '" + path + "' as a GIS layer: " + lastGdalError());
    }
    return dataset;
}

// The layers -l names, or else every layer (`all`) or the only one; empty after a
// usage error.
std::vector<OGRLayer*> chosenLayers(Context& context, GDALDataset& dataset, bool all) {
    if (const auto name = context.args.value("layer")) {
        if (OGRLayer* layer = dataset.GetLayerByName(std::string(*name).c_str())) {
            return {layer};
        }
        context.session.usageError("no layer '" + std::string(*name) + "'; the layers are " +
                                       layerNames(dataset),
                                   context.command);
        return {};
    }
    if (dataset.GetLayerCount() == 1 || all) {
        std::vector<OGRLayer*> layers;
        for (OGRLayer* layer : dataset.GetLayers()) {
            layers.push_back(layer);
        }
        if (layers.empty()) {
            context.session.usageError("the source holds no layer", context.command);
        }
        return layers;
    }
    context.session.usageError("the source holds several layers; choose one with -l: " +
                                   layerNames(dataset),
                               context.command);
    return {};
}

// The layer's CRS, or the one --assume-crs gives a layer without one. Reports what is
// wrong and gives nullopt with the exit status to return.
struct Crs {
    std::optional<OGRSpatialReference> srs;
    int status = kAllAnswered;
};

Crs crsOf(Context& context, OGRLayer& layer) {
    if (const OGRSpatialReference* own = layer.GetSpatialRef()) {
        return {.srs = *own};
    }
    const auto assumed = context.args.value("assume-crs");
    if (!assumed) {
        context.session.reportFailure(InputFailure{
            .error = InputError::NoCrs, .field = Field::Layer, .text = layer.GetName()});
        return {.status = context.session.finish()};
    }
    OGRSpatialReference srs;
    if (srs.SetFromUserInput(std::string(*assumed).c_str()) != OGRERR_NONE) {
        return {.status = context.session.usageError("--assume-crs: cannot read \"" +
                                                         std::string(*assumed) +
                                                         "\" as a CRS; expected such as EPSG:3005",
                                                     context.command)};
    }
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return {.srs = srs};
}

std::variant<LayerGeometry, int> geometryFor(Context& context, OGRLayer& layer, Scale scale) {
    Crs crs = crsOf(context, layer);
    if (!crs.srs) {
        return crs.status;
    }
    auto geometry = LayerGeometry::from(*crs.srs, scale, context.args.has("geodesic"));
    if (auto* message = std::get_if<std::string>(&geometry)) {
        return ioFailure(context, "cannot transform the layer '" + std::string(layer.GetName()) +
                                      "' to longitude and latitude: " + *message);
    }
    return std::move(std::get<LayerGeometry>(geometry));
}

std::string featureWhere(const OGRFeature& feature) {
    return "feature " + std::to_string(feature.GetFID()) + ": ";
}

// The cells of a feature, or none after reporting why it has none.
std::vector<Reference> featureCells(Context& context, const LayerGeometry& geometry,
                                    const OGRFeature& feature) {
    const OGRGeometry* shape = feature.GetGeometryRef();
    if (!shape) {
        return {};
    }
    auto cells = geometry.cells(*shape);
    if (const auto* failure = std::get_if<InputFailure>(&cells)) {
        context.session.reportFailure(*failure, featureWhere(feature));
        return {};
    }
    return std::move(std::get<std::vector<Reference>>(cells));
}

// The driver -o's extension or --of names, able to create vector data, or nullptr
// after a usage error.
GDALDriver* layerDriver(Context& context, const std::string& path) {
    auto found = outputDriver(path, context.args.value("of").value_or(std::string_view()));
    if (const auto* message = std::get_if<std::string>(&found)) {
        context.session.usageError(*message, context.command);
        return nullptr;
    }
    return std::get<GDALDriver*>(found);
}

bool isDriver(const GDALDriver& driver, const char* name) {
    return EQUAL(const_cast<GDALDriver&>(driver).GetDescription(), name);
}

// FlatGeobuf in GDAL 3.6 leaves out every feature without a geometry, so a layer that
// has one is refused before anything is written rather than silently shortened.
std::optional<GIntBig> featureWithoutGeometry(OGRLayer& layer) {
    layer.ResetReading();
    for (const auto& feature : layer) {
        if (!feature->GetGeometryRef()) {
            layer.ResetReading();
            return feature->GetFID();
        }
    }
    layer.ResetReading();
    return std::nullopt;
}

std::string joined(const std::vector<Reference>& cells) {
    std::string text;
    for (const Reference& cell : cells) {
        if (!text.empty()) {
            text += sheetref::kCellSeparator;
        }
        text += cell.text();
    }
    return text;
}

} // namespace

int annotateLayer(Context& context) {
    const auto scale = scaleOption(context);
    if (!scale) {
        return kUsageOrIo;
    }
    if (context.args.operands.size() != 1) {
        return context.session.usageError("annotate expects one SOURCE; got " +
                                              std::to_string(context.args.operands.size()) +
                                              " arguments",
                                          context.command);
    }
    const auto output = context.args.value("output");
    if (!output) {
        return context.session.usageError(
            "annotate of a GIS layer writes a new layer and needs -o FILE, such as -o "
            "survey-nts.gpkg",
            context.command);
    }
    const std::string source(context.args.operands[0]);
    const std::string outPath(*output);
    const GdalMessages messages(context.session);
    std::error_code error;
    if (std::filesystem::exists(outPath, error)) {
        return context.session.usageError("the output '" + outPath +
                                              "' exists; remove it or choose another name",
                                          context.command);
    }
    GDALDriver* driver = layerDriver(context, outPath);
    if (!driver) {
        return kUsageOrIo;
    }
    const Dataset in = openSource(context, source);
    if (!in) {
        return ioFailure(context);
    }
    const std::vector<OGRLayer*> layers = chosenLayers(context, *in, false);
    if (layers.empty()) {
        return kUsageOrIo;
    }
    OGRLayer& layer = *layers.front();
    const std::string column(
        context.args.value("column").value_or(sheetref::sheetColumnName(*scale)));
    OGRFeatureDefn& fields = *layer.GetLayerDefn();
    if (fields.GetFieldIndex(column.c_str()) >= 0) {
        return context.session.usageError("the layer '" + std::string(layer.GetName()) +
                                              "' already has a field '" + column +
                                              "'; name another with --column",
                                          context.command);
    }
    const bool hasGeometry = layer.GetGeomType() != wkbNone;
    std::optional<LayerGeometry> geometry;
    if (hasGeometry) {
        auto made = geometryFor(context, layer, *scale);
        if (const int* status = std::get_if<int>(&made)) {
            return *status;
        }
        geometry.emplace(std::move(std::get<LayerGeometry>(made)));
    }
    if (isDriver(*driver, "FlatGeobuf")) {
        if (const auto fid = featureWithoutGeometry(layer)) {
            context.session.reportFailure(InputFailure{
                .error = InputError::LostByFormat,
                .field = Field::Layer,
                .text = layer.GetName(),
                .detail = "feature " + std::to_string(*fid) +
                          " has no geometry, and FlatGeobuf leaves such features out"});
            return context.session.finish();
        }
    }

    CPLStringList datasetOptions;
    CPLStringList layerOptions;
    if (isDriver(*driver, "GPX")) {
        // Without extensions GPX holds only its own fields, and the sheet would be lost.
        datasetOptions.SetNameValue("GPX_USE_EXTENSIONS", "YES");
    }
    if (isDriver(*driver, "GeoJSON")) {
        layerOptions.SetNameValue("RFC7946", "YES");
    }
    CPLErrorReset();
    const Dataset out(driver->Create(outPath.c_str(), 0, 0, 0, GDT_Unknown, datasetOptions.List()));
    if (!out) {
        return ioFailure(context, "cannot create '" + outPath + "': " + lastGdalError());
    }
    OGRLayer* written = out->CreateLayer(layer.GetName(), layer.GetSpatialRef(),
                                         layer.GetGeomType(), layerOptions.List());
    if (!written) {
        return ioFailure(context, "cannot create the layer '" + std::string(layer.GetName()) +
                                      "' in '" + outPath + "': " + lastGdalError());
    }
    for (int i = 0; i < fields.GetFieldCount(); ++i) {
        if (written->CreateField(fields.GetFieldDefn(i)) != OGRERR_NONE) {
            return ioFailure(context, "cannot write the field '" +
                                          std::string(fields.GetFieldDefn(i)->GetNameRef()) +
                                          "' to '" + outPath + "': " + lastGdalError());
        }
    }
    OGRFieldDefn sheetField(column.c_str(), OFTString);
    if (written->CreateField(&sheetField) != OGRERR_NONE ||
        written->GetLayerDefn()->GetFieldCount() != fields.GetFieldCount() + 1) {
        return ioFailure(context, "cannot add the field '" + column + "' to '" + outPath +
                                      "': " + lastGdalError());
    }
    const int sheetIndex = fields.GetFieldCount();
    std::vector<int> sameField(static_cast<std::size_t>(fields.GetFieldCount()));
    for (std::size_t i = 0; i < sameField.size(); ++i) {
        sameField[i] = static_cast<int>(i);
    }
    const bool transaction = out->StartTransaction() == OGRERR_NONE;
    const bool explode = context.args.has("explode");
    layer.ResetReading();
    for (const auto& feature : layer) {
        const std::vector<Reference> cells =
            geometry ? featureCells(context, *geometry, *feature) : std::vector<Reference>{};
        std::vector<std::string> values;
        if (explode) {
            for (const Reference& cell : cells) {
                values.push_back(cell.text());
            }
        }
        if (values.empty()) {
            values.push_back(joined(cells));
        }
        for (const std::string& value : values) {
            OGRFeature copy(written->GetLayerDefn());
            copy.SetFrom(feature.get(), sameField.data(), TRUE);
            copy.SetField(sheetIndex, value.c_str());
            if (written->CreateFeature(&copy) != OGRERR_NONE) {
                return ioFailure(context, featureWhere(*feature) + "cannot write it to '" +
                                              outPath + "': " + lastGdalError());
            }
        }
    }
    if (transaction && out->CommitTransaction() != OGRERR_NONE) {
        return ioFailure(context, "cannot write '" + outPath + "': " + lastGdalError());
    }
    return context.session.finish();
}

int coverGeometry(Context& context) {
    const auto scale = scaleOption(context);
    if (!scale) {
        return kUsageOrIo;
    }
    const auto& operands = context.args.operands;
    const auto wkt = context.args.value("wkt");
    if (wkt ? !operands.empty() : operands.size() != 1) {
        return context.session.usageError("cover expects one FILE, or --wkt WKT alone",
                                          context.command);
    }
    const GdalMessages messages(context.session);
    std::vector<std::vector<Reference>> covers;
    if (wkt) {
        OGRGeometry* parsed = nullptr;
        const std::string text(*wkt);
        CPLErrorReset();
        if (OGRGeometryFactory::createFromWkt(text.c_str(), nullptr, &parsed) != OGRERR_NONE ||
            !parsed) {
            context.session.reportFailure(InputFailure{.error = InputError::NotWkt,
                                                       .field = Field::Geometry,
                                                       .text = text,
                                                       .detail = CPLGetLastErrorMsg()});
            return context.session.finish();
        }
        const std::unique_ptr<OGRGeometry> shape(parsed);
        OGRSpatialReference wgs84;
        wgs84.SetWellKnownGeogCS("WGS84");
        wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        auto geometry = LayerGeometry::from(wgs84, *scale, context.args.has("geodesic"));
        if (auto* message = std::get_if<std::string>(&geometry)) {
            return ioFailure(context, "cannot read longitude and latitude: " + *message);
        }
        auto cells = std::get<LayerGeometry>(geometry).cells(*shape);
        if (const auto* failure = std::get_if<InputFailure>(&cells)) {
            context.session.reportFailure(*failure);
            return context.session.finish();
        }
        return writeCells(context, std::get<std::vector<Reference>>(cells));
    }
    const Dataset in = openSource(context, std::string(operands[0]));
    if (!in) {
        return ioFailure(context);
    }
    // A file's cover is that of all its geometries: a GPX file keeps a route in one
    // layer and its points in another, and both are the route.
    const std::vector<OGRLayer*> layers = chosenLayers(context, *in, true);
    if (layers.empty()) {
        return kUsageOrIo;
    }
    for (OGRLayer* layer : layers) {
        if (layer->GetGeomType() == wkbNone) {
            continue;
        }
        auto geometry = geometryFor(context, *layer, *scale);
        if (const int* status = std::get_if<int>(&geometry)) {
            return *status;
        }
        layer->ResetReading();
        for (const auto& feature : *layer) {
            covers.push_back(featureCells(context, std::get<LayerGeometry>(geometry), *feature));
        }
    }
    return writeCells(context, sheetref::mergeCovers(covers));
}

} // namespace sheetfind::cli
