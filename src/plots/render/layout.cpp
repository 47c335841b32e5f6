#include "plots/render/layout.h"

#include "plots/render/fontmetrics.h"
#include "plots/render/labels.h"
#include "plots/render/numfmt.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>

namespace kolmo::plot {

namespace {

// Sizes in points.
constexpr double kTickFont = 9, kLabelFont = 10, kTitleFont = 11, kLegendFont = 9;
constexpr double kTickLength = 4, kPad = 6, kGap = 3, kFrameWidth = 0.5, kLegendInset = 5;
constexpr double kLegendSample = 22, kLegendRow = 1.45; // sample length; row height in font sizes
constexpr double kLineHeight = 1.2;                     // text height in font sizes for the margins
constexpr double kColourBarWidth = 10;
constexpr Rgb kGridColour{0.85, 0.85, 0.85};
constexpr Rgb kPlaneEdge{0.3, 0.3, 0.3};

struct Builder {
    Scene& scene;
    double p; // pixels per point

    void line(std::vector<Pt> pts, Rgb c, double widthPt)
    {
        if (pts.size() >= 2)
            scene.items.emplace_back(Polyline{std::move(pts), Pen{c, widthPt * p}});
    }
    void text(Pt at, std::string s, double sizePt, HAlign h, VAlign v, Rgb c = kBlack, bool bold = false,
              double angle = 0)
    {
        if (s.empty())
            return;
        const double size = sizePt * p;
        // Shift from the anchor to the baseline, along the text's own up direction.
        double up = 0; // how far the baseline lies below the anchor, in the text's frame
        switch (v) {
        case VAlign::Top: up = kAscent * size; break;
        case VAlign::Middle: up = (kAscent - kDescent) / 2 * size; break;
        case VAlign::Bottom: up = -kDescent * size; break;
        case VAlign::Baseline: up = 0; break;
        }
        const double a = angle * std::numbers::pi / 180;
        // The text's "down" direction on the page (y down) is (sin a, cos a).
        const Pt origin{at.x + up * std::sin(a), at.y + up * std::cos(a)};
        scene.items.emplace_back(Text{origin, std::move(s), size, bold, c, h, angle});
    }
};

double widest(const std::vector<std::string>& texts, double sizePt, double p)
{
    double w = 0;
    for (const auto& t : texts)
        w = std::max(w, textWidth(t, sizePt * p));
    return w;
}

// Labels of the ticks inside the limits.
struct VisibleTicks {
    std::vector<double> at;
    std::vector<std::string> labels;
};

// Ticks at a round step (1, 2 or 5 times a power of ten of `unit`) that
// puts four to ten of them between lo and hi, labelled in `unit` with as
// many decimals as the step needs.
VisibleTicks roundTicks(double lo, double hi, double unit)
{
    VisibleTicks v;
    const double range = (hi - lo) / unit;
    if (!(range > 0) || !std::isfinite(range))
        return v;
    const double raw = range / 5;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    double step = mag;
    for (const double m : {2.0, 5.0, 10.0})
        if (raw >= m * mag * 0.75)
            step = m * mag;
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    const double first = std::ceil(lo / unit / step - 1e-9), last = std::floor(hi / unit / step + 1e-9);
    for (double k = first; k <= last && v.at.size() < 50; k += 1) {
        const double value = k * step;
        v.at.push_back(value * unit);
        std::string text;
        appendNumber(text, value, decimals);
        v.labels.push_back(std::move(text));
    }
    return v;
}

VisibleTicks visibleTicks(const Axis& a)
{
    VisibleTicks v;
    const double lo = std::min(a.lim[0], a.lim[1]), hi = std::max(a.lim[0], a.lim[1]);
    const double eps = (hi - lo) * 1e-9;
    for (std::size_t i = 0; i < a.ticks.size(); ++i)
        if (a.ticks[i] >= lo - eps && a.ticks[i] <= hi + eps) {
            v.at.push_back(a.ticks[i]);
            v.labels.push_back(i < a.tickLabels.size() ? a.tickLabels[i] : std::string());
        }
    // Zoomed in between the builder's ticks, the axis keeps a scale.
    if (a.zoomTickUnit > 0 && v.at.size() < 3)
        if (VisibleTicks own = roundTicks(lo, hi, a.zoomTickUnit); own.at.size() >= 2)
            return own;
    return v;
}

bool inside(const Rect& r, Pt q)
{
    return q.x >= r.x && q.x <= r.x + r.w && q.y >= r.y && q.y <= r.y + r.h;
}

// Liang-Barsky: clips the segment a-b to r; false when nothing is left.
bool clipSegment(const Rect& r, Pt& a, Pt& b)
{
    double t0 = 0, t1 = 1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double pp[4] = {-dx, dx, -dy, dy};
    const double qq[4] = {a.x - r.x, r.x + r.w - a.x, a.y - r.y, r.y + r.h - a.y};
    for (int k = 0; k < 4; ++k) {
        if (pp[k] == 0) {
            if (qq[k] < 0)
                return false;
            continue;
        }
        const double t = qq[k] / pp[k];
        if (pp[k] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const Pt a0 = a;
    a = {a0.x + t0 * dx, a0.y + t0 * dy};
    b = {a0.x + t1 * dx, a0.y + t1 * dy};
    return true;
}

// A polyline through pts (NaN breaks it) cut to r, as pieces.
std::vector<std::vector<Pt>> clipPolyline(const std::vector<Pt>& pts, const Rect& r)
{
    std::vector<std::vector<Pt>> pieces;
    std::vector<Pt> cur;
    const auto flush = [&] {
        if (cur.size() >= 2)
            pieces.push_back(std::move(cur));
        cur.clear();
    };
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        Pt a = pts[i], b = pts[i + 1];
        if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) {
            flush();
            continue;
        }
        const Pt b0 = b;
        if (!clipSegment(r, a, b)) {
            flush();
            continue;
        }
        if (cur.empty() || cur.back().x != a.x || cur.back().y != a.y) {
            flush();
            cur.push_back(a);
        }
        cur.push_back(b);
        if (b.x != b0.x || b.y != b0.y)
            flush();
    }
    flush();
    return pieces;
}

Rect cornerRect(const Rect& box, double w, double h, double inset, LegendLocation c)
{
    const bool east = c == LegendLocation::NorthEast || c == LegendLocation::SouthEast;
    const bool north = c == LegendLocation::NorthEast || c == LegendLocation::NorthWest;
    return {east ? box.x + box.w - inset - w : box.x + inset, north ? box.y + inset : box.y + box.h - inset - h, w, h};
}

void markerItems(Builder& b, Pt c, const MarkerStyle& m)
{
    const double r = m.size * b.p / 2;
    const Pen edge{m.edge, 0.5 * b.p};
    switch (m.shape) {
    case MarkerShape::Circle:
        b.scene.items.emplace_back(Ellipse{c, r, r, m.face, edge});
        break;
    case MarkerShape::TriangleUp: {
        const double R = r * 1.15; // the triangle looks as large as a circle of the same size
        b.scene.items.emplace_back(
            Polygon{{{c.x, c.y - R}, {c.x + R * 0.866, c.y + R * 0.5}, {c.x - R * 0.866, c.y + R * 0.5}}, m.face, edge});
        break;
    }
    case MarkerShape::Square:
        b.scene.items.emplace_back(
            Polygon{{{c.x - r, c.y - r}, {c.x + r, c.y - r}, {c.x + r, c.y + r}, {c.x - r, c.y + r}}, m.face, edge});
        break;
    }
}

// ---------------------------------------------------------------- 2D

struct Map2 {
    Rect box;
    double x0, x1, y0, y1;
    Pt operator()(double x, double y) const
    {
        return {box.x + (x - x0) / (x1 - x0) * box.w, box.y + box.h - (y - y0) / (y1 - y0) * box.h};
    }
};

void layout2d(const Figure& fig, Builder& b, LayoutInfo& info)
{
    const Axes& ax = fig.axes;
    const double p = b.p;
    const Scene& scene = b.scene;

    const VisibleTicks xt = visibleTicks(ax.x), yt = visibleTicks(ax.y);
    const double yTickW = widest(yt.labels, kTickFont, p);
    const double xTickHalf = widest(xt.labels, kTickFont, p) / 2;
    const double tickH = kTickFont * kLineHeight * p;

    // The legend's size; outside the box it takes its room from the right.
    const bool hasLegend = ax.legend && !ax.legend->entries.empty();
    const double row = kLegendRow * kLegendFont * p;
    double legendW = 0, legendH = 0;
    if (hasLegend) {
        double textW = 0;
        for (const auto& e : ax.legend->entries)
            textW = std::max(textW, textWidth(e.text, kLegendFont * p));
        legendW = kGap * p * 2 + kLegendSample * p + kGap * p * 2 + textW + kGap * p * 2;
        legendH = row * static_cast<double>(ax.legend->entries.size()) + kGap * p * 2;
    }
    const bool outside = hasLegend && ax.legend->location == LegendLocation::EastOutside;

    const double left = kPad * p + (ax.y.label.empty() ? 0 : kLabelFont * kLineHeight * p + kGap * p) + yTickW +
                        2 * kGap * p;
    double right = std::max(kPad * p, xTickHalf + kGap * p);
    if (outside) {
        // Room for the legend and, under it, a scale bar of up to a fifth of the page.
        double sideW = legendW;
        if (ax.scaleBar)
            sideW = std::max({sideW, textWidth(ax.scaleBar->text, kTickFont * p) + 4 * kGap * p,
                              0.2 * (scene.width - left)});
        right = std::max(right, 3 * kGap * p + sideW + kPad * p);
    }
    const double bottom = kPad * p + (ax.x.label.empty() ? 0 : kLabelFont * kLineHeight * p + kGap * p) + tickH +
                          kGap * p;
    const double top = ax.title.empty() ? std::max(kPad * p, tickH / 2 + kGap * p)
                                        : kPad * p + kTitleFont * kLineHeight * p + 2 * kGap * p;
    const double W = std::max(1.0, scene.width - left - right);
    const double H = std::max(1.0, scene.height - top - bottom);
    double ratio = ax.plotBoxAspect[0] > 0 ? ax.plotBoxAspect[1] / ax.plotBoxAspect[0] : 1;
    if (!(ratio > 0) || !std::isfinite(ratio))
        ratio = 1;
    Rect box;
    if (H / W > ratio) {
        box = {left, top + (H - W * ratio) / 2, W, W * ratio};
    } else {
        box = {left + (W - H / ratio) / 2, top, H / ratio, H};
    }
    info.box = box;

    double x0 = ax.x.lim[0], x1 = ax.x.lim[1], y0 = ax.y.lim[0], y1 = ax.y.lim[1];
    if (!(x1 > x0))
        x1 = x0 + 1;
    if (!(y1 > y0))
        y1 = y0 + 1;
    const Map2 map{box, x0, x1, y0, y1};

    std::vector<Pt> dataPoints; // for the legend and the scale bar
    std::vector<Rect> dataTexts;
    // Lines.
    for (const LineSeries& l : ax.lines) {
        std::vector<Pt> pts;
        const Eigen::Index n = std::min(l.x.size(), l.y.size());
        pts.reserve(static_cast<std::size_t>(n));
        for (Eigen::Index i = 0; i < n; ++i) {
            pts.push_back(map(l.x(i), l.y(i)));
            if (inside(box, pts.back()))
                dataPoints.push_back(pts.back());
        }
        for (auto& piece : clipPolyline(pts, box))
            b.line(std::move(piece), l.style.color, l.style.width);
    }
    // Vectors with their heads.
    for (const VectorSeries& v : ax.vectors) {
        const Eigen::Index n = std::min({v.x.size(), v.y.size(), v.u.size(), v.v.size()});
        for (Eigen::Index i = 0; i < n; ++i) {
            Pt a = map(v.x(i), v.y(i)), t = map(v.x(i) + v.u(i), v.y(i) + v.v(i));
            if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(t.x) || !std::isfinite(t.y))
                continue;
            const Pt tip = t;
            if (inside(box, a))
                dataPoints.push_back(a);
            if (inside(box, tip))
                dataPoints.push_back(tip);
            const double len = std::hypot(tip.x - a.x, tip.y - a.y);
            Pt s = a, e = tip;
            if (!clipSegment(box, s, e))
                continue;
            const double head = std::min(v.headSize * p, 0.4 * len);
            if (inside(box, tip) && len > 0 && head > 0.5) {
                const double ux = (tip.x - a.x) / len, uy = (tip.y - a.y) / len;
                const Pt base{tip.x - ux * head, tip.y - uy * head};
                const double half = head * 0.35;
                // The shaft stops at the head's base so the head's point stays sharp.
                e = base;
                b.line({s, e}, v.style.color, v.style.width);
                b.scene.items.emplace_back(Polygon{{tip,
                                                    {base.x - uy * half, base.y + ux * half},
                                                    {base.x + uy * half, base.y - ux * half}},
                                                   v.style.color,
                                                   std::nullopt});
            } else {
                b.line({s, e}, v.style.color, v.style.width);
            }
        }
    }
    // Markers.
    for (const MarkerSeries& m : ax.markers) {
        const Eigen::Index n = std::min(m.x.size(), m.y.size());
        for (Eigen::Index i = 0; i < n; ++i) {
            const Pt c = map(m.x(i), m.y(i));
            if (!inside(box, c))
                continue;
            dataPoints.push_back(c);
            markerItems(b, c, m.style);
        }
    }
    // Texts.  A point's name goes to a free side of its point, or further
    // out with a leader (labels.h); a name that would overlap a name placed
    // before it wherever it went is left out, and a layout at zoomed-in
    // limits shows it again.  Other texts stay where they are put, or are
    // left out when they would overlap a name.
    const double textH = (kAscent + kDescent);
    NamePlacer placer(box, 8 * textH * p, std::max(0.5, 0.5 * p));
    for (const MarkerSeries& m : ax.markers) {
        // The marker's square, its edge and a hair more.
        const double r = m.style.size * p / 2 * (m.style.shape == MarkerShape::TriangleUp ? 1.15 : 1) + 0.5 * p;
        const Eigen::Index n = std::min(m.x.size(), m.y.size());
        for (Eigen::Index i = 0; i < n; ++i) {
            const Pt c = map(m.x(i), m.y(i));
            if (inside(box, c))
                placer.addMarker({c.x - r, c.y - r, 2 * r, 2 * r});
        }
    }
    for (const VectorSeries& v : ax.vectors) {
        const Eigen::Index n = std::min({v.x.size(), v.y.size(), v.u.size(), v.v.size()});
        for (Eigen::Index i = 0; i < n; ++i) {
            Pt a = map(v.x(i), v.y(i)), t = map(v.x(i) + v.u(i), v.y(i) + v.v(i));
            if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(t.x) || !std::isfinite(t.y))
                continue;
            const double len = std::hypot(t.x - a.x, t.y - a.y);
            const double head = std::min(v.headSize * p, 0.4 * len);
            if (!clipSegment(box, a, t))
                continue;
            placer.addSegment(a, t, v.style.width * p / 2 + 0.5 * p);
            if (head > 0.5 && len > 0) {
                // The head, as wide as its base.
                const double ux = (t.x - a.x) / len, uy = (t.y - a.y) / len;
                placer.addSegment({t.x - ux * head, t.y - uy * head}, t, head * 0.35 + 0.5 * p);
            }
        }
    }
    std::vector<NameRequest> requests;
    std::vector<const TextLabel*> requested;
    std::vector<Pt> anchors;
    requests.reserve(ax.texts.size());
    for (const TextLabel& t : ax.texts) {
        Pt c = map(t.x, t.y);
        std::optional<Pt> pointAt;
        if (t.point) {
            pointAt = map(t.point->x, t.point->y);
            if (!inside(box, *pointAt))
                continue;
        } else if (!inside(box, c)) {
            continue;
        }
        c.x += t.dx * p;
        c.y -= t.dy * p;
        const double size = t.size * p, w = textWidth(t.text, size), h = textH * size;
        const double tx0 = t.halign == HAlign::Left ? c.x : t.halign == HAlign::Center ? c.x - w / 2 : c.x - w;
        double ty0 = c.y - h;
        switch (t.valign) {
        case VAlign::Top: ty0 = c.y; break;
        case VAlign::Middle: ty0 = c.y - h / 2; break;
        case VAlign::Baseline: ty0 = c.y - kAscent * size; break;
        case VAlign::Bottom: break;
        }
        NameRequest q{.preferred = {tx0, ty0, w, h}, .align = t.halign, .point = pointAt, .clearance = 0,
                      .leaderInset = 0};
        if (t.point) {
            q.clearance = t.point->clearance * p;
            q.leaderInset = std::max(0.0, (t.point->clearance - 1.5) * p);
            // A builder's place given in data units below the point drifts
            // away from it as the view zooms in, until it sits beside another
            // point and takes that one's place: a place that far off goes
            // back under the point, the clearance away.
            const Pt near{std::clamp(pointAt->x, tx0, tx0 + w), std::clamp(pointAt->y, ty0, ty0 + h)};
            if (std::hypot(near.x - pointAt->x, near.y - pointAt->y) > 2 * q.clearance + h) {
                q.preferred = {pointAt->x - w / 2, pointAt->y + q.clearance, w, h};
                q.align = HAlign::Center;
            }
        }
        requests.push_back(q);
        requested.push_back(&t);
    }
    const auto placed = placer.place(requests);
    info.leaderCrossings = placer.crossings();
    for (std::size_t i = 0; i < placed.size(); ++i) {
        if (!placed[i]) {
            ++info.hiddenTexts;
            continue;
        }
        const TextLabel& t = *requested[i];
        const Rect& r = placed[i]->box;
        dataTexts.push_back(r);
        if (placed[i]->leader) {
            ++info.leaders;
            const auto& l = *placed[i]->leader;
            b.line({l[0], l[1]}, kLeaderColour, kLeaderWidth);
        }
        const HAlign h = placed[i]->align;
        const double x = h == HAlign::Left ? r.x : h == HAlign::Center ? r.x + r.w / 2 : r.x + r.w;
        b.text({x, r.y}, t.text, t.size, h, VAlign::Top, t.color);
    }

    // Frame and ticks, over the data.
    const double tl = kTickLength * p;
    b.scene.items.emplace_back(Polygon{{{box.x, box.y}, {box.x + box.w, box.y}, {box.x + box.w, box.y + box.h},
                                        {box.x, box.y + box.h}},
                                       std::nullopt,
                                       Pen{kBlack, kFrameWidth * p}});
    // Every tick gets its mark; where the labels would run into each other
    // only every second (third, ...) tick is labelled.
    const auto labelEvery = [&](const VisibleTicks& t, bool horizontal, double pxPerUnit) {
        if (t.at.size() < 2)
            return std::size_t{1};
        double need = tickH;
        if (horizontal)
            need = widest(t.labels, kTickFont, p) + 2 * kGap * p;
        double spacing = 1e300;
        for (std::size_t i = 1; i < t.at.size(); ++i)
            spacing = std::min(spacing, std::abs(t.at[i] - t.at[i - 1]) * pxPerUnit);
        if (!(spacing > 0))
            return std::size_t{1};
        return static_cast<std::size_t>(std::max(1.0, std::ceil(need / spacing - 1e-9)));
    };
    const std::size_t xEvery = labelEvery(xt, true, box.w / (x1 - x0));
    const std::size_t yEvery = labelEvery(yt, false, box.h / (y1 - y0));
    info.xLabelEvery = xEvery;
    info.yLabelEvery = yEvery;
    for (std::size_t i = 0; i < xt.at.size(); ++i) {
        const double X = map(xt.at[i], y0).x;
        b.line({{X, box.y + box.h}, {X, box.y + box.h - tl}}, kBlack, kFrameWidth);
        if (ax.box)
            b.line({{X, box.y}, {X, box.y + tl}}, kBlack, kFrameWidth);
        if (i % xEvery == 0)
            b.text({X, box.y + box.h + kGap * p}, xt.labels[i], kTickFont, HAlign::Center, VAlign::Top);
    }
    for (std::size_t i = 0; i < yt.at.size(); ++i) {
        const double Y = map(x0, yt.at[i]).y;
        b.line({{box.x, Y}, {box.x + tl, Y}}, kBlack, kFrameWidth);
        if (ax.box)
            b.line({{box.x + box.w, Y}, {box.x + box.w - tl, Y}}, kBlack, kFrameWidth);
        if (i % yEvery == 0)
            b.text({box.x - 2 * kGap * p, Y}, yt.labels[i], kTickFont, HAlign::Right, VAlign::Middle);
    }
    if (!ax.x.label.empty())
        b.text({box.x + box.w / 2, box.y + box.h + kGap * p + tickH + kGap * p}, ax.x.label, kLabelFont,
               HAlign::Center, VAlign::Top);
    if (!ax.y.label.empty())
        b.text({box.x - 2 * kGap * p - yTickW - kGap * p, box.y + box.h / 2}, ax.y.label, kLabelFont, HAlign::Center,
               VAlign::Bottom, kBlack, false, 90);
    if (!ax.title.empty())
        b.text({box.x + box.w / 2, box.y - 2 * kGap * p}, ax.title, kTitleFont, HAlign::Center, VAlign::Bottom, kBlack,
               true);

    // Legend.
    const double inset = kLegendInset * p;
    if (hasLegend) {
        const Legend& lg = *ax.legend;
        const double w = legendW, h = legendH;
        const LegendLocation corner = lg.location == LegendLocation::Best
                                          ? bestCorner(dataPoints, box, w, h, inset, std::nullopt,
                                                       LegendLocation::NorthEast, dataTexts)
                                          : lg.location;
        const Rect r = outside ? Rect{box.x + box.w + 3 * kGap * p, box.y, w, h} : cornerRect(box, w, h, inset, corner);
        info.legendCorner = corner;
        info.legend = r;
        b.scene.items.emplace_back(Polygon{{{r.x, r.y}, {r.x + r.w, r.y}, {r.x + r.w, r.y + r.h}, {r.x, r.y + r.h}},
                                           kWhite,
                                           Pen{kBlack, kFrameWidth * p}});
        for (std::size_t i = 0; i < lg.entries.size(); ++i) {
            const auto& e = lg.entries[i];
            const double cy = r.y + kGap * p * 2 / 2 + row * (static_cast<double>(i) + 0.5);
            const double sx = r.x + kGap * p * 2;
            if (e.line)
                b.line({{sx, cy}, {sx + kLegendSample * p, cy}}, e.line->color, std::max(e.line->width, 0.5));
            if (e.marker)
                markerItems(b, {sx + kLegendSample * p / 2, cy}, *e.marker);
            b.text({sx + kLegendSample * p + kGap * p * 2, cy}, e.text, kLegendFont, HAlign::Left, VAlign::Middle);
        }
    }

    // Scale bar.
    if (ax.scaleBar && ax.scaleBar->length > 0) {
        const ScaleBar& sb = *ax.scaleBar;
        const double L = sb.length / (x1 - x0) * box.w;
        const double w = std::max(L, textWidth(sb.text, kTickFont * p)) + 4 * kGap * p;
        const double h = kGap * p * 3 + tl + kTickFont * kLineHeight * p;
        Rect r;
        if (outside) {
            // Under the legend, outside the box.
            r = {box.x + box.w + 3 * kGap * p, info.legend.y + info.legend.h + 3 * kGap * p, w, h};
            info.scaleBarCorner = LegendLocation::EastOutside;
        } else {
            const LegendLocation corner =
                bestCorner(dataPoints, box, w, h, inset, info.legendCorner, LegendLocation::SouthWest, dataTexts);
            r = cornerRect(box, w, h, inset, corner);
            info.scaleBarCorner = corner;
        }
        b.scene.items.emplace_back(Polygon{{{r.x, r.y}, {r.x + r.w, r.y}, {r.x + r.w, r.y + r.h}, {r.x, r.y + r.h}},
                                           kWhite,
                                           Pen{{0.6, 0.6, 0.6}, kFrameWidth * p}});
        const double cx = r.x + r.w / 2, y = r.y + kGap * p + tl;
        b.line({{cx - L / 2, y - tl}, {cx - L / 2, y}, {cx + L / 2, y}, {cx + L / 2, y - tl}}, sb.style.color,
               sb.style.width);
        b.text({cx, y + kGap * p}, sb.text, kTickFont, HAlign::Center, VAlign::Top);
    }
}

// ---------------------------------------------------------------- 3D

struct View {
    double ax, ay, az;             // plot box sides, the longest 1
    std::array<double, 3> r, u, v; // screen right, screen up, towards the viewer
    double k = 1, cx = 0, cy = 0;  // scale and centre on the page
    double mx = 0, my = 0;         // centre of the projected box
    std::array<double, 2> xl, yl, zl;

    // Data -> normalised box.
    std::array<double, 3> norm(double x, double y, double z) const
    {
        return {(x - xl[0]) / (xl[1] - xl[0]) * ax, (y - yl[0]) / (yl[1] - yl[0]) * ay,
                (z - zl[0]) / (zl[1] - zl[0]) * az};
    }
    Pt screen(const std::array<double, 3>& q) const
    {
        const double sx = q[0] * r[0] + q[1] * r[1] + q[2] * r[2];
        const double sy = q[0] * u[0] + q[1] * u[1] + q[2] * u[2];
        return {cx + k * (sx - mx), cy - k * (sy - my)};
    }
    double depth(const std::array<double, 3>& q) const { return q[0] * v[0] + q[1] * v[1] + q[2] * v[2]; }
};

std::array<double, 2> safeLim(std::array<double, 2> l)
{
    if (!(l[1] > l[0]))
        l[1] = l[0] + 1;
    return l;
}

void layout3d(const Figure& fig, Builder& b, LayoutInfo& info)
{
    const Axes& ax = fig.axes;
    const double p = b.p;
    View vw;
    const double amax = std::max({ax.plotBoxAspect[0], ax.plotBoxAspect[1], ax.plotBoxAspect[2], 1e-12});
    vw.ax = std::max(ax.plotBoxAspect[0] / amax, 1e-6);
    vw.ay = std::max(ax.plotBoxAspect[1] / amax, 1e-6);
    vw.az = std::max(ax.plotBoxAspect[2] / amax, 1e-6);
    vw.xl = safeLim(ax.x.lim);
    vw.yl = safeLim(ax.y.lim);
    vw.zl = safeLim(ax.z.lim);

    const double az = ax.azimuth * std::numbers::pi / 180, el = ax.elevation * std::numbers::pi / 180;
    // The viewer stands at the azimuth turned counter-clockwise from the -y axis.
    vw.r = {std::cos(az), std::sin(az), 0};
    vw.u = {-std::sin(az) * std::sin(el), std::cos(az) * std::sin(el), std::cos(el)};
    vw.v = {std::sin(az) * std::cos(el), -std::cos(az) * std::cos(el), std::sin(el)};

    // Fit the projected box into the page, leaving room for the tick labels.
    double sxlo = 1e300, sxhi = -1e300, sylo = 1e300, syhi = -1e300;
    for (int c = 0; c < 8; ++c) {
        const std::array<double, 3> q{(c & 1) * vw.ax, ((c >> 1) & 1) * vw.ay, ((c >> 2) & 1) * vw.az};
        const double sx = q[0] * vw.r[0] + q[1] * vw.r[1] + q[2] * vw.r[2];
        const double sy = q[0] * vw.u[0] + q[1] * vw.u[1] + q[2] * vw.u[2];
        sxlo = std::min(sxlo, sx);
        sxhi = std::max(sxhi, sx);
        sylo = std::min(sylo, sy);
        syhi = std::max(syhi, sy);
    }
    const auto labels = [](const Axis& a) { return visibleTicks(a).labels; };
    const double labelW = std::max({widest(labels(ax.x), kTickFont, p), widest(labels(ax.y), kTickFont, p),
                                    widest(labels(ax.z), kTickFont, p)});
    const double side = kPad * p + labelW + (kTickLength + 2 * kGap) * p;
    const double labelLine = kLabelFont * kLineHeight * p + kGap * p;
    const double topRoom = ax.title.empty() ? kPad * p : kPad * p + kTitleFont * kLineHeight * p + 2 * kGap * p;
    const double bottomRoom = kPad * p + 2 * kTickFont * kLineHeight * p +
                              (ax.x.label.empty() && ax.y.label.empty() ? 0 : labelLine + kGap * p);
    const double leftRoom = side + (ax.z.label.empty() ? 0 : labelLine);
    // The colour scale: a bar, its tick labels and its label, right of the box.
    const double barW = kColourBarWidth * p;
    const double zLabelW = widest(labels(ax.z), kTickFont, p);
    const double barRoom = 2 * kGap * p + barW + (kTickLength + kGap) * p + zLabelW +
                           (ax.z.label.empty() ? 0 : labelLine + kGap * p);
    const double rightRoom = side + (ax.colourBar ? barRoom : 0);
    const double W = std::max(1.0, b.scene.width - leftRoom - rightRoom);
    const double H = std::max(1.0, b.scene.height - topRoom - bottomRoom);
    vw.k = std::min(W / std::max(sxhi - sxlo, 1e-12), H / std::max(syhi - sylo, 1e-12));
    vw.mx = (sxlo + sxhi) / 2;
    vw.my = (sylo + syhi) / 2;
    vw.cx = leftRoom + W / 2;
    vw.cy = topRoom + H / 2;
    info.box = {vw.cx - vw.k * (sxhi - sxlo) / 2, vw.cy - vw.k * (syhi - sylo) / 2, vw.k * (sxhi - sxlo),
                vw.k * (syhi - sylo)};
    const Pt o = vw.screen({0, 0, 0});
    const auto dir = [&](std::array<double, 3> q) {
        const Pt s = vw.screen(q);
        return Pt{s.x - o.x, s.y - o.y};
    };
    info.xDir = dir({1, 0, 0});
    info.yDir = dir({0, 1, 0});
    info.zDir = dir({0, 0, 1});

    // Back planes: of each pair of opposite sides the one facing away.
    const double xBack = vw.v[0] > 0 ? 0 : vw.ax;  // the x side whose outward normal points away
    const double yBack = vw.v[1] > 0 ? 0 : vw.ay;
    const double zBack = vw.v[2] > 0 ? 0 : vw.az;
    const double xFront = xBack == 0 ? vw.ax : 0, yFront = yBack == 0 ? vw.ay : 0;
    const auto nx = [&](double x) { return vw.norm(x, vw.yl[0], vw.zl[0])[0]; };
    const auto ny = [&](double y) { return vw.norm(vw.xl[0], y, vw.zl[0])[1]; };
    const auto nz = [&](double z) { return vw.norm(vw.xl[0], vw.yl[0], z)[2]; };
    const VisibleTicks xt = visibleTicks(ax.x), yt = visibleTicks(ax.y), zt = visibleTicks(ax.z);
    const auto seg = [&](std::array<double, 3> a, std::array<double, 3> c, Rgb col, double w) {
        b.line({vw.screen(a), vw.screen(c)}, col, w);
    };
    for (double t : xt.at) {
        const double x = nx(t);
        seg({x, 0, zBack}, {x, vw.ay, zBack}, kGridColour, 0.5);
        seg({x, yBack, 0}, {x, yBack, vw.az}, kGridColour, 0.5);
    }
    for (double t : yt.at) {
        const double y = ny(t);
        seg({0, y, zBack}, {vw.ax, y, zBack}, kGridColour, 0.5);
        seg({xBack, y, 0}, {xBack, y, vw.az}, kGridColour, 0.5);
    }
    for (double t : zt.at) {
        const double z = nz(t);
        seg({0, yBack, z}, {vw.ax, yBack, z}, kGridColour, 0.5);
        seg({xBack, 0, z}, {xBack, vw.ay, z}, kGridColour, 0.5);
    }
    // Edges of the three back planes.
    const auto planeEdges = [&](std::array<std::array<double, 3>, 4> c) {
        std::vector<Pt> pts;
        for (const auto& q : c)
            pts.push_back(vw.screen(q));
        pts.push_back(pts.front());
        b.line(std::move(pts), kPlaneEdge, 0.5);
    };
    planeEdges({{{0, 0, zBack}, {vw.ax, 0, zBack}, {vw.ax, vw.ay, zBack}, {0, vw.ay, zBack}}});
    planeEdges({{{0, yBack, 0}, {vw.ax, yBack, 0}, {vw.ax, yBack, vw.az}, {0, yBack, vw.az}}});
    planeEdges({{{xBack, 0, 0}, {xBack, vw.ay, 0}, {xBack, vw.ay, vw.az}, {xBack, 0, vw.az}}});

    // Tick labels: z at the leftmost vertical edge, x along the front edge of
    // the floor parallel to x, y along the other front edge of the floor.
    const double tl = kTickLength * p;
    // Labels of different axes meet at the corners of the box: a label that
    // would overlap one already placed is left out (its tick stays).
    std::vector<Rect> placed;
    const auto tickLabel = [&](std::array<double, 3> at, Pt out, const std::string& s) {
        const double len = std::hypot(out.x, out.y);
        if (len == 0)
            return;
        out = {out.x / len, out.y / len};
        const Pt a = vw.screen(at);
        b.line({a, {a.x + out.x * tl, a.y + out.y * tl}}, kBlack, kFrameWidth);
        const Pt t{a.x + out.x * (tl + kGap * p), a.y + out.y * (tl + kGap * p)};
        HAlign h = HAlign::Center;
        VAlign v = VAlign::Middle;
        if (std::abs(out.x) > 2 * std::abs(out.y))
            h = out.x > 0 ? HAlign::Left : HAlign::Right;
        else {
            v = out.y > 0 ? VAlign::Top : VAlign::Bottom;
            if (std::abs(out.x) > 0.3)
                h = out.x > 0 ? HAlign::Left : HAlign::Right;
        }
        const double w = textWidth(s, kTickFont * p), th = (kAscent + kDescent) * kTickFont * p;
        const Rect r{h == HAlign::Left ? t.x : h == HAlign::Center ? t.x - w / 2 : t.x - w,
                     v == VAlign::Top ? t.y : v == VAlign::Middle ? t.y - th / 2 : t.y - th, w, th};
        for (const Rect& q : placed)
            if (r.x < q.x + q.w && q.x < r.x + r.w && r.y < q.y + q.h && q.y < r.y + r.h)
                return;
        placed.push_back(r);
        b.text(t, s, kTickFont, h, v);
    };
    // How far tick labels reach out from their edge in direction `out`.
    const auto reach = [&](const VisibleTicks& t, Pt out) {
        const double len = std::hypot(out.x, out.y);
        const double ux = len > 0 ? std::abs(out.x / len) : 0, uy = len > 0 ? std::abs(out.y / len) : 1;
        const double th = (kAscent + kDescent) * kTickFont * p;
        double r = 0;
        for (const auto& l : t.labels)
            r = std::max(r, ux * textWidth(l, kTickFont * p) + uy * th);
        return tl + 2 * kGap * p + r;
    };
    // An axis label along the edge from e0 to e1, beyond its tick labels
    // (placed[from...]) on the side `out` points to.
    const auto edgeLabel = [&](std::array<double, 3> e0, std::array<double, 3> e1, Pt out, std::size_t from,
                               const std::string& s) {
        Pt a = vw.screen(e0), c = vw.screen(e1);
        if (c.x < a.x)
            std::swap(a, c);
        const double len = std::hypot(c.x - a.x, c.y - a.y);
        if (s.empty() || len == 0)
            return;
        // The edge's normal on the side of the tick labels.
        Pt n{(a.y - c.y) / len, (c.x - a.x) / len};
        if (n.x * out.x + n.y * out.y < 0)
            n = {-n.x, -n.y};
        double d = tl + kGap * p;
        for (std::size_t i = from; i < placed.size(); ++i) {
            const Rect& r = placed[i];
            for (const Pt q : {Pt{r.x, r.y}, Pt{r.x + r.w, r.y}, Pt{r.x, r.y + r.h}, Pt{r.x + r.w, r.y + r.h}})
                d = std::max(d, (q.x - a.x) * n.x + (q.y - a.y) * n.y);
        }
        d += kGap * p;
        const Pt at{(a.x + c.x) / 2 + n.x * d, (a.y + c.y) / 2 + n.y * d};
        // Along the edge, reading from left to right, its top towards the edge.
        const double angle = std::atan2(a.y - c.y, c.x - a.x) * 180 / std::numbers::pi;
        const double down = std::sin(angle * std::numbers::pi / 180) * n.x + std::cos(angle * std::numbers::pi / 180) * n.y;
        b.text(at, s, kLabelFont, HAlign::Center, down >= 0 ? VAlign::Top : VAlign::Bottom, kBlack, false, angle);
    };
    const double zFloor = zBack == 0 ? 0 : vw.az; // the floor is the back z side seen from above
    {
        std::array<double, 2> best{0, 0};
        double bestX = 1e300;
        for (double cxn : {0.0, vw.ax})
            for (double cyn : {0.0, vw.ay}) {
                const double sx = vw.screen({cxn, cyn, 0}).x;
                if (sx < bestX - 1e-9) {
                    bestX = sx;
                    best = {cxn, cyn};
                }
            }
        for (std::size_t i = 0; i < zt.at.size(); ++i)
            tickLabel({best[0], best[1], nz(zt.at[i])}, {-1, 0}, zt.labels[i]);
        if (!ax.z.label.empty()) {
            const Pt lo = vw.screen({best[0], best[1], 0}), hi = vw.screen({best[0], best[1], vw.az});
            b.text({lo.x - reach(zt, {-1, 0}), (lo.y + hi.y) / 2}, ax.z.label, kLabelFont, HAlign::Center,
                   VAlign::Bottom, kBlack, false, 90);
        }
    }

    {
        const Pt out = dir({0, yFront == 0 ? -1.0 : 1.0, 0});
        const std::size_t from = placed.size();
        for (std::size_t i = 0; i < xt.at.size(); ++i)
            tickLabel({nx(xt.at[i]), yFront, zFloor}, out, xt.labels[i]);
        edgeLabel({0, yFront, zFloor}, {vw.ax, yFront, zFloor}, out, from, ax.x.label);
    }
    {
        const Pt out = dir({xFront == 0 ? -1.0 : 1.0, 0, 0});
        const std::size_t from = placed.size();
        for (std::size_t i = 0; i < yt.at.size(); ++i)
            tickLabel({xFront, ny(yt.at[i]), zFloor}, out, yt.labels[i]);
        edgeLabel({xFront, 0, zFloor}, {xFront, vw.ay, zFloor}, out, from, ax.y.label);
    }
    // The colour scale: the edge colours from the lowest height (bottom) to
    // the highest, with the z ticks.
    if (ax.colourBar) {
        const double x0 = b.scene.width - kPad * p - barRoom + 2 * kGap * p;
        const double y0 = vw.cy - vw.k * (syhi - sylo) * 0.35, y1 = vw.cy + vw.k * (syhi - sylo) * 0.35;
        constexpr int kBands = 64;
        for (int k = 0; k < kBands; ++k) {
            const double ya = y1 - (y1 - y0) * k / kBands, yb = y1 - (y1 - y0) * (k + 1) / kBands;
            const Rgb c = heightColour((k + 0.5) / kBands);
            // Each band a hair taller, so no seam of the background shows between them.
            b.scene.items.emplace_back(
                Polygon{{{x0, ya + 0.5}, {x0 + barW, ya + 0.5}, {x0 + barW, yb - 0.5}, {x0, yb - 0.5}}, c, std::nullopt});
        }
        b.scene.items.emplace_back(
            Polygon{{{x0, y0}, {x0 + barW, y0}, {x0 + barW, y1}, {x0, y1}}, std::nullopt, Pen{kBlack, kFrameWidth * p}});
        for (std::size_t i = 0; i < zt.at.size(); ++i) {
            const double y = y1 - (zt.at[i] - vw.zl[0]) / (vw.zl[1] - vw.zl[0]) * (y1 - y0);
            b.line({{x0 + barW, y}, {x0 + barW + tl, y}}, kBlack, kFrameWidth);
            b.text({x0 + barW + tl + kGap * p, y}, zt.labels[i], kTickFont, HAlign::Left, VAlign::Middle);
        }
        if (!ax.z.label.empty())
            b.text({x0 + barW + tl + 2 * kGap * p + zLabelW + kGap * p, (y0 + y1) / 2}, ax.z.label, kLabelFont,
                   HAlign::Center, VAlign::Top, kBlack, false, 90);
        info.colourBar = Rect{x0, y0, barW, y1 - y0};
    }
    // Surfaces, cell by cell from the back.
    struct Cell {
        double depth;
        std::array<Pt, 4> pts;
        float t;
        std::uint32_t surface;
    };
    std::vector<Cell> cells;
    for (std::size_t s = 0; s < ax.surfaces.size(); ++s) {
        const Surface& sf = ax.surfaces[s];
        const Eigen::Index ny_ = std::min(sf.y.size(), sf.z.rows()), nx_ = std::min(sf.x.size(), sf.z.cols());
        if (ny_ < 2 || nx_ < 2)
            continue;
        cells.reserve(cells.size() + static_cast<std::size_t>((ny_ - 1) * (nx_ - 1)));
        // Project every node once.
        std::vector<Pt> scr(static_cast<std::size_t>(nx_ * ny_));
        std::vector<double> dep(scr.size());
        for (Eigen::Index i = 0; i < ny_; ++i)
            for (Eigen::Index j = 0; j < nx_; ++j) {
                const auto q = vw.norm(sf.x(j), sf.y(i), sf.z(i, j));
                const auto idx = static_cast<std::size_t>(i * nx_ + j);
                scr[idx] = vw.screen(q);
                dep[idx] = vw.depth(q);
            }
        for (Eigen::Index i = 0; i + 1 < ny_; ++i)
            for (Eigen::Index j = 0; j + 1 < nx_; ++j) {
                const double z4[4] = {sf.z(i, j), sf.z(i, j + 1), sf.z(i + 1, j + 1), sf.z(i + 1, j)};
                if (!std::isfinite(z4[0]) || !std::isfinite(z4[1]) || !std::isfinite(z4[2]) || !std::isfinite(z4[3]))
                    continue;
                const std::size_t a = static_cast<std::size_t>(i * nx_ + j), c = a + 1,
                                  d = static_cast<std::size_t>((i + 1) * nx_ + j), e = d + 1;
                const double zm = (z4[0] + z4[1] + z4[2] + z4[3]) / 4;
                cells.push_back({(dep[a] + dep[c] + dep[d] + dep[e]) / 4,
                                 {scr[a], scr[c], scr[e], scr[d]},
                                 static_cast<float>(std::clamp((zm - vw.zl[0]) / (vw.zl[1] - vw.zl[0]), 0.0, 1.0)),
                                 static_cast<std::uint32_t>(s)});
            }
    }
    std::stable_sort(cells.begin(), cells.end(), [](const Cell& l, const Cell& r) { return l.depth < r.depth; });
    for (const Cell& c : cells)
        b.scene.items.emplace_back(Polygon{{c.pts.begin(), c.pts.end()},
                                           kWhite,
                                           Pen{heightColour(c.t), ax.surfaces[c.surface].edgeWidth * p}});

    // Lines in space, over the surfaces.
    for (const Line3& l : ax.lines3) {
        const Eigen::Index n = std::min({l.x.size(), l.y.size(), l.z.size()});
        std::vector<Pt> cur;
        for (Eigen::Index i = 0; i < n; ++i) {
            if (!std::isfinite(l.x(i)) || !std::isfinite(l.y(i)) || !std::isfinite(l.z(i))) {
                b.line(std::move(cur), l.style.color, l.style.width);
                cur.clear();
                continue;
            }
            cur.push_back(vw.screen(vw.norm(l.x(i), l.y(i), l.z(i))));
        }
        b.line(std::move(cur), l.style.color, l.style.width);
    }

    if (!ax.title.empty())
        b.text({b.scene.width / 2, kPad * p}, ax.title, kTitleFont, HAlign::Center, VAlign::Top, kBlack, true);
}

} // namespace

double defaultPxPerPt(double width, double height)
{
    return std::max(0.05, std::min(width / 450.0, height / 337.5));
}

Rgb heightColour(double t)
{
    t = std::clamp(t, 0.0, 1.0);
    const auto f = [&](double c) { return std::clamp(1.5 - std::abs(4 * t - c), 0.0, 1.0); };
    return {f(3), f(2), f(1)};
}

LegendLocation bestCorner(const std::vector<Pt>& points, const Rect& box, double w, double h, double inset,
                          std::optional<LegendLocation> exclude, LegendLocation first, const std::vector<Rect>& texts)
{
    static constexpr LegendLocation kOrder[] = {LegendLocation::NorthEast, LegendLocation::NorthWest,
                                                LegendLocation::SouthWest, LegendLocation::SouthEast};
    std::size_t start = 0;
    while (kOrder[start] != first)
        ++start;
    LegendLocation best = first;
    std::size_t bestCount = SIZE_MAX;
    for (std::size_t k = 0; k < 4; ++k) {
        const LegendLocation c = kOrder[(start + k) % 4];
        if (exclude && c == *exclude)
            continue;
        const Rect r = cornerRect(box, w, h, inset, c);
        const auto count = static_cast<std::size_t>(
            std::count_if(points.begin(), points.end(), [&](const Pt& q) { return inside(r, q); }) +
            std::count_if(texts.begin(), texts.end(), [&](const Rect& q) {
                return r.x < q.x + q.w && q.x < r.x + r.w && r.y < q.y + q.h && q.y < r.y + r.h;
            }));
        if (count < bestCount) {
            bestCount = count;
            best = c;
        }
    }
    return best;
}

Scene layout(const Figure& fig, double width, double height, double pxPerPt, LayoutInfo* info)
{
    Scene scene;
    scene.width = width;
    scene.height = height;
    scene.pxPerPt = pxPerPt;
    scene.background = fig.color;
    Builder b{scene, pxPerPt};
    LayoutInfo local;
    if (fig.axes.threeD)
        layout3d(fig, b, info ? *info : local);
    else
        layout2d(fig, b, info ? *info : local);
    return scene;
}

} // namespace kolmo::plot
