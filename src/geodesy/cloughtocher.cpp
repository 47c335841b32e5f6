#include "geodesy/cloughtocher.h"
#include "geodesy/delaunay.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <stdexcept>

namespace kolmo {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Tolerance of the barycentric inside test: a point on a shared edge or on the
// hull belongs to the triangle despite rounding.
constexpr double kInsideEps = 100 * std::numeric_limits<double>::epsilon();

enum Ctl {
    c3000, c0300, c0030, c2100, c2010, c1200, c0210, c1020, c0120,
    c2001, c0201, c0021, c1101, c1011, c0111, c1002, c0102, c0012, c0003
};

} // namespace

CloughTocher2D::CloughTocher2D(const Vec& x, const Vec& y, const Vec& z)
{
    const Eigen::Index n = x.size();
    if (y.size() != n || z.size() != n)
        throw std::invalid_argument("x, y and z differ in length");
    if (n < 3)
        throw std::invalid_argument("at least three points are needed");
    if (n > std::numeric_limits<int>::max() / 4)
        throw std::invalid_argument("too many points");
    for (Eigen::Index i = 0; i < n; ++i)
        if (!std::isfinite(x(i)) || !std::isfinite(y(i)))
            throw std::invalid_argument("a point has a coordinate that is not a finite number");
    px_.assign(x.data(), x.data() + n);
    py_.assign(y.data(), y.data() + n);
    pz_.assign(z.data(), z.data() + n);
    std::vector<double> xy(static_cast<std::size_t>(2 * n));
    for (Eigen::Index i = 0; i < n; ++i) {
        xy[static_cast<std::size_t>(2 * i)] = x(i);
        xy[static_cast<std::size_t>(2 * i + 1)] = y(i);
    }
    tri_ = delaunayTriangles(xy, static_cast<int>(n));
    if (tri_.empty())
        throw std::invalid_argument("the points have no triangulation");
    const std::size_t nt = tri_.size();
    const auto N = static_cast<std::size_t>(n);

    // Neighbour opposite each vertex, through the shared edge.
    std::vector<std::array<int, 3>> nb(nt, {-1, -1, -1});
    {
        std::map<std::pair<int, int>, std::pair<int, int>> edges;
        for (std::size_t t = 0; t < nt; ++t)
            for (int k = 0; k < 3; ++k) {
                int a = tri_[t][static_cast<std::size_t>((k + 1) % 3)], b = tri_[t][static_cast<std::size_t>((k + 2) % 3)];
                if (a > b)
                    std::swap(a, b);
                auto [it, fresh] = edges.try_emplace({a, b}, static_cast<int>(t), k);
                if (!fresh) {
                    nb[t][static_cast<std::size_t>(k)] = it->second.first;
                    nb[static_cast<std::size_t>(it->second.first)][static_cast<std::size_t>(it->second.second)] = static_cast<int>(t);
                }
            }
    }

    // Neighbouring vertices of every point (those sharing a triangle).
    std::vector<std::vector<int>> adj(N);
    for (const auto& t : tri_)
        for (int a : t)
            for (int b : t)
                if (a != b && std::find(adj[static_cast<std::size_t>(a)].begin(), adj[static_cast<std::size_t>(a)].end(), b) ==
                                  adj[static_cast<std::size_t>(a)].end())
                    adj[static_cast<std::size_t>(a)].push_back(b);

    // Global gradient estimate: for each point the gradient that minimises the
    // summed squared second derivative along its edges of the cubic that
    // matches values and slopes at both ends, the neighbours' gradients held
    // fixed; Gauss-Seidel sweeps until the gradients settle.
    std::vector<double> gx(N, 0.0), gy(N, 0.0);
    constexpr int kMaxSweeps = 400;
    constexpr double kTol = 1e-6;
    sweeps_ = 0;
    for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
        double err = 0;
        for (std::size_t i = 0; i < N; ++i) {
            double q0 = 0, q1 = 0, q3 = 0, s0 = 0, s1 = 0;
            for (int j : adj[i]) {
                const auto J = static_cast<std::size_t>(j);
                const double ex = px_[J] - px_[i], ey = py_[J] - py_[i];
                const double L = std::sqrt(ex * ex + ey * ey);
                const double L3 = L * L * L;
                const double df2 = -ex * gx[J] - ey * gy[J];
                q0 += 4 * ex * ex / L3;
                q1 += 4 * ex * ey / L3;
                q3 += 4 * ey * ey / L3;
                s0 += (6 * (pz_[i] - pz_[J]) - 2 * df2) * ex / L3;
                s1 += (6 * (pz_[i] - pz_[J]) - 2 * df2) * ey / L3;
            }
            const double det = q0 * q3 - q1 * q1;
            const double r0 = (q3 * s0 - q1 * s1) / det;
            const double r1 = (-q1 * s0 + q0 * s1) / det;
            double change = std::max(std::abs(gx[i] + r0), std::abs(gy[i] + r1));
            gx[i] = -r0;
            gy[i] = -r1;
            change /= std::max(1.0, std::max(std::abs(r0), std::abs(r1)));
            err = std::max(err, change);
        }
        if (err < kTol) {
            sweeps_ = sweep + 1;
            break;
        }
    }

    // Barycentric transforms; a degenerate (flat) triangle gets NaN and is
    // never chosen for a query.
    patch_.resize(nt);
    for (std::size_t t = 0; t < nt; ++t) {
        Patch& p = patch_[t];
        const auto i0 = static_cast<std::size_t>(tri_[t][0]), i1 = static_cast<std::size_t>(tri_[t][1]),
                   i2 = static_cast<std::size_t>(tri_[t][2]);
        p.p2x = px_[i2];
        p.p2y = py_[i2];
        const double a = px_[i0] - p.p2x, b = px_[i1] - p.p2x;
        const double c = py_[i0] - p.p2y, d = py_[i1] - p.p2y;
        const double det = a * d - b * c;
        const double scale = std::max({std::abs(a), std::abs(b), std::abs(c), std::abs(d)});
        if (!(std::abs(det) > 1e-12 * scale * scale)) {
            p.t00 = p.t01 = p.t10 = p.t11 = kNaN;
        } else {
            p.t00 = d / det;
            p.t01 = -b / det;
            p.t10 = -c / det;
            p.t11 = a / det;
        }
    }

    // Bezier control points of the split triangles.
    for (std::size_t t = 0; t < nt; ++t) {
        Patch& p = patch_[t];
        const auto& v = tri_[t];
        const auto V0 = static_cast<std::size_t>(v[0]), V1 = static_cast<std::size_t>(v[1]),
                   V2 = static_cast<std::size_t>(v[2]);
        const double e12x = px_[V1] - px_[V0], e12y = py_[V1] - py_[V0];
        const double e23x = px_[V2] - px_[V1], e23y = py_[V2] - py_[V1];
        const double e31x = px_[V0] - px_[V2], e31y = py_[V0] - py_[V2];
        const double f1 = pz_[V0], f2 = pz_[V1], f3 = pz_[V2];
        const double df12 = +(gx[V0] * e12x + gy[V0] * e12y);
        const double df21 = -(gx[V1] * e12x + gy[V1] * e12y);
        const double df23 = +(gx[V1] * e23x + gy[V1] * e23y);
        const double df32 = -(gx[V2] * e23x + gy[V2] * e23y);
        const double df31 = +(gx[V2] * e31x + gy[V2] * e31y);
        const double df13 = -(gx[V0] * e31x + gy[V0] * e31y);
        auto& c = p.c;
        c[c3000] = f1;
        c[c2100] = (df12 + 3 * c[c3000]) / 3;
        c[c2010] = (df13 + 3 * c[c3000]) / 3;
        c[c0300] = f2;
        c[c1200] = (df21 + 3 * c[c0300]) / 3;
        c[c0210] = (df23 + 3 * c[c0300]) / 3;
        c[c0030] = f3;
        c[c1020] = (df31 + 3 * c[c0030]) / 3;
        c[c0120] = (df32 + 3 * c[c0030]) / 3;
        c[c2001] = (c[c2100] + c[c2010] + c[c3000]) / 3;
        c[c0201] = (c[c1200] + c[c0300] + c[c0210]) / 3;
        c[c0021] = (c[c1020] + c[c0120] + c[c0030]) / 3;

        // Direction of the cross-boundary derivative on each edge: toward the
        // neighbour's centroid, written in this triangle's barycentric terms.
        double g[3];
        for (int k = 0; k < 3; ++k) {
            const int it = nb[t][static_cast<std::size_t>(k)];
            if (it < 0) {
                g[k] = -0.5;
                continue;
            }
            const auto& w = tri_[static_cast<std::size_t>(it)];
            const double cx = (px_[static_cast<std::size_t>(w[0])] + px_[static_cast<std::size_t>(w[1])] +
                               px_[static_cast<std::size_t>(w[2])]) / 3;
            const double cy = (py_[static_cast<std::size_t>(w[0])] + py_[static_cast<std::size_t>(w[1])] +
                               py_[static_cast<std::size_t>(w[2])]) / 3;
            double b[3];
            barycentric(p, cx, cy, b);
            if (k == 0)
                g[k] = (2 * b[2] + b[1] - 1) / (2 - 3 * b[2] - 3 * b[1]);
            else if (k == 1)
                g[k] = (2 * b[0] + b[2] - 1) / (2 - 3 * b[0] - 3 * b[2]);
            else
                g[k] = (2 * b[1] + b[0] - 1) / (2 - 3 * b[1] - 3 * b[0]);
        }
        c[c0111] = (g[0] * (-c[c0300] + 3 * c[c0210] - 3 * c[c0120] + c[c0030]) +
                    (-c[c0300] + 2 * c[c0210] - c[c0120] + c[c0021] + c[c0201])) / 2;
        c[c1011] = (g[1] * (-c[c0030] + 3 * c[c1020] - 3 * c[c2010] + c[c3000]) +
                    (-c[c0030] + 2 * c[c1020] - c[c2010] + c[c2001] + c[c0021])) / 2;
        c[c1101] = (g[2] * (-c[c3000] + 3 * c[c2100] - 3 * c[c1200] + c[c0300]) +
                    (-c[c3000] + 2 * c[c2100] - c[c1200] + c[c2001] + c[c0201])) / 2;
        c[c1002] = (c[c1101] + c[c1011] + c[c2001]) / 3;
        c[c0102] = (c[c1101] + c[c0111] + c[c0201]) / 3;
        c[c0012] = (c[c1011] + c[c0111] + c[c0021]) / 3;
        c[c0003] = (c[c1002] + c[c0102] + c[c0012]) / 3;
    }

    // Bucket grid over the bounding box, about one triangle per bucket.
    const auto [xmin, xmax] = std::minmax_element(px_.begin(), px_.end());
    const auto [ymin, ymax] = std::minmax_element(py_.begin(), py_.end());
    gx0_ = *xmin;
    gy0_ = *ymin;
    const double w = std::max(*xmax - *xmin, 1e-300), h = std::max(*ymax - *ymin, 1e-300);
    const double cells = static_cast<double>(nt);
    gnx_ = std::clamp(static_cast<int>(std::ceil(std::sqrt(cells * w / h))), 1, 4096);
    gny_ = std::clamp(static_cast<int>(std::ceil(cells / gnx_)), 1, 4096);
    gdx_ = w / gnx_;
    gdy_ = h / gny_;
    auto bx = [&](double v) { return std::clamp(static_cast<int>(std::floor((v - gx0_) / gdx_)), 0, gnx_ - 1); };
    auto by = [&](double v) { return std::clamp(static_cast<int>(std::floor((v - gy0_) / gdy_)), 0, gny_ - 1); };
    std::vector<int> count(static_cast<std::size_t>(gnx_ * gny_) + 1, 0);
    std::vector<std::array<int, 4>> span(nt);
    for (std::size_t t = 0; t < nt; ++t) {
        if (std::isnan(patch_[t].t00)) {
            span[t] = {1, 0, 1, 0};
            continue;
        }
        double lx = px_[static_cast<std::size_t>(tri_[t][0])], hx = lx;
        double ly = py_[static_cast<std::size_t>(tri_[t][0])], hy = ly;
        for (int k = 1; k < 3; ++k) {
            lx = std::min(lx, px_[static_cast<std::size_t>(tri_[t][static_cast<std::size_t>(k)])]);
            hx = std::max(hx, px_[static_cast<std::size_t>(tri_[t][static_cast<std::size_t>(k)])]);
            ly = std::min(ly, py_[static_cast<std::size_t>(tri_[t][static_cast<std::size_t>(k)])]);
            hy = std::max(hy, py_[static_cast<std::size_t>(tri_[t][static_cast<std::size_t>(k)])]);
        }
        const double mx = (hx - lx) * 1e-9 + 1e-12 * w, my = (hy - ly) * 1e-9 + 1e-12 * h;
        span[t] = {bx(lx - mx), bx(hx + mx), by(ly - my), by(hy + my)};
        for (int j = span[t][2]; j <= span[t][3]; ++j)
            for (int i = span[t][0]; i <= span[t][1]; ++i)
                ++count[static_cast<std::size_t>(j * gnx_ + i) + 1];
    }
    for (std::size_t k = 1; k < count.size(); ++k)
        count[k] += count[k - 1];
    bucketStart_ = count;
    bucketTri_.assign(static_cast<std::size_t>(count.back()), 0);
    std::vector<int> fill(count.begin(), count.end() - 1);
    for (std::size_t t = 0; t < nt; ++t)
        for (int j = span[t][2]; j <= span[t][3]; ++j)
            for (int i = span[t][0]; i <= span[t][1]; ++i)
                bucketTri_[static_cast<std::size_t>(fill[static_cast<std::size_t>(j * gnx_ + i)]++)] = static_cast<int>(t);
}

void CloughTocher2D::barycentric(const Patch& p, double x, double y, double b[3]) const
{
    const double dx = x - p.p2x, dy = y - p.p2y;
    b[0] = p.t00 * dx + p.t01 * dy;
    b[1] = p.t10 * dx + p.t11 * dy;
    b[2] = 1 - b[0] - b[1];
}

double CloughTocher2D::evaluate(const Patch& p, const double b[3]) const
{
    const auto& c = p.c;
    const double minval = std::min({b[0], b[1], b[2]});
    const double b1 = b[0] - minval, b2 = b[1] - minval, b3 = b[2] - minval, b4 = 3 * minval;
    // The sub-triangle of the split that holds the point is the one opposite
    // the vertex with the smallest barycentric coordinate.
    if (b[0] == minval)
        return b2 * b2 * b2 * c[c0300] + 3 * b2 * b2 * b3 * c[c0210] + 3 * b2 * b2 * b4 * c[c0201] +
               3 * b2 * b3 * b3 * c[c0120] + 6 * b2 * b3 * b4 * c[c0111] + 3 * b2 * b4 * b4 * c[c0102] +
               b3 * b3 * b3 * c[c0030] + 3 * b3 * b3 * b4 * c[c0021] + 3 * b3 * b4 * b4 * c[c0012] +
               b4 * b4 * b4 * c[c0003];
    if (b[1] == minval)
        return b1 * b1 * b1 * c[c3000] + 3 * b1 * b1 * b3 * c[c2010] + 3 * b1 * b1 * b4 * c[c2001] +
               3 * b1 * b3 * b3 * c[c1020] + 6 * b1 * b3 * b4 * c[c1011] + 3 * b1 * b4 * b4 * c[c1002] +
               b3 * b3 * b3 * c[c0030] + 3 * b3 * b3 * b4 * c[c0021] + 3 * b3 * b4 * b4 * c[c0012] +
               b4 * b4 * b4 * c[c0003];
    return b1 * b1 * b1 * c[c3000] + 3 * b1 * b1 * b2 * c[c2100] + 3 * b1 * b1 * b4 * c[c2001] +
           3 * b1 * b2 * b2 * c[c1200] + 6 * b1 * b2 * b4 * c[c1101] + 3 * b1 * b4 * b4 * c[c1002] +
           b2 * b2 * b2 * c[c0300] + 3 * b2 * b2 * b4 * c[c0201] + 3 * b2 * b4 * b4 * c[c0102] +
           b4 * b4 * b4 * c[c0003];
}

double CloughTocher2D::operator()(double x, double y) const
{
    const double fx = (x - gx0_) / gdx_, fy = (y - gy0_) / gdy_;
    // Outside the bounding box (with a hair of slack for points on its edge) or NaN.
    if (!(fx >= -1e-9 && fx <= gnx_ + 1e-9 && fy >= -1e-9 && fy <= gny_ + 1e-9))
        return kNaN;
    const int i = std::clamp(static_cast<int>(fx), 0, gnx_ - 1);
    const int j = std::clamp(static_cast<int>(fy), 0, gny_ - 1);
    const auto k = static_cast<std::size_t>(j * gnx_ + i);
    for (int s = bucketStart_[k]; s < bucketStart_[k + 1]; ++s) {
        const Patch& p = patch_[static_cast<std::size_t>(bucketTri_[static_cast<std::size_t>(s)])];
        double b[3];
        barycentric(p, x, y, b);
        if (b[0] >= -kInsideEps && b[1] >= -kInsideEps && b[2] >= -kInsideEps && b[0] <= 1 + kInsideEps &&
            b[1] <= 1 + kInsideEps && b[2] <= 1 + kInsideEps)
            return evaluate(p, b);
    }
    return kNaN;
}

} // namespace kolmo
