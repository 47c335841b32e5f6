// The GDAL-bound half of the migration, built as the library kolmo_gis that
// the core opens on first use (migrate/gis_module.h).  Everything under
// src/migrate/gdal/ goes into that library and nothing else sees GDAL.
#pragma once

#include "app/point_layer.h"
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

// GDAL's writer of a point layer (app/point_layer.h).
class PointLayerGdal final : public PointLayerBackend {
public:
    explicit PointLayerGdal(const std::filesystem::path& target);
    ~PointLayerGdal() override;
    PointLayerGdal(const PointLayerGdal&) = delete;
    PointLayerGdal& operator=(const PointLayerGdal&) = delete;
    void setCrs(const std::string& definition, bool degrees) override;
    void begin(int coordinateType, bool heights) override;
    void point(const std::string& name, double a, double b, double h) override;
    bool started() const override;
    void commit() override;
    std::size_t written() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
std::unique_ptr<PointLayerBackend> makePointLayer(const std::filesystem::path& target);

} // namespace kolmo::gdal
