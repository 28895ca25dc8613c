// SPDX-License-Identifier: MIT
// The floor for sheetfind-cli's batch path: the least a program can do for the same
// job. It reads standard input through one buffer, reads each line's latitude and
// longitude with std::from_chars, works out the 1:50 000 sheet with the NTS arithmetic
// written out here, and gathers the answers in one buffer that is written when full.
// bench/report checks that its output is byte for byte that of `sheetfind-cli` on the
// benchmark file, and sets the CLI's time against it.
//
// It is a yardstick, not a tool: it does not link the grid library, it answers only
// the southern and Arctic zones (latitude [40, 80), longitude (-144, -48], an empty
// line elsewhere, as the bare form does), it has no locale, and a line it cannot
// read as two plain numbers gets "?" so that a mismatch shows in the comparison.

#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <vector>

#include <unistd.h>

namespace {

// The NTS grid: series columns count westward from 48° W, rows northward from 40° N.
constexpr double kEast = -48.0;
constexpr double kWest = -144.0;
constexpr double kSouth = 40.0;
constexpr double kArcticSouth = 68.0;
constexpr double kNorth = 80.0;
constexpr double kSheetsPerDegreeUp = 4; // sheets are 15' high
constexpr unsigned kSheetsPerSide = 4;   // of a map area, either way
constexpr unsigned kSheetsUpSeries = 16; // four map areas of four sheets
constexpr unsigned kSeriesDigitBase = 10;
constexpr unsigned kDecimal = 10;

// A zone's sizes, as shifts and masks where they divide: the southern zone has
// sheets of 30' across, four map areas to a series row; the Arctic zone sheets of 1°,
// two map areas. Map areas are lettered in a zig-zag from the south-east corner: west
// along even rows, back east along odd ones.
struct Zone {
    double south;
    double sheetsPerDegreeAcross;
    unsigned areaColumnsShift; // log2 of the map areas across a series
    unsigned firstSeriesRow;
    const char* letters; // by map area row, then column from the east
};
constexpr Zone kZones[2] = {
    {kSouth, 2, 2, 0,
     "ABCD"
     "HGFE"
     "IJKL"
     "PONM"},
    {kArcticSouth, 1, 1, 7,
     "AB"
     "DC"
     "EF"
     "HG"},
};
// Sheets in the same zig-zag, by row, then column from the east.
constexpr char kSheetNumbers[kSheetsPerSide][kSheetsPerSide] = {
    {1, 2, 3, 4},
    {8, 7, 6, 5},
    {9, 10, 11, 12},
    {16, 15, 14, 13},
};

// The input is read a block at a time; the answers are written once a block of them
// is gathered. An answer is at most seven bytes, "092G06" and its newline.
constexpr std::size_t kReadSize = 1 << 20;
constexpr std::size_t kWriteSize = 1 << 20;
constexpr std::size_t kLongestAnswer = 8;

char* writeSheet(char* out, double latitude, double longitude) {
    // A cell owns its east and south edges: truncating the distance from the east
    // and south edges puts a point on an edge in the cell west or north of it.
    if (!(kSouth <= latitude && latitude < kNorth) || !(kWest < longitude && longitude <= kEast)) {
        *out = '\n';
        return out + 1;
    }
    // The zone from a table rather than a branch: which one a point is in is as hard to
    // foresee as the points.
    const Zone& zone = kZones[latitude >= kArcticSouth ? 1 : 0];
    // Distances in sheets, exact: the sizes are powers of two.
    const auto column = static_cast<unsigned>((kEast - longitude) * zone.sheetsPerDegreeAcross);
    const auto row = static_cast<unsigned>((latitude - zone.south) * kSheetsPerDegreeUp);
    const unsigned areaColumns = 1U << zone.areaColumnsShift;
    const unsigned areaColumn = column / kSheetsPerSide;
    const unsigned areaRow = row / kSheetsPerSide;
    const unsigned series = (areaColumn >> zone.areaColumnsShift) * kSeriesDigitBase +
                            row / kSheetsUpSeries + zone.firstSeriesRow;
    const int sheet = kSheetNumbers[row % kSheetsPerSide][column % kSheetsPerSide];
    // Gathered and stored at once, the way a program would, rather than byte by byte.
    const char text[kLongestAnswer] = {
        static_cast<char>('0' + series / (kDecimal * kDecimal)),
        static_cast<char>('0' + series / kDecimal % kDecimal),
        static_cast<char>('0' + series % kDecimal),
        zone.letters[areaRow % kSheetsPerSide * areaColumns + (areaColumn & (areaColumns - 1))],
        static_cast<char>('0' + sheet / kDecimal),
        static_cast<char>('0' + sheet % kDecimal),
        '\n',
    };
    std::memcpy(out, text, sizeof text);
    return out + 7;
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

char* answerLine(char* out, const char* at, const char* end) {
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
            return writeSheet(out, latitude, longitude);
        }
    }
    std::memcpy(out, "?\n", 2);
    return out + 2;
}

bool writeAll(const char* data, std::size_t size) {
    while (size != 0) {
        const ssize_t wrote = ::write(1, data, size);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return true;
}

} // namespace

// Answers every line of standard input; the exit status. Not in main() nor in the
// anonymous namespace: GCC compiles what only main() runs as code run once, and
// divides by constants there with the divide instruction.
int answerAll();
int answerAll() {
    // The input buffer holds a block and the start of the line that the block cut.
    std::vector<char> input(kReadSize);
    std::vector<char> output(kWriteSize + kLongestAnswer);
    char* out = output.data();
    std::size_t kept = 0; // bytes of a cut line at the start of the buffer
    for (bool end = false; !end;) {
        if (kept == input.size()) {
            input.resize(2 * input.size()); // a line longer than the buffer
        }
        const ssize_t got = ::read(0, input.data() + kept, input.size() - kept);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return 2;
        }
        end = got == 0;
        const char* at = input.data();
        const char* const last = at + kept + static_cast<std::size_t>(got);
        for (;;) {
            const char* newline = static_cast<const char*>(
                std::memchr(at, '\n', static_cast<std::size_t>(last - at)));
            if (newline == nullptr) {
                if (!end || at == last) {
                    break;
                }
                newline = last; // the last line, without a newline
            }
            out = answerLine(out, at, newline);
            at = newline == last ? last : newline + 1;
            if (out >= output.data() + kWriteSize) {
                if (!writeAll(output.data(), static_cast<std::size_t>(out - output.data()))) {
                    return 2;
                }
                out = output.data();
            }
        }
        kept = static_cast<std::size_t>(last - at);
        std::memmove(input.data(), at, kept);
    }
    return writeAll(output.data(), static_cast<std::size_t>(out - output.data())) ? 0 : 2;
}

int main() {
    return answerAll();
}
