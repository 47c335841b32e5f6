// A point file through the migration: read, moved and written row by row.
#pragma once

#include "migrate/migrate.h"
#include "migrate/mover.h"

namespace kolmo {

// The point file row by row: read, moved and written one point at a time,
// so that a file of any length takes the same little memory.
MigrateSummary migratePoints(const MigrateOptions& o, const MigrateProgress& progress, const Mover& mover);

} // namespace kolmo
