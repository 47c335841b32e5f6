// gen_geoid_data: builds the geoid and border data files of the program folder
// (HREF_SVS2010.mat, VTP2024.mat, AMG_2000_gd.mat, geoid.mat, meja_rs.mat) from
//   - SLO-VRP2016/Koper, the official quasi-geoid of the SVS2010 height
//     system, and SLO-VTP2024, the official offset between SVS2000 and
//     SVS2010 heights: GeoTIFF grids of GURS (CC BY 4.0) in data/sources/;
//   - the outer border of Slovenia from Natural Earth (data/sources/).
// data/README.md gives the recipe.  Usage, from the repository root:
//   gen_geoid_data [--vrp FILE] [--vtp FILE] [--border FILE] [--out DIR]
#include "geodesy/cloughtocher.h"
#include "geodesy/elipgk.h"
#include "geodesy/interg.h"
#include "platform/datafile.h"
#include "platform/dialogs.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using kolmo::Mat;
using kolmo::Vec;

namespace {

// The grid both GURS files share: pixel centres at longitude 13 + 0.0125 j and
// latitude 47 - k/120 (0-based column j, row k, first row northernmost).
constexpr double kLon0 = 13.0, kDlon = 0.0125, kLat0 = 47.0, kDlat = 1.0 / 120.0;

// GeoTIFF keeps its georeferencing in private tags; registered here so that
// libtiff hands them over with a 16-bit count instead of guessing their type.
constexpr ttag_t kModelPixelScale = 33550, kModelTiepoint = 33922, kGeoKeyDirectory = 34735;
char kScaleName[] = "ModelPixelScale", kTieName[] = "ModelTiepoint", kKeysName[] = "GeoKeyDirectory";
const TIFFFieldInfo kGeoTiffFields[] = {
    {kModelPixelScale, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, kScaleName},
    {kModelTiepoint, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, kTieName},
    {kGeoKeyDirectory, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_SHORT, FIELD_CUSTOM, 1, 1, kKeysName},
};
TIFFExtendProc g_parentExtender = nullptr;

void registerGeoTiffTags(TIFF* tif)
{
    TIFFMergeFieldInfo(tif, kGeoTiffFields, sizeof kGeoTiffFields / sizeof kGeoTiffFields[0]);
    if (g_parentExtender)
        g_parentExtender(tif);
}

// libtiff reports through callbacks; the last error becomes the exception text.
// Its warnings are about the GDAL metadata tag, which this reader does not need.
std::string g_tiffError;
__attribute__((format(printf, 2, 0))) void tiffError(const char* module, const char* fmt, va_list ap)
{
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    g_tiffError = std::string(module ? module : "libtiff") + ": " + buf;
}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

// One band of Float32 values, rows north to south as stored.
struct Raster {
    int rows = 0, cols = 0;
    std::vector<float> v;

    double at(int k, int j) const
    {
        return v[static_cast<std::size_t>(k) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(j)];
    }

    // Bilinear interpolation between the pixel centres (as doubles).
    double bilinear(double lat, double lon) const
    {
        const double fc = (lon - kLon0) / kDlon, fr = (kLat0 - lat) / kDlat;
        const int j = std::clamp(static_cast<int>(std::floor(fc)), 0, cols - 2);
        const int k = std::clamp(static_cast<int>(std::floor(fr)), 0, rows - 2);
        const double t = fc - j, u = fr - k;
        const double north = at(k, j) * (1 - t) + at(k, j + 1) * t;
        const double south = at(k + 1, j) * (1 - t) + at(k + 1, j + 1) * t;
        return north * (1 - u) + south * u;
    }
};

// Reads a single-band Float32 GeoTIFF (any compression and predictor libtiff
// knows) and checks that its georeferencing is the grid of the recipe, so that
// a wrong or re-gridded file is refused rather than silently misplaced.
Raster readGrid(const fs::path& file, int rows, int cols)
{
    const auto fail = [&](const std::string& why) { return std::runtime_error(file.string() + ": " + why); };
    g_tiffError.clear();
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(file.string().c_str(), "r"));
    if (!tif)
        throw fail(g_tiffError.empty() ? "cannot open" : g_tiffError);

    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 0, format = SAMPLEFORMAT_UINT, samples = 1;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (bits != 32 || format != SAMPLEFORMAT_IEEEFP || samples != 1 || TIFFIsTiled(tif.get()))
        throw fail("not a single-band Float32 image in strips");
    if (width != static_cast<std::uint32_t>(cols) || height != static_cast<std::uint32_t>(rows))
        throw fail("has " + std::to_string(height) + " x " + std::to_string(width) + " pixels, not " +
                   std::to_string(rows) + " x " + std::to_string(cols));

    std::uint16_t n = 0;
    double* scale = nullptr;
    double* tie = nullptr;
    std::uint16_t* keys = nullptr;
    if (!TIFFGetField(tif.get(), kModelPixelScale, &n, &scale) || n < 2)
        throw fail("no GeoTIFF pixel scale");
    if (!TIFFGetField(tif.get(), kModelTiepoint, &n, &tie) || n < 6)
        throw fail("no GeoTIFF tie point");
    // GTRasterTypeGeoKey (1025): 1 = the tie point is a pixel's corner, 2 = its centre.
    int rasterType = 1;
    if (TIFFGetField(tif.get(), kGeoKeyDirectory, &n, &keys) && n >= 4)
        for (int i = 1; i <= keys[3] && 4 * i + 3 < n; ++i)
            if (keys[4 * i] == 1025 && keys[4 * i + 1] == 0)
                rasterType = keys[4 * i + 3];
    const double half = rasterType == 2 ? 0.0 : 0.5;
    const double lon0 = tie[3] + (half - tie[0]) * scale[0];
    const double lat0 = tie[4] - (half - tie[1]) * scale[1];
    // The tags carry the steps to about 1e-15; 1e-9 degrees is a millimetre.
    if (std::abs(lon0 - kLon0) > 1e-9 || std::abs(lat0 - kLat0) > 1e-9 || std::abs(scale[0] - kDlon) > 1e-12 ||
        std::abs(scale[1] - kDlat) > 1e-12)
        throw fail("its pixel centres are not those of the VRP2016 grid (13 E, 47 N, 0.0125 x 1/120 degrees)");

    Raster r;
    r.rows = rows;
    r.cols = cols;
    r.v.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    if (TIFFScanlineSize(tif.get()) != static_cast<tmsize_t>(4 * cols))
        throw fail("unexpected row size");
    for (int k = 0; k < rows; ++k)
        if (TIFFReadScanline(tif.get(), &r.v[static_cast<std::size_t>(k) * static_cast<std::size_t>(cols)],
                             static_cast<std::uint32_t>(k)) < 0)
            throw fail("row " + std::to_string(k + 1) + ": " + g_tiffError);
    for (float x : r.v)
        if (!std::isfinite(x))
            throw fail("holds values that are not finite numbers");
    return r;
}

// lon,lat rows of the border CSV (header line first).
Mat readBorder(const fs::path& file)
{
    std::ifstream in(file);
    if (!in)
        throw std::runtime_error("cannot open " + file.string());
    std::string line;
    std::getline(in, line);
    std::vector<std::pair<double, double>> pts;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        const auto comma = line.find(',');
        if (comma == std::string::npos)
            throw std::runtime_error("bad border line: " + line);
        pts.emplace_back(std::stod(line.substr(0, comma)), std::stod(line.substr(comma + 1)));
    }
    Mat m(static_cast<Eigen::Index>(pts.size()), 2);
    for (std::size_t i = 0; i < pts.size(); ++i) {
        m(static_cast<Eigen::Index>(i), 0) = pts[i].first;
        m(static_cast<Eigen::Index>(i), 1) = pts[i].second;
    }
    return m;
}

// D96/TM (GRS-80, scale 0.9999) of (lat, lon) rows as [e n] rows.
Mat toTm(const Mat& latlon)
{
    const Mat xy = kolmo::elipgk(latlon, latlon.rows(), 2, 1);
    if (xy.rows() != latlon.rows())
        throw std::runtime_error("a point lies outside the projection zone");
    Mat en(xy.rows(), 2);
    en.col(0) = xy.col(1);
    en.col(1) = xy.col(0);
    return en;
}

bool insidePolygon(const Mat& poly, double e, double n)
{
    bool in = false;
    for (Eigen::Index i = 0, j = poly.rows() - 1; i < poly.rows(); j = i++) {
        const double ei = poly(i, 0), ni = poly(i, 1), ej = poly(j, 0), nj = poly(j, 1);
        if ((ni > n) != (nj > n) && e < (ej - ei) * (n - ni) / (nj - ni) + ei)
            in = !in;
    }
    return in;
}

double distanceToPolygon(const Mat& poly, double e, double n)
{
    double best = INFINITY;
    for (Eigen::Index i = 0; i + 1 < poly.rows(); ++i) {
        const double ax = poly(i, 0), ay = poly(i, 1), bx = poly(i + 1, 0), by = poly(i + 1, 1);
        const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
        const double t = len2 > 0 ? std::clamp(((e - ax) * dx + (n - ay) * dy) / len2, 0.0, 1.0) : 0.0;
        best = std::min(best, std::hypot(e - (ax + t * dx), n - (ay + t * dy)));
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    // Defaults for a run from the repository root.
    fs::path vrp = "data/sources/si_gurs_SLO-VRP2016-Koper.tif";
    fs::path vtp = "data/sources/si_gurs_SLO-VTP2024.tif";
    fs::path border = "data/sources/slovenia_border_lonlat.csv";
    fs::path out = ".";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 < argc && a == "--vrp")
            vrp = argv[++i];
        else if (i + 1 < argc && a == "--vtp")
            vtp = argv[++i];
        else if (i + 1 < argc && a == "--border")
            border = argv[++i];
        else if (i + 1 < argc && a == "--out")
            out = argv[++i];
        else {
            std::cerr << "usage: gen_geoid_data [--vrp FILE] [--vtp FILE] [--border FILE] [--out DIR]\n";
            return 2;
        }
    }
    kolmo::platform::StderrDialogs dialogs;
    kolmo::platform::ScopedDialogs scoped(dialogs);
    g_parentExtender = TIFFSetTagExtender(registerGeoTiffTags);
    TIFFSetErrorHandler(tiffError);
    TIFFSetWarningHandler(nullptr);
    try {
        const Raster N = readGrid(vrp, kolmo::kVrpRows, kolmo::kVrpCols);
        const Raster offset = readGrid(vtp, kolmo::kVrpRows, kolmo::kVrpCols);
        fs::create_directories(out);

        // SVS2010: the VRP2016 values as they stand, row k and column j of the image.
        Mat href(kolmo::kVrpRows, kolmo::kVrpCols);
        for (int k = 0; k < kolmo::kVrpRows; ++k)
            for (int j = 0; j < kolmo::kVrpCols; ++j)
                href(k, j) = N.at(k, j);
        kolmo::platform::saveDataFile(out / "HREF_SVS2010.mat", {{{"HREF", href}}});

        // SVS2000 -> SVS2010: the VTP2024 offsets as they stand, for the heights
        // of the national migration (bilinear on the same pixel centres).
        Mat shift(kolmo::kVrpRows, kolmo::kVrpCols);
        for (int k = 0; k < kolmo::kVrpRows; ++k)
            for (int j = 0; j < kolmo::kVrpCols; ++j)
                shift(k, j) = offset.at(k, j);
        kolmo::platform::saveDataFile(out / "VTP2024.mat", {{{"VTP", shift}}}, true);

        // Border in D96/TM.
        const Mat lonlat = readBorder(border);
        Mat latlon(lonlat.rows(), 2);
        latlon.col(0) = lonlat.col(1);
        latlon.col(1) = lonlat.col(0);
        const Mat meja = toTm(latlon);
        kolmo::platform::saveDataFile(out / "meja_rs.mat", {{{"meja", meja}}});

        // SVS2000 points: a staggered lattice kept within 15 km of the country.
        // h = H(SVS2010) + N(VRP2016) = H(SVS2000) + N(SVS2000) and
        // H(SVS2010) = H(SVS2000) + offset give N(SVS2000) = N(VRP2016) + offset.
        std::vector<double> xs, ys;
        for (int i = 1; i <= 106; ++i) {
            const double lat = 45.25 + (i - 1) / 60.0;
            for (int j = 1; j <= 141; ++j) {
                double lon = 13.25 + 0.025 * (j - 1);
                if (i % 2 == 0)
                    lon += 0.0125;
                if (lon > 16.75)
                    continue;
                Mat p(1, 2);
                p << lat, lon;
                const Mat en = toTm(p);
                if (insidePolygon(meja, en(0, 0), en(0, 1)) || distanceToPolygon(meja, en(0, 0), en(0, 1)) <= 15000.0) {
                    xs.push_back(lon);
                    ys.push_back(lat);
                }
            }
        }
        const auto n = static_cast<Eigen::Index>(xs.size());
        Vec X = Eigen::Map<Vec>(xs.data(), n), Y = Eigen::Map<Vec>(ys.data(), n), Z(n);
        for (Eigen::Index i = 0; i < n; ++i)
            Z(i) = N.bilinear(Y(i), X(i)) + offset.bilinear(Y(i), X(i));
        kolmo::platform::saveDataFile(out / "AMG_2000_gd.mat", {{{"Xgd", X}, {"Ygd", Y}, {"Zgd", Z}}});

        // Plot grid of SVS2000, 0 outside the hull of the points.
        const kolmo::CloughTocher2D ct(X, Y, Z);
        Mat geoid(106, 141);
        for (int i = 1; i <= 106; ++i)
            for (int j = 1; j <= 141; ++j) {
                const double v = ct(13.25 + 0.025 * (j - 1), 45.25 + (i - 1) / 60.0);
                geoid(i - 1, j - 1) = std::isnan(v) ? 0.0 : v;
            }
        kolmo::platform::saveDataFile(out / "geoid.mat", {{{"geoid", geoid}}});
        std::cout << "HREF " << href.rows() << " x " << href.cols() << ", SVS2000 " << n << " points, "
                  << ct.triangleCount() << " triangles, meja " << meja.rows() << " vertices -> " << out.string() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "gen_geoid_data: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
