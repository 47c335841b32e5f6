#include "plots/prik_obod.h"

#include "platform/datafile.h"
#include "platform/errors.h"
#include "plots/prik_osi.h"

#include <cmath>
#include <limits>

namespace kolmo {

using namespace plot;

namespace {

constexpr double kStep = 20000;

// The tick span [tick0, tick1], widened to take in the data [lo, hi]
// rounded outwards to multiples of kStep.
std::array<double, 2> fitLimits(double lo, double hi, double tick0, double tick1)
{
    std::array<double, 2> lim{tick0, tick1};
    if (hi >= lo) {
        lim[0] = std::min(lim[0], std::floor(lo / kStep) * kStep);
        lim[1] = std::max(lim[1], std::ceil(hi / kStep) * kStep);
    }
    return lim;
}

// Widens the shorter axis about its middle so that the spans stand in the
// ratio of the plot box: a metre as long on both axes.
void equalMetres(std::array<double, 2>& x, std::array<double, 2>& y, double aspect)
{
    const double wx = x[1] - x[0], wy = y[1] - y[0];
    if (wy < wx * aspect) {
        const double grow = (wx * aspect - wy) / 2;
        y = {y[0] - grow, y[1] + grow};
    } else if (wy > wx * aspect) {
        const double grow = (wy / aspect - wx) / 2;
        x = {x[0] - grow, x[1] + grow};
    }
}

} // namespace

Figure prik_obod(const Prik& prik, const Mat& meja)
{
    checkPrik(prik);
    if (meja.cols() != 2)
        throw Error("border: two columns (easting, northing) needed");
    Figure f = plotWindow("Kolmo - Lega mreže točk", "prik_obod", "obod_rs");
    Axes& ax = f.axes;

    ax.lines.push_back({meja.col(0), meja.col(1), LineStyle{kBlack, 0.5}});
    if (prik.obod.rows() > 0)
        ax.lines.push_back({prik.obod.col(0), prik.obod.col(1), LineStyle{kDefaultLine, 1}});

    for (int k = 0; k < 15; ++k) {
        ax.x.ticks.push_back(360000 + k * kStep);
        ax.x.tickLabels.push_back(std::to_string(360 + 20 * k));
    }
    for (int k = 0; k < 10; ++k) {
        ax.y.ticks.push_back(20000 + k * kStep);
        ax.y.tickLabels.push_back(std::to_string(20 + 20 * k));
    }
    ax.plotBoxAspect = {1, 0.6428571428571429, 1};

    constexpr double inf = std::numeric_limits<double>::infinity();
    double xlo = inf, xhi = -inf, ylo = inf, yhi = -inf;
    for (const LineSeries& l : ax.lines)
        for (Eigen::Index i = 0; i < l.x.size(); ++i)
            if (std::isfinite(l.x(i)) && std::isfinite(l.y(i))) {
                xlo = std::min(xlo, l.x(i));
                xhi = std::max(xhi, l.x(i));
                ylo = std::min(ylo, l.y(i));
                yhi = std::max(yhi, l.y(i));
            }
    ax.x.lim = fitLimits(xlo, xhi, 360000, 640000);
    ax.y.lim = fitLimits(ylo, yhi, 20000, 200000);
    equalMetres(ax.x.lim, ax.y.lim, ax.plotBoxAspect[1]);

    // Both axes in kilometres, like their tick labels.
    ax.x.label = "y(E) (km)";
    ax.y.label = "x(N) (km)";
    f.zoom = true;
    ax.title = "Lega mreze na prikazu z mejo RS";
    return f;
}

Mat loadMeja(const std::filesystem::path& pot_prg)
{
    const auto file = pot_prg / "meja_rs.mat";
    Mat meja = platform::loadDataFile(file, {"meja"}).at("meja");
    if (meja.cols() != 2 || meja.rows() < 2)
        throw DataFileError(file.string() + ": meja must have two columns and at least two rows");
    return meja;
}

} // namespace kolmo
