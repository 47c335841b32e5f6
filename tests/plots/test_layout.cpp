// The layout engine and the font metrics: where the box, the labels, the
// legend and the clipped data land on the page, and how a surface is seen.
#include "plots.h"
#include "plots/prik_geoid.h"
#include "plots/prik_mre.h"
#include "plots/prik_odst.h"
#include "plots/render/fontmetrics.h"
#include "plots/render/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>

using namespace kolmo;
using namespace kolmo::plot;

namespace {

std::vector<const Text*> texts(const Scene& s)
{
    std::vector<const Text*> out;
    for (const Item& i : s.items)
        if (const auto* t = std::get_if<Text>(&i))
            out.push_back(t);
    return out;
}

const Text* findText(const Scene& s, const std::string& text)
{
    for (const Text* t : texts(s))
        if (t->text == text)
            return t;
    return nullptr;
}

// Horizontal extent of an unrotated text.
std::pair<double, double> span(const Text& t)
{
    const double w = textWidth(t.text, t.size, t.bold);
    const double x0 = t.align == HAlign::Left ? t.origin.x : t.align == HAlign::Center ? t.origin.x - w / 2
                                                                                       : t.origin.x - w;
    return {x0, x0 + w};
}

Figure oneLine(double x0, double y0, double x1, double y1)
{
    Figure f;
    f.axes.x.lim = {0, 10};
    f.axes.y.lim = {0, 10};
    f.axes.lines.push_back({Vec::LinSpaced(2, x0, x1), Vec::LinSpaced(2, y0, y1), LineStyle{}});
    return f;
}

// The labels of the ticks inside the limits.
std::vector<std::string> visibleTicks(const Axis& a)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < a.ticks.size(); ++i)
        if (a.ticks[i] >= a.lim[0] - 1e-9 && a.ticks[i] <= a.lim[1] + 1e-9)
            out.push_back(a.tickLabels.at(i));
    return out;
}

} // namespace

TEST(Layout, PlotBoxKeepsItsAspectAndEverythingStaysOnThePage)
{
    for (auto [w, h] : {std::pair{1200.0, 900.0}, {800.0, 1200.0}, {1600.0, 500.0}}) {
        const Prik p = test::syntheticPrik(12, 5, 401230, 405870, 101700, 104100, 1000);
        const Figure f = prik_mre(p);
        LayoutInfo info;
        const Scene s = layout(f, w, h, defaultPxPerPt(w, h), &info);
        const double ratio = f.axes.plotBoxAspect[1] / f.axes.plotBoxAspect[0];
        EXPECT_NEAR(info.box.h / info.box.w, ratio, 1e-9) << w << "x" << h;
        EXPECT_GT(info.box.x, 0);
        EXPECT_LT(info.box.x + info.box.w, w);
        EXPECT_GT(info.box.y, 0);
        EXPECT_LT(info.box.y + info.box.h, h);
        for (const Text* t : texts(s)) {
            if (t->angle != 0)
                continue;
            const auto [a, b] = span(*t);
            EXPECT_GE(a, 0) << t->text;
            EXPECT_LE(b, w) << t->text;
            EXPECT_GE(t->origin.y - kAscent * t->size, 0) << t->text;
            EXPECT_LE(t->origin.y + kDescent * t->size, h) << t->text;
        }
        // The y label reads upwards, left of the box.
        const Text* yl = findText(s, "x(N) (m)");
        ASSERT_TRUE(yl);
        EXPECT_EQ(yl->angle, 90);
        EXPECT_LT(yl->origin.x, info.box.x);
        EXPECT_GT(yl->origin.x, 0);
        // The title above the box.
        const Text* title = findText(s, "Mreza tock");
        ASSERT_TRUE(title);
        EXPECT_TRUE(title->bold);
        EXPECT_LT(title->origin.y, info.box.y);
    }
}

TEST(Layout, TickLabelsDoNotRunIntoEachOther)
{
    // Seventeen six-digit labels on a narrow page.
    const Prik p = test::syntheticPrik(8, 3, 454000, 468000, 94000, 109000, 1000);
    const Figure f = prik_mre(p);
    for (double w : {500.0, 900.0, 2400.0}) {
        LayoutInfo info;
        const Scene s = layout(f, w, w * 0.75, defaultPxPerPt(w, w * 0.75), &info);
        std::vector<std::pair<double, double>> spans;
        for (const Text* t : texts(s))
            if (t->size < 10 * s.pxPerPt && std::abs(t->origin.y - (info.box.y + info.box.h)) < 40 * s.pxPerPt &&
                t->origin.y > info.box.y + info.box.h && t->text.size() == 6)
                spans.push_back(span(*t));
        ASSERT_GE(spans.size(), 3u) << w;
        std::sort(spans.begin(), spans.end());
        for (std::size_t i = 1; i < spans.size(); ++i)
            EXPECT_LT(spans[i - 1].second, spans[i].first) << w;
        // Every tick keeps its mark even when its label is left out.
        EXPECT_GE(info.xLabelEvery, 1u);
    }
    // A wide page labels every tick.
    LayoutInfo info;
    layout(f, 4000, 3000, defaultPxPerPt(1200, 900), &info);
    EXPECT_EQ(info.xLabelEvery, 1u);
}

TEST(Layout, LinesAreClippedToTheBox)
{
    // A line from inside to far outside, and one wholly outside.
    Figure f = oneLine(5, 5, 50, 5);
    f.axes.lines.push_back({Vec::LinSpaced(2, 20, 30), Vec::LinSpaced(2, 20, 30), LineStyle{}});
    f.axes.markers.push_back({Vec::LinSpaced(2, 5, 15), Vec::LinSpaced(2, 5, 15), MarkerStyle{}});
    LayoutInfo info;
    const Scene s = layout(f, 600, 600, 1, &info);
    int dataLines = 0, markers = 0;
    for (const Item& i : s.items) {
        if (const auto* l = std::get_if<Polyline>(&i); l && l->pen.color == kDefaultLine) {
            ++dataLines;
            for (const Pt& q : l->pts) {
                EXPECT_GE(q.x, info.box.x - 1e-9);
                EXPECT_LE(q.x, info.box.x + info.box.w + 1e-9);
            }
            EXPECT_NEAR(l->pts.back().x, info.box.x + info.box.w, 1e-9) << "cut at the right edge";
        }
        if (std::holds_alternative<Ellipse>(i))
            ++markers;
    }
    EXPECT_EQ(dataLines, 1) << "the line outside is left out";
    EXPECT_EQ(markers, 1) << "the marker outside is left out";
}

TEST(Layout, BestLegendCornerCoversFewestPoints)
{
    const Rect box{0, 0, 100, 100};
    std::vector<Pt> pts;
    // Points in the north-east and north-west corners (y down: north is small y).
    for (int i = 0; i < 5; ++i) {
        pts.push_back({95.0 - i, 5.0 + i});
        pts.push_back({5.0 + i, 5.0 + i});
    }
    pts.push_back({5, 95}); // one in the south-west
    EXPECT_EQ(bestCorner(pts, box, 30, 20, 2), LegendLocation::SouthEast);
    EXPECT_EQ(bestCorner({}, box, 30, 20, 2), LegendLocation::NorthEast) << "ties go to north-east";
    EXPECT_EQ(bestCorner({}, box, 30, 20, 2, LegendLocation::NorthEast), LegendLocation::NorthWest);
    EXPECT_EQ(bestCorner({}, box, 30, 20, 2, std::nullopt, LegendLocation::SouthWest), LegendLocation::SouthWest);
    // A name reaching into the north-east corner counts though its point lies outside.
    EXPECT_EQ(bestCorner({}, box, 30, 20, 2, std::nullopt, LegendLocation::NorthEast, {Rect{60, 10, 20, 5}}),
              LegendLocation::NorthWest);

    // Through the layout: a network crowded in its north-east corner.
    Prik p = test::syntheticPrik(40, 3, 400000, 410000, 100000, 110000, 1000);
    for (Eigen::Index i = 3; i < 40; ++i) {
        p.Tx(i) = 408500 + 100 * static_cast<double>(i % 7);
        p.Ty(i) = 109700 + 40 * static_cast<double>(i / 7);
    }
    p.obod.resize(0, 2);
    LayoutInfo info;
    layout(prik_mre(p), 1200, 900, defaultPxPerPt(1200, 900), &info);
    ASSERT_TRUE(info.legendCorner);
    EXPECT_NE(*info.legendCorner, LegendLocation::NorthEast);
}

TEST(Layout, LegendAndScaleBarOutsideOrInAFreeCorner)
{
    const Prik p = test::syntheticPrik(6, 4, 455000, 470000, 94000, 109000, 2000);
    // The residual plot: legend right of the box, the scale bar under it, both on the page.
    LayoutInfo info;
    Scene s = layout(prik_odst(p), 1200, 900, defaultPxPerPt(1200, 900), &info);
    EXPECT_EQ(info.legendCorner, LegendLocation::EastOutside);
    EXPECT_EQ(info.scaleBarCorner, LegendLocation::EastOutside);
    EXPECT_GT(info.legend.x, info.box.x + info.box.w);
    EXPECT_LE(info.legend.x + info.legend.w, 1200);
    const Text* bar = findText(s, "20 mm");
    ASSERT_TRUE(bar);
    EXPECT_GT(bar->origin.y, info.legend.y + info.legend.h);
    EXPECT_LT(span(*bar).second, 1200);

    // With the legend inside, the scale bar takes another corner.
    Figure f = prik_odst(p);
    f.axes.legend->location = LegendLocation::Best;
    info = LayoutInfo{};
    s = layout(f, 1200, 900, defaultPxPerPt(1200, 900), &info);
    ASSERT_TRUE(info.legendCorner);
    ASSERT_TRUE(info.scaleBarCorner);
    EXPECT_NE(*info.legendCorner, *info.scaleBarCorner);
    EXPECT_LT(info.legend.x + info.legend.w, info.box.x + info.box.w);
    EXPECT_TRUE(findText(s, "20 mm"));
}

TEST(Layout, SurfaceIsRightWayUpAndDrawnFromTheBack)
{
    Mat g = Mat::Constant(106, 141, 47);
    for (Eigen::Index j = 0; j < 141; ++j)
        g(50, j) = 60; // a ridge
    const Figure f = prik_amg2000(g);
    LayoutInfo info;
    const Scene s = layout(f, 1200, 900, defaultPxPerPt(1200, 900), &info);
    // Viewed from the south-west: east to the right, north away (up the
    // page), heights up the page.
    EXPECT_GT(info.xDir.x, 0);
    EXPECT_LT(info.yDir.y, 0);
    EXPECT_LT(info.zDir.y, 0);
    EXPECT_NEAR(info.zDir.x, 0, 1e-9) << "verticals stay vertical";

    // Cells: white with coloured edges, as many as the grid has, nearer ones later.
    std::vector<const Polygon*> cells;
    for (const Item& i : s.items)
        if (const auto* q = std::get_if<Polygon>(&i); q && q->fill == kWhite && q->pts.size() == 4 && q->edge &&
                                                      q->edge->color != kBlack)
            cells.push_back(q);
    ASSERT_EQ(cells.size(), 105u * 140u);
    // The first cell drawn is at the far (north-east) corner, the last at the near (south-west) one.
    EXPECT_LT(cells.front()->pts[0].y, cells.back()->pts[0].y);
    EXPECT_GT(cells.front()->pts[0].x, cells.back()->pts[0].x);
}

TEST(Layout, BorderLineIsDrawnOverTheSurface)
{
    const Figure f = prikaziK(test::dataDir());
    const Scene s = layout(f, 900, 700, defaultPxPerPt(900, 700));
    std::size_t lastCell = 0, border = 0;
    for (std::size_t i = 0; i < s.items.size(); ++i) {
        if (const auto* q = std::get_if<Polygon>(&s.items[i]); q && q->fill == kWhite && q->pts.size() == 4)
            lastCell = i;
        if (const auto* l = std::get_if<Polyline>(&s.items[i]); l && l->pen.color == kBlack && l->pts.size() > 100)
            border = i;
    }
    EXPECT_GT(border, lastCell);
}

TEST(FontMetrics, WidthsOfHelveticaForSloveneText)
{
    EXPECT_DOUBLE_EQ(textWidth("A", 1000), 667);
    EXPECT_DOUBLE_EQ(textWidth("0123456789", 10), 55.6);
    EXPECT_DOUBLE_EQ(textWidth("č", 1000), 500);
    EXPECT_DOUBLE_EQ(textWidth("Ž", 1000), 611);
    EXPECT_DOUBLE_EQ(textWidth("_", 1000), 556);
    EXPECT_GT(textWidth("Mreza", 10, true), textWidth("Mreza", 10, false));
    // A character outside Windows-1250 counts as '?'.
    EXPECT_DOUBLE_EQ(textWidth("α", 1000), textWidth("?", 1000));
    EXPECT_EQ(cp1250Code(U'č'), 0xE8);
    EXPECT_EQ(cp1250Code(U'Š'), 0x8A);
    EXPECT_EQ(cp1250Code(U'€'), 0x80);
    EXPECT_EQ(decodeUtf8("a\xC4\x8D\xFFz"), (std::u32string{U'a', U'č', 0xFFFD, U'z'}));
    EXPECT_EQ(decodeUtf8("\xC4"), std::u32string{0xFFFD}) << "a cut sequence";
}

TEST(Layout, CrowdedNamesMoveAsideAndComeBackHomeWhenZoomedIn)
{
    // Two points 30 m apart with long names, in a 10 km network.
    Prik p = test::syntheticPrik(4, 2, 400000, 410000, 100000, 110000, 1000);
    p.Tx(1) = p.Tx(0) + 30;
    p.Ty(1) = p.Ty(0);
    p.vset[0] = "KOPER_1";
    p.vset[1] = "KOPER_2";
    LayoutInfo info;
    Scene s = layout(prik_mre(p), 1200, 900, defaultPxPerPt(1200, 900), &info);
    EXPECT_EQ(info.hiddenTexts, 0u) << "a plot of four points leaves no name out";
    const Text* first = findText(s, "KOPER_1");
    const Text* second = findText(s, "KOPER_2");
    ASSERT_TRUE(first && second);
    // The first keeps its place under its point; the second went to another side.
    EXPECT_EQ(first->align, HAlign::Center);
    EXPECT_GT(first->origin.y, info.box.y + info.box.h - (p.Ty(0) - 99000) / 12000 * info.box.h);
    const auto [a0, a1] = span(*first);
    const auto [b0, b1] = span(*second);
    EXPECT_TRUE(a1 <= b0 || b1 <= a0 || std::abs(first->origin.y - second->origin.y) >= first->size)
        << "the names do not overlap";

    // Zoomed in around the two points, both names fit under their points.
    Figure zoomed = prik_mre(p);
    zoomed.axes.x.lim = {p.Tx(0) - 60, p.Tx(0) + 90};
    zoomed.axes.y.lim = {p.Ty(0) - 60, p.Ty(0) + 90};
    info = LayoutInfo{};
    s = layout(zoomed, 1200, 900, defaultPxPerPt(1200, 900), &info);
    EXPECT_EQ(info.hiddenTexts, 0u);
    EXPECT_EQ(info.leaders, 0u);
    ASSERT_TRUE(findText(s, "KOPER_2"));
    EXPECT_EQ(findText(s, "KOPER_2")->align, HAlign::Center);
}

TEST(Layout, GeoidSurfacesCarryTitleAxisLabelsAndAColourScale)
{
    const Figure amg = prik_amg2000(Mat::Constant(106, 141, 47.5));
    const Figure vrp = prikaziK(test::dataDir());
    for (const Figure* f : {&amg, &vrp}) {
        const Axes& ax = f->axes;
        EXPECT_NE(ax.title.find(f == &amg ? "AMG2000" : "VRP2016"), std::string::npos);
        EXPECT_EQ(ax.x.label, "geografska dolžina (°)");
        EXPECT_EQ(ax.y.label, "geografska širina (°)");
        EXPECT_NE(ax.z.label.find("(m)"), std::string::npos);
        ASSERT_TRUE(ax.colourBar);
        for (auto [w, h] : {std::pair{1200.0, 900.0}, {700.0, 700.0}}) {
            LayoutInfo info;
            const Scene s = layout(*f, w, h, defaultPxPerPt(w, h), &info);
            const Text* title = findText(s, ax.title);
            ASSERT_TRUE(title);
            EXPECT_TRUE(title->bold);
            // The x and y labels along their edges (turned), the z label at its axis and at the scale.
            for (const std::string& l : {ax.x.label, ax.y.label}) {
                const Text* t = findText(s, l);
                ASSERT_TRUE(t) << l;
                EXPECT_GT(t->origin.y, info.box.y + info.box.h / 2) << l << ": under the floor";
                EXPECT_GE(t->origin.x - textWidth(l, t->size) / 2, 0) << l;
            }
            int zLabels = 0;
            for (const Text* t : texts(s))
                zLabels += t->text == ax.z.label && t->angle == 90;
            EXPECT_EQ(zLabels, 2);
            // The scale right of the box, on the page, its colours running from low (bottom) to high.
            ASSERT_TRUE(info.colourBar);
            const Rect bar = *info.colourBar;
            EXPECT_GT(bar.x, info.box.x + info.box.w * 0.9);
            EXPECT_LT(bar.x + bar.w, w);
            std::vector<const Polygon*> bands;
            for (const Item& i : s.items)
                if (const auto* g = std::get_if<Polygon>(&i); g && g->fill && !g->edge && g->pts[0].x == bar.x)
                    bands.push_back(g);
            ASSERT_GE(bands.size(), 16u);
            EXPECT_GT(bands.front()->pts[0].y, bands.back()->pts[0].y);
            EXPECT_EQ(*bands.front()->fill, heightColour(0.5 / static_cast<double>(bands.size())));
            // Every z tick labelled beside the bar.
            for (const std::string& l : visibleTicks(ax.z)) {
                bool beside = false;
                for (const Text* t : texts(s))
                    beside = beside || (t->text == l && t->origin.x > bar.x + bar.w);
                EXPECT_TRUE(beside) << l;
            }
        }
    }
}

// Fourteen wheel notches into a network whose names the builder hangs a
// twentieth of the tick spacing under their points.  Fault pinned down: at
// that scale the data-unit offset had grown to a point's spacing, so "K04"
// sat beside K07's triangle, some points had no name, and no tick of the
// builder's was left inside the limits, so the axes had no scale.
TEST(Layout, ZoomedNetworkKeepsNamesAtTheirPointsAndTicksOnTheAxes)
{
    Prik p = test::syntheticPrik(12, 4, 400000, 440000, 90000, 120000, 5000);
    for (int i = 0; i < 12; ++i)
        p.vset[static_cast<std::size_t>(i)] = (i < 9 ? "K0" : "K") + std::to_string(i + 1);
    // K03..K09 in a column 250 m apart: a name 250 m under its point lands on the next one.
    for (int i = 2; i < 9; ++i) {
        p.Tx(i) = 420000 + (i % 2) * 120;
        p.Ty(i) = 105000 - (i - 2) * 250;
    }
    Figure f = prik_mre(p);
    for (int k = 0; k < 14; ++k)
        zoomAbout(f.axes, p.Tx(6), p.Ty(6), 1);
    const double across = f.axes.x.lim[1] - f.axes.x.lim[0];
    ASSERT_NEAR(across, (40000 + 2 * 5000) * std::pow(0.8, 14), 1e-6);

    for (auto [w, h] : {std::pair{1200.0, 900.0}, {800.0, 800.0}}) {
        LayoutInfo info;
        const Scene s = layout(f, w, h, defaultPxPerPt(w, h), &info);
        const auto px = [&](double x, double y) {
            return Pt{info.box.x + (x - f.axes.x.lim[0]) / (f.axes.x.lim[1] - f.axes.x.lim[0]) * info.box.w,
                      info.box.y + (f.axes.y.lim[1] - y) / (f.axes.y.lim[1] - f.axes.y.lim[0]) * info.box.h};
        };
        const auto distance = [](const Text& t, Pt q) {
            const auto [x0, x1] = span(t);
            const double y0 = t.origin.y - kAscent * t.size, y1 = t.origin.y + kDescent * t.size;
            return std::hypot(q.x - std::clamp(q.x, x0, x1), q.y - std::clamp(q.y, y0, y1));
        };
        int inView = 0;
        for (int i = 0; i < 12; ++i) {
            const Pt c = px(p.Tx(i), p.Ty(i));
            if (c.x < info.box.x || c.x > info.box.x + info.box.w || c.y < info.box.y || c.y > info.box.y + info.box.h)
                continue;
            ++inView;
            const Text* name = findText(s, p.vset[static_cast<std::size_t>(i)]);
            ASSERT_TRUE(name) << p.vset[static_cast<std::size_t>(i)] << " has no name at " << w << "x" << h;
            const double own = distance(*name, c);
            EXPECT_LT(own, 20 * defaultPxPerPt(w, h)) << name->text << " is far from its point";
            for (int j = 0; j < 12; ++j) {
                if (j != i) {
                    EXPECT_LT(own, distance(*name, px(p.Tx(j), p.Ty(j))))
                        << name->text << " is nearer " << p.vset[static_cast<std::size_t>(j)];
                }
            }
        }
        EXPECT_GE(inView, 3);
        EXPECT_EQ(info.hiddenTexts, 0u);

        // Tick labels under the box and left of it, in the axes' unit (metres here).
        int under = 0, left = 0;
        for (const Text* t : texts(s)) {
            if (t->angle != 0 || t->text.empty() || !std::isdigit(static_cast<unsigned char>(t->text[0])))
                continue;
            if (t->origin.y > info.box.y + info.box.h)
                ++under;
            else if (t->origin.x < info.box.x)
                ++left;
        }
        EXPECT_GE(under, 2) << w << "x" << h;
        EXPECT_GE(left, 2) << w << "x" << h;
    }
    // Panned well past the last tick, the scale stays.
    pan(f.axes, 30000, 0);
    LayoutInfo info;
    const Scene s = layout(f, 1200, 900, defaultPxPerPt(1200, 900), &info);
    int under = 0;
    for (const Text* t : texts(s))
        if (t->angle == 0 && t->origin.y > info.box.y + info.box.h && !t->text.empty() &&
            std::isdigit(static_cast<unsigned char>(t->text[0])))
            ++under;
    EXPECT_GE(under, 2);
}
