// SPDX-License-Identifier: MIT
#include "help.h"

#include <string>

namespace sheetfind::cli {
namespace {

constexpr std::string_view kOverview = R"(Usage: sheetfind-cli LATITUDE LONGITUDE
  or:  sheetfind-cli < FILE
  or:  sheetfind-cli COMMAND [OPTION...] [ARGUMENT...]

Tells which map sheet of Canada's National Topographic System (NTS) covers a
point.

Without a command, prints the 1:50 000 sheet that covers a point, such as
092G06, or an empty line where no sheet covers it (this form spans 40-80 N and
48-144 W, as the window does). With no arguments it reads standard input: each
line holds a latitude and a longitude in decimal degrees, separated by blanks,
a tab, or a comma (where the comma is not the decimal separator). Output line N
answers input line N: the reference, an empty line, or "ERROR: " and the
reason. A blank line or a line starting with # gets an empty line. West
longitudes are negative: -123.1 is a value, not an option.

)";

// Where the user's number symbols come from on this platform.
#ifdef _WIN32
constexpr std::string_view kNumbersHelp =
    R"(Numbers are read in the user's regional settings; 49.25 is also accepted
where the decimal separator is a comma.
)";
#else
constexpr std::string_view kNumbersHelp =
    R"(Numbers are read in the locale of LC_ALL, LC_NUMERIC or LANG; 49.25 is also
accepted where the decimal separator is a comma.
)";
#endif

constexpr std::string_view kOverviewCommands = R"(
Commands work on the whole grid, the high Arctic (80-88 N) included:
  locate      the sheet, map area or series that covers each point
  bounds      the extent of each reference
  neighbours  the cells around a reference (also: neighbors)
  cover       the cells a box, a line or an area shares some area with
  annotate    add the sheet to every record of a CSV table or a GIS layer
  grid        every cell of a scale, as a layer
  serve       a map to click, an HTTP API, and the grid as OGC API - Features

'sheetfind-cli COMMAND --help' tells more about each.

Exit status: 0 when every input was answered, 1 when some input was bad (each
reported, the others answered), 2 for a usage error or a failed read or write.
A reader that stops early (| head -1) ends the run quietly.

Examples:
  sheetfind-cli 49.25 -123.1                      prints 092G06
  printf '49.25 -123.1\n68,-123.1\n' | sheetfind-cli
  sheetfind-cli locate "10U 491213 5458885"       prints 092G06

Options: -h, --help; --version
)";

constexpr std::string_view kScaleHelp =
    R"(  -s, --scale SCALE   1m (series, 1:1 000 000, 092), 250k (map area,
                      1:250 000, 092G) or 50k (sheet, 1:50 000, 092G06; the
                      default); in British Columbia's series, the BCGS sheets
                      20k (092G025), 10k (092G0253), 5k (092G02532) or 2500
                      (092G025322); or BC's petroleum and natural gas grid,
                      on NAD27: png-block (H/094-A-15), png-unit
                      (096-H/094-A-15) or png (d-096-H/094-A-15)
)";

constexpr std::string_view kLocate = R"(Usage: sheetfind-cli locate [OPTION...] [POINT]

Prints the reference of the cell that covers the point, or an empty line where
no cell of the grid covers it. Without POINT, reads standard input: output line
N answers input line N, with "ERROR: " and the reason for a bad line. A blank
line or a line starting with # gets an empty line.

POINT is one argument, or several that together make one point. Notations,
detected line by line:
  decimal   49.25 -123.1, 49.25,-123.1, 49,25 -123,1 (in the locale); latitude
            first unless --lon-first
  DMS       "49°15'N 123°06'W", "49 15 0 N, 123 6 0 W", 49:15:00N 123:06:00W,
            N49d15m W123d6m; hemisphere letters before or after
  UTM/UPS   10U 491213 5458885 (zone and latitude band), 10N 491213 5458885
            (zone and hemisphere: N and S are read as hemispheres)
  MGRS      10UDV9121358885, 10U DV 91213 58885, 10 km to 1 m precision; the
            point is the centre of the square
Latitudes must be within -90..90 and longitudes within -180..180.

Options:
      --input NOTATION  read only this notation: decimal, dms, utm or mgrs
      --lon-first       decimal lines hold the longitude first, as GIS
                        exports write them
      --datum DATUM     the points' datum: NAD83 (the default), WGS84 or
                        NAD27; each is shifted through PROJ into the datum of
                        the grid asked for (NAD27 for png, NAD83 for the rest),
                        and the shift used is told once on standard error
      --flag-uncertain  add a tab and "uncertain" to an answer whose shifted
                        point lies closer to a cell line than the shift's
                        accuracy: the cell beside it may be the true one
)";

constexpr std::string_view kFormatHelp =
    R"(  -f, --format FORMAT text (the default) or geojson: an RFC 7946
                      FeatureCollection of the cells as polygons on standard
                      output, written as they come; bad inputs are then
                      reported on standard error as "line N: ..."
)";

constexpr std::string_view kLayerHelp =
    R"(  -o, --output FILE   write the cells as a polygon layer to FILE, its format
                      chosen by the extension: .gpkg, .shp, .geojson or .json,
                      .fgb, .kml, .gml, .csv; an existing FILE is refused
      --of DRIVER     the GDAL vector driver for FILE instead ("GPKG",
                      "ESRI Shapefile", GeoJSONSeq...)
      --densify N     cut each edge of a polygon into N equal steps; by
                      default 36 for a series, 18 for a map area and 5 for a
                      sheet, so that edges stay within 10 m of the true
                      parallels once projected (Canada Lambert, EPSG:3978)
Every polygon has the attributes reference, scale ("1:50000"), south, west,
north and east, in WGS 84 (EPSG:4326), longitude first, each cell once; the
cells of the petroleum and natural gas grid in NAD27 (EPSG:4267), the datum it
is drawn in.
)";

constexpr std::string_view kBounds = R"(Usage: sheetfind-cli bounds [OPTION...] [REFERENCE...]

For each reference (or each line of standard input when none is given), prints
the canonical reference, then its south, west, north and east edges in decimal
degrees, tab-separated. References are read as people write them: 092G06,
92g6, "92 G/6", 92-G-6, 82O, 92, "340 D15".

Options:
)";

constexpr std::string_view kNeighbours = R"(Usage: sheetfind-cli neighbours [OPTION...] REFERENCE

Prints every cell of the same scale that shares an edge or a corner with the
reference, one per line, in reference order. Where cells of different widths
meet, at 68 N and 80 N, there can be more than eight. 'neighbors' is the same
command.

Options:
)";

constexpr std::string_view kCover =
    R"help(Usage: sheetfind-cli cover [OPTION...] SOUTH WEST NORTH EAST
       sheetfind-cli cover [OPTION...] FILE
       sheetfind-cli cover [OPTION...] --wkt WKT

Prints every cell at the scale that the box, the geometries of FILE or the WKT
geometry need, one per line, in reference order, each once.

A box covers the cells it shares some area with. An edge lying on a cell's edge
does not reach across it, so the bounds of a sheet cover that sheet alone; a box
of no height or width covers the cells that own its points. Edges are decimal
degrees, west negative, within -90..90 and -180..180.

A line covers exactly the cells its points lie in (so a route covers the sheets
it passes through, not those of its bounding box), a polygon the cells it shares
area with, a point its cell; multi-geometries the union.

FILE is anything GDAL reads: GeoPackage, shapefile, GPX, KML, GeoJSON,
FlatGeobuf, a PostGIS connection such as "PG:dbname=field". Without -l every
layer is read (a GPX route and its points together). Geometries are transformed
from the layer's CRS to WGS 84 longitude and latitude; an edge that is straight
in a projected CRS is followed as it is drawn there, not as a straight line in
degrees. A geometry that cannot be transformed is reported with its feature
number. WKT is in longitude and latitude: "LINESTRING(-123.95 49.3, -122.35
49.62)".

Options:
  -l, --layer LAYER   read only this layer of FILE
      --wkt WKT       the geometry as WKT, longitude first, WGS 84 degrees
      --geodesic      edges are geodesics on the WGS 84 ellipsoid between the
                      vertices, as a flight or a long survey line runs, rather
                      than straight lines in the layer's CRS
      --assume-crs CRS  the CRS of a layer that does not say, such as EPSG:3005;
                      without it such a layer is an error
      --datum DATUM   the box's datum: NAD83 (the default), WGS84 or NAD27; it
                      is shifted into the grid's as locate shifts points
)help";

// What annotate does with a source that is not a CSV table, for the annotate help.
constexpr std::string_view kAnnotateLayersHelp = R"(
A SOURCE that is not a CSV table is a GIS layer, read with GDAL (GeoPackage,
shapefile, GPX, KML, GeoJSON, FlatGeobuf, "PG:dbname=field"...). It is written
to -o FILE (required; it must not exist) in the format of its extension or --of,
with every field, the geometry and the CRS kept and the field nts_50k, nts_250k,
nts_1m or bcgs_20k... (or --column NAME) added: a point's sheet, or the sheets a
line passes through or a polygon shares area with, comma-separated. --explode
writes one feature for each sheet instead. A feature without geometry, or whose
geometry cannot be transformed (reported with its number), gets an empty field.
Layer options: -l LAYER (needed where the source has several), --of DRIVER,
--explode, --geodesic, --assume-crs CRS (for a layer without one).
)";

constexpr std::string_view kAnnotate = R"(Usage: sheetfind-cli annotate [OPTION...] [SOURCE]

Adds the sheet of every record of a CSV table or a GIS layer, as a new last
column named nts_50k (nts_250k, nts_1m, bcgs_20k..., png, png_unit or png_block
with -s; or --column NAME).

SOURCE is a CSV table when it is "-" or absent (standard input) or its name
ends with .csv, .tsv or .txt; any other SOURCE is read as a GIS layer.

A CSV table (RFC 4180) has a header row. Its delimiter, a comma, a semicolon or
a tab, is the one that splits the header into the most fields, or the one
--delimiter gives. Quoted fields may hold delimiters, doubled quotes and line
ends; lines end with LF or CRLF, and a UTF-8 byte order mark may lead.

The point is found by the header's names, case aside and blanks trimmed: a
latitude column (lat, latitude, lat_dd, y...) and a longitude column (lon, long,
lng, longitude, lon_dd, x...), or else one column holding a whole point in any
notation that locate reads (position, point, coordinates, coords, location,
utm, mgrs...). --lat and --lon, or --point, name the columns instead.

The output is the table with the column added, in the input's delimiter, byte
order mark and line end (that of the header). Values are kept exactly: blanks
too; quotes are written only where a field needs them (a delimiter, a quote, CR
or LF inside). It has as many records as the input, read and written one by one,
so any size of table fits in memory:
  - a point that no sheet covers gets an empty cell;
  - a record whose point is bad gets an empty cell, and standard error tells
    its row ("row 17: " and the reason; the header is row 1, a record that
    spans lines is one row, a blank line is a row and stays blank);
  - a short record is padded with empty fields to the header's width, and is
    an error where it lacks a point column;
  - a long record keeps its extra fields after the sheet, and is an error.
Malformed quotes (a quote inside an unquoted field, text after a closing quote,
a quote never closed) end the run with "row N: " and the reason: the records
before it are written, none after. A header without point columns, or naming
none of the chosen ones, is an error, and nothing is written. An empty table is
an error. Any of these makes the exit status 1.

Options:
      --lat COLUMN      the latitude column: a name of the header or a number
                        from 1; goes with --lon
      --lon COLUMN      the longitude column, likewise
      --point COLUMN    one column holding the whole point
      --column NAME     the name of the added column
      --delimiter DELIM , ; or tab (also written \t)
      --input NOTATION  read only this notation: decimal, dms, utm or mgrs
      --lon-first       a point column's decimal points hold the longitude
                        first; latitude and longitude columns are never swapped
      --datum DATUM     the table's datum: NAD83 (the default), WGS84 or NAD27,
                        shifted into the grid's as locate does; a GIS layer's
                        datum is its CRS's
      --flag-uncertain  the table or layer also gets the field NAME_uncertain:
                        true where the shifted point lies closer to a cell line
                        than the shift's accuracy, false where not (in a layer,
                        for points only)
  -o, --output FILE     write the table to FILE (not to the source itself)
                        instead of standard output; it is CSV whatever its name
      --of CSV          the output format of a CSV table is CSV; other formats
                        are for GIS layers
  -l, --layer NAME, --explode, --assume-crs CRS, --geodesic
                        for GIS layers only: a usage error with a CSV table
)";

constexpr std::string_view kAnnotateExamples = R"(
Examples:
  sheetfind-cli annotate points.csv > points-nts.csv
  sheetfind-cli annotate -s 250k points.csv -o points-nts.csv
  cat points.csv | sheetfind-cli annotate
  sheetfind-cli annotate --lat Lat_N --lon 4 --column sheet stations.tsv
  sheetfind-cli annotate --point where --input mgrs sites.csv
  LANG=fr_CA.UTF-8 sheetfind-cli annotate points.csv    # 49,25;-123,1
)";

constexpr std::string_view kGrid = R"(Usage: sheetfind-cli grid [OPTION...]

Writes every cell of a scale, in reference order: one reference per line, an
RFC 7946 FeatureCollection with -f geojson, or a polygon layer of any GIS
format with -o FILE. The whole grid spans 40-88 N and 48-144 W: 129 series,
1 704 map areas, 27 264 sheets.

Examples:
  sheetfind-cli grid -s 250k -o nts250k.gpkg
  sheetfind-cli grid -s 50k --bbox 48 -124 50 -122 -o sheets.shp
  sheetfind-cli grid -s 1m -f geojson > series.geojson

Options:
      --bbox S W N E  only the cells that the box shares some area with, read
                      as cover reads its box (decimal degrees, west negative)
      --datum DATUM   the datum of --bbox: NAD83 (the default), WGS84 or NAD27
)";

constexpr std::string_view kServe = R"(Usage: sheetfind-cli serve [OPTION...]

Serves the grid over HTTP until Ctrl-C or SIGTERM, which let the requests in
flight finish: a JSON API (/api/locate, /api/bounds/REFERENCE,
/api/neighbours/REFERENCE, /api/cover), with the same answers and messages as
the commands. It prints the address it listens on, such as
"Sheetfind serving on http://127.0.0.1:8080/". It keeps no state, so any number
can serve side by side behind a load balancer.

Examples:
  sheetfind-cli serve
  curl 'http://127.0.0.1:8080/api/locate?lat=49.25&lon=-123.1'

Options:
      --bind ADDRESS  the address to listen on (default 127.0.0.1, this machine
                      only; 0.0.0.0 serves every network the machine is on)
      --port N        the port (default 8080; 0 picks a free one)
      --tiles URL     a tile URL template for the map, such as
                      https://tile.openstreetmap.org/{z}/{x}/{y}.png
)";

constexpr std::string_view kCommonHelp = R"(  -h, --help          show this help
      --version       show the version
)";

// Each subcommand's help, assembled once from its parts.
struct Helps {
    std::string overview =
        std::string(kOverview) + std::string(kNumbersHelp) + std::string(kOverviewCommands);
    std::string locate = std::string(kLocate) + std::string(kScaleHelp) + std::string(kFormatHelp) +
                         std::string(kLayerHelp) + std::string(kCommonHelp);
    std::string bounds = std::string(kBounds) + std::string(kFormatHelp) + std::string(kLayerHelp) +
                         std::string(kCommonHelp);
    std::string neighbours = std::string(kNeighbours) + std::string(kFormatHelp) +
                             std::string(kLayerHelp) + std::string(kCommonHelp);
    std::string cover = std::string(kCover) + std::string(kScaleHelp) + std::string(kFormatHelp) +
                        std::string(kLayerHelp) + std::string(kCommonHelp);
    std::string annotate = std::string(kAnnotate) + std::string(kScaleHelp) +
                           std::string(kCommonHelp) + std::string(kAnnotateExamples) +
                           std::string(kAnnotateLayersHelp);
    std::string grid = std::string(kGrid) + std::string(kScaleHelp) + std::string(kFormatHelp) +
                       std::string(kLayerHelp) + std::string(kCommonHelp);
    std::string serve = std::string(kServe) + std::string(kCommonHelp);
};

const Helps& helps() {
    static const Helps all;
    return all;
}

} // namespace

std::string_view overviewHelp() {
    return helps().overview;
}

std::optional<std::string_view> commandHelp(std::string_view command) {
    if (command == "locate") {
        return helps().locate;
    }
    if (command == "bounds") {
        return helps().bounds;
    }
    if (command == "neighbours" || command == "neighbors") {
        return helps().neighbours;
    }
    if (command == "cover") {
        return helps().cover;
    }
    if (command == "annotate") {
        return helps().annotate;
    }
    if (command == "grid") {
        return helps().grid;
    }
    if (command == "serve") {
        return helps().serve;
    }
    return std::nullopt;
}

} // namespace sheetfind::cli
