// SPDX-License-Identifier: MIT
#include "lookup_command.h"

#include "point_reader.h"
#include "sheet_reference.h"

namespace sheetfind {

NumberSymbols numberSymbols(const QLocale& locale) {
    // A zero digit past U+FFFF takes two UTF-16 units.
    const QList<uint> zero = locale.zeroDigit().toUcs4();
    return NumberSymbols{.decimalPoint = locale.decimalPoint().toStdString(),
                         .groupSeparator = locale.groupSeparator().toStdString(),
                         .negativeSign = locale.negativeSign().toStdString(),
                         .positiveSign = locale.positiveSign().toStdString(),
                         .zeroDigit = zero.size() == 1 ? char32_t{zero.front()} : U'0'};
}

LookupCommand::LookupCommand(const QLocale& locale) : m_numbers(numberSymbols(locale)) {}

LookupResult LookupCommand::run(const QString& latitudeText, const QString& longitudeText) const {
    auto point =
        readDecimalPair(m_numbers, latitudeText.toStdString(), longitudeText.toStdString());
    if (auto* failure = std::get_if<InputFailure>(&point)) {
        return std::move(*failure);
    }
    const LatLon& p = std::get<LatLon>(point);
    const std::string reference = sheetref::sheetfindGrid(p.longitude, p.latitude);
    return QString::fromLatin1(reference.data(), static_cast<qsizetype>(reference.size()));
}

} // namespace sheetfind
