// The national migration D48/GK <-> D96/TM of a point file, a GIS dataset or
// a raster (src/migrate/rasters.h; a whole folder: src/migrate/folders.h):
// one call that reads the input, moves every point or vertex (the national
// triangle-based model, a stored 7-parameter set or a user's own estimate),
// moves the heights between SVS2000 and SVS2010 when asked, and writes the
// output in one step (a temporary file renamed over it only when complete).
// kolmo-cli's `migrate` and the desktop tool window both call it.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kolmo {

// Which way: from D48/GK into D96/TM, or from D96/TM back into D48/GK.
enum class MigrateFrom { Gk, Tm };
// What happens to heights: kept, or moved by the SLO-VTP2024 offset.
enum class MigrateHeights { Keep, Svs2000To2010, Svs2010To2000 };
// Column order of point files: name, x (northing), y (easting), H ("xy") or
// name, y, x, H ("yx"), as `transform --order` reads and writes them.
enum class MigrateOrder { Xy, Yx };

struct MigrateOptions {
    std::filesystem::path in;   // point file (.pod .txt .csv or "-") or GIS dataset
    std::filesystem::path out;  // same kinds; a dataset's driver from the extension
    MigrateFrom from = MigrateFrom::Gk;
    MigrateOrder order = MigrateOrder::Xy;
    MigrateHeights heights = MigrateHeights::Keep;
    std::string paramsName;           // a stored parameter set instead of the national model
    std::filesystem::path paramsJson; // or the parameters `transform --params-json` wrote
    std::string layer;                // GIS dataset: only this layer (empty: every layer)
    std::string assumeCrs;            // GIS layer without a CRS: "gk" or "tm"; empty: refuse it
    bool lossy = false;               // GIS dataset: what the output format cannot hold is converted (names
                                      // laundered, types changed, attributes dropped) with a warning each,
                                      // instead of refused
    std::filesystem::path dataDir;    // the program's data folder
    // Rasters: the resampling (near, bilinear, cubic, lanczos, average); the
    // target pixel size (0: the source's); the target extent in the target
    // CRS, xmin ymin xmax ymax (empty: the source's, moved and aligned to
    // whole pixels); the output's creation options KEY=VALUE (empty: tiled
    // and compressed as the input was).
    std::string resampling = "near";
    double targetResolution = 0;
    std::vector<double> targetExtent;
    std::vector<std::string> creationOptions;
    int precision = 3;                // point files: decimals of the coordinates and heights (metres)
    // Point files: where in a row (from 0, among its numbers) x (northing),
    // y (easting) and H are, H -1 for none; empty: x, y, H in the order of
    // `order`.  A file "name,e,n,H" is {1, 0, 2}.
    std::vector<int> columns;
    bool csv = false;                 // point files: read as CSV whatever the name (standard input)
};

struct MigrateSummary {
    bool dataset = false;        // a GIS dataset (features) or a point file (points)
    bool raster = false;         // a raster: `written` counts the pixels that hold data
    std::size_t written = 0;     // points, features or pixels written
    std::size_t leftOut = 0;     // point files: points not written (outside the model, one coordinate)
    std::vector<std::string> warnings; // one text per warning (a point outside the model, ...)
};

struct MigrateProgress {
    // Called now and then with the share of the input done (0..1); may be empty.
    std::function<void(double)> report;
    // When set (from another thread), the work stops, leaves no output and
    // throws MigrateCancelled.
    const std::atomic<bool>* cancel = nullptr;
};

// Thrown when MigrateProgress::cancel was set; nothing was written.
struct MigrateCancelled {};

// Whether the migration reads `in` as a point file: "-", and the names of
// point files (.pod, .txt, .csv, .xyz, .dat in any letter case); any other
// input is a GIS dataset.  A point file goes into a point file of any name
// but those of the GIS formats (.gpkg, .shp, .geojson, .fgb, .gml, .dxf).
bool migratesAsPoints(const std::filesystem::path& in);

// Throws kolmo::Error (FileError, DataFileError, ComputationError) with the
// cause, and the layer and feature id where a dataset is concerned; an output
// that could not be completed is left as it was.
MigrateSummary migrate(const MigrateOptions& options, const MigrateProgress& progress = {});

// The national triangle-based model as a PROJ "tinshift" triangulation file
// (JSON, format 1.0): the tie points as vertices (easting first), the
// Delaunay triangles, the input and output CRS of the direction (EPSG:3912 ->
// EPSG:3794 for `from` Gk, reversed for Tm), its version and licence, so that
// PROJ programs and QGIS can apply the same model (+proj=tinshift +file=...).
std::string tinshiftJson(const std::filesystem::path& dataDir, MigrateFrom from);
// The same written to `file` through the safe write; a file of the data
// folder (the model, the offsets, the parameter sets, the border) is refused.
void exportTinshift(const std::filesystem::path& dataDir, const std::filesystem::path& file, MigrateFrom from);

} // namespace kolmo
