// SPDX-License-Identifier: MIT
// The JSON API, request by request: the engine's answers and messages, the HTTP
// statuses of bad requests, and the headers every answer carries.

#include "api.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <numbers>
#include <string>

namespace {

using nlohmann::json;
using sheetfind::server::Request;
using sheetfind::server::respond;
using sheetfind::server::Response;

std::string header(const Response& response, const std::string& name) {
    for (const auto& [key, value] : response.headers) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

struct Case {
    const char* name;
    Request request;
    int status;
    const char* expected; // a JSON pointer and its value as JSON, "/reference=\"092G06\"",
                          // or text the body must hold
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Api : public testing::TestWithParam<Case> {};

TEST_P(Api, Answers) {
    const Case& c = GetParam();
    const Response response = respond(c.request);
    EXPECT_EQ(response.status, c.status) << response.body;
    EXPECT_EQ(header(response, "Access-Control-Allow-Origin"), "*");
    const std::string expected = c.expected;
    const std::size_t equals = expected.find('=');
    if (expected.starts_with('/') && equals != std::string::npos) {
        const json body = json::parse(response.body);
        EXPECT_EQ(body.at(json::json_pointer(expected.substr(0, equals))),
                  json::parse(expected.substr(equals + 1)))
            << response.body;
    } else {
        EXPECT_NE(response.body.find(expected), std::string::npos) << response.body;
    }
}

Request get(std::string path, std::map<std::string, std::string> query = {}) {
    return {.method = "GET", .path = std::move(path), .query = std::move(query)};
}

Request post(std::string path, std::string body, std::map<std::string, std::string> query = {}) {
    return {.method = "POST",
            .path = std::move(path),
            .query = std::move(query),
            .body = std::move(body)};
}

const std::pair<const std::string, std::string> kPng{"scale", "png"};

INSTANTIATE_TEST_SUITE_P(
    Requests, Api,
    testing::Values(
        Case{"LocateLatLon", get("/api/locate", {{"lat", "49.25"}, {"lon", "-123.1"}}), 200,
             "/reference=\"092G06\""},
        Case{"LocateCoarserCells", get("/api/locate", {{"lat", "49.25"}, {"lon", "-123.1"}}), 200,
             "/cells/1/reference=\"092G\""},
        // Without a scale, every scale's cell: BC's sheets after the NTS's.
        Case{"LocateEveryScale", get("/api/locate", {{"lat", "49.25"}, {"lon", "-123.1"}}), 200,
             "/cells/6/reference=\"092G025322\""},
        Case{"LocateBcgsAndTheCellsHoldingIt",
             get("/api/locate", {{"lat", "49.25"}, {"lon", "-123.1"}, {"scale", "2500"}}), 200,
             "/cells/3/reference=\"092G0253\""},
        Case{"LocateAtAScale",
             get("/api/locate", {{"lat", "49.25"}, {"lon", "-123.1"}, {"scale", "250k"}}), 200,
             "/scale=\"1:250000\""},
        Case{"LocateUtm", get("/api/locate", {{"point", "10U 491213 5458885"}}), 200,
             "/reference=\"092G06\""},
        Case{"LocateWhereNoSheetIs", get("/api/locate", {{"lat", "-10"}, {"lon", "0"}}), 200,
             "/reference=null"},
        Case{"LocateOutOfRange", get("/api/locate", {{"lat", "91"}, {"lon", "-123.1"}}), 400,
             "latitude 91 is out of range"},
        Case{"LocateNaN", get("/api/locate", {{"lat", "nan"}, {"lon", "-123.1"}}), 400,
             "\"error\""},
        Case{"LocateNothing", get("/api/locate"), 400, "give lat and lon"},
        Case{"PathNotUtf8", get("/api/\xff\xfe"), 404, "no such path"},
        // Lines as sheetfind-cli reads them: a byte order mark, a comment, a line too long.
        Case{"LocateLinesAsTheToolReadsThem",
             post("/api/locate", "\xEF\xBB\xBF"
                                 "49.25 -123.1\n# a note\n" +
                                     std::string(70'000, '1') + "\n49.25 -123.1\n"),
             200, "092G06\n\nERROR: line too long (the limit is 65536 bytes)\n092G06\n"},
        Case{"PostWithoutABody", post("/api/locate", ""), 400, "the request has no body"},
        Case{"AMethodHttpHasNot", Request{.method = "BREW", .path = "/api/locate"}, 501,
             "not one of HTTP's"},
        // The map asks for corners alone: its meridians and parallels are straight.
        Case{"CoverCorners",
             get("/api/cover",
                 {{"bbox", "-123.4,49.3,-123.3,49.4"}, {"scale", "50k"}, {"outline", "corners"}}),
             200, "/features/0/geometry/coordinates/0/4=[-123.5,49.25]"},
        Case{"CoverOutlineUnknown",
             get("/api/cover", {{"bbox", "-123.4,49.3,-123.3,49.4"}, {"outline", "round"}}), 400,
             "expected densified (the default) or corners"},
        Case{"FilesIgnoreTheScale", get("/static/app.js", {{"scale", "zzz"}}), 200, "L.map"},
        Case{"AFormatNotWritten", get("/collections", {{"f", "xml"}}), 400,
             "f=\\\"xml\\\" is not a format this server writes"},
        // BC's PNG grid is NAD27's: the map's WGS 84 point is shifted into it. At
        // -120.5695 the point lies in a-096 only once shifted some 75 m east.
        Case{"LocatePng", get("/api/locate", {{"lat", "56.912"}, {"lon", "-120.5695"}, kPng}), 200,
             "/reference=\"a-096-H/094-A-15\""},
        Case{"LocatePngBoundsAreNad27",
             get("/api/locate", {{"lat", "56.912"}, {"lon", "-120.567"}, kPng}), 200,
             "/bounds/datum=\"NAD27\""},
        Case{"LocatePngUnitAndTheCellsHoldingIt",
             get("/api/locate", {{"lat", "56.912"}, {"lon", "-120.567"}, {"scale", "png-unit"}}),
             200, "/cells/3/reference=\"H/094-A-15\""},
        Case{"LocateEveryScaleWithPng",
             get("/api/locate", {{"lat", "56.912"}, {"lon", "-120.567"}}), 200,
             "/cells/9/reference=\"a-096-H/094-A-15\""},
        Case{"LocatePngSaysHowItShifted",
             get("/api/locate", {{"lat", "56.912"}, {"lon", "-120.567"}, kPng}), 200,
             "points were shifted from WGS84 to NAD27"},
        Case{"LocatePngNoneInCalgary",
             get("/api/locate", {{"lat", "51.05"}, {"lon", "-114.07"}, kPng}), 200,
             "/reference=null"},
        Case{"LocatePngLines", post("/api/locate", "56.912 -120.5695\n51.05 -114.07\n", {kPng}),
             200, "a-096-H/094-A-15\n\n"},
        Case{"BoundsPng", get("/api/bounds/a-096-H/094-A-15"), 200,
             "/properties/bounds_datum=\"NAD27\""},
        Case{"NeighboursPng", get("/api/neighbours/a-096-H/094-A-15"), 200,
             "/features/7/id=\"d-096-H/094-A-15\""},
        Case{"CoverPng", get("/api/cover", {{"bbox", "-120.5697,56.9121,-120.5696,56.9122"}, kPng}),
             200, "/features/0/id=\"a-096-H/094-A-15\""},
        Case{"CoverPngNoneInAlberta", get("/api/cover", {{"bbox", "-114.2,51,-114,51.1"}, kPng}),
             200, "/features=[]"},
        Case{"CoverGeoJsonPng",
             post("/api/cover", R"({"type": "Point", "coordinates": [-120.5695, 56.912]})", {kPng}),
             200, "/features/0/id=\"a-096-H/094-A-15\""},
        Case{"LocateMistypedParameter", get("/api/locate", {{"lat", "49.25"}, {"lng", "-123.1"}}),
             400,
             "unknown parameter \\\"lng\\\" on /api/locate; expected lat, lon, point or scale"},
        Case{"LocateUnknownScale",
             get("/api/locate", {{"lat", "49.25"}, {"lon", "-123.1"}, {"scale", "25k"}}), 400,
             "unknown scale \\\"25k\\\""},
        Case{"LocateLines", post("/api/locate", "49.25 -123.1\r\nabc\n\n85 -100\n"), 200,
             "092G06\nERROR: the text \"abc\" is not a point"},
        Case{"Bounds", get("/api/bounds/92G6"), 200, "/properties/south=49.25"},
        Case{"BoundsOfNothing", get("/api/bounds/92Z6"), 400, "\"error\""},
        Case{"Neighbours", get("/api/neighbours/092G06"), 200, "/features/7/type=\"Feature\""},
        Case{"CoverBox", get("/api/cover", {{"bbox", "-123.4,49.3,-123.1,49.4"}}), 200,
             "/features/0/id=\"092G06\""},
        Case{"CoverReversedBox", get("/api/cover", {{"bbox", "-123,49,-124,50"}}), 400,
             "\"error\""},
        Case{"CoverThreeNumbers", get("/api/cover", {{"bbox", "-123,49,-124"}}), 400,
             "is not four numbers"},
        Case{"CoverTheWholeWorld", get("/api/cover", {{"bbox", "-180,-90,180,90"}}), 400,
             "at most 10000"},
        Case{"CoverGeoJson", post("/api/cover", R"({"type": "Feature", "properties": {}, "geometry":
                  {"type": "LineString", "coordinates": [[-123.4, 49.3], [-122.9, 49.3]]}})"),
             200, "/features/1/id=\"092G07\""},
        Case{"CoverMalformedJson", post("/api/cover", "{\"type\": "), 400, "is not JSON"},
        // Many large areas are refused once the covered ones pass the limit.
        Case{"CoverManyLargeAreas",
             post("/api/cover",
                  R"({"type": "FeatureCollection", "features": [)" +
                      [] {
                          // 50 areas of a degree square across BC, 3 200 cells each at 1:2 500.
                          std::string features;
                          for (int i = 0; i < 50; ++i) {
                              const std::string w = std::to_string(-130 + i % 8);
                              const std::string e = std::to_string(-129 + i % 8);
                              const std::string s = std::to_string(49 + i / 8);
                              const std::string n = std::to_string(50 + i / 8);
                              features += std::string(i == 0 ? "" : ",") +
                                          R"({"type": "Feature", "properties": {}, "geometry": )" +
                                          R"({"type": "Polygon", "coordinates": [[[)" + w + "," +
                                          s + "],[" + e + "," + s + "],[" + e + "," + n + "],[" +
                                          w + "," + n + "],[" + w + "," + s + "]]]}}";
                          }
                          return features;
                      }() +
                      "]}",
                  {{"scale", "2500"}}),
             400, "the answer would hold at least"},
        // Refused as it is read: walking it would overflow the stack.
        Case{"CoverDeeplyNestedJson",
             post("/api/cover", "{\"type\": \"Point\", \"coordinates\": " +
                                    std::string(60'000, '[') + std::string(60'000, ']') + "}"),
             400, "nests JSON more than 64 levels deep"},
        Case{"CoverOutOfRange",
             post("/api/cover", R"({"type": "Point", "coordinates": [-123.1, 91]})"), 400,
             "latitude 91"},
        Case{"UnknownPath", get("/api/nowhere"), 404, "no such path"},
        Case{"WrongMethod", post("/api/bounds/092G06", ""), 405, "allowed: GET"}),
    [](const testing::TestParamInfo<Case>& row) { return std::string(row.param.name); });

// A PNG cell is drawn on the map in CRS84: its NAD27 outline shifted tens of metres, so
// that a point just inside the drawn outline is located in the cell, and one just
// outside it is not.
TEST(ApiPng, TheOutlineIsWhereThePointsOfTheCellAre) {
    const json cell = json::parse(respond(get("/api/bounds/a-096-H/094-A-15")).body);
    const json& ring = cell["geometry"]["coordinates"][0];
    const double west = ring[0][0];
    const double south = ring[0][1];
    const double metresPerDegree = 111'320;
    const double eastward = (west - cell["properties"]["west"].get<double>()) * metresPerDegree *
                            std::cos(south * std::numbers::pi / 180);
    const double northward = (south - cell["properties"]["south"].get<double>()) * metresPerDegree;
    EXPECT_GT(std::hypot(eastward, northward), 10);
    EXPECT_LT(std::hypot(eastward, northward), 200);

    constexpr double kStep = 0.0004; // some 25 m of longitude, 45 m of latitude
    struct Probe {
        double dLon;
        double dLat;
        bool inside;
    };
    for (const Probe probe :
         {Probe{kStep, kStep, true}, Probe{-kStep, kStep, false}, Probe{kStep, -kStep, false}}) {
        const json located =
            json::parse(respond(get("/api/locate", {{"lat", std::to_string(south + probe.dLat)},
                                                    {"lon", std::to_string(west + probe.dLon)},
                                                    kPng}))
                            .body);
        EXPECT_EQ(located["reference"] == cell["id"], probe.inside)
            << probe.dLon << ", " << probe.dLat << ": " << located["reference"];
    }
}

TEST(ApiCaching, AnAnswerHasATagAndAMatchingTagIsNotModified) {
    const Request request = get("/api/bounds/092G06");
    const Response first = respond(request);
    EXPECT_EQ(header(first, "Cache-Control"), "public, max-age=86400");
    Request again = request;
    again.ifNoneMatch = header(first, "ETag");
    const Response second = respond(again);
    EXPECT_EQ(second.status, 304);
    EXPECT_EQ(second.body, "");
}

// A POST's answer is never cached, and a precondition on it fails with 412; a GET's
// tag is weak, since a compressed answer has other bytes, and matches in a list.
TEST(ApiCaching, PostsAreNotCachedAndTagsAreWeak) {
    Request request = post("/api/locate", "49.25 -123.1\n");
    const Response first = respond(request);
    EXPECT_EQ(header(first, "Cache-Control"), "no-store");
    EXPECT_EQ(header(first, "ETag"), "");
    request.ifNoneMatch = "*";
    EXPECT_EQ(respond(request).status, 412);

    Request get = {.method = "GET", .path = "/api/bounds/092G06"};
    const std::string tag = header(respond(get), "ETag");
    EXPECT_TRUE(tag.starts_with("W/\"")) << tag;
    get.ifNoneMatch = "\"other\", " + tag;
    EXPECT_EQ(respond(get).status, 304);
    get.ifNoneMatch = tag.substr(2); // the same tag, strong
    EXPECT_EQ(respond(get).status, 304);
}

// What answers differ by is named for caches: the landing page by Accept, every
// answer by Accept-Encoding.
TEST(ApiCaching, VaryNamesWhatAnAnswerDependsOn) {
    EXPECT_EQ(header(respond({.method = "GET", .path = "/"}), "Vary"), "Accept, Accept-Encoding");
    EXPECT_EQ(header(respond({.method = "GET", .path = "/api/bounds/092G06"}), "Vary"),
              "Accept-Encoding");
}

TEST(ApiCors, APreflightNamesTheMethods) {
    const Response response = respond({.method = "OPTIONS", .path = "/api/cover"});
    EXPECT_EQ(response.status, 204);
    EXPECT_EQ(header(response, "Access-Control-Allow-Methods"), "GET, POST, OPTIONS");
}

} // namespace
