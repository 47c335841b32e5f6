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
// one batch.  The output goes into a hidden folder beside the target, is read
// back there (checkWrittenDataset: a driver may lose a failed write without a
// word) and is renamed into place only when complete and sound, all its files
// or none (platform::FolderWriter), so that a failure, a full disk or a cancel
// leaves an existing output as it was.
#include "migrate/gdal/module.h"

#include "migrate/dataset_files.h"
#include "migrate/gdal/crs_check.h"
#include "migrate/gdal/dataset_check.h"
#include "migrate/gdal/dataset_loss.h"
#include "migrate/gdal/no_network.h"
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
#include <cstdio>
#include <cstring>
#include <fstream>
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
constexpr int kShapefileTextWidth = 254; // the widest text field of a .dbf

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
// instead of going to stderr, each on one line and cut short (a driver may
// quote a whole SQL statement or a stretch of the file).  The handler stack
// is the calling thread's own, so the desktop program's worker thread
// gathers only its messages.  Every message counts in events(), so that a
// step (reading one feature, writing one) tells whether GDAL had anything to
// say about it, and last() is the latest of them.
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
    std::size_t events() const { return events_; }
    const std::string& last() const { return last_; }
    // ": " and GDAL's last failure, or nothing.
    std::string reason() const { return lastFailure_.empty() ? std::string() : ": " + lastFailure_; }
    std::vector<std::string>& warnings() { return warnings_; }
    // A failure dealt with (a field created at the second try, or listed as
    // lost) is not the reason of a later error.
    void settled() { lastFailure_.clear(); }
    // The warnings given since there were `count` of them (taken off the list).
    std::vector<std::string> takeWarningsSince(std::size_t count)
    {
        std::vector<std::string> taken;
        if (count < warnings_.size()) {
            taken.assign(warnings_.begin() + static_cast<std::ptrdiff_t>(count), warnings_.end());
            warnings_.resize(count);
        }
        return taken;
    }

private:
    static void CPL_STDCALL handle(CPLErr kind, CPLErrorNum, const char* message)
    {
        auto* self = static_cast<GdalMessages*>(CPLGetErrorHandlerUserData());
        if (!self || !message || kind < CE_Warning)
            return;
        std::string text = gdalText(message);
        ++self->events_;
        self->last_ = text;
        if (kind >= CE_Failure) {
            self->lastFailure_ = std::move(text);
            ++self->failures_;
        } else if (self->warnings_.size() < kMaxWarnings &&
                   std::find(self->warnings_.begin(), self->warnings_.end(), text) == self->warnings_.end()) {
            self->warnings_.push_back(std::move(text));
        }
    }

    std::string last_, lastFailure_;
    std::size_t failures_ = 0, events_ = 0;
    std::vector<std::string> warnings_;
};

using gdal::registerDrivers;

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
    bool needsGeometry;                    // a feature without a geometry (NULL or EMPTY) would be lost
    bool tables;                           // holds a layer without geometries (a table of attributes)
    bool zByLayerType;                     // heights are kept only in a layer declared 3D
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
    // reader sees them again; its geometry column keeps GDAL's name "WKT",
    // which GDAL and QGIS recognise without the .csvt.  A former Shapefile's
    // spatial index and a former GML's .gfs (which GDAL prefers to the .xsd)
    // would describe another file.  A Shapefile's text field of no given
    // width gets the most it can hold (254 bytes, not GDAL's 80), narrowed to
    // its longest text when the file is closed.  GDAL's FlatGeobuf writer skips a
    // feature without a geometry (NULL or EMPTY) without a word (the DXF
    // writer fails on it), and writes heights only into a layer declared 3D
    // (of any type, "unknown" too); a Shapefile (the .shp beside
    // its .dbf), a FlatGeobuf or a DXF file has no place for a table without
    // geometries.  A GeoPackage builds its spatial index when it is closed,
    // which takes longer than writing the features: the progress leaves that
    // its share.
    static const std::vector<OutputFormat> formats{
        {".gpkg", "GPKG", false, false, true, false, 0.4, {}, {}},
        {".shp", "ESRI Shapefile", true, false, false, true, 0.95, {"ENCODING=UTF-8", "RESIZE=YES"},
         {".qix", ".sbn", ".sbx", ".qpj", ".shp.xml"}},
        {".geojson", "GeoJSON", true, false, true, false, 0.95, {"RFC7946=NO", "SIGNIFICANT_FIGURES=15"}, {}},
        {".fgb", "FlatGeobuf", true, true, false, true, 0.95, {"SPATIAL_INDEX=NO"}, {}},
        {".gml", "GML", false, false, true, false, 0.95, {}, {".gfs"}},
        {".dxf", "DXF", true, true, false, false, 0.95, {}, {}},
        {".csv", "CSV", true, false, true, false, 0.95, {"GEOMETRY=AS_WKT", "CREATE_CSVT=YES"}, {}},
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

// The CRS as a message names it: its name and EPSG code where it has or
// GDAL finds one.
std::string describe(const OGRSpatialReference& srs)
{
    std::string text = inQuotes(srs.GetName() ? srs.GetName() : "unnamed");
    int code = epsgCodeOf(srs);
    if (code == 0) {
        int count = 0;
        int* confidence = nullptr;
        OGRSpatialReferenceH* matches = srs.FindMatches(nullptr, &count, &confidence);
        if (count > 0 && confidence[0] >= 90)
            code = epsgCodeOf(*OGRSpatialReference::FromHandle(matches[0]));
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
    return epsgCodeOf(*srs) == 0 && name && STARTS_WITH_CI(name, "Undefined ");
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

// GDAL reads a GeoJSON's "crs" link (and the like) when it opens the file;
// a refused request leaves the CRS it stands for unknown, or fails the open.
void refuseFollowedLinks(const std::string& in)
{
    if (const auto urls = takeRefusedRequests(); !urls.empty())
        throw FileError(in + " links to " + urls.front() +
                        ", which Kolmo does not follow: it makes no network requests; give the data their CRS in "
                        "the file itself (an EPSG code, a WKT or a .prj)");
}

// The layers to move, each geometry field's CRS checked.
std::vector<LayerPlan> planLayers(GDALDataset& input, const DatasetJob& job, std::vector<std::string>& warnings)
{
    const std::string in = job.in.string();
    refuseFollowedLinks(in);
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

// A field's type as GDAL names it, its subtype (Boolean, Int16, Float32,
// JSON, UUID) in brackets.
std::string fieldType(const OGRFieldDefn& field)
{
    std::string text = OGRFieldDefn::GetFieldTypeName(field.GetType());
    if (field.GetSubType() != OFSTNone)
        text += std::string("(") + OGRFieldDefn::GetFieldSubTypeName(field.GetSubType()) + ")";
    return text;
}

// The input opened with its driver's reading options (see
// inputOpenOptions).  A GDAL failure while it is opened refuses it: GDAL's
// GeoJSON reader parses every feature then, and one it cannot read is
// reported there.  A GeoPackage's raster tables are refused until Kolmo
// moves rasters, rather than left behind without a word.
Dataset openInput(const DatasetJob& job, GdalMessages& messages)
{
    const std::string in = job.in.string();
    GDALDriverH identified = GDALIdentifyDriverEx(job.in.c_str(), GDAL_OF_VECTOR, nullptr, nullptr);
    const std::string driver = identified ? GDALGetDescription(identified) : "";
    const std::vector<const char*> options = inputOpenOptions(driver.c_str());
    const std::size_t failures = messages.failures();
    Dataset input(GDALDataset::Open(job.in.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                                    nullptr, options.data()));
    refuseFollowedLinks(in);
    if (!input) {
        if (driver == "FlatGeobuf")
            throw FileError(in + ": the FlatGeobuf header is damaged or not one GDAL reads" + messages.reason());
        if (fs::exists(job.in) && !fs::is_directory(job.in)) {
            const std::size_t before = messages.events();
            Dataset raster(GDALDataset::Open(job.in.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
            if (raster && messages.events() == before)
                throw FileError(in + " holds raster data only; Kolmo moves vector layers (features) and refuses "
                                     "rasters until it moves them");
        }
        throw FileError("cannot read " + in + " as a GIS dataset" + messages.reason());
    }
    if (messages.failures() != failures)
        throw FileError(in + (driver == "FlatGeobuf" ? ": the FlatGeobuf header is damaged" : " cannot be read whole") +
                        messages.reason());
    if (job.layer.empty()) {
        const std::vector<std::string> raster = rasterTables(*input);
        if (!raster.empty()) {
            std::string names;
            for (const auto& table : raster)
                names += (names.empty() ? "" : ", ") + table;
            throw FileError(in + ": the raster tables " + names +
                            " are not moved: Kolmo moves vector layers and attribute tables and refuses rasters "
                            "until it moves them (choose a layer to move the others one by one)");
        }
    }
    return input;
}

// GDAL's FlatGeobuf writer takes a layer of type "unknown" for 2D.
bool unknownIs2D(const OutputFormat& format)
{
    return std::string_view(format.driver) == "FlatGeobuf";
}

class DatasetWriter {
public:
    DatasetWriter(const DatasetJob& job, const MigrateProgress& progress, GdalMessages& messages)
        : job_(job), progress_(progress), messages_(messages),
          target_(fromEpsg(job.from == MigrateFrom::Gk ? kEpsgTm : kEpsgGk))
    {
    }

    DatasetSummary run()
    {
        const std::string in = job_.in.string();
        const OutputFormat& format = outputFormat(job_.out);
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(format.driver);
        if (!driver)
            throw FileError(job_.out.string() + ": GDAL has no " + format.driver + " driver");

        Dataset input = openInput(job_, messages_);
        std::vector<LayerPlan> plans = planLayers(*input, job_, summary_.warnings);
        if (format.oneLayer && plans.size() > 1)
            throw FileError(job_.out.string() + ": a " + format.driver + " file holds one layer, and " + in +
                            " has " + std::to_string(plans.size()) + " (" + layerNames(*input) +
                            "); choose one layer or write a GeoPackage (.gpkg)");
        GIntBig total = 0;
        for (auto& plan : plans) {
            // For the progress only: the features are counted as they move.
            const std::size_t events = messages_.events();
            plan.count = std::max<GIntBig>(0, plan.layer->GetFeatureCount(TRUE));
            if (messages_.events() != events)
                throw FileError(in + ": layer " + inQuotes(plan.name) + " cannot be read: " + messages_.last());
            total += plan.count;
        }
        total_ = static_cast<double>(std::max<GIntBig>(total, 1)) / format.copyShare;

        platform::FolderWriter folder(job_.out);
        {
            Dataset output(createOutput(*driver, folder.file()));
            if (!output)
                throw FileError("cannot create " + job_.out.string() + messages_.reason());
            const bool transactions = output->TestCapability(ODsCTransactions);
            for (const auto& plan : plans) {
                written_.push_back(WrittenLayer{plan.name});
                copyLayer(*input, *output, *driver, format, plan, transactions);
            }
            const std::size_t failuresBefore = messages_.failures();
            output.reset(); // closing flushes the last pages
            if (messages_.failures() != failuresBefore)
                throw FileError("cannot write " + job_.out.string() + messages_.reason());
        }
        const fs::path made = writtenFile(folder.file());
        checkWrittenDataset(made, format.driver, job_.out.string(), written_);
        input.reset();
        // Every part of the former dataset that the new one does not bring
        // goes: a former Shapefile's spatial index would describe other
        // geometries, and "a.SHX" beside a new a.shx another file.
        std::vector<std::string> stale;
        const std::string stem = job_.out.stem().string();
        for (const char* sidecar : format.sidecars)
            stale.push_back(stem + sidecar);
        for (const auto& part : datasetPartPaths(folder.target()))
            stale.push_back(part.filename().string());
        folder.commit(stale);
        summary_.output = folder.target().parent_path() / made.filename();
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

    // Whether any geometry of the layer has heights (a first pass over it,
    // for an output that keeps heights only in a layer declared 3D).
    bool anyThreeD(const LayerPlan& plan)
    {
        plan.layer->ResetReading();
        GIntBig last = OGRNullFID;
        for (;;) {
            const std::size_t events = messages_.events();
            Feature feature(plan.layer->GetNextFeature());
            if (messages_.events() != events)
                failRead(plan, feature ? feature->GetFID() : OGRNullFID, last);
            if (!feature)
                return false;
            last = feature->GetFID();
            for (int g = 0; g < feature->GetGeomFieldCount(); ++g)
                if (const OGRGeometry* geometry = feature->GetGeomFieldRef(g); geometry && geometry->Is3D())
                    return true;
        }
    }

    // GDAL said something while a feature was read: the input is damaged
    // (a file cut short, a record it could not parse), and a run that went
    // on would leave features or pieces of them behind without a word.
    [[noreturn]] void failRead(const LayerPlan& plan, GIntBig fid, GIntBig last) const
    {
        const std::string where = fid != OGRNullFID ? "feature " + std::to_string(fid)
                                  : last != OGRNullFID ? "after feature " + std::to_string(last)
                                                       : "its first feature";
        throw FileError(job_.in.string() + ": layer " + inQuotes(plan.name) + ", " + where +
                        " cannot be read: " + messages_.last());
    }

    // The output's field for the input's `field`, or -1 where it has none;
    // what the format changes or cannot hold goes into losses_.
    int createField(GDALDataset& input, GDALDataset& output, OGRLayer& layer, const OutputFormat& format,
                    const LayerPlan& plan, const OGRFieldDefn& field)
    {
        OGRFeatureDefn* written = layer.GetLayerDefn();
        const std::string name = inQuotes(field.GetNameRef());
        const std::string type = fieldType(field);
        // A driver with a fixed schema (DXF) has its fields from the start.
        const int fixed = written->GetFieldIndex(field.GetNameRef());
        if (fixed >= 0 && written->GetFieldDefn(fixed)->GetType() == field.GetType())
            return fixed;
        OGRFieldDefn copy(&field);
        copyDomains(input, output, field, copy, plan);
        if (field.GetType() == OFTString && field.GetWidth() == 0 &&
            std::string_view(format.driver) == "ESRI Shapefile")
            copy.SetWidth(kShapefileTextWidth);
        const int before = written->GetFieldCount();
        const std::size_t warnings = messages_.warnings().size();
        const std::size_t events = messages_.events();
        // Exactly first, then as the driver would convert it (a name
        // laundered to ten bytes, a type the format lacks): the conversion is
        // listed, and written only where the user accepts it.
        bool made = layer.CreateField(&copy, FALSE) == OGRERR_NONE;
        if (!made)
            made = layer.CreateField(&copy, TRUE) == OGRERR_NONE;
        const bool said = messages_.events() != events;
        const std::string gdal = said ? messages_.last() : std::string();
        messages_.takeWarningsSince(warnings);
        messages_.settled();
        int index = -1;
        if (made)
            index = written->GetFieldCount() > before ? written->GetFieldCount() - 1
                                                      : written->GetFieldIndex(field.GetNameRef());
        if (index < 0) {
            losses_.add(std::string("the field ") + name + " (" + type + ")" +
                        (job_.lossy ? " is left out: the " : " cannot be held: the ") + format.driver +
                        " format has no place for it");
            return -1;
        }
        const OGRFieldDefn& result = *written->GetFieldDefn(index);
        bool changed = false;
        if (std::string_view(result.GetNameRef()) != field.GetNameRef()) {
            losses_.add("the field " + name + " is named " + inQuotes(result.GetNameRef()));
            changed = true;
        }
        if (result.GetType() != field.GetType() || result.GetSubType() != field.GetSubType()) {
            losses_.add("the field " + name + " (" + type + ") is written as " + fieldType(result));
            changed = true;
        }
        if (said && !changed)
            losses_.add("the field " + name + ": " + gdal);
        return index;
    }

    OGRLayer* createLayer(GDALDataset& input, GDALDataset& output, GDALDriver& driver, const OutputFormat& format,
                          const LayerPlan& plan)
    {
        losses_ = Losses();
        OGRFeatureDefn* definition = plan.layer->GetLayerDefn();
        const int geometries = definition->GetGeomFieldCount();
        if (geometries == 0 && !format.tables)
            failLayer(plan, std::string("a table without geometries, which a ") + format.driver +
                                " file cannot hold; write a GeoPackage (.gpkg), GeoJSON, GML or CSV");
        CPLStringList options;
        for (const char* option : format.layerOptions)
            options.AddString(option);
        const char* fidColumn = plan.layer->GetFIDColumn();
        const bool fidOption = fidColumn && *fidColumn && takesLayerOption(&driver, "FID");
        if (fidOption)
            options.SetNameValue("FID", fidColumn);
        // GeoJSON writes a feature's id from its FID; GDAL's GeoJSON reader
        // gives ids that are not integers as the field "id", which goes back
        // into the id.
        keepFid_ = fidOption || std::string_view(format.driver) == "GeoJSON";
        if (std::string_view(format.driver) == "GeoJSON" &&
            std::string_view(input.GetDriver()->GetDescription()) == "GeoJSON") {
            const int id = definition->GetFieldIndex("id");
            if (id >= 0 && definition->GetFieldDefn(id)->GetType() == OFTString) {
                options.SetNameValue("ID_FIELD", "id");
                keepFid_ = false;
            }
        }
        if (geometries == 1 && std::string_view(format.driver) != "CSV") {
            const char* geometryName = plan.layer->GetGeometryColumn();
            if (geometryName && *geometryName && takesLayerOption(&driver, "GEOMETRY_NAME"))
                options.SetNameValue("GEOMETRY_NAME", geometryName);
        }

        OGRLayer* layer = nullptr;
        if (geometries == 1) {
            OGRwkbGeometryType type = definition->GetGeomType();
            if (format.zByLayerType && !OGR_GT_HasZ(type) && (type != wkbUnknown || unknownIs2D(format)) &&
                anyThreeD(plan))
                type = OGR_GT_SetZ(type);
            layer = output.CreateLayer(plan.name.c_str(), &target_, type, options.List());
        } else {
            layer = output.CreateLayer(plan.name.c_str(), nullptr, wkbNone, options.List());
        }
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

        fieldMap_.assign(static_cast<std::size_t>(definition->GetFieldCount()), -1);
        for (int i = 0; i < definition->GetFieldCount(); ++i)
            fieldMap_[static_cast<std::size_t>(i)] =
                createField(input, output, *layer, format, plan, *definition->GetFieldDefn(i));
        return layer;
    }

    // What the output cannot hold of one geometry as it is: heights in a
    // layer declared 2D, curves or measures where the driver would turn them
    // into line segments or drop them.
    void geometryLosses(OGRLayer& layer, int g, const OGRGeometry& geometry, GIntBig fid, const OutputFormat& format)
    {
        const OGRwkbGeometryType declared = layer.GetLayerDefn()->GetGeomFieldDefn(g)->GetType();
        if (geometry.Is3D() && !OGR_GT_HasZ(declared) && format.zByLayerType &&
            (declared != wkbUnknown || unknownIs2D(format)))
            losses_.add("heights (Z) left out of 3D geometries in a layer declared 2D", fid);
        if (geometry.hasCurveGeometry() && !layer.TestCapability(OLCCurveGeometries))
            losses_.add("curves (arcs) written as line segments", fid);
        if (geometry.IsMeasured() && !layer.TestCapability(OLCMeasuredGeometries))
            losses_.add("measures (M) left out", fid);
    }

    // Texts longer than their Shapefile field: the driver cuts them and says
    // so for the first one of the layer alone.
    void textLosses(OGRFeature& feature, GIntBig fid)
    {
        const OGRFeatureDefn* definition = feature.GetDefnRef();
        for (int i = 0; i < definition->GetFieldCount(); ++i) {
            const OGRFieldDefn* field = definition->GetFieldDefn(i);
            if (field->GetType() != OFTString || field->GetWidth() <= 0 || !feature.IsFieldSetAndNotNull(i))
                continue;
            if (std::strlen(feature.GetFieldAsString(i)) > static_cast<std::size_t>(field->GetWidth()))
                losses_.add("texts longer than " + std::to_string(field->GetWidth()) + " bytes cut in the field " +
                                inQuotes(field->GetNameRef()),
                            fid);
        }
    }

    void copyLayer(GDALDataset& input, GDALDataset& output, GDALDriver& driver, const OutputFormat& format,
                   const LayerPlan& plan, bool transactions)
    {
        const bool cutsTexts = std::string_view(format.driver) == "ESRI Shapefile";
        OGRLayer* layer = createLayer(input, output, driver, format, plan);
        OGRFeatureDefn* definition = plan.layer->GetLayerDefn();
        const int geometries = definition->GetGeomFieldCount();
        // GDAL's GeoJSON reader leaves a geometry it cannot make sense of
        // NULL without a word; the feature's own text tells.
        const bool nativeGeoJson = std::string_view(input.GetDriver()->GetDescription()) == "GeoJSON";
        VertexMover mover(job_.move, &target_);
        Feature copy(OGRFeature::CreateFeature(layer->GetLayerDefn()));
        std::size_t withoutGeometry = 0;
        std::size_t inTransaction = 0;
        if (transactions && output.StartTransaction() != OGRERR_NONE)
            failLayer(plan, "cannot be written");
        plan.layer->ResetReading();
        GIntBig last = OGRNullFID;
        for (;;) {
            // Whatever GDAL says while reading a feature, the input is not
            // read whole: the run fails (GetNextFeature() ends a damaged
            // layer as it ends a complete one).
            const std::size_t events = messages_.events();
            Feature feature(plan.layer->GetNextFeature());
            if (messages_.events() != events)
                failRead(plan, feature ? feature->GetFID() : OGRNullFID, last);
            if (!feature)
                break;
            const GIntBig fid = feature->GetFID();
            last = fid;
            auto where = [fid] { return "feature " + std::to_string(fid); };
            copy->Reset();
            copy->SetFieldsFrom(feature.get(), fieldMap_.data(), TRUE);
            if (cutsTexts)
                textLosses(*copy, fid);
            bool anyGeometry = geometries == 0;
            bool lost = false;
            for (int g = 0; g < geometries; ++g) {
                OGRGeometry* geometry = feature->StealGeometry(g);
                if (!geometry) {
                    if (nativeGeoJson && g == 0 && nativeGeometryPresent(feature->GetNativeData()))
                        throw FileError(job_.in.string() + ": layer " + inQuotes(plan.name) + ", " + where() +
                                        ": its geometry cannot be read");
                    continue;
                }
                if (geometry->IsEmpty()) {
                    geometry->assignSpatialReference(&target_);
                } else {
                    anyGeometry = true;
                    mover.prepare(plan.forms[static_cast<std::size_t>(g)], geometry->Is3D());
                    const OGRErr moved = geometry->transform(&mover);
                    if (moved != OGRERR_NONE || mover.failed()) {
                        OGRGeometryFactory::destroyGeometry(geometry);
                        if (mover.failed())
                            throw FileError(job_.in.string() + ": layer " + inQuotes(plan.name) + ", " + where() +
                                            ": the vertex " + vertexText(mover.failedE(), mover.failedN()) +
                                            " lies outside the model");
                        failLayer(plan, where() + ": the geometry cannot be moved");
                    }
                    geometryLosses(*layer, g, *geometry, fid, format);
                }
                copy->SetGeomFieldDirectly(g, geometry);
            }
            if (!anyGeometry) {
                if (format.needsGeometry) {
                    losses_.add(std::string("features without a geometry (NULL or EMPTY), which the ") +
                                    format.driver + " format cannot hold",
                                fid);
                    lost = true;
                } else {
                    ++withoutGeometry;
                }
            }
            if (const char* style = feature->GetStyleString())
                copy->SetStyleString(style);
            if (const char* native = feature->GetNativeData()) {
                copy->SetNativeData(native);
                copy->SetNativeMediaType(feature->GetNativeMediaType());
            }
            copy->SetFID(keepFid_ ? fid : OGRNullFID);
            if (!lost) {
                // A failure ends the run at once; a warning may tell of
                // something the driver changed on the way (a text cut to the
                // field's width, a number too wide for it).
                const std::size_t failures = messages_.failures();
                const std::size_t warnings = messages_.warnings().size();
                const std::size_t said = messages_.events();
                if (layer->CreateFeature(copy.get()) != OGRERR_NONE || messages_.failures() != failures) {
                    // A Shapefile takes the geometry type of its first feature.
                    if (cutsTexts && messages_.failures() != failures &&
                        messages_.reason().find("geometry") != std::string::npos)
                        throw FileError(job_.out.string() + ": layer " + inQuotes(plan.name) + ": " + where() +
                                        " cannot be written" + messages_.reason() +
                                        " (a Shapefile holds one geometry type a layer; a GeoPackage (.gpkg) "
                                        "holds them all)");
                    failLayer(plan, where() + " cannot be written");
                }
                if (messages_.events() != said && lossWarning(messages_.last())) {
                    // A text cut to its Shapefile field is listed above.
                    if (!cutsTexts || messages_.last().find("truncated") == std::string::npos)
                        losses_.add(messages_.last(), fid);
                    messages_.takeWarningsSince(warnings);
                }
                written_.back().add(*copy);
                ++summary_.features;
            }
            ++read_;
            if (transactions && ++inTransaction == kTransactionSize) {
                if (output.CommitTransaction() != OGRERR_NONE || output.StartTransaction() != OGRERR_NONE)
                    failLayer(plan, "cannot be written");
                inTransaction = 0;
            }
            if (read_ % kProgressStep == 0)
                step();
        }
        if (transactions && output.CommitTransaction() != OGRERR_NONE)
            failLayer(plan, "cannot be written");
        if (!losses_.empty()) {
            if (!job_.lossy)
                throw FileError(job_.out.string() + ": layer " + inQuotes(plan.name) + ": the " + format.driver +
                                " format cannot hold all of it, so nothing is written: " + losses_.list() +
                                " (--lossy writes it with these changes; a GeoPackage (.gpkg) holds it all)");
            for (const auto& line : losses_.lines())
                summary_.warnings.push_back("layer " + inQuotes(plan.name) + ": " + line);
        }
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
            progress_.report(std::min(1.0, static_cast<double>(read_) / total_));
    }

    const DatasetJob& job_;
    const MigrateProgress& progress_;
    GdalMessages& messages_;
    OGRSpatialReference target_;
    DatasetSummary summary_;
    std::vector<int> fieldMap_;
    Losses losses_;
    std::vector<WrittenLayer> written_; // what each layer got, to be found again in the file
    bool keepFid_ = false;
    double total_ = 1;
    std::size_t read_ = 0; // features read, written or (accepted as lost) not
};

} // namespace

// Every GDAL driver, once, with the network shut off before the first can
// reach it.
void gdal::registerDrivers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        disableNetworkAccess();
        GDALAllRegister();
    });
}

DatasetSummary gdal::migrateDataset(const DatasetJob& job, const MigrateProgress& progress)
{
    if (!job.move)
        throw FileError("no vertex transformation given for " + job.in.string());
    refuseNetworkPath(job.in);
    refuseNetworkPath(job.out);
    // Before anything is read: the output shares no file with the input, and
    // every part of an existing output can be replaced.
    checkDatasetsApart(job.in, job.out);
    checkDatasetOutputParts(job.out);
    registerDrivers();
    takeRefusedRequests(); // none of an earlier job's
    GdalMessages messages;
    DatasetWriter writer(job, progress, messages);
    return writer.run();
}

} // namespace kolmo
