// SPDX-License-Identifier: MIT
#include "reference_reader.h"

#include "reference_parser.h"

#include <string>

namespace sheetfind {

std::variant<sheetref::Reference, InputFailure> readReference(std::string_view text) {
    auto result = sheetref::parseReference(text);
    if (const auto* failure = std::get_if<sheetref::ParseFailure>(&result)) {
        return InputFailure{.error = InputError::NotAReference,
                            .field = Field::Reference,
                            .text = std::string(text),
                            .detail = sheetref::describe(*failure)};
    }
    return std::get<sheetref::Reference>(result);
}

} // namespace sheetfind
