// SPDX-License-Identifier: MIT
#include "layer_annotation.h"

#include "csv_annotator.h"
#include "drivers.h"
#include "file_path.h"
#include "geometry_cover.h"
#include "layer_geometry.h"
#include "output_dataset.h"

#include <cpl_json.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <set>
#include <utility>

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
    if (const auto problem = unusableFileName(path)) {
        return Stop::io(*problem);
    }
    // A GeoJSON file is read whole when it is opened, and GDAL's complaints about its
    // geometries come then, ahead of the features: each feature's own text tells which
    // of them came without a geometry because it could not be read (readFeatures).
    CPLStringList options;
    if (GDALDriverH driver = GDALIdentifyDriver(path.c_str(), nullptr)) {
        if (isDriver(*GDALDriver::FromHandle(driver), "GeoJSON") ||
            isDriver(*GDALDriver::FromHandle(driver), "GeoJSONSeq")) {
            options.SetNameValue("NATIVE_DATA", "YES");
        }
    }
    Dataset dataset(GDALDataset::Open(path.c_str(),
                                      GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                                      nullptr, options.List()));
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

// Whether a layer's CRS says as little as none. An engineering CRS (a GeoPackage's
// srs_id -1, "Undefined Cartesian SRS") cannot be brought to longitude and latitude; a
// GeoPackage's srs_id 0, "Undefined geographic SRS" on an "unknown" datum, is degrees
// in any datum, and taking them for the grid's would be a guess that no one made.
bool saysNothing(const OGRSpatialReference& srs) {
    if (srs.IsLocal()) {
        return true;
    }
    const char* name = srs.GetName();
    const char* datum = srs.GetAttrValue("DATUM");
    return srs.GetAuthorityCode(nullptr) == nullptr && name != nullptr &&
           EQUAL(name, "Undefined geographic SRS") && datum != nullptr && EQUAL(datum, "unknown");
}

// How the layer's geometries become cells: from its own CRS, or the one assumed for a
// layer without one.
std::variant<LayerGeometry, Stop> geometryFor(OGRLayer& layer, const SourceLayers& from) {
    std::optional<OGRSpatialReference> srs;
    if (const OGRSpatialReference* own = layer.GetSpatialRef(); own && !saysNothing(*own)) {
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

// Whether a feature read with its own text (GeoJSON's NATIVE_DATA) gave a geometry
// there, which GDAL then could not read: null where the text has none.
bool geometryInNativeText(const OGRFeature& feature) {
    CPLJSONDocument text;
    if (!text.LoadMemory(std::string(feature.GetNativeData()))) {
        return false;
    }
    const CPLJSONObject geometry = text.GetRoot().GetObj("geometry");
    return geometry.IsValid() && geometry.GetType() != CPLJSONObject::Type::Null;
}

// The features of a layer, each with what GDAL failed to read of it: a truncated
// shapefile or a corrupt GeoPackage blob gives a feature without its geometry, and
// says why through the error handler as the feature is read. A GeoJSON file says so
// when it is opened, or with another feature as it reads ahead: there a feature
// without a geometry is at fault only where its own text holds one, and the last
// complaint heard is its reason. A feature whose geometry is null is no failure.
template <typename Visit> void readFeatures(OGRLayer& layer, GdalErrors& errors, Visit visit) {
    layer.ResetReading();
    std::string heard = errors.take({});
    while (const OGRFeatureUniquePtr feature{layer.GetNextFeature()}) {
        std::string failure = errors.take({});
        heard = failure.empty() ? heard : failure;
        if (feature->GetGeometryRef() != nullptr) {
            failure.clear();
        } else if (feature->GetNativeData() != nullptr) {
            failure = geometryInNativeText(*feature)
                          ? (heard.empty() ? std::string("GDAL gives no reason") : heard)
                          : std::string();
        }
        visit(*feature, failure);
    }
}

// The cells of a feature, or none after reporting why it has none.
std::vector<Reference> featureCells(const LayerGeometry& geometry, OGRLayer& layer,
                                    const OGRFeature& feature, const std::string& readError,
                                    const FeatureReport& report) {
    const OGRGeometry* shape = feature.GetGeometryRef();
    if (!shape) {
        if (!readError.empty()) {
            report(layer.GetName(), feature.GetFID(),
                   GisFailure{.error = GisError::UnreadableGeometry, .detail = readError});
        }
        return {};
    }
    auto cells = geometry.cells(*shape);
    if (const auto* failure = std::get_if<GisFailure>(&cells)) {
        report(layer.GetName(), feature.GetFID(), *failure);
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

// The index of the field just created in `layer`: a new one, or else one of the
// format's own with that name; -1 when there is neither.
int createdField(OGRLayer& layer, OGRFieldDefn& field) {
    const int before = layer.GetLayerDefn()->GetFieldCount();
    if (layer.CreateField(&field) != OGRERR_NONE) {
        return -1;
    }
    if (layer.GetLayerDefn()->GetFieldCount() == before + 1) {
        return before;
    }
    return layer.GetLayerDefn()->GetFieldIndex(field.GetNameRef());
}

// Whether the driver names a new layer's id column when asked (FID=name), as a
// GeoPackage or a PostGIS table does.
bool takesIdColumn(GDALDriver& driver) {
    const char* options = driver.GetMetadataItem(GDAL_DS_LAYER_CREATIONOPTIONLIST);
    return options != nullptr &&
           std::string_view(options).find("name='FID'") != std::string_view::npos;
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

} // namespace

std::string describeFeature(std::string_view layer, std::int64_t feature) {
    return "layer '" + std::string(layer) + "', feature " + std::to_string(feature);
}

std::optional<Stop> annotateLayer(const LayerAnnotation& annotation, const FeatureReport& report,
                                  const GdalErrors::Warn& warn) {
    GdalErrors errors(warn);
    const std::string& outPath = annotation.output;
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
    const std::string flagColumn = uncertainColumnName(column);
    for (const std::string& added : {column, flagColumn}) {
        if ((added == column || annotation.flagUncertain) &&
            fields.GetFieldIndex(added.c_str()) >= 0) {
            return Stop::usage("the layer '" + std::string(layer.GetName()) +
                                   "' already has a field '" + added + "'",
                               Advice::NameColumn);
        }
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

    CreationOptions options = creationOptions(driver);
    const auto failed = [&](const std::string& what) {
        return Stop::io(what + ": " + OutputDataset::failure(errors, "GDAL gives no reason"));
    };
    OGRFieldDefn sheetField(column.c_str(), OFTString);
    OGRFieldDefn flagField(flagColumn.c_str(), OFTInteger);
    flagField.SetSubType(OFSTBoolean);
    auto created = OutputDataset::create(driver, outPath, options.dataset.List(), errors);
    if (auto* stop = std::get_if<Stop>(&created)) {
        return std::move(*stop);
    }
    OutputDataset& out = std::get<OutputDataset>(created);
    // A table's key (a PostGIS primary key, a GeoPackage's fid) is the features' id,
    // not a field: kept as the output's own id where the format takes one by name,
    // or else as a field of that name.
    // Exploded, a feature's copies share its key, which then goes in a field, and
    // the output's ids get a column of another name.
    const std::string key = layer.GetFIDColumn();
    const bool keyAsId = !key.empty() && !annotation.explode && takesIdColumn(driver);
    if (!key.empty() && takesIdColumn(driver)) {
        options.layer.SetNameValue("FID",
                                   keyAsId ? key.c_str() : (key == "fid" ? "ogc_fid" : "fid"));
    }
    std::optional<OGRFieldDefn> keyField;
    if (!key.empty() && !keyAsId && fields.GetFieldIndex(key.c_str()) < 0) {
        keyField.emplace(key.c_str(), OFTInteger64);
    }
    OGRLayer* written = out->CreateLayer(layer.GetName(), layer.GetSpatialRef(),
                                         layer.GetGeomType(), options.layer.List());
    if (!written) {
        return failed("cannot create the layer '" + std::string(layer.GetName()) + "' in '" +
                      outPath + "'");
    }
    // Where each field went: a format may hold fields of its own already (KML's Name
    // and Description, GPX's), or launder a name (a shapefile's ten letters). The key
    // comes first, the sheet last.
    std::vector<OGRFieldDefn*> toWrite;
    if (keyField) {
        toWrite.push_back(&*keyField);
    }
    for (int i = 0; i < fields.GetFieldCount(); ++i) {
        toWrite.push_back(fields.GetFieldDefn(i));
    }
    toWrite.push_back(&sheetField);
    if (annotation.flagUncertain) {
        toWrite.push_back(&flagField);
    }
    std::vector<int> sameField;
    for (OGRFieldDefn* field : toWrite) {
        const int index = createdField(*written, *field);
        if (index < 0) {
            return failed("cannot write the field '" + std::string(field->GetNameRef()) + "' to '" +
                          outPath + "'");
        }
        sameField.push_back(index);
    }
    const int flagIndex = annotation.flagUncertain ? sameField.back() : -1;
    if (annotation.flagUncertain) {
        sameField.pop_back();
    }
    const int sheetIndex = sameField.back();
    sameField.pop_back();
    const int keyIndex = keyField ? sameField.front() : -1;
    if (keyField) {
        sameField.erase(sameField.begin());
    }
    const bool transaction = out->StartTransaction() == OGRERR_NONE;
    std::optional<Stop> stop;
    readFeatures(layer, errors, [&](const OGRFeature& feature, const std::string& readError) {
        if (stop) {
            return;
        }
        const std::vector<Reference> cells =
            geometry ? featureCells(*geometry, layer, feature, readError, report)
                     : std::vector<Reference>{};
        std::vector<std::string> values;
        if (annotation.explode) {
            for (const Reference& cell : cells) {
                values.push_back(cell.text());
            }
        }
        if (values.empty()) {
            values.push_back(joined(cells));
        }
        // Points only: a line or an area has no one place to be off by.
        std::optional<bool> uncertain;
        if (flagIndex >= 0 && geometry && !cells.empty() && feature.GetGeometryRef()) {
            uncertain = geometry->uncertain(*feature.GetGeometryRef());
        }
        for (const std::string& value : values) {
            OGRFeature copy(written->GetLayerDefn());
            copy.SetFrom(&feature, sameField.data(), TRUE);
            copy.SetField(sheetIndex, value.c_str());
            if (uncertain) {
                copy.SetField(flagIndex, *uncertain ? 1 : 0);
            }
            if (keyAsId) {
                copy.SetFID(feature.GetFID());
            } else if (keyIndex >= 0) {
                copy.SetField(keyIndex, static_cast<GIntBig>(feature.GetFID()));
            }
            if (written->CreateFeature(&copy) != OGRERR_NONE) {
                stop = failed(describeFeature(layer.GetName(), feature.GetFID()) +
                              ": cannot write it to '" + outPath + "'");
                return;
            }
        }
    });
    if (stop) {
        return stop;
    }
    if (transaction && out->CommitTransaction() != OGRERR_NONE) {
        return failed("cannot write '" + outPath + "'");
    }
    return out.finish(errors);
}

std::variant<LayerCells, Stop> layerCells(const SourceLayers& from, std::string_view crs,
                                          const FeatureReport& report,
                                          const GdalErrors::Warn& warn) {
    GdalErrors errors(warn);
    auto opened = openSource(from.source, errors);
    if (auto* stop = std::get_if<Stop>(&opened)) {
        return std::move(*stop);
    }
    const Dataset in = std::move(std::get<Dataset>(opened));
    auto chosen = chosenLayers(*in, from, false);
    if (auto* stop = std::get_if<Stop>(&chosen)) {
        return std::move(*stop);
    }
    OGRLayer& layer = *std::get<std::vector<OGRLayer*>>(chosen).front();
    std::optional<LayerGeometry> geometry;
    if (layer.GetGeomType() != wkbNone) {
        if (crs.empty()) {
            auto made = geometryFor(layer, from);
            if (auto* stop = std::get_if<Stop>(&made)) {
                return std::move(*stop);
            }
            geometry.emplace(std::move(std::get<LayerGeometry>(made)));
        } else {
            auto made = LayerGeometry::from(crs, from.scale, from.geodesic);
            if (auto* failure = std::get_if<GisFailure>(&made)) {
                return Stop::input(std::move(*failure));
            }
            geometry.emplace(std::move(std::get<LayerGeometry>(made)));
        }
    }
    // The fields are not read at all: most of the time of a wide layer's features.
    const OGRFeatureDefn& fields = *layer.GetLayerDefn();
    std::vector<const char*> ignored{"OGR_STYLE"};
    for (int i = 0; i < fields.GetFieldCount(); ++i) {
        ignored.push_back(fields.GetFieldDefn(i)->GetNameRef());
    }
    ignored.push_back(nullptr);
    layer.SetIgnoredFields(ignored.data());

    LayerCells out;
    std::set<std::uint32_t> types;
    readFeatures(layer, errors, [&](const OGRFeature& feature, const std::string& readError) {
        out.ids.push_back(feature.GetFID());
        if (const OGRGeometry* shape = feature.GetGeometryRef()) {
            types.insert(static_cast<std::uint32_t>(shape->getIsoGeometryType()));
        }
        out.cells.push_back(geometry ? featureCells(*geometry, layer, feature, readError, report)
                                     : std::vector<Reference>{});
    });
    out.geometryTypes.assign(types.begin(), types.end());
    return out;
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
        readFeatures(*layer, errors, [&](const OGRFeature& feature, const std::string& readError) {
            covers.push_back(featureCells(std::get<LayerGeometry>(geometry), *layer, feature,
                                          readError, report));
        });
    }
    return sheetref::mergeCovers(covers);
}

} // namespace sheetfind::gis
