#include "sheet_reference.h"

#include "grid.h"
#include "nts_layout.h"

namespace sheetref {

std::string sheetfindGrid(double longitude, double latitude) {
    // locate already answers nothing outside the grid, and its southern and Arctic
    // zones span exactly the window's meridians, 144° W to 48° W: of the rest of the
    // grid only the high Arctic is left to leave out. Written so that NaN fails.
    if (!(latitude < layout::kHighArcticLatitude)) {
        return {};
    }
    const std::optional<Reference> sheet =
        locate({.latitude = latitude, .longitude = longitude}, Scale::Sheet);
    return sheet ? sheet->text() : std::string();
}

} // namespace sheetref
