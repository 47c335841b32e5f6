#include "engine/obod_izr.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace kolmo {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// An outline whose area is below this fraction of its squared extent is a
// line: a strip of relative width 1e-12 covers nothing.
constexpr double kFlatArea = 1e-12;

bool samePoint(const Mat& A, Eigen::Index i, double c1, double c2) { return A(i, 0) == c1 && A(i, 1) == c2; }

// Closed segment from the start row to the row farthest from it: the outline
// of a set that spans no area.
Obod segmentOutline(const Mat& A, Eigen::Index t1)
{
    Eigen::Index far = t1;
    double best = 0;
    for (Eigen::Index i = 0; i < A.rows(); ++i) {
        const double d = std::hypot(A(i, 0) - A(t1, 0), A(i, 1) - A(t1, 1));
        if (d > best) {
            best = d;
            far = i;
        }
    }
    Obod o;
    if (far == t1) {
        o.obodne.resize(2, 2);
        o.obodne.row(0) = A.row(t1).head<2>();
        o.obodne.row(1) = A.row(t1).head<2>();
    } else {
        o.obodne.resize(3, 2);
        o.obodne.row(0) = A.row(t1).head<2>();
        o.obodne.row(1) = A.row(far).head<2>();
        o.obodne.row(2) = A.row(t1).head<2>();
    }
    return o;
}

} // namespace

Obod obod_izr(const Mat& A)
{
    const Eigen::Index n = A.rows();
    if (n == 0 || A.cols() < 2)
        return Obod{Mat(0, 2), 0.0};

    // Start: first row with the smallest column-1 value.
    Eigen::Index t1 = 0;
    for (Eigen::Index i = 1; i < n; ++i)
        if (A(i, 0) < A(t1, 0))
            t1 = i;
    const double s1 = A(t1, 0), s2 = A(t1, 1);

    // First edge: the smallest direction angle from the start point.  Column-1
    // differences are >= 0 here, so the angles lie in [0, pi].  Copies of the
    // start point are skipped as in every later search: from a point to itself
    // there is no direction.
    double min_ni = kTwoPi;
    Eigen::Index t2 = -1;
    for (Eigen::Index i = 0; i < n; ++i) {
        if (i == t1 || samePoint(A, i, s1, s2))
            continue;
        const double ni = std::atan2(A(i, 0) - s1, A(i, 1) - s2);
        if (ni < min_ni) {
            min_ni = ni;
            t2 = i;
        }
    }
    if (t2 < 0)
        return segmentOutline(A, t1);

    std::vector<Eigen::Index> ring{t1, t2};
    std::vector<char> onRing(static_cast<std::size_t>(n), 0);
    onRing[static_cast<std::size_t>(t1)] = onRing[static_cast<std::size_t>(t2)] = 1;

    // A convex polygon has at most n vertices, so n steps always suffice; the
    // bound only matters when rounding makes the angles inconsistent.
    for (Eigen::Index step = 0; step < n; ++step) {
        const Eigen::Index cur = ring.back();
        const double c1 = A(cur, 0), c2 = A(cur, 1);
        double raz_ni = kTwoPi;
        double ni1 = 0;
        Eigen::Index tn = -1;
        for (Eigen::Index i = 0; i < n; ++i) {
            if (samePoint(A, i, c1, c2))
                continue;
            double ni = std::atan2(A(i, 0) - c1, A(i, 1) - c2);
            if (ni < 0)
                ni += kTwoPi;
            if (ni > min_ni && ni - min_ni < raz_ni) {
                raz_ni = ni - min_ni;
                tn = i;
                ni1 = ni;
            }
        }
        // No candidate left (the direction angles have turned full circle
        // without reaching the start), or a vertex would come round again:
        // the outline is as complete as this march can make it.
        if (tn < 0 || tn == t1 || onRing[static_cast<std::size_t>(tn)])
            break;
        min_ni = ni1;
        ring.push_back(tn);
        onRing[static_cast<std::size_t>(tn)] = 1;
    }

    // Fewer than three vertices: the points lie on one line.
    if (ring.size() < 3)
        return segmentOutline(A, t1);

    Obod o;
    const auto m = static_cast<Eigen::Index>(ring.size());
    o.obodne.resize(m + 1, 2);
    for (Eigen::Index k = 0; k < m; ++k)
        o.obodne.row(k) = A.row(ring[static_cast<std::size_t>(k)]).head<2>();
    o.obodne.row(m) = o.obodne.row(0);

    // Trapezoid formula over the closed ring.
    double pov = 0;
    for (Eigen::Index i = 0; i < m; ++i)
        pov -= (o.obodne(i, 0) - o.obodne(i + 1, 0)) * (o.obodne(i, 1) + o.obodne(i + 1, 1)) * 0.5;
    // Points on one line can also leave three or more vertices (the march
    // may step back along the line to a point it passed); an area that
    // vanishes against the square of the extent marks that case.
    double extent = 0;
    for (Eigen::Index k = 1; k < m; ++k)
        extent = std::max(extent, std::hypot(o.obodne(k, 0) - s1, o.obodne(k, 1) - s2));
    if (!(std::abs(pov) > kFlatArea * extent * extent))
        return segmentOutline(A, t1);
    o.pov = pov;
    return o;
}

} // namespace kolmo
