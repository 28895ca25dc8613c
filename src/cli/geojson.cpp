#include "geojson.h"

#include "grid.h"

#include <nlohmann/json.hpp>

namespace sheetfind {

std::string featureCollection(const std::vector<sheetref::Reference>& references) {
    // Ordered, so that "type" comes first as people expect to read it.
    using Json = nlohmann::ordered_json;
    Json features = Json::array();
    for (const sheetref::Reference& reference : references) {
        const sheetref::Bounds b = sheetref::bounds(reference);
        // Counterclockwise, as RFC 7946 asks of an exterior ring: east along the
        // south edge, north, west along the north edge, and back down.
        const Json ring =
            Json::array({Json::array({b.west, b.south}), Json::array({b.east, b.south}),
                         Json::array({b.east, b.north}), Json::array({b.west, b.north}),
                         Json::array({b.west, b.south})});
        Json properties = Json::object();
        properties["reference"] = reference.text();
        properties["scale"] = std::string(sheetref::scaleName(reference.scale()));
        Json geometry = Json::object();
        geometry["type"] = "Polygon";
        geometry["coordinates"] = Json::array({ring});
        Json feature = Json::object();
        feature["type"] = "Feature";
        feature["properties"] = std::move(properties);
        feature["geometry"] = std::move(geometry);
        features.push_back(std::move(feature));
    }
    Json collection = Json::object();
    collection["type"] = "FeatureCollection";
    collection["features"] = std::move(features);
    return collection.dump() + "\n";
}

} // namespace sheetfind
