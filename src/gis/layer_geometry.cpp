// SPDX-License-Identifier: MIT
#include "layer_geometry.h"

#include "datum.h"
#include "gdal_errors.h"
#include "geodesic_cover.h"
#include "geometry_cover.h"
#include "grid.h"

#include <cpl_error.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace sheetfind::gis {

using sheetref::LatLon;
using sheetref::Reference;

struct LayerGeometry::Transform {
    std::unique_ptr<OGRCoordinateTransformation> toDegrees;
    Datum datum = Datum::Nad83; // the source's, NAD83 and WGS 84 being one
    // Made on the first point flagged: it tells how far off the shift may be.
    std::optional<DatumLocator> locator;
};

namespace {

// Halving an edge this often makes pieces 2^-40 of it; a transformation smooth enough
// to be a map projection meets the tolerance long before.
constexpr int kMaxHalvings = 40;

using Cells = LayerGeometry::Cells;

std::string number(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

GisFailure notTransformable(double x, double y) {
    std::string detail = "the vertex (" + number(x) + " " + number(y) + ")";
    const std::string reason = CPLGetLastErrorMsg();
    detail += reason.empty() ? " has no longitude and latitude" : ": " + reason;
    return GisFailure{.error = GisError::NotTransformable, .detail = detail};
}

class Tracer {
public:
    Tracer(OGRCoordinateTransformation& transform, bool cut) : m_transform(transform), m_cut(cut) {}

    std::optional<LatLon> degrees(double x, double y) {
        double lon = x;
        double lat = y;
        int success = FALSE;
        CPLErrorReset();
        if (!(std::isfinite(x) && std::isfinite(y)) ||
            !m_transform.Transform(1, &lon, &lat, nullptr, &success) || !success ||
            !(std::isfinite(lon) && std::isfinite(lat))) {
            m_failure = notTransformable(x, y);
            return std::nullopt;
        }
        return LatLon{.latitude = lat, .longitude = lon};
    }

    // The line's vertices in degrees, each edge cut as the class comment says.
    std::optional<std::vector<LatLon>> line(const OGRSimpleCurve& curve) {
        std::vector<LatLon> points;
        const int count = curve.getNumPoints();
        std::optional<LatLon> previous;
        double previousX = 0;
        double previousY = 0;
        for (int i = 0; i < count; ++i) {
            const double x = curve.getX(i);
            const double y = curve.getY(i);
            const auto point = degrees(x, y);
            if (!point) {
                return std::nullopt;
            }
            if (previous && m_cut &&
                !cut(previousX, previousY, *previous, x, y, *point, 0, points)) {
                return std::nullopt;
            }
            points.push_back(*point);
            previous = point;
            previousX = x;
            previousY = y;
        }
        return points;
    }

    const GisFailure& failure() const { return *m_failure; }

private:
    // Appends the points strictly between a and b that keep every piece within the
    // tolerance of its chord.
    bool cut(double ax, double ay, const LatLon& a, double bx, double by, const LatLon& b,
             int halvings, std::vector<LatLon>& points) {
        const double mx = ax + (bx - ax) / 2;
        const double my = ay + (by - ay) / 2;
        const auto middle = degrees(mx, my);
        if (!middle) {
            return false;
        }
        const double chordLatitude = a.latitude + (b.latitude - a.latitude) / 2;
        const double chordLongitude = a.longitude + (b.longitude - a.longitude) / 2;
        if (halvings >= kMaxHalvings ||
            (std::abs(middle->latitude - chordLatitude) <= LayerGeometry::kCurveTolerance &&
             std::abs(middle->longitude - chordLongitude) <= LayerGeometry::kCurveTolerance)) {
            return true;
        }
        if (!cut(ax, ay, a, mx, my, *middle, halvings + 1, points)) {
            return false;
        }
        points.push_back(*middle);
        return cut(mx, my, *middle, bx, by, b, halvings + 1, points);
    }

    OGRCoordinateTransformation& m_transform;
    bool m_cut;
    std::optional<GisFailure> m_failure;
};

Cells fromCover(const sheetref::GeometryCover& cover) {
    if (const auto* failure = std::get_if<sheetref::GeometryFailure>(&cover)) {
        return GisFailure{.error = GisError::BadGeometry, .detail = sheetref::describe(*failure)};
    }
    return std::get<std::vector<Reference>>(cover);
}

Cells cellsOf(const OGRGeometry& geometry, Tracer& tracer, sheetref::Scale scale, bool geodesic) {
    if (geometry.IsEmpty()) {
        return std::vector<Reference>{};
    }
    if (geometry.hasCurveGeometry()) {
        const std::unique_ptr<OGRGeometry> linear(geometry.getLinearGeometry());
        if (!linear) {
            return GisFailure{.error = GisError::BadGeometry,
                              .detail = "GDAL cannot make its curves linear"};
        }
        return cellsOf(*linear, tracer, scale, geodesic);
    }
    switch (wkbFlatten(geometry.getGeometryType())) {
    case wkbPoint: {
        const OGRPoint& point = *geometry.toPoint();
        const auto degrees = tracer.degrees(point.getX(), point.getY());
        if (!degrees) {
            return tracer.failure();
        }
        return fromCover(sheetref::coverPoint(*degrees, scale));
    }
    case wkbLineString:
    case wkbLinearRing: {
        const auto line = tracer.line(*geometry.toSimpleCurve());
        if (!line) {
            return tracer.failure();
        }
        return fromCover(geodesic ? sheetref::coverGeodesicLine(*line, scale)
                                  : sheetref::coverLine(*line, scale));
    }
    case wkbPolygon:
    case wkbTriangle: {
        std::vector<std::vector<LatLon>> rings;
        for (const OGRLinearRing* ring : *geometry.toPolygon()) {
            auto line = tracer.line(*ring);
            if (!line) {
                return tracer.failure();
            }
            rings.push_back(std::move(*line));
        }
        return fromCover(geodesic ? sheetref::coverGeodesicPolygon(rings, scale)
                                  : sheetref::coverPolygon(rings, scale));
    }
    case wkbMultiPoint:
    case wkbMultiLineString:
    case wkbMultiPolygon:
    case wkbGeometryCollection:
    case wkbPolyhedralSurface:
    case wkbTIN: {
        std::vector<std::vector<Reference>> parts;
        const auto visit = [&](const OGRGeometry& part) -> std::optional<GisFailure> {
            auto cells = cellsOf(part, tracer, scale, geodesic);
            if (auto* failure = std::get_if<GisFailure>(&cells)) {
                return std::move(*failure);
            }
            parts.push_back(std::move(std::get<std::vector<Reference>>(cells)));
            return std::nullopt;
        };
        if (const auto* surface = dynamic_cast<const OGRPolyhedralSurface*>(&geometry)) {
            for (const OGRPolygon* part : *surface) {
                if (auto failure = visit(*part)) {
                    return *failure;
                }
            }
        } else {
            for (const OGRGeometry* part : *geometry.toGeometryCollection()) {
                if (auto failure = visit(*part)) {
                    return *failure;
                }
            }
        }
        return sheetref::mergeCovers(parts);
    }
    default:
        return GisFailure{.error = GisError::BadGeometry,
                          .detail = std::string("a ") + geometry.getGeometryName() +
                                    " is not a point, a line or a polygon"};
    }
}

} // namespace

LayerGeometry::LayerGeometry(std::unique_ptr<Transform> transform, sheetref::Scale scale,
                             bool geodesic)
    : m_transform(std::move(transform)), m_scale(scale), m_geodesic(geodesic) {}
LayerGeometry::LayerGeometry(LayerGeometry&&) noexcept = default;
LayerGeometry& LayerGeometry::operator=(LayerGeometry&&) noexcept = default;
LayerGeometry::~LayerGeometry() = default;

std::variant<LayerGeometry, std::string> LayerGeometry::from(const OGRSpatialReference& source,
                                                             sheetref::Scale scale, bool geodesic) {
    OGRSpatialReference from(source);
    from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    // Into the degrees of the datum the grid is drawn in: NAD27 for the petroleum and
    // natural gas grid, WGS 84 (NAD83 within a metre or two) for the others.
    OGRSpatialReference degrees;
    degrees.SetWellKnownGeogCS(sheetref::isPng(scale) ? "NAD27" : "WGS84");
    degrees.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    CPLErrorReset();
    std::unique_ptr<OGRCoordinateTransformation> transform(
        OGRCreateCoordinateTransformation(&from, &degrees));
    if (!transform) {
        return std::string(CPLGetLastErrorMsg());
    }
    // NAD27 is the one datum of another family these points may be in.
    const char* datum = from.GetAttrValue("DATUM");
    const bool nad27 =
        datum != nullptr && std::string_view(datum).find("1927") != std::string_view::npos;
    return LayerGeometry(
        std::make_unique<Transform>(Transform{.toDegrees = std::move(transform),
                                              .datum = nad27 ? Datum::Nad27 : Datum::Nad83}),
        scale, geodesic);
}

std::optional<bool> LayerGeometry::uncertain(const OGRGeometry& geometry) {
    if (wkbFlatten(geometry.getGeometryType()) != wkbPoint || geometry.IsEmpty()) {
        return std::nullopt;
    }
    const auto& point = static_cast<const OGRPoint&>(geometry);
    double x = point.getX();
    double y = point.getY();
    if (!m_transform->toDegrees->Transform(1, &x, &y)) {
        return std::nullopt;
    }
    if (!needsShift(m_transform->datum, m_scale)) {
        return false;
    }
    auto& locator = m_transform->locator;
    if (!locator) {
        locator.emplace(m_transform->datum);
    }
    // The shift GDAL made is PROJ's best, the one DatumLocator makes: shifting the point
    // again tells the accuracy of the operation that moved it.
    locator->inGridDatum({.latitude = y, .longitude = x}, m_scale);
    return nearCellLine({.latitude = y, .longitude = x}, m_scale, locator->reachMetres());
}

std::variant<LayerGeometry, GisFailure> LayerGeometry::from(std::string_view crs,
                                                            sheetref::Scale scale, bool geodesic) {
    registerDrivers();
    OGRSpatialReference source;
    if (crs.empty()) {
        source.SetWellKnownGeogCS("WGS84");
    } else if (source.SetFromUserInput(std::string(crs).c_str()) != OGRERR_NONE) {
        return GisFailure{.error = GisError::BadCrs, .text = std::string(crs)};
    }
    auto made = from(source, scale, geodesic);
    if (auto* message = std::get_if<std::string>(&made)) {
        return GisFailure{.error = GisError::NotTransformable, .detail = std::move(*message)};
    }
    return std::move(std::get<LayerGeometry>(made));
}

void LayerGeometry::toGridDegrees(std::span<double> xs, std::span<double> ys) const {
    // GDAL counts points in an int: a million at a time.
    constexpr std::size_t kChunk = 1 << 20;
    const std::size_t count = std::min(xs.size(), ys.size());
    std::vector<int> transformed(std::min(count, kChunk));
    GdalErrors errors; // a point that cannot be transformed is NaN, not a message
    for (std::size_t start = 0; start < count; start += kChunk) {
        const std::size_t size = std::min(kChunk, count - start);
        m_transform->toDegrees->Transform(static_cast<int>(size), xs.data() + start,
                                          ys.data() + start, nullptr, transformed.data());
        for (std::size_t i = 0; i < size; ++i) {
            double& x = xs[start + i];
            double& y = ys[start + i];
            if (transformed[i] == 0 || !std::isfinite(x) || !std::isfinite(y)) {
                x = y = std::numeric_limits<double>::quiet_NaN();
            }
        }
    }
}

LayerGeometry::Cells LayerGeometry::cells(const OGRGeometry& geometry) const {
    Tracer tracer(*m_transform->toDegrees, !m_geodesic);
    return cellsOf(geometry, tracer, m_scale, m_geodesic);
}

LayerGeometry::Cells LayerGeometry::cellsOfWkb(std::span<const unsigned char> wkb) const {
    OGRGeometry* parsed = nullptr;
    GdalErrors errors;
    if (OGRGeometryFactory::createFromWkb(wkb.data(), nullptr, &parsed, wkb.size()) !=
            OGRERR_NONE ||
        parsed == nullptr) {
        return GisFailure{.error = GisError::NotWkb, .detail = errors.take({})};
    }
    const std::unique_ptr<OGRGeometry> geometry(parsed);
    return cells(*geometry);
}

LayerGeometry::Cells LayerGeometry::cellsOfWkt(std::string_view wkt) const {
    OGRGeometry* parsed = nullptr;
    const std::string text(wkt);
    GdalErrors errors;
    if (OGRGeometryFactory::createFromWkt(text.c_str(), nullptr, &parsed) != OGRERR_NONE ||
        parsed == nullptr) {
        return GisFailure{.error = GisError::NotWkt, .text = text, .detail = errors.take({})};
    }
    const std::unique_ptr<OGRGeometry> geometry(parsed);
    return cells(*geometry);
}

LayerGeometry::Cells LayerGeometry::cellsOfGeoJson(std::string_view geoJson) const {
    const std::string text(geoJson);
    GdalErrors errors;
    const std::unique_ptr<OGRGeometry> geometry(
        OGRGeometryFactory::createFromGeoJson(text.c_str()));
    if (!geometry) {
        return GisFailure{.error = GisError::BadGeometry,
                          .detail = "GDAL cannot read it as GeoJSON: " +
                                    errors.take("not a GeoJSON geometry")};
    }
    return cells(*geometry);
}

} // namespace sheetfind::gis
