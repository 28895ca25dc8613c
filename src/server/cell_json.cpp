// SPDX-License-Identifier: MIT
#include "cell_json.h"

#include "cell_writer.h"
#include "grid.h"
#include "input_error.h"
#include "number_reader.h"
#include "point_reader.h"
#include "quote.h"

#include <array>

namespace sheetfind::server {

using nlohmann::json;
using sheetref::Reference;

json cellFeature(const Reference& cell) {
    const auto record = gis::cellRecord(cell);
    json properties = json::object();
    const auto fields = gis::cellFields();
    const auto values = gis::fieldValues(*record);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::visit([&](const auto& value) { properties[std::string(fields[i].name)] = value; },
                   values[i]);
    }
    json ring = json::array();
    for (const sheetref::LatLon& point : record->outline) {
        ring.push_back({point.longitude, point.latitude});
    }
    return {{"type", "Feature"},
            {"id", record->reference},
            {"properties", std::move(properties)},
            {"geometry", {{"type", "Polygon"}, {"coordinates", json::array({std::move(ring)})}}}};
}

json featureCollection(std::span<const Reference> cells) {
    json features = json::array();
    for (const Reference& cell : cells) {
        features.push_back(cellFeature(cell));
    }
    return {{"type", "FeatureCollection"}, {"features", std::move(features)}};
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
