// SPDX-License-Identifier: MIT
#pragma once

#include "gis_error.h"
#include "reference.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class OGRCoordinateTransformation;
class OGRGeometry;
class OGRSpatialReference;

namespace sheetfind::gis {

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

    // The same for a CRS written as GDAL reads it: WKT, PROJJSON, "EPSG:3005"...; an
    // empty text is WGS 84 with longitude as x. Fails with BadCrs or NotTransformable.
    static std::variant<LayerGeometry, GisFailure> from(std::string_view crs, sheetref::Scale scale,
                                                        bool geodesic);

    using Cells = std::variant<std::vector<sheetref::Reference>, GisFailure>;

    // The cells, in reference order (none for an empty geometry or one outside the
    // grid), or why the geometry has none: NotTransformable or BadGeometry.
    Cells cells(const OGRGeometry& geometry) const;
    // For a point: whether the shift of its datum into the grid's may have put it in
    // the wrong cell, as DatumLocator::locateFlagged says; false where nothing was
    // shifted, nullopt for anything but a point that could be transformed.
    std::optional<bool> uncertain(const OGRGeometry& geometry);

    // Points as arrays of x and y in the layer's CRS, transformed in place into the
    // degrees of the grid's datum (x the longitude, y the latitude) as cells()
    // transforms a point, in one call; NaN in both where a point cannot be transformed.
    void toGridDegrees(std::span<double> xs, std::span<double> ys) const;

    // The same for a geometry as WKB (NotWkb when it is not) or as WKT (NotWkt).
    Cells cellsOfWkb(std::span<const unsigned char> wkb) const;
    Cells cellsOfWkt(std::string_view wkt) const;
    // The same for a GeoJSON geometry object ({"type": "LineString", ...}), as Python's
    // __geo_interface__ gives it; BadGeometry when GDAL cannot read it.
    Cells cellsOfGeoJson(std::string_view geoJson) const;

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

} // namespace sheetfind::gis
