// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct csv_parser;

namespace sheetfind {

// How a record of a table ended.
enum class LineEnd {
    None, // the last record of a file that does not end with a line end
    Lf,
    CrLf,
    Cr,
};

// One record of a table: its fields as the writer meant them (quotes removed,
// doubled quotes made single), and its row as a spreadsheet numbers rows, the
// first record being row 1. A blank line is a record with no fields.
struct CsvRecord {
    std::span<const std::string_view> fields;
    std::size_t row = 0;
    LineEnd end = LineEnd::None;
};

// Why reading stopped before the end of the table.
struct CsvError {
    enum class Kind {
        Quotes,  // a quote where RFC 4180 allows none, or a quoted field never closed
        TooLong, // a record past kMaxRecordBytes, most often after a quote never closed
    };
    Kind kind;
    std::size_t row = 0; // the record where it happened
    std::string detail;  // libcsv's account of it, for Quotes
};

// Reads an RFC 4180 table with libcsv, fed in blocks of any size, and hands each
// record to `handler` once its end has been read: memory stays flat whatever the
// size of the table, up to kMaxRecordBytes for one record.
//
// Unlike libcsv's defaults, a blank at either end of an unquoted field is part of
// the field (RFC 4180 has no rule that drops it), a blank line is a record (so
// rows are numbered as a spreadsheet numbers them), and CRLF is one line end. A
// quote inside an unquoted field, text after a closing quote, or a quoted field
// still open at the end stop the reading with CsvError::Kind::Quotes: after such a
// fault, where a record ends can no longer be told.
class CsvReader {
public:
    using Handler = std::function<void(const CsvRecord&)>;

    CsvReader(char delimiter, Handler handler);
    ~CsvReader();
    CsvReader(const CsvReader&) = delete;
    CsvReader& operator=(const CsvReader&) = delete;

    // Reads the next bytes of the table; false once reading stopped on an error.
    bool feed(std::string_view bytes);
    // Reads the end of the table, handing on its last record; false on an error.
    bool finish();

    const std::optional<CsvError>& error() const { return m_error; }
    // The records handed on so far, blank lines included.
    std::size_t rows() const { return m_row; }

    // A record, or a field, longer than this is not a table's (16 MiB: many WKT
    // polygons fit, a whole file after a stray quote does not).
    static constexpr std::size_t kMaxRecordBytes = std::size_t{16} << 20;

private:
    static void onField(void* data, std::size_t size, void* self);
    static void onEnd(int terminator, void* self);
    void field(std::string_view bytes);
    void end(int terminator);
    void hand(LineEnd end);
    void handPendingCr();
    bool failed(int status);

    std::unique_ptr<csv_parser> m_parser;
    Handler m_handler;
    std::string m_bytes;             // the fields of the current record, end to end
    std::vector<std::size_t> m_ends; // where each field ends in m_bytes
    std::vector<std::string_view> m_fields;
    std::size_t m_row = 0;
    // A record that ended with CR is handed on when the next byte shows whether an
    // LF completes its CRLF.
    bool m_pendingCr = false;
    bool m_tooLong = false;
    std::optional<CsvError> m_error;
};

} // namespace sheetfind
