#include "sheet_reference.h"

#include "grid.h"
#include "nts_layout.h"

namespace sheetref {

std::string sheetfindGrid(double longitude, double latitude) {
    // The window's band: the southern and Arctic zones. Written so that NaN fails.
    if (!(layout::kOriginLatitude <= latitude && latitude < layout::kHighArcticLatitude)) {
        return {};
    }
    if (!(layout::kWesternLimit < longitude && longitude <= layout::kOriginLongitude)) {
        return {};
    }
    const std::optional<Reference> sheet =
        locate({.latitude = latitude, .longitude = longitude}, Scale::Sheet);
    return sheet ? sheet->text() : std::string();
}

} // namespace sheetref
