// SPDX-License-Identifier: MIT
#include "lookup_command.h"

#include "point_reader.h"
#include "sheet_reference.h"

namespace sheetfind {

LookupCommand::LookupCommand(const QLocale& locale) : m_numbers(locale) {}

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
