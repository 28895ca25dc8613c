// SPDX-License-Identifier: MIT
// _sheetfind: the NTS grid and Sheetfind's readers for Python. The package
// `sheetfind` wraps it; this layer only converts between Python and the libraries,
// and turns every failure into sheetfind.InputError with the message the command
// line tool prints for it.
#include "geometry_cover.h"
#include "grid.h"
#include "input_error.h"
#include "number_reader.h"
#include "point_reader.h"
#include "reference_reader.h"
#include "vector_locate.h"

#ifdef SHEETFIND_HAVE_GEODESIC
#include "geodesic_cover.h"
#endif

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace py = pybind11;

using sheetfind::InputFailure;
using sheetref::LatLon;
using sheetref::Reference;
using sheetref::Scale;

namespace {

// Raised as sheetfind.InputError, a ValueError.
class InputErrorException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using DoubleArray = py::array_t<double, py::array::c_style | py::array::forcecast>;
using VertexArray = DoubleArray; // n x 2: longitude (x), latitude (y), as GIS order them

// The same names the command line tool's --scale takes, with the same message.
Scale scaleNamed(const std::string& name) {
    if (const std::optional<Scale> scale = sheetref::scaleNamed(name)) {
        return *scale;
    }
    throw InputErrorException("unknown scale \"" + name + "\"; expected 1m, 250k or 50k");
}

const sheetfind::PointReader& pointReader() {
    // Python programs pass numbers in the C notation whatever the user's locale.
    static const sheetfind::PointReader reader(sheetfind::NumberReader::named("C"));
    return reader;
}

Reference referenceOf(const std::string& text) {
    auto result = sheetfind::readReference(text);
    if (const auto* failure = std::get_if<InputFailure>(&result)) {
        throw InputErrorException(sheetfind::describe(*failure));
    }
    return std::get<Reference>(result);
}

std::vector<std::string> texts(const std::vector<Reference>& references) {
    std::vector<std::string> out;
    out.reserve(references.size());
    for (const auto& reference : references) {
        out.push_back(reference.text());
    }
    return out;
}

// The array is allocated as numbers and then seen as '<U6': numpy gives a fresh array
// of a string dtype its memory by a slower route than a numeric one. Measured here on
// 3 M elements, the first writes into a new '<U6' array cost 11 ns an element, into
// the same bytes allocated as uint32 1.6 ns, more than the lookup itself.
py::array referenceArray(std::size_t count) {
    constexpr std::size_t width = sheetfind::python::kReferenceWidth;
    const py::array_t<std::uint32_t> codes(static_cast<py::ssize_t>(count * width));
    return codes.attr("view")(py::dtype("<U" + std::to_string(width)));
}

std::uint32_t* codePoints(py::array& array) {
    return static_cast<std::uint32_t*>(array.mutable_data());
}

// Runs `loop` over the points into a fresh '<U6' array with the interpreter's lock
// released, and returns the array and what the loop returned.
template <typename Loop>
auto overPoints(const DoubleArray& latitudes, const DoubleArray& longitudes,
                const std::string& scaleName, Loop loop) {
    if (latitudes.ndim() != 1 || longitudes.ndim() != 1 ||
        latitudes.shape(0) != longitudes.shape(0)) {
        throw std::invalid_argument("latitudes and longitudes must be 1-D arrays of one length");
    }
    const Scale scale = scaleNamed(scaleName);
    const auto count = static_cast<std::size_t>(latitudes.shape(0));
    py::array out = referenceArray(count);
    std::uint32_t* cells = codePoints(out);
    const double* lat = latitudes.data();
    const double* lon = longitudes.data();
    std::invoke_result_t<Loop, const double*, const double*, std::size_t, Scale, std::uint32_t*>
        result;
    {
        // Nothing in here may touch a Python object.
        py::gil_scoped_release released;
        result = loop(lat, lon, count, scale, cells);
    }
    return std::pair{std::move(out), result};
}

py::array locateArray(const DoubleArray& latitudes, const DoubleArray& longitudes,
                      const std::string& scaleName) {
    return overPoints(latitudes, longitudes, scaleName,
                      [](const double* lat, const double* lon, std::size_t count, Scale scale,
                         std::uint32_t* cells) {
                          sheetfind::python::locateInto(lat, lon, count, scale, cells);
                          return 0;
                      })
        .first;
}

std::size_t locateLoopYardstick(const DoubleArray& latitudes, const DoubleArray& longitudes,
                                const std::string& scaleName) {
    return overPoints(latitudes, longitudes, scaleName, sheetfind::python::locateOnly).second;
}

std::optional<std::string> locateScalar(double latitude, double longitude,
                                        const std::string& scaleName) {
    const auto reference =
        sheetref::locate({.latitude = latitude, .longitude = longitude}, scaleNamed(scaleName));
    if (!reference) {
        return std::nullopt;
    }
    return reference->text();
}

std::tuple<double, double> readPoint(const std::string& text) {
    auto result = pointReader().read(text);
    if (const auto* failure = std::get_if<InputFailure>(&result)) {
        throw InputErrorException(sheetfind::describe(*failure));
    }
    const auto point = std::get<LatLon>(result);
    return {point.latitude, point.longitude};
}

// The answers for every text, and the index and message of the first bad one (-1 and
// "" when all are good). A bad text gets "" and the others are still answered, so that
// the caller decides whether one bad text fails the whole call.
std::tuple<py::array, py::ssize_t, std::string> locateTexts(const std::vector<std::string>& all,
                                                            const std::string& scaleName) {
    const Scale scale = scaleNamed(scaleName);
    py::array out = referenceArray(all.size());
    std::uint32_t* cells = codePoints(out);
    py::ssize_t firstBad = -1;
    std::string message;
    {
        py::gil_scoped_release released;
        std::vector<double> lat(all.size());
        std::vector<double> lon(all.size());
        for (std::size_t i = 0; i < all.size(); ++i) {
            auto result = pointReader().read(all[i]);
            if (const auto* failure = std::get_if<InputFailure>(&result)) {
                if (firstBad < 0) {
                    firstBad = static_cast<py::ssize_t>(i);
                    message = sheetfind::describe(*failure);
                }
                lat[i] = std::numeric_limits<double>::quiet_NaN();
                lon[i] = lat[i];
            } else {
                lat[i] = std::get<LatLon>(result).latitude;
                lon[i] = std::get<LatLon>(result).longitude;
            }
        }
        sheetfind::python::locateInto(lat.data(), lon.data(), all.size(), scale, cells);
    }
    return {out, firstBad, message};
}

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == '\r';
}

// Whether the whole field is a finite decimal number without a '+' sign, such as
// "-123.1" or "4.925e1": the shape that needs no locale and no notation.
bool plainNumber(std::string_view field, double& value) {
    const char* end = field.data() + field.size();
    const auto [ptr, error] = std::from_chars(field.data(), end, value);
    return error == std::errc() && ptr == end && std::isfinite(value);
}

// Decimal "LATITUDE LONGITUDE" lines, as sheetfind-cli reads them by default, into two
// arrays: blanks, a tab or a comma between the numbers; a blank line or a # comment
// gives NaN, NaN (no cell) so that point i is always line i + 1. The first bad line
// raises InputError naming its number, with the message sheetfind-cli gives for it.
std::tuple<DoubleArray, DoubleArray> readPoints(const py::buffer& data) {
    const py::buffer_info info = data.request();
    const auto* begin = static_cast<const char*>(info.ptr);
    const auto size = static_cast<std::size_t>(info.size * info.itemsize);
    const std::string_view text(begin, size);
    std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    if (!text.empty() && text.back() != '\n') {
        ++lines;
    }
    DoubleArray latitudes(static_cast<py::ssize_t>(lines));
    DoubleArray longitudes(static_cast<py::ssize_t>(lines));
    double* lat = latitudes.mutable_data();
    double* lon = longitudes.mutable_data();
    std::optional<InputFailure> failed;
    std::size_t failedLine = 0;
    {
        py::gil_scoped_release released;
        constexpr double kNoPoint = std::numeric_limits<double>::quiet_NaN();
        std::size_t at = 0;
        for (std::size_t line = 0; line < lines && !failed; ++line) {
            std::size_t end = text.find('\n', at);
            end = end == std::string_view::npos ? text.size() : end;
            const std::string_view whole = text.substr(at, end - at);
            at = end + 1;
            std::string_view fields[2];
            std::size_t count = 0;
            for (std::size_t i = 0; i < whole.size();) {
                while (i < whole.size() && isSeparator(whole[i])) {
                    ++i;
                }
                const std::size_t start = i;
                while (i < whole.size() && !isSeparator(whole[i])) {
                    ++i;
                }
                if (i > start) {
                    if (count < 2) {
                        fields[count] = whole.substr(start, i - start);
                    }
                    ++count;
                }
            }
            lat[line] = kNoPoint;
            lon[line] = kNoPoint;
            if (count == 0 || fields[0].front() == '#') {
                continue;
            }
            // Two plain finite numbers in range are read here, with the standard
            // library's exact conversion (as NumberReader's quick path reads them);
            // anything else goes through the full reader, for its notations, its
            // range checks and its messages.
            double latitude = 0;
            double longitude = 0;
            if (count == 2 && plainNumber(fields[0], latitude) &&
                plainNumber(fields[1], longitude) && -90 <= latitude && latitude <= 90 &&
                -180 <= longitude && longitude <= 180) {
                lat[line] = latitude;
                lon[line] = longitude;
                continue;
            }
            auto result = pointReader().read(whole);
            if (const auto* failure = std::get_if<InputFailure>(&result)) {
                failed = *failure;
                failedLine = line + 1;
            } else {
                lat[line] = std::get<LatLon>(result).latitude;
                lon[line] = std::get<LatLon>(result).longitude;
            }
        }
    }
    if (failed) {
        throw InputErrorException("line " + std::to_string(failedLine) + ": " +
                                  sheetfind::describe(*failed));
    }
    return {latitudes, longitudes};
}

std::tuple<double, double, double, double> boundsOf(const std::string& text) {
    const auto box = sheetref::bounds(referenceOf(text));
    return {box.south, box.west, box.north, box.east};
}

// The edges come as texts so that a float and its text are read by the same rule as
// the command line tool's SOUTH WEST NORTH EAST, with the same messages.
std::vector<std::string> coverBox(const std::string& south, const std::string& west,
                                  const std::string& north, const std::string& east,
                                  const std::string& scaleName) {
    const Scale scale = scaleNamed(scaleName);
    const auto numbers = sheetfind::NumberReader::named("C");
    const std::string* operands[] = {&south, &west, &north, &east};
    constexpr sheetfind::Field kEdges[] = {sheetfind::Field::South, sheetfind::Field::West,
                                           sheetfind::Field::North, sheetfind::Field::East};
    double edges[4] = {};
    for (std::size_t i = 0; i < 4; ++i) {
        auto edge = sheetfind::readEdge(numbers, *operands[i], kEdges[i]);
        if (const auto* failure = std::get_if<InputFailure>(&edge)) {
            throw InputErrorException(sheetfind::describe(*failure));
        }
        edges[i] = std::get<double>(edge);
    }
    const auto result = sheetref::cover(
        {.south = edges[0], .north = edges[2], .west = edges[1], .east = edges[3]}, scale);
    if (const auto* failure = std::get_if<sheetref::BoxFailure>(&result)) {
        throw InputErrorException(sheetref::describe(*failure));
    }
    return texts(std::get<std::vector<Reference>>(result));
}

std::vector<LatLon> verticesOf(const VertexArray& coordinates) {
    if (coordinates.ndim() != 2 || coordinates.shape(1) < 2) {
        throw std::invalid_argument("coordinates must be an n x 2 array of longitude, latitude");
    }
    const auto view = coordinates.unchecked<2>();
    std::vector<LatLon> vertices(static_cast<std::size_t>(coordinates.shape(0)));
    for (py::ssize_t i = 0; i < coordinates.shape(0); ++i) {
        vertices[static_cast<std::size_t>(i)] = {.latitude = view(i, 1), .longitude = view(i, 0)};
    }
    return vertices;
}

std::vector<std::string> answer(const sheetref::GeometryCover& cover) {
    if (const auto* failure = std::get_if<sheetref::GeometryFailure>(&cover)) {
        throw InputErrorException(sheetref::describe(*failure));
    }
    return texts(std::get<std::vector<Reference>>(cover));
}

std::vector<std::string> coverLine(const VertexArray& coordinates, const std::string& scaleName,
                                   bool geodesic) {
    const Scale scale = scaleNamed(scaleName);
    const auto vertices = verticesOf(coordinates);
    if (geodesic) {
#ifdef SHEETFIND_HAVE_GEODESIC
        return answer(sheetref::coverGeodesicLine(vertices, scale));
#else
        throw std::runtime_error("geodesic covers are not available: this sheetfind module was "
                                 "built without the sheetref_geodesic library");
#endif
    }
    return answer(sheetref::coverLine(vertices, scale));
}

std::vector<std::string> coverPolygon(const std::vector<VertexArray>& rings,
                                      const std::string& scaleName) {
    const Scale scale = scaleNamed(scaleName);
    std::vector<std::vector<LatLon>> vertices;
    vertices.reserve(rings.size());
    for (const auto& ring : rings) {
        vertices.push_back(verticesOf(ring));
    }
    return answer(sheetref::coverPolygon(vertices, scale));
}

// Without pointsPerEdge, as many as sheetfind-cli draws the cell's scale with.
std::vector<std::tuple<double, double>> cellRing(const std::string& text,
                                                 std::optional<int> pointsPerEdge) {
    const Reference reference = referenceOf(text);
    const int points = pointsPerEdge.value_or(sheetref::defaultPointsPerEdge(reference.scale()));
    const auto ring = sheetref::cellRing(reference, points);
    if (!ring) {
        throw InputErrorException("points per edge " + std::to_string(points) +
                                  " is out of range; expected 1.." +
                                  std::to_string(sheetref::kMaxPointsPerEdge));
    }
    std::vector<std::tuple<double, double>> out;
    out.reserve(ring->size());
    for (const auto& point : *ring) {
        out.emplace_back(point.longitude, point.latitude);
    }
    return out;
}

} // namespace

PYBIND11_MODULE(_sheetfind, m) {
    m.doc() = "The NTS grid of Canada, compiled; use the sheetfind package instead.";
    py::register_exception<InputErrorException>(m, "InputError", PyExc_ValueError);
#ifdef SHEETFIND_HAVE_GEODESIC
    m.attr("HAVE_GEODESIC") = true;
#else
    m.attr("HAVE_GEODESIC") = false;
#endif
    m.attr("CELL_SEPARATOR") = std::string(1, sheetref::kCellSeparator);
    m.def("locate_scalar", &locateScalar);
    m.def("locate_array", &locateArray);
    m.def("_locate_loop_yardstick", &locateLoopYardstick,
          "locate() on every point into a fresh '<U6' array, without writing the texts: the "
          "floor for locate_array, for the benchmarks.");
    m.def("read_point", &readPoint);
    m.def("locate_texts", &locateTexts);
    m.def("read_points", &readPoints);
    m.def("bounds", &boundsOf);
    m.def("parse", [](const std::string& text) { return referenceOf(text).text(); });
    m.def("neighbours",
          [](const std::string& text) { return texts(sheetref::neighbours(referenceOf(text))); });
    m.def("cover_box", &coverBox);
    m.def("cover_line", &coverLine);
    m.def("cover_polygon", &coverPolygon);
    m.def("cell_ring", &cellRing, py::arg("reference"), py::arg("points_per_edge") = py::none());
    m.def("scale_name", [](const std::string& name) {
        return std::string(sheetref::scaleName(scaleNamed(name)));
    });
    m.def("scale_short_name", [](const std::string& name) {
        return std::string(sheetref::scaleShortName(scaleNamed(name)));
    });
    m.def("column_name",
          [](const std::string& name) { return sheetref::sheetColumnName(scaleNamed(name)); });
}
