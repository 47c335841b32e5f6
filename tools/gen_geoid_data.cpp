// gen_geoid_data: builds the stand-in geoid and border data files of the
// program folder (HREF_SVS2010.mat, AMG_2000_gd.mat, geoid.mat, meja_rs.mat)
// from public sources:
//   - the EGM96 geoid on its 15' grid (PROJ's egm96_15.gtx, public domain);
//   - the outer border of Slovenia from Natural Earth (data/sources/).
// See data/README.md for the recipe.  Usage:
//   gen_geoid_data [--gtx FILE] [--border FILE] [--out DIR]   (from the repository root)
#include "geodesy/cloughtocher.h"
#include "geodesy/elipgk.h"
#include "geodesy/interg.h"
#include "platform/datafile.h"
#include "platform/dialogs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using kolmo::Mat;
using kolmo::Vec;

namespace {

// A GTX vertical grid: big-endian header (lat0, lon0, dlat, dlon as doubles,
// nrows, ncols as int32), then float32 rows from south to north, each from
// west to east.
struct Gtx {
    double lat0 = 0, lon0 = 0, dlat = 0, dlon = 0;
    int rows = 0, cols = 0;
    std::vector<float> v;

    double at(int r, int c) const { return v[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c)]; }

    // Bilinear interpolation of the grid values (as doubles).
    double operator()(double lat, double lon) const
    {
        const double fr = (lat - lat0) / dlat, fc = (lon - lon0) / dlon;
        const int r = std::clamp(static_cast<int>(std::floor(fr)), 0, rows - 2);
        const int c = std::clamp(static_cast<int>(std::floor(fc)), 0, cols - 2);
        const double u = fr - r, t = fc - c;
        const double lo = at(r, c) * (1 - t) + at(r, c + 1) * t;
        const double hi = at(r + 1, c) * (1 - t) + at(r + 1, c + 1) * t;
        return lo * (1 - u) + hi * u;
    }
};

template <typename T>
T bigEndian(const unsigned char* p)
{
    unsigned char b[sizeof(T)];
    for (std::size_t i = 0; i < sizeof(T); ++i)
        b[i] = p[sizeof(T) - 1 - i];
    T v;
    std::memcpy(&v, b, sizeof(T));
    return v;
}

Gtx readGtx(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + file.string());
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 40)
        throw std::runtime_error(file.string() + " is not a GTX file");
    Gtx g;
    g.lat0 = bigEndian<double>(&bytes[0]);
    g.lon0 = bigEndian<double>(&bytes[8]);
    g.dlat = bigEndian<double>(&bytes[16]);
    g.dlon = bigEndian<double>(&bytes[24]);
    g.rows = bigEndian<std::int32_t>(&bytes[32]);
    g.cols = bigEndian<std::int32_t>(&bytes[36]);
    if (g.rows < 2 || g.cols < 2 || bytes.size() != 40 + 4 * static_cast<std::size_t>(g.rows) * static_cast<std::size_t>(g.cols))
        throw std::runtime_error(file.string() + " has an inconsistent size");
    g.v.resize(static_cast<std::size_t>(g.rows) * static_cast<std::size_t>(g.cols));
    for (std::size_t i = 0; i < g.v.size(); ++i)
        g.v[i] = bigEndian<float>(&bytes[40 + 4 * i]);
    return g;
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
    fs::path gtx = "/usr/share/proj/egm96_15.gtx";
    fs::path border = "data/sources/slovenia_border_lonlat.csv";  // run from the repository root
    fs::path out = ".";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 < argc && a == "--gtx")
            gtx = argv[++i];
        else if (i + 1 < argc && a == "--border")
            border = argv[++i];
        else if (i + 1 < argc && a == "--out")
            out = argv[++i];
        else {
            std::cerr << "usage: gen_geoid_data [--gtx FILE] [--border FILE] [--out DIR]\n";
            return 2;
        }
    }
    kolmo::platform::StderrDialogs dialogs;
    kolmo::platform::ScopedDialogs scoped(dialogs);
    try {
        const Gtx N = readGtx(gtx);
        fs::create_directories(out);

        // VRP2016 stand-in: EGM96 on the program's grid.
        Mat href(kolmo::kVrpRows, kolmo::kVrpCols);
        for (int k = 1; k <= kolmo::kVrpRows; ++k)
            for (int j = 1; j <= kolmo::kVrpCols; ++j)
                href(k - 1, j - 1) = N(kolmo::vrp2016Latitude(k), kolmo::vrp2016Longitude(j));
        kolmo::platform::saveDataFile(out / "HREF_SVS2010.mat", {{{"HREF", href}}});

        // Border in D96/TM.
        const Mat lonlat = readBorder(border);
        Mat latlon(lonlat.rows(), 2);
        latlon.col(0) = lonlat.col(1);
        latlon.col(1) = lonlat.col(0);
        const Mat meja = toTm(latlon);
        kolmo::platform::saveDataFile(out / "meja_rs.mat", {{{"meja", meja}}});

        // AMG2000 stand-in: a staggered lattice kept within 15 km of the country.
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
            Z(i) = N(Y(i), X(i));
        kolmo::platform::saveDataFile(out / "AMG_2000_gd.mat", {{{"Xgd", X}, {"Ygd", Y}, {"Zgd", Z}}});

        // Plot grid of AMG2000, 0 outside the hull of the points.
        const kolmo::CloughTocher2D ct(X, Y, Z);
        Mat geoid(106, 141);
        for (int i = 1; i <= 106; ++i)
            for (int j = 1; j <= 141; ++j) {
                const double v = ct(13.25 + 0.025 * (j - 1), 45.25 + (i - 1) / 60.0);
                geoid(i - 1, j - 1) = std::isnan(v) ? 0.0 : v;
            }
        kolmo::platform::saveDataFile(out / "geoid.mat", {{{"geoid", geoid}}});
        std::cout << "HREF " << href.rows() << " x " << href.cols() << ", AMG " << n << " points, "
                  << ct.triangleCount() << " triangles, meja " << meja.rows() << " vertices -> " << out.string() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "gen_geoid_data: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
