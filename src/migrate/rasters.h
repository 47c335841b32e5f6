// Rasters in the national migration: a georeferenced raster (GeoTIFF or any
// raster GDAL reads) resampled onto a grid of the other datum, every target
// pixel taking its value from the source position the national
// triangle-based model gives for its centre, exactly (no interpolated
// approximation of the map).  Written in one step (a hidden folder beside the
// target, renamed into place when complete), in EPSG:3794 for D96/TM or
// EPSG:3912 for D48/GK.
#pragma once

#include "migrate/migrate.h"

#include <filesystem>

namespace kolmo {

// Whether GDAL opens `path` as a raster and not as a vector dataset (a file
// that holds features goes the dataset's way).
bool isRasterFile(const std::filesystem::path& path);

// What can be told of `o.in` before anything is written (it opens as a
// raster, is georeferenced, lies in the source CRS of `o.from`, the options
// are sound); throws FileError as migrateRaster() would.
void checkRaster(const MigrateOptions& o);

// The raster of `o.in` into `o.out` (the format from the extension, the
// input's own where it fits).  Throws FileError naming the file (no
// georeference, a CRS other than the direction's source, a raster wholly
// outside the model, an output format that GDAL cannot write, a parameter
// set instead of the national model), MigrateCancelled on a cancel; the
// target is left as it was then.
MigrateSummary migrateRaster(const MigrateOptions& o, const MigrateProgress& progress = {});

} // namespace kolmo
