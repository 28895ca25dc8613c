// SPDX-License-Identifier: MIT
#pragma once

#include "csv_columns.h"
#include "csv_dialect.h"
#include "csv_reader.h"
#include "datum.h"
#include "output.h"
#include "point_reader.h"
#include "reference.h"
#include "table_error.h"

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sheetfind {

// The field that holds each record's cell at `scale` when one is added to a table or a
// layer: "nts_" or, for BC's sheets, "bcgs_", then the scale's short name: "nts_50k",
// "bcgs_20k"; the petroleum and natural gas grid's are "png_block", "png_unit" and "png".
std::string sheetColumnName(sheetref::Scale scale);

// The field that marks, beside `column`, the records whose cell a datum shift's error
// may have got wrong: "png_uncertain".
std::string uncertainColumnName(std::string_view column);

// What goes between the cells of one record when they are written in one field
// ("092G06,092G07"): a comma, which no reference holds and which every table tool
// splits on.
inline constexpr char kCellSeparator = ',';

// What annotate adds to a table, and how it reads the points.
struct AnnotateSettings {
    sheetref::Scale scale = sheetref::Scale::Sheet;
    std::string column;            // the added column; empty: sheetColumnName(scale)
    std::optional<char> delimiter; // nullopt: found from the header (DelimiterDetector)
    ColumnChoice choice;           // the point columns the user named, if any
    PointOptions options;          // for a point column; a latitude column is always a latitude
    NumberReader numbers;
    Datum datum = Datum::Nad83; // the points'; shifted into the grid's where they differ
    // Adds uncertainColumnName(column) after the cell: true where the shifted point lies
    // closer to a cell line than the shift's accuracy, false where not, empty without a cell.
    bool flagUncertain = false;
};

// Adds the sheet of each record of a table as a last column, fed the table's bytes in
// blocks of any size and writing each record to `out` as soon as it is read: memory
// stays flat whatever the size of the table.
//
// Every field keeps its value exactly, and is quoted only where it needs to be (a
// delimiter, a quote, CR or LF inside). The output has the input's delimiter and
// byte order mark, the line end of its header on every record, and as many records
// as the input: a blank line stays blank; a record that fails, or whose point no
// sheet covers, gets an empty cell; a short record is padded with empty fields to
// the header's width so that the sheet stays in its column; a long one keeps its
// extra fields after the sheet. Each failure goes to `report` with its row, as a
// spreadsheet numbers rows (0 for the table as a whole). After malformed quotes or a
// record too long, where a record ends is anybody's guess: the records before are
// written, and reading stops. Without a header, without point columns in it (or with
// two that could each be the latitude, or the longitude), or with a column already
// named as the one to add, nothing is written.
class CsvAnnotator {
public:
    using Report = std::function<void(std::size_t row, const RecordFailure& failure)>;

    CsvAnnotator(Output& out, AnnotateSettings settings, Report report);
    ~CsvAnnotator();
    CsvAnnotator(const CsvAnnotator&) = delete;
    CsvAnnotator& operator=(const CsvAnnotator&) = delete;

    // Reads the next bytes; false once there is no point reading more (a fault that
    // stops the table, or an output nobody reads any more).
    bool feed(std::string_view bytes);
    // After the last bytes: the last record, and a table without a header reported.
    void finish();
    // Whether finish() wrote the whole table: an output file that holds less is
    // not kept.
    bool complete() const { return m_complete; }

    // Which datum shift was used, if any, to be told once (DatumLocator::notice).
    std::string datumNotice() const { return m_locator.notice(); }

private:
    void lookForMark();
    bool start();
    bool failed();
    void record(const CsvRecord& record);
    void header(const CsvRecord& record);
    void row(const CsvRecord& record);
    DatumLocator::Located sheet(const CsvRecord& record);
    void append(std::string_view field);
    bool going() const { return !m_stopped && m_out.open(); }

    Output& m_out;
    AnnotateSettings m_settings;
    Report m_report;
    PointReader m_pointReader; // one column holding a point
    PointReader m_pairReader;  // a latitude column and a longitude column
    DatumLocator m_locator;
    // The start of the table, held until its byte order mark and delimiter are known.
    std::string m_held;
    bool m_markLookedFor = false;
    bool m_byteOrderMark = false;
    DelimiterDetector m_detector;
    char m_delimiter = ',';
    std::unique_ptr<CsvReader> m_reader;
    std::optional<PointColumns> m_columns;
    std::vector<std::string> m_names; // the header's names
    std::size_t m_width = 0;          // the header's fields
    std::size_t m_blankLines = 0;     // before the header
    std::string_view m_lineEnd;
    std::string m_quoted;
    std::array<bool, 256> m_needsQuotes{}; // by byte: the delimiter, a quote, CR, LF
    bool m_stopped = false;
    bool m_complete = false;
};

} // namespace sheetfind
