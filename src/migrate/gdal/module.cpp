// The entry of the kolmo_gis library: its table of functions.
#include "migrate/gdal/module.h"

extern "C" const kolmo::GisModule* kolmo_gis_module()
{
    static const kolmo::GisModule module{
        kolmo::kGisModuleAbi,
        sizeof(kolmo::DatasetJob),
        &kolmo::gdal::migrateDataset,
        &kolmo::gdal::isRasterFile,
        &kolmo::gdal::checkRaster,
        &kolmo::gdal::migrateRaster,
        &kolmo::gdal::migrateFolder,
        &kolmo::gdal::makePointLayer,
    };
    return &module;
}
