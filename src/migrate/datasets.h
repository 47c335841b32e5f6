// GIS datasets in the national migration: every layer of a dataset read
// with GDAL/OGR feature by feature, its geometries' vertices moved, and
// written with every attribute, field type, layer name and feature order
// kept, in the target CRS (EPSG:3794 for D96/TM, EPSG:3912 for D48/GK).
#pragma once

#include "migrate/migrate.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kolmo {

// Moves `count` vertices in place: e (easting) and n (northing) in metres of
// the source plane (D48/GK without the zone digit, or D96/TM), h the heights
// (nullptr for 2D geometries).  Sets ok[i] to 0 for a vertex that cannot be
// moved (outside the model), to 1 otherwise.
using MoveVertices = std::function<void(std::size_t count, double* e, double* n, double* h, int* ok)>;

struct DatasetJob {
    std::filesystem::path in, out;
    MigrateFrom from = MigrateFrom::Gk; // the CRS the input must be in
    std::string layer;                  // only this layer; empty: every layer
    std::string assumeCrs;              // "gk", "tm" or empty (a layer without CRS is refused)
    bool lossy = false;                 // what the output format cannot hold is converted (with a warning)
                                        // instead of refused
    MoveVertices move;
};

struct DatasetSummary {
    std::size_t features = 0;
    std::filesystem::path output; // the file written (symbolic links followed)
    std::vector<std::string> warnings;
};

// True for the point files Kolmo reads itself (.pod, .txt, .csv, "-"); any
// other input is a GIS dataset, and so is a CSV file whose first line names
// a geometry column ("WKT", "geometry", ...), as Kolmo writes a dataset.
bool isPointFile(const std::filesystem::path& path);

// Throws kolmo::FileError naming the layer and feature id (a dataset that
// cannot be read whole: any GDAL error or warning while a feature is read,
// a geometry GDAL could not read; a CRS other than the expected one; a
// geometry outside the model; what the output format cannot hold, listed,
// unless `lossy`, which converts it and reports each change as a warning);
// nothing is written then.
// The output's format follows its extension: .gpkg, .shp, .geojson, .fgb,
// .gml, .dxf, .csv (geometry as WKT); a Shapefile, GeoJSON, FlatGeobuf, DXF
// or CSV holds one layer, so a dataset of several needs `layer`.  A cancel
// throws MigrateCancelled, and an existing output stays as it was.  Refused
// before anything is read: an output that shares a file with the input
// (checkDatasetsApart) or has a part that cannot be replaced
// (checkDatasetOutputParts).
DatasetSummary migrateDataset(const DatasetJob& job, const MigrateProgress& progress = {});

} // namespace kolmo
