#pragma once

#include "number_reader.h"

#include <QLocale>

#include <string>
#include <string_view>
#include <variant>

namespace sheetfind {

struct GeoPoint {
    double latitude = 0;
    double longitude = 0;

    bool operator==(const GeoPoint&) const = default;
};

// A point, or one English sentence saying which field is wrong and why.
using PointResult = std::variant<GeoPoint, std::string>;

// Reads a latitude and a longitude as a GIS user types them: decimal degrees in the
// locale, exactly as the window and the bare command line read them, or
// degrees-minutes-seconds with hemisphere letters, such as "49°15'N 123°06'W",
// "49 15 0 N, 123 6 0 W" or "N49:15 W123:6". Hemisphere letters decide which field
// is which, so "123°06'W 49°15'N" is the same point; without them the latitude
// comes first.
class PointReader {
public:
    explicit PointReader(const QLocale& locale = QLocale());

    // Two fields, separated as on a line of the bare command line: blanks, or a
    // comma where the comma is not the locale's decimal separator. A line in
    // degrees-minutes-seconds may also separate its two halves with a comma in any
    // locale, or by where its hemisphere letters fall.
    PointResult readLine(std::string_view line) const;

    // The two fields given separately, latitude first unless hemisphere letters say
    // otherwise.
    PointResult readPair(std::string_view first, std::string_view second) const;

    const QLocale& locale() const { return m_reader.locale(); }

private:
    NumberReader m_reader;
    bool m_commaSeparates;
};

} // namespace sheetfind
