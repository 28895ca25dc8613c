// SPDX-License-Identifier: MIT
// _sheetfind: the grid (the NTS, BC's BCGS and its PNG grid) and Sheetfind's readers
// for Python.
// The package `sheetfind` wraps it; this layer only converts between Python and the
// libraries, and turns every failure into sheetfind.InputError with the message the
// command line tool prints for it. It holds nothing of GDAL or Qt, so that locating
// points loads neither: geometries in any CRS and the cell schema are _sheetfind_gis's.
#include "csv_annotator.h"
#include "datum.h"
#include "fields.h"
#include "grid.h"
#include "input_error.h"
#include "line_reader.h"
#include "module_support.h"
#include "number_reader.h"
#include "point_reader.h"
#include "reference_reader.h"
#include "table_error.h"
#include "vector_locate.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace py = pybind11;

using sheetfind::Datum;
using sheetfind::DatumLocator;
using sheetfind::InputFailure;
using sheetref::LatLon;
using sheetref::Reference;
using sheetref::Scale;

namespace {

using sheetfind::python::InputErrorException;
using sheetfind::python::scaleNamed;
using sheetfind::python::texts;

using DoubleArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

// A swap hint names the keyword that reads the other order, never a program's option.
constexpr sheetfind::HintWords kHintWords{.readLongitudeFirst = "try lon_first=True",
                                          .readLatitudeFirst = "leave out lon_first"};

std::string described(const InputFailure& failure) {
    return sheetfind::describe(failure, kHintWords);
}

const sheetfind::PointReader& pointReader(bool longitudeFirst) {
    // Python programs pass numbers in the C notation whatever the user's locale.
    static const sheetfind::PointReader latitudeFirst(sheetfind::NumberReader::named("C"));
    static const sheetfind::PointReader lonFirst(sheetfind::NumberReader::named("C"),
                                                 {.longitudeFirst = true});
    return longitudeFirst ? lonFirst : latitudeFirst;
}

Datum datumOf(const std::string& name) {
    const std::optional<Datum> datum = sheetfind::datumNamed(name);
    if (!datum) {
        throw InputErrorException(sheetfind::describeUnknownDatum(name));
    }
    return *datum;
}

// Why a point could not be shifted, in the words sheetfind-cli uses.
std::string notShifted(const std::string& reason) {
    return described(InputFailure{.error = sheetfind::InputError::NotShifted,
                                  .field = sheetfind::Field::Point,
                                  .text = std::string(),
                                  .detail = reason});
}

// One locator a datum for the whole process: PROJ takes milliseconds to make its
// transformations, too long to pay on every call that shifts a point. Each call
// forgets the transformation the last one used, and says its own. A locator is not
// for two threads at once, and a shift of many points runs without the interpreter's
// lock: whoever shifts holds this one, never while waiting for the interpreter's.
struct SharedLocators {
    std::mutex lock;
    DatumLocator nad83{Datum::Nad83};
    DatumLocator wgs84{Datum::Wgs84};
    DatumLocator nad27{Datum::Nad27};

    DatumLocator& of(Datum datum) {
        switch (datum) {
        case Datum::Wgs84:
            return wgs84;
        case Datum::Nad27:
            return nad27;
        case Datum::Nad83:
            break;
        }
        return nad83;
    }
};

SharedLocators& sharedLocators() {
    static SharedLocators locators;
    return locators;
}

// Runs `shift` with the shared locator of `datum`, and returns what it returned and the
// notice of the shift it made; call without the interpreter's lock.
template <typename Shift> auto withSharedLocator(Datum datum, Shift shift) {
    SharedLocators& locators = sharedLocators();
    const std::lock_guard held(locators.lock);
    DatumLocator& locator = locators.of(datum);
    locator.forgetNotice();
    auto result = shift(locator);
    return std::pair{std::move(result), locator.notice()};
}

// The answers at `scale` for points in `datum`, into `cells`, and the notice of the
// shift made (empty without one); call without the interpreter's lock. Points already
// in the grid's datum never reach PROJ or the shared locators.
std::pair<std::optional<sheetfind::python::ShiftFailure>, std::string>
locatePointsInto(const double* lat, const double* lon, std::size_t count, Scale scale, Datum datum,
                 std::uint32_t* cells) {
    if (!sheetfind::needsShift(datum, scale)) {
        sheetfind::python::locateInto(lat, lon, count, scale, cells);
        return {};
    }
    return withSharedLocator(datum, [&](DatumLocator& locator) {
        return sheetfind::python::locateShiftedInto(locator, lat, lon, count, scale, cells);
    });
}

Reference referenceOf(const std::string& text) {
    auto result = sheetfind::readReference(text);
    if (const auto* failure = std::get_if<InputFailure>(&result)) {
        throw InputErrorException(described(*failure));
    }
    return std::get<Reference>(result);
}

// The answers at `scale`, as wide as its longest reference ('<U6', '<U10' or '<U16').
// The array is allocated as numbers and then seen as strings: numpy gives a fresh array
// of a string dtype its memory by a slower route than a numeric one. Measured here on
// 3 M elements, the first writes into a new '<U6' array cost 11 ns an element, into the
// same bytes allocated as uint32 1.6 ns, more than the lookup itself.
py::array referenceArray(std::size_t count, Scale scale) {
    const std::size_t width = sheetfind::python::referenceWidth(scale);
    const py::array_t<std::uint32_t> codes(static_cast<py::ssize_t>(count * width));
    return codes.attr("view")(py::dtype("<U" + std::to_string(width)));
}

std::uint32_t* codePoints(py::array& array) {
    return static_cast<std::uint32_t*>(array.mutable_data());
}

// Runs `loop` over the points into a fresh array of answers with the interpreter's lock
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
    py::array out = referenceArray(count, scale);
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

// The answers, the index and message of the first point that could not be shifted
// (-1 and "" when none), and the notice of the shift made ("" without one).
std::tuple<py::array, py::ssize_t, std::string, std::string>
locateArray(const DoubleArray& latitudes, const DoubleArray& longitudes,
            const std::string& scaleName, const std::string& datumName) {
    const Datum datum = datumOf(datumName);
    auto [answers, shifted] =
        overPoints(latitudes, longitudes, scaleName,
                   [datum](const double* lat, const double* lon, std::size_t count, Scale scale,
                           std::uint32_t* cells) {
                       return locatePointsInto(lat, lon, count, scale, datum, cells);
                   });
    auto& [failed, notice] = shifted;
    if (failed) {
        return {std::move(answers), static_cast<py::ssize_t>(failed->index),
                notShifted(failed->reason), std::move(notice)};
    }
    return {std::move(answers), -1, std::string(), std::move(notice)};
}

std::size_t locateLoopYardstick(const DoubleArray& latitudes, const DoubleArray& longitudes,
                                const std::string& scaleName) {
    return overPoints(latitudes, longitudes, scaleName, sheetfind::python::locateOnly).second;
}

// The answer (None where no cell holds the point) and the notice of the shift made.
std::tuple<std::optional<std::string>, std::string> locateScalar(double latitude, double longitude,
                                                                 const std::string& scaleName,
                                                                 const std::string& datumName) {
    const Scale scale = scaleNamed(scaleName);
    const Datum datum = datumOf(datumName);
    const LatLon point{.latitude = latitude, .longitude = longitude};
    if (!sheetfind::needsShift(datum, scale)) {
        const auto reference = sheetref::locate(point, scale);
        return {reference ? std::optional(reference->text()) : std::nullopt, std::string()};
    }
    std::pair<std::pair<std::optional<Reference>, std::string>, std::string> shifted;
    {
        py::gil_scoped_release released;
        shifted = withSharedLocator(datum, [&](DatumLocator& locator) {
            auto reference = locator.locate(point, scale);
            return std::pair{std::move(reference), locator.failure()};
        });
    }
    auto& [located, notice] = shifted;
    auto& [reference, failure] = located;
    if (!failure.empty()) {
        throw InputErrorException(notShifted(failure));
    }
    return {reference ? std::optional(reference->text()) : std::nullopt, std::move(notice)};
}

std::tuple<double, double> readPoint(const std::string& text, bool longitudeFirst) {
    auto result = pointReader(longitudeFirst).read(text);
    if (const auto* failure = std::get_if<InputFailure>(&result)) {
        throw InputErrorException(described(*failure));
    }
    const auto point = std::get<LatLon>(result);
    return {point.latitude, point.longitude};
}

// The answers for every text, the index and message of the first bad one (-1 and ""
// when all are good), and the notice of the shift made. A bad text, or one whose point
// could not be shifted, gets "" and the others are still answered, so that the caller
// decides whether one bad text fails the whole call.
std::tuple<py::array, py::ssize_t, std::string, std::string>
locateTexts(const std::vector<std::string>& all, const std::string& scaleName, bool longitudeFirst,
            const std::string& datumName) {
    const Scale scale = scaleNamed(scaleName);
    const Datum datum = datumOf(datumName);
    py::array out = referenceArray(all.size(), scale);
    std::uint32_t* cells = codePoints(out);
    py::ssize_t firstBad = -1;
    std::string message;
    std::string notice;
    {
        py::gil_scoped_release released;
        std::vector<double> lat(all.size());
        std::vector<double> lon(all.size());
        for (std::size_t i = 0; i < all.size(); ++i) {
            auto result = pointReader(longitudeFirst).read(all[i]);
            if (const auto* failure = std::get_if<InputFailure>(&result)) {
                if (firstBad < 0) {
                    firstBad = static_cast<py::ssize_t>(i);
                    message = described(*failure);
                }
                lat[i] = std::numeric_limits<double>::quiet_NaN();
                lon[i] = lat[i];
            } else {
                lat[i] = std::get<LatLon>(result).latitude;
                lon[i] = std::get<LatLon>(result).longitude;
            }
        }
        auto [failed, shift] =
            locatePointsInto(lat.data(), lon.data(), all.size(), scale, datum, cells);
        notice = std::move(shift);
        if (failed && (firstBad < 0 || failed->index < static_cast<std::size_t>(firstBad))) {
            firstBad = static_cast<py::ssize_t>(failed->index);
            message = notShifted(failed->reason);
        }
    }
    return {out, firstBad, message, notice};
}

// The bytes of a Python buffer, read where they lie: LineReader copies them a block at
// a time as it would read a file.
class BufferSource : public sheetfind::ByteSource {
public:
    explicit BufferSource(std::string_view bytes) : m_bytes(bytes) {}
    std::ptrdiff_t read(char* data, std::size_t size) override {
        const std::size_t count = std::min(size, m_bytes.size());
        std::memcpy(data, m_bytes.data(), count);
        m_bytes.remove_prefix(count);
        return static_cast<std::ptrdiff_t>(count);
    }
    int error() const override { return 0; }

private:
    std::string_view m_bytes;
};

// Holds a buffer's bytes, one contiguous run of them, for as long as it lives. A
// strided or reversed view has no such run: PyBUF_SIMPLE refuses it rather than
// letting its bytes be read as if it had one.
class ContiguousBytes {
public:
    explicit ContiguousBytes(const py::handle& data) {
        if (PyObject_GetBuffer(data.ptr(), &m_view, PyBUF_SIMPLE) != 0) {
            PyErr_Clear();
            throw py::value_error("data must be str, bytes or a C-contiguous buffer; copy a "
                                  "strided or reversed view with bytes(view) first");
        }
    }
    ~ContiguousBytes() { PyBuffer_Release(&m_view); }
    ContiguousBytes(const ContiguousBytes&) = delete;
    ContiguousBytes& operator=(const ContiguousBytes&) = delete;

    std::string_view bytes() const {
        return {static_cast<const char*>(m_view.buf), static_cast<std::size_t>(m_view.len)};
    }

private:
    Py_buffer m_view{};
};

// Lines of points, as sheetfind-cli reads its standard input, into two arrays: a blank
// line or a # comment gives NaN, NaN (no cell) so that point i is always line i + 1.
// LineReader splits the lines, as it does for the tool: a byte order mark skipped,
// CRLF endings, the same length limit. The first bad line raises InputError naming
// its number, with the message sheetfind-cli gives for it.
std::tuple<DoubleArray, DoubleArray> readPoints(const py::object& data, bool longitudeFirst) {
    const ContiguousBytes buffer(data);
    const std::string_view text = buffer.bytes();
    // LineReader ends a line at each '\n', and after a last line without one.
    std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    if (!text.empty() && text.back() != '\n') {
        ++lines;
    }
    DoubleArray latitudes(static_cast<py::ssize_t>(lines));
    DoubleArray longitudes(static_cast<py::ssize_t>(lines));
    double* lat = latitudes.mutable_data();
    double* lon = longitudes.mutable_data();
    std::optional<sheetfind::RecordFailure> failed;
    std::size_t number = 0;
    bool overrun = false;
    {
        py::gil_scoped_release released;
        constexpr double kNoPoint = std::numeric_limits<double>::quiet_NaN();
        const sheetfind::PointReader& reader = pointReader(longitudeFirst);
        BufferSource source(text);
        sheetfind::LineReader splitter(source, {});
        sheetfind::InputLine line;
        while (!failed && splitter.next(line)) {
            if (number == lines) {
                overrun = true; // never written past the arrays, whatever the count missed
                break;
            }
            const std::size_t at = number++;
            lat[at] = kNoPoint;
            lon[at] = kNoPoint;
            if (line.tooLong) {
                failed = sheetfind::TableFailure{.error = sheetfind::TableError::LineTooLong,
                                                 .count = sheetfind::kMaxLineLength};
                break;
            }
            if (sheetfind::isBlankOrComment(line.text)) {
                continue;
            }
            // The tool's own reader, which settles two plain numbers in range first.
            auto result = reader.read(line.text);
            if (const auto* failure = std::get_if<InputFailure>(&result)) {
                failed = *failure;
            } else {
                lat[at] = std::get<LatLon>(result).latitude;
                lon[at] = std::get<LatLon>(result).longitude;
            }
        }
    }
    if (overrun || (!failed && number != lines)) {
        throw std::logic_error("read_points counted " + std::to_string(lines) +
                               " lines and LineReader gave another number");
    }
    if (failed) {
        const auto* input = std::get_if<InputFailure>(&*failed);
        throw InputErrorException(
            "line " + std::to_string(number) + ": " +
            (input != nullptr ? described(*input) : sheetfind::describe(*failed)));
    }
    return {latitudes, longitudes};
}

std::tuple<double, double, double, double> boundsOf(const std::string& text) {
    const auto box = sheetref::bounds(referenceOf(text));
    return {box.south, box.west, box.north, box.east};
}

// The edges come as texts so that a float and its text are read by the same rule as
// the command line tool's SOUTH WEST NORTH EAST, with the same messages.
// The box is in `datumName`'s degrees, shifted whole into the grid's, as sheetfind-cli
// shifts a box; the whole globe stays as it is. Returns the cells and the notice of the
// shift made (empty without one).
std::pair<std::vector<std::string>, std::string>
coverBox(const std::string& south, const std::string& west, const std::string& north,
         const std::string& east, const std::string& scaleName, const std::string& datumName) {
    const Scale scale = scaleNamed(scaleName);
    const Datum datum = datumOf(datumName);
    const auto numbers = sheetfind::NumberReader::named("C");
    const std::string* operands[] = {&south, &west, &north, &east};
    constexpr sheetfind::Field kEdges[] = {sheetfind::Field::South, sheetfind::Field::West,
                                           sheetfind::Field::North, sheetfind::Field::East};
    double edges[4] = {};
    for (std::size_t i = 0; i < 4; ++i) {
        auto edge = sheetfind::readEdge(numbers, *operands[i], kEdges[i]);
        if (const auto* failure = std::get_if<InputFailure>(&edge)) {
            throw InputErrorException(described(*failure));
        }
        edges[i] = std::get<double>(edge);
    }
    sheetref::Bounds box{.south = edges[0], .north = edges[2], .west = edges[1], .east = edges[3]};
    if (const auto failure = sheetref::checkBox(box)) {
        throw InputErrorException(sheetref::describe(*failure));
    }
    constexpr sheetref::Bounds kWholeGlobe{.south = -90, .north = 90, .west = -180, .east = 180};
    std::string notice;
    if (box != kWholeGlobe && sheetfind::needsShift(datum, scale)) {
        auto [shifted, told] = withSharedLocator(datum, [&](DatumLocator& locator) {
            auto inGrid = locator.boxInGridDatum(box, scale);
            if (!inGrid) {
                throw InputErrorException("the box could not be shifted: " + locator.failure());
            }
            return *inGrid;
        });
        box = shifted;
        notice = std::move(told);
    }
    const auto result = sheetref::cover(box, scale);
    if (const auto* failure = std::get_if<sheetref::BoxFailure>(&result)) {
        throw InputErrorException(sheetref::describe(*failure));
    }
    return {texts(std::get<std::vector<Reference>>(result)), std::move(notice)};
}

} // namespace

PYBIND11_MODULE(_sheetfind, m) {
    m.doc() = "The NTS grid of Canada, BC's BCGS and its PNG grid, compiled; use the sheetfind "
              "package instead.";
    py::register_exception<InputErrorException>(m, "InputError", PyExc_ValueError);
    m.attr("CELL_SEPARATOR") = std::string(1, sheetfind::kCellSeparator);
    m.def("locate_scalar", &locateScalar, py::arg("lat"), py::arg("lon"), py::arg("scale"),
          py::arg("datum") = "NAD83");
    m.def("locate_array", &locateArray, py::arg("lat"), py::arg("lon"), py::arg("scale"),
          py::arg("datum") = "NAD83");
    m.def("_locate_loop_yardstick", &locateLoopYardstick,
          "locate() on every point into a fresh array of answers, without writing the texts: the "
          "floor for locate_array, for the benchmarks.");
    m.def("read_point", &readPoint, py::arg("text"), py::arg("lon_first") = false);
    m.def("locate_texts", &locateTexts, py::arg("texts"), py::arg("scale"),
          py::arg("lon_first") = false, py::arg("datum") = "NAD83");
    m.def("read_points", &readPoints, py::arg("data"), py::arg("lon_first") = false);
    m.def("bounds", &boundsOf);
    m.def("parse", [](const std::string& text) { return referenceOf(text).text(); });
    m.def("neighbours",
          [](const std::string& text) { return texts(sheetref::neighbours(referenceOf(text))); });
    m.def("cover_box", &coverBox);
    m.def("sort_references", [](const std::vector<std::string>& all) {
        std::vector<Reference> references;
        references.reserve(all.size());
        for (const auto& text : all) {
            references.push_back(referenceOf(text));
        }
        std::sort(references.begin(), references.end());
        references.erase(std::unique(references.begin(), references.end()), references.end());
        return texts(references);
    });
    m.def("scales", [] {
        std::vector<std::string> names;
        for (const Scale scale : sheetref::kScales) {
            names.emplace_back(sheetref::scaleShortName(scale));
        }
        return names;
    });
    m.def("is_bcgs", [](const std::string& name) { return sheetref::isBcgs(scaleNamed(name)); });
    m.def("is_png", [](const std::string& name) { return sheetref::isPng(scaleNamed(name)); });
    m.def("scale_name", [](const std::string& name) {
        return std::string(sheetref::scaleName(scaleNamed(name)));
    });
    m.def("column_name",
          [](const std::string& name) { return sheetfind::sheetColumnName(scaleNamed(name)); });
    // For a scale that is not even a text: the package names the argument and its type,
    // then says what a scale is as the grid says it.
    m.def("describe_unknown_scale",
          [](const std::string& name) { return sheetref::describeUnknownScale(name); });
    m.def("describe_unknown_datum",
          [](const std::string& name) { return sheetfind::describeUnknownDatum(name); });
}
