// Rasters through the national model, warped with GDAL's warp kernel and a
// transformer of Kolmo's own.
//
// The model is affine inside each triangle of tie points, so the map from a
// target pixel to its source position is affine along every run of pixels of
// a row that stays in one triangle.  The transformer composes the
// triangle's map with both pixel grids (pixel to pixel in a few multiply-adds),
// walks a row keeping the triangle of the previous pixel while it still holds
// the next one (one barycentric test, linear in the pixel position too) and
// looks it up in the model's cell index only where the row crosses an edge:
// each pixel gets the exact source position, at about
// the cost of the approximating transformer gdalwarp uses by default (which
// interpolates between exact points and needs an error threshold).  GDAL's
// kernels do the resampling (nearest, bilinear, cubic, Lanczos, average) with
// its nodata and alpha rules, so there is one resampler for Kolmo and GDAL
// users alike; a warper of our own over block I/O would have had to rebuild
// those kernels and would not be faster, as the transformer is not where the
// time goes.
//
// The chunks are ours too: the target is warped in bands of whole block rows
// (each compressed tile is written once, in order) and each band's source
// window is computed exactly from the model (the band's outline mapped pixel
// by pixel and the tie points inside it: a piecewise-affine map takes its
// extremes there), where GDAL's own chunking samples 21 points an edge and
// can miss a sliver of pixels along the model's outer edge.  A band is at
// most kWarpMemory of buffers, and the rest of the memory is GDAL's block
// cache (GDAL_CACHEMAX): the raster's size does not matter.
#include "migrate/gdal/module.h"

#include "migrate/gdal/crs_check.h"

#include "geodesy/elipgk.h"
#include "migrate/tran_trik.h"
#include "migrate/vis_svs.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_alg.h>
#include <gdal_priv.h>
#include <gdal_rat.h>
#include <gdalwarper.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

constexpr double kZoneOffset = 5000000.0;
constexpr double kWarpMemory = 64.0 * 1024 * 1024; // bytes of source and target buffers of one band
constexpr int kBandRows = 512;                     // target rows of a band, rounded to whole blocks
constexpr std::size_t kMaxWarnings = 50;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Barycentric coordinates down to this count as inside, as the model counts them.
constexpr double kInsideEps = 1e-12;

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// GDAL's messages of this thread gathered for Kolmo's errors and warnings.
class Messages {
public:
    Messages()
    {
        CPLPushErrorHandlerEx(&Messages::handle, this);
        CPLErrorReset();
    }
    ~Messages() { CPLPopErrorHandler(); }
    Messages(const Messages&) = delete;
    Messages& operator=(const Messages&) = delete;

    std::size_t failures() const { return failures_; }
    std::string reason() const { return last_.empty() ? std::string() : ": " + last_; }
    std::vector<std::string>& warnings() { return warnings_; }

private:
    static void CPL_STDCALL handle(CPLErr kind, CPLErrorNum, const char* message)
    {
        auto* self = static_cast<Messages*>(CPLGetErrorHandlerUserData());
        if (!self || !message)
            return;
        if (kind >= CE_Failure) {
            self->last_ = message;
            ++self->failures_;
        } else if (kind == CE_Warning && self->warnings_.size() < kMaxWarnings &&
                   std::find(self->warnings_.begin(), self->warnings_.end(), message) == self->warnings_.end()) {
            self->warnings_.emplace_back(message);
        }
    }

    std::string last_;
    std::size_t failures_ = 0;
    std::vector<std::string> warnings_;
};

using gdal::registerDrivers;

struct CloseDataset {
    void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};
using Dataset = std::unique_ptr<GDALDataset, CloseDataset>;

// ---------------------------------------------------------------- CRS

// ---------------------------------------------------------------- the map

// Pixel to pixel through the model: GDAL's transformer convention (a target
// pixel position to its source position when dstToSrc, else the other way).
// The header lets GDAL tell it from its own transformers.
struct PixelMap {
    GDALTransformerInfo info{};
    const TriangleModel* model = nullptr;
    int sourcePlane = 0;   // the model's plane of the source raster: 0 D48/GK, 1 D96/TM
    double sourceShift = 0; // metres off both source coordinates (the Balkans zone 5 form)
    double srcGt[6]{}, srcInv[6]{}, dstGt[6]{}, dstInv[6]{};
};

int mapPixels(void* arg, int dstToSrc, int count, double* x, double* y, double*, int* ok)
{
    const PixelMap& m = *static_cast<const PixelMap*>(arg);
    const int plane = dstToSrc ? 1 - m.sourcePlane : m.sourcePlane;
    const double* g = dstToSrc ? m.dstGt : m.srcGt;
    const double* inv = dstToSrc ? m.srcInv : m.dstInv;
    const double shiftIn = dstToSrc ? 0.0 : m.sourceShift, shiftOut = dstToSrc ? m.sourceShift : 0.0;
    // The triangle of the run as linear functions of the pixel position:
    // barycentric coordinates l2 = B[0] + B[1] x + B[2] y (l3 from B[3..5])
    // and the position in the other raster, X = C[0] + C[1] x + C[2] y (Y
    // from C[3..5]): the model's coefficients composed with the two grids.
    long t = -1;
    double B[6] = {}, C[6] = {};
    const auto compose = [&](long triangle) {
        double b[6], a[6];
        m.model->coefficients(plane, static_cast<std::size_t>(triangle), b, a);
        // e = g0 - s + g1 x + g2 y, n = g3 - s + g4 x + g5 y.
        const double e0 = g[0] - shiftIn, n0 = g[3] - shiftIn;
        for (int k = 0; k < 2; ++k) {
            const double* f = k == 0 ? b : b + 3;
            B[3 * k] = f[0] + f[1] * e0 + f[2] * n0;
            B[3 * k + 1] = f[1] * g[1] + f[2] * g[4];
            B[3 * k + 2] = f[1] * g[2] + f[2] * g[5];
        }
        // Target easting and northing as functions of x, y; then its pixel.
        double te[3], tn[3];
        te[0] = a[0] + a[1] * e0 + a[2] * n0 + shiftOut;
        te[1] = a[1] * g[1] + a[2] * g[4];
        te[2] = a[1] * g[2] + a[2] * g[5];
        tn[0] = a[3] + a[4] * e0 + a[5] * n0 + shiftOut;
        tn[1] = a[4] * g[1] + a[5] * g[4];
        tn[2] = a[4] * g[2] + a[5] * g[5];
        for (int k = 0; k < 2; ++k) {
            const double* r = inv + 3 * k;
            C[3 * k] = r[0] + r[1] * te[0] + r[2] * tn[0];
            C[3 * k + 1] = r[1] * te[1] + r[2] * tn[1];
            C[3 * k + 2] = r[1] * te[2] + r[2] * tn[2];
        }
    };
    // Along a row (y fixed, as GDAL asks for a row of target pixels) the
    // barycentric coordinates are linear in x, so the run of the triangle is
    // an interval of x, found once: inside it (short of its ends by a
    // margin far above rounding) a pixel needs no test.
    double runY = std::numeric_limits<double>::quiet_NaN(), runLo = 0, runHi = -1, ax = 0, ay = 0;
    const auto startRun = [&](double py) {
        runY = py;
        runLo = -std::numeric_limits<double>::infinity();
        runHi = std::numeric_limits<double>::infinity();
        // l = c + d x >= 0 for l2, l3 and l1 = 1 - l2 - l3.
        const double c2 = B[0] + B[2] * py, d2 = B[1], c3 = B[3] + B[5] * py, d3 = B[4];
        const double cs[3] = {c2, c3, 1.0 - c2 - c3}, ds[3] = {d2, d3, -d2 - d3};
        for (int k = 0; k < 3; ++k) {
            if (ds[k] > 0)
                runLo = std::max(runLo, -cs[k] / ds[k]);
            else if (ds[k] < 0)
                runHi = std::min(runHi, -cs[k] / ds[k]);
            else if (cs[k] < 0)
                runHi = -std::numeric_limits<double>::infinity();
        }
        const double margin = 1e-6 * (1.0 + std::abs(runLo) + std::abs(runHi));
        runLo += std::isfinite(runLo) ? margin : 0.0;
        runHi -= std::isfinite(runHi) ? margin : 0.0;
        ax = C[0] + C[2] * py;
        ay = C[3] + C[5] * py;
    };
    for (int i = 0; i < count; ++i) {
        const double px = x[i], py = y[i];
        if (t >= 0 && py == runY && px > runLo && px < runHi) {
            x[i] = ax + C[1] * px;
            y[i] = ay + C[4] * px;
            ok[i] = 1;
            continue;
        }
        bool in = false;
        if (t >= 0) {
            // The run goes on while the triangle of the previous pixel holds this one.
            const double l2 = B[0] + B[1] * px + B[2] * py, l3 = B[3] + B[4] * px + B[5] * py;
            in = l2 >= -kInsideEps && l3 >= -kInsideEps && 1.0 - l2 - l3 >= -kInsideEps;
        }
        if (!in) {
            const double e = g[0] + px * g[1] + py * g[2] - shiftIn;
            const double n = g[3] + px * g[4] + py * g[5] - shiftIn;
            const long found = m.model->find(plane, e, n);
            if (found < 0) {
                ok[i] = 0;
                continue;
            }
            if (found != t) {
                t = found;
                compose(t);
                runY = std::numeric_limits<double>::quiet_NaN();
            }
        }
        if (py != runY)
            startRun(py);
        x[i] = C[0] + C[1] * px + C[2] * py;
        y[i] = C[3] + C[4] * px + C[5] * py;
        ok[i] = 1;
    }
    return TRUE;
}

// The box of the pixel positions (in the other raster) of the points of a
// rectangle [x0, x1] x [y0, y1] of pixels: its outline mapped at every pixel
// step and the tie points inside it.  Over the part of the rectangle inside
// the model the map is piecewise affine, so its extremes lie at those points.
struct Box {
    double lo[2] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    double hi[2] = {-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    bool any = false, missed = false; // a point mapped; a point of the outline outside the model
    void add(double x, double y)
    {
        lo[0] = std::min(lo[0], x);
        hi[0] = std::max(hi[0], x);
        lo[1] = std::min(lo[1], y);
        hi[1] = std::max(hi[1], y);
        any = true;
    }
};

Box mappedBox(PixelMap& m, bool dstToSrc, double x0, double y0, double x1, double y1)
{
    std::vector<double> xs, ys;
    const auto edge = [&](double ax, double ay, double bx, double by) {
        const int steps = std::max(1, static_cast<int>(std::ceil(std::max(std::abs(bx - ax), std::abs(by - ay)))));
        for (int k = 0; k <= steps; ++k) {
            xs.push_back(ax + (bx - ax) * k / steps);
            ys.push_back(ay + (by - ay) * k / steps);
        }
    };
    edge(x0, y0, x1, y0);
    edge(x1, y0, x1, y1);
    edge(x1, y1, x0, y1);
    edge(x0, y1, x0, y0);
    // The tie points inside the rectangle, as pixel positions of its raster.
    const int plane = dstToSrc ? 1 - m.sourcePlane : m.sourcePlane;
    const double* inv = dstToSrc ? m.dstInv : m.srcInv;
    const double shift = dstToSrc ? 0.0 : m.sourceShift;
    const std::size_t outline = xs.size();
    for (const auto& tie : m.model->points()) {
        const double e = (plane == 0 ? tie.gkE : tie.tmE) + shift, n = (plane == 0 ? tie.gkN : tie.tmN) + shift;
        const double px = inv[0] + e * inv[1] + n * inv[2], py = inv[3] + e * inv[4] + n * inv[5];
        if (px >= x0 && px <= x1 && py >= y0 && py <= y1) {
            xs.push_back(px);
            ys.push_back(py);
        }
    }
    std::vector<int> ok(xs.size());
    mapPixels(&m, dstToSrc ? 1 : 0, static_cast<int>(xs.size()), xs.data(), ys.data(), nullptr, ok.data());
    Box box;
    for (std::size_t k = 0; k < xs.size(); ++k) {
        if (ok[k])
            box.add(xs[k], ys[k]);
        else if (k < outline)
            box.missed = true;
    }
    return box;
}

// ---------------------------------------------------------------- formats

GDALResampleAlg resampling(const std::string& name)
{
    if (name == "near" || name.empty())
        return GRA_NearestNeighbour;
    if (name == "bilinear")
        return GRA_Bilinear;
    if (name == "cubic")
        return GRA_Cubic;
    if (name == "lanczos")
        return GRA_Lanczos;
    if (name == "average")
        return GRA_Average;
    throw FileError("no resampling \"" + name + "\"; Kolmo resamples near, bilinear, cubic, lanczos or average");
}

// Source pixels a target pixel's kernel reaches beyond its own position.
int kernelRadius(GDALResampleAlg alg, double ratio)
{
    switch (alg) {
    case GRA_Bilinear:
        return static_cast<int>(std::ceil(ratio)) + 1;
    case GRA_Cubic:
        return 2 * static_cast<int>(std::ceil(ratio)) + 1;
    case GRA_Lanczos:
        return 3 * static_cast<int>(std::ceil(ratio)) + 1;
    case GRA_Average:
        return static_cast<int>(std::ceil(ratio)) + 1;
    default:
        return 1;
    }
}

const char* overviewResampling(GDALResampleAlg alg)
{
    switch (alg) {
    case GRA_Bilinear:
        return "BILINEAR";
    case GRA_Cubic:
        return "CUBIC";
    case GRA_Lanczos:
        return "LANCZOS";
    case GRA_Average:
        return "AVERAGE";
    default:
        return "NEAREST";
    }
}

bool hasExtension(GDALDriver* driver, const std::string& extension)
{
    const char* list = driver->GetMetadataItem(GDAL_DMD_EXTENSIONS);
    if (!list)
        list = driver->GetMetadataItem(GDAL_DMD_EXTENSION);
    if (!list)
        return false;
    const CPLStringList items(CSLTokenizeString2(list, " ", 0));
    for (int i = 0; i < items.size(); ++i)
        if (EQUAL(items[i], extension.c_str()))
            return true;
    return false;
}

bool writes(GDALDriver* driver)
{
    return driver->GetMetadataItem(GDAL_DCAP_RASTER) &&
           (driver->GetMetadataItem(GDAL_DCAP_CREATE) || driver->GetMetadataItem(GDAL_DCAP_CREATECOPY));
}

// The output's driver: the input's own where the extension is one of its,
// GeoTIFF for .tif and .tiff, else the first raster driver of the extension
// that writes.
GDALDriver* outputDriver(const fs::path& out, GDALDriver* inputDriver)
{
    std::string extension = lowerCase(out.extension().string());
    if (!extension.empty())
        extension.erase(0, 1);
    if (extension.empty())
        throw FileError(out.string() + ": the output needs an extension that names its raster format (.tif, ...)");
    if (inputDriver && writes(inputDriver) && hasExtension(inputDriver, extension))
        return inputDriver;
    auto* manager = GetGDALDriverManager();
    if (extension == "tif" || extension == "tiff")
        return manager->GetDriverByName("GTiff");
    for (int i = 0; i < manager->GetDriverCount(); ++i) {
        GDALDriver* driver = manager->GetDriver(i);
        if (writes(driver) && hasExtension(driver, extension))
            return driver;
    }
    throw FileError(out.string() + ": GDAL writes no raster format with the extension \"." + extension + "\"");
}

// A GeoTIFF written as the input GeoTIFF was: its compression, tiles or
// strips, interleaving, predictor and bit depth.
CPLStringList creationOptions(const MigrateOptions& o, GDALDataset& input, GDALDriver& driver, bool sameDriver)
{
    CPLStringList options;
    if (!o.creationOptions.empty()) {
        for (const auto& option : o.creationOptions)
            options.AddString(option.c_str());
        return options;
    }
    if (!EQUAL(driver.GetDescription(), "GTiff"))
        return options;
    options.SetNameValue("BIGTIFF", "IF_SAFER");
    if (!sameDriver)
        return options;
    if (const char* compression = input.GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE")) {
        if (EQUAL(compression, "YCbCr JPEG")) {
            options.SetNameValue("COMPRESS", "JPEG");
            options.SetNameValue("PHOTOMETRIC", "YCBCR");
        } else {
            options.SetNameValue("COMPRESS", compression);
        }
    }
    if (const char* interleave = input.GetMetadataItem("INTERLEAVE", "IMAGE_STRUCTURE"))
        options.SetNameValue("INTERLEAVE", interleave);
    if (const char* predictor = input.GetMetadataItem("PREDICTOR", "IMAGE_STRUCTURE"))
        options.SetNameValue("PREDICTOR", predictor);
    GDALRasterBand* band = input.GetRasterBand(1);
    if (const char* bits = band->GetMetadataItem("NBITS", "IMAGE_STRUCTURE"))
        options.SetNameValue("NBITS", bits);
    if (const char* pixelType = band->GetMetadataItem("PIXELTYPE", "IMAGE_STRUCTURE"))
        options.SetNameValue("PIXELTYPE", pixelType);
    int bx = 0, by = 0;
    band->GetBlockSize(&bx, &by);
    if (bx != input.GetRasterXSize()) { // strips span the width; tiles may be wider than a small raster
        options.SetNameValue("TILED", "YES");
        options.SetNameValue("BLOCKXSIZE", std::to_string(bx).c_str());
        options.SetNameValue("BLOCKYSIZE", std::to_string(by).c_str());
    } else if (by > 0) {
        options.SetNameValue("BLOCKYSIZE", std::to_string(by).c_str());
    }
    return options;
}

// Every band's description, metadata, nodata, scale and offset, unit,
// colour interpretation, colour table, categories and attribute table, and
// the dataset's metadata.
void copyDescriptions(GDALDataset& input, GDALDataset& output)
{
    if (char** metadata = input.GetMetadata())
        output.SetMetadata(metadata);
    for (int b = 1; b <= input.GetRasterCount(); ++b) {
        GDALRasterBand* from = input.GetRasterBand(b);
        GDALRasterBand* to = output.GetRasterBand(b);
        if (*from->GetDescription())
            to->SetDescription(from->GetDescription());
        if (char** metadata = from->GetMetadata())
            to->SetMetadata(metadata);
        int has = FALSE;
        const double scale = from->GetScale(&has);
        if (has && scale != 1.0)
            to->SetScale(scale);
        const double offset = from->GetOffset(&has);
        if (has && offset != 0.0)
            to->SetOffset(offset);
        if (*from->GetUnitType())
            to->SetUnitType(from->GetUnitType());
        to->SetColorInterpretation(from->GetColorInterpretation());
        if (GDALColorTable* table = from->GetColorTable())
            to->SetColorTable(table);
        if (char** categories = from->GetCategoryNames())
            to->SetCategoryNames(categories);
        if (const GDALRasterAttributeTable* rat = from->GetDefaultRAT())
            to->SetDefaultRAT(rat);
    }
}

// ---------------------------------------------------------------- warping

// After each band of target rows is resampled and before it is written: the
// pixels that hold data are counted, and with --heights the SVS2000/SVS2010
// offset at each pixel's centre moves its value.
struct AfterChunk {
    const PixelMap* map = nullptr;
    MigrateHeights heights = MigrateHeights::Keep;
    const SvsOffset* svs = nullptr;
    std::optional<ZoneProjection> tm;
    double scale = 1.0;       // of the height band: a stored value v is the height v * scale + offset
    double noData = kNaN;     // of the height band
    bool hasNoData = false;
    std::size_t withData = 0; // pixels that hold data
    std::size_t heightsLost = 0;
};

bool validAt(const GDALWarpKernel& k, std::size_t i)
{
    if (k.panDstValid)
        return (k.panDstValid[i >> 5] & (0x01u << (i & 0x1f))) != 0;
    if (k.pafDstDensity)
        return k.pafDstDensity[i] > 0.0f;
    return true;
}

CPLErr afterChunk(void* kernel, void* arg)
{
    auto& k = *static_cast<GDALWarpKernel*>(kernel);
    auto& a = *static_cast<AfterChunk*>(arg);
    const std::size_t w = static_cast<std::size_t>(k.nDstXSize), h = static_cast<std::size_t>(k.nDstYSize);
    if (a.heights == MigrateHeights::Keep) {
        const std::size_t n = w * h;
        if (k.panDstValid) {
            // A word of the mask at a time; the bits beyond the last pixel are not counted.
            for (std::size_t word = 0; word < n / 32; ++word)
                a.withData += static_cast<std::size_t>(std::popcount(k.panDstValid[word]));
            for (std::size_t i = n / 32 * 32; i < n; ++i)
                a.withData += validAt(k, i);
        } else if (k.pafDstDensity) {
            for (std::size_t i = 0; i < n; ++i)
                a.withData += validAt(k, i);
        } else {
            a.withData += n; // no mask: every pixel was written
        }
        return CE_None;
    }
    // One band of heights: a row at a time through doubles.
    const int word = GDALGetDataTypeSizeBytes(k.eWorkingDataType);
    std::vector<double> row(w);
    const double* g = a.map->dstGt;
    const bool targetGk = a.map->sourcePlane == 1;
    for (std::size_t r = 0; r < h; ++r) {
        GByte* data = k.papabyDstImage[0] + r * w * static_cast<std::size_t>(word);
        GDALCopyWords64(data, k.eWorkingDataType, word, row.data(), GDT_Float64, 8, static_cast<GPtrDiff_t>(w));
        for (std::size_t c = 0; c < w; ++c) {
            const std::size_t i = r * w + c;
            if (!validAt(k, i) || (a.hasNoData && (row[c] == a.noData || std::isnan(row[c]))))
                continue;
            const double px = k.nDstXOff + static_cast<double>(c) + 0.5, py = k.nDstYOff + static_cast<double>(r) + 0.5;
            double e = g[0] + px * g[1] + py * g[2], n = g[3] + px * g[4] + py * g[5];
            // The offset grid is in D96 latitude and longitude.
            bool inside = true;
            if (targetGk)
                inside = a.map->model->gkToTm(e, n, e, n);
            double fi = kNaN, la = kNaN;
            if (inside)
                a.tm->toGeodetic(n, e, fi, la);
            const double offset = inside ? a.svs->at(fi, la) : kNaN;
            if (std::isnan(offset)) {
                ++a.heightsLost;
                row[c] = a.noData;
                if (k.panDstValid)
                    k.panDstValid[i >> 5] &= ~(0x01u << (i & 0x1f));
                continue;
            }
            row[c] += (a.heights == MigrateHeights::Svs2000To2010 ? offset : -offset) / a.scale;
            ++a.withData;
        }
        GDALCopyWords64(row.data(), GDT_Float64, 8, data, k.eWorkingDataType, word, static_cast<GPtrDiff_t>(w));
    }
    return CE_None;
}

struct ProgressState {
    const MigrateProgress* progress = nullptr;
    double share = 1.0; // of the whole run that the warp takes
};

int CPL_STDCALL warpProgress(double done, const char*, void* arg)
{
    const auto& s = *static_cast<const ProgressState*>(arg);
    if (s.progress->cancel && s.progress->cancel->load(std::memory_order_relaxed))
        return FALSE;
    if (s.progress->report)
        s.progress->report(std::clamp(done, 0.0, 1.0) * s.share);
    return TRUE;
}

struct FreeWarpOptions {
    void operator()(GDALWarpOptions* o) const { GDALDestroyWarpOptions(o); }
};

class RasterJob {
public:
    RasterJob(const MigrateOptions& o, const MigrateProgress& progress, Messages& messages)
        : o_(o), progress_(progress), messages_(messages)
    {
    }

    // What can be told before anything is written: the raster opens, is
    // georeferenced and lies in the direction's source CRS.
    void check()
    {
        const std::string in = o_.in.string();
        if (!o_.paramsName.empty() || !o_.paramsJson.empty())
            throw FileError(in + ": a raster moves with the national triangle-based model only, not with a "
                                 "parameter set");
        resampling(o_.resampling);
        Dataset input(GDALDataset::Open(o_.in.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
        if (!input || input->GetRasterCount() == 0)
            throw FileError("cannot read " + in + " as a raster" + messages_.reason());
        if (input->GetGeoTransform(map_.srcGt) != CE_None || !GDALInvGeoTransform(map_.srcGt, map_.srcInv))
            throw FileError(in + ": the raster has no georeference (geotransform); Kolmo moves georeferenced "
                                 "rasters");
        checkCrs(*input);
    }

    MigrateSummary run()
    {
        const std::string in = o_.in.string();
        if (!o_.paramsName.empty() || !o_.paramsJson.empty())
            throw FileError(in + ": a raster moves with the national triangle-based model only, not with a "
                                 "parameter set");
        const GDALResampleAlg alg = resampling(o_.resampling);
        Dataset input(GDALDataset::Open(o_.in.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
        if (!input || input->GetRasterCount() == 0)
            throw FileError("cannot read " + in + " as a raster" + messages_.reason());
        const int bands = input->GetRasterCount();
        if (input->GetGeoTransform(map_.srcGt) != CE_None || !GDALInvGeoTransform(map_.srcGt, map_.srcInv))
            throw FileError(in + ": the raster has no georeference (geotransform); Kolmo moves georeferenced "
                                 "rasters");
        checkCrs(*input);
        std::memcpy(map_.info.abySignature, GDAL_GTI2_SIGNATURE, sizeof map_.info.abySignature);
        map_.info.pszClassName = "KolmoTriangleModelTransformer";
        map_.info.pfnTransform = mapPixels;
        map_.model = &TriangleModel::of(o_.dataDir);

        // The heights: one band of floating-point values.
        GDALRasterBand* first = input->GetRasterBand(1);
        if (o_.heights != MigrateHeights::Keep) {
            const GDALDataType type = first->GetRasterDataType();
            if (bands != 1 || (type != GDT_Float32 && type != GDT_Float64))
                throw FileError(in + ": --heights moves an elevation raster, one band of floating-point heights; "
                                     "this raster has " +
                                std::to_string(bands) + " band(s) of " + GDALGetDataTypeName(type));
        }

        // The target grid, from the footprint in target coordinates (a unit
        // geotransform for the target until its grid is known).
        const double unit[6] = {0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
        std::copy(unit, unit + 6, map_.dstGt);
        std::copy(unit, unit + 6, map_.dstInv);
        const Box footprint = mappedBox(map_, false, 0, 0, input->GetRasterXSize(), input->GetRasterYSize());
        targetGrid(footprint);
        if (footprint.missed)
            summary_.warnings.push_back(in + ": part of the raster lies outside the national model; the target "
                                             "pixels there have no data");

        GDALDriver* driver = outputDriver(o_.out, input->GetDriver());
        const bool direct = driver->GetMetadataItem(GDAL_DCAP_CREATE) != nullptr;
        CPLStringList options = creationOptions(o_, *input, *driver, driver == input->GetDriver());

        platform::FolderWriter folder(o_.out);
        const fs::path stage = folder.file().parent_path() / "kolmo-stage.tif";
        {
            GDALDriver* createWith = direct ? driver : GetGDALDriverManager()->GetDriverByName("GTiff");
            CPLStringList used;
            if (direct) {
                used = options;
            } else {
                used.SetNameValue("TILED", "YES");
                used.SetNameValue("BIGTIFF", "IF_SAFER");
            }
            Dataset output(createWith->Create((direct ? folder.file() : stage).c_str(), width_, height_, bands,
                                              first->GetRasterDataType(), used.List()));
            if (!output)
                throw FileError("cannot create " + o_.out.string() + messages_.reason());
            output->SetGeoTransform(map_.dstGt);
            const OGRSpatialReference target = fromEpsg(map_.sourcePlane == 0 ? 3794 : 3912);
            output->SetSpatialRef(&target);
            copyDescriptions(*input, *output);
            warp(*input, *output, alg);
            buildOverviews(*input, *output, alg);
            const std::size_t failuresBefore = messages_.failures();
            output.reset(); // closing writes the last blocks
            if (messages_.failures() != failuresBefore)
                throw FileError("cannot write " + o_.out.string() + messages_.reason());
        }
        if (!direct) {
            Dataset staged(GDALDataset::Open(stage.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
            if (!staged)
                throw FileError("cannot write " + o_.out.string() + messages_.reason());
            Dataset copy(driver->CreateCopy(folder.file().c_str(), staged.get(), FALSE, options.List(), nullptr,
                                            nullptr));
            if (!copy)
                throw FileError("cannot write " + o_.out.string() + messages_.reason());
            const std::size_t failuresBefore = messages_.failures();
            copy.reset();
            if (messages_.failures() != failuresBefore)
                throw FileError("cannot write " + o_.out.string() + messages_.reason());
            staged.reset();
            std::error_code ignored;
            for (const char* suffix : {"", ".aux.xml", ".ovr"})
                fs::remove(stage.string() + suffix, ignored);
        }
        input.reset();
        const std::string name = o_.out.filename().string();
        folder.commit({name + ".aux.xml", name + ".ovr", name + ".msk"});
        if (progress_.report)
            progress_.report(1.0);
        if (after_.heightsLost > 0)
            summary_.warnings.push_back(std::to_string(after_.heightsLost) +
                                        " pixel(s) outside the SVS2000/SVS2010 offset grid have no height and are "
                                        "left without data");
        for (auto& warning : messages_.warnings())
            summary_.warnings.push_back(std::move(warning));
        summary_.raster = true;
        summary_.written = after_.withData;
        return std::move(summary_);
    }

private:
    void checkCrs(GDALDataset& input)
    {
        const std::string in = o_.in.string();
        const OGRSpatialReference* srs = input.GetSpatialRef();
        SloveneGrid plane = SloveneGrid::Other;
        if (!srs || srs->IsEmpty() || srs->IsLocal()) {
            if (o_.assumeCrs.empty())
                throw FileError(in + ": the raster has no CRS; give --assume-crs gk or tm");
            plane = o_.assumeCrs == "tm" ? SloveneGrid::Tm : SloveneGrid::Gk;
        } else {
            // By the definition, as a layer's; the code must not contradict it.
            const CrsVerdict verdict = judgeCrs(*srs);
            if (!verdict.contradiction.empty())
                throw FileError(in + ": " + verdict.contradiction);
            if (!verdict.variant.empty())
                summary_.warnings.push_back(verdict.variant);
            plane = verdict.grid;
        }
        const bool fromGk = o_.from == MigrateFrom::Gk;
        if (fromGk ? (plane != SloveneGrid::Gk && plane != SloveneGrid::GkZone5) : plane != SloveneGrid::Tm)
            throw FileError(in + ": the raster is in " +
                            (srs && srs->GetName() ? "\"" + std::string(srs->GetName()) + "\"" : "another CRS") +
                            ", where " + (fromGk ? "D48/GK, EPSG:3912 (or EPSG:31275)" : "D96/TM, EPSG:3794") +
                            " is expected");
        map_.sourcePlane = fromGk ? 0 : 1;
        map_.sourceShift = plane == SloveneGrid::GkZone5 ? kZoneOffset : 0.0;
    }

    void targetGrid(const Box& footprint)
    {
        const std::string in = o_.in.string();
        if (!footprint.any)
            throw FileError(in + ": the raster lies wholly outside the national model");
        const double* s = map_.srcGt;
        double rx = std::hypot(s[1], s[4]), ry = std::hypot(s[2], s[5]);
        if (o_.targetResolution > 0)
            rx = ry = o_.targetResolution;
        if (!(rx > 0) || !(ry > 0))
            throw FileError(in + ": the raster's pixel size is zero");
        double x0, y0, x1, y1;
        if (o_.targetExtent.size() == 4) {
            x0 = o_.targetExtent[0];
            y0 = o_.targetExtent[1];
            x1 = o_.targetExtent[2];
            y1 = o_.targetExtent[3];
            if (!(x1 > x0) || !(y1 > y0))
                throw FileError("the target extent needs xmin < xmax and ymin < ymax");
        } else {
            // Whole multiples of the pixel size, as gdalwarp -tap aligns.
            x0 = std::floor(footprint.lo[0] / rx) * rx;
            x1 = std::ceil(footprint.hi[0] / rx) * rx;
            y0 = std::floor(footprint.lo[1] / ry) * ry;
            y1 = std::ceil(footprint.hi[1] / ry) * ry;
        }
        const double w = std::round((x1 - x0) / rx), h = std::round((y1 - y0) / ry);
        if (w < 1 || h < 1 || w > 1e7 || h > 1e7)
            throw FileError(o_.out.string() + ": a target grid of " + std::to_string(w) + " x " +
                            std::to_string(h) + " pixels cannot be written");
        width_ = static_cast<int>(w);
        height_ = static_cast<int>(h);
        const double gt[6] = {x0, rx, 0.0, y1, 0.0, -ry};
        std::copy(gt, gt + 6, map_.dstGt);
        if (!GDALInvGeoTransform(map_.dstGt, map_.dstInv))
            throw FileError(o_.out.string() + ": the target grid cannot be inverted");
    }

    void warp(GDALDataset& input, GDALDataset& output, GDALResampleAlg alg)
    {
        const std::string in = o_.in.string();
        const int bands = input.GetRasterCount();
        std::unique_ptr<GDALWarpOptions, FreeWarpOptions> wo(GDALCreateWarpOptions());
        wo->hSrcDS = GDALDataset::ToHandle(&input);
        wo->hDstDS = GDALDataset::ToHandle(&output);
        wo->eResampleAlg = alg;
        wo->dfWarpMemoryLimit = kWarpMemory;
        wo->pfnTransformer = mapPixels;
        wo->pTransformerArg = &map_;
        // The alpha band, if any, is warped as alpha; the others as data.
        int alpha = 0;
        for (int b = 1; b <= bands; ++b)
            if (input.GetRasterBand(b)->GetColorInterpretation() == GCI_AlphaBand && alpha == 0)
                alpha = b;
        const int dataBands = bands - (alpha ? 1 : 0);
        wo->nBandCount = dataBands;
        wo->panSrcBands = static_cast<int*>(CPLMalloc(sizeof(int) * static_cast<std::size_t>(std::max(1, dataBands))));
        wo->panDstBands = static_cast<int*>(CPLMalloc(sizeof(int) * static_cast<std::size_t>(std::max(1, dataBands))));
        for (int b = 1, k = 0; b <= bands; ++b)
            if (b != alpha) {
                wo->panSrcBands[k] = b;
                wo->panDstBands[k] = b;
                ++k;
            }
        wo->nSrcAlphaBand = alpha;
        wo->nDstAlphaBand = alpha;
        // Nodata: the input's, kept; a floating-point raster without one gets
        // NaN, so that the target pixels without a source are told apart.
        // A band without nodata among bands with one: a source value that
        // never occurs, and 0 (NaN for floating point) where there is no
        // source.
        const GDALDataType type = input.GetRasterBand(1)->GetRasterDataType();
        const bool floating = GDALDataTypeIsFloating(type);
        const std::size_t n = static_cast<std::size_t>(std::max(1, dataBands));
        std::vector<double> sourceNoData(n, -1.1e20), noData(n, floating ? kNaN : 0.0);
        std::vector<bool> given(n, false);
        bool anyNoData = false;
        for (int k = 0; k < dataBands; ++k) {
            int set = FALSE;
            const double v = input.GetRasterBand(wo->panSrcBands[k])->GetNoDataValue(&set);
            if (set) {
                sourceNoData[static_cast<std::size_t>(k)] = noData[static_cast<std::size_t>(k)] = v;
                given[static_cast<std::size_t>(k)] = true;
                anyNoData = true;
            }
        }
        if (anyNoData || (floating && !alpha)) {
            wo->padfSrcNoDataReal = static_cast<double*>(CPLMalloc(sizeof(double) * n));
            wo->padfDstNoDataReal = static_cast<double*>(CPLMalloc(sizeof(double) * n));
            for (std::size_t k = 0; k < n && k < static_cast<std::size_t>(dataBands); ++k) {
                wo->padfSrcNoDataReal[k] = sourceNoData[k];
                wo->padfDstNoDataReal[k] = noData[k];
                if (given[k] || GDALDataTypeIsFloating(output.GetRasterBand(wo->panDstBands[k])->GetRasterDataType()))
                    output.GetRasterBand(wo->panDstBands[k])->SetNoDataValue(noData[k]);
            }
            // Band by band: an integer band without nodata starts at 0.
            std::string init;
            for (std::size_t k = 0; k < n && k < static_cast<std::size_t>(dataBands); ++k)
                init += std::string(k ? "," : "") + (given[k] || floating ? "NO_DATA" : "0");
            wo->papszWarpOptions = CSLSetNameValue(wo->papszWarpOptions, "INIT_DEST", init.c_str());
        } else {
            wo->papszWarpOptions = CSLSetNameValue(wo->papszWarpOptions, "INIT_DEST", "0");
            if (!alpha)
                summary_.warnings.push_back(in + ": the raster has no nodata value, so the target pixels without a "
                                                 "source pixel (at its edges) are 0");
        }
        after_.map = &map_;
        after_.heights = o_.heights;
        if (o_.heights != MigrateHeights::Keep) {
            after_.svs = &SvsOffset::of(o_.dataDir);
            after_.tm.emplace(2, 1);
            int has = FALSE;
            const double scale = input.GetRasterBand(1)->GetScale(&has);
            after_.scale = has && scale != 0.0 ? scale : 1.0;
            after_.noData = noData[0];
            after_.hasNoData = true;
        }
        wo->pfnPostWarpChunkProcessor = afterChunk;
        wo->pPostWarpProcessorArg = &after_;
        ProgressState state{&progress_, input.GetRasterBand(1)->GetOverviewCount() > 0 ? 0.8 : 0.95};
        wo->pfnProgress = warpProgress;
        wo->pProgressArg = &state;

        GDALWarpOperation operation;
        if (operation.Initialize(wo.get()) != CE_None)
            throw FileError("cannot resample " + in + messages_.reason());

        // Bands of whole block rows, as many as the buffers allow.
        int bx = 0, by = 0;
        output.GetRasterBand(1)->GetBlockSize(&bx, &by);
        by = std::max(1, by);
        const double ratio = std::max(map_.dstGt[1] / std::hypot(map_.srcGt[1], map_.srcGt[4]),
                                      -map_.dstGt[5] / std::hypot(map_.srcGt[2], map_.srcGt[5]));
        const int radius = kernelRadius(alg, ratio);
        const double pixelBytes = 2.0 * bands * GDALGetDataTypeSizeBytes(type) * std::max(1.0, ratio * ratio) + 1.0;
        const int byMemory = static_cast<int>(kWarpMemory / (pixelBytes * width_));
        int rows = std::max(by, std::min(kBandRows, byMemory) / by * by);
        const int srcW = input.GetRasterXSize(), srcH = input.GetRasterYSize();
        for (int y = 0; y < height_; y += rows) {
            const int h = std::min(rows, height_ - y);
            const Box box = mappedBox(map_, true, 0, y, width_, y + h);
            const int x0 = box.any ? std::max(0, static_cast<int>(std::floor(box.lo[0])) - radius) : 0;
            const int y0 = box.any ? std::max(0, static_cast<int>(std::floor(box.lo[1])) - radius) : 0;
            const int x1 = box.any ? std::min(srcW, static_cast<int>(std::ceil(box.hi[0])) + radius) : 0;
            const int y1 = box.any ? std::min(srcH, static_cast<int>(std::ceil(box.hi[1])) + radius) : 0;
            if (x1 <= x0 || y1 <= y0) {
                fillEmpty(output, *wo, y, h);
            } else {
                const double extraX = (x1 - x0) - (box.hi[0] - box.lo[0]);
                const double extraY = (y1 - y0) - (box.hi[1] - box.lo[1]);
                const CPLErr e = operation.WarpRegion(0, y, width_, h, x0, y0, x1 - x0, y1 - y0, std::max(0.0, extraX),
                                                      std::max(0.0, extraY), static_cast<double>(y) / height_,
                                                      static_cast<double>(h) / height_);
                if (progress_.cancel && progress_.cancel->load(std::memory_order_relaxed))
                    throw MigrateCancelled{};
                if (e != CE_None)
                    throw FileError("cannot resample " + in + messages_.reason());
            }
            if (progress_.cancel && progress_.cancel->load(std::memory_order_relaxed))
                throw MigrateCancelled{};
        }
    }

    // Rows of the target with no source pixel at all: nodata (or 0).
    void fillEmpty(GDALDataset& output, const GDALWarpOptions& wo, int y, int h)
    {
        std::vector<double> row(static_cast<std::size_t>(width_));
        for (int b = 1; b <= output.GetRasterCount(); ++b) {
            double value = 0.0;
            for (int k = 0; k < wo.nBandCount; ++k)
                if (wo.panDstBands[k] == b && wo.padfDstNoDataReal)
                    value = wo.padfDstNoDataReal[k];
            std::fill(row.begin(), row.end(), value);
            for (int r = y; r < y + h; ++r)
                if (output.GetRasterBand(b)->RasterIO(GF_Write, 0, r, width_, 1, row.data(), width_, 1, GDT_Float64, 0,
                                                      0, nullptr) != CE_None)
                    throw FileError("cannot write " + o_.out.string() + messages_.reason());
        }
    }

    // Overviews at the input's levels, when it had them.
    void buildOverviews(GDALDataset& input, GDALDataset& output, GDALResampleAlg alg)
    {
        GDALRasterBand* band = input.GetRasterBand(1);
        const int count = band->GetOverviewCount();
        if (count == 0)
            return;
        std::vector<int> levels;
        for (int k = 0; k < count; ++k) {
            GDALRasterBand* overview = band->GetOverview(k);
            if (overview && overview->GetXSize() > 0) {
                const int level = static_cast<int>(
                    std::lround(static_cast<double>(input.GetRasterXSize()) / overview->GetXSize()));
                if (level > 1 && std::find(levels.begin(), levels.end(), level) == levels.end())
                    levels.push_back(level);
            }
        }
        if (levels.empty())
            return;
        ProgressState state{&progress_, 1.0};
        auto tail = [](double done, const char*, void* arg) -> int {
            const auto& s = *static_cast<const ProgressState*>(arg);
            if (s.progress->cancel && s.progress->cancel->load(std::memory_order_relaxed))
                return FALSE;
            if (s.progress->report)
                s.progress->report(0.8 + 0.15 * std::clamp(done, 0.0, 1.0));
            return TRUE;
        };
        const CPLErr e = output.BuildOverviews(overviewResampling(alg), static_cast<int>(levels.size()),
                                               levels.data(), 0, nullptr, tail, &state);
        if (progress_.cancel && progress_.cancel->load(std::memory_order_relaxed))
            throw MigrateCancelled{};
        if (e != CE_None)
            throw FileError("cannot build the overviews of " + o_.out.string() + messages_.reason());
    }

    const MigrateOptions& o_;
    const MigrateProgress& progress_;
    Messages& messages_;
    PixelMap map_;
    AfterChunk after_;
    MigrateSummary summary_;
    int width_ = 0, height_ = 0;
};

} // namespace

bool gdal::isRasterFile(const fs::path& path)
{
    // A GeoTIFF is a raster even when it cannot be read: the error then
    // says so, rather than that it is no GIS dataset.
    const std::string extension = lowerCase(path.extension().string());
    if (extension == ".tif" || extension == ".tiff")
        return true;
    registerDrivers();
    CPLPushErrorHandler(CPLQuietErrorHandler);
    bool raster = false;
    {
        Dataset vector(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
        if (!vector || vector->GetLayerCount() == 0) {
            Dataset image(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
            raster = image && image->GetRasterCount() > 0;
        }
    }
    CPLPopErrorHandler();
    CPLErrorReset();
    return raster;
}

void gdal::checkRaster(const MigrateOptions& o)
{
    registerDrivers();
    Messages messages;
    const MigrateProgress none;
    RasterJob job(o, none, messages);
    job.check();
}

MigrateSummary gdal::migrateRaster(const MigrateOptions& o, const MigrateProgress& progress)
{
    registerDrivers();
    Messages messages;
    RasterJob job(o, progress, messages);
    return job.run();
}

} // namespace kolmo
