// SPDX-License-Identifier: MIT
// locate and bounds on any two doubles at any scale: the cell is the one the
// independent oracle names, the point lies inside its bounds, and the cell's
// neighbours all name it back as a neighbour.

#include "fuzz_check.h"
#include "grid.h"
#include "nts_oracle.h"
#include "oracle_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    double coordinates[2];
    if (size < sizeof coordinates + 1) {
        return 0;
    }
    std::memcpy(coordinates, data, sizeof coordinates);
    const auto scale = static_cast<sheetref::Scale>(data[sizeof coordinates] % 3);
    // Raw bytes rarely land in the grid; half the time fold them into its extent.
    double longitude = coordinates[0];
    double latitude = coordinates[1];
    if (data[sizeof coordinates] & 0x80 && std::isfinite(longitude) && std::isfinite(latitude)) {
        longitude = -48.0 - std::fmod(std::fabs(longitude), 96.0);
        latitude = 40.0 + std::fmod(std::fabs(latitude), 48.0);
    }

    const auto reference = sheetref::locate({.latitude = latitude, .longitude = longitude}, scale);
    // The independent oracle reckons every point alike, exactly.
    check((reference ? reference->text() : std::string()) ==
          oracle::oracleReference(latitude, longitude, toOracle(scale)));
    if (!reference) {
        return 0;
    }
    check(reference->scale() == scale);
    const sheetref::Bounds box = sheetref::bounds(*reference);
    check(box.west < longitude && longitude <= box.east);
    check(box.south <= latitude && latitude < box.north);
    for (const sheetref::Reference& neighbour : sheetref::neighbours(*reference)) {
        const auto back = sheetref::neighbours(neighbour);
        check(std::find(back.begin(), back.end(), *reference) != back.end());
    }
    return 0;
}
