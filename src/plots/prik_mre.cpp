#include "plots/prik_mre.h"

#include "platform/cp1250.h"
#include "plots/prik_osi.h"

namespace kolmo {

using namespace plot;

Figure prik_mre(const Prik& prik)
{
    checkPrik(prik);
    Figure f = plotWindow("Kolmo - Mreža točk", "prik_mre", "mreza");
    Axes& ax = f.axes;

    const MarkerStyle transformed{.shape = MarkerShape::TriangleUp, .size = 6, .face = kGreen, .edge = kDefaultLine};
    const MarkerStyle common{.shape = MarkerShape::Circle, .size = 8, .face = kBlue, .edge = kDefaultLine};
    ax.markers.push_back({prik.Tx, prik.Ty, transformed});
    ax.markers.push_back({prik.XI, prik.YI, common});
    if (prik.obod.rows() > 0)
        ax.lines.push_back({prik.obod.col(0), prik.obod.col(1), LineStyle{}});

    const double xmin = prik.Tx.minCoeff(), xmax = prik.Tx.maxCoeff();
    const double ymin = prik.Ty.minCoeff(), ymax = prik.Ty.maxCoeff();
    const double D = prik.D;

    // Names as they are: our text has no markup, so "_" needs no escape.  The
    // name hangs D/20 under its point and 4 points lower still, so that it
    // clears the point's marker at any zoom; where that place is taken the
    // layout moves it to another side of the point, 7 points off (clear of
    // the common points' 8-point circles).
    ax.texts.reserve(prik.vset.size());
    for (std::size_t i = 0; i < prik.vset.size(); ++i) {
        const auto k = static_cast<Eigen::Index>(i);
        ax.texts.push_back({.x = prik.Tx(k),
                            .y = prik.Ty(k) - D / 20,
                            .text = platform::fromCp1250(prik.vset[i]),
                            .halign = HAlign::Center,
                            .valign = VAlign::Top,
                            .color = kBlack,
                            .size = 8,
                            .dx = 0,
                            .dy = -4,
                            .point = NamedPoint{prik.Tx(k), prik.Ty(k), 7}});
    }

    networkAxes(ax, xmin, xmax, ymin, ymax, D);
    f.zoom = true;
    ax.title = "Mreza tock";
    ax.legend = Legend{.entries = {{"transf. tocke", transformed, std::nullopt}, {"vezne tocke", common, std::nullopt}},
                       .location = LegendLocation::Best};
    return f;
}

} // namespace kolmo
