#include "grid_notations.h"

#include <string>

namespace sheetfind {

bool looksLikeUtm(std::string_view) {
    return false;
}

bool looksLikeMgrs(std::string_view) {
    return false;
}

std::variant<LatLon, InputFailure> readUtm(std::string_view text) {
    return InputFailure{
        .error = InputError::NotUtm, .field = Field::Point, .text = std::string(text)};
}

std::variant<LatLon, InputFailure> readMgrs(std::string_view text) {
    return InputFailure{
        .error = InputError::NotMgrs, .field = Field::Point, .text = std::string(text)};
}

} // namespace sheetfind
