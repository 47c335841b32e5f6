#include "plots/prik_osi.h"

#include "platform/errors.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace kolmo::plot {

Figure plotWindow(std::string name, std::string_view owner, std::string exportName)
{
    Figure f;
    f.name = std::move(name);
    f.tag = "slk";
    f.color = kWhite;
    f.paperType = "A4";
    f.exportName = std::move(exportName);
    f.menus.push_back({.label = "Natisni", .action = "print -dsetup", .items = {}});
    Menu izvozi{.label = "Izvozi", .action = "", .items = {}};
    for (const ExportItem& e : kExportItems) {
        const std::string w = e.action;
        izvozi.items.push_back({.label = e.label,
                                .action = std::string(owner) + "('" + w + "')",
                                .separator = w == "eps" || w == "svg"});
    }
    f.menus.push_back(std::move(izvozi));
    return f;
}

namespace {

// Start, step count: ticks start + k D for k = 0..n, from ceil(lo/D) D to floor(hi/D) D.
std::vector<double> tickRange(double lo, double hi, double D)
{
    const double first = std::ceil(lo / D) * D;
    const double last = std::floor(hi / D) * D;
    std::vector<double> t;
    if (!(last >= first))
        return t;
    const auto n = static_cast<long>(std::llround((last - first) / D));
    t.reserve(static_cast<std::size_t>(n + 1));
    for (long k = 0; k <= n; ++k)
        t.push_back(first + static_cast<double>(k) * D);
    return t;
}

} // namespace

void networkAxes(Axes& ax, double xmin, double xmax, double ymin, double ymax, double D)
{
    ax.x.lim = {xmin - D, xmax + D};
    ax.y.lim = {ymin - D, ymax + D};
    ax.x.ticks = tickRange(xmin - D, xmax + D, D);
    ax.y.ticks = tickRange(ymin - D, ymax + D, D);
    ax.plotBoxAspect = {1, ((ymax - ymin) + 2 * D) / ((xmax - xmin) + 2 * D), 1};

    // One unit on both axes: a country-wide network reads in kilometres, a
    // local one in metres.
    const bool km = xmax - xmin > 100000;
    const double unit = km ? 1000 : 1;
    ax.y.tickLabels.clear();
    for (double t : ax.y.ticks)
        ax.y.tickLabels.push_back(tickText(t / unit));
    ax.y.label = km ? "x(N) (km)" : "x(N) (m)";
    ax.x.tickLabels.clear();
    for (double t : ax.x.ticks)
        ax.x.tickLabels.push_back(tickText(t / unit));
    ax.x.label = km ? "y(E) (km)" : "y(E) (m)";
    ax.x.zoomTickUnit = ax.y.zoomTickUnit = unit;
}

void zoomAbout(Axes& ax, double x, double y, double notches)
{
    const double f = std::pow(0.8, notches);
    if (!(f > 0) || !std::isfinite(f))
        return;
    for (auto [lim, c] : {std::pair{&ax.x.lim, x}, std::pair{&ax.y.lim, y}}) {
        (*lim)[0] = c + ((*lim)[0] - c) * f;
        (*lim)[1] = c + ((*lim)[1] - c) * f;
    }
}

void pan(Axes& ax, double dx, double dy)
{
    ax.x.lim = {ax.x.lim[0] + dx, ax.x.lim[1] + dx};
    ax.y.lim = {ax.y.lim[0] + dy, ax.y.lim[1] + dy};
}

std::string tickText(double v)
{
    char buf[40];
    if (std::abs(v) < 1e15 && v == std::round(v)) {
        std::snprintf(buf, sizeof buf, "%.0f", v == 0 ? 0.0 : v);
        return buf;
    }
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

void checkPrik(const Prik& prik)
{
    const auto n = prik.Tx.size();
    if (n == 0 || prik.Ty.size() != n || static_cast<Eigen::Index>(prik.vset.size()) != n)
        throw Error("plot record: no transformed points, or their fields differ in length");
    if (prik.XI.size() != prik.YI.size())
        throw Error("plot record: the common-point fields differ in length");
    if (prik.obod.rows() > 0 && prik.obod.cols() != 2)
        throw Error("plot record: the outline needs two columns");
    if (!(prik.D > 0) || !std::isfinite(prik.D))
        throw Error("plot record: no tick spacing");
    if (!prik.Tx.allFinite() || !prik.Ty.allFinite())
        throw Error("plot record: transformed coordinates that are not numbers");
}

} // namespace kolmo::plot
