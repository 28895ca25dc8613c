// SPDX-License-Identifier: MIT
#include "datum.h"

#include "grid.h"
#include "quote.h"

#ifdef SHEETFIND_WITH_PROJ
#include <proj.h>
#ifdef SHEETFIND_PROJ_LINKED
#include <windows.h>

#include "windows_text.h"
#else
#include <dlfcn.h>
#endif
#endif

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <type_traits>
#include <utility>

namespace sheetfind {
namespace {

constexpr std::string_view kNad83Crs = "EPSG:4269";
constexpr std::string_view kNad27Crs = "EPSG:4267";
// The grid that makes NAD27 to NAD83 exact to centimetres in Canada.
constexpr std::string_view kCanadianGrid = "ca_nrc_ntv2_0.tif";
// How to install it: where PROJ looks for a user's grids on this platform, and how
// they get there. Windows has no projsync: the grid is downloaded by hand.
#ifdef _WIN32
constexpr std::string_view kGridAdvice =
    ": download https://cdn.proj.org/ca_nrc_ntv2_0.tif into %LOCALAPPDATA%\\proj";
#else
constexpr std::string_view kGridAdvice =
    ": projsync --file ca_nrc_ntv2_0.tif, or copy it into ~/.local/share/proj";
#endif

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
    return "unknown datum " + sheetref::quoteText(name) + "; expected NAD83, NAD27 or WGS84";
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

bool projNetworkAsked() {
    const char* asked = std::getenv("PROJ_NETWORK");
    return asked != nullptr && (std::string_view(asked) == "ON" || std::string_view(asked) == "on");
}

std::vector<std::string> projDataFolders() {
#ifdef SHEETFIND_PROJ_LINKED
    static const std::vector<std::string> folders = [] {
        std::wstring program(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length =
                GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
            if (length < program.size()) {
                program.resize(length);
                break;
            }
            program.resize(program.size() * 2);
        }
        const std::size_t slash = program.find_last_of(L"\\/");
        const std::wstring beside = program.substr(0, slash == std::wstring::npos ? 0 : slash + 1);
        return std::vector<std::string>{utf8(beside + L"proj"),
                                        proj_context_get_user_writable_directory(nullptr, 0)};
    }();
    return folders;
#else
    return {};
#endif
}

Datum gridDatum(sheetref::Scale scale) {
    return sheetref::isPng(scale) ? Datum::Nad27 : Datum::Nad83;
}

bool needsShift(Datum datum, sheetref::Scale scale) {
    return family(datum) != gridDatum(scale);
}

#ifdef SHEETFIND_WITH_PROJ
namespace {

// PROJ, loaded when a first point needs a shift rather than with the program: its
// library and the forty others it brings (TIFF, SQLite, curl and their TLS) took three
// times as long to load as the rest of sheetfind-cli takes to answer a point.
struct ProjLibrary {
    decltype(&proj_context_create) contextCreate = nullptr;
    decltype(&proj_context_set_enable_network) enableNetwork = nullptr;
    decltype(&proj_context_destroy) contextDestroy = nullptr;
    decltype(&proj_create_crs_to_crs) createCrsToCrs = nullptr;
    decltype(&proj_normalize_for_visualization) normalizeForVisualization = nullptr;
    decltype(&proj_destroy) destroy = nullptr;
    decltype(&proj_trans) trans = nullptr;
    decltype(&proj_trans_get_last_used_operation) lastUsedOperation = nullptr;
    decltype(&proj_get_name) getName = nullptr;
    decltype(&proj_coordoperation_get_accuracy) accuracy = nullptr;
    std::string failure; // why it could not be loaded; empty once it is
};

#ifdef SHEETFIND_PROJ_LINKED
// PROJ is linked in (Windows, where every library is static) and finds its database
// and grids where projDataFolders() says, not where it was built.
const ProjLibrary& proj() {
    static const ProjLibrary linked{
        .contextCreate =
            [] {
                PJ_CONTEXT* context = proj_context_create();
                const std::vector<std::string> folders = projDataFolders();
                std::vector<const char*> paths;
                for (const std::string& folder : folders) {
                    paths.push_back(folder.c_str());
                }
                proj_context_set_search_paths(context, static_cast<int>(paths.size()),
                                              paths.data());
                return context;
            },
        .enableNetwork = proj_context_set_enable_network,
        .contextDestroy = proj_context_destroy,
        .createCrsToCrs = proj_create_crs_to_crs,
        .normalizeForVisualization = proj_normalize_for_visualization,
        .destroy = proj_destroy,
        .trans = proj_trans,
        .lastUsedOperation = proj_trans_get_last_used_operation,
        .getName = proj_get_name,
        .accuracy = proj_coordoperation_get_accuracy};
    return linked;
}
#else
const ProjLibrary& proj() {
    static const ProjLibrary loaded = [] {
        ProjLibrary library;
        void* handle = ::dlopen(SHEETFIND_PROJ_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        const auto take = [handle](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                ::dlsym(handle, name));
            return function != nullptr;
        };
        if (handle == nullptr ||
            !(take(library.contextCreate, "proj_context_create") &&
              take(library.enableNetwork, "proj_context_set_enable_network") &&
              take(library.contextDestroy, "proj_context_destroy") &&
              take(library.createCrsToCrs, "proj_create_crs_to_crs") &&
              take(library.normalizeForVisualization, "proj_normalize_for_visualization") &&
              take(library.destroy, "proj_destroy") && take(library.trans, "proj_trans") &&
              take(library.lastUsedOperation, "proj_trans_get_last_used_operation") &&
              take(library.getName, "proj_get_name") &&
              take(library.accuracy, "proj_coordoperation_get_accuracy"))) {
            const char* reason = ::dlerror();
            library.failure = "PROJ (" + std::string(SHEETFIND_PROJ_LIBRARY) +
                              "), which shifts points between datums, could not be loaded: " +
                              (reason != nullptr ? reason : "a function is missing");
        }
        return library;
    }();
    return loaded;
}
#endif

// A context for PROJ, its network off unless the user asked PROJ for it in this run
// (PROJ_NETWORK=ON): a grid server that never answers would hang every shift, and a
// proj.ini that turns the network on is not a question asked of this program.
PJ_CONTEXT* newContext() {
    PJ_CONTEXT* context = proj().contextCreate();
    proj().enableNetwork(context, projNetworkAsked() ? 1 : 0);
    return context;
}

// Why a shift failed: PROJ had no operation (its database missing), or the point did not
// go through it.
std::string noShift(std::string_view from, std::string_view to) {
    return "PROJ cannot shift points from " + std::string(from) + " to " + std::string(to) +
           "; is proj-data installed?";
}

std::string pointNotShifted(std::string_view from, std::string_view to) {
    return "PROJ could not shift the point from " + std::string(from) + " to " + std::string(to);
}

// The one PROJ operation between the two families, into `to` (NAD27 or NAD83) from the
// other, longitude first whatever the order the EPSG definitions give; null where PROJ
// has none.
PJ* shiftInto(PJ_CONTEXT* context, Datum to) {
    const std::string from(to == Datum::Nad27 ? kNad83Crs : kNad27Crs);
    const std::string into(to == Datum::Nad27 ? kNad27Crs : kNad83Crs);
    PJ* made = proj().createCrsToCrs(context, from.c_str(), into.c_str(), nullptr);
    PJ* normalized = made != nullptr ? proj().normalizeForVisualization(context, made) : nullptr;
    proj().destroy(made);
    return normalized;
}

// The point through the operation, or nullopt where PROJ could not shift it.
std::optional<sheetref::LatLon> shifted(PJ* transformation, PJ_DIRECTION direction,
                                        sheetref::LatLon point) {
    PJ_COORD in{};
    in.lpzt = {.lam = point.longitude, .phi = point.latitude, .z = 0, .t = 0};
    const PJ_COORD out = proj().trans(transformation, direction, in);
    if (!std::isfinite(out.lp.lam) || !std::isfinite(out.lp.phi) || out.lp.lam == HUGE_VAL) {
        return std::nullopt;
    }
    return sheetref::LatLon{.latitude = out.lp.phi, .longitude = out.lp.lam};
}

} // namespace

// An operation PROJ shifted a point by.
struct UsedOperation {
    std::string name;
    double accuracy = -1; // in metres; negative where unknown
};

// A PROJ transformation between the two families, made once and kept. PROJ picks one
// of its operations for each point by where the point lies.
struct DatumLocator::Shift {
    Datum to;
    PJ_CONTEXT* context = nullptr;
    PJ* transformation = nullptr;
    std::vector<UsedOperation> used; // since forgetNotice(), in the order first used
    std::size_t last = 0;            // the one that shifted the last point

    ~Shift() {
        if (context != nullptr) {
            proj().destroy(transformation);
            proj().contextDestroy(context);
        }
    }
};

#else
// This build has no PROJ: a point that needs a shift is refused.
struct UsedOperation {
    std::string name;
    double accuracy = -1;
};
struct DatumLocator::Shift {
    Datum to;
    std::vector<UsedOperation> used;
    std::size_t last = 0;
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
    if (!proj().failure.empty()) {
        m_failure = proj().failure;
        return std::nullopt;
    }
    if (!m_shift || m_shift->to != to) {
        m_shift = std::make_unique<Shift>();
        m_shift->to = to;
        m_shift->context = newContext();
        m_shift->transformation = shiftInto(m_shift->context, to);
    }
    if (m_shift->transformation == nullptr) {
        m_failure = noShift(datumName(m_datum), datumName(to));
        return std::nullopt;
    }
    const std::optional<sheetref::LatLon> inGrid = shifted(m_shift->transformation, PJ_FWD, point);
    if (!inGrid) {
        m_failure = pointNotShifted(datumName(m_datum), datumName(to));
        return std::nullopt;
    }
    // Each point is judged by the operation that moved it.
    if (PJ* used = proj().lastUsedOperation(m_shift->transformation)) {
        const char* named = proj().getName(used);
        const std::string_view name = named != nullptr ? named : "an unnamed transformation";
        const auto known =
            std::find_if(m_shift->used.begin(), m_shift->used.end(),
                         [&](const UsedOperation& operation) { return operation.name == name; });
        m_shift->last = static_cast<std::size_t>(known - m_shift->used.begin());
        if (known == m_shift->used.end()) {
            m_shift->used.push_back(UsedOperation{
                .name = std::string(name), .accuracy = proj().accuracy(m_shift->context, used)});
        }
        proj().destroy(used);
    }
    return inGrid;
#endif
}

std::optional<sheetref::Reference> DatumLocator::locate(sheetref::LatLon point,
                                                        sheetref::Scale scale) {
    if (!needsShift(m_datum, scale)) {
        // The batch path: no shift, and nothing to fail.
        m_failure.clear();
        return sheetref::locate(point, scale);
    }
    const std::optional<sheetref::LatLon> inGrid = inGridDatum(point, scale);
    if (!inGrid) {
        return std::nullopt;
    }
    return sheetref::locate(*inGrid, scale);
}

bool nearCellLine(sheetref::LatLon point, sheetref::Scale scale, double metres) {
    if (!(metres > 0)) {
        return false;
    }
    // A point within `metres` of a cell line is answered differently on the other side
    // of it: the nearest line crosses one of the four steps north, south, east and west.
    constexpr double kMetresPerDegree = 111'320; // a degree of latitude, to within 1 %
    const double reach = metres / kMetresPerDegree;
    const double cosLatitude = std::cos(point.latitude * std::numbers::pi / 180);
    const double across = cosLatitude > 1e-9 ? reach / cosLatitude : 360;
    const auto cell = sheetref::locate(point, scale);
    for (const auto& [north, east] :
         {std::pair{reach, 0.0}, {-reach, 0.0}, {0.0, across}, {0.0, -across}}) {
        if (sheetref::locate(
                {.latitude = point.latitude + north, .longitude = point.longitude + east}, scale) !=
            cell) {
            return true;
        }
    }
    return false;
}

DatumLocator::Located DatumLocator::locateFlagged(sheetref::LatLon point, sheetref::Scale scale) {
    const std::optional<sheetref::LatLon> inGrid = inGridDatum(point, scale);
    if (!inGrid) {
        return {};
    }
    return {.cell = sheetref::locate(*inGrid, scale),
            .uncertain = nearCellLine(*inGrid, scale, reachMetres())};
}

std::optional<sheetref::Bounds> DatumLocator::boxInGridDatum(const sheetref::Bounds& box,
                                                             sheetref::Scale scale) {
    if (!needsShift(m_datum, scale)) {
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
        m_shift->last = 0;
    }
}

std::size_t DatumLocator::operationsUsed() const {
    return m_shift ? m_shift->used.size() : 0;
}

double DatumLocator::reachMetres() const {
    const double accuracy = accuracyMetres();
    return accuracy < 0 ? kUnknownAccuracyMetres : accuracy;
}

double DatumLocator::accuracyMetres() const {
    if (!m_shift || m_shift->used.empty()) {
        return 0;
    }
    return m_shift->used[m_shift->last].accuracy;
}

std::string DatumLocator::notice() const {
    if (!m_shift || m_shift->used.empty()) {
        return {};
    }
    const bool toNad27 = m_shift->to == Datum::Nad27;
    std::string text = "points were shifted from " +
                       std::string(toNad27 ? datumName(m_datum) : "NAD27") + " to " +
                       std::string(toNad27 ? "NAD27" : "NAD83");
    bool coarse = false;
    for (std::size_t i = 0; i < m_shift->used.size(); ++i) {
        const UsedOperation& operation = m_shift->used[i];
        text += std::string(i == 0 ? "" : ", and") + " by \"" + operation.name + "\"";
        if (operation.accuracy >= 0) {
            char metres[32];
            std::snprintf(metres, sizeof metres, "%g", operation.accuracy);
            text += ", accurate to " + std::string(metres) + " m";
        } else {
            text += ", of unknown accuracy (a coarse fallback)";
        }
        coarse = coarse || operation.accuracy < 0 || operation.accuracy > 0.1;
    }
    if (coarse) {
        text += "; answers that close to a cell line may be off. For centimetres install Canada's "
                "grid " +
                std::string(kCanadianGrid) + std::string(kGridAdvice);
    }
    return text;
}

#ifdef SHEETFIND_WITH_PROJ
struct GridDatumShift::Shift {
    PJ_CONTEXT* context = newContext();
    PJ* transformation = shiftInto(context, Datum::Nad27); // NAD83 to NAD27

    ~Shift() {
        proj().destroy(transformation);
        proj().contextDestroy(context);
    }
};
#else
struct GridDatumShift::Shift {};
#endif

GridDatumShift::GridDatumShift() = default;
GridDatumShift::~GridDatumShift() = default;
GridDatumShift::GridDatumShift(GridDatumShift&&) noexcept = default;
GridDatumShift& GridDatumShift::operator=(GridDatumShift&&) noexcept = default;

std::optional<sheetref::LatLon> GridDatumShift::shift(sheetref::LatLon point, bool toNad83) {
    const std::string_view from = datumName(toNad83 ? Datum::Nad27 : Datum::Nad83);
    const std::string_view to = datumName(toNad83 ? Datum::Nad83 : Datum::Nad27);
    if (!std::isfinite(point.latitude) || !std::isfinite(point.longitude)) {
        m_failure = "a point that is not a number cannot be shifted";
        return std::nullopt;
    }
#ifndef SHEETFIND_WITH_PROJ
    m_failure =
        "this build cannot shift points from " + std::string(from) + " to " + std::string(to);
    return std::nullopt;
#else
    if (!proj().failure.empty()) {
        m_failure = proj().failure;
        return std::nullopt;
    }
    if (!m_shift) {
        m_shift = std::make_unique<Shift>();
    }
    if (m_shift->transformation == nullptr) {
        m_failure = noShift(from, to);
        return std::nullopt;
    }
    auto out = shifted(m_shift->transformation, toNad83 ? PJ_INV : PJ_FWD, point);
    if (!out) {
        m_failure = pointNotShifted(from, to);
    }
    return out;
#endif
}

std::optional<sheetref::LatLon> GridDatumShift::toNad83(sheetref::LatLon point,
                                                        sheetref::Scale scale) {
    m_failure.clear();
    return gridDatum(scale) == Datum::Nad83 ? point : shift(point, true);
}

} // namespace sheetfind
