// SPDX-License-Identifier: MIT
#include "api.h"

#include "assets.h"
#include "cell_json.h"
#include "datum.h"
#include "fields.h"
#include "geometry_cover.h"
#include "grid.h"
#include "input_error.h"
#include "layer_geometry.h"
#include "line_reader.h"
#include "number_reader.h"
#include "ogc.h"
#include "point_reader.h"
#include "reference_reader.h"
#include "streams.h"
#include "table_error.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <variant>

namespace sheetfind::server {
namespace {

using nlohmann::json;
using sheetref::Reference;
using sheetref::Scale;

constexpr std::string_view kApi = "/api/";
constexpr Scale kDefaultScale = Scale::Sheet;
// Cells never change: a day in any cache, and an ETag to check for longer.
constexpr const char* kCacheControl = "public, max-age=86400";

// Numbers in a URL or a body are written as JSON and URLs write them: a dot, whatever
// the locale of the machine that serves them.
const NumberReader& urlNumbers() {
    static const NumberReader numbers{NumberSymbols{}};
    return numbers;
}

// Text from a request (a path of any bytes, say) can reach a message: a byte that is
// not UTF-8 is written as U+FFFD rather than failing the answer.
Response jsonResponse(int status, const json& body) {
    return {.status = status, .body = body.dump(-1, ' ', false, json::error_handler_t::replace)};
}

Response error(int status, const std::string& message) {
    return jsonResponse(status, json{{"error", message}});
}

Response badInput(const InputFailure& failure) {
    return error(400, describe(failure));
}

std::optional<std::string> parameter(const Request& request, const std::string& name) {
    const auto found = request.query.find(name);
    if (found == request.query.end()) {
        return std::nullopt;
    }
    return found->second;
}

// The scale of ?scale= (the sheet when absent), or the message for an unknown one.
std::variant<Scale, std::string> scaleOf(const Request& request) {
    const auto name = parameter(request, "scale");
    if (!name) {
        return kDefaultScale;
    }
    const auto scale = sheetref::scaleNamed(*name);
    if (!scale) {
        return sheetref::describeUnknownScale(*name);
    }
    return *scale;
}

// The failure of a point the locator could not shift, as sheetfind-cli reports it.
InputFailure notShifted(const DatumLocator& locator) {
    return {.error = InputError::NotShifted,
            .field = Field::Point,
            .text = std::string(),
            .detail = locator.failure()};
}

// `atLeast`: the count is of the part covered before the limit was passed.
Response tooMany(std::size_t count, bool atLeast = false) {
    return error(400, "the answer would hold " + std::string(atLeast ? "at least " : "") +
                          std::to_string(count) + " cells; one answer holds at most " +
                          std::to_string(kMaxCellsPerAnswer) +
                          ": ask for a smaller box, a coarser scale, or page through "
                          "/collections/{id}/items");
}

// 200 and the JSON, or 500 and the message of what the server could not do.
Response featureAnswer(const FeatureResult& result) {
    if (const auto* message = std::get_if<std::string>(&result)) {
        return error(500, *message);
    }
    return jsonResponse(200, std::get<json>(result));
}

Response cellsAnswer(const std::vector<Reference>& cells, Outline outline = Outline::Densified) {
    if (cells.size() > kMaxCellsPerAnswer) {
        return tooMany(cells.size());
    }
    return featureAnswer(featureCollection(cells, outline));
}

// ?outline=densified (the default) or corners; nullopt for anything else.
std::optional<Outline> outlineOf(const Request& request) {
    const std::string name = parameter(request, "outline").value_or("densified");
    if (name == "densified") {
        return Outline::Densified;
    }
    if (name == "corners") {
        return Outline::Corners;
    }
    return std::nullopt;
}

// GET /api/locate?lat=&lon= or ?point=TEXT
Response locateOne(const Request& request, Scale scale) {
    const PointReader reader(urlNumbers());
    const auto point = parameter(request, "point");
    const auto lat = parameter(request, "lat");
    const auto lon = parameter(request, "lon");
    PointResult read;
    if (point && !lat && !lon) {
        read = reader.read(*point);
    } else if (lat && lon && !point) {
        read = reader.read(*lat, *lon);
    } else {
        return error(400, "give lat and lon, such as ?lat=49.25&lon=-123.1, or point, such as "
                          "?point=10U 491213 5458885");
    }
    if (const auto* failure = std::get_if<InputFailure>(&read)) {
        return badInput(*failure);
    }
    const sheetref::LatLon at = std::get<sheetref::LatLon>(read);
    json answer = {{"point", {{"latitude", at.latitude}, {"longitude", at.longitude}}},
                   {"scale", sheetref::scaleName(scale)}};
    MapLocator& shared = mapLocator();
    const std::lock_guard locked(shared.lock);
    DatumLocator& locator = shared.locator;
    // A point PROJ cannot shift (its data missing) is the server's failure, not the
    // request's.
    const auto cell = locator.locate(at, scale);
    if (!locator.failure().empty()) {
        return error(500, describe(notShifted(locator)));
    }
    answer["reference"] = cell ? json(cell->text()) : json(nullptr);
    answer["bounds"] = cell ? boundsJson(*cell) : json(nullptr);
    // The cell and those that hold it, from the series down: at 1:50 000 the sheet, its
    // map area and series; at 1:2 500 also the BCGS sheets of 1:20 000 to 1:5 000.
    // Without a scale, the cells of every scale, BC's BCGS and PNG grids too.
    const bool everyScale = !parameter(request, "scale");
    json cells = json::array();
    bool shifted = false;
    for (const Scale each : sheetref::kScales) {
        if (!everyScale && !sheetref::nests(scale, each)) {
            continue;
        }
        // The cells of the other scales are answered even so, and the answer says why
        // it has no PNG cells.
        const auto holder = locator.locate(at, each);
        if (!locator.failure().empty()) {
            answer["datum_shift_error"] = describe(notShifted(locator));
        }
        if (holder) {
            cells.push_back({{"reference", holder->text()},
                             {"scale", sheetref::scaleName(each)},
                             {"bounds", boundsJson(*holder)}});
            shifted = shifted || gridDatum(each) != Datum::Nad83;
        }
    }
    answer["cells"] = std::move(cells);
    // Which transformation placed the point in the PNG grid, and how well.
    if (shifted) {
        answer["datum_shift"] = locator.notice();
    }
    return jsonResponse(200, answer);
}

// POST /api/locate: a line of text for each point, answered line for line as
// `sheetfind-cli locate` answers standard input.
Response locateLines(const Request& request, Scale scale) {
    const PointReader reader(urlNumbers());
    Response response{.contentType = "text/plain; charset=utf-8"};
    // The lines as sheetfind-cli reads them, by the same reader: a byte order mark
    // skipped, a blank line or a # comment answered with an empty line, and a line past
    // the limit with its error, each in its place.
    StringSource body(request.body);
    LineReader lines(body, [] {});
    InputLine input;
    while (lines.next(input)) {
        const std::string_view line = input.text;
        if (input.tooLong) {
            response.body += "ERROR: " +
                             describe(RecordFailure(TableFailure{.error = TableError::LineTooLong,
                                                                 .count = kMaxLineLength})) +
                             '\n';
            continue;
        }
        if (isBlankOrComment(line)) {
            response.body += '\n';
            continue;
        }
        const PointResult point = reader.read(line);
        if (const auto* failure = std::get_if<InputFailure>(&point)) {
            response.body += "ERROR: " + describe(*failure) + '\n';
            continue;
        }
        MapLocator& shared = mapLocator();
        const std::lock_guard locked(shared.lock);
        DatumLocator& locator = shared.locator;
        const auto cell = locator.locate(std::get<sheetref::LatLon>(point), scale);
        if (!locator.failure().empty()) {
            response.body += "ERROR: " + describe(notShifted(locator)) + '\n';
            continue;
        }
        response.body += (cell ? cell->text() : std::string()) + '\n';
    }
    return response;
}

// GET /api/bounds/{reference} and /api/neighbours/{reference}
Response aboutReference(std::string_view what, std::string_view text) {
    auto reference = readReference(text);
    if (const auto* failure = std::get_if<InputFailure>(&reference)) {
        return badInput(*failure);
    }
    const Reference& cell = std::get<Reference>(reference);
    if (what == "bounds") {
        return featureAnswer(cellFeature(cell));
    }
    return featureAnswer(featureCollection(sheetref::neighbours(cell)));
}

// GET /api/cover?bbox=WEST,SOUTH,EAST,NORTH, the order of OGC APIs and GeoJSON.
Response coverBox(const Request& request, Scale scale) {
    const auto bbox = parameter(request, "bbox");
    if (!bbox) {
        return error(400, "give the box as bbox=WEST,SOUTH,EAST,NORTH in degrees, such as "
                          "bbox=-123.5,49,-122.5,49.5");
    }
    const auto box = boxOfBbox(*bbox);
    if (const auto* message = std::get_if<std::string>(&box)) {
        return error(400, *message);
    }
    const auto outline = outlineOf(request);
    if (!outline) {
        return error(400, "outline=" + sheetref::quoteText(*parameter(request, "outline")) +
                              " is not an outline; expected densified (the default) or corners");
    }
    // The box is CRS84; a PNG cell's degrees are NAD27's.
    const auto inGrid = boxInGridDatum(std::get<sheetref::Bounds>(box), scale);
    if (const auto* message = std::get_if<std::string>(&inGrid)) {
        return error(500, *message);
    }
    const auto& gridBox = std::get<std::optional<sheetref::Bounds>>(inGrid);
    if (!gridBox) {
        return cellsAnswer({});
    }
    const auto page =
        std::get<sheetref::CoverPage>(sheetref::coverPage(*gridBox, scale, 0, kMaxCellsPerAnswer));
    if (page.matched > kMaxCellsPerAnswer) {
        return tooMany(page.matched);
    }
    return cellsAnswer(page.cells, *outline);
}

// The geometries of a GeoJSON geometry, Feature or FeatureCollection, as JSON texts.
std::variant<std::vector<std::string>, std::string> geometriesOf(const json& geoJson) {
    const std::string type =
        geoJson.is_object() && geoJson.contains("type") && geoJson["type"].is_string()
            ? geoJson["type"].get<std::string>()
            : std::string();
    if (type == "FeatureCollection") {
        if (!geoJson.contains("features") || !geoJson["features"].is_array()) {
            return std::string("the FeatureCollection has no \"features\" array");
        }
        std::vector<std::string> all;
        for (const json& feature : geoJson["features"]) {
            auto some = geometriesOf(feature);
            if (auto* message = std::get_if<std::string>(&some)) {
                return std::move(*message);
            }
            auto& found = std::get<std::vector<std::string>>(some);
            all.insert(all.end(), found.begin(), found.end());
        }
        return all;
    }
    if (type == "Feature") {
        if (!geoJson.contains("geometry")) {
            return std::string("a Feature has no \"geometry\" member");
        }
        if (geoJson["geometry"].is_null()) {
            return std::vector<std::string>{};
        }
        return std::vector<std::string>{geoJson["geometry"].dump()};
    }
    if (type.empty()) {
        return std::string("the body is not GeoJSON: expected an object with a \"type\"");
    }
    return std::vector<std::string>{geoJson.dump()};
}

// GeoJSON nests a few levels deep (a FeatureCollection's polygon's points at 7). A body
// nested deeper is refused while it is read, before anything walks it recursively, as
// dumping a geometry does: 120 KB of brackets would otherwise overflow the stack.
constexpr int kMaxJsonDepth = 64;

// POST /api/cover?scale=&geodesic=: the cells of a GeoJSON body, longitude first.
Response coverGeoJson(const Request& request, Scale scale) {
    bool tooDeep = false;
    const json geoJson = json::parse(
        request.body,
        [&tooDeep](int depth, json::parse_event_t, json&) {
            tooDeep = tooDeep || depth > kMaxJsonDepth;
            return !tooDeep;
        },
        false);
    if (tooDeep) {
        return error(400, "the body nests JSON more than " + std::to_string(kMaxJsonDepth) +
                              " levels deep; GeoJSON needs far fewer");
    }
    if (geoJson.is_discarded()) {
        return error(400, "the body is not JSON; expected a GeoJSON geometry, Feature or "
                          "FeatureCollection");
    }
    auto geometries = geometriesOf(geoJson);
    if (const auto* message = std::get_if<std::string>(&geometries)) {
        return error(400, *message);
    }
    const bool geodesic = parameter(request, "geodesic").value_or("false") == "true";
    auto geometry = gis::LayerGeometry::from(std::string_view(), scale, geodesic);
    if (const auto* failure = std::get_if<gis::GisFailure>(&geometry)) {
        return error(500, gis::describe(*failure));
    }
    // The answer's limit is checked feature by feature, so a body of many large areas
    // is refused after the first ones that pass it, not after all were covered.
    std::vector<std::vector<Reference>> covers;
    std::size_t gathered = 0;
    for (const std::string& each : std::get<std::vector<std::string>>(geometries)) {
        auto cells = std::get<gis::LayerGeometry>(geometry).cellsOfGeoJson(each);
        if (const auto* failure = std::get_if<gis::GisFailure>(&cells)) {
            return error(400, gis::describe(*failure));
        }
        covers.push_back(std::move(std::get<std::vector<Reference>>(cells)));
        gathered += covers.back().size();
        if (gathered > kMaxCellsPerAnswer) {
            // Features may share cells: only the merged count decides.
            covers = {sheetref::mergeCovers(covers)};
            gathered = covers.front().size();
            if (gathered > kMaxCellsPerAnswer) {
                return tooMany(gathered, true);
            }
        }
    }
    return cellsAnswer(sheetref::mergeCovers(covers));
}

// A 64-bit FNV-1a of the body: the same answer, the same tag.
std::string entityTag(std::string_view body) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char ch : body) {
        hash = (hash ^ static_cast<unsigned char>(ch)) * 1099511628211ULL;
    }
    char text[19];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return "\"" + std::string(text) + "\"";
}

// Whether an If-None-Match header names `tag`, by the weak comparison: "W/" aside,
// any of its comma-separated tags, or "*".
bool matchesTag(std::string_view header, std::string_view tag) {
    const auto opaque = [](std::string_view each) {
        while (!each.empty() && (each.front() == ' ' || each.front() == '\t')) {
            each.remove_prefix(1);
        }
        while (!each.empty() && (each.back() == ' ' || each.back() == '\t')) {
            each.remove_suffix(1);
        }
        return each.starts_with("W/") ? each.substr(2) : each;
    };
    while (!header.empty()) {
        const std::size_t comma = header.find(',');
        const std::string_view each = opaque(header.substr(0, comma));
        if (each == "*" || (!each.empty() && each == opaque(tag))) {
            return true;
        }
        header = comma == std::string_view::npos ? std::string_view() : header.substr(comma + 1);
    }
    return false;
}

using Handler = std::function<Response(const Request&, Scale)>;

struct Route {
    std::string_view path; // a prefix when it ends with '/', except "/" itself
    std::string_view method;
    Handler handle;
    // The query parameters it takes; any other is refused, so that a mistyped one
    // is not silently ignored. Files take any, as a cache-busting "?v=2" is common.
    std::vector<std::string_view> parameters = {};
    bool anyParameters = false;
};

// The message for the first query parameter the route does not take, if any.
std::optional<std::string> unknownParameter(const Request& request, const Route& route) {
    if (route.anyParameters) {
        return std::nullopt;
    }
    const std::vector<std::string_view>& known = route.parameters;
    for (const auto& [name, value] : request.query) {
        if (std::ranges::find(known, name) != known.end()) {
            continue;
        }
        return "unknown parameter " + sheetref::quoteText(name) + " on " + request.path +
               (known.empty() ? "; it takes none"
                              : "; expected " + sheetref::listOfChoices(std::vector<std::string>(
                                                    known.begin(), known.end())));
    }
    return std::nullopt;
}

} // namespace

Response respond(const Request& request) {
    const auto ogc = [](const Request& r, Scale) { return respondOgc(r); };
    static const std::array kRoutes{
        Route{"/api/locate", "GET", locateOne, {"lat", "lon", "point", "scale"}},
        Route{"/api/locate", "POST", locateLines, {"scale"}},
        Route{"/api/cover", "GET", coverBox, {"bbox", "scale", "outline"}},
        Route{"/api/cover", "POST", coverGeoJson, {"scale", "geodesic"}},
        Route{"/api/bounds/", "GET",
              [](const Request& r, Scale) {
                  return aboutReference("bounds", std::string_view(r.path).substr(12));
              }},
        Route{"/api/neighbours/", "GET",
              [](const Request& r, Scale) {
                  return aboutReference("neighbours", std::string_view(r.path).substr(16));
              }},
        // OGC API - Features (ogc.h): the landing page, and the grid as collections.
        Route{"/", "GET", ogc, {"f"}},
        Route{"/static/",
              "GET",
              [](const Request& r, Scale) {
                  return asset(r.path).value_or(error(404, "no such path: " + r.path));
              },
              {},
              true},
        Route{"/conformance", "GET", ogc, {"f"}},
        Route{"/api", "GET", ogc, {"f"}},
        Route{"/collections", "GET", ogc, {"f"}},
        // A collection, its items and one item: the items' parameters.
        Route{"/collections/", "GET", ogc, {"f", "bbox", "limit", "offset", "datetime"}},
    };
    std::string allowed;
    const Route* route = nullptr;
    for (const Route& each : kRoutes) {
        const bool prefix = each.path.size() > 1 && each.path.ends_with('/');
        const bool matches =
            prefix ? request.path.starts_with(each.path) && request.path.size() > each.path.size()
                   : request.path == each.path;
        if (!matches) {
            continue;
        }
        allowed += allowed.empty() ? "" : ", ";
        allowed += each.method;
        if (each.method == request.method || (request.method == "HEAD" && each.method == "GET")) {
            route = &each;
        }
    }
    // The methods of HTTP (RFC 9110, and PATCH): any other is not one this server knows.
    constexpr std::array<std::string_view, 9> kMethods{
        "GET", "HEAD", "POST", "PUT", "DELETE", "CONNECT", "OPTIONS", "TRACE", "PATCH"};
    Response response;
    if (std::ranges::find(kMethods, request.method) == kMethods.end()) {
        response = error(501, "the method " + sheetref::quoteText(request.method) +
                                  " is not one of HTTP's; expected " +
                                  (allowed.empty() ? std::string("GET") : allowed));
    } else if (route == nullptr && !allowed.empty() && request.method == "OPTIONS") {
        // A browser's preflight before a cross-origin POST.
        response = Response{.status = 204, .contentType = {}};
        response.headers.emplace_back("Access-Control-Allow-Methods", allowed + ", OPTIONS");
        response.headers.emplace_back("Access-Control-Allow-Headers", "Content-Type");
    } else if (route == nullptr && !allowed.empty()) {
        response = error(405, "the method " + request.method + " is not allowed on " +
                                  request.path + "; allowed: " + allowed);
        response.headers.emplace_back("Allow", allowed);
    } else if (route == nullptr) {
        response = error(404, "no such path: " + request.path +
                                  (request.path.starts_with(kApi)
                                       ? "; the API has /api/locate, /api/bounds/{reference}, "
                                         "/api/neighbours/{reference} and /api/cover"
                                       : ""));
    } else if (request.body.size() > kMaxBodyBytes) {
        response =
            error(413, "the body is larger than " + std::to_string(kMaxBodyBytes) + " bytes");
    } else if (const auto unknown = unknownParameter(request, *route)) {
        response = error(400, *unknown);
    } else if (request.method == "POST" && request.body.empty()) {
        response = error(400, "the request has no body; POST /api/locate takes lines of "
                              "points, POST /api/cover a GeoJSON geometry");
    } else {
        // Files take any parameter and are what they are whatever it says.
        const auto scale = route->anyParameters ? std::variant<Scale, std::string>(kDefaultScale)
                                                : scaleOf(request);
        if (const auto* message = std::get_if<std::string>(&scale)) {
            response = error(400, *message);
        } else {
            response = route->handle(request, std::get<Scale>(scale));
        }
        if (response.status == 200 && request.method == "POST") {
            // An answer to a POST is the poster's alone; a precondition on it fails
            // rather than answering 304.
            response.headers.emplace_back("Cache-Control", "no-store");
            if (!request.ifNoneMatch.empty() &&
                (request.ifNoneMatch == "*" ||
                 matchesTag(request.ifNoneMatch, entityTag(response.body)))) {
                response = error(412, "If-None-Match matched: the precondition failed");
            }
        } else if (response.status == 200) {
            // Weak: a compressed answer has other bytes, and the same meaning.
            const std::string tag = "W/" + entityTag(response.body);
            const bool ownCaching =
                std::any_of(response.headers.begin(), response.headers.end(),
                            [](const auto& header) { return header.first == "Cache-Control"; });
            if (!ownCaching) {
                response.headers.emplace_back("Cache-Control", kCacheControl);
            }
            response.headers.emplace_back("ETag", tag);
            if (matchesTag(request.ifNoneMatch, tag)) {
                response.status = 304;
                response.body.clear();
            }
        }
    }
    addCommonHeaders(response, request.path);
    return response;
}

void addCommonHeaders(Response& response, std::string_view path) {
    // The landing page answers a browser with HTML and anything else with JSON; every
    // answer may be sent compressed.
    response.headers.emplace_back("Vary",
                                  path == "/" ? "Accept, Accept-Encoding" : "Accept-Encoding");
    response.headers.emplace_back("Access-Control-Allow-Origin", "*");
}

Response errorResponse(int status, const std::string& message) {
    Response response = error(status, message);
    addCommonHeaders(response, {});
    return response;
}

} // namespace sheetfind::server
