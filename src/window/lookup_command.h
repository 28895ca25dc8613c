// SPDX-License-Identifier: MIT
#pragma once

#include "input_error.h"
#include "number_reader.h"

#include <QLocale>
#include <QString>

#include <variant>

namespace sheetfind {

// The caption for the result label, or the failure that stopped the lookup; the
// failure's field is Field::Latitude or Field::Longitude, the box at fault.
using LookupResult = std::variant<QString, InputFailure>;

// How Qt writes numbers in `locale`: the window reads what the user types by Qt's
// locale data, the same data it shows numbers with.
NumberSymbols numberSymbols(const QLocale& locale);

// What pressing the button does: convert the latitude text, then the longitude
// text, each a decimal number in the user's locale, and ask the grid for the
// 1:50 000 sheet. A bad latitude is reported even when the longitude is bad too. An
// empty caption means the point has no sheet.
class LookupCommand {
public:
    explicit LookupCommand(const QLocale& locale = QLocale());

    LookupResult run(const QString& latitudeText, const QString& longitudeText) const;

    const NumberReader& numbers() const { return m_numbers; }

private:
    NumberReader m_numbers;
};

} // namespace sheetfind
