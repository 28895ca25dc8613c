// SPDX-License-Identifier: MIT
#include "layer_annotation.h"

#include "csv_annotator.h"
#include "drivers.h"
#include "geometry_cover.h"
#include "layer_geometry.h"

#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <filesystem>
#include <memory>

namespace sheetfind::gis {
namespace {

using sheetref::Reference;

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

std::string layerNames(GDALDataset& dataset) {
    std::string names;
    for (OGRLayer* layer : dataset.GetLayers()) {
        names += names.empty() ? "" : ", ";
        names += layer->GetName();
    }
    return names;
}

std::variant<Dataset, Stop> openSource(const std::string& path, GdalErrors& errors) {
    registerDrivers();
    Dataset dataset(
        GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
    if (!dataset) {
        return Stop::io("cannot open '" + path +
                        "' as a GIS layer: " + errors.take("GDAL gives no reason"));
    }
    return dataset;
}

// The named layer, or else every layer (`all`) or the only one.
std::variant<std::vector<OGRLayer*>, Stop> chosenLayers(GDALDataset& dataset,
                                                        const SourceLayers& from, bool all) {
    if (from.layer) {
        if (OGRLayer* layer = dataset.GetLayerByName(from.layer->c_str())) {
            return std::vector<OGRLayer*>{layer};
        }
        return Stop::usage("no layer '" + *from.layer + "'; the layers are " + layerNames(dataset),
                           Advice::ChooseLayer);
    }
    if (dataset.GetLayerCount() == 1 || all) {
        std::vector<OGRLayer*> layers;
        for (OGRLayer* layer : dataset.GetLayers()) {
            layers.push_back(layer);
        }
        if (layers.empty()) {
            return Stop::usage("the source holds no layer");
        }
        return layers;
    }
    return Stop::usage("the source holds several layers: " + layerNames(dataset),
                       Advice::ChooseLayer);
}

// How the layer's geometries become cells: from its own CRS, or the one assumed for a
// layer without one.
std::variant<LayerGeometry, Stop> geometryFor(OGRLayer& layer, const SourceLayers& from) {
    std::optional<OGRSpatialReference> srs;
    if (const OGRSpatialReference* own = layer.GetSpatialRef()) {
        srs = *own;
    } else if (from.assumeCrs.empty()) {
        return Stop::input(GisFailure{.error = GisError::NoCrs, .text = layer.GetName()});
    } else {
        srs.emplace();
        if (srs->SetFromUserInput(from.assumeCrs.c_str()) != OGRERR_NONE) {
            return Stop::usage(
                describe(GisFailure{.error = GisError::BadCrs, .text = from.assumeCrs}));
        }
    }
    auto geometry = LayerGeometry::from(*srs, from.scale, from.geodesic);
    if (auto* message = std::get_if<std::string>(&geometry)) {
        return Stop::io("cannot transform the layer '" + std::string(layer.GetName()) +
                        "' to longitude and latitude: " + *message);
    }
    return std::move(std::get<LayerGeometry>(geometry));
}

// The cells of a feature, or none after reporting why it has none.
std::vector<Reference> featureCells(const LayerGeometry& geometry, const OGRFeature& feature,
                                    const FeatureReport& report) {
    const OGRGeometry* shape = feature.GetGeometryRef();
    if (!shape) {
        return {};
    }
    auto cells = geometry.cells(*shape);
    if (const auto* failure = std::get_if<GisFailure>(&cells)) {
        report(feature.GetFID(), *failure);
        return {};
    }
    return std::move(std::get<std::vector<Reference>>(cells));
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
            text += kCellSeparator;
        }
        text += cell.text();
    }
    return text;
}

std::string featureWhere(const OGRFeature& feature) {
    return "feature " + std::to_string(feature.GetFID()) + ": ";
}

} // namespace

std::optional<Stop> annotateLayer(const LayerAnnotation& annotation, const FeatureReport& report,
                                  const GdalErrors::Warn& warn) {
    GdalErrors errors(warn);
    const std::string& outPath = annotation.output;
    std::error_code error;
    if (std::filesystem::exists(outPath, error)) {
        return Stop::usage("the output '" + outPath + "' exists; remove it or choose another name");
    }
    auto found = outputDriver(outPath, annotation.driver);
    if (const auto* message = std::get_if<std::string>(&found)) {
        return Stop::usage(*message, Advice::ChooseDriver);
    }
    GDALDriver& driver = *std::get<GDALDriver*>(found);
    auto opened = openSource(annotation.from.source, errors);
    if (auto* stop = std::get_if<Stop>(&opened)) {
        return std::move(*stop);
    }
    const Dataset in = std::move(std::get<Dataset>(opened));
    auto chosen = chosenLayers(*in, annotation.from, false);
    if (auto* stop = std::get_if<Stop>(&chosen)) {
        return std::move(*stop);
    }
    OGRLayer& layer = *std::get<std::vector<OGRLayer*>>(chosen).front();
    const std::string column =
        annotation.column.empty() ? sheetColumnName(annotation.from.scale) : annotation.column;
    OGRFeatureDefn& fields = *layer.GetLayerDefn();
    if (fields.GetFieldIndex(column.c_str()) >= 0) {
        return Stop::usage("the layer '" + std::string(layer.GetName()) +
                               "' already has a field '" + column + "'",
                           Advice::NameColumn);
    }
    std::optional<LayerGeometry> geometry;
    if (layer.GetGeomType() != wkbNone) {
        auto made = geometryFor(layer, annotation.from);
        if (auto* stop = std::get_if<Stop>(&made)) {
            return std::move(*stop);
        }
        geometry.emplace(std::move(std::get<LayerGeometry>(made)));
    }
    if (isDriver(driver, "FlatGeobuf")) {
        if (const auto fid = featureWithoutGeometry(layer)) {
            return Stop::input(
                GisFailure{.error = GisError::LostByFormat,
                           .text = layer.GetName(),
                           .detail = "feature " + std::to_string(*fid) +
                                     " has no geometry, and FlatGeobuf leaves such features out"});
        }
    }

    CPLStringList datasetOptions;
    CPLStringList layerOptions;
    if (isDriver(driver, "GPX")) {
        // Without extensions GPX holds only its own fields, and the sheet would be lost.
        datasetOptions.SetNameValue("GPX_USE_EXTENSIONS", "YES");
    }
    if (isDriver(driver, "GeoJSON")) {
        layerOptions.SetNameValue("RFC7946", "YES");
    }
    const auto failed = [&](const std::string& what) {
        return Stop::io(what + ": " + errors.take("GDAL gives no reason"));
    };
    const Dataset out(driver.Create(outPath.c_str(), 0, 0, 0, GDT_Unknown, datasetOptions.List()));
    if (!out) {
        return failed("cannot create '" + outPath + "'");
    }
    OGRLayer* written = out->CreateLayer(layer.GetName(), layer.GetSpatialRef(),
                                         layer.GetGeomType(), layerOptions.List());
    if (!written) {
        return failed("cannot create the layer '" + std::string(layer.GetName()) + "' in '" +
                      outPath + "'");
    }
    for (int i = 0; i < fields.GetFieldCount(); ++i) {
        if (written->CreateField(fields.GetFieldDefn(i)) != OGRERR_NONE) {
            return failed("cannot write the field '" +
                          std::string(fields.GetFieldDefn(i)->GetNameRef()) + "' to '" + outPath +
                          "'");
        }
    }
    OGRFieldDefn sheetField(column.c_str(), OFTString);
    if (written->CreateField(&sheetField) != OGRERR_NONE ||
        written->GetLayerDefn()->GetFieldCount() != fields.GetFieldCount() + 1) {
        return failed("cannot add the field '" + column + "' to '" + outPath + "'");
    }
    const int sheetIndex = fields.GetFieldCount();
    std::vector<int> sameField(static_cast<std::size_t>(fields.GetFieldCount()));
    for (std::size_t i = 0; i < sameField.size(); ++i) {
        sameField[i] = static_cast<int>(i);
    }
    const bool transaction = out->StartTransaction() == OGRERR_NONE;
    layer.ResetReading();
    for (const auto& feature : layer) {
        const std::vector<Reference> cells =
            geometry ? featureCells(*geometry, *feature, report) : std::vector<Reference>{};
        std::vector<std::string> values;
        if (annotation.explode) {
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
                return failed(featureWhere(*feature) + "cannot write it to '" + outPath + "'");
            }
        }
    }
    if (transaction && out->CommitTransaction() != OGRERR_NONE) {
        return failed("cannot write '" + outPath + "'");
    }
    return std::nullopt;
}

std::variant<std::vector<Reference>, Stop>
coverSource(const SourceLayers& from, const FeatureReport& report, const GdalErrors::Warn& warn) {
    GdalErrors errors(warn);
    auto opened = openSource(from.source, errors);
    if (auto* stop = std::get_if<Stop>(&opened)) {
        return std::move(*stop);
    }
    const Dataset in = std::move(std::get<Dataset>(opened));
    auto chosen = chosenLayers(*in, from, true);
    if (auto* stop = std::get_if<Stop>(&chosen)) {
        return std::move(*stop);
    }
    std::vector<std::vector<Reference>> covers;
    for (OGRLayer* layer : std::get<std::vector<OGRLayer*>>(chosen)) {
        if (layer->GetGeomType() == wkbNone) {
            continue;
        }
        auto geometry = geometryFor(*layer, from);
        if (auto* stop = std::get_if<Stop>(&geometry)) {
            return std::move(*stop);
        }
        layer->ResetReading();
        for (const auto& feature : *layer) {
            covers.push_back(featureCells(std::get<LayerGeometry>(geometry), *feature, report));
        }
    }
    return sheetref::mergeCovers(covers);
}

} // namespace sheetfind::gis
