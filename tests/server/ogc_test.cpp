// SPDX-License-Identifier: MIT
// The grid as OGC API - Features, request by request: the documents clients read
// first, the paging of items, and the statuses of bad requests.

#include "api.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace {

using nlohmann::json;
using sheetfind::server::Request;
using sheetfind::server::respond;
using sheetfind::server::Response;

Request get(std::string path, std::map<std::string, std::string> query = {}) {
    return {.method = "GET", .path = std::move(path), .query = std::move(query)};
}

struct Case {
    const char* name;
    Request request;
    int status;
    const char* pointer; // a JSON pointer into the body, and the JSON value it must hold
    const char* value;
    const char* contentType = "application/json";
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Ogc : public testing::TestWithParam<Case> {};

TEST_P(Ogc, Answers) {
    const Case& c = GetParam();
    const Response response = respond(c.request);
    EXPECT_EQ(response.status, c.status) << response.body;
    EXPECT_EQ(response.contentType, c.contentType);
    const json body = json::parse(response.body);
    const json::json_pointer pointer(c.pointer);
    ASSERT_TRUE(body.contains(pointer)) << response.body.substr(0, 2000);
    const json expected = json::parse(c.value, nullptr, false);
    if (expected.is_discarded()) { // a text the string must hold
        EXPECT_NE(body.at(pointer).get<std::string>().find(c.value), std::string::npos)
            << body.at(pointer);
    } else {
        EXPECT_EQ(body.at(pointer), expected);
    }
}

constexpr const char* kGeoJson = "application/geo+json";
const std::string kItems50k = "/collections/nts_50k/items";
const std::map<std::string, std::string> kVancouver = {{"bbox", "-123.4,49.3,-123.1,49.4"}};

INSTANTIATE_TEST_SUITE_P(
    Requests, Ogc,
    testing::Values(
        Case{"LandingJson", get("/", {{"f", "json"}}), 200, "/links/1/href", "\"/api\""},
        Case{"LandingForAJsonClient",
             {.method = "GET", .path = "/", .accept = "application/json"},
             200,
             "/links/3/rel",
             "\"data\""},
        Case{"Conformance", get("/conformance"), 200, "/conformsTo/2",
             "\"http://www.opengis.net/spec/ogcapi-features-1/1.0/conf/oas30\""},
        Case{"OpenApi", get("/api"), 200,
             "/paths/~1collections~1{collectionId}~1items/get/operationId", "\"getFeatures\"",
             "application/vnd.oai.openapi+json;version=3.0"},
        Case{"Collections", get("/collections"), 200, "/collections/2/id", "\"nts_50k\""},
        Case{"CollectionExtent", get("/collections/nts_1m"), 200, "/extent/spatial/bbox",
             "[[-144, 40, -48, 88]]"},
        Case{"ItemsInABox", get(kItems50k, kVancouver), 200, "/features/0/id", "\"092G06\"",
             kGeoJson},
        Case{"ItemsCarryTheCellFields", get(kItems50k, kVancouver), 200,
             "/features/0/properties/south", "49.25", kGeoJson},
        Case{"ItemsOfTheWholeGrid", get(kItems50k), 200, "/numberMatched", "27264", kGeoJson},
        Case{"ItemsDefaultLimit", get(kItems50k), 200, "/numberReturned", "100", kGeoJson},
        Case{"ItemsLastPage", get(kItems50k, {{"offset", "27200"}, {"limit", "100"}}), 200,
             "/numberReturned", "64", kGeoJson},
        Case{"ItemsPastTheEnd", get(kItems50k, {{"offset", "99999"}}), 200, "/numberReturned", "0",
             kGeoJson},
        Case{"ItemsAtTheLargestLimit", get(kItems50k, {{"limit", "10000"}}), 200, "/numberReturned",
             "10000", kGeoJson},
        Case{"LimitOverTheMost", get(kItems50k, {{"limit", "10001"}}), 400, "/error",
             "limit \"10001\" is not a whole number in [1, 10000]"},
        Case{"LimitZero", get(kItems50k, {{"limit", "0"}}), 400, "/error", "limit \"0\""},
        Case{"LimitNotANumber", get(kItems50k, {{"limit", "10x"}}), 400, "/error", "limit \"10x\""},
        Case{"OffsetNegative", get(kItems50k, {{"offset", "-1"}}), 400, "/error", "offset \"-1\""},
        Case{"ItemsSouthOfNorth", get(kItems50k, {{"bbox", "-124,50,-123,49"}}), 400, "/error",
             "south edge 50 is north of the north edge 49"},
        Case{"Item", get(kItems50k + "/92G6"), 200, "/id", "\"092G06\"", kGeoJson},
        Case{"ItemOfAnotherScale", get(kItems50k + "/092G"), 404, "/error",
             "092G is not in the collection nts_50k"},
        Case{"ItemNotAReference", get(kItems50k + "/abc"), 400, "/error",
             "reference \"abc\": expected"},
        Case{"UnknownCollection", get("/collections/nts_25k/items"), 404, "/error",
             "no collection \"nts_25k\"; expected nts_1m, nts_250k, nts_50k"},
        Case{"UnknownPathUnderACollection", get("/collections/nts_50k/nowhere"), 404, "/error",
             "no such path"},
        // Across the antimeridian, as OGC API - Features reads a west east of the east:
        // 001 and 011 east of 60° W, 111 west of 140° W.
        Case{"ItemsAcrossTheAntimeridian",
             get("/collections/nts_1m/items", {{"bbox", "-60,44,-140,45"}}), 200, "/numberMatched",
             "3", kGeoJson},
        Case{"ItemsAcrossTheAntimeridianPaged",
             get("/collections/nts_1m/items", {{"bbox", "-60,44,-140,45"}, {"offset", "2"}}), 200,
             "/features/0/id", "\"111\"", kGeoJson},
        Case{"BcgsItemsOfAllBc", get("/collections/bcgs_2500/items"), 200, "/numberMatched",
             "752512", kGeoJson},
        Case{"BcgsItemsFarIn", get("/collections/bcgs_2500/items", {{"offset", "752510"}}), 200,
             "/features/1/id", "\"114P100444\"", kGeoJson},
        Case{"BcgsItem", get("/collections/bcgs_20k/items/92G.025"), 200, "/id", "\"092G025\"",
             kGeoJson},
        // BC's PNG grid: boxes are CRS84, cells NAD27, shifted to CRS84 for their outlines.
        Case{"PngItemsInABox",
             get("/collections/png/items", {{"bbox", "-120.5697,56.9121,-120.5696,56.9122"}}), 200,
             "/features/0/id", "\"a-096-H/094-A-15\"", kGeoJson},
        Case{"PngItemsNoneInAlberta",
             get("/collections/png_unit/items", {{"bbox", "-114.2,51,-114,51.1"}}), 200,
             "/numberMatched", "0", kGeoJson},
        Case{"PngItemsPaged", get("/collections/png_block/items", {{"offset", "100"}}), 200,
             "/links/1/rel", "\"next\"", kGeoJson},
        Case{"PngItemBoundsAreNad27", get("/collections/png_unit/items/96-H/94-A-15"), 200,
             "/properties/bounds_datum", "\"NAD27\"", kGeoJson},
        Case{"PngItemOfAnotherScale", get("/collections/png_unit/items/H/94-A-15"), 404, "/error",
             "is not in the collection png_unit"},
        Case{"UnknownParameter", get(kItems50k, {{"box", "-124,49,-123,50"}}), 400, "/error",
             "unknown parameter \"box\" on /collections/nts_50k/items; expected f, bbox, limit"},
        Case{"LinksStartWithTheOrigin",
             {.method = "GET",
              .path = kItems50k,
              .query = kVancouver,
              .origin = "http://sheets.example:8080"},
             200,
             "/links/0/href",
             "\"http://sheets.example:8080/collections/nts_50k/items?bbox=-123.4,49.3,-123.1,49.4&"
             "limit=100&offset=0\"",
             kGeoJson}),
    [](const testing::TestParamInfo<Case>& row) { return std::string(row.param.name); });

// Following the next links from the first page gives every cell of the box once, in
// the order the JSON API covers it; every page but the first links back.
TEST(OgcPaging, NextLinksWalkTheWholeCover) {
    const std::string box = "-124,48.5,-121,50";
    const json whole =
        json::parse(respond(get("/api/cover", {{"bbox", box}, {"scale", "50k"}})).body);
    std::vector<std::string> expected;
    for (const json& feature : whole["features"]) {
        expected.push_back(feature["id"]);
    }
    ASSERT_GT(expected.size(), 20U);

    std::vector<std::string> walked;
    Request request = get(kItems50k, {{"bbox", box}, {"limit", "7"}});
    for (int pages = 0; pages < 100; ++pages) {
        const json page = json::parse(respond(request).body);
        for (const json& feature : page["features"]) {
            walked.push_back(feature["id"]);
        }
        std::string next;
        bool hasPrev = false;
        for (const json& link : page["links"]) {
            hasPrev = hasPrev || link["rel"] == "prev";
            if (link["rel"] == "next") {
                next = link["href"];
            }
        }
        EXPECT_EQ(hasPrev, pages > 0) << page["links"];
        if (next.empty()) {
            break;
        }
        // "/path?a=1&b=2" back into a request; bbox's commas are left as they are.
        const std::size_t question = next.find('?');
        request = get(next.substr(0, question));
        std::string_view query = std::string_view(next).substr(question + 1);
        while (!query.empty()) {
            const std::size_t amp = query.find('&');
            const std::string_view pair = query.substr(0, amp);
            const std::size_t equals = pair.find('=');
            request.query.emplace(pair.substr(0, equals), pair.substr(equals + 1));
            query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        }
    }
    EXPECT_EQ(walked, expected);
}

} // namespace
