#include "plots/prik_odst.h"

#include "platform/cp1250.h"
#include "platform/errors.h"
#include "plots/prik_izr.h"
#include "plots/prik_osi.h"

#include <cmath>
#include <cstdio>

namespace kolmo {

using namespace plot;

namespace {

constexpr Rgb kResidual{0, 0.3, 0.8};
constexpr double kLongestShare = 0.15; // the longest vector against the wider side of the axes

} // namespace

double scaleBarLength(double vmax)
{
    if (!(vmax > 0) || !std::isfinite(vmax))
        return 0.001;
    if (vmax < 1e-4)
        return 1e-4;
    const double p = std::pow(10.0, std::floor(std::log10(vmax)));
    for (double m : {5.0, 2.0, 1.0})
        if (m * p <= vmax * (1 + 1e-12))
            return m * p;
    return p;
}

Figure prik_odst(const Prik& prik)
{
    const Eigen::Index n = prik.XI.size();
    if (n == 0 || prik.YI.size() != n || prik.dx.size() != n || prik.dy.size() != n ||
        static_cast<Eigen::Index>(prik.tocke.size()) != n ||
        (!prik.grobi.empty() && static_cast<Eigen::Index>(prik.grobi.size()) != n))
        throw Error("plot record: no common points, or their residuals are missing");
    if (!prik.XI.allFinite() || !prik.YI.allFinite())
        throw Error("plot record: common-point coordinates that are not numbers");

    Figure f = plotWindow("Kolmo - Odstopanja veznih točk", "prik_odst", "odstopanja");
    Axes& ax = f.axes;

    double xmin = prik.XI.minCoeff(), xmax = prik.XI.maxCoeff();
    double ymin = prik.YI.minCoeff(), ymax = prik.YI.maxCoeff();
    const double D = tickSpacing(std::max(xmax - xmin, ymax - ymin));
    networkAxes(ax, xmin, xmax, ymin, ymax, D);

    double vmax = 0;
    for (Eigen::Index c = 0; c < n; ++c) {
        const double v = std::hypot(prik.dx(c), prik.dy(c));
        if (std::isfinite(v))
            vmax = std::max(vmax, v);
    }
    const double side = std::max(ax.x.lim[1] - ax.x.lim[0], ax.y.lim[1] - ax.y.lim[0]);
    const double bar = scaleBarLength(vmax);
    const double scale = kLongestShare * side / (vmax > 0 ? vmax : bar);

    // The axes take in the tips of the vectors too, so none is cut at the edge.
    for (Eigen::Index c = 0; c < n; ++c) {
        const double tx = prik.XI(c) + prik.dy(c) * scale, ty = prik.YI(c) + prik.dx(c) * scale;
        if (std::isfinite(tx) && std::isfinite(ty)) {
            xmin = std::min(xmin, tx);
            xmax = std::max(xmax, tx);
            ymin = std::min(ymin, ty);
            ymax = std::max(ymax, ty);
        }
    }
    networkAxes(ax, xmin, xmax, ymin, ymax, D);

    // Ordinary and flagged points as separate series, so the flagged ones are
    // drawn last, on top.
    const auto flagged = [&](Eigen::Index c) { return !prik.grobi.empty() && prik.grobi[static_cast<std::size_t>(c)]; };
    const MarkerStyle good{.shape = MarkerShape::Circle, .size = 6, .face = kBlue, .edge = kBlack};
    const MarkerStyle bad{.shape = MarkerShape::Circle, .size = 7, .face = kRed, .edge = kBlack};
    if (prik.obod.rows() > 0 && prik.obod.cols() == 2)
        ax.lines.push_back({prik.obod.col(0), prik.obod.col(1), LineStyle{{0.45, 0.45, 0.45}, 0.75}});

    int nbad = 0;
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<Eigen::Index> idx;
        for (Eigen::Index c = 0; c < n; ++c)
            if (flagged(c) == (pass == 1))
                idx.push_back(c);
        if (idx.empty())
            continue;
        const auto m = static_cast<Eigen::Index>(idx.size());
        VectorSeries vs{Vec(m), Vec(m), Vec(m), Vec(m), LineStyle{pass ? kRed : kResidual, 1}, 5};
        MarkerSeries ms{Vec(m), Vec(m), pass ? bad : good};
        for (Eigen::Index k = 0; k < m; ++k) {
            const Eigen::Index c = idx[static_cast<std::size_t>(k)];
            vs.x(k) = ms.x(k) = prik.XI(c);
            vs.y(k) = ms.y(k) = prik.YI(c);
            vs.u(k) = prik.dy(c) * scale; // easting to the right
            vs.v(k) = prik.dx(c) * scale; // northing upwards
            // The name on the side away from the vector, clear of the
            // marker; where that place is taken the layout moves it.
            const bool right = vs.u(k) <= 0, above = vs.v(k) <= 0;
            ax.texts.push_back({.x = prik.XI(c),
                                .y = prik.YI(c),
                                .text = platform::fromCp1250(prik.tocke[static_cast<std::size_t>(c)]),
                                .halign = right ? HAlign::Left : HAlign::Right,
                                .valign = above ? VAlign::Bottom : VAlign::Top,
                                .color = pass ? kRed : kBlack,
                                .size = 8,
                                .dx = right ? 5.0 : -5.0,
                                .dy = above ? 3.0 : -3.0,
                                .point = NamedPoint{prik.XI(c), prik.YI(c), 6}});
        }
        ax.vectors.push_back(std::move(vs));
        ax.markers.push_back(std::move(ms));
        if (pass)
            nbad = static_cast<int>(m);
    }

    char text[48];
    std::snprintf(text, sizeof text, "%g mm", bar * 1000);
    ax.scaleBar = ScaleBar{.length = bar * scale, .text = text, .style = LineStyle{kBlack, 1.5}};

    f.zoom = true;
    ax.title = "Odstopanja veznih točk";
    // Right of the box: the residual plot's legend and scale bar hide no point.
    Legend lg;
    lg.location = LegendLocation::EastOutside;
    lg.entries.push_back({"vezne točke", good, std::nullopt});
    lg.entries.push_back({"odstopanje", std::nullopt, LineStyle{kResidual, 1}});
    if (nbad > 0)
        lg.entries.push_back({"grobi pogrešek", bad, std::nullopt});
    ax.legend = std::move(lg);
    return f;
}

} // namespace kolmo
