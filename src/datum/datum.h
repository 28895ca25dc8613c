// SPDX-License-Identifier: MIT
#pragma once

#include "grid.h"
#include "lat_lon.h"
#include "reference.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Which datum a point's degrees are in, and the one place they are shifted into the
// datum of the grid asked for: NAD27 for BC's petroleum and natural gas grid, NAD83
// for the NTS and the BCGS. Shifts go through PROJ, which picks the best
// transformation installed: with Canada's NTv2 grid (ca_nrc_ntv2_0.tif) centimetres,
// without it a coarse one. NAD83 and WGS 84 agree within a metre or two in Canada and
// are taken as one. A point already in the grid's datum never reaches PROJ.
namespace sheetfind {

enum class Datum { Nad83, Wgs84, Nad27 };

// "NAD83", "WGS84", "NAD27" in any case, with or without a space or dash ("NAD 27",
// "WGS-84"), or their EPSG codes 4269, 4326 and 4267; nullopt for anything else.
std::optional<Datum> datumNamed(std::string_view name);

// Why datumNamed gave nullopt, as every face says it, the name quoted by quoteText:
//   unknown datum "ED50"; expected NAD83, NAD27 or WGS84
std::string describeUnknownDatum(std::string_view name);

// "NAD83", "WGS84" or "NAD27".
std::string_view datumName(Datum datum);

// Where PROJ looks for its database (proj.db) and for grids, in every PROJ context the
// program makes, GDAL's included. On Windows: the folder "proj" beside the program,
// which the installer and the ZIP fill, then the user's own folder
// (%LOCALAPPDATA%\proj, where the notice says to put Canada's grid). Empty elsewhere,
// where PROJ's own search serves (its package's data, then ~/.local/share/proj).
std::vector<std::string> projDataFolders();

// Whether the user asked PROJ for its network of grids in this run (PROJ_NETWORK=ON).
// Every PROJ context the program makes, GDAL's included, has the network off
// otherwise, whatever a proj.ini says: a server that never answers would hang a run.
bool projNetworkAsked();

// The datum the grid at `scale` is drawn in.
Datum gridDatum(sheetref::Scale scale);

// Whether points in `datum` are shifted before the grid at `scale` places them; false
// wherever they are already in its datum, NAD83 and WGS 84 being one.
bool needsShift(Datum datum, sheetref::Scale scale);

// Whether `point`, in the grid's datum, lies closer than `metres` to a line of the cell
// at `scale` that holds it, or to the edge of the grid: a shift that far off may have
// put it in the cell beside.
bool nearCellLine(sheetref::LatLon point, sheetref::Scale scale, double metres);

// Locates points given in one datum at any scale, shifting each into the grid's datum
// where the two differ. Not for use from several threads at once.
class DatumLocator {
public:
    explicit DatumLocator(Datum datum = Datum::Nad83);
    ~DatumLocator();
    DatumLocator(DatumLocator&&) noexcept;
    DatumLocator& operator=(DatumLocator&&) noexcept;

    Datum datum() const { return m_datum; }

    // The cell at `scale` that holds the point; nullopt where none does, or where the
    // point could not be shifted (then failure() says why).
    std::optional<sheetref::Reference> locate(sheetref::LatLon point, sheetref::Scale scale);

    // As locate, and whether the answer is uncertain: the shifted point lies closer to
    // a line of its cell than the shift's accuracy, so that the cell beside it (or no
    // cell, at the edge of the grid) may be the true one. Never uncertain without a
    // shift; a shift of unknown accuracy counts as kUnknownAccuracyMetres.
    struct Located {
        std::optional<sheetref::Reference> cell;
        bool uncertain = false;
    };
    Located locateFlagged(sheetref::LatLon point, sheetref::Scale scale);

    // What a shift of unknown accuracy is taken to be: about the largest NAD27 to NAD83
    // difference in Canada.
    static constexpr double kUnknownAccuracyMetres = 200;

    // The box of the grid's datum that holds `box` shifted: every point of its edges,
    // walked in small steps, is inside. nullopt where a point could not be shifted.
    std::optional<sheetref::Bounds> boxInGridDatum(const sheetref::Bounds& box,
                                                   sheetref::Scale scale);

    // The point in the datum of the grid at `scale`.
    std::optional<sheetref::LatLon> inGridDatum(sheetref::LatLon point, sheetref::Scale scale);

    // Why the last shift failed, or empty.
    const std::string& failure() const { return m_failure; }

    // After a shift: one paragraph saying which transformations PROJ used, each with its
    // accuracy, and how to install Canada's grid when one is coarse; empty when nothing
    // was shifted. PROJ picks one for each point by where it lies. Example: "points were
    // shifted from NAD83 to NAD27 by "Inverse of NAD27 to NAD83 (4)", accurate to 1.5 m".
    std::string notice() const;
    // How many transformations notice() names: a program that tells it as it goes
    // tells it again when a new one is used.
    std::size_t operationsUsed() const;

    // Forgets which transformations were used, so that notice() speaks of the points
    // shifted from here on. The transformations PROJ made are kept, so a locator that
    // lives across many calls pays for them once.
    void forgetNotice();

    // The accuracy of the shift that moved the last point, in metres: 0 without a shift,
    // negative when PROJ does not know it.
    double accuracyMetres() const;
    // How far from a line a shifted point may truly lie: the accuracy, or
    // kUnknownAccuracyMetres where PROJ does not know it; 0 without a shift.
    double reachMetres() const;

private:
    struct Shift;
    Datum m_datum;
    std::unique_ptr<Shift> m_shift; // made on the first point that needs one
    std::string m_failure;
};

// The other way: points in the datum of the grid at a scale shifted to NAD83, for
// drawing that grid's cells on a NAD83 or WGS 84 map (CRS84). The shift is the one
// DatumLocator makes (the same PROJ operation, run backwards for points), so a point
// DatumLocator places in a cell lies inside that cell's shifted outline. Points of a
// grid drawn in NAD83 come back as they are. Not for use from several threads at once.
class GridDatumShift {
public:
    GridDatumShift();
    ~GridDatumShift();
    GridDatumShift(GridDatumShift&&) noexcept;
    GridDatumShift& operator=(GridDatumShift&&) noexcept;

    // The point, in the datum of the grid at `scale`, in NAD83; nullopt where it could
    // not be shifted (then failure() says why). Example: the NAD27 corner 57° N,
    // 120.5° W of a PNG block is some 60 m south-west of 57° N, 120.5° W in NAD83.
    std::optional<sheetref::LatLon> toNad83(sheetref::LatLon point, sheetref::Scale scale);

    // Why the last shift failed, or empty.
    const std::string& failure() const { return m_failure; }

private:
    // The point from NAD83 into NAD27, or back when `toNad83`.
    std::optional<sheetref::LatLon> shift(sheetref::LatLon point, bool toNad83);

    struct Shift;
    std::unique_ptr<Shift> m_shift; // made on the first point that needs one
    std::string m_failure;
};

} // namespace sheetfind
