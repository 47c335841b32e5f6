#include "plots/prik_geoid.h"

#include "geodesy/elipgk.h"
#include "geodesy/gridspline.h"
#include "geodesy/interg.h"
#include "platform/datafile.h"
#include "platform/errors.h"
#include "plots/prik_obod.h"
#include "plots/prik_osi.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace kolmo {

using namespace plot;

namespace {

constexpr int kAmgRows = 106, kAmgCols = 141;

// Round tick step for a span: 1, 2 or 5 times a power of ten giving 4 to 10 ticks.
double niceStep(double span)
{
    if (!(span > 0))
        return 1;
    const double raw = span / 6;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * p >= raw)
            return m * p;
    return 10 * p;
}

// Limits rounded outwards to the tick step, and the ticks inside them.
void autoAxis(Axis& a, double lo, double hi)
{
    if (!(hi > lo)) {
        lo -= 1;
        hi += 1;
    }
    const double step = niceStep(hi - lo);
    a.lim = {std::floor(lo / step + 1e-9) * step, std::ceil(hi / step - 1e-9) * step};
    a.ticks.clear();
    a.tickLabels.clear();
    const auto n = std::llround((a.lim[1] - a.lim[0]) / step);
    for (long long k = 0; k <= n; ++k) {
        double t = a.lim[0] + static_cast<double>(k) * step;
        t = std::round(t / step * 1e6) / 1e6 * step; // no 45.000000000001
        a.ticks.push_back(t);
        a.tickLabels.push_back(tickText(t));
    }
}

// A surface over longitude and latitude with its title, the axis labels in
// their units and a colour scale of the heights.
Figure surfaceFigure(std::string name, std::string exportName, std::string title, std::string heightLabel,
                     Surface s)
{
    // The plot windows' "Natisni" and "Izvozi" menus: a surface is printed
    // and exported as the view on the screen, turned as the user left it.
    Figure f = plotWindow(std::move(name), "prik_geoid", std::move(exportName));
    Axes& ax = f.axes;
    ax.threeD = true;
    ax.azimuth = -37.5;
    ax.elevation = 30;

    constexpr double inf = std::numeric_limits<double>::infinity();
    double zlo = inf, zhi = -inf;
    for (Eigen::Index i = 0; i < s.z.size(); ++i)
        if (std::isfinite(s.z.data()[i])) {
            zlo = std::min(zlo, s.z.data()[i]);
            zhi = std::max(zhi, s.z.data()[i]);
        }
    autoAxis(ax.x, s.x.minCoeff(), s.x.maxCoeff());
    autoAxis(ax.y, s.y.minCoeff(), s.y.maxCoeff());
    autoAxis(ax.z, zlo, zhi);

    // Ground proportions at 46 deg N; heights to 40 % of the longer side.
    const double wx = (ax.x.lim[1] - ax.x.lim[0]) * std::cos(46 * std::numbers::pi / 180);
    const double wy = ax.y.lim[1] - ax.y.lim[0];
    ax.plotBoxAspect = {wx, wy, 0.4 * std::max(wx, wy)};
    ax.title = std::move(title);
    ax.x.label = "geografska dolžina (°)";
    ax.y.label = "geografska širina (°)";
    ax.z.label = std::move(heightLabel);
    ax.colourBar = true;
    ax.surfaces.push_back(std::move(s));
    return f;
}

} // namespace

Figure prik_amg2000(const Mat& geoid)
{
    if (geoid.rows() != kAmgRows || geoid.cols() != kAmgCols)
        throw Error("AMG2000 plot grid: 106 x 141 values needed");
    Surface s;
    s.x.resize(kAmgCols);
    s.y.resize(kAmgRows);
    for (int j = 0; j < kAmgCols; ++j)
        s.x(j) = 13.25 + 0.025 * j;
    for (int k = 0; k < kAmgRows; ++k)
        s.y(k) = 45.25 + k / 60.0;
    // The grid's cells without data (0, outside the model's area) are left
    // out of the surface: drawn at 0 they made a flat sheet with walls up to
    // the data.  The others are lowered by 44 m.
    s.z = geoid.unaryExpr([](double g) { return g != 0 ? g - 44 : std::numeric_limits<double>::quiet_NaN(); });
    return surfaceFigure("Kolmo - Prikaz modela geoida AMG2000", "amg2000", "Model geoida AMG2000",
                         "višina geoida N - 44 m (m)", std::move(s));
}

Figure prik_vrp2016(const Mat& geoid, const Mat& meja)
{
    if (geoid.rows() != kVrpRows || geoid.cols() != kVrpCols)
        throw Error("VRP2016 grid: 241 x 321 values needed");
    if (meja.cols() != 2)
        throw Error("border: two columns (easting, northing) needed");
    Surface s;
    s.x.resize(kVrpCols);
    s.y.resize(kVrpRows);
    for (int j = 0; j < kVrpCols; ++j)
        s.x(j) = vrp2016Longitude(j + 1);
    for (int k = 0; k < kVrpRows; ++k)
        s.y(k) = vrp2016Latitude(k + 1);
    s.z = geoid;

    const GridSpline grid(s.x, s.y, s.z);
    Line3 border;
    const Eigen::Index nv = meja.rows();
    border.x.resize(nv);
    border.y.resize(nv);
    border.z.resize(nv);
    Mat ne(1, 2);
    for (Eigen::Index i = 0; i < nv; ++i) {
        ne(0, 0) = meja(i, 1);
        ne(0, 1) = meja(i, 0);
        const auto [fi, la] = tmelip(ne);
        border.x(i) = la;
        border.y(i) = fi;
        border.z(i) = grid.linear(la, fi);
    }
    border.style = LineStyle{kBlack, 1};

    Figure f = surfaceFigure("Kolmo - Prikaz modela geoida VRP2016", "vrp2016", "Model geoida VRP2016 z mejo RS",
                             "višina geoida N (m)", std::move(s));
    f.axes.lines3.push_back(std::move(border));
    return f;
}

Figure prikaziT(const std::filesystem::path& pot_prg)
{
    const auto file = pot_prg / "geoid.mat";
    const Mat geoid = platform::loadDataFile(file, {"geoid"}).at("geoid");
    if (geoid.rows() != kAmgRows || geoid.cols() != kAmgCols)
        throw DataFileError(file.string() + ": geoid must be 106 x 141");
    return prik_amg2000(geoid);
}

Figure prikaziK(const std::filesystem::path& pot_prg)
{
    const auto file = pot_prg / "HREF_SVS2010.mat";
    const Mat geoid = platform::struct2array(platform::loadDataFile(file));
    if (geoid.rows() != kVrpRows || geoid.cols() != kVrpCols)
        throw DataFileError(file.string() + ": the joined fields must be 241 x 321");
    return prik_vrp2016(geoid, loadMeja(pot_prg));
}

} // namespace kolmo
