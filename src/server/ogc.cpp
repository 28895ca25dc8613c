// SPDX-License-Identifier: MIT
#include "ogc.h"

#include "assets.h"
#include "cell_json.h"
#include "grid.h"
#include "input_error.h"
#include "quote.h"
#include "reference_reader.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <variant>

namespace sheetfind::server {
namespace {

using nlohmann::json;
using sheetref::Reference;
using sheetref::Scale;

constexpr std::string_view kJson = "application/json";
constexpr std::string_view kGeoJson = "application/geo+json";
constexpr std::string_view kOpenApi = "application/vnd.oai.openapi+json;version=3.0";
constexpr std::string_view kCrs84 = "http://www.opengis.net/def/crs/OGC/1.3/CRS84";
constexpr std::string_view kCollections = "/collections";

constexpr std::size_t kDefaultLimit = 100;
constexpr std::size_t kMaxLimit = kMaxCellsPerAnswer;

struct Collection {
    std::string_view id; // the column a cell of its scale goes in (sheetColumnName)
    Scale scale;
    std::string_view title;
};

constexpr std::array kCollectionsByScale{
    Collection{"nts_1m", Scale::Series, "NTS series, 1:1 000 000"},
    Collection{"nts_250k", Scale::MapArea, "NTS map areas, 1:250 000"},
    Collection{"nts_50k", Scale::Sheet, "NTS sheets, 1:50 000"},
    Collection{"bcgs_20k", Scale::Bcgs20k, "BCGS sheets, 1:20 000"},
    Collection{"bcgs_10k", Scale::Bcgs10k, "BCGS sheets, 1:10 000"},
    Collection{"bcgs_5k", Scale::Bcgs5k, "BCGS sheets, 1:5 000"},
    Collection{"bcgs_2500", Scale::Bcgs2500, "BCGS sheets, 1:2 500"},
    Collection{"png_block", Scale::PngBlock, "PNG blocks"},
    Collection{"png_unit", Scale::PngUnit, "PNG units"},
    Collection{"png", Scale::PngQuarterUnit, "PNG quarter units"},
};

// A box past every edge of the grid: cover ignores what lies outside it.
constexpr sheetref::Bounds kWholeWorld{.south = -90, .north = 90, .west = -180, .east = 180};

Response answer(int status, const json& body, std::string_view contentType = kJson) {
    return {.status = status,
            .contentType = std::string(contentType),
            .body = body.dump(-1, ' ', false, json::error_handler_t::replace)};
}

Response failure(int status, const std::string& message) {
    return answer(status, json{{"error", message}});
}

// Links are absolute when the request says where the server was reached: QGIS 3.22
// follows only absolute ones.
json link(const Request& request, std::string_view href, std::string_view rel,
          std::string_view type, std::string title = {}) {
    json made = {{"href", request.origin + std::string(href)}, {"rel", rel}, {"type", type}};
    if (!title.empty()) {
        made["title"] = std::move(title);
    }
    return made;
}

std::optional<std::string> parameter(const Request& request, const std::string& name) {
    const auto found = request.query.find(name);
    return found == request.query.end() ? std::nullopt : std::optional(found->second);
}

const Collection* collectionNamed(std::string_view id) {
    const auto found = std::ranges::find(kCollectionsByScale, id, &Collection::id);
    return found == kCollectionsByScale.end() ? nullptr : &*found;
}

json collectionJson(const Request& request, const Collection& c) {
    const std::string self = std::string(kCollections) + "/" + std::string(c.id);
    const sheetref::Bounds& e = extentOf(c.scale);
    return {
        {"id", c.id},
        {"title", c.title},
        {"description",
         sheetref::isPng(c.scale)
             ? "The cells of BC's petroleum and natural gas grid at the " +
                   std::string(sheetref::scaleName(c.scale)) +
                   ", with their reference, scale and "
                   "bounds; the grid is drawn in NAD27, so the bounds are NAD27 degrees and the "
                   "geometries are shifted to CRS84"
             : std::string(sheetref::isBcgs(c.scale) ? "The sheets of BC's BCGS grid at "
                                                     : "The cells of the NTS grid at ") +
                   std::string(sheetref::scaleName(c.scale)) +
                   ", with their reference, scale and bounds"},
        {"itemType", "feature"},
        {"crs", json::array({kCrs84})},
        {"extent",
         {{"spatial",
           {{"bbox", json::array({json::array({e.west, e.south, e.east, e.north})})},
            {"crs", kCrs84}}}}},
        {"links",
         json::array({link(request, self, "self", kJson, std::string(c.title)),
                      link(request, self + "/items", "items", kGeoJson, std::string(c.title))})}};
}

Response landingPage(const Request& request) {
    const auto format = parameter(request, "f");
    const bool browser = request.accept.find("text/html") != std::string::npos;
    if ((format == "html" || (browser && !format)) && format != "json") {
        if (auto page = asset("/")) {
            return std::move(*page);
        }
    }
    return answer(200, {{"title", "Sheetfind"},
                        {"description", "The map sheets of Canada's National Topographic System "
                                        "(NTS) at 1:1 000 000, 1:250 000 and 1:50 000"},
                        {"links", json::array({link(request, "/", "self", kJson, "this document"),
                                               link(request, "/api", "service-desc", kOpenApi,
                                                    "the API definition"),
                                               link(request, "/conformance", "conformance", kJson,
                                                    "the conformance classes implemented"),
                                               link(request, kCollections, "data", kJson,
                                                    "the collections, one per scale")})}});
}

Response conformance() {
    return answer(
        200, {{"conformsTo", json::array({
                                 "http://www.opengis.net/spec/ogcapi-features-1/1.0/conf/core",
                                 "http://www.opengis.net/spec/ogcapi-features-1/1.0/conf/geojson",
                                 "http://www.opengis.net/spec/ogcapi-features-1/1.0/conf/oas30",
                             })}});
}

json jsonContent(std::string_view type) {
    return {{type, {{"schema", {{"type", "object"}}}}}};
}

json operation(std::string id, std::string summary, std::string_view type,
               json parameters = json::array()) {
    return {
        {"get",
         {{"operationId", std::move(id)},
          {"summary", std::move(summary)},
          {"parameters", std::move(parameters)},
          {"responses",
           {{"200", {{"description", "the answer"}, {"content", jsonContent(type)}}},
            {"400", {{"description", "a bad parameter"}, {"content", jsonContent(kJson)}}},
            {"404",
             {{"description", "no such collection or item"}, {"content", jsonContent(kJson)}}}}}}}};
}

json pathParameter(std::string_view name, json schema) {
    return {{"name", name}, {"in", "path"}, {"required", true}, {"schema", std::move(schema)}};
}

json queryParameter(std::string_view name, std::string_view description, json schema) {
    return {{"name", name},
            {"in", "query"},
            {"required", false},
            {"description", description},
            {"schema", std::move(schema)},
            {"style", "form"},
            {"explode", false}};
}

Response openApi(const Request& request) {
    json ids = json::array();
    for (const Collection& c : kCollectionsByScale) {
        ids.push_back(c.id);
    }
    const json collectionId = pathParameter("collectionId", {{"type", "string"}, {"enum", ids}});
    const json items = json::array(
        {collectionId,
         queryParameter("bbox",
                        "WEST,SOUTH,EAST,NORTH in degrees (CRS84); the cells that share some area "
                        "with the box",
                        {{"type", "array"},
                         {"minItems", 4},
                         {"maxItems", 4},
                         {"items", {{"type", "number"}}}}),
         queryParameter("limit", "the most items on a page",
                        {{"type", "integer"},
                         {"minimum", 1},
                         {"maximum", kMaxLimit},
                         {"default", kDefaultLimit}}),
         queryParameter("offset", "the items to skip, in reference order",
                        {{"type", "integer"}, {"minimum", 0}, {"default", 0}}),
         queryParameter("datetime", "accepted for clients that send it; cells have no time",
                        {{"type", "string"}})});
    const std::string collection = std::string(kCollections) + "/{collectionId}";
    return answer(
        200,
        {{"openapi", "3.0.3"},
         {"info",
          {{"title", "Sheetfind"},
           {"version", "1.0"},
           {"description", "The NTS grid as OGC API - Features"}}},
         {"servers", json::array({{{"url", request.origin + "/"}}})},
         {"paths",
          {{"/", operation("getLandingPage", "the landing page", kJson)},
           {"/conformance", operation("getConformance", "the conformance classes", kJson)},
           {"/api", operation("getApi", "this document", kOpenApi)},
           {kCollections, operation("getCollections", "the collections, one per scale", kJson)},
           {collection,
            operation("describeCollection", "one collection", kJson, json::array({collectionId}))},
           {collection + "/items",
            operation("getFeatures", "the cells of a collection, a page at a time", kGeoJson,
                      items)},
           {collection + "/items/{featureId}",
            operation(
                "getFeature", "one cell, by its reference", kGeoJson,
                json::array({collectionId, pathParameter("featureId", {{"type", "string"}})}))}}}},
        kOpenApi);
}

Response collections(const Request& request) {
    json all = json::array();
    for (const Collection& c : kCollectionsByScale) {
        all.push_back(collectionJson(request, c));
    }
    return answer(200, {{"links", json::array({link(request, kCollections, "self", kJson)})},
                        {"collections", std::move(all)}});
}

// A whole number in [least, most] from a query parameter, or the message saying so.
std::variant<std::size_t, std::string> count(const Request& request, const std::string& name,
                                             std::size_t fallback, std::size_t least,
                                             std::size_t most) {
    const auto text = parameter(request, name);
    if (!text) {
        return fallback;
    }
    std::size_t value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || stop != end || text->empty() || value < least || value > most) {
        return "the " + name + " " + sheetref::quoteText(*text) + " is not a whole number in [" +
               std::to_string(least) + ", " + std::to_string(most) + "]";
    }
    return value;
}

// Characters that go into a query unescaped (RFC 3986's unreserved, and the comma
// that separates a bbox's numbers).
std::string queryEscaped(std::string_view text) {
    static constexpr std::string_view kPlain = "-._~,";
    std::string escaped;
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (std::isalnum(byte) != 0 || kPlain.find(ch) != std::string_view::npos) {
            escaped += ch;
        } else {
            static constexpr std::string_view kHex = "0123456789ABCDEF";
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        }
    }
    return escaped;
}

Response items(const Request& request, const Collection& c) {
    const auto bbox = parameter(request, "bbox");
    std::vector<sheetref::Bounds> boxes{kWholeWorld};
    if (bbox) {
        auto read = boxesOfBbox(*bbox, true);
        if (const auto* message = std::get_if<std::string>(&read)) {
            return failure(400, *message);
        }
        boxes = std::move(std::get<std::vector<sheetref::Bounds>>(read));
    }
    const auto limit = count(request, "limit", kDefaultLimit, 1, kMaxLimit);
    if (const auto* message = std::get_if<std::string>(&limit)) {
        return failure(400, *message);
    }
    const auto offset = count(request, "offset", 0, 0, std::numeric_limits<std::size_t>::max());
    if (const auto* message = std::get_if<std::string>(&offset)) {
        return failure(400, *message);
    }
    const std::size_t size = std::get<std::size_t>(limit);
    // One page over the boxes' covers in turn (two across the antimeridian).
    sheetref::CoverPage cover;
    std::size_t skip = std::get<std::size_t>(offset);
    for (const sheetref::Bounds& box : boxes) {
        // The box is CRS84; a PNG cell's degrees are NAD27's.
        const auto inGrid = boxInGridDatum(box, c.scale);
        if (const auto* message = std::get_if<std::string>(&inGrid)) {
            return failure(500, *message);
        }
        const auto& gridBox = std::get<std::optional<sheetref::Bounds>>(inGrid);
        if (!gridBox) {
            continue;
        }
        auto part = std::get<sheetref::CoverPage>(sheetref::coverPage(
            *gridBox, c.scale, skip, size - std::min(size, cover.cells.size())));
        skip -= std::min(skip, part.matched);
        cover.matched += part.matched;
        cover.cells.insert(cover.cells.end(), part.cells.begin(), part.cells.end());
    }
    const std::size_t first = std::min(std::get<std::size_t>(offset), cover.matched);
    const std::size_t last = first + cover.cells.size();
    auto features = featureCollection(cover.cells);
    if (const auto* message = std::get_if<std::string>(&features)) {
        return failure(500, *message);
    }
    json page = std::move(std::get<json>(features));
    const auto pageAt = [&](std::size_t at) {
        return std::string(kCollections) + "/" + std::string(c.id) + "/items?" +
               (bbox ? "bbox=" + queryEscaped(*bbox) + "&" : "") + "limit=" + std::to_string(size) +
               "&offset=" + std::to_string(at);
    };
    json links = json::array({link(request, pageAt(first), "self", kGeoJson, "this page")});
    if (last < cover.matched) {
        links.push_back(link(request, pageAt(last), "next", kGeoJson, "the next page"));
    }
    if (first > 0) {
        links.push_back(link(request, pageAt(first - std::min(first, size)), "prev", kGeoJson,
                             "the previous page"));
    }
    page["numberMatched"] = cover.matched;
    page["numberReturned"] = last - first;
    page["links"] = std::move(links);
    return answer(200, page, kGeoJson);
}

Response item(const Request& request, const Collection& c, std::string_view text) {
    auto read = readReference(text);
    if (const auto* bad = std::get_if<InputFailure>(&read)) {
        return failure(400, describe(*bad));
    }
    const Reference& cell = std::get<Reference>(read);
    if (cell.scale() != c.scale) {
        return failure(404, "the cell " + cell.text() + " is not in the collection " +
                                std::string(c.id) + ", which holds the cells at " +
                                std::string(sheetref::scaleName(c.scale)));
    }
    const std::string collection = std::string(kCollections) + "/" + std::string(c.id);
    auto made = cellFeature(cell);
    if (const auto* message = std::get_if<std::string>(&made)) {
        return failure(500, *message);
    }
    json feature = std::move(std::get<json>(made));
    feature["links"] =
        json::array({link(request, collection + "/items/" + cell.text(), "self", kGeoJson),
                     link(request, collection, "collection", kJson, std::string(c.title))});
    return answer(200, feature, kGeoJson);
}

} // namespace

Response respondOgc(const Request& request) {
    const std::string_view path = request.path;
    // JSON everywhere, GeoJSON for features, HTML for the landing page's browser; no
    // other format is written, and none is passed off as another.
    if (const auto format = parameter(request, "f");
        format && *format != "json" && *format != "geojson" && *format != "html") {
        return failure(400, "f=" + sheetref::quoteText(*format) +
                                " is not a format this server writes; expected json, geojson "
                                "or html");
    }
    if (path == "/") {
        return landingPage(request);
    }
    if (path == "/conformance") {
        return conformance();
    }
    if (path == "/api") {
        return openApi(request);
    }
    if (path == kCollections) {
        return collections(request);
    }
    // /collections/{id}[/items[/{reference}]]
    const std::string prefix = std::string(kCollections) + "/";
    if (path.starts_with(prefix)) {
        std::string_view rest = path.substr(prefix.size());
        const std::size_t slash = rest.find('/');
        const Collection* c = collectionNamed(rest.substr(0, slash));
        if (c == nullptr) {
            std::string known;
            for (const Collection& each : kCollectionsByScale) {
                known += (known.empty() ? "" : ", ") + std::string(each.id);
            }
            return failure(404, "no collection " + sheetref::quoteText(rest.substr(0, slash)) +
                                    "; expected " + known);
        }
        if (slash == std::string_view::npos) {
            return answer(200, collectionJson(request, *c));
        }
        rest.remove_prefix(slash);
        if (rest == "/items") {
            return items(request, *c);
        }
        if (rest.starts_with("/items/") && rest.size() > 7) {
            return item(request, *c, rest.substr(7));
        }
    }
    return failure(404, "no such path: " + std::string(path));
}

} // namespace sheetfind::server
