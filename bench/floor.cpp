// SPDX-License-Identifier: MIT
// The floor for sheetfind-cli's batch path: the least a program can do for the same
// job. It reads all of standard input into one buffer, reads each line's latitude and
// longitude with std::from_chars, works out the 1:50 000 sheet with the NTS arithmetic
// written out here, and writes all the answers with one write. bench/report checks
// that its output is byte for byte that of `sheetfind-cli` on the benchmark file,
// and sets the CLI's time against it.
//
// It is a yardstick, not a tool: it does not link the grid library, it answers only
// the southern and Arctic zones (latitude [40, 80), longitude (-144, -48], an empty
// line elsewhere, as the bare form does), it has no locale, and a line it cannot
// read as two plain numbers gets "?" so that a mismatch shows in the comparison.

#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The NTS grid: series columns count westward from 48° W, rows northward from 40° N.
constexpr double kEast = -48.0;
constexpr double kWest = -144.0;
constexpr double kSouth = 40.0;
constexpr double kArcticSouth = 68.0;
constexpr double kNorth = 80.0;
constexpr double kSheetHeight = 0.25; // 15'
constexpr double kSouthernSheetWidth = 0.5;
constexpr double kArcticSheetWidth = 1.0;
// Sheets per map area along each side, map areas per series along a column.
constexpr int kSheetsPerSide = 4;
constexpr int kAreaRows = 4;
constexpr int kSouthernAreaColumns = 4;
constexpr int kArcticAreaColumns = 2;
constexpr int kArcticFirstSeriesRow = 7;
constexpr int kSeriesDigitBase = 10;
constexpr int kDecimal = 10;
constexpr std::size_t kReadSize = 1 << 20;

// Cells are numbered in a zig-zag from the south-east corner: west along even rows,
// back east along odd ones.
int zigZag(int row, int column, int columns) {
    return row * columns + (row % 2 == 0 ? column : columns - 1 - column);
}

void appendSheet(std::string& out, double latitude, double longitude) {
    // A cell owns its east and south edges: truncating the distance from the east
    // and south edges puts a point on an edge in the cell west or north of it.
    if (!(kSouth <= latitude && latitude < kNorth) || !(kWest < longitude && longitude <= kEast)) {
        out += '\n';
        return;
    }
    const bool arctic = latitude >= kArcticSouth;
    const double sheetWidth = arctic ? kArcticSheetWidth : kSouthernSheetWidth;
    const int areaColumns = arctic ? kArcticAreaColumns : kSouthernAreaColumns;
    // Distances in sheets, exact: the sizes are powers of two.
    const int column = static_cast<int>((kEast - longitude) / sheetWidth);
    const int row = static_cast<int>((latitude - (arctic ? kArcticSouth : kSouth)) / kSheetHeight);
    const int sheetsPerSeriesColumn = kSheetsPerSide * areaColumns;
    const int sheetsPerSeriesRow = kSheetsPerSide * kAreaRows;
    const int series = column / sheetsPerSeriesColumn * kSeriesDigitBase +
                       row / sheetsPerSeriesRow + (arctic ? kArcticFirstSeriesRow : 0);
    const int areaColumn = column / kSheetsPerSide % areaColumns;
    const int areaRow = row / kSheetsPerSide % kAreaRows;
    const int sheet = zigZag(row % kSheetsPerSide, column % kSheetsPerSide, kSheetsPerSide) + 1;
    const char text[] = {
        static_cast<char>('0' + series / (kDecimal * kDecimal)),
        static_cast<char>('0' + series / kDecimal % kDecimal),
        static_cast<char>('0' + series % kDecimal),
        static_cast<char>('A' + zigZag(areaRow, areaColumn, areaColumns)),
        static_cast<char>('0' + sheet / kDecimal),
        static_cast<char>('0' + sheet % kDecimal),
        '\n',
    };
    out.append(text, sizeof text);
}

bool isBlank(char ch) {
    return ch == ' ' || ch == '\t';
}

const char* skipBlanks(const char* at, const char* end) {
    while (at != end && isBlank(*at)) {
        ++at;
    }
    return at;
}

void answerLine(std::string& out, const char* at, const char* end) {
    if (at != end && end[-1] == '\r') {
        --end;
    }
    double latitude = 0;
    double longitude = 0;
    at = skipBlanks(at, end);
    auto result = std::from_chars(at, end, latitude);
    if (result.ec == std::errc() && result.ptr != end && isBlank(*result.ptr)) {
        at = skipBlanks(result.ptr, end);
        result = std::from_chars(at, end, longitude);
        if (result.ec == std::errc() && skipBlanks(result.ptr, end) == end) {
            appendSheet(out, latitude, longitude);
            return;
        }
    }
    out += "?\n";
}

// All of standard input in one buffer, sized from the file when it is one so that
// it is never copied as it grows, and left uninitialised since the read fills it.
bool readAll(std::unique_ptr<char[]>& buffer, std::size_t& size) {
    struct stat info {};
    std::size_t capacity = kReadSize;
    if (::fstat(0, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        capacity = static_cast<std::size_t>(info.st_size) + 1;
    }
    buffer.reset(new char[capacity]);
    size = 0;
    for (;;) {
        if (size == capacity) {
            capacity *= 2;
            std::unique_ptr<char[]> larger(new char[capacity]);
            std::memcpy(larger.get(), buffer.get(), size);
            buffer = std::move(larger);
        }
        const ssize_t got = ::read(0, buffer.get() + size, capacity - size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        size += static_cast<std::size_t>(got);
    }
}

} // namespace

int main() {
    std::unique_ptr<char[]> input;
    std::size_t size = 0;
    if (!readAll(input, size)) {
        return 2;
    }

    std::string out;
    // Seven bytes answer a typical line of about twenty.
    out.reserve(size / 2);
    const char* at = input.get();
    const char* const end = at + size;
    while (at != end) {
        const char* newline = static_cast<const char*>(std::memchr(at, '\n', end - at));
        const char* lineEnd = newline == nullptr ? end : newline;
        answerLine(out, at, lineEnd);
        at = newline == nullptr ? end : newline + 1;
    }

    for (std::string_view rest = out; !rest.empty();) {
        const ssize_t wrote = ::write(1, rest.data(), rest.size());
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return 2;
        }
        rest.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return 0;
}
