// GIS datasets and rasters are read and written with GDAL, which brings a
// hundred libraries with it: mapping them costs every run about 40 ms and
// 20 MB.  So the GDAL-bound code (src/migrate/gdal/) is a library of its own,
// kolmo_gis, opened with dlopen the first time a dataset is met; a point
// file, `convert`, `transform` or `--version` never maps GDAL.
//
// The library is looked for only by the path of the running program: beside
// it (the build tree, a program folder) or in <prefix>/lib/kolmo (an
// installed tree) -- never in the working folder or on a search path, so
// that no file planted there is ever loaded.  It has no copy of the core:
// its references resolve to the program's own (the programs export their
// symbols), so there is one registry of temporary files for the signal
// handlers, one set of error types and one cache of each data file.
#pragma once

#include "migrate/datasets.h"
#include "migrate/folders.h"
#include "migrate/rasters.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <vector>

namespace kolmo {

class PointLayerBackend;

// Raised when the interface between the program and the library changes, so
// that a library of another build is refused instead of called wrongly.
inline constexpr int kGisModuleAbi = 1;

// The library's functions, returned by its one C entry kolmo_gis_module().
struct GisModule {
    int abi;
    std::size_t jobSize; // sizeof(DatasetJob) as the library was built
    DatasetSummary (*migrateDataset)(const DatasetJob& job, const MigrateProgress& progress);
    bool (*isRasterFile)(const std::filesystem::path& path);
    void (*checkRaster)(const MigrateOptions& o);
    MigrateSummary (*migrateRaster)(const MigrateOptions& o, const MigrateProgress& progress);
    FolderSummary (*migrateFolder)(const MigrateOptions& o, unsigned jobs, const MigrateProgress& progress);
    std::unique_ptr<PointLayerBackend> (*makePointLayer)(const std::filesystem::path& target);
};

// Where the library is looked for, in order.
std::vector<std::filesystem::path> gisModuleCandidates();

// The library, loaded on the first call (thread-safe).  Throws FileError
// naming the places looked at and the loader's reason when it cannot be had.
const GisModule& gisModule();

} // namespace kolmo
