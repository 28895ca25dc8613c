// SPDX-License-Identifier: MIT
#include "datum.h"

#include "grid.h"

#ifdef SHEETFIND_WITH_PROJ
#include <proj.h>
#endif

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <utility>

namespace sheetfind {
namespace {

constexpr std::string_view kNad83Crs = "EPSG:4269";
constexpr std::string_view kNad27Crs = "EPSG:4267";
// The grid that makes NAD27 to NAD83 exact to centimetres in Canada.
constexpr std::string_view kCanadianGrid = "ca_nrc_ntv2_0.tif";

// The datum a grid is drawn in, where NAD83 and WGS 84 count as one.
Datum family(Datum datum) {
    return datum == Datum::Nad27 ? Datum::Nad27 : Datum::Nad83;
}

} // namespace

std::optional<Datum> datumNamed(std::string_view name) {
    std::string key;
    for (const char ch : name) {
        if (ch != ' ' && ch != '-' && ch != '_') {
            key += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
    }
    if (key == "NAD83" || key == "EPSG:4269" || key == "4269") {
        return Datum::Nad83;
    }
    if (key == "WGS84" || key == "EPSG:4326" || key == "4326") {
        return Datum::Wgs84;
    }
    if (key == "NAD27" || key == "EPSG:4267" || key == "4267") {
        return Datum::Nad27;
    }
    return std::nullopt;
}

std::string describeUnknownDatum(std::string_view name) {
    return "unknown datum \"" + std::string(name) + "\"; expected NAD83, NAD27 or WGS84";
}

std::string_view datumName(Datum datum) {
    switch (datum) {
    case Datum::Nad83:
        return "NAD83";
    case Datum::Wgs84:
        return "WGS84";
    case Datum::Nad27:
        break;
    }
    return "NAD27";
}

Datum gridDatum(sheetref::Scale scale) {
    return sheetref::isPng(scale) ? Datum::Nad27 : Datum::Nad83;
}

bool needsShift(Datum datum, sheetref::Scale scale) {
    return family(datum) != gridDatum(scale);
}

#ifdef SHEETFIND_WITH_PROJ
// A PROJ transformation between the two families, made once and kept.
struct DatumLocator::Shift {
    Datum to;
    PJ_CONTEXT* context = nullptr;
    PJ* transformation = nullptr;
    std::string used;     // the operation's name, once a point went through
    double accuracy = -1; // its accuracy in metres; negative where unknown

    ~Shift() {
        proj_destroy(transformation);
        proj_context_destroy(context);
    }
};

#else
// This build has no PROJ: a point that needs a shift is refused.
struct DatumLocator::Shift {
    Datum to;
    std::string used;
    double accuracy = -1;
};
#endif

DatumLocator::DatumLocator(Datum datum) : m_datum(datum) {}
DatumLocator::~DatumLocator() = default;
DatumLocator::DatumLocator(DatumLocator&&) noexcept = default;
DatumLocator& DatumLocator::operator=(DatumLocator&&) noexcept = default;

std::optional<sheetref::LatLon> DatumLocator::inGridDatum(sheetref::LatLon point,
                                                          sheetref::Scale scale) {
    m_failure.clear();
    const Datum to = gridDatum(scale);
    if (!needsShift(m_datum, scale)) {
        return point;
    }
    if (!std::isfinite(point.latitude) || !std::isfinite(point.longitude)) {
        return std::nullopt;
    }
#ifndef SHEETFIND_WITH_PROJ
    m_failure = "this build cannot shift points from " + std::string(datumName(m_datum)) + " to " +
                std::string(datumName(to)) + ", which the grid at " +
                std::string(sheetref::scaleShortName(scale)) + " is drawn in: give points in " +
                std::string(datumName(to));
    return std::nullopt;
#else
    if (!m_shift || m_shift->to != to) {
        m_shift = std::make_unique<Shift>();
        m_shift->to = to;
        m_shift->context = proj_context_create();
        const std::string from(to == Datum::Nad27 ? kNad83Crs : kNad27Crs);
        const std::string into(to == Datum::Nad27 ? kNad27Crs : kNad83Crs);
        PJ* made = proj_create_crs_to_crs(m_shift->context, from.c_str(), into.c_str(), nullptr);
        // Longitude first, whatever the order the EPSG definitions give.
        m_shift->transformation =
            made != nullptr ? proj_normalize_for_visualization(m_shift->context, made) : nullptr;
        proj_destroy(made);
    }
    if (m_shift->transformation == nullptr) {
        m_failure = "PROJ cannot shift points from " + std::string(datumName(m_datum)) + " to " +
                    std::string(datumName(to)) + "; is proj-data installed?";
        return std::nullopt;
    }
    const PJ_COORD shifted = proj_trans(m_shift->transformation, PJ_FWD,
                                        proj_coord(point.longitude, point.latitude, 0, 0));
    if (!std::isfinite(shifted.lp.lam) || !std::isfinite(shifted.lp.phi) ||
        shifted.lp.lam == HUGE_VAL) {
        m_failure = "PROJ could not shift the point from " + std::string(datumName(m_datum)) +
                    " to " + std::string(datumName(to));
        return std::nullopt;
    }
    if (m_shift->used.empty()) {
        if (PJ* used = proj_trans_get_last_used_operation(m_shift->transformation)) {
            const char* name = proj_get_name(used);
            m_shift->used = name != nullptr ? name : "an unnamed transformation";
            m_shift->accuracy = proj_coordoperation_get_accuracy(m_shift->context, used);
            proj_destroy(used);
        }
    }
    return sheetref::LatLon{.latitude = shifted.lp.phi, .longitude = shifted.lp.lam};
#endif
}

std::optional<sheetref::Reference> DatumLocator::locate(sheetref::LatLon point,
                                                        sheetref::Scale scale) {
    const std::optional<sheetref::LatLon> inGrid = inGridDatum(point, scale);
    if (!inGrid) {
        return std::nullopt;
    }
    return sheetref::locate(*inGrid, scale);
}

DatumLocator::Located DatumLocator::locateFlagged(sheetref::LatLon point, sheetref::Scale scale) {
    const std::optional<sheetref::LatLon> inGrid = inGridDatum(point, scale);
    if (!inGrid) {
        return {};
    }
    Located located{.cell = sheetref::locate(*inGrid, scale)};
    const double accuracy = accuracyMetres();
    if (accuracy == 0) {
        return located;
    }
    // A point within `reach` of a cell line is answered differently on one side of it:
    // the nearest line crosses one of the four steps north, south, east and west.
    constexpr double kMetresPerDegree = 111'320; // a degree of latitude, to within 1 %
    const double reach = (accuracy < 0 ? kUnknownAccuracyMetres : accuracy) / kMetresPerDegree;
    const double cosLatitude = std::cos(inGrid->latitude * std::numbers::pi / 180);
    const double across = cosLatitude > 1e-9 ? reach / cosLatitude : 360;
    for (const auto& [north, east] :
         {std::pair{reach, 0.0}, {-reach, 0.0}, {0.0, across}, {0.0, -across}}) {
        const auto beside = sheetref::locate(
            {.latitude = inGrid->latitude + north, .longitude = inGrid->longitude + east}, scale);
        if (beside != located.cell) {
            located.uncertain = true;
            break;
        }
    }
    return located;
}

std::optional<sheetref::Bounds> DatumLocator::boxInGridDatum(const sheetref::Bounds& box,
                                                             sheetref::Scale scale) {
    if (family(m_datum) == gridDatum(scale)) {
        return box;
    }
    // A shift bends straight edges by far less than a metre over a step of this many.
    constexpr int kSteps = 64;
    std::optional<sheetref::Bounds> out;
    for (int i = 0; i <= kSteps; ++i) {
        const double t = static_cast<double>(i) / kSteps;
        const double latitude = box.south + (box.north - box.south) * t;
        const double longitude = box.west + (box.east - box.west) * t;
        for (const sheetref::LatLon& edge :
             {sheetref::LatLon{box.south, longitude}, sheetref::LatLon{box.north, longitude},
              sheetref::LatLon{latitude, box.west}, sheetref::LatLon{latitude, box.east}}) {
            const auto shifted = inGridDatum(edge, scale);
            if (!shifted) {
                return std::nullopt;
            }
            if (!out) {
                out = sheetref::Bounds{.south = shifted->latitude,
                                       .north = shifted->latitude,
                                       .west = shifted->longitude,
                                       .east = shifted->longitude};
            }
            out->south = std::max(-90.0, std::min(out->south, shifted->latitude));
            out->north = std::min(90.0, std::max(out->north, shifted->latitude));
            out->west = std::max(-180.0, std::min(out->west, shifted->longitude));
            out->east = std::min(180.0, std::max(out->east, shifted->longitude));
        }
    }
    return out;
}

void DatumLocator::forgetNotice() {
    if (m_shift) {
        m_shift->used.clear();
        m_shift->accuracy = -1;
    }
}

double DatumLocator::accuracyMetres() const {
    if (!m_shift || m_shift->used.empty()) {
        return 0;
    }
    return m_shift->accuracy;
}

std::string DatumLocator::notice() const {
    if (!m_shift || m_shift->used.empty()) {
        return {};
    }
    const bool toNad27 = m_shift->to == Datum::Nad27;
    std::string text = "points were shifted from " +
                       std::string(toNad27 ? datumName(m_datum) : "NAD27") + " to " +
                       std::string(toNad27 ? "NAD27" : "NAD83") + " by \"" + m_shift->used + "\"";
    if (m_shift->accuracy >= 0) {
        char metres[32];
        std::snprintf(metres, sizeof metres, "%g", m_shift->accuracy);
        text += ", accurate to " + std::string(metres) + " m";
    } else {
        text += ", of unknown accuracy (a coarse fallback)";
    }
    if (m_shift->accuracy < 0 || m_shift->accuracy > 0.1) {
        text += "; answers that close to a cell line may be off. For centimetres install Canada's "
                "grid " +
                std::string(kCanadianGrid) + ": projsync --file " + std::string(kCanadianGrid) +
                ", or copy it into ~/.local/share/proj";
    }
    return text;
}

} // namespace sheetfind
