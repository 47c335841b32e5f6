// The GDAL-bound half of the migration, built as the library kolmo_gis that
// the core opens on first use (migrate/gis_module.h).  Everything under
// src/migrate/gdal/ goes into that library and nothing else sees GDAL.
#pragma once

#include "migrate/datasets.h"
#include "migrate/folders.h"
#include "migrate/gis_module.h"
#include "migrate/rasters.h"

namespace kolmo::gdal {

// GDAL's drivers registered, once, with every network access shut off.
void registerDrivers();

DatasetSummary migrateDataset(const DatasetJob& job, const MigrateProgress& progress);
bool isRasterFile(const std::filesystem::path& path);
void checkRaster(const MigrateOptions& o);
MigrateSummary migrateRaster(const MigrateOptions& o, const MigrateProgress& progress);
FolderSummary migrateFolder(const MigrateOptions& o, unsigned jobs, const MigrateProgress& progress);

} // namespace kolmo::gdal
