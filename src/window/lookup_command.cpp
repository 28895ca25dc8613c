// SPDX-License-Identifier: MIT
#include "lookup_command.h"

#include "form1_layout.h"
#include "point_reader.h"
#include "sheet_reference.h"

#include <utility>

namespace sheetfind {

LookupCommand::LookupCommand(NumberSymbols symbols) : m_numbers(std::move(symbols)) {}

LookupResult LookupCommand::run(std::string_view latitudeText,
                                std::string_view longitudeText) const {
    auto point = readDecimalPair(m_numbers, latitudeText, longitudeText);
    if (auto* failure = std::get_if<InputFailure>(&point)) {
        return std::move(*failure);
    }
    const LatLon& p = std::get<LatLon>(point);
    return sheetref::sheetfindGrid(p.longitude, p.latitude);
}

Box boxAtFault(const InputFailure& failure) {
    return failure.field == Field::Longitude ? Box::Longitude : Box::Latitude;
}

FailureMessage failureMessage(const InputFailure& failure) {
    return FailureMessage{.title = std::string(form1::kTitle), .text = describe(failure)};
}

} // namespace sheetfind
