// The GDAL-bound half of the migration, built as the library kolmo_gis that
// the core opens on first use (migrate/gis_module.h).  Everything under
// src/migrate/gdal/ goes into that library and nothing else sees GDAL.
#pragma once

#include "migrate/datasets.h"
#include "migrate/gis_module.h"

namespace kolmo::gdal {

DatasetSummary migrateDataset(const DatasetJob& job, const MigrateProgress& progress);

} // namespace kolmo::gdal
