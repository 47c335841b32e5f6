#include "migrate/gdal/dataset_check.h"

#include "platform/cause.h"
#include "platform/errors.h"

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace kolmo {
namespace {

struct CloseDataset {
    void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};

// GDAL's messages while the file is read back are no news of the migration:
// a failure is told through the error thrown, and a warning would only repeat
// one of the writing.
class Quiet {
public:
    Quiet() { CPLPushErrorHandler(CPLQuietErrorHandler); }
    ~Quiet() { CPLPopErrorHandler(); }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;
};

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

std::string extentText(double minX, double minY, double maxX, double maxY)
{
    char text[160];
    std::snprintf(text, sizeof text, "%.3f %.3f .. %.3f %.3f", minX, minY, maxX, maxY);
    return text;
}

// The extent of the layer's first geometry field from its features; false
// when none has a geometry.
bool scanExtent(OGRLayer& layer, OGREnvelope& extent)
{
    WrittenLayer seen;
    layer.ResetReading();
    for (const auto& feature : layer)
        seen.add(*feature);
    if (!seen.hasExtent)
        return false;
    extent.MinX = seen.minX;
    extent.MinY = seen.minY;
    extent.MaxX = seen.maxX;
    extent.MaxY = seen.maxY;
    return true;
}

} // namespace

void WrittenLayer::add(const OGRFeature& feature)
{
    ++features;
    if (feature.GetGeomFieldCount() < 1)
        return;
    const OGRGeometry* geometry = feature.GetGeomFieldRef(0);
    if (!geometry || geometry->IsEmpty())
        return;
    OGREnvelope envelope;
    geometry->getEnvelope(&envelope);
    if (!hasExtent) {
        minX = envelope.MinX;
        minY = envelope.MinY;
        maxX = envelope.MaxX;
        maxY = envelope.MaxY;
        hasExtent = true;
        return;
    }
    minX = std::min(minX, envelope.MinX);
    minY = std::min(minY, envelope.MinY);
    maxX = std::max(maxX, envelope.MaxX);
    maxY = std::max(maxY, envelope.MaxY);
}

void checkWrittenDataset(const std::filesystem::path& file, const char* driver, const std::string& shown,
                         const std::vector<WrittenLayer>& layers)
{
    auto refuse = [&](const std::string& what) {
        throw platform::Bilingual<FileError>("cannot write " + shown + ": the file written " + what,
                                             "datoteke " + shown + " ni mogoče zapisati: ob ponovnem branju se "
                                                                   "zapisana datoteka ne ujema z zapisanimi podatki");
    };
    const char* drivers[] = {driver, nullptr};
    CPLStringList options;
    // Reading a GML file may write a .gfs of the schema it found beside it;
    // the .xsd written with it says the same, and nothing new may go there.
    if (std::strcmp(driver, "GML") == 0)
        options.AddString("WRITE_GFS=NO");
    const Quiet quiet;
    CPLErrorReset();
    std::unique_ptr<GDALDataset, CloseDataset> dataset(GDALDataset::Open(
        file.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, options.List()));
    if (!dataset) {
        const char* reason = CPLGetLastErrorMsg();
        refuse(std::string("cannot be read back") + (reason && *reason ? std::string(": ") + reason : ""));
    }
    // A DXF file holds its entities in one layer, and GDAL's writer puts
    // each part of a multi-geometry in an entity of its own.
    const bool entities = std::strcmp(driver, "DXF") == 0;
    if (entities) {
        if (dataset->GetLayerCount() < 1)
            refuse("reads back without its entities");
    } else if (dataset->GetLayerCount() != static_cast<int>(layers.size())) {
        refuse("reads back with " + std::to_string(dataset->GetLayerCount()) + " layer(s) instead of " +
               std::to_string(layers.size()));
    }
    // GDAL's GML reader gives every layer the extent of the whole file (its
    // boundedBy): each layer's own is found from its features.
    const bool scanned = std::strcmp(driver, "GML") == 0;
    for (std::size_t k = 0; k < layers.size() && (!entities || k == 0); ++k) {
        const WrittenLayer& written = layers[k];
        OGRLayer* layer = dataset->GetLayer(static_cast<int>(k));
        const GIntBig count = layer->GetFeatureCount(TRUE);
        if (entities ? count < written.features : count != written.features)
            refuse("reads back with " + std::to_string(count) + " feature(s) in the layer " + quoted(written.name) +
                   " instead of " + std::to_string(written.features));
        if (!written.hasExtent)
            continue;
        OGREnvelope read;
        if (layer->GetLayerDefn()->GetGeomFieldCount() < 1 ||
            !(scanned ? scanExtent(*layer, read) : layer->GetExtent(0, &read, TRUE) == OGRERR_NONE))
            refuse("reads back without the geometries of the layer " + quoted(written.name));
        const double size = std::max(written.maxX - written.minX, written.maxY - written.minY);
        const double tolerance = 1e-3 + 1e-3 * size;
        auto near = [tolerance](double a, double b) { return std::abs(a - b) <= tolerance; };
        if (!near(read.MinX, written.minX) || !near(read.MinY, written.minY) || !near(read.MaxX, written.maxX) ||
            !near(read.MaxY, written.maxY))
            refuse("reads back with the extent " + extentText(read.MinX, read.MinY, read.MaxX, read.MaxY) +
                   " in the layer " + quoted(written.name) + " instead of " +
                   extentText(written.minX, written.minY, written.maxX, written.maxY));
    }
}

} // namespace kolmo
