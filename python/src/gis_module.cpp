// SPDX-License-Identifier: MIT
// _sheetfind_gis: the GIS library for Python, geometries in any CRS to cells and the
// schema of a layer of cells. It links GDAL, so the package imports it only in the
// functions that need it; locating points never loads it. Failures are raised as
// _sheetfind's InputError, with the message sheetfind-cli gives.
#include "cell_writer.h"
#include "geometry_cover.h"
#include "gis_error.h"
#include "layer_annotation.h"
#include "layer_geometry.h"
#include "module_support.h"
#include "reference_reader.h"

#include <geos_c.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace py = pybind11;

using sheetfind::gis::GisFailure;
using sheetfind::gis::LayerGeometry;
using sheetfind::python::InputErrorException;
using sheetfind::python::scaleNamed;
using sheetfind::python::texts;
using sheetref::Reference;

namespace {

// No Advice reaches Python: a CRS is always given (EPSG:4326 by default), and no
// other failure of a geometry has something to set right.
std::string described(const GisFailure& failure) {
    return sheetfind::gis::describe(failure);
}

LayerGeometry layerGeometry(const std::string& crs, const std::string& scaleName, bool geodesic) {
    auto made = LayerGeometry::from(crs, scaleNamed(scaleName), geodesic);
    if (const auto* failure = std::get_if<GisFailure>(&made)) {
        throw InputErrorException(described(*failure));
    }
    return std::move(std::get<LayerGeometry>(made));
}

enum class Encoding { Wkt, Wkb, GeoJson };

LayerGeometry::Cells cellsOf(const LayerGeometry& layer, Encoding encoding, std::string_view data) {
    switch (encoding) {
    case Encoding::Wkb:
        return layer.cellsOfWkb(
            std::span(reinterpret_cast<const unsigned char*>(data.data()), data.size()));
    case Encoding::GeoJson:
        return layer.cellsOfGeoJson(data);
    case Encoding::Wkt:
        break;
    }
    return layer.cellsOfWkt(data);
}

// One geometry, as WKT (text), WKB (bytes) or a GeoJSON geometry object (text).
std::vector<std::string> coverGeometry(const std::string& data, Encoding encoding,
                                       const std::string& crs, const std::string& scaleName,
                                       bool geodesic) {
    const LayerGeometry layer = layerGeometry(crs, scaleName, geodesic);
    LayerGeometry::Cells cells;
    {
        py::gil_scoped_release released;
        cells = cellsOf(layer, encoding, data);
    }
    if (const auto* failure = std::get_if<GisFailure>(&cells)) {
        throw InputErrorException(described(*failure));
    }
    return texts(std::get<std::vector<Reference>>(cells));
}

// The cells of every feature of a frame, given as WKB (None for a missing geometry,
// which has no cells), and the position and message of each that failed: it gets no
// cells, as sheetfind-cli leaves its field empty, and the caller decides what a
// failure means.
std::tuple<std::vector<std::vector<std::string>>, std::vector<std::tuple<std::size_t, std::string>>>
annotateWkb(const py::list& geometries, const std::string& crs, const std::string& scaleName,
            bool geodesic) {
    const LayerGeometry layer = layerGeometry(crs, scaleName, geodesic);
    std::vector<std::optional<std::string>> wkb;
    wkb.reserve(geometries.size());
    for (const py::handle item : geometries) {
        if (item.is_none()) {
            wkb.emplace_back();
        } else {
            wkb.emplace_back(
                py::cast<std::string>(py::bytes(py::reinterpret_borrow<py::object>(item))));
        }
    }
    std::vector<std::vector<Reference>> found(wkb.size());
    std::vector<std::tuple<std::size_t, std::string>> failures;
    {
        py::gil_scoped_release released;
        for (std::size_t i = 0; i < wkb.size(); ++i) {
            if (!wkb[i]) {
                continue;
            }
            auto cells = cellsOf(layer, Encoding::Wkb, *wkb[i]);
            if (auto* failure = std::get_if<GisFailure>(&cells)) {
                failures.emplace_back(i, described(*failure));
            } else {
                found[i] = std::move(std::get<std::vector<Reference>>(cells));
            }
        }
    }
    std::vector<std::vector<std::string>> out;
    out.reserve(found.size());
    for (const auto& cells : found) {
        out.push_back(texts(cells));
    }
    return {std::move(out), std::move(failures)};
}

// Every feature of a layer that GDAL opens, read in one pass without the interpreter:
// (ids, cells, types, failures), its FIDs as an int64 array, the cells of each feature,
// the ISO WKB types of its geometries, and the (FID, message) of each feature that has
// no cells because it failed, as sheetfind-cli reports it.
py::tuple layerCells(const std::string& source, const std::optional<std::string>& layer,
                     const std::string& crs, const std::string& scaleName, bool geodesic) {
    const sheetfind::gis::SourceLayers from{
        .source = source, .layer = layer, .scale = scaleNamed(scaleName), .geodesic = geodesic};
    std::vector<std::tuple<std::int64_t, std::string>> failures;
    std::variant<sheetfind::gis::LayerCells, sheetfind::gis::Stop> read;
    {
        py::gil_scoped_release released;
        read = sheetfind::gis::layerCells(
            from, crs, [&](std::string_view, std::int64_t feature, const GisFailure& failure) {
                failures.emplace_back(feature, described(failure));
            });
    }
    if (const auto* stop = std::get_if<sheetfind::gis::Stop>(&read)) {
        throw InputErrorException(stop->message);
    }
    const auto& found = std::get<sheetfind::gis::LayerCells>(read);
    py::array_t<std::int64_t> ids(static_cast<py::ssize_t>(found.ids.size()));
    std::copy(found.ids.begin(), found.ids.end(), ids.mutable_data());
    // A layer's features share few cells: each cell's text is made once, and shared.
    std::unordered_map<std::string, py::str> shared;
    py::list cells(found.cells.size());
    for (std::size_t i = 0; i < found.cells.size(); ++i) {
        py::list references(found.cells[i].size());
        for (std::size_t j = 0; j < found.cells[i].size(); ++j) {
            std::string text = found.cells[i][j].text();
            auto known = shared.find(text);
            if (known == shared.end()) {
                py::str made(text);
                known = shared.emplace(std::move(text), std::move(made)).first;
            }
            references[j] = known->second;
        }
        cells[i] = std::move(references);
    }
    return py::make_tuple(ids, cells, found.geometryTypes, failures);
}

Reference referenceOf(const std::string& text) {
    auto result = sheetfind::readReference(text);
    if (const auto* failure = std::get_if<sheetfind::InputFailure>(&result)) {
        throw InputErrorException(sheetfind::describe(*failure));
    }
    return std::get<Reference>(result);
}

// The schema of a layer of cells: each field's name and kind, "text" or "real".
std::vector<std::tuple<std::string, std::string>> cellFields() {
    std::vector<std::tuple<std::string, std::string>> fields;
    for (const auto& field : sheetfind::gis::cellFields()) {
        fields.emplace_back(std::string(field.name), field.text ? "text" : "real");
    }
    return fields;
}

std::string pointsOutOfRange(int points) {
    return sheetref::describePointsPerEdge(std::to_string(points));
}

// The cells as a layer of cells holds them: for each, its values in the order of
// cellFields() and its outline as a list of (longitude, latitude), drawn with `points`
// per edge or, without, as many as the writer draws.
std::tuple<std::vector<py::tuple>, std::vector<std::vector<std::tuple<double, double>>>>
cellRecords(const std::vector<std::string>& references, std::optional<int> points) {
    const int pointsPerEdge = points.value_or(0);
    if (points && *points < 1) {
        throw InputErrorException(pointsOutOfRange(*points));
    }
    std::vector<py::tuple> rows;
    rows.reserve(references.size());
    std::vector<std::vector<std::tuple<double, double>>> outlines;
    outlines.reserve(references.size());
    for (const auto& text : references) {
        const auto record = sheetfind::gis::cellRecord(referenceOf(text), pointsPerEdge);
        if (!record) {
            throw InputErrorException(pointsOutOfRange(pointsPerEdge));
        }
        const auto values = sheetfind::gis::fieldValues(*record);
        py::tuple row(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            row[i] = std::visit([](const auto& value) { return py::cast(value); }, values[i]);
        }
        rows.push_back(std::move(row));
        auto& outline = outlines.emplace_back();
        outline.reserve(record->outline.size());
        for (const auto& point : record->outline) {
            outline.emplace_back(point.longitude, point.latitude);
        }
    }
    return {std::move(rows), std::move(outlines)};
}

// Which of `geometries` (a one-dimensional array of objects) are shapely 1.8 points that
// are not empty, and their x and y (NaN for the others), read from GEOS itself: shapely
// 1.8 gives a point's x one Python call and one coordinate sequence at a time, which
// was most of the time of annotating a frame of points. Only objects of the type `point`
// itself (shapely.geometry.Point, no subclass, which could hold any number in _geom)
// are trusted to hold a GEOS geometry in _geom; anything else is left out, for the
// engine's WKB path to judge.
py::tuple pointCoordinates(const py::array& geometries, const py::handle& point) {
    if (geometries.ndim() != 1 || geometries.dtype().kind() != 'O') {
        throw py::type_error("point_coordinates needs a one-dimensional array of objects");
    }
    // One context for the process, as GEOS's reentrant calls ask; never freed.
    static const GEOSContextHandle_t geos = GEOS_init_r();
    const py::ssize_t count = geometries.shape(0);
    py::array_t<bool> points(count);
    py::array_t<double> ys(count);
    py::array_t<double> xs(count);
    auto isPoint = points.mutable_unchecked<1>();
    auto y = ys.mutable_unchecked<1>();
    auto x = xs.mutable_unchecked<1>();
    const py::str geomName("_geom");
    for (py::ssize_t i = 0; i < count; ++i) {
        isPoint(i) = false;
        x(i) = y(i) = std::numeric_limits<double>::quiet_NaN();
        const py::handle item(*static_cast<PyObject* const*>(geometries.data(i)));
        if (reinterpret_cast<PyObject*>(Py_TYPE(item.ptr())) != point.ptr()) {
            continue;
        }
        const py::object pointer =
            py::reinterpret_steal<py::object>(PyObject_GetAttr(item.ptr(), geomName.ptr()));
        if (!pointer || !PyLong_Check(pointer.ptr())) {
            PyErr_Clear();
            continue;
        }
        const auto* geometry = static_cast<const GEOSGeometry*>(PyLong_AsVoidPtr(pointer.ptr()));
        if (geometry == nullptr || GEOSGeomTypeId_r(geos, geometry) != GEOS_POINT ||
            GEOSisEmpty_r(geos, geometry) != 0) {
            PyErr_Clear();
            continue;
        }
        double at[2];
        if (GEOSGeomGetX_r(geos, geometry, &at[0]) == 1 &&
            GEOSGeomGetY_r(geos, geometry, &at[1]) == 1) {
            isPoint(i) = true;
            x(i) = at[0];
            y(i) = at[1];
        }
    }
    return py::make_tuple(points, ys, xs);
}

// Points as x and y arrays in `crs`, as (longitudes, latitudes) in the degrees of the
// grid's datum at the scale, in one transformation without the interpreter; NaN where a
// point cannot be transformed, for the WKB path to report.
py::tuple gridDegrees(const py::array_t<double, py::array::c_style | py::array::forcecast>& xs,
                      const py::array_t<double, py::array::c_style | py::array::forcecast>& ys,
                      const std::string& crs, const std::string& scaleName) {
    if (xs.ndim() != 1 || ys.ndim() != 1 || xs.shape(0) != ys.shape(0)) {
        throw py::type_error("grid_degrees needs two one-dimensional arrays of one length");
    }
    const LayerGeometry layer = layerGeometry(crs, scaleName, false);
    py::array_t<double> lons(xs.shape(0));
    py::array_t<double> lats(ys.shape(0));
    std::copy_n(xs.data(), xs.shape(0), lons.mutable_data());
    std::copy_n(ys.data(), ys.shape(0), lats.mutable_data());
    {
        py::gil_scoped_release released;
        layer.toGridDegrees({lons.mutable_data(), static_cast<std::size_t>(lons.shape(0))},
                            {lats.mutable_data(), static_cast<std::size_t>(lats.shape(0))});
    }
    return py::make_tuple(lons, lats);
}

} // namespace

PYBIND11_MODULE(_sheetfind_gis, m) {
    m.doc() = "Geometries in any CRS to NTS cells, through GDAL; use the sheetfind package.";
    // The one InputError of the package, _sheetfind's, so that `except InputError`
    // catches what either module raises.
    static PyObject* const inputError =
        py::object(py::module_::import("sheetfind._sheetfind").attr("InputError")).release().ptr();
    py::register_exception_translator([](std::exception_ptr raised) {
        try {
            if (raised) {
                std::rethrow_exception(raised);
            }
        } catch (const InputErrorException& error) {
            PyErr_SetString(inputError, error.what());
        }
    });
    m.def(
        "cover_wkt",
        [](const std::string& wkt, const std::string& crs, const std::string& scale,
           bool geodesic) { return coverGeometry(wkt, Encoding::Wkt, crs, scale, geodesic); },
        py::arg("wkt"), py::arg("crs"), py::arg("scale"), py::arg("geodesic"));
    m.def(
        "cover_wkb",
        [](const py::bytes& wkb, const std::string& crs, const std::string& scale, bool geodesic) {
            return coverGeometry(std::string(wkb), Encoding::Wkb, crs, scale, geodesic);
        },
        py::arg("wkb"), py::arg("crs"), py::arg("scale"), py::arg("geodesic"));
    m.def(
        "cover_geojson",
        [](const std::string& json, const std::string& crs, const std::string& scale,
           bool geodesic) { return coverGeometry(json, Encoding::GeoJson, crs, scale, geodesic); },
        py::arg("geojson"), py::arg("crs"), py::arg("scale"), py::arg("geodesic"));
    m.def("point_coordinates", &pointCoordinates, py::arg("geometries"), py::arg("point"));
    m.def("grid_degrees", &gridDegrees, py::arg("xs"), py::arg("ys"), py::arg("crs"),
          py::arg("scale"));
    m.def("annotate_wkb", &annotateWkb, py::arg("geometries"), py::arg("crs"), py::arg("scale"),
          py::arg("geodesic") = false);
    m.def("layer_cells", &layerCells, py::arg("source"), py::arg("layer"), py::arg("crs"),
          py::arg("scale"), py::arg("geodesic") = false);
    m.def("cell_fields", &cellFields);
    m.def("cell_crs", [](const std::string& scale) {
        return "EPSG:" + std::to_string(sheetfind::gis::cellCrsEpsg(scaleNamed(scale)));
    });
    m.def("cell_records", &cellRecords, py::arg("references"),
          py::arg("points_per_edge") = py::none());
}
