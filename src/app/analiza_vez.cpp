#include "app/analiza_vez.h"

#include "app/izvoz_par.h"
#include "engine/vezne.h"
#include "platform/cp1250.h"
#include "platform/errors.h"

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdio>
#include <numeric>

namespace kolmo {
namespace {

constexpr double kMinWeight = 1e-10;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const char* const kComponent[] = {"n", "e", "h"};

// Ratio of a point's statistic to its critical value: the worst point has the largest.
double ratio(const TockaKakovost& p) { return p.Tcrit > 0 ? p.T / p.Tcrit : 0.0; }

// The robust weights from the standardised misclosures of the tested
// components (see the header); `converged` stays as it is.
std::vector<double> danishWeights(const Kakovost& k, const std::vector<bool>& used, const std::vector<double>& w,
                                  const KakovostOptions& o, bool first)
{
    double scale = o.sigma0;
    // After the first step sigma0 of the weighted adjustment (its effective
    // redundancy leaves the down-weighted points out); at the first, with
    // every weight 1, the median.
    if (!(scale > 0) && !first)
        scale = k.sigma0;
    if (!(scale > 0)) {
        std::vector<double> z;
        for (std::size_t i = 0; i < used.size(); ++i)
            if (used[i])
                for (int c = 0; c < k.qt; ++c)
                    if (k.tocke[i].standardised(c) != 0)
                        z.push_back(std::abs(k.tocke[i].standardised(c)));
        if (z.empty())
            return w;
        const auto mid = z.begin() + static_cast<std::ptrdiff_t>(z.size() / 2);
        std::nth_element(z.begin(), mid, z.end());
        double median = *mid;
        if (z.size() % 2 == 0)
            median = (median + *std::max_element(z.begin(), mid)) / 2;
        scale = 1.4826 * median;
    }
    const double c = danishC(k.qt);
    std::vector<double> out = w;
    for (std::size_t i = 0; i < used.size(); ++i) {
        if (!used[i])
            continue;
        double largest = 0;
        for (int j = 0; j < k.qt; ++j)
            largest = std::max(largest, std::abs(k.tocke[i].standardised(j)));
        const double uu = scale > 0 ? largest / scale : 0.0;
        const double t = (uu / c) * (uu / c);
        out[i] = uu <= c ? 1.0 : std::max(std::exp(1 - t * t), kMinWeight);
    }
    return out;
}

// Points left out (or down-weighted below 0.1) by the analysis, and the used
// points that fail their test.
Names namesWhere(const AnalizaVez& a, bool failing)
{
    Names out;
    const Kakovost& k = *a.final;
    for (std::size_t i = 0; i < k.tocke.size(); ++i) {
        const TockaKakovost& p = k.tocke[i];
        if (failing ? (p.used && p.weight >= 0.1 && p.fails()) : (p.used && p.weight < 0.1))
            out.push_back(a.all.ime[i]);
    }
    return out;
}

std::string listOf(const Names& names)
{
    std::string s;
    for (std::size_t i = 0; i < names.size(); ++i)
        s += (i ? ", " : "") + platform::fromCp1250(names[i]);
    return s;
}

std::string triple(const Eigen::Vector3d& v, int q)
{
    std::string s = "{";
    for (int c = 0; c < q; ++c)
        s += std::string(c ? ", " : "") + "\"" + kComponent[c] + "\": " + jsonNumber(v(c));
    return s + "}";
}

std::string name(const std::string& cp1250) { return platform::fromCp1250(cp1250); }

} // namespace

double danishC(int q)
{
    // The largest of q standard normal components of a good point exceeds
    // c with probability kDanishFalse.
    const boost::math::normal z;
    const double pq = 1 - std::pow(1 - kDanishFalse, 1.0 / std::max(q, 1));
    return boost::math::quantile(boost::math::complement(z, pq / 2));
}

namespace {

VarianceComponents varianceComponents(const Vezne& v, int u, const std::vector<bool>& used,
                                      const std::vector<double>& weights, KakovostOptions o)
{
    VarianceComponents vc;
    o.horizontalFactor = o.heightFactor = 1;
    for (int it = 1; it <= 30; ++it) {
        const Kakovost k = kakovost(v, u, used, weights, o);
        if (!(k.rHorizontal > 0.5) || !(k.rHeight > 0.5))
            throw ComputationError("variance components: too little redundancy in a group");
        const double sh = std::max(k.omegaHorizontal, 0.0) / k.rHorizontal;
        const double sv = std::max(k.omegaHeight, 0.0) / k.rHeight;
        if (it == 1) {
            vc.ratioF = sh > 0 ? sv / sh : kNaN;
            const boost::math::fisher_f f(k.rHeight, k.rHorizontal);
            if (std::isfinite(vc.ratioF)) {
                // One-sided: the height component larger than the horizontal one.
                vc.p = boost::math::cdf(boost::math::complement(f, vc.ratioF));
            } else {
                vc.p = kNaN;
            }
        }
        vc.iterations = it;
        vc.rHorizontal = k.rHorizontal;
        vc.rHeight = k.rHeight;
        if (!(sh > 0) || !(sv > 0))
            break;
        o.horizontalFactor *= sh;
        o.heightFactor *= sv;
        vc.horizontal = std::sqrt(o.horizontalFactor);
        vc.height = std::sqrt(o.heightFactor);
        if (std::abs(sh - 1) < 1e-6 && std::abs(sv - 1) < 1e-6) {
            vc.converged = true;
            break;
        }
    }
    return vc;
}

} // namespace

AnalizaVez analiziraj(const PointSet& vhi, const PointSet& vhv, int u, const AnalizaOptions& o)
{
    AnalizaVez a;
    a.u = u;
    const bool spatial = u == 7;
    const Mat& mi = spatial ? vhi.kk : vhi.koo;
    const Mat& mv = spatial ? vhv.kk : vhv.koo;
    a.rows = commonPoints(vhi.ime, vhv.ime);
    const auto n = static_cast<Eigen::Index>(a.rows.size());
    a.all.i.resize(n, mi.cols());
    a.all.v.resize(n, mv.cols());
    for (Eigen::Index k = 0; k < n; ++k) {
        const auto [i, j] = a.rows[static_cast<std::size_t>(k)];
        a.all.i.row(k) = mi.row(i);
        a.all.v.row(k) = mv.row(j);
        a.all.ime.push_back(vhi.ime[static_cast<std::size_t>(i)]);
    }
    a.used.assign(a.rows.size(), true);
    a.weights.assign(a.rows.size(), 1.0);
    for (const std::string& x : o.exclude) {
        const auto it = std::find(a.all.ime.begin(), a.all.ime.end(), x);
        if (it == a.all.ime.end())
            throw ComputationError("--exclude: " + name(x) + " is not a common point (a name in both point sets)");
        a.used[static_cast<std::size_t>(it - a.all.ime.begin())] = false;
    }
    const int q = spatial ? 3 : 2;

    if (o.snoop) {
        std::vector<bool> excluded(a.used.size(), false), readmitted(a.used.size(), false);
        for (std::size_t i = 0; i < a.used.size(); ++i)
            excluded[i] = !a.used[i];
        std::size_t lastOut = a.used.size();
        for (;;) {
            const Kakovost k = kakovost(a.all, u, a.used, {}, o.test);
            if (!k.testable) {
                a.snoopEnd = "no test possible: the redundancy is too small";
                break;
            }
            // A point left out earlier whose check passes now that the worse
            // one is out comes back (each once; the one just left out stays).
            std::size_t back = a.used.size();
            for (std::size_t i = 0; i < a.used.size(); ++i)
                if (!a.used[i] && !excluded[i] && !readmitted[i] && i != lastOut && !k.tocke[i].fails() &&
                    (back == a.used.size() || ratio(k.tocke[i]) < ratio(k.tocke[back])))
                    back = i;
            if (back != a.used.size()) {
                const TockaKakovost& p = k.tocke[back];
                SnoopStep st{a.all.ime[back], true, p.T, p.Tcrit, p.dominant, p.bias(p.dominant) * 1000};
                a.steps.push_back(st);
                a.used[back] = true;
                readmitted[back] = true;
                lastOut = a.used.size();
                continue;
            }
            std::size_t worst = a.used.size();
            for (std::size_t i = 0; i < a.used.size(); ++i)
                if (a.used[i] && (worst == a.used.size() || ratio(k.tocke[i]) > ratio(k.tocke[worst])))
                    worst = i;
            if (worst == a.used.size() || !k.tocke[worst].fails()) {
                a.snoopEnd = "every used point passes its test";
                break;
            }
            if (k.redundancy - q < q + 1) {
                a.snoopEnd = "point " + name(a.all.ime[worst]) +
                             " fails its test, but without it the redundancy would fall below " +
                             std::to_string(q + 1);
                break;
            }
            const TockaKakovost& p = k.tocke[worst];
            a.steps.push_back({a.all.ime[worst], false, p.T, p.Tcrit, p.dominant, p.bias(p.dominant) * 1000});
            a.used[worst] = false;
            lastOut = worst;
        }
    }
    if (o.robust) {
        a.robustConverged = false;
        for (int it = 1; it <= 100; ++it) {
            const Kakovost k = kakovost(a.all, u, a.used, a.weights, o.test);
            // Damped (the geometric mean of the old weight and the new one):
            // points near c would otherwise swing between two states.
            std::vector<double> w = danishWeights(k, a.used, a.weights, o.test, it == 1);
            for (std::size_t i = 0; i < w.size(); ++i)
                if (a.used[i])
                    w[i] = std::max(std::sqrt(w[i] * a.weights[i]), kMinWeight);
            double moved = 0;
            for (std::size_t i = 0; i < w.size(); ++i)
                moved = std::max(moved, std::abs(w[i] - a.weights[i]));
            a.weights = w;
            a.robustIterations = it;
            if (moved < 1e-6) {
                a.robustConverged = true;
                break;
            }
        }
    }
    for (std::size_t i = 0; i < a.used.size(); ++i)
        if (!a.used[i])
            a.weights[i] = 0;
    // The statistics of the final estimation.  Without a choice of points
    // they only add to the JSON and the summary: a failure leaves them out
    // rather than failing the computation.
    const bool chosen = !o.exclude.empty() || o.snoop || o.robust;
    try {
        a.final = kakovost(a.all, u, a.used, a.weights, o.test);
    } catch (const ComputationError&) {
        if (chosen)
            throw;
    }
    if (a.final && spatial && o.test.heightsObserved) {
        try {
            a.components = varianceComponents(a.all, u, a.used, a.weights, o.test);
        } catch (const ComputationError&) {
            // too little redundancy in a group: no components
        }
    }
    return a;
}

void uporabi(const AnalizaVez& a, PointSet& vhi, PointSet& vhv)
{
    const bool spatial = a.u == 7;
    Mat& mi = spatial ? vhi.kk : vhi.koo;
    Mat& mv = spatial ? vhv.kk : vhv.koo;
    const Eigen::Index sd0 = spatial ? 3 : 2, nsd = spatial ? 3 : 2;
    std::vector<bool> keep(vhv.ime.size(), true);
    for (std::size_t k = 0; k < a.rows.size(); ++k) {
        const auto [i, j] = a.rows[k];
        if (!a.used[k]) {
            keep[static_cast<std::size_t>(j)] = false;
        } else if (a.weights[k] != 1.0) {
            const double f = 1 / std::sqrt(a.weights[k]);
            if (mi.cols() >= sd0 + nsd)
                mi.block(i, sd0, 1, nsd) *= f;
            if (mv.cols() >= sd0 + nsd)
                mv.block(j, sd0, 1, nsd) *= f;
        }
    }
    if (std::all_of(keep.begin(), keep.end(), [](bool b) { return b; }))
        return;
    const auto n = static_cast<Eigen::Index>(keep.size());
    std::vector<Eigen::Index> rows;
    for (Eigen::Index r = 0; r < n; ++r)
        if (keep[static_cast<std::size_t>(r)])
            rows.push_back(r);
    for (Mat* m : {&vhv.koo, &vhv.ek, &vhv.kk, &vhv.gk})
        if (m->rows() == n) {
            Mat kept(static_cast<Eigen::Index>(rows.size()), m->cols());
            for (std::size_t k = 0; k < rows.size(); ++k)
                kept.row(static_cast<Eigen::Index>(k)) = m->row(rows[k]);
            *m = std::move(kept);
        }
    Names names;
    for (const Eigen::Index r : rows)
        names.push_back(vhv.ime[static_cast<std::size_t>(r)]);
    vhv.ime = std::move(names);
}

std::string analizaJson(const AnalizaVez& a, const AnalizaOptions& o)
{
    if (!a.final)
        return {};
    const Kakovost& k = *a.final;
    const int q = k.q;
    std::string j;
    j += "  \"adjustment\": {\n";
    j += "    \"about\": " +
         jsonString("the estimation iterated on until the corrections are at the level of rounding; sigma0, the "
                    "normal matrix N, the residuals and every figure of points come from that converged solution "
                    "(the parameters agree with those above far below their standard deviations)") +
         ",\n";
    j += "    \"sigma0\": " + jsonNumber(k.sigma0) + ",\n";
    j += "    \"sigma0_about\": " +
         jsonString("a-posteriori standard deviation of unit weight of the converged adjustment, sqrt(e^T P e / r) "
                    "over the misclosures e of the used points, P = (A Q A^T)^-1 (m with the default unit standard "
                    "deviations). The members of m0 are the report's: all_residuals from the residuals of the "
                    "linearisation before the last correction, end_differences" +
                    std::string(q == 3 ? " from the differences in the end datum alone" : " absent in the plane "
                                                                                         "models")) +
         ",\n";
    j += "    \"sigma0_tests\": " + jsonNumber(k.sigmaTest) + ",\n";
    j += "    \"sd_model\": " +
         jsonString(q == 3 ? "the standard deviations of the files are those of north, east and height: each point's "
                             "covariance is E^T diag(s_n^2, s_e^2, s_h^2) E with E its local frame, in both datums "
                             "(the report's estimation takes them as those of X, Y, Z; with equal standard deviations, "
                             "as with --helmert on, the two agree)"
                           : "the standard deviations of the files are those of the plane coordinates x, y") +
         ",\n";
    j += "    \"heights_observed\": " + std::string(q == 3 && !o.test.heightsObserved ? "false" : "true") + ",\n";
    if (q == 3 && !o.test.heightsObserved)
        j += "    \"heights_about\": " +
             jsonString("the heights of both datums were set to 0 (D96 latitude and longitude with --heights 1): "
                        "they are no observations, so the heights get no test, no MDB and no redundancy number, and "
                        "sigma0 and the redundancy come from the horizontal components alone") +
             ",\n";
    j += "    \"sigma0_source\": " +
         jsonString(k.apriori ? "a priori (--sigma0)" : "a posteriori (no --sigma0 given)") + ",\n";
    j += "    \"redundancy\": " + std::to_string(k.redundancy) + ",\n";
    j += "    \"redundancy_effective\": " + jsonNumber(k.dof) + ",\n";
    j += "    \"redundancy_about\": " +
         jsonString("redundancy is q n - u over the used points; redundancy_effective the sum of the redundancy "
                    "numbers of the tested components, each point's counted min(w, 1) times (a point of small "
                    "robust weight is no full observation): sigma0 and the tests take it") +
         ",\n";
    j += "    \"testable\": " + std::string(k.testable ? "true" : "false") + ",\n";
    if (k.apriori) {
        j += "    \"global_test\": {\"statistic\": " + jsonNumber(k.globalStatistic) +
             ", \"critical\": " + jsonNumber(k.globalCritical) + ", \"alpha\": " + jsonNumber(o.test.alpha) +
             ", \"dof\": " + jsonNumber(k.dof) + ", \"passes\": " + (k.globalPasses() ? "true" : "false") +
             ", \"about\": " +
             jsonString("test of the variance factor: Omega / sigma0^2 (a priori) against the chi^2 quantile with "
                        "the effective redundancy as degrees of freedom, one-sided at alpha") +
             "},\n";
    }
    if (a.components) {
        const VarianceComponents& vc = *a.components;
        j += "    \"variance_components\": {\"horizontal\": " + jsonNumber(vc.horizontal) +
             ", \"height\": " + jsonNumber(vc.height) + ", \"redundancy_horizontal\": " +
             jsonNumber(vc.rHorizontal) + ", \"redundancy_height\": " + jsonNumber(vc.rHeight) +
             ", \"F\": " + jsonNumber(vc.ratioF) + ", \"p\": " + jsonNumber(vc.p) + ", \"iterations\": " +
             std::to_string(vc.iterations) + ", \"converged\": " + (vc.converged ? "true" : "false") +
             ", \"about\": " +
             jsonString("Foerstner's estimation of the standard deviations of the horizontal (n, e) and the height "
                        "components (m at unit standard deviations, else factors of those of the files), iterated "
                        "until each group's Omega_g / r_g is 1; F and p: the test of their equality from the first "
                        "step (p one-sided: the height component the larger). Each is the joint one of the start and the end datum: the model cannot tell the two "
                        "datums' shares apart") +
             "},\n";
    }
    if (k.u == 4) {
        // Scale and rotation of the similarity y = (a x1 - b x2 + c, b x1 + a x2 + d).
        const double pa = k.par(0), pb = k.par(1), m = std::hypot(pa, pb);
        Eigen::Matrix<double, 2, 2> J;
        J << pa / m, pb / m, -pb / (m * m), pa / (m * m);
        const Eigen::Matrix2d c2 = J * k.cov.topLeftCorner(2, 2) * J.transpose();
        constexpr double sec = 180.0 / 3.14159265358979323846 * 3600.0;
        j += "    \"scale_rotation\": {\"scale_ppm\": " + jsonNumber((m - 1) * 1e6) + ", \"scale_sd_ppm\": " +
             jsonNumber(std::sqrt(c2(0, 0)) * 1e6) + ", \"rotation_arcsec\": " +
             jsonNumber(std::atan2(pb, pa) * sec) + ", \"rotation_sd_arcsec\": " +
             jsonNumber(std::sqrt(c2(1, 1)) * sec) + ", \"about\": " +
             jsonString("scale sqrt(a^2 + b^2) - 1 and rotation atan2(b, a) of a, b, their sd from the "
                        "covariance of a, b") +
             "},\n";
    }
    j += "    \"iterations\": " + std::to_string(k.iterations) + ",\n";
    j += "    \"last_correction_m\": " + jsonNumber(k.lastCorrection) + ",\n";
    j += "    \"covariance_formula\": " +
         jsonString("Cov = sigma0^2 N^-1 with sigma0 the a-priori value (--sigma0) or else the a-posteriori one above, and N = B^T (A Q A^T)^-1 B the "
                    "normal matrix at the converged parameters, carried to the units of the parameters (m, arc "
                    "seconds, ppm, or 1) by the Jacobian of the change from the centred coordinates of the "
                    "adjustment; sd = sqrt(diag(Cov)), correlation = Cov(i, j) / (sd_i sd_j)") +
         ",\n";
    const auto matrix = [&](const Mat& m) {
        std::string s = "[";
        for (Eigen::Index r = 0; r < m.rows(); ++r) {
            s += r ? ",\n      [" : "\n      [";
            for (Eigen::Index c = 0; c < m.cols(); ++c)
                s += (c ? ", " : "") + jsonNumber(m(r, c));
            s += "]";
        }
        return s + "\n    ]";
    };
    j += "    \"correlation\": " + matrix(k.corr) + ",\n";
    j += "    \"covariance\": " + matrix(k.cov) + "\n";
    j += "  },\n";

    j += "  \"tests\": {\n";
    j += "    \"alpha0\": " + jsonNumber(o.test.alpha) + ", \"beta0\": " + jsonNumber(o.test.beta) + ",\n";
    j += "    \"alpha_w_test\": " + jsonNumber(o.test.alpha) + ", \"alpha_point_test\": " + jsonNumber(k.alphaPoint) +
         ", \"components_tested\": " + std::to_string(k.qt) + ",\n";
    j += "    \"b_method\": " +
         jsonString("the point test decides at alpha_point_test, chosen so that its power at the non-centrality "
                    "lambda0 of the w-test (alpha0, beta0) is beta0: a bias of one MDB in a component fails the "
                    "point test with probability beta0 when sigma0 is known") +
         ",\n";
    j += "    \"point_test\": " +
         jsonString("Baarda's multidimensional outlier test of the point's misclosure vector e_i (given end minus "
                    "transformed start): T = a^T S^-1 a / (q sigma^2), a = P_i e_i, S = (P Q_ee P)_ii, Q_ee = M - B "
                    "N^-1 B^T; sigma a priori (T ~ F(q, inf)) or a posteriori from the other points (T ~ F(q, r - "
                    "q)); the point fails when T exceeds the critical value at alpha_point_test. A point left out is tested "
                    "by prediction (Q_ee = M_i + B_i N^-1 B_i^T, sigma0, F(q, r))") +
         ",\n";
    j += "    \"w_test\": " +
         jsonString("w of a component c (local north, east, height) = c^T a / (sigma sqrt(c^T S c)); critical value "
                    "the two-sided normal (a priori) or t quantile at alpha0") +
         ",\n";
    j += "    \"mdb\": " +
         jsonString("minimal detectable bias of a component at alpha0 and power beta0: sigma0 sqrt(lambda0) / "
                    "sqrt(c^T S c), sqrt(lambda0) = z(1 - alpha0/2) + z(beta0), in m") +
         ",\n";
    j += "    \"redundancy_numbers\": " +
         jsonString("diagonal of the redundancy matrix Q_ee P of the point's misclosures turned into its local "
                    "north, east, height frame; over the used points they sum to the redundancy") +
         ",\n";
    j += "    \"frame\": " +
         jsonString(q == 3 ? "n, e, h: north, east and up of the ellipsoid normal at the point (end-datum point for "
                             "the misclosures and the end residuals, start-datum point for the start residuals)"
                           : "n, e: the plane coordinates x (northing) and y (easting)") +
         "\n  },\n";

    j += "  \"points\": [";
    for (std::size_t i = 0; i < k.tocke.size(); ++i) {
        const TockaKakovost& p = k.tocke[i];
        j += std::string(i ? "," : "") + "\n    {\"name\": " + jsonString(name(a.all.ime[i])) +
             ", \"used\": " + (p.used ? "true" : "false") + ", \"weight\": " + jsonNumber(p.weight) + ",\n";
        j += "     \"residuals_start\": " + (p.used ? triple(p.vStart, q) : "null") +
             ", \"residuals_end\": " + (p.used ? triple(p.vEnd, q) : "null") + ",\n";
        j += "     \"misclosure\": " + triple(p.misclosure, q) +
             ", \"redundancy\": " + (p.used ? triple(p.redundancy, q) : "null") + ",\n";
        j += "     \"test\": {\"statistic\": " + jsonNumber(p.T) + ", \"critical\": " + jsonNumber(p.Tcrit) +
             ", \"fails\": " + (p.fails() ? "true" : "false") + "}, \"w\": " + triple(p.w, q) +
             ", \"w_critical\": " + jsonNumber(p.wCrit) + ",\n";
        j += "     \"mdb\": " + triple(p.mdb, q) + ", \"bias\": " + triple(p.bias, q) +
             ", \"dominant\": \"" + kComponent[p.dominant] + "\"}";
    }
    j += "\n  ],\n";

    Names left;
    for (std::size_t i = 0; i < a.used.size(); ++i)
        if (!a.used[i])
            left.push_back(a.all.ime[i]);
    j += "  \"left_out\": [";
    for (std::size_t i = 0; i < left.size(); ++i)
        j += (i ? ", " : "") + jsonString(name(left[i]));
    j += "],\n";
    if (o.snoop) {
        j += "  \"snooping\": {\"alpha0\": " + jsonNumber(o.test.alpha) + ", \"end\": " + jsonString(a.snoopEnd) +
             ", \"steps\": [";
        for (std::size_t s = 0; s < a.steps.size(); ++s) {
            const SnoopStep& st = a.steps[s];
            j += std::string(s ? "," : "") + "\n    {\"step\": " + std::to_string(s + 1) +
                 ", \"point\": " + jsonString(name(st.point)) + ", \"action\": \"" +
                 (st.readmitted ? "readmitted" : "left out") + "\", \"statistic\": " + jsonNumber(st.T) +
                 ", \"critical\": " + jsonNumber(st.Tcrit) + ", \"component\": \"" + kComponent[st.component] +
                 "\", \"bias_mm\": " + jsonNumber(st.biasMm) + "}";
        }
        j += a.steps.empty() ? "]},\n" : "\n  ]},\n";
    }
    if (o.robust)
        j += "  \"robust\": {\"method\": \"Danish\", \"c\": " + jsonNumber(danishC(k.qt)) + ", \"iterations\": " +
             std::to_string(a.robustIterations) + ", \"converged\": " + (a.robustConverged ? "true" : "false") +
             ", \"weight_function\": " +
             jsonString("w = 1 for u <= c, exp(1 - (u/c)^4) above (at least 1e-10), u = max over the tested "
                        "components of |e_c| / sqrt(Q_c) (Q the covariance of the misclosure of a full observation, "
                        "in the local frame) over the scale, a-priori sigma0 or 1.4826 times the median of those "
                        "values over the used points; c such that the largest of the components of a good point "
                        "exceeds it once in five hundred; each step takes the geometric mean of the old and the new "
                        "weight (no swinging between two states); the estimation divides the "
                        "standard deviations of the point's start and end coordinates by sqrt(w), and the tests of "
                        "points are those of that weighted adjustment (a point of small weight shows its error in "
                        "its misclosure and weight, not in its test)") +
             "},\n";
    return j;
}

std::string analizaSummary(const AnalizaVez& a, const AnalizaOptions& o)
{
    if (!a.final)
        return {};
    const Kakovost& k = *a.final;
    std::string s;
    char line[320];
    // sigma0 of the converged adjustment, which the tests take; the m0 above
    // is the report's.
    std::snprintf(line, sizeof line,
                  "Adjustment statistics (converged adjustment; not the report's m0): sigma0 %.4f m a posteriori%s, "
                  "redundancy %d (effective %.2f)%s\n",
                  k.sigma0, k.apriori ? (", tests with sigma0 " + jsonNumber(o.test.sigma0) + " m a priori").c_str() : "",
                  k.redundancy, k.dof, k.q == 3 && !o.test.heightsObserved ? ", heights no observations (untested)" : "");
    s += line;
    if (k.apriori) {
        std::snprintf(line, sizeof line, "Global test of the variance factor: chi^2 %.2f, critical %.2f (alpha %s, %.2f degrees of freedom): %s\n",
                      k.globalStatistic, k.globalCritical, jsonNumber(o.test.alpha).c_str(), k.dof,
                      k.globalPasses() ? "passes" : "FAILS");
        s += line;
    }
    if (a.components) {
        std::snprintf(line, sizeof line,
                      "Variance components: horizontal %.1f mm (r %.1f), height %.1f mm (r %.1f), equal: p = %.2g\n",
                      a.components->horizontal * 1000, a.components->rHorizontal, a.components->height * 1000,
                      a.components->rHeight, a.components->p);
        s += line;
    }
    if (k.u == 4) {
        const double pa = k.par(0), pb = k.par(1), m = std::hypot(pa, pb);
        Eigen::Matrix2d J;
        J << pa / m, pb / m, -pb / (m * m), pa / (m * m);
        const Eigen::Matrix2d c2 = J * k.cov.topLeftCorner(2, 2) * J.transpose();
        constexpr double sec = 180.0 / 3.14159265358979323846 * 3600.0;
        std::snprintf(line, sizeof line, "Scale %.4f ppm (sd %.4f), rotation %.4f arc seconds (sd %.4f)\n",
                      (m - 1) * 1e6, std::sqrt(c2(0, 0)) * 1e6, std::atan2(pb, pa) * sec, std::sqrt(c2(1, 1)) * sec);
        s += line;
    }
    if (!k.testable)
        s += "Points: no test possible (the redundancy is too small)\n";
    if (o.snoop) {
        std::snprintf(line, sizeof line, "Data snooping (point test at alpha %.4g, alpha0 %s):\n", k.alphaPoint,
                      jsonNumber(o.test.alpha).c_str());
        s += line;
        s += "  step  point         statistic  critical  component  bias (mm)\n";
        for (std::size_t i = 0; i < a.steps.size(); ++i) {
            const SnoopStep& st = a.steps[i];
            std::snprintf(line, sizeof line, "  %4zu  %-12s %10.2f %9.2f  %-9s %10.1f%s\n", i + 1,
                          name(st.point).c_str(), st.T, st.Tcrit, kComponent[st.component], st.biasMm,
                          st.readmitted ? "  readmitted" : "");
            s += line;
        }
        s += "  " + a.snoopEnd + "\n";
    } else if (o.robust) {
        // The tests of a down-weighted point say little (its weight keeps its
        // misclosure out of them): the lowest weights and their misclosures.
        std::vector<std::size_t> order;
        for (std::size_t i = 0; i < k.tocke.size(); ++i)
            if (k.tocke[i].used)
                order.push_back(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t x, std::size_t y) { return k.tocke[x].weight < k.tocke[y].weight; });
        order.resize(std::min<std::size_t>(order.size(), 3));
        std::snprintf(line, sizeof line, "Lowest robust weights (Danish method, c = %.2f, %d iterations%s):\n",
                      danishC(k.qt), a.robustIterations, a.robustConverged ? "" : ", NOT converged");
        s += line;
        for (const std::size_t i : order) {
            const TockaKakovost& p = k.tocke[i];
            std::snprintf(line, sizeof line, "  %-12s weight %.3g, misclosure", name(a.all.ime[i]).c_str(),
                          p.weight);
            s += line;
            for (int c = 0; c < k.q; ++c) {
                std::snprintf(line, sizeof line, " %s %.1f", kComponent[c], p.misclosure(c) * 1000);
                s += line;
            }
            s += " mm\n";
        }
        const Names low = namesWhere(a, false);
        if (!low.empty())
            s += "Down-weighted (weight below 0.1): " + listOf(low) + "\n";
    } else if (k.testable) {
        std::vector<std::size_t> order;
        for (std::size_t i = 0; i < k.tocke.size(); ++i)
            if (k.tocke[i].used)
                order.push_back(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t x, std::size_t y) { return ratio(k.tocke[x]) > ratio(k.tocke[y]); });
        order.resize(std::min<std::size_t>(order.size(), 3));
        std::snprintf(line, sizeof line, "Worst points (Baarda's test: point test at alpha %.4g, w at alpha0 %s):\n",
                      k.alphaPoint, jsonNumber(o.test.alpha).c_str());
        s += line;
        for (const std::size_t i : order) {
            const TockaKakovost& p = k.tocke[i];
            std::snprintf(line, sizeof line,
                          "  %-12s statistic %8.2f (critical %.2f)%s, largest w %.2f (%s, critical %.2f)\n",
                          name(a.all.ime[i]).c_str(), p.T, p.Tcrit, p.fails() ? " FAILS" : "", p.w(p.dominant),
                          kComponent[p.dominant], p.wCrit);
            s += line;
        }
    }
    for (std::size_t i = 0; i < k.tocke.size(); ++i) {
        const TockaKakovost& p = k.tocke[i];
        if (!p.used && !k.testable) {
            s += "Left out: " + name(a.all.ime[i]) + "\n";
        } else if (!p.used) {
            std::snprintf(line, sizeof line, "Left out: %s (misclosure check: statistic %.2f, critical %.2f)\n",
                          name(a.all.ime[i]).c_str(), p.T, p.Tcrit);
            s += line;
        }
    }
    return s;
}

} // namespace kolmo

namespace kolmo {

std::vector<std::string> analizaWarnings(const AnalizaVez& a, const AnalizaOptions& o)
{
    std::vector<std::string> out;
    if (!a.final)
        return out;
    const Kakovost& k = *a.final;
    char line[320];
    int nUsed = 0;
    for (const TockaKakovost& p : k.tocke)
        nUsed += p.used ? 1 : 0;
    if (!k.testable) {
        std::snprintf(line, sizeof line,
                      "no test possible: %d common point(s) leave a redundancy of %.2f, too little to test a point "
                      "against the others",
                      nUsed, k.dof);
        out.push_back(line);
    } else if (k.dof < 0.6 * k.qt * nUsed) {
        // The largest MDB of a used point: a gross error below it passes.
        double largest = 0;
        std::size_t at = 0;
        int comp = 0;
        for (std::size_t i = 0; i < k.tocke.size(); ++i)
            if (k.tocke[i].used)
                for (int c = 0; c < k.qt; ++c)
                    if (k.tocke[i].mdb(c) > largest) {
                        largest = k.tocke[i].mdb(c);
                        at = i;
                        comp = c;
                    }
        std::snprintf(line, sizeof line,
                      "low redundancy (%.2f of %d observations): a gross error may pass the tests; the largest "
                      "minimal detectable bias is %.3f m (%s %s)",
                      k.dof, k.qt * nUsed, largest, name(a.all.ime[at]).c_str(), kComponent[comp]);
        out.push_back(line);
    }
    const Names failing = namesWhere(a, true);
    if (!failing.empty())
        out.push_back("common point(s) failing Baarda's test: " + listOf(failing));
    Names left;
    for (const SnoopStep& st : a.steps)
        if (!st.readmitted && std::find(left.begin(), left.end(), st.point) == left.end())
            left.push_back(st.point);
    Names stillOut;
    for (const std::string& x : left)
        for (std::size_t i = 0; i < a.all.ime.size(); ++i)
            if (a.all.ime[i] == x && !a.used[i])
                stillOut.push_back(x);
    if (!stillOut.empty())
        out.push_back("data snooping left out common point(s): " + listOf(stillOut));
    if (o.robust) {
        const Names low = namesWhere(a, false);
        if (!low.empty())
            out.push_back("robust estimation down-weighted common point(s) below 0.1: " + listOf(low));
        if (!a.robustConverged)
            out.push_back("robust estimation stopped after " + std::to_string(a.robustIterations) +
                          " iterations without converging");
    }
    if (k.apriori && !k.globalPasses()) {
        std::snprintf(line, sizeof line,
                      "the global test of the variance factor fails: sigma0 a posteriori %.4f m against %.4f m a priori",
                      k.sigma0, o.test.sigma0);
        out.push_back(line);
    }
    return out;
}

} // namespace kolmo
