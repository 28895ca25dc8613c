// SPDX-License-Identifier: MIT
#include "cell_json.h"

#include "cell_writer.h"
#include "datum.h"
#include "grid.h"
#include "input_error.h"
#include "number_reader.h"
#include "point_reader.h"
#include "quote.h"

#include <algorithm>
#include <array>
#include <mutex>

namespace sheetfind::server {

using nlohmann::json;
using sheetref::Reference;

namespace {

using sheetref::Bounds;
using sheetref::Scale;

// The server's one shift: PROJ makes its operation once (a quarter of a second in its
// database, too long for each of the server's threads to repeat) and its objects serve
// one thread at a time, under the lock.
struct SharedShift {
    std::mutex lock;
    GridDatumShift shift; // cells drawn on the map
};

SharedShift& sharedShift() {
    static SharedShift shared;
    return shared;
}

// NAD27 and NAD83 differ by less than 200 m in BC; a box this much wider than a grid's
// extent holds every point of it in either datum.
constexpr double kDatumMarginDegrees = 0.01;

} // namespace

MapLocator& mapLocator() {
    static MapLocator shared;
    return shared;
}

FeatureResult cellFeature(const Reference& cell, Outline outline) {
    // An edge of one point is a corner.
    const auto record = gis::cellRecord(cell, outline == Outline::Corners ? 1 : 0);
    json properties = json::object();
    const auto fields = gis::cellFields();
    const auto values = gis::fieldValues(*record);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::visit([&](const auto& value) { properties[std::string(fields[i].name)] = value; },
                   values[i]);
    }
    json ring = json::array();
    const auto draw = [&ring](sheetref::LatLon point) {
        ring.push_back({point.longitude, point.latitude});
    };
    if (const Datum datum = gridDatum(cell.scale()); datum == Datum::Nad83) {
        std::ranges::for_each(record->outline, draw);
    } else {
        properties["bounds_datum"] = datumName(datum);
        SharedShift& shared = sharedShift();
        const std::lock_guard locked(shared.lock);
        for (const sheetref::LatLon& point : record->outline) {
            const auto onMap = shared.shift.toNad83(point, cell.scale());
            if (!onMap) {
                return "the outline of " + cell.text() +
                       " could not be drawn in CRS84: " + shared.shift.failure();
            }
            draw(*onMap);
        }
    }
    return json{
        {"type", "Feature"},
        {"id", record->reference},
        {"properties", std::move(properties)},
        {"geometry", {{"type", "Polygon"}, {"coordinates", json::array({std::move(ring)})}}}};
}

FeatureResult featureCollection(std::span<const Reference> cells, Outline outline) {
    json features = json::array();
    for (const Reference& cell : cells) {
        auto feature = cellFeature(cell, outline);
        if (auto* message = std::get_if<std::string>(&feature)) {
            return std::move(*message);
        }
        features.push_back(std::move(std::get<json>(feature)));
    }
    return json{{"type", "FeatureCollection"}, {"features", std::move(features)}};
}

json boundsJson(const Reference& cell) {
    const Bounds b = sheetref::bounds(cell);
    json made = {{"south", b.south}, {"west", b.west}, {"north", b.north}, {"east", b.east}};
    if (const Datum datum = gridDatum(cell.scale()); datum != Datum::Nad83) {
        made["datum"] = datumName(datum);
    }
    return made;
}

const Bounds& extentOf(Scale scale) {
    // A box past every edge of the grid: cover ignores what lies outside it.
    static constexpr Bounds kWholeWorld{.south = -90, .north = 90, .west = -180, .east = 180};
    const auto extentAt = [](Scale coarsest) {
        const auto cells = std::get<std::vector<Reference>>(sheetref::cover(kWholeWorld, coarsest));
        Bounds all = sheetref::bounds(cells.front());
        for (const Reference& each : cells) {
            const Bounds b = sheetref::bounds(each);
            all = {.south = std::min(all.south, b.south),
                   .north = std::max(all.north, b.north),
                   .west = std::min(all.west, b.west),
                   .east = std::max(all.east, b.east)};
        }
        return all;
    };
    // The coarsest cells of each grid hold the same area as its finest. The PNG grid's
    // NAD27 extent is widened to hold it in CRS84 too.
    static const Bounds nts = extentAt(Scale::Series);
    static const Bounds bcgs = extentAt(Scale::Bcgs20k);
    static const Bounds png = [&] {
        const Bounds nad27 = extentAt(Scale::PngBlock);
        return Bounds{.south = nad27.south - kDatumMarginDegrees,
                      .north = nad27.north + kDatumMarginDegrees,
                      .west = nad27.west - kDatumMarginDegrees,
                      .east = nad27.east + kDatumMarginDegrees};
    }();
    return sheetref::isPng(scale) ? png : sheetref::isBcgs(scale) ? bcgs : nts;
}

std::variant<std::optional<Bounds>, std::string> boxInGridDatum(const Bounds& box, Scale scale) {
    if (gridDatum(scale) == Datum::Nad83) {
        return std::optional(box);
    }
    // PROJ shifts NAD27 where it was used: the part of the box near the grid, if any.
    const Bounds& near = extentOf(scale);
    const Bounds part{.south = std::max(box.south, near.south),
                      .north = std::min(box.north, near.north),
                      .west = std::max(box.west, near.west),
                      .east = std::min(box.east, near.east)};
    if (!(part.south <= part.north && part.west <= part.east)) {
        return std::optional<Bounds>();
    }
    MapLocator& shared = mapLocator();
    const std::lock_guard locked(shared.lock);
    auto shifted = shared.locator.boxInGridDatum(part, scale);
    if (!shifted) {
        return "the box could not be shifted into " + std::string(datumName(gridDatum(scale))) +
               ": " + shared.locator.failure();
    }
    return shifted;
}

std::variant<sheetref::Bounds, std::string> boxOfBbox(std::string_view bbox) {
    auto boxes = boxesOfBbox(bbox, false);
    if (auto* message = std::get_if<std::string>(&boxes)) {
        return std::move(*message);
    }
    return std::get<std::vector<sheetref::Bounds>>(boxes).front();
}

std::variant<std::vector<sheetref::Bounds>, std::string> boxesOfBbox(std::string_view bbox,
                                                                     bool acrossAntimeridian) {
    // Numbers in a URL are written as URLs write them: a dot, whatever the locale of
    // the machine that serves them.
    static const NumberReader urlNumbers{NumberSymbols{}};
    std::array<double, 4> edges{};
    constexpr std::array kEdges{Field::West, Field::South, Field::East, Field::North};
    std::string_view rest = bbox;
    for (std::size_t i = 0; i < kEdges.size(); ++i) {
        const std::size_t comma = rest.find(',');
        if ((comma == std::string_view::npos) != (i + 1 == kEdges.size())) {
            return "the bbox " + sheetref::quoteText(bbox) +
                   " is not four numbers WEST,SOUTH,EAST,NORTH separated by commas";
        }
        auto edge = readEdge(urlNumbers, rest.substr(0, comma), kEdges[i]);
        if (const auto* failure = std::get_if<InputFailure>(&edge)) {
            return describe(*failure);
        }
        edges[i] = std::get<double>(edge);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    const sheetref::Bounds box{
        .south = edges[1], .north = edges[3], .west = edges[0], .east = edges[2]};
    // West of east, the box crosses the antimeridian: the two boxes either side of it.
    std::vector<sheetref::Bounds> boxes{box};
    if (acrossAntimeridian && box.east < box.west) {
        boxes = {{.south = box.south, .north = box.north, .west = box.west, .east = 180},
                 {.south = box.south, .north = box.north, .west = -180, .east = box.east}};
    }
    for (const sheetref::Bounds& each : boxes) {
        if (const auto failure = sheetref::checkBox(each)) {
            return describe(InputFailure{.error = InputError::BadBox,
                                         .field = Field::South,
                                         .text = std::string(bbox),
                                         .detail = sheetref::describe(*failure)});
        }
    }
    return boxes;
}

} // namespace sheetfind::server
