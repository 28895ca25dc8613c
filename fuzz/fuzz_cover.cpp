// SPDX-License-Identifier: MIT
// Covering a geometry given as WKT or WKB, as `cover --wkt` and the Python module take
// it: no crash, and either a failure with a message or cells in reference order,
// each once, each a cell of the scale asked for.

#include "fuzz_check.h"
#include "layer_geometry.h"
#include "reference.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace {

// Enough for a polygon with holes and a few dozen vertices; larger inputs only make
// each run slower.
constexpr std::size_t kMaxInput = 4096;

using sheetref::kScales;

const sheetfind::gis::LayerGeometry& geometryAt(sheetref::Scale scale) {
    static const std::vector<sheetfind::gis::LayerGeometry> geometries = [] {
        std::vector<sheetfind::gis::LayerGeometry> made;
        for (const sheetref::Scale each : kScales) {
            made.push_back(std::get<sheetfind::gis::LayerGeometry>(
                sheetfind::gis::LayerGeometry::from(std::string_view(), each, false)));
        }
        return made;
    }();
    return geometries[static_cast<std::size_t>(std::find(kScales.begin(), kScales.end(), scale) -
                                               kScales.begin())];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks WKT or WKB and the scale; the rest is the geometry.
    if (size == 0 || size > kMaxInput) {
        return 0;
    }
    const sheetref::Scale scale = kScales[data[0] / 2 % kScales.size()];
    const sheetfind::gis::LayerGeometry& geometry = geometryAt(scale);
    const std::span<const unsigned char> bytes(data + 1, size - 1);
    const auto cells = data[0] % 2 == 0
                           ? geometry.cellsOfWkt(std::string_view(
                                 reinterpret_cast<const char*>(bytes.data()), bytes.size()))
                           : geometry.cellsOfWkb(bytes);
    if (const auto* failure = std::get_if<sheetfind::gis::GisFailure>(&cells)) {
        check(!sheetfind::gis::describe(*failure).empty());
        return 0;
    }
    const auto& references = std::get<std::vector<sheetref::Reference>>(cells);
    check(std::adjacent_find(references.begin(), references.end(),
                             [](const auto& a, const auto& b) { return !(a < b); }) ==
          references.end());
    for (const sheetref::Reference& reference : references) {
        check(reference.scale() == scale);
    }
    return 0;
}
