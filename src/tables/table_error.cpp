// SPDX-License-Identifier: MIT
#include "table_error.h"

#include "quote.h"

namespace sheetfind {

std::string describe(const TableFailure& failure) {
    const std::string because =
        failure.detail.empty() ? "" : " (" + printableText(failure.detail) + ")";
    switch (failure.error) {
    case TableError::LineTooLong:
        return "line too long (the limit is " + std::to_string(failure.count) + " bytes)";
    case TableError::EmptyTable:
        return "the table is empty; expected a header row";
    case TableError::NoPointColumns:
        return "the header has no point columns: its names are " + printableText(failure.detail) +
               "; expected lat and lon (or latitude and longitude, y and x...), or a point "
               "column such as position, coordinates, utm or mgrs";
    case TableError::UnknownColumn:
        return "the " + fieldName(failure.field) + " column " + quoteText(failure.text) +
               " is not in the header; expected one of its names or a number from 1 to " +
               std::to_string(failure.count) + ": " + printableText(failure.detail);
    case TableError::MalformedQuotes:
        return "malformed quotes" + because +
               "; expected a quoted field to be wholly in double quotes, with each quote inside "
               "it written twice";
    case TableError::RecordTooLong:
        return "the record is longer than " + std::to_string(failure.count) +
               " bytes; expected a record of a table (is a quote above left open?)";
    case TableError::MissingField:
        return "the record has " + std::to_string(failure.count) +
               (failure.count == 1 ? " field" : " fields") + " and so no " +
               fieldName(failure.field) + " column " + quoteText(failure.text) +
               "; expected as many fields as the header";
    case TableError::ExtraFields:
        return "the record has " + std::to_string(failure.count) +
               " fields, more than the header; those past the header are kept after the sheet "
               "column";
    case TableError::TwoColumns:
        return "the header has two " + fieldName(failure.field) + " columns, " +
               quoteText(failure.text) + " (column " + std::to_string(failure.count) + ") and " +
               quoteText(failure.detail) + " (column " + std::to_string(failure.other) +
               "); expected one " + fieldName(failure.field) + " column";
    case TableError::SameColumn:
        return "the latitude and the longitude are both the column " + quoteText(failure.text) +
               "; expected two different columns";
    case TableError::ColumnExists:
        return "the table already has a column " + quoteText(failure.text);
    }
    return "the table is not valid";
}

TableAdvice adviceFor(const TableFailure& failure) {
    switch (failure.error) {
    case TableError::TwoColumns:
        return TableAdvice::ChooseColumns;
    case TableError::ColumnExists:
        return TableAdvice::NameColumn;
    default:
        return TableAdvice::None;
    }
}

std::string describe(const RecordFailure& failure) {
    return std::visit([](const auto& each) { return describe(each); }, failure);
}

} // namespace sheetfind
