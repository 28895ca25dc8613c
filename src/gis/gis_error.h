// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// What can go wrong with GIS sources, geometries and layers. describe() writes each
// message once; none names an option of any program. Where the user can set
// something right, a failure says what (its Advice), and each face words that in its
// own terms: an option of sheetfind-cli, a parameter in Python.
namespace sheetfind::gis {

// What the user can do about a failure.
enum class Advice {
    None,
    AssumeCrs,    // give the CRS of a layer that has none
    ChooseLayer,  // name one of the source's layers
    NameColumn,   // name another field for the sheet
    ChooseDriver, // name the output's format (a GDAL driver)
};

// A geometry, a layer or a CRS that cannot give cells.
enum class GisError {
    NoCrs,              // a layer that says nothing of its coordinate system; `text` names it
    BadCrs,             // a CRS given as text that GDAL cannot read; `text` is it
    NotWkt,             // a text that is not a WKT geometry; `detail` says what GDAL read
    NotWkb,             // bytes that are not a WKB geometry; `detail` says what GDAL read
    NotTransformable,   // a geometry that cannot be brought to longitude and latitude
    BadGeometry,        // a geometry whose coordinates are not degrees; `detail` says where
    LostByFormat,       // features the chosen output format cannot hold; `detail` says which
    UnreadableGeometry, // a feature's geometry GDAL could not read; `detail` says why
};

struct GisFailure {
    GisError error;
    std::string text;
    std::string detail;

    bool operator==(const GisFailure&) const = default;
};

// One English sentence, with no prefix and no final newline, e.g.
//   the layer "survey" has no coordinate reference system
std::string describe(const GisFailure& failure);

Advice adviceFor(const GisFailure& failure);

// Why a GIS operation stopped before it was done.
struct Stop {
    enum class Kind {
        Usage, // what was asked cannot work (no such layer, an output that exists...)
        Io,    // a source that cannot be read or an output that cannot be written
        Input, // the data itself: `failure`
    };
    Kind kind;
    std::string message; // for Usage and Io: a sentence naming the file or the layer
    Advice advice = Advice::None;
    GisFailure failure{GisError::BadGeometry, {}, {}}; // for Input

    static Stop usage(std::string message, Advice advice = Advice::None) {
        return {Kind::Usage, std::move(message), advice};
    }
    static Stop io(std::string message) { return {Kind::Io, std::move(message)}; }
    static Stop input(GisFailure failure) {
        const Advice advice = adviceFor(failure);
        return {Kind::Input, describe(failure), advice, std::move(failure)};
    }
};

} // namespace sheetfind::gis
