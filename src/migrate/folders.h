// A whole folder through the national migration: every point file, GIS
// dataset and raster under it moved into a new folder of the same shape (the
// same names and subfolders), the other files beside them (styles such as
// .qml and .sld, .aux.xml, notes) copied as they are.
//
// Every member is checked before anything is written (its kind is known from
// its extension and it opens); the new folder is then built as a hidden
// sibling of the output and renamed into place in one step only when every
// member is complete.  A member that fails stops the run: the error names
// it, the other members stop, and no output folder is left.  The members can
// run in parallel (`jobs`), each as migrate() runs it alone.
#pragma once

#include "migrate/migrate.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace kolmo {

struct FolderMember {
    std::filesystem::path path; // relative to the input folder
    std::string kind;           // "points", "dataset", "raster" or "copied"
    std::size_t moved = 0;      // points, features or pixels with data; 0 for a copied file
    std::vector<std::string> warnings;
};

struct FolderSummary {
    std::vector<FolderMember> members; // in the order of their paths
};

// `o.in` and `o.out` are folders: the output must not exist yet and neither
// may lie inside the other.  The other options hold for every member (the
// direction, heights, the raster options); a dataset's layer cannot be
// chosen.  Throws FileError naming the member (its path relative to the
// input folder) and MigrateCancelled on a cancel; nothing is left then.
FolderSummary migrateFolder(const MigrateOptions& o, unsigned jobs = 1, const MigrateProgress& progress = {});

} // namespace kolmo
