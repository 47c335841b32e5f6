// GIS datasets in the national migration, read and written with GDAL/OGR.
//
// Every layer is checked before anything is written: its geometry fields must
// be in the source grid (D48/GK: EPSG:3912, the deprecated EPSG:3787 of the
// same grid, or the Balkans zone 5 form EPSG:31275; D96/TM: EPSG:3794), told
// by its definition (crs_check.h): GDAL's comparison with the EPSG
// definition, or the projection itself, so that a Shapefile's ESRI-style .prj
// of the same grid is recognised.  An EPSG code that stands for another grid
// than the definition beside it is refused.  The Balkans zone 5 form carries the zone
// digit in the easting (false easting 5 500 000 m) and the full northing
// (false northing 0), so both lose 5 000 000 m before the vertices move.
//
// The layers are then streamed feature by feature into the output (the GDAL
// driver chosen by the output's extension), in the input's order, every
// attribute copied with its field definition, every vertex of every geometry
// moved through OGRGeometry::transform() with a coordinate transformation that
// hands the vertices of each point, curve or ring to the caller's callback in
// one batch.  The output goes into a hidden folder beside the target and is
// renamed into place only when complete (platform::FolderWriter), so that a
// failure or a cancel leaves an existing output as it was.
#include "migrate/datasets.h"

#include "migrate/crs_check.h"
#include "migrate/no_network.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

constexpr double kZoneOffset = 5000000.0;
constexpr int kEpsgGk = 3912;
constexpr int kEpsgTm = 3794;
// Features written between two commits of an output that has transactions.
constexpr std::size_t kTransactionSize = 100000;
// Features between two looks at the progress and the cancel flag.
constexpr std::size_t kProgressStep = 512;
constexpr std::size_t kMaxWarnings = 50;

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string inQuotes(std::string_view name)
{
    std::string text;
    text.reserve(name.size() + 2);
    text += '"';
    text += name;
    text += '"';
    return text;
}

// GDAL's own messages, gathered for the errors and warnings Kolmo reports
// instead of going to stderr.  The handler stack is the calling thread's own,
// so the desktop program's worker thread gathers only its messages.
class GdalMessages {
public:
    GdalMessages()
    {
        CPLPushErrorHandlerEx(&GdalMessages::handle, this);
        CPLErrorReset();
    }
    ~GdalMessages() { CPLPopErrorHandler(); }
    GdalMessages(const GdalMessages&) = delete;
    GdalMessages& operator=(const GdalMessages&) = delete;

    std::size_t failures() const { return failures_; }
    // ": " and GDAL's last failure, or nothing.
    std::string reason() const { return lastFailure_.empty() ? std::string() : ": " + lastFailure_; }
    std::vector<std::string>& warnings() { return warnings_; }

private:
    static void CPL_STDCALL handle(CPLErr kind, CPLErrorNum, const char* message)
    {
        auto* self = static_cast<GdalMessages*>(CPLGetErrorHandlerUserData());
        if (!self || !message)
            return;
        if (kind >= CE_Failure) {
            self->lastFailure_ = message;
            ++self->failures_;
        } else if (kind == CE_Warning && self->warnings_.size() < kMaxWarnings &&
                   std::find(self->warnings_.begin(), self->warnings_.end(), message) == self->warnings_.end()) {
            self->warnings_.emplace_back(message);
        }
    }

    std::string lastFailure_;
    std::size_t failures_ = 0;
    std::vector<std::string> warnings_;
};

void registerDrivers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        disableNetworkAccess();
        GDALAllRegister();
    });
}

struct CloseDataset {
    void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};
using Dataset = std::unique_ptr<GDALDataset, CloseDataset>;

struct DestroyFeature {
    void operator()(OGRFeature* feature) const { OGRFeature::DestroyFeature(feature); }
};
using Feature = std::unique_ptr<OGRFeature, DestroyFeature>;

// ---------------------------------------------------------------- formats

struct OutputFormat {
    const char* extension;
    const char* driver;
    bool oneLayer;                         // the file holds a single layer
    bool needsGeometry;                    // a feature without a geometry would be lost
    double copyShare;                      // of the time, the rest goes to closing the file
    std::vector<const char*> layerOptions; // KEY=VALUE
    std::vector<const char*> sidecars;     // files of a former write that the new one must not leave behind
};

const std::vector<OutputFormat>& outputFormats()
{
    // FlatGeobuf's spatial index would sort the features along a Hilbert
    // curve; without it they keep the input's order.  GeoJSON keeps a
    // projected CRS only outside RFC 7946, and 15 significant figures hold a
    // plane coordinate to the nanometre without the noise of the binary
    // fraction.  A CSV gets its .csvt of field types beside it, so that a
    // reader sees them again.  A former Shapefile's spatial index and a
    // former GML's .gfs (which GDAL prefers to the .xsd) would describe
    // another file.  GDAL's FlatGeobuf writer skips a feature without a
    // geometry without a word; it is refused instead.  A GeoPackage builds
    // its spatial index when it is closed, which takes longer than writing
    // the features: the progress leaves that its share.
    static const std::vector<OutputFormat> formats{
        {".gpkg", "GPKG", false, false, 0.4, {}, {}},
        {".shp", "ESRI Shapefile", true, false, 0.95, {"ENCODING=UTF-8"}, {".qix", ".sbn", ".sbx", ".qpj", ".shp.xml"}},
        {".geojson", "GeoJSON", true, false, 0.95, {"RFC7946=NO", "SIGNIFICANT_FIGURES=15"}, {}},
        {".fgb", "FlatGeobuf", true, true, 0.95, {"SPATIAL_INDEX=NO"}, {}},
        {".gml", "GML", false, false, 0.95, {}, {".gfs"}},
        {".dxf", "DXF", true, false, 0.95, {}, {}},
        {".csv", "CSV", true, false, 0.95, {"GEOMETRY=AS_WKT", "CREATE_CSVT=YES"}, {}},
    };
    return formats;
}

const OutputFormat& outputFormat(const fs::path& out)
{
    const std::string extension = lowerCase(out.extension().string());
    for (const auto& format : outputFormats())
        if (extension == format.extension)
            return format;
    std::string known;
    for (const auto& format : outputFormats())
        known += std::string(known.empty() ? "" : " ") + format.extension;
    throw FileError(out.string() + ": no GIS format is written for the extension " +
                    inQuotes(extension.empty() ? "(none)" : extension) + "; Kolmo writes " + known);
}

// Whether the driver takes the layer creation option `name` (FID, GEOMETRY_NAME).
bool takesLayerOption(GDALDriver* driver, const char* name)
{
    const char* list = driver->GetMetadataItem(GDAL_DS_LAYER_CREATIONOPTIONLIST);
    return list && std::string_view(list).find("name='" + std::string(name) + "'") != std::string_view::npos;
}

// ---------------------------------------------------------------- CRS

OGRSpatialReference epsg(int code)
{
    OGRSpatialReference srs;
    srs.importFromEPSG(code);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

int epsgCode(const OGRSpatialReference& srs)
{
    const char* key = srs.IsCompound() ? "PROJCS" : nullptr;
    const char* authority = srs.GetAuthorityName(key);
    const char* code = srs.GetAuthorityCode(key);
    if (authority && code && EQUAL(authority, "EPSG"))
        return std::atoi(code);
    return 0;
}

// The CRS as a message names it: its name and EPSG code where it has or
// GDAL finds one.
std::string describe(const OGRSpatialReference& srs)
{
    std::string text = inQuotes(srs.GetName() ? srs.GetName() : "unnamed");
    int code = epsgCode(srs);
    if (code == 0) {
        int count = 0;
        int* confidence = nullptr;
        OGRSpatialReferenceH* matches = srs.FindMatches(nullptr, &count, &confidence);
        if (count > 0 && confidence[0] >= 90)
            code = epsgCode(*OGRSpatialReference::FromHandle(matches[0]));
        OSRFreeSRSArray(matches);
        CPLFree(confidence);
    }
    if (code != 0)
        text += " (EPSG:" + std::to_string(code) + ")";
    return text;
}

std::string expected(MigrateFrom from)
{
    return from == MigrateFrom::Gk
               ? "D48/GK, EPSG:3912 (MGI 1901 / Slovene National Grid) or EPSG:31275 (MGI / Balkans zone 5)"
               : "D96/TM, EPSG:3794 (Slovenia 1996 / Slovene National Grid)";
}

// Whether a layer's CRS says nothing about where it lies: none, an
// engineering (local) CRS, or the placeholders a GeoPackage gives a table
// without one ("Undefined geographic SRS", "Undefined Cartesian SRS").
bool undefined(const OGRSpatialReference* srs)
{
    if (!srs || srs->IsEmpty() || srs->IsLocal())
        return true;
    const char* name = srs->GetName();
    return epsgCode(*srs) == 0 && name && STARTS_WITH_CI(name, "Undefined ");
}

// Whether the first data axis of the layer's geometries is the northing
// (a CRS read with its authority's axis order).
bool northingFirst(const OGRSpatialReference& srs)
{
    const auto& mapping = srs.GetDataAxisToSRSAxisMapping();
    if (mapping.empty())
        return false;
    OGRAxisOrientation orientation = OAO_Other;
    srs.GetAxis(srs.IsCompound() ? "PROJCS" : nullptr, std::abs(mapping[0]) - 1, &orientation);
    return orientation == OAO_North || orientation == OAO_South;
}

// ---------------------------------------------------------------- vertices

// How the vertices of one geometry field reach the callback.
struct VertexForm {
    bool swap = false;        // data x is the northing (the output gets the easting first)
    bool zoneDigit = false;   // EPSG:31275: 5 000 000 off both coordinates (never guessed per vertex)
};

// The caller's callback as a GDAL coordinate transformation, so that
// OGRGeometry::transform() visits every vertex of every geometry type (points,
// curves and rings, their multi-forms, collections, compound curves) and hands
// over each point, curve or ring in one batch.  The first vertex that the
// callback could not move is kept for the message, as it stood in the file.
class VertexMover final : public OGRCoordinateTransformation {
public:
    VertexMover(const MoveVertices& move, OGRSpatialReference* target) : move_(move), target_(target) {}

    void prepare(const VertexForm& form, bool threeD)
    {
        form_ = form;
        threeD_ = threeD;
        failed_ = false;
    }
    bool failed() const { return failed_; }
    double failedE() const { return failedE_; }
    double failedN() const { return failedN_; }

    OGRSpatialReference* GetSourceCS() override { return nullptr; }
    OGRSpatialReference* GetTargetCS() override { return target_; }

    int Transform(int count, double* x, double* y, double* z, double* /*t*/, int* success) override
    {
        if (count <= 0)
            return TRUE;
        const auto n = static_cast<std::size_t>(count);
        double* e = form_.swap ? y : x;
        double* north = form_.swap ? x : y;
        fileE_.assign(e, e + n);
        fileN_.assign(north, north + n);
        if (form_.zoneDigit) {
            for (std::size_t i = 0; i < n; ++i) {
                e[i] -= kZoneOffset;
                north[i] -= kZoneOffset;
            }
        }
        ok_.assign(n, 0);
        move_(n, e, north, threeD_ ? z : nullptr, ok_.data());
        // The output's CRS is written easting first.
        if (form_.swap)
            std::swap_ranges(x, x + n, y);
        int any = FALSE;
        for (std::size_t i = 0; i < n; ++i) {
            if (success)
                success[i] = ok_[i] ? TRUE : FALSE;
            if (ok_[i])
                any = TRUE;
            else if (!failed_) {
                failed_ = true;
                failedE_ = fileE_[i];
                failedN_ = fileN_[i];
            }
        }
        return any;
    }

    OGRCoordinateTransformation* Clone() const override { return new VertexMover(*this); }
    OGRCoordinateTransformation* GetInverse() const override { return nullptr; }

private:
    const MoveVertices& move_;
    OGRSpatialReference* target_;
    VertexForm form_;
    bool threeD_ = false;
    bool failed_ = false;
    double failedE_ = 0, failedN_ = 0;
    std::vector<double> fileE_, fileN_;
    std::vector<int> ok_;
};

// ---------------------------------------------------------------- the job

struct LayerPlan {
    OGRLayer* layer;
    std::string name;
    std::vector<VertexForm> forms; // per geometry field
    GIntBig count = 0;
};

std::string layerNames(GDALDataset& dataset)
{
    std::string names;
    for (int i = 0; i < dataset.GetLayerCount(); ++i)
        names += std::string(names.empty() ? "" : ", ") + inQuotes(dataset.GetLayer(i)->GetName());
    return names.empty() ? "none" : names;
}

// The layers to move, each geometry field's CRS checked.
std::vector<LayerPlan> planLayers(GDALDataset& input, const DatasetJob& job, std::vector<std::string>& warnings)
{
    const std::string in = job.in.string();
    // GDAL reads a GeoJSON's "crs" link (and the like) when it opens the
    // file; a refused request leaves the CRS it stands for unknown.
    if (const auto urls = takeRefusedRequests(); !urls.empty())
        throw FileError(in + " links to " + urls.front() +
                        ", which Kolmo does not follow: it makes no network requests; give the data their CRS in "
                        "the file itself (an EPSG code, a WKT or a .prj)");
    std::vector<OGRLayer*> layers;
    if (!job.layer.empty()) {
        OGRLayer* layer = input.GetLayerByName(job.layer.c_str());
        if (!layer)
            throw FileError(in + ": no layer " + inQuotes(job.layer) + "; its layers: " + layerNames(input));
        layers.push_back(layer);
    } else {
        for (int i = 0; i < input.GetLayerCount(); ++i)
            layers.push_back(input.GetLayer(i));
    }
    if (layers.empty())
        throw FileError(in + ": no layers to move");

    const bool assumed = !job.assumeCrs.empty();
    if (assumed && job.assumeCrs != "gk" && job.assumeCrs != "tm")
        throw FileError("the assumed CRS " + inQuotes(job.assumeCrs) + " is neither \"gk\" nor \"tm\"");
    if (assumed && (job.assumeCrs == "gk") != (job.from == MigrateFrom::Gk))
        throw FileError("the assumed CRS " + inQuotes(job.assumeCrs) + " is not the one the direction starts from (" +
                        (job.from == MigrateFrom::Gk ? "gk" : "tm") + ")");

    std::vector<LayerPlan> plans;
    for (OGRLayer* layer : layers) {
        LayerPlan plan{layer, layer->GetName(), {}, 0};
        // A layer whose source cannot be read (a VRT's missing or remote
        // source, a link GDAL may not follow) would otherwise be written
        // empty, or with a CRS GDAL put in place of the one it could not read.
        CPLErrorReset();
        OGRFeatureDefn* definition = layer->GetLayerDefn();
        if (CPLGetLastErrorType() >= CE_Failure)
            throw FileError(in + ": layer " + inQuotes(plan.name) + " cannot be read: " + CPLGetLastErrorMsg());
        for (int g = 0; g < definition->GetGeomFieldCount(); ++g) {
            const std::string where = in + ": layer " + inQuotes(plan.name) +
                                      (definition->GetGeomFieldCount() > 1
                                           ? ", geometry field " + inQuotes(definition->GetGeomFieldDefn(g)->GetNameRef())
                                           : std::string());
            const OGRSpatialReference* srs = definition->GetGeomFieldDefn(g)->GetSpatialRef();
            VertexForm form;
            if (undefined(srs)) {
                if (!assumed)
                    throw FileError(where + " has no CRS; expected " + expected(job.from) +
                                    " (a CRS can be assumed for it)");
                // An assumed D48/GK is EPSG:3912: a vertex with the zone
                // digit is outside the model, never stripped by guess.
            } else {
                // By the definition; the code must not contradict it.
                const CrsVerdict verdict = judgeCrs(*srs);
                if (!verdict.contradiction.empty())
                    throw FileError(where + ": " + verdict.contradiction);
                const SloveneGrid grid = verdict.grid;
                const bool fits = job.from == MigrateFrom::Gk ? grid == SloveneGrid::Gk || grid == SloveneGrid::GkZone5
                                                              : grid == SloveneGrid::Tm;
                if (!fits)
                    throw FileError(where + " is in the CRS " + describe(*srs) + ", defined as " +
                                    definitionText(*srs) + "; expected " + expected(job.from));
                if (!verdict.variant.empty() && g == 0)
                    warnings.push_back("layer " + inQuotes(plan.name) + ": " + verdict.variant);
                form.swap = northingFirst(*srs);
                form.zoneDigit = grid == SloveneGrid::GkZone5;
            }
            plan.forms.push_back(form);
        }
        plans.push_back(std::move(plan));
    }
    return plans;
}

const char* fieldTypeName(const OGRFieldDefn& field)
{
    return OGRFieldDefn::GetFieldTypeName(field.GetType());
}

class DatasetWriter {
public:
    DatasetWriter(const DatasetJob& job, const MigrateProgress& progress, GdalMessages& messages)
        : job_(job), progress_(progress), messages_(messages),
          target_(epsg(job.from == MigrateFrom::Gk ? kEpsgTm : kEpsgGk))
    {
    }

    DatasetSummary run()
    {
        const std::string in = job_.in.string();
        const OutputFormat& format = outputFormat(job_.out);
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(format.driver);
        if (!driver)
            throw FileError(job_.out.string() + ": GDAL has no " + format.driver + " driver");

        Dataset input(GDALDataset::Open(job_.in.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
        if (!input)
            throw FileError("cannot read " + in + " as a GIS dataset" + messages_.reason());
        std::vector<LayerPlan> plans = planLayers(*input, job_, summary_.warnings);
        if (format.oneLayer && plans.size() > 1)
            throw FileError(job_.out.string() + ": a " + format.driver + " file holds one layer, and " + in +
                            " has " + std::to_string(plans.size()) + " (" + layerNames(*input) +
                            "); choose one layer or write a GeoPackage (.gpkg)");
        GIntBig total = 0;
        for (auto& plan : plans) {
            plan.count = std::max<GIntBig>(0, plan.layer->GetFeatureCount(TRUE));
            total += plan.count;
        }
        total_ = static_cast<double>(std::max<GIntBig>(total, 1)) / format.copyShare;

        platform::FolderWriter folder(job_.out);
        {
            Dataset output(createOutput(*driver, folder.file()));
            if (!output)
                throw FileError("cannot create " + job_.out.string() + messages_.reason());
            const bool transactions = output->TestCapability(ODsCTransactions);
            for (const auto& plan : plans)
                copyLayer(*input, *output, *driver, format, plan, transactions);
            const std::size_t failuresBefore = messages_.failures();
            output.reset(); // closing flushes the last pages
            if (messages_.failures() != failuresBefore)
                throw FileError("cannot write " + job_.out.string() + messages_.reason());
        }
        input.reset();
        std::vector<std::string> stale;
        const std::string stem = job_.out.stem().string();
        for (const char* sidecar : format.sidecars)
            stale.push_back(stem + sidecar);
        folder.commit(stale);
        if (progress_.report)
            progress_.report(1.0);

        for (auto& warning : messages_.warnings())
            summary_.warnings.push_back(std::move(warning));
        return std::move(summary_);
    }

private:
    // A GeoPackage (SQLite) written with a page cache large enough for its
    // spatial index, which GDAL builds when the file is closed and which
    // otherwise goes to the disk page by page.  The setting is this
    // thread's own and holds only for the output.
    static GDALDataset* createOutput(GDALDriver& driver, const fs::path& file)
    {
        const char* key = "OGR_SQLITE_CACHE";
        const char* before = CPLGetThreadLocalConfigOption(key, nullptr);
        const std::string saved = before ? before : "";
        CPLSetThreadLocalConfigOption(key, "64"); // MB
        GDALDataset* dataset = driver.Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
        CPLSetThreadLocalConfigOption(key, before ? saved.c_str() : nullptr);
        return dataset;
    }

    [[noreturn]] void failLayer(const LayerPlan& plan, const std::string& what) const
    {
        throw FileError(job_.out.string() + ": layer " + inQuotes(plan.name) + ": " + what + messages_.reason());
    }

    void copyDomains(GDALDataset& input, GDALDataset& output, const OGRFieldDefn& field, OGRFieldDefn& copy,
                     const LayerPlan& plan)
    {
        const std::string domain = field.GetDomainName();
        if (domain.empty() || output.GetFieldDomain(domain))
            return;
        const OGRFieldDomain* source = input.GetFieldDomain(domain);
        std::string reason;
        if (source && output.TestCapability(ODsCAddFieldDomain) &&
            output.AddFieldDomain(std::unique_ptr<OGRFieldDomain>(source->Clone()), reason))
            return;
        copy.SetDomainName("");
        summary_.warnings.push_back("layer " + inQuotes(plan.name) + ", field " + inQuotes(field.GetNameRef()) +
                                    ": its field domain " + inQuotes(domain) + " is not written");
    }

    OGRLayer* createLayer(GDALDataset& input, GDALDataset& output, GDALDriver& driver, const OutputFormat& format,
                          const LayerPlan& plan)
    {
        OGRFeatureDefn* definition = plan.layer->GetLayerDefn();
        const int geometries = definition->GetGeomFieldCount();
        CPLStringList options;
        for (const char* option : format.layerOptions)
            options.AddString(option);
        const char* fidColumn = plan.layer->GetFIDColumn();
        keepFid_ = fidColumn && *fidColumn && takesLayerOption(&driver, "FID");
        if (keepFid_)
            options.SetNameValue("FID", fidColumn);
        if (geometries == 1) {
            const char* geometryName = plan.layer->GetGeometryColumn();
            if (geometryName && *geometryName && takesLayerOption(&driver, "GEOMETRY_NAME"))
                options.SetNameValue("GEOMETRY_NAME", geometryName);
        }

        OGRLayer* layer = nullptr;
        if (geometries == 1)
            layer = output.CreateLayer(plan.name.c_str(), &target_, definition->GetGeomType(), options.List());
        else
            layer = output.CreateLayer(plan.name.c_str(), nullptr, wkbNone, options.List());
        if (!layer)
            failLayer(plan, "cannot be created");
        if (geometries > 1) {
            if (!output.TestCapability(ODsCCreateGeomFieldAfterCreateLayer))
                failLayer(plan, std::to_string(geometries) + " geometry fields, and a " + format.driver +
                                    " layer holds one");
            for (int g = 0; g < geometries; ++g) {
                OGRGeomFieldDefn field(definition->GetGeomFieldDefn(g));
                field.SetSpatialRef(&target_);
                if (layer->CreateGeomField(&field) != OGRERR_NONE)
                    failLayer(plan, "cannot hold the geometry field " + inQuotes(field.GetNameRef()));
            }
        }

        OGRFeatureDefn* written = layer->GetLayerDefn();
        fieldMap_.assign(static_cast<std::size_t>(definition->GetFieldCount()), -1);
        for (int i = 0; i < definition->GetFieldCount(); ++i) {
            const OGRFieldDefn& field = *definition->GetFieldDefn(i);
            // A driver with a fixed schema (DXF) has its fields from the start.
            const int fixed = written->GetFieldIndex(field.GetNameRef());
            if (fixed >= 0 && written->GetFieldDefn(fixed)->GetType() == field.GetType()) {
                fieldMap_[static_cast<std::size_t>(i)] = fixed;
                continue;
            }
            OGRFieldDefn copy(&field);
            copyDomains(input, output, field, copy, plan);
            const int before = written->GetFieldCount();
            if (layer->CreateField(&copy, FALSE) != OGRERR_NONE)
                failLayer(plan, std::string("the ") + format.driver + " format cannot hold the field " +
                                    inQuotes(field.GetNameRef()) + " (" + fieldTypeName(field) + ")");
            const int index = written->GetFieldCount() > before ? written->GetFieldCount() - 1
                                                                : written->GetFieldIndex(field.GetNameRef());
            if (index < 0)
                failLayer(plan, std::string("the ") + format.driver + " format cannot hold the field " +
                                    inQuotes(field.GetNameRef()));
            fieldMap_[static_cast<std::size_t>(i)] = index;
            const OGRFieldDefn& made = *written->GetFieldDefn(index);
            if (made.GetType() != field.GetType() || made.GetSubType() != field.GetSubType())
                summary_.warnings.push_back("layer " + inQuotes(plan.name) + ": the field " +
                                            inQuotes(field.GetNameRef()) + " (" + fieldTypeName(field) +
                                            ") is written as " + fieldTypeName(made));
            if (std::string_view(made.GetNameRef()) != field.GetNameRef())
                summary_.warnings.push_back("layer " + inQuotes(plan.name) + ": the field " +
                                            inQuotes(field.GetNameRef()) + " is written as " +
                                            inQuotes(made.GetNameRef()));
        }
        return layer;
    }

    void copyLayer(GDALDataset& input, GDALDataset& output, GDALDriver& driver, const OutputFormat& format,
                   const LayerPlan& plan, bool transactions)
    {
        OGRLayer* layer = createLayer(input, output, driver, format, plan);
        OGRFeatureDefn* definition = plan.layer->GetLayerDefn();
        const int geometries = definition->GetGeomFieldCount();
        VertexMover mover(job_.move, &target_);
        Feature copy(OGRFeature::CreateFeature(layer->GetLayerDefn()));
        std::size_t withoutGeometry = 0;
        std::size_t inTransaction = 0;
        if (transactions && output.StartTransaction() != OGRERR_NONE)
            failLayer(plan, "cannot be written");
        plan.layer->ResetReading();
        const std::size_t failuresBefore = messages_.failures();
        for (Feature feature(plan.layer->GetNextFeature()); feature; feature.reset(plan.layer->GetNextFeature())) {
            const GIntBig fid = feature->GetFID();
            auto where = [fid] { return "feature " + std::to_string(fid); };
            copy->Reset();
            copy->SetFieldsFrom(feature.get(), fieldMap_.data(), TRUE);
            bool anyGeometry = geometries == 0;
            for (int g = 0; g < geometries; ++g) {
                OGRGeometry* geometry = feature->StealGeometry(g);
                if (!geometry)
                    continue;
                anyGeometry = true;
                if (geometry->IsEmpty()) {
                    geometry->assignSpatialReference(&target_);
                } else {
                    mover.prepare(plan.forms[static_cast<std::size_t>(g)], geometry->Is3D());
                    const OGRErr moved = geometry->transform(&mover);
                    if (moved != OGRERR_NONE || mover.failed()) {
                        OGRGeometryFactory::destroyGeometry(geometry);
                        if (mover.failed()) {
                            char vertex[96];
                            std::snprintf(vertex, sizeof vertex, "%.3f %.3f", mover.failedE(), mover.failedN());
                            throw FileError(job_.in.string() + ": layer " + inQuotes(plan.name) + ", " + where() +
                                            ": the vertex " + vertex + " lies outside the model");
                        }
                        failLayer(plan, where() + ": the geometry cannot be moved");
                    }
                }
                copy->SetGeomFieldDirectly(g, geometry);
            }
            if (!anyGeometry) {
                if (format.needsGeometry)
                    failLayer(plan, where() + " has no geometry, and the " + format.driver +
                                        " format cannot hold such a feature");
                ++withoutGeometry;
            }
            if (const char* style = feature->GetStyleString())
                copy->SetStyleString(style);
            if (const char* native = feature->GetNativeData()) {
                copy->SetNativeData(native);
                copy->SetNativeMediaType(feature->GetNativeMediaType());
            }
            copy->SetFID(keepFid_ ? fid : OGRNullFID);
            if (layer->CreateFeature(copy.get()) != OGRERR_NONE)
                failLayer(plan, where() + " cannot be written");

            ++summary_.features;
            if (transactions && ++inTransaction == kTransactionSize) {
                if (output.CommitTransaction() != OGRERR_NONE || output.StartTransaction() != OGRERR_NONE)
                    failLayer(plan, "cannot be written");
                inTransaction = 0;
            }
            if (summary_.features % kProgressStep == 0)
                step();
        }
        // GetNextFeature() ends a damaged layer as it ends a complete one;
        // a failure on the way and fewer features than counted tell them apart.
        if (messages_.failures() != failuresBefore && static_cast<GIntBig>(summary_.features - done_) < plan.count)
            throw FileError(job_.in.string() + ": layer " + inQuotes(plan.name) + " cannot be read" +
                            messages_.reason());
        if (transactions && output.CommitTransaction() != OGRERR_NONE)
            failLayer(plan, "cannot be written");
        done_ = summary_.features;
        if (withoutGeometry > 0)
            summary_.warnings.push_back("layer " + inQuotes(plan.name) + ": " + std::to_string(withoutGeometry) +
                                        " feature(s) without a geometry, copied as they are");
        step();
    }

    void step()
    {
        if (progress_.cancel && progress_.cancel->load(std::memory_order_relaxed))
            throw MigrateCancelled{};
        if (progress_.report)
            progress_.report(std::min(1.0, static_cast<double>(summary_.features) / total_));
    }

    const DatasetJob& job_;
    const MigrateProgress& progress_;
    GdalMessages& messages_;
    OGRSpatialReference target_;
    DatasetSummary summary_;
    std::vector<int> fieldMap_;
    bool keepFid_ = false;
    double total_ = 1;
    std::size_t done_ = 0;
};

} // namespace

bool isPointFile(const fs::path& path)
{
    if (path == "-")
        return true;
    const std::string extension = lowerCase(path.extension().string());
    return extension == ".pod" || extension == ".txt" || extension == ".csv";
}

DatasetSummary migrateDataset(const DatasetJob& job, const MigrateProgress& progress)
{
    if (!job.move)
        throw FileError("no vertex transformation given for " + job.in.string());
    refuseNetworkPath(job.in);
    refuseNetworkPath(job.out);
    registerDrivers();
    takeRefusedRequests(); // none of an earlier job's
    GdalMessages messages;
    DatasetWriter writer(job, progress, messages);
    return writer.run();
}

} // namespace kolmo
