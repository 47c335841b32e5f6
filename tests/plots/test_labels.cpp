// The points' names on the network and residual plots: every name of a dense
// network placed, clear of the markers, the vectors and each other, with a
// leader where a name stands off its point.
#include "plots.h"
#include "plots/prik_mre.h"
#include "plots/prik_odst.h"
#include "plots/render/fontmetrics.h"
#include "plots/render/labels.h"
#include "plots/render/layout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <set>

using namespace kolmo;
using namespace kolmo::plot;

namespace {

// 40 common points: twelve spread over 6 x 4 km, 28 crowded into 1.6 x 1 km
// in the middle, 200 to 250 m apart, some with long names, residuals of
// different directions and lengths.
Prik denseNetwork()
{
    Prik p = test::syntheticPrik(40, 40, 450000, 456000, 100000, 104000, 1000);
    for (int i = 0; i < 40; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, i % 9 == 4 ? "KOPER_%02d" : "X%02d", i + 1);
        p.vset[static_cast<std::size_t>(i)] = name;
        if (i >= 12) {
            const int k = i - 12;
            p.Tx(i) = 452200 + 230.0 * (k % 7) + 60.0 * ((k / 7) % 2);
            p.Ty(i) = 101500 + 200.0 * (k / 7) + 40.0 * (k % 3);
        }
        const double a = 0.9 * i;
        p.dx(i) = 0.004 * (1 + i % 5) * std::cos(a);
        p.dy(i) = 0.004 * (1 + i % 5) * std::sin(a);
    }
    p.XI = p.Tx;
    p.YI = p.Ty;
    p.tocke = p.vset;
    p.grobi.assign(40, false);
    p.grobi[20] = true;
    return p;
}

Rect textBox(const Text& t)
{
    const double w = textWidth(t.text, t.size, t.bold);
    const double x0 = t.align == HAlign::Left ? t.origin.x : t.align == HAlign::Center ? t.origin.x - w / 2
                                                                                       : t.origin.x - w;
    return {x0, t.origin.y - kAscent * t.size, w, (kAscent + kDescent) * t.size};
}

bool overlaps(const Rect& a, const Rect& b)
{
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// Whether the segment a-b passes through the inside of r (sampled finely).
bool crosses(Pt a, Pt b, const Rect& r)
{
    for (int k = 0; k <= 200; ++k) {
        const double t = k / 200.0;
        const Pt q{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
        if (q.x > r.x && q.x < r.x + r.w && q.y > r.y && q.y < r.y + r.h)
            return true;
    }
    return false;
}

struct Drawn {
    std::vector<std::pair<std::string, Rect>> names;
    std::vector<Rect> markers;
    std::vector<std::array<Pt, 2>> vectors, leaders;
};

Drawn drawn(const Scene& s, const std::set<std::string>& names)
{
    Drawn d;
    std::set<std::array<double, 3>> vectorColours;
    for (const Item& i : s.items) {
        if (const auto* t = std::get_if<Text>(&i); t && names.count(t->text))
            d.names.emplace_back(t->text, textBox(*t));
        if (const auto* e = std::get_if<Ellipse>(&i))
            d.markers.push_back({e->c.x - e->rx, e->c.y - e->ry, 2 * e->rx, 2 * e->ry});
        if (const auto* g = std::get_if<Polygon>(&i); g && g->pts.size() == 3 && g->edge) { // triangles
            Rect r{1e300, 1e300, 0, 0};
            double x1 = -1e300, y1 = -1e300;
            for (const Pt& q : g->pts) {
                r.x = std::min(r.x, q.x), r.y = std::min(r.y, q.y);
                x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
            }
            d.markers.push_back({r.x, r.y, x1 - r.x, y1 - r.y});
        }
        if (const auto* g = std::get_if<Polygon>(&i); g && g->pts.size() == 3 && !g->edge) { // vector heads
            for (int k = 0; k < 3; ++k)
                d.vectors.push_back({g->pts[static_cast<std::size_t>(k)], g->pts[static_cast<std::size_t>((k + 1) % 3)]});
            vectorColours.insert({g->fill->r, g->fill->g, g->fill->b});
        }
        if (const auto* l = std::get_if<Polyline>(&i); l && l->pts.size() == 2 && l->pen.color == kLeaderColour)
            d.leaders.push_back({l->pts[0], l->pts[1]});
    }
    // Vector shafts: lines in the colours of the heads.
    for (const Item& i : s.items)
        if (const auto* l = std::get_if<Polyline>(&i);
            l && l->pts.size() == 2 && vectorColours.count({l->pen.color.r, l->pen.color.g, l->pen.color.b}))
            d.vectors.push_back({l->pts[0], l->pts[1]});
    return d;
}

} // namespace

TEST(NamePlacement, EveryNameOfADenseNetworkClearOfMarkersVectorsAndEachOther)
{
    const Prik p = denseNetwork();
    const std::set<std::string> names(p.vset.begin(), p.vset.end());
    std::size_t leaders = 0;
    for (const bool residuals : {false, true})
        for (auto [w, h] : {std::pair{1200.0, 900.0}, {800.0, 600.0}, {640.0, 480.0}}) {
            const Figure f = residuals ? prik_odst(p) : prik_mre(p);
            LayoutInfo info;
            const Scene s = layout(f, w, h, defaultPxPerPt(w, h), &info);
            const std::string where = (residuals ? "residuals " : "network ") + std::to_string(int(w));
            EXPECT_EQ(info.hiddenTexts, 0u) << where;
            const Drawn d = drawn(s, names);
            ASSERT_EQ(d.names.size(), 40u) << where;
            std::set<std::string> seen;
            for (const auto& [name, r] : d.names) {
                seen.insert(name);
                for (const Rect& m : d.markers)
                    EXPECT_FALSE(overlaps(r, m)) << where << ": " << name << " over a marker";
                for (const auto& v : d.vectors)
                    EXPECT_FALSE(crosses(v[0], v[1], r)) << where << ": " << name << " over a vector";
                for (const auto& [other, q] : d.names) {
                    if (&other != &name) {
                        EXPECT_FALSE(overlaps(r, q)) << where << ": " << name << " over " << other;
                    }
                }
            }
            EXPECT_EQ(seen, names) << where;
            // Each leader runs from just off a point's marker to the edge of a name.  (In the
            // crowded middle a leader may have to cross another to get out.)
            ASSERT_EQ(d.leaders.size(), info.leaders) << where;
            for (const auto& l : d.leaders) {
                bool fromPoint = false;
                for (Eigen::Index i = 0; i < p.Tx.size(); ++i) {
                    const Pt c{info.box.x + (p.Tx(i) - f.axes.x.lim[0]) / (f.axes.x.lim[1] - f.axes.x.lim[0]) * info.box.w,
                               info.box.y + (f.axes.y.lim[1] - p.Ty(i)) / (f.axes.y.lim[1] - f.axes.y.lim[0]) * info.box.h};
                    const double r = std::hypot(l[0].x - c.x, l[0].y - c.y);
                    fromPoint = fromPoint || (r > 3 * s.pxPerPt && r < 7 * s.pxPerPt);
                }
                EXPECT_TRUE(fromPoint) << where;
                int ends = 0;
                for (const auto& [name, r] : d.names) {
                    const bool onEdge = l[1].x >= r.x - 1e-6 && l[1].x <= r.x + r.w + 1e-6 && l[1].y >= r.y - 1e-6 &&
                                        l[1].y <= r.y + r.h + 1e-6;
                    ends += onEdge;
                }
                EXPECT_GE(ends, 1) << where;
            }
            leaders += info.leaders;
        }
    EXPECT_GT(leaders, 0u) << "the crowded middle needs leaders on the small pages";
}

TEST(NamePlacement, CrowdedBeyondAFewHundredNamesLeavesOutOnlyWhatWouldOverlap)
{
    // 3 000 points in a 300 m square of a 10 km network: names that find no
    // place are left out, the placed ones still overlap nothing, and it is quick.
    Prik p = test::syntheticPrik(3000, 3, 400000, 410000, 100000, 110000, 1000);
    for (Eigen::Index i = 5; i < p.Tx.size(); ++i) {
        p.Tx(i) = 405000 + std::fmod(static_cast<double>(i) * 0.7548776662466927, 1.0) * 300;
        p.Ty(i) = 105000 + std::fmod(static_cast<double>(i) * 0.5698402909980532, 1.0) * 300;
    }
    const std::set<std::string> names(p.vset.begin(), p.vset.end());
    LayoutInfo info;
    const auto t0 = std::chrono::steady_clock::now();
    const Scene s = layout(prik_mre(p), 1200, 900, defaultPxPerPt(1200, 900), &info);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 2.0);
    const Drawn d = drawn(s, names);
    EXPECT_GT(info.hiddenTexts, 0u);
    EXPECT_EQ(d.names.size() + info.hiddenTexts, 3000u);
    // Overlaps among the placed names, through a sort by x.
    auto r = d.names;
    std::sort(r.begin(), r.end(), [](const auto& a, const auto& b) { return a.second.x < b.second.x; });
    for (std::size_t i = 0; i < r.size(); ++i)
        for (std::size_t j = i + 1; j < r.size() && r[j].second.x < r[i].second.x + r[i].second.w; ++j)
            EXPECT_FALSE(overlaps(r[i].second, r[j].second)) << r[i].first << " " << r[j].first;
}
