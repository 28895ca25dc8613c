// SPDX-License-Identifier: MIT
// Two typed texts in, as the window reads them, under the C, fr_CA and de_DE
// locales. The first byte picks the locale; the rest is split at the first newline
// into the latitude and the longitude.

#include "fuzz_check.h"
#include "grid.h"
#include "nts_oracle.h"
#include "number_reader.h"
#include "point_reader.h"
#include "quote.h"
#include "sheet_reference.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

namespace {

// A text either fails with one of the two errors or reads as a finite number, and
// the byte-level path and the general one agree to the bit.
std::variant<double, sheetfind::InputError> readChecked(const sheetfind::NumberReader& reader,
                                                        std::string_view text) {
    const auto quick = reader.read(text);
    const auto general = reader.read(text, sheetfind::NumberReader::Path::General);
    check(quick.index() == general.index());
    if (const auto* value = std::get_if<double>(&quick)) {
        check(std::isfinite(*value));
        check(std::memcmp(value, &std::get<double>(general), sizeof(double)) == 0);
    } else {
        check(std::get<sheetfind::InputError>(quick) == std::get<sheetfind::InputError>(general));
    }
    return quick;
}

// A message never carries a raw control byte.
void checkPrintable(const std::string& message) {
    for (const char ch : message) {
        check(static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7F);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::array<sheetfind::NumberReader, 3> readers = {
        sheetfind::NumberReader::named("C"), sheetfind::NumberReader::named("fr_CA"),
        sheetfind::NumberReader::named("de_DE")};
    if (size == 0) {
        return 0;
    }
    const sheetfind::NumberReader& reader = readers[data[0] % readers.size()];
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t newline = rest.find('\n');
    const std::string_view latitude = rest.substr(0, newline);
    const std::string_view longitude =
        newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);

    const auto lat = readChecked(reader, latitude);
    const auto lon = readChecked(reader, longitude);
    const auto point = sheetfind::readDecimalPair(reader, latitude, longitude);
    if (const auto* failure = std::get_if<sheetfind::InputFailure>(&point)) {
        // The latitude is reported first, and the failure carries the typed text.
        const bool latitudeBad = std::holds_alternative<sheetfind::InputError>(lat);
        check(failure->field ==
              (latitudeBad ? sheetfind::Field::Latitude : sheetfind::Field::Longitude));
        check(failure->text == (latitudeBad ? latitude : longitude));
        checkPrintable(describe(*failure));
    } else {
        const sheetfind::LatLon& p = std::get<sheetfind::LatLon>(point);
        check(p.latitude == std::get<double>(lat) && p.longitude == std::get<double>(lon));
        // The window's band is the grid south of 80° N; the oracle reckons the whole
        // grid apart from the library.
        constexpr double kHighArctic = 80;
        const std::string expected =
            p.latitude < kHighArctic
                ? oracle::oracleReference(p.latitude, p.longitude, oracle::Scale::Sheet)
                : std::string();
        check(sheetref::sheetfindGrid(p.longitude, p.latitude) == expected);
        // The BCGS cells of the same point, whose edges (49.1) are not binary fractions.
        constexpr std::array kBcgs = {
            std::pair{sheetref::Scale::Bcgs20k, oracle::Scale::Bcgs20k},
            std::pair{sheetref::Scale::Bcgs10k, oracle::Scale::Bcgs10k},
            std::pair{sheetref::Scale::Bcgs5k, oracle::Scale::Bcgs5k},
            std::pair{sheetref::Scale::Bcgs2500, oracle::Scale::Bcgs2500}};
        for (const auto& [scale, oracleScale] : kBcgs) {
            const auto cell =
                sheetref::locate({.latitude = p.latitude, .longitude = p.longitude}, scale);
            check((cell ? cell->text() : std::string()) ==
                  oracle::oracleReference(p.latitude, p.longitude, oracleScale));
        }
    }
    checkPrintable(sheetfind::quoteText(rest));
    return 0;
}
