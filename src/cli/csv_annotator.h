// SPDX-License-Identifier: MIT
#pragma once

#include "csv_columns.h"
#include "csv_reader.h"
#include "point_reader.h"
#include "reference.h"
#include "session.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sheetfind::cli {

// What annotate adds to a table, and how it reads the points.
struct AnnotateSettings {
    sheetref::Scale scale = sheetref::Scale::Sheet;
    std::string column;   // the name of the added column, such as nts_50k
    ColumnChoice choice;  // the point columns the user named, if any
    PointOptions options; // for a point column; a latitude column is always a latitude
    NumberReader numbers;
};

// Writes a table's records with the sheet of each added as a last column, record by
// record, to the session's output.
//
// Every field keeps its value exactly, and is quoted only where it needs to be (a
// delimiter, a quote, CR or LF inside). The output has the input's delimiter and
// byte order mark, the line end of its header on every record, and as many records
// as the input: a blank line stays blank; a record that fails, or whose point no
// sheet covers, gets an empty cell; a short record is padded with empty fields to
// the header's width so that the sheet stays in its column; a long one keeps its
// extra fields after the sheet. Each failure is reported on standard error after
// "row N: ".
class CsvAnnotator {
public:
    CsvAnnotator(Session& session, char delimiter, bool byteOrderMark, AnnotateSettings settings);

    void record(const CsvRecord& record);
    // After the last record: reports a table without a header.
    void finish();
    // Whether more records can be written: not once the header had no point columns,
    // nor once nobody reads the output.
    bool going() const { return !m_stopped && m_session.writing(); }

private:
    void header(const CsvRecord& record);
    void row(const CsvRecord& record);
    std::optional<sheetref::Reference> sheet(const CsvRecord& record);
    void append(std::string_view field);

    Session& m_session;
    char m_delimiter;
    bool m_byteOrderMark;
    AnnotateSettings m_settings;
    PointReader m_pointReader; // one column holding a point
    PointReader m_pairReader;  // a latitude column and a longitude column
    std::optional<PointColumns> m_columns;
    std::vector<std::string> m_names; // the header's names of the point columns
    std::size_t m_width = 0;          // the header's fields
    std::size_t m_blankLines = 0;     // before the header
    std::string_view m_lineEnd;
    std::string m_quoted;
    std::array<bool, 256> m_needsQuotes{}; // by byte: the delimiter, a quote, CR, LF
    bool m_stopped = false;
};

} // namespace sheetfind::cli
