#include "plots/render/labels.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kolmo::plot {

namespace {

constexpr std::uint32_t kSegmentFlag = 0x80000000u;

// floor(v) as an integer, without a library call (this is the inner loop);
// far values are held to a range the cells never leave.
long cellOf(double v)
{
    v = std::clamp(v, -1e9, 1e9);
    const auto i = static_cast<long>(v);
    return v < static_cast<double>(i) ? i - 1 : i;
}

bool overlap(const Rect& a, const Rect& b)
{
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

double cross(Pt o, Pt a, Pt b)
{
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Whether the segments a-b and c-d cross or touch.
bool segmentsMeet(Pt a, Pt b, Pt c, Pt d)
{
    const double d1 = cross(c, d, a), d2 = cross(c, d, b), d3 = cross(a, b, c), d4 = cross(a, b, d);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return true;
    const auto on = [](Pt p, Pt q, Pt r) { // r on p-q, given collinear
        return std::min(p.x, q.x) <= r.x && r.x <= std::max(p.x, q.x) && std::min(p.y, q.y) <= r.y &&
               r.y <= std::max(p.y, q.y);
    };
    return (d1 == 0 && on(c, d, a)) || (d2 == 0 && on(c, d, b)) || (d3 == 0 && on(a, b, c)) ||
           (d4 == 0 && on(a, b, d));
}

// Whether the segment a-b meets the open rectangle r.
bool segmentMeetsRect(Pt a, Pt b, const Rect& r)
{
    const auto in = [&](Pt p) { return p.x > r.x && p.x < r.x + r.w && p.y > r.y && p.y < r.y + r.h; };
    if (in(a) || in(b))
        return true;
    const Pt c[4] = {{r.x, r.y}, {r.x + r.w, r.y}, {r.x + r.w, r.y + r.h}, {r.x, r.y + r.h}};
    for (int k = 0; k < 4; ++k)
        if (segmentsMeet(a, b, c[k], c[(k + 1) % 4]))
            return true;
    return false;
}

// The point of r nearest to p.
Pt nearestOn(const Rect& r, Pt p)
{
    return {std::clamp(p.x, r.x, r.x + r.w), std::clamp(p.y, r.y, r.y + r.h)};
}

struct CellRange {
    long x0, x1, y0, y1;
};

// The cells of a grid of n x m cells of size c from box's corner that the
// rectangle (x0, y0)-(x1, y1) touches; what lies beyond the grid goes to its
// edge cells.
CellRange cellsOf(double x0, double y0, double x1, double y1, const Rect& box, double c, long n, long m)
{
    const auto k = [&](double v, double o, long count) {
        return std::clamp(cellOf((v - o) / c), 0L, count - 1);
    };
    return {k(x0, box.x, n), k(x1, box.x, n), k(y0, box.y, m), k(y1, box.y, m)};
}

} // namespace

NamePlacer::NamePlacer(const Rect& box, double nameHeight, double cell)
    : box_(box), cell_(std::max(cell, 1e-3)), gcell_(std::max(nameHeight, 1.0))
{
    // At most some four million mask cells, whatever the page's size.
    const double area = std::max(box.w, 1.0) * std::max(box.h, 1.0);
    cell_ = std::max(cell_, std::sqrt(area / 4e6));
    mw_ = std::max(1L, static_cast<long>(std::ceil(box.w / cell_)));
    mh_ = std::max(1L, static_cast<long>(std::ceil(box.h / cell_)));
    mask_.assign(static_cast<std::size_t>(mw_ * mh_), 0);
    occupied_.assign(mask_.size(), 0);
    // The names' grid reaches a little beyond the box: names may stick out of it.
    gcell_ = std::max(gcell_, std::sqrt(area / 1e6));
    gw_ = static_cast<long>(std::ceil(box.w / gcell_)) + 1;
    gh_ = static_cast<long>(std::ceil(box.h / gcell_)) + 1;
    grid_.resize(static_cast<std::size_t>(gw_ * gh_));
}

void NamePlacer::addMarker(const Rect& r)
{
    const long x0 = std::max(0L, cellOf((r.x - box_.x) / cell_));
    const long x1 = std::min(mw_ - 1, cellOf((r.x + r.w - box_.x) / cell_));
    const long y0 = std::max(0L, cellOf((r.y - box_.y) / cell_));
    const long y1 = std::min(mh_ - 1, cellOf((r.y + r.h - box_.y) / cell_));
    for (long y = y0; y <= y1; ++y)
        for (long x = x0; x <= x1; ++x)
            mask_[static_cast<std::size_t>(y * mw_ + x)] = 1;
}

void NamePlacer::addSegment(Pt a, Pt b, double halfWidth)
{
    // Squares of the line's width at steps of half a cell along it.
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    const auto steps = static_cast<long>(std::ceil(len / (cell_ / 2))) + 1;
    for (long k = 0; k <= steps; ++k) {
        const double t = static_cast<double>(k) / static_cast<double>(steps);
        const Pt c{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
        addMarker({c.x - halfWidth, c.y - halfWidth, 2 * halfWidth, 2 * halfWidth});
    }
}

void NamePlacer::buildSums()
{
    sums_.assign(static_cast<std::size_t>((mw_ + 1) * (mh_ + 1)), 0);
    for (long y = 0; y < mh_; ++y) {
        std::uint32_t row = 0;
        for (long x = 0; x < mw_; ++x) {
            row += mask_[static_cast<std::size_t>(y * mw_ + x)];
            sums_[static_cast<std::size_t>((y + 1) * (mw_ + 1) + x + 1)] =
                sums_[static_cast<std::size_t>(y * (mw_ + 1) + x + 1)] + row;
        }
    }
}

bool NamePlacer::coversObstacle(const Rect& r) const
{
    // Cells the box touches, clipped to the mask.
    const long x0 = std::max(0L, cellOf((r.x - box_.x) / cell_));
    const long x1 = std::min(mw_ - 1, cellOf((r.x + r.w - box_.x) / cell_));
    const long y0 = std::max(0L, cellOf((r.y - box_.y) / cell_));
    const long y1 = std::min(mh_ - 1, cellOf((r.y + r.h - box_.y) / cell_));
    if (x0 > x1 || y0 > y1)
        return false;
    const auto s = [&](long x, long y) { return sums_[static_cast<std::size_t>(y * (mw_ + 1) + x)]; };
    return s(x1 + 1, y1 + 1) + s(x0, y0) - s(x0, y1 + 1) - s(x1 + 1, y0) > 0;
}

bool NamePlacer::fullyCovered(const Rect& r) const
{
    const long x0 = std::max(0L, cellOf((r.x - box_.x) / cell_));
    const long x1 = std::min(mw_ - 1, cellOf((r.x + r.w - box_.x) / cell_));
    const long y0 = std::max(0L, cellOf((r.y - box_.y) / cell_));
    const long y1 = std::min(mh_ - 1, cellOf((r.y + r.h - box_.y) / cell_));
    if (x0 > x1 || y0 > y1)
        return true; // wholly outside the box: no place there is free either
    const auto s = [&](long x, long y) { return sums_[static_cast<std::size_t>(y * (mw_ + 1) + x)]; };
    const auto painted = s(x1 + 1, y1 + 1) + s(x0, y0) - s(x0, y1 + 1) - s(x1 + 1, y0);
    return painted == static_cast<std::uint32_t>((x1 - x0 + 1) * (y1 - y0 + 1));
}

bool NamePlacer::segmentCoversObstacle(Pt a, Pt b) const
{
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    const auto steps = static_cast<long>(std::ceil(len / cell_)) + 1;
    for (long k = 0; k <= steps; ++k) {
        const double t = static_cast<double>(k) / static_cast<double>(steps);
        if (coversObstacle({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), 0, 0}))
            return true;
    }
    return false;
}

bool NamePlacer::insideBox(const Rect& r) const
{
    return r.x >= box_.x && r.y >= box_.y && r.x + r.w <= box_.x + box_.w && r.y + r.h <= box_.y + box_.h;
}

bool NamePlacer::hitsName(const Rect& r) const
{
    // A quick answer where names crowd: a corner or the middle of r inside a name.
    const auto taken = [&](double x, double y) {
        const auto cx = cellOf((x - box_.x) / cell_);
        const auto cy = cellOf((y - box_.y) / cell_);
        return cx >= 0 && cy >= 0 && cx < mw_ && cy < mh_ && occupied_[static_cast<std::size_t>(cy * mw_ + cx)];
    };
    for (const double fx : {0.5, 0.02, 0.98})
        for (const double fy : {0.5, 0.05, 0.95})
            if (taken(r.x + fx * r.w, r.y + fy * r.h))
                return true;
    const CellRange c = cellsOf(r.x, r.y, r.x + r.w, r.y + r.h, box_, gcell_, gw_, gh_);
    for (long y = c.y0; y <= c.y1; ++y)
        for (long x = c.x0; x <= c.x1; ++x)
            for (std::uint32_t k : grid_[static_cast<std::size_t>(y * gw_ + x)]) {
                if (k & kSegmentFlag) {
                    const auto& s = segs_[k & ~kSegmentFlag];
                    if (segmentMeetsRect(s[0], s[1], r))
                        return true;
                } else if (overlap(rects_[k], r)) {
                    return true;
                }
            }
    return false;
}

bool NamePlacer::leaderHitsName(Pt a, Pt b) const
{
    return leaderCrossings(a, b, 1) > 0;
}

std::size_t NamePlacer::leaderCrossings(Pt a, Pt b, std::size_t enough) const
{
    std::vector<std::uint32_t> met;
    const CellRange c =
        cellsOf(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y), box_, gcell_, gw_, gh_);
    for (long y = c.y0; y <= c.y1; ++y)
        for (long x = c.x0; x <= c.x1; ++x)
            for (std::uint32_t k : grid_[static_cast<std::size_t>(y * gw_ + x)]) {
                if (std::find(met.begin(), met.end(), k) != met.end())
                    continue;
                const bool hit = (k & kSegmentFlag) ? segmentsMeet(a, b, segs_[k & ~kSegmentFlag][0],
                                                                   segs_[k & ~kSegmentFlag][1])
                                                    : segmentMeetsRect(a, b, rects_[k]);
                if (hit) {
                    met.push_back(k);
                    if (met.size() >= enough)
                        return met.size();
                }
            }
    return met.size();
}

void NamePlacer::take(const Candidate& c)
{
    const auto add = [&](double x0, double y0, double x1, double y1, std::uint32_t index) {
        const CellRange g = cellsOf(x0, y0, x1, y1, box_, gcell_, gw_, gh_);
        for (long y = g.y0; y <= g.y1; ++y)
            for (long x = g.x0; x <= g.x1; ++x)
                grid_[static_cast<std::size_t>(y * gw_ + x)].push_back(index);
    };
    // The cells wholly inside the name, for hitsName's quick answer.
    {
        const long x0 = std::max(0L, static_cast<long>(std::ceil((c.r.x - box_.x) / cell_)));
        const long x1 = std::min(mw_, cellOf((c.r.x + c.r.w - box_.x) / cell_));
        const long y0 = std::max(0L, static_cast<long>(std::ceil((c.r.y - box_.y) / cell_)));
        const long y1 = std::min(mh_, cellOf((c.r.y + c.r.h - box_.y) / cell_));
        for (long y = y0; y < y1; ++y)
            std::fill_n(occupied_.begin() + y * mw_ + x0, std::max(0L, x1 - x0), std::uint8_t{1});
    }
    rects_.push_back(c.r);
    add(c.r.x, c.r.y, c.r.x + c.r.w, c.r.y + c.r.h, static_cast<std::uint32_t>(rects_.size() - 1));
    if (c.leader) {
        const auto& s = *c.leader;
        segs_.push_back(s);
        add(std::min(s[0].x, s[1].x), std::min(s[0].y, s[1].y), std::max(s[0].x, s[1].x), std::max(s[0].y, s[1].y),
            static_cast<std::uint32_t>(segs_.size() - 1) | kSegmentFlag);
    }
}

void NamePlacer::candidates(const NameRequest& q, int rings, std::vector<Candidate>& out) const
{
    out.clear();
    out.push_back({q.preferred, std::nullopt, q.align});
    if (!q.point)
        return;
    const Pt p = *q.point;
    const double w = q.preferred.w, h = q.preferred.h;
    // Directions in the order tried: right, left, above, below, then the
    // diagonals (up-right, down-right, up-left, down-left); further out the
    // eight between them too.  (cos, sin) with y upwards.
    static constexpr double c45 = std::numbers::sqrt2 / 2;
    static const double c22 = std::cos(std::numbers::pi / 8), s22 = std::sin(std::numbers::pi / 8);
    static const std::array<Pt, 16> dirs = {
        Pt{1, 0},      Pt{-1, 0},      Pt{0, 1},       Pt{0, -1},      Pt{c45, c45},    Pt{c45, -c45},
        Pt{-c45, c45}, Pt{-c45, -c45}, Pt{c22, s22},   Pt{c22, -s22},  Pt{-c22, s22},   Pt{-c22, -s22},
        Pt{s22, c22},  Pt{s22, -c22},  Pt{-s22, c22},  Pt{-s22, -c22}};
    // The box of a name whose nearest side or corner lies `d` from p in direction u.
    const auto at = [&](Pt u, double d) {
        const double ax = p.x + u.x * d, ay = p.y - u.y * d;
        const double x0 = u.x > 0.3 ? ax : u.x < -0.3 ? ax - w : ax - w / 2;
        const double y0 = u.y > 0.3 ? ay - h : u.y < -0.3 ? ay : ay - h / 2;
        return Candidate{Rect{x0, y0, w, h}, std::nullopt,
                         u.x > 0.3 ? HAlign::Left : u.x < -0.3 ? HAlign::Right : HAlign::Center};
    };
    for (std::size_t k = 0; k < 8; ++k) {
        // The diagonals a little closer: the box's corner, not its side, faces the point.
        const double d = k < 4 ? q.clearance : q.clearance * 0.8;
        out.push_back(at(dirs[k], d));
    }
    const double step = 0.8 * h;
    for (int ring = 1; ring <= rings; ++ring) {
        const double d = q.clearance + ring * step;
        const std::size_t nd = ring == 1 ? 8 : 16;
        for (std::size_t k = 0; k < nd; ++k) {
            Candidate c = at(dirs[k], d);
            const Rect& r = c.r;
            const Pt end = nearestOn(r, p);
            const double len = std::hypot(end.x - p.x, end.y - p.y);
            if (!(len > q.leaderInset))
                continue;
            const Pt start{p.x + (end.x - p.x) / len * q.leaderInset, p.y + (end.y - p.y) / len * q.leaderInset};
            c.leader = std::array<Pt, 2>{start, end};
            out.push_back(c);
        }
    }
}

std::vector<std::optional<NamePlacement>> NamePlacer::place(const std::vector<NameRequest>& names)
{
    buildSums();
    std::vector<std::optional<NamePlacement>> result(names.size());
    // Rings of leaders: to the edge of the box on a plot of few names, one otherwise.
    int rings = 1;
    const bool crowded = names.size() >= kAlwaysNamed;
    if (names.size() < kAlwaysNamed) {
        const double step = 0.8 * gcell_;
        rings = std::max(1, static_cast<int>(std::ceil(std::hypot(box_.w, box_.h) / step)));
    }
    std::vector<Candidate> cand;
    const auto free = [&](const Candidate& c) {
        if (!insideBox(c.r) || coversObstacle(c.r) || hitsName(c.r))
            return false;
        return !c.leader || (!segmentCoversObstacle((*c.leader)[0], (*c.leader)[1]) &&
                             !leaderHitsName((*c.leader)[0], (*c.leader)[1]));
    };
    const auto accept = [&](std::size_t i, const Candidate& c) {
        take(c);
        result[i] = NamePlacement{c.r, c.leader, c.align};
    };
    // Round one: the names whose own place is free, and the fixed texts.
    // Round two: a free side of their point.
    std::vector<std::size_t> rest;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const Candidate own{names[i].preferred, std::nullopt, names[i].align};
        if (free(own) || (!names[i].point && !hitsName(own.r)))
            accept(i, own);
        else if (names[i].point)
            rest.push_back(i);
    }
    // Where markers and vectors cover every cell around a point, no place
    // of a ring reaching `d` from it is free: one look says so.
    const auto buried = [&](const NameRequest& q, double d) {
        const Pt p = *q.point;
        const double w = q.preferred.w, h = q.preferred.h;
        return fullyCovered({p.x - d - w, p.y - d - h, 2 * (d + w), 2 * (d + h)});
    };
    std::vector<std::size_t> further;
    for (std::size_t i : rest) {
        if (buried(names[i], names[i].clearance)) {
            further.push_back(i);
            continue;
        }
        candidates(names[i], 0, cand);
        const auto it = std::find_if(cand.begin() + 1, cand.end(), free);
        if (it != cand.end())
            accept(i, *it);
        else
            further.push_back(i);
    }
    // Round three: further out with a leader; failing that, the least bad
    // place that overlaps no name.  The names nearest the middle of those
    // left go first: their leaders have the longest way out, and the others
    // then find their places around those leaders rather than across them.
    if (!crowded && further.size() > 1) {
        Pt mid{0, 0};
        for (std::size_t i : further)
            mid = {mid.x + names[i].point->x, mid.y + names[i].point->y};
        mid = {mid.x / static_cast<double>(further.size()), mid.y / static_cast<double>(further.size())};
        const auto depth = [&](std::size_t i) { return std::hypot(names[i].point->x - mid.x, names[i].point->y - mid.y); };
        std::vector<std::pair<double, std::size_t>> order;
        for (std::size_t i : further)
            order.emplace_back(depth(i), i);
        std::stable_sort(order.begin(), order.end());
        for (std::size_t k = 0; k < order.size(); ++k)
            further[k] = order[k].second;
    }
    for (std::size_t i : further) {
        const bool allOver = crowded && buried(names[i], names[i].clearance + rings * 0.8 * names[i].preferred.h);
        candidates(names[i], allOver ? 0 : rings, cand);
        // One look at each place, the answers kept for the fallbacks below.
        std::size_t clearLeaderOverData = SIZE_MAX, chosen = SIZE_MAX;
        std::vector<std::size_t> crossing; // free boxes whose leaders cross names or leaders
        std::vector<std::size_t> over; // boxes over markers or vectors, not yet checked against the names
        for (std::size_t k = 0; k < cand.size() && chosen == SIZE_MAX; ++k) {
            const Candidate& c = cand[k];
            const bool in = insideBox(c.r);
            if (c.leader && !in)
                continue;
            if (allOver || !in || coversObstacle(c.r)) {
                over.push_back(k);
                continue;
            }
            if (hitsName(c.r))
                continue;
            if (!c.leader) {
                chosen = k;
                break;
            }
            const auto& l = *c.leader;
            if (leaderHitsName(l[0], l[1])) {
                crossing.push_back(k);
                continue;
            }
            if (!segmentCoversObstacle(l[0], l[1]))
                chosen = k;
            else
                clearLeaderOverData = std::min(clearLeaderOverData, k);
        }
        // Failing a free place: a free box whose leader crosses a marker or a
        // vector; one whose leader crosses as few names and leaders as may
        // be; last, a box over a marker or a vector, better than no name.
        crossingsTaken_ = 0;
        if (chosen == SIZE_MAX)
            chosen = clearLeaderOverData;
        if (chosen == SIZE_MAX) {
            std::size_t fewest = SIZE_MAX;
            for (std::size_t k : crossing) {
                const std::size_t n = leaderCrossings((*cand[k].leader)[0], (*cand[k].leader)[1], fewest);
                if (n < fewest) {
                    fewest = n;
                    chosen = k;
                }
                crossingsTaken_ = fewest;
                if (fewest <= 1)
                    break;
            }
        }
        // (On a crowded plot only next to the point: a leader over the data helps no one there.)
        if (chosen == SIZE_MAX) {
            const auto it = std::find_if(over.begin(), over.end(), [&](std::size_t k) {
                return (crowded ? !cand[k].leader : true) && !hitsName(cand[k].r);
            });
            if (it != over.end())
                chosen = *it;
        }
        if (chosen != SIZE_MAX) {
            accept(i, cand[chosen]);
            if (cand[chosen].leader && crossingsTaken_ > 0 && crossingsTaken_ != SIZE_MAX)
                crossings_ += crossingsTaken_;
        }
    }
    return result;
}

} // namespace kolmo::plot
