// SPDX-License-Identifier: MIT
// What both extension modules share: the one exception they raise, the reading of a
// scale's name, so that _sheetfind and _sheetfind_gis fail alike, and the texts of
// references.
#pragma once

#include "reference.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sheetfind::python {

// Raised as sheetfind.InputError, a ValueError, with the message sheetfind-cli gives.
class InputErrorException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline sheetref::Scale scaleNamed(const std::string& name) {
    const std::optional<sheetref::Scale> scale = sheetref::scaleNamed(name);
    if (!scale) {
        throw InputErrorException(sheetref::describeUnknownScale(name));
    }
    return *scale;
}

// The references' canonical texts, in order.
inline std::vector<std::string> texts(const std::vector<sheetref::Reference>& references) {
    std::vector<std::string> out;
    out.reserve(references.size());
    for (const auto& reference : references) {
        out.push_back(reference.text());
    }
    return out;
}

} // namespace sheetfind::python
