// SPDX-License-Identifier: MIT
#pragma once

#include "input_error.h"
#include "reference.h"

#include <memory>
#include <variant>
#include <vector>

class OGRCoordinateTransformation;
class OGRGeometry;
class OGRSpatialReference;

namespace sheetfind::cli {

// The cells a GIS geometry needs, from any coordinate reference system.
//
// Vertices are transformed to WGS 84 longitude and latitude. An edge that is straight
// in the layer's CRS is a curve in longitude and latitude (in BC Albers a 100 km
// east-west line bows by hundreds of metres against the straight line in degrees), so
// each edge is first cut, in the layer's CRS, until the transformed midpoint of every
// piece lies within kCurveTolerance of the straight piece in degrees; then the pieces
// are straight to that tolerance in degrees too. A cell is missed or added only where
// the line passes closer than that (about 0.1 mm) to its edge. With `geodesic`, edges
// are instead geodesics between the transformed vertices, and are not cut.
//
// A point is the cell that holds it (sheetref::locate), a line the cells it passes
// through, a polygon the cells it shares area with; multi-geometries and collections
// the union, in reference order. Curves are first made linear by GDAL.
class LayerGeometry {
public:
    // Degrees: the largest gap allowed between a transformed piece and its chord.
    static constexpr double kCurveTolerance = 1e-9;

    // Fails with the GDAL message when no transformation to WGS 84 exists.
    static std::variant<LayerGeometry, std::string> from(const OGRSpatialReference& source,
                                                         sheetref::Scale scale, bool geodesic);

    // The cells, in reference order (none for an empty geometry or one outside the
    // grid), or why the geometry has none: NotTransformable or BadGeometry.
    std::variant<std::vector<sheetref::Reference>, InputFailure>
    cells(const OGRGeometry& geometry) const;

    LayerGeometry(LayerGeometry&&) noexcept;
    LayerGeometry& operator=(LayerGeometry&&) noexcept;
    ~LayerGeometry();

private:
    struct Transform;
    LayerGeometry(std::unique_ptr<Transform> transform, sheetref::Scale scale, bool geodesic);

    std::unique_ptr<Transform> m_transform;
    sheetref::Scale m_scale;
    bool m_geodesic;
};

} // namespace sheetfind::cli
