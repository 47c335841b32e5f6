// What a GIS output format cannot hold of a layer, gathered while the layer
// is written, and the texts the dataset path puts into its messages: GDAL's
// own (one line, cut short) and a vertex's coordinates (readable even when
// the file holds nonsense).  The GDAL-specific reading aids live here too:
// the open options that make a driver tell more (or write nothing beside its
// input), and the check that a feature's geometry was read at all.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class GDALDataset;
class OGRFeature;

namespace kolmo {

// The longest text of GDAL that reaches a message: a driver may quote a
// whole SQL statement or a stretch of the file it could not parse.
inline constexpr std::size_t kGdalTextLimit = 200;

// GDAL's text on one line (line breaks and tabs as blanks, runs of blanks as
// one, no blanks at the ends), an SQL statement it quotes left out
// ("sqlite3_exec(...) failed: disk I/O error"), cut to kGdalTextLimit
// characters (at a UTF-8 character's start) and ended with "..." then.
std::string gdalText(std::string_view text);

// A vertex for a message, easting first: "%.3f %.3f" when both coordinates
// are finite and within 1e7 m of the origin (far beyond any Slovene plane
// coordinate, with or without the zone digit), otherwise each one that is
// not as "not a number" or "beyond any survey".
std::string vertexText(double e, double n);

// Whether a warning of a GDAL writer tells of data it did not write as
// given: a text or number cut to its field, a value skipped, ignored or
// lost.  Others (a geometry type the format frowns upon but writes) are
// ordinary warnings.
bool lossWarning(std::string_view text);

// What would be lost of one layer in the chosen output format: each kind of
// loss once, with the number of features it concerns and the first of them.
class Losses {
public:
    // `fid` < 0: the loss concerns the layer as a whole (a field, its type).
    void add(const std::string& what, long long fid = -1);
    bool empty() const { return order_.empty(); }
    // One text per kind: `what`, and for features "(N features, the first
    // feature F)", at most `limit` kinds and then "and K more".
    std::vector<std::string> lines(std::size_t limit = 20) const;
    // The same joined with "; ".
    std::string list(std::size_t limit = 20) const;

private:
    struct Kind {
        std::size_t features = 0;
        long long first = -1;
    };
    std::vector<std::string> order_;
    std::map<std::string, Kind> kinds_;
};

// Open options of the driver `driverName` for reading a dataset whole and
// quietly: every table of a GeoPackage (those not registered as features
// too), each GeoJSON feature's own text (to tell a null geometry from one
// GDAL could not read), no .gfs written beside a GML file, a CSV's WKT
// column by its usual names and only as the geometry.  The array ends
// with nullptr.
std::vector<const char*> inputOpenOptions(const char* driverName);

// Whether a GeoJSON feature's own text (NATIVE_DATA) holds a geometry,
// i.e. its "geometry" member is there and is not null.
bool nativeGeometryPresent(const char* nativeJson);

// The GeoPackage tables of raster data (gpkg_contents data_type "tiles" or
// "2d-gridded-coverage"), as "name (type)"; empty for other datasets.
std::vector<std::string> rasterTables(GDALDataset& dataset);

} // namespace kolmo
