#include "sheet_reference.h"

#include <string_view>

namespace sheetref {
namespace {

// The grid's origin: series columns count westward from this meridian, series rows
// northward from this parallel.
constexpr double kOriginLongitude = -48.0;
constexpr double kOriginLatitude = 40.0;

// Twelve 8° series columns reach 144° W; the high Arctic takes over at 80° N.
constexpr double kWesternLimit = -144.0;
constexpr double kNorthernLimit = 80.0;

// North of this parallel map areas and sheets are twice as wide (or more), because
// meridians converge and a 2° x 1° area would be a thin sliver.
constexpr double kArcticLatitude = 68.0;

constexpr double kSeriesWidth = 8.0;
constexpr double kSeriesHeight = 4.0;
constexpr double kAreaHeight = 1.0;
constexpr double kSheetHeight = 0.25; // 15'

// Each table is read a row at a time from the east edge westward, rows going north
// from the south edge: the numbering snakes west along the southern row, back east
// along the next one, and so on.
constexpr std::string_view kSouthernLetters = "ABCD"  // row 0: A in the south-east corner
                                              "HGFE"  // row 1: back eastward
                                              "IJKL"  // row 2
                                              "PONM"; // row 3
constexpr std::string_view kArcticLetters = "AB"
                                            "DC"
                                            "EF"
                                            "HG";
constexpr const char* kSheetNumbers[4][4] = {
    {"01", "02", "03", "04"},
    {"08", "07", "06", "05"},
    {"09", "10", "11", "12"},
    {"16", "15", "14", "13"},
};

struct Zone {
    double areaWidth;
    double sheetWidth;
    std::string_view letters;
    int areaColumns;
};

// Southern areas are 2° x 1°, 4 x 4 to a series, with sheets of 30' x 15'.
constexpr Zone kSouthernZone{2.0, 0.5, kSouthernLetters, 4};
// Arctic areas are 4° x 1°, 2 x 4 to a series, with sheets of 1° x 15'.
constexpr Zone kArcticZone{4.0, 1.0, kArcticLetters, 2};

// Splits a distance measured from a cell's east (or south) edge into the index of
// the sub-cell and the distance left inside it. The distance is never negative, so
// truncation is a floor: a point on an edge starts the next cell to the west (or
// north), which is the NTS edge rule.
int split(double& distance, double cellSize) {
    const int index = static_cast<int>(distance / cellSize);
    distance -= index * cellSize;
    return index;
}

} // namespace

std::string sheetfindGrid(double longitude, double latitude) {
    // Written so that NaN fails both tests: no integer conversion below ever sees a
    // non-finite or out-of-range value.
    if (!(kOriginLatitude <= latitude && latitude < kNorthernLimit)) {
        return {};
    }
    if (!(kWesternLimit < longitude && longitude <= kOriginLongitude)) {
        return {};
    }
    const Zone& zone = latitude < kArcticLatitude ? kSouthernZone : kArcticZone;

    // Inside the band both differences are exact (Sterbenz's lemma for the nearer
    // half, exact integer offsets for the rest), and every later step only divides
    // by powers of two and subtracts multiples of them. So a point typed exactly on
    // an edge is decided on its true position, never on a rounding error.
    double west = kOriginLongitude - longitude; // [0, 96)
    double north = latitude - kOriginLatitude;  // [0, 40)

    const int seriesColumn = split(west, kSeriesWidth); // 0..11
    const int seriesRow = split(north, kSeriesHeight);  // 0..9
    const int areaColumn = split(west, zone.areaWidth); // 0..3 or 0..1
    const int areaRow = split(north, kAreaHeight);      // 0..3
    const int sheetColumn = split(west, zone.sheetWidth);
    const int sheetRow = split(north, kSheetHeight);

    const char* sheet = kSheetNumbers[sheetRow][sheetColumn];
    const char text[] = {
        static_cast<char>('0' + seriesColumn / 10),
        static_cast<char>('0' + seriesColumn % 10),
        static_cast<char>('0' + seriesRow),
        zone.letters[areaRow * zone.areaColumns + areaColumn],
        sheet[0],
        sheet[1],
    };
    return std::string(text, sizeof text);
}

} // namespace sheetref
