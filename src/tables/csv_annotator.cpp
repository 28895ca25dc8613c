// SPDX-License-Identifier: MIT
#include "csv_annotator.h"

#include "grid.h"
#include "line_reader.h"

#include <csv.h>

#include <algorithm>

namespace sheetfind {
namespace {

std::string_view lineEndText(LineEnd end) {
    switch (end) {
    case LineEnd::CrLf:
        return "\r\n";
    case LineEnd::Cr:
        return "\r";
    case LineEnd::Lf:
    case LineEnd::None: // a header that ends the file: its table gets the usual end
        break;
    }
    return "\n";
}

} // namespace

std::string sheetColumnName(sheetref::Scale scale) {
    if (sheetref::isPng(scale)) {
        // png, png_unit, png_block
        std::string name(sheetref::scaleShortName(scale));
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    }
    return (sheetref::isBcgs(scale) ? "bcgs_" : "nts_") +
           std::string(sheetref::scaleShortName(scale));
}

std::string uncertainColumnName(std::string_view column) {
    return std::string(column) + "_uncertain";
}

CsvAnnotator::CsvAnnotator(Output& out, AnnotateSettings settings, Report report)
    : m_out(out), m_settings(std::move(settings)), m_report(std::move(report)),
      m_pointReader(m_settings.numbers, m_settings.options),
      // Columns named lat and lon say which is which: a longitude-first order is for
      // the order within one text, and a hemisphere letter cannot swap them.
      m_pairReader(m_settings.numbers,
                   PointOptions{.notation = m_settings.options.notation, .namedFields = true}),
      m_locator(m_settings.datum) {
    if (m_settings.column.empty()) {
        m_settings.column = sheetColumnName(m_settings.scale);
    }
}

CsvAnnotator::~CsvAnnotator() = default;

bool CsvAnnotator::feed(std::string_view bytes) {
    if (m_reader) {
        return m_reader->feed(bytes) ? going() : failed();
    }
    m_held += bytes;
    if (!m_markLookedFor) {
        if (m_held.size() < kByteOrderMark.size()) {
            return true;
        }
        lookForMark();
        bytes = m_held;
    }
    if (!m_settings.delimiter && !m_detector.feed(bytes)) {
        return true;
    }
    return start();
}

void CsvAnnotator::finish() {
    if (!m_reader) {
        if (!m_markLookedFor) {
            lookForMark();
            m_detector.feed(m_held);
        }
        m_detector.finish();
        if (!start()) {
            return;
        }
    }
    if (!m_reader->finish()) {
        failed();
        return;
    }
    if (!m_columns && !m_stopped) {
        m_report(0, TableFailure{.error = TableError::EmptyTable});
    }
    m_complete = m_columns && !m_stopped;
}

void CsvAnnotator::lookForMark() {
    m_markLookedFor = true;
    m_byteOrderMark = std::string_view(m_held).starts_with(kByteOrderMark);
    if (m_byteOrderMark) {
        m_held.erase(0, kByteOrderMark.size());
    }
}

// The delimiter is known: what was held to find it is read as the table's start.
bool CsvAnnotator::start() {
    m_delimiter = m_settings.delimiter ? *m_settings.delimiter
                                       : m_detector.delimiter().value_or(kDelimiters.front());
    for (const char ch : {m_delimiter, '"', '\r', '\n'}) {
        m_needsQuotes[static_cast<unsigned char>(ch)] = true;
    }
    m_reader =
        std::make_unique<CsvReader>(m_delimiter, [this](const CsvRecord& each) { record(each); });
    const std::string held = std::move(m_held);
    return m_reader->feed(held) ? going() : failed();
}

bool CsvAnnotator::failed() {
    // A table refused at its header has nothing more to report, wherever its bytes
    // were cut into blocks.
    if (m_stopped) {
        return false;
    }
    const CsvError& error = *m_reader->error();
    const bool quotes = error.kind == CsvError::Kind::Quotes;
    m_report(error.row,
             TableFailure{.error = quotes ? TableError::MalformedQuotes : TableError::RecordTooLong,
                          .detail = error.detail,
                          .count = quotes ? 0 : CsvReader::kMaxRecordBytes});
    return false;
}

void CsvAnnotator::record(const CsvRecord& record) {
    if (m_stopped) {
        return;
    }
    if (!m_columns && record.fields.empty()) {
        ++m_blankLines;
        return;
    }
    if (!m_columns) {
        header(record);
    } else {
        row(record);
    }
    m_out.flushIfFull();
}

void CsvAnnotator::append(std::string_view field) {
    Output& out = m_out;
    if (std::none_of(field.begin(), field.end(),
                     [this](char ch) { return m_needsQuotes[static_cast<unsigned char>(ch)]; })) {
        out.append(field);
        return;
    }
    // libcsv writes the quotes and doubles the quotes inside.
    m_quoted.resize(csv_write2(nullptr, 0, field.data(), field.size(), '"'));
    csv_write2(m_quoted.data(), m_quoted.size(), field.data(), field.size(), '"');
    out.append(m_quoted);
}

void CsvAnnotator::header(const CsvRecord& record) {
    auto columns = findPointColumns(record.fields, m_settings.choice);
    std::optional<TableFailure> failure = checkNewColumn(record.fields, m_settings.column);
    if (!failure && m_settings.flagUncertain) {
        failure = checkNewColumn(record.fields, uncertainColumnName(m_settings.column));
    }
    if (auto* unread = std::get_if<TableFailure>(&columns)) {
        failure = std::move(*unread);
    }
    if (failure) {
        // Without its points, or without a column of its own for the sheet, a table
        // cannot be annotated: nothing is written.
        m_report(0, *failure);
        m_stopped = true;
        return;
    }
    m_columns = std::get<PointColumns>(columns);
    m_width = record.fields.size();
    m_lineEnd = lineEndText(record.end);
    Output& out = m_out;
    if (m_byteOrderMark) {
        out.append(kByteOrderMark);
    }
    for (; m_blankLines > 0; --m_blankLines) {
        out.append(m_lineEnd);
    }
    for (std::size_t i = 0; i < record.fields.size(); ++i) {
        if (i > 0) {
            out.append(m_delimiter);
        }
        append(record.fields[i]);
    }
    for (const std::string_view name : record.fields) {
        m_names.emplace_back(name);
    }
    out.append(m_delimiter);
    append(m_settings.column);
    if (m_settings.flagUncertain) {
        out.append(m_delimiter);
        append(uncertainColumnName(m_settings.column));
    }
    out.append(m_lineEnd);
}

DatumLocator::Located CsvAnnotator::sheet(const CsvRecord& record) {
    const auto& fields = record.fields;
    const auto missing = [&](std::size_t column, Field field) {
        m_report(record.row, TableFailure{.error = TableError::MissingField,
                                          .field = field,
                                          .text = m_names[column],
                                          .count = fields.size()});
    };
    PointResult point;
    if (const auto* pair = std::get_if<PointColumns::Pair>(&m_columns->where)) {
        if (pair->latitude >= fields.size()) {
            missing(pair->latitude, Field::Latitude);
            return {};
        }
        if (pair->longitude >= fields.size()) {
            missing(pair->longitude, Field::Longitude);
            return {};
        }
        point = m_pairReader.read(fields[pair->latitude], fields[pair->longitude]);
        if (auto* failure = std::get_if<InputFailure>(&point)) {
            // The hint is about the order within one text, which named columns do not have.
            failure->hint = SwapHint::None;
        }
    } else {
        const std::size_t column = std::get<std::size_t>(m_columns->where);
        if (column >= fields.size()) {
            missing(column, Field::Point);
            return {};
        }
        point = m_pointReader.read(fields[column]);
    }
    if (const auto* failure = std::get_if<InputFailure>(&point)) {
        m_report(record.row, *failure);
        return {};
    }
    // A point that no sheet covers gets an empty cell: that is its answer.
    const LatLon at = std::get<LatLon>(point);
    DatumLocator::Located cell =
        m_settings.flagUncertain ? m_locator.locateFlagged(at, m_settings.scale)
                                 : DatumLocator::Located{m_locator.locate(at, m_settings.scale)};
    if (!m_locator.failure().empty()) {
        m_report(record.row, InputFailure{.error = InputError::NotShifted,
                                          .field = Field::Point,
                                          .detail = m_locator.failure()});
    }
    return cell;
}

void CsvAnnotator::row(const CsvRecord& record) {
    Output& out = m_out;
    const auto& fields = record.fields;
    if (fields.empty()) {
        out.append(m_lineEnd);
        return;
    }
    const DatumLocator::Located located = sheet(record);
    const std::size_t kept = std::min(fields.size(), m_width);
    for (std::size_t i = 0; i < kept; ++i) {
        if (i > 0) {
            out.append(m_delimiter);
        }
        append(fields[i]);
    }
    // A short record is padded so that the sheet is in its column; extra fields
    // follow it, so that nothing is lost.
    for (std::size_t i = kept; i < m_width; ++i) {
        out.append(m_delimiter);
    }
    out.append(m_delimiter);
    if (located.cell) {
        out.append(located.cell->text());
    }
    if (m_settings.flagUncertain) {
        out.append(m_delimiter);
        if (located.cell) {
            out.append(located.uncertain ? "true" : "false");
        }
    }
    for (std::size_t i = m_width; i < fields.size(); ++i) {
        out.append(m_delimiter);
        append(fields[i]);
    }
    out.append(m_lineEnd);
    if (fields.size() > m_width) {
        m_report(record.row,
                 TableFailure{.error = TableError::ExtraFields, .count = fields.size()});
    }
}

} // namespace sheetfind
