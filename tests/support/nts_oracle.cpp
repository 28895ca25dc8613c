// SPDX-License-Identifier: MIT
#include "nts_oracle.h"

#include "bc_extent.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace oracle {
namespace {

// Every size below is in whole degrees or whole quarter degrees (15'), and every
// reckoning is done in integers of some unit: a nanodegree, or a quarter degree.
constexpr std::int64_t kQuartersPerDegree = 4;
constexpr std::int64_t kSouth = 40;
constexpr std::int64_t kArctic = 68;
constexpr std::int64_t kHighArctic = 80;
constexpr std::int64_t kHighArcticNorthRow = 84;
constexpr std::int64_t kNorth = 88;
constexpr std::int64_t kEast = -48;
constexpr std::int64_t kHighArcticEast = -56;
constexpr std::int64_t kSouthernExtent = 96; // 48° W to 144° W
constexpr std::int64_t kHighArcticExtent = 80;
constexpr std::int64_t kHighArcticNorthExtent = 64;
constexpr std::int64_t kSeriesWidth = 8;
constexpr std::int64_t kHighArcticSeriesWidth = 16;
constexpr std::int64_t kSeriesHeight = 4;
constexpr std::int64_t kSouthernAreaColumns = 4;
constexpr std::int64_t kArcticAreaColumns = 2;
constexpr std::int64_t kAreaRows = 4;
constexpr std::int64_t kSheetColumns = 4;
constexpr std::int64_t kSheetRows = 4;
constexpr std::int64_t kNoSeries = -1;
// Series numbers are a column and a row below 120; the high Arctic has its own.
constexpr std::int64_t kHighSeries[2][5] = {{120, 340, 560, 780, 910},
                                            {121, 341, 561, 781, kNoSeries}};
constexpr int kHighColumns = 5;
constexpr int kHighRows = 2;
constexpr std::int64_t kDecimal = 10;
constexpr std::int64_t kSouthernSeriesRows = 7;

// Letters and sheet numbers snake from the south-east corner: even rows count
// westward from the east edge, odd rows come back eastward.
std::int64_t snake(std::int64_t row, std::int64_t column, std::int64_t columns) {
    return row * columns + (row % 2 == 0 ? column : columns - 1 - column);
}

std::string threeDigits(std::int64_t n) {
    return std::string{static_cast<char>('0' + n / 100), static_cast<char>('0' + n / 10 % 10),
                       static_cast<char>('0' + n % 10)};
}

// The reference of the cell holding a point, in a unit of `unit` per degree. `north`
// is a latitude such that the cell rows hold [south, north) of it; `longitude` one
// such that cell columns hold (west, east] of it. Exact nanodegrees are both; for a
// double the floor of its latitude and the ceiling of its longitude in quarters are.
std::string referenceAt(std::int64_t latitude, std::int64_t longitude, std::int64_t unit,
                        Scale scale) {
    if (latitude < kSouth * unit || latitude >= kNorth * unit) {
        return "";
    }
    const bool high = latitude >= kHighArctic * unit;
    const bool arctic = latitude >= kArctic * unit;
    const std::int64_t east = (high ? kHighArcticEast : kEast) * unit;
    const std::int64_t extent = !high                                   ? kSouthernExtent
                                : latitude < kHighArcticNorthRow * unit ? kHighArcticExtent
                                                                        : kHighArcticNorthExtent;
    const std::int64_t west = east - longitude;
    const std::int64_t north = latitude - (high ? kHighArctic : kSouth) * unit;
    if (west < 0 || west >= extent * unit) {
        return "";
    }
    const std::int64_t seriesWidth = (high ? kHighArcticSeriesWidth : kSeriesWidth) * unit;
    const std::int64_t areaColumns = arctic ? kArcticAreaColumns : kSouthernAreaColumns;
    const std::int64_t areaWidth = seriesWidth / areaColumns;
    const std::int64_t sheetWidth = areaWidth / kSheetColumns;
    const std::int64_t column = west / seriesWidth;
    const std::int64_t row = north / (kSeriesHeight * unit);
    const std::int64_t series = high ? kHighSeries[row][column] : column * kDecimal + row;
    std::string text = threeDigits(series);
    if (scale == Scale::Series) {
        return text;
    }
    const std::int64_t areaColumn = west % seriesWidth / areaWidth;
    const std::int64_t areaRow = north % (kSeriesHeight * unit) / unit;
    text += static_cast<char>('A' + snake(areaRow, areaColumn, areaColumns));
    if (scale == Scale::MapArea) {
        return text;
    }
    const std::int64_t sheetColumn = west % areaWidth / sheetWidth;
    const std::int64_t sheetRow = north % unit / (unit / kSheetRows);
    const std::int64_t sheet = 1 + snake(sheetRow, sheetColumn, kSheetColumns);
    return text + static_cast<char>('0' + sheet / kDecimal) +
           static_cast<char>('0' + sheet % kDecimal);
}

// Where a series lies: its zone's east edge, south edge and series width in degrees,
// its column westward and its row northward, and its map-area columns.
struct SeriesPlace {
    std::int64_t zoneEast;
    std::int64_t zoneSouth;
    std::int64_t seriesWidth;
    std::int64_t column;
    std::int64_t row;
    std::int64_t areaColumns;
};

std::optional<SeriesPlace> placeOf(std::int64_t series) {
    if (0 <= series && series < 120) {
        const std::int64_t column = series / kDecimal;
        const std::int64_t row = series % kDecimal;
        const bool arctic = row >= kSouthernSeriesRows;
        return SeriesPlace{kEast,  kSouth, kSeriesWidth,
                           column, row,    arctic ? kArcticAreaColumns : kSouthernAreaColumns};
    }
    for (int row = 0; row < kHighRows; ++row) {
        for (int column = 0; column < kHighColumns; ++column) {
            if (kHighSeries[row][column] == series) {
                return SeriesPlace{kHighArcticEast, kHighArctic, kHighArcticSeriesWidth,
                                   column,          row,         kArcticAreaColumns};
            }
        }
    }
    return std::nullopt;
}

bool digit(char c) {
    return '0' <= c && c <= '9';
}

// The BCGS, in ticks of 45": 80 to the degree. A map area of BC's series is 80 ticks
// high and 160 wide; a 1:20 000 cell 8 x 16, and each cut halves both.
constexpr std::int64_t kTicks = 80;
constexpr std::int64_t kBcSeries[] = {82, 83, 92, 93, 94, 102, 103, 104, 114};

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

int cutsOf(Scale scale) {
    return scale == Scale::Bcgs20k   ? 0
           : scale == Scale::Bcgs10k ? 1
           : scale == Scale::Bcgs5k  ? 2
                                     : 3;
}

// The double a tick count of degrees reads as, from its decimal text: a tick is
// exactly 0.0125°.
double tickDegrees(std::int64_t ticks) {
    const std::int64_t magnitude = ticks < 0 ? -ticks : ticks;
    const std::string text = (ticks < 0 ? "-" : "") + std::to_string(magnitude / kTicks) + "." +
                             std::to_string(10000 + magnitude % kTicks * 125).substr(1);
    return std::strtod(text.c_str(), nullptr);
}

bool inBc(std::int64_t series) {
    for (const std::int64_t each : kBcSeries) {
        if (each == series) {
            return true;
        }
    }
    return false;
}

// Whether BC drew 1:20 000 cell `number` of map area `area` ("082O"): the generated
// table of which cells lie in BC is data, read here bit by bit.
bool drawnByBc(const std::string& area, std::int64_t number) {
    const std::int64_t series = std::stoll(area.substr(0, 3));
    std::size_t index = 0;
    while (kBcSeries[index] != series) {
        ++index;
    }
    const auto bits =
        sheetref::layout::kBcExtent[index * 16 + static_cast<std::size_t>(area[3] - 'A')];
    const auto bit = static_cast<std::size_t>(number - 1);
    return (bits[bit / 64] >> (bit % 64) & 1U) != 0;
}

// The BCGS reference of the tick cell that holds a point: its latitude lies in tick row
// [row, row + 1) and its longitude in tick column (column - 1, column].
std::string bcgsAt(std::int64_t row, std::int64_t column, Scale scale) {
    const std::string area = referenceAt(row, column, kTicks, Scale::MapArea);
    if (area.empty() || !inBc(std::stoll(area.substr(0, 3)))) {
        return "";
    }
    // Map areas of BC's series start on whole degrees of latitude and even degrees of
    // longitude.
    const std::int64_t north = row - floorDiv(row, kTicks) * kTicks; // 0 to 79
    const std::int64_t east = column - 1 - floorDiv(column - 1, 2 * kTicks) * 2 * kTicks;
    const std::int64_t eighthRow = north;       // 1:2 500 rows, 0 to 79
    const std::int64_t eighthColumn = east / 2; // 1:2 500 columns, 0 to 79
    const std::int64_t number = eighthRow / 8 * 10 + eighthColumn / 8 + 1;
    if (!drawnByBc(area, number)) {
        return "";
    }
    std::string text = area + threeDigits(number);
    for (int cut = 0; cut < cutsOf(scale); ++cut) {
        const std::int64_t northHalf = eighthRow >> (2 - cut) & 1;
        const std::int64_t eastHalf = eighthColumn >> (2 - cut) & 1;
        text += static_cast<char>('1' + eastHalf + 2 * northHalf);
    }
    return text;
}

bool isBcgs(Scale scale) {
    return scale != Scale::Series && scale != Scale::MapArea && scale != Scale::Sheet;
}

} // namespace

std::string referenceByIntegers(std::int64_t latitudeNano, std::int64_t longitudeNano,
                                Scale scale) {
    // Far outside the grid, and kept away from overflow in the differences.
    constexpr std::int64_t kFar = 1000 * kNano;
    if (!(-kFar < latitudeNano && latitudeNano < kFar && -kFar < longitudeNano &&
          longitudeNano < kFar)) {
        return "";
    }
    if (isBcgs(scale)) {
        // A tick is 12 500 000 nanodegrees.
        const std::int64_t tick = kNano / kTicks;
        return bcgsAt(floorDiv(latitudeNano, tick), -floorDiv(-longitudeNano, tick), scale);
    }
    return referenceAt(latitudeNano, longitudeNano, kNano, scale);
}

std::string oracleReference(double latitude, double longitude, Scale scale) {
    // Every lattice line is a whole number of quarter degrees, and four times a double
    // is exact, so the floor and the ceiling below place the point on its true value.
    constexpr double kFar = 1000;
    if (!(-kFar < latitude && latitude < kFar && -kFar < longitude && longitude < kFar)) {
        return "";
    }
    if (isBcgs(scale)) {
        // 80 times a double below 1000 needs at most 60 bits: exact in the 64 bits of a
        // long double. An edge's double can lie a hair off its tick line; a point that is
        // that double still lies on the edge.
        static_assert(std::numeric_limits<long double>::digits >= 64);
        auto row =
            static_cast<std::int64_t>(std::floor(kTicks * static_cast<long double>(latitude)));
        auto column =
            static_cast<std::int64_t>(std::ceil(kTicks * static_cast<long double>(longitude)));
        if (tickDegrees(row + 1) == latitude) {
            ++row;
        }
        if (tickDegrees(column - 1) == longitude) {
            --column;
        }
        return bcgsAt(row, column, scale);
    }
    const auto row = static_cast<std::int64_t>(std::floor(kQuartersPerDegree * latitude));
    const auto column = static_cast<std::int64_t>(std::ceil(kQuartersPerDegree * longitude));
    return referenceAt(row, column, kQuartersPerDegree, scale);
}

std::string pngReference(double latitude, double longitude, PngLevel level) {
    constexpr long double kRowTicks = 240;    // 15" of latitude
    constexpr long double kColumnTicks = 160; // 22.5" of longitude
    constexpr double kFar = 1000;
    if (!(-kFar < latitude && latitude < kFar && -kFar < longitude && longitude < kFar)) {
        return "";
    }
    // Exact in a long double, as for the BCGS; a point that is an edge's double lies on
    // that edge.
    auto row = static_cast<std::int64_t>(std::floor(kRowTicks * latitude));
    auto column = static_cast<std::int64_t>(std::ceil(kColumnTicks * longitude));
    if (static_cast<double>(row + 1) / 240.0 == latitude) {
        ++row;
    }
    if (static_cast<double>(column - 1) / 160.0 == longitude) {
        --column;
    }
    // The 1:50 000 sheet: 60 ticks high, 80 wide; the quarter-degree lattice of the NTS.
    const std::string sheet =
        referenceAt(floorDiv(row, 60), -floorDiv(-column, 40), kQuartersPerDegree, Scale::Sheet);
    if (sheet.empty() || !inBc(std::stoll(sheet.substr(0, 3)))) {
        return "";
    }
    const std::int64_t north = row - floorDiv(row, 60) * 60;              // 0 to 59
    const std::int64_t east = column - 1 - floorDiv(column - 1, 80) * 80; // 0 to 79
    // Blocks snake from the south-east corner, 4 to a row; units run westward in every
    // row from the east; quarter units go a south-east, b south-west, c north-west, d
    // north-east.
    const std::int64_t blockRow = north / 20;
    const std::int64_t blockColumn = east / 20;
    const std::int64_t blockIndex =
        blockRow * 4 + (blockRow % 2 == 0 ? 3 - blockColumn : blockColumn);
    const auto block = static_cast<char>('A' + blockIndex);
    const std::int64_t sheetNumber = std::stoll(sheet.substr(4));
    std::size_t index = 0;
    while (kBcSeries[index] != std::stoll(sheet.substr(0, 3))) {
        ++index;
    }
    const auto bits =
        sheetref::layout::kPngBlocksInBc[index * 16 + static_cast<std::size_t>(sheet[3] - 'A')];
    const auto bit = static_cast<std::size_t>((sheetNumber - 1) * 12 + blockIndex);
    if ((bits[bit / 64] >> (bit % 64) & 1U) == 0) {
        return "";
    }
    const std::string where =
        std::string(1, block) + "/" + sheet.substr(0, 3) + "-" + sheet[3] + "-" + sheet.substr(4);
    if (level == PngLevel::Block) {
        return where;
    }
    const std::int64_t unit = north % 20 / 2 * 10 + (9 - east % 20 / 2) + 1;
    const std::string unitText = threeDigits(unit) + "-" + where;
    if (level == PngLevel::Unit) {
        return unitText;
    }
    const bool northHalf = north % 2 == 1;
    const bool eastHalf = east % 2 == 1;
    const char quarter = northHalf ? (eastHalf ? 'd' : 'c') : (eastHalf ? 'a' : 'b');
    return std::string(1, quarter) + "-" + unitText;
}

double fromNano(std::int64_t nano) {
    const std::int64_t magnitude = nano < 0 ? -nano : nano;
    const std::string text = (nano < 0 ? "-" : "") + std::to_string(magnitude / kNano) + "." +
                             std::to_string(kNano + magnitude % kNano).substr(1);
    return std::strtod(text.c_str(), nullptr);
}

std::optional<Extent> oracleBounds(std::string_view reference) {
    const std::size_t length = reference.size();
    if (7 <= length && length <= 10) {
        const std::optional<Extent> area = oracleBounds(reference.substr(0, 4));
        if (!area || !inBc(std::stoll(std::string(reference.substr(0, 3))))) {
            return std::nullopt;
        }
        for (std::size_t i = 4; i < length; ++i) {
            if (!digit(reference[i]) || (i >= 7 && !('1' <= reference[i] && reference[i] <= '4'))) {
                return std::nullopt;
            }
        }
        const std::int64_t number = std::stoll(std::string(reference.substr(4, 3)));
        if (!(1 <= number && number <= 100)) {
            return std::nullopt;
        }
        // In 1:2 500 rows and columns from the map area's south-west corner.
        std::int64_t row = (number - 1) / 10 * 8;
        std::int64_t column = (number - 1) % 10 * 8;
        std::int64_t size = 8;
        for (std::size_t i = 7; i < length; ++i) {
            const int quarter = reference[i] - '1';
            size /= 2;
            row += quarter / 2 * size;
            column += quarter % 2 * size;
        }
        // Map-area edges are whole degrees, exact in a double.
        const auto south = static_cast<std::int64_t>(area->south) * kTicks + row;
        const auto west = static_cast<std::int64_t>(area->west) * kTicks + 2 * column;
        return Extent{tickDegrees(south), tickDegrees(south + size), tickDegrees(west),
                      tickDegrees(west + 2 * size)};
    }
    if (!(length == 3 || length == 4 || length == 6) || !digit(reference[0]) ||
        !digit(reference[1]) || !digit(reference[2])) {
        return std::nullopt;
    }
    const std::int64_t series = (reference[0] - '0') * kDecimal * kDecimal +
                                (reference[1] - '0') * kDecimal + (reference[2] - '0');
    const std::optional<SeriesPlace> place = placeOf(series);
    if (!place) {
        return std::nullopt;
    }
    // Worked in quarter degrees from the zone's south-east corner.
    const std::int64_t q = kQuartersPerDegree;
    std::int64_t width = place->seriesWidth * q;
    std::int64_t height = kSeriesHeight * q;
    std::int64_t west = place->column * width; // distance of the east edge west of the zone's
    std::int64_t north = place->row * height;  // and of the south edge north of the zone's
    // Steps into the cell with the given zig-zag index among columns x rows, or fails.
    const auto descend = [&](std::int64_t index, std::int64_t columns, std::int64_t rows) {
        if (!(0 <= index && index < columns * rows)) {
            return false;
        }
        const std::int64_t row = index / columns;
        const std::int64_t inRow = index % columns;
        width /= columns;
        height /= rows;
        west += (row % 2 == 0 ? inRow : columns - 1 - inRow) * width;
        north += row * height;
        return true;
    };
    if (length >= 4 && !descend(reference[3] - 'A', place->areaColumns, kAreaRows)) {
        return std::nullopt;
    }
    if (length == 6 && (!digit(reference[4]) || !digit(reference[5]) ||
                        !descend((reference[4] - '0') * kDecimal + (reference[5] - '0') - 1,
                                 kSheetColumns, kSheetRows))) {
        return std::nullopt;
    }
    const std::int64_t east = place->zoneEast * q - west;
    const std::int64_t south = place->zoneSouth * q + north;
    const auto degrees = [](std::int64_t quarters) {
        return static_cast<double>(quarters) / kQuartersPerDegree;
    };
    return Extent{degrees(south), degrees(south + height), degrees(east - width), degrees(east)};
}

} // namespace oracle
