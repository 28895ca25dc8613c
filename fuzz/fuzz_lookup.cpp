// Two typed texts in, under the C, fr_CA and de_DE locales. The first byte picks the
// locale; the rest is split at the first newline into the latitude and longitude.

#include "fuzz_check.h"
#include "lookup_command.h"
#include "number_reader.h"
#include "sheet_reference.h"

#include <QString>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

// A text either fails with one of the two errors or reads as a finite number, and
// the quick and general conversions agree to the bit.
std::variant<double, sheetfind::ConversionError> readChecked(const sheetfind::NumberReader& reader,
                                                             QStringView text) {
    const auto quick = reader.read(text);
    const auto general = reader.read(text, sheetfind::NumberReader::Path::General);
    check(quick.index() == general.index());
    if (const auto* value = std::get_if<double>(&quick)) {
        check(std::isfinite(*value));
        check(std::memcmp(value, &std::get<double>(general), sizeof(double)) == 0);
    }
    return quick;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::array<sheetfind::LookupCommand, 3> commands = {
        sheetfind::LookupCommand(QLocale::c()), sheetfind::LookupCommand(QLocale("fr_CA")),
        sheetfind::LookupCommand(QLocale("de_DE"))};
    static const std::array<sheetfind::NumberReader, 3> readers = {
        sheetfind::NumberReader(QLocale::c()), sheetfind::NumberReader(QLocale("fr_CA")),
        sheetfind::NumberReader(QLocale("de_DE"))};
    if (size == 0) {
        return 0;
    }
    const std::size_t which = data[0] % commands.size();
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t newline = rest.find('\n');
    const QString latitude = QString::fromUtf8(rest.substr(0, newline));
    const QString longitude = QString::fromUtf8(
        newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1));

    const auto lat = readChecked(readers[which], latitude);
    const auto lon = readChecked(readers[which], longitude);
    const auto result = commands[which].run(latitude, longitude);
    if (const auto* failure = std::get_if<sheetfind::LookupFailure>(&result)) {
        // The latitude is reported first, and the failure carries the typed text.
        const bool latitudeBad = std::holds_alternative<sheetfind::ConversionError>(lat);
        check(failure->box == (latitudeBad ? sheetfind::Box::Latitude : sheetfind::Box::Longitude));
        check(failure->text == (latitudeBad ? latitude : longitude));
        check(!sheetfind::describe(*failure, commands[which].locale()).isEmpty());
    } else {
        const std::string expected =
            sheetref::sheetfindGrid(std::get<double>(lon), std::get<double>(lat));
        check(std::get<QString>(result) == QString::fromStdString(expected));
        check(expected.empty() || expected.size() == 6);
    }
    return 0;
}
