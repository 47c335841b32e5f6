#include "migrate/gdal/module.h"

#include "platform/cp1250.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <sstream>
#include <vector>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

struct Format {
    const char* extension;
    const char* driver;
    std::vector<const char*> layerOptions;
    std::vector<const char*> sidecars; // files of a former write that the new set would not replace
};

const std::vector<Format>& formats()
{
    // As the migration writes them: GeoJSON keeps a projected CRS only
    // outside RFC 7946, and 15 significant figures hold a plane coordinate to
    // the nanometre; FlatGeobuf's spatial index would sort the points along a
    // Hilbert curve.
    static const std::vector<Format> list{
        {".gpkg", "GPKG", {}, {}},
        {".shp", "ESRI Shapefile", {"ENCODING=UTF-8"}, {".qix", ".sbn", ".sbx", ".qpj", ".shp.xml"}},
        {".geojson", "GeoJSON", {"RFC7946=NO", "SIGNIFICANT_FIGURES=15"}, {}},
        {".fgb", "FlatGeobuf", {"SPATIAL_INDEX=NO"}, {}},
        {".gml", "GML", {}, {".gfs"}},
        {".dxf", "DXF", {}, {}},
    };
    return list;
}

std::string lowerExtension(const fs::path& file)
{
    std::string e = file.extension().string();
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e;
}

const Format* formatOf(const fs::path& file)
{
    const std::string e = lowerExtension(file);
    for (const auto& f : formats())
        if (e == f.extension)
            return &f;
    return nullptr;
}

// GDAL's messages of this thread gathered instead of printed: the last
// failure goes into the FileError.
class Messages {
public:
    Messages() { CPLPushErrorHandlerEx(&Messages::handle, this); }
    ~Messages() { CPLPopErrorHandler(); }
    Messages(const Messages&) = delete;
    Messages& operator=(const Messages&) = delete;
    std::string reason() const { return last_.empty() ? std::string() : ": " + last_; }
    std::size_t failures() const { return failures_; }

private:
    static void CPL_STDCALL handle(CPLErr kind, CPLErrorNum, const char* message)
    {
        auto* self = static_cast<Messages*>(CPLGetErrorHandlerUserData());
        if (self && message && kind >= CE_Failure) {
            self->last_ = message;
            ++self->failures_;
        }
    }
    std::string last_;
    std::size_t failures_ = 0;
};

struct CloseDataset {
    void operator()(GDALDataset* d) const { GDALClose(GDALDataset::ToHandle(d)); }
};

std::string readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof())
        throw FileError("cannot read back " + file.string());
    return text.str();
}

} // namespace

struct gdal::PointLayerGdal::Impl {
    fs::path target;
    const Format* format = nullptr;
    std::string crs;
    bool crsDegrees = false;
    bool degrees = false, heights = false, dxf = false;
    std::optional<platform::FolderWriter> scratch;
    std::unique_ptr<GDALDataset, CloseDataset> dataset;
    OGRLayer* layer = nullptr;
    OGRSpatialReference srs;
    int nameField = -1, heightField = -1;
    bool transaction = false;
    std::size_t written = 0;
    std::unique_ptr<Messages> messages;

    [[noreturn]] void fail(const std::string& what) const
    {
        throw FileError("cannot write " + target.string() + ": " + what + (messages ? messages->reason() : ""));
    }
};

gdal::PointLayerGdal::PointLayerGdal(const fs::path& target) : impl_(std::make_unique<Impl>())
{
    impl_->target = target;
    impl_->format = formatOf(target);
    if (!impl_->format)
        throw FileError(target.string() + ": no GIS point layer is written for the extension " +
                        lowerExtension(target) + "; Kolmo writes " + PointLayer::extensions());
}

gdal::PointLayerGdal::~PointLayerGdal()
{
    // The dataset closes before its scratch folder goes.
    impl_->layer = nullptr;
    if (impl_->dataset) {
        Messages quiet;
        impl_->dataset.reset();
    }
}

void gdal::PointLayerGdal::setCrs(const std::string& definition, bool degrees)
{
    impl_->crs = definition;
    impl_->crsDegrees = degrees;
}

bool gdal::PointLayerGdal::started() const { return impl_->dataset != nullptr; }

std::unique_ptr<PointLayerBackend> gdal::makePointLayer(const fs::path& target)
{
    return std::make_unique<PointLayerGdal>(target);
}

std::size_t gdal::PointLayerGdal::written() const { return impl_->written; }


void gdal::PointLayerGdal::begin(int coordinateType, bool heights)
{
    registerDrivers();
    Impl& m = *impl_;
    m.messages = std::make_unique<Messages>();
    m.heights = heights;
    m.dxf = std::string(m.format->driver) == "DXF";

    std::string crs = m.crs;
    m.degrees = m.crsDegrees;
    if (crs.empty()) {
        // Kolmo's coordinate types: 1 D96 latitude and longitude, 2 D96/TM, 3 D48/GK.
        crs = coordinateType == 1 ? "EPSG:4258" : coordinateType == 2 ? "EPSG:3794" : "EPSG:3912";
        m.degrees = coordinateType == 1;
    }
    if (m.srs.SetFromUserInput(crs.c_str()) != OGRERR_NONE)
        m.fail("no CRS " + crs);
    // Geometries easting (longitude) first, whatever the CRS's own axis order.
    m.srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);

    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(m.format->driver);
    if (!driver)
        m.fail(std::string("GDAL has no ") + m.format->driver + " driver");
    m.scratch.emplace(m.target);
    m.dataset.reset(driver->Create(m.scratch->file().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!m.dataset)
        m.fail("cannot create the file");
    CPLStringList options;
    for (const char* option : m.format->layerOptions)
        options.AddString(option);
    const std::string layerName = m.target.stem().string();
    m.layer = m.dataset->CreateLayer(layerName.c_str(), &m.srs, m.dxf ? wkbPoint25D : wkbPoint, options.List());
    if (!m.layer)
        m.fail("cannot create the layer");
    if (!m.dxf) {
        OGRFieldDefn name("name", OFTString);
        if (m.layer->CreateField(&name) != OGRERR_NONE)
            m.fail("cannot create the field name");
        m.nameField = m.layer->GetLayerDefn()->GetFieldIndex("name");
        if (heights) {
            const char* label = m.degrees ? "h" : "H";
            OGRFieldDefn height(label, OFTReal);
            if (m.layer->CreateField(&height) != OGRERR_NONE)
                m.fail(std::string("cannot create the field ") + label);
            m.heightField = m.layer->GetLayerDefn()->GetFieldIndex(label);
        }
    }
    m.transaction = m.dataset->TestCapability(ODsCTransactions) && m.dataset->StartTransaction() == OGRERR_NONE;
}

void gdal::PointLayerGdal::point(const std::string& name, double a, double b, double h)
{
    Impl& m = *impl_;
    if (!m.layer)
        m.fail("a point before the layer was begun");
    const std::string utf8 = platform::fromCp1250(name);
    const bool z = m.heights && std::isfinite(h);
    std::unique_ptr<OGRFeature, decltype(&OGRFeature::DestroyFeature)> feature(
        OGRFeature::CreateFeature(m.layer->GetLayerDefn()), &OGRFeature::DestroyFeature);
    // Easting (longitude) b first, northing (latitude) a second.
    OGRPoint geometry = m.dxf && z ? OGRPoint(b, a, h) : OGRPoint(b, a);
    geometry.assignSpatialReference(&m.srs);
    feature->SetGeometry(&geometry);
    if (m.nameField >= 0)
        feature->SetField(m.nameField, utf8.c_str());
    if (m.heightField >= 0) {
        if (std::isfinite(h))
            feature->SetField(m.heightField, h);
        else
            feature->SetFieldNull(m.heightField);
    }
    if (m.layer->CreateFeature(feature.get()) != OGRERR_NONE)
        m.fail("point " + utf8);
    if (m.dxf) {
        // The name as a TEXT entity at the point.
        std::string text;
        for (char c : utf8)
            text += c == '"' ? '\'' : c;
        std::unique_ptr<OGRFeature, decltype(&OGRFeature::DestroyFeature)> label(
            OGRFeature::CreateFeature(m.layer->GetLayerDefn()), &OGRFeature::DestroyFeature);
        label->SetGeometry(&geometry);
        label->SetStyleString(("LABEL(f:\"Arial\",t:\"" + text + "\")").c_str());
        if (m.layer->CreateFeature(label.get()) != OGRERR_NONE)
            m.fail("the name of point " + utf8);
    }
    ++m.written;
}

void gdal::PointLayerGdal::commit()
{
    Impl& m = *impl_;
    if (!m.dataset)
        m.fail("no points were handed over");
    if (m.transaction && m.dataset->CommitTransaction() != OGRERR_NONE)
        m.fail("cannot finish the layer");
    m.layer = nullptr;
    const std::size_t before = m.messages->failures();
    m.dataset.reset(); // closing writes the last pages, the index, the .xsd
    if (m.messages->failures() != before)
        m.fail("cannot finish the file");

    // Every file GDAL made goes in place through the safe write, all of them
    // in the caller's group or in one of their own.
    const fs::path folder = m.scratch->file().parent_path();
    const fs::path destination = m.target.has_parent_path() ? m.target.parent_path() : fs::path(".");
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    if (ec)
        m.fail(ec.message());
    std::sort(files.begin(), files.end());
    std::optional<platform::CommitGroup> own;
    if (!platform::CommitGroup::current())
        own.emplace();
    std::vector<std::string> names;
    for (const auto& file : files) {
        platform::writeFileAtomic(destination / file.filename(), readBytes(file));
        names.push_back(file.filename().string());
    }
    if (own)
        own->commitAll();
    // Files of a former write that would describe another set of points.
    const std::string stem = m.target.stem().string();
    for (const char* sidecar : m.format->sidecars) {
        const std::string name = stem + sidecar;
        if (std::find(names.begin(), names.end(), name) == names.end())
            fs::remove(destination / name, ec);
    }
    m.scratch.reset();
    m.messages.reset();
}

} // namespace kolmo
