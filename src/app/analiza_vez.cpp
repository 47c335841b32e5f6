#include "app/analiza_vez.h"

#include "app/izvoz_par.h"
#include "engine/vezne.h"
#include "platform/cp1250.h"
#include "platform/errors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace kolmo {
namespace {

constexpr double kMinWeight = 1e-10;
const char* const kComponent[] = {"n", "e", "h"};

// Ratio of a point's statistic to its critical value: the worst point has the largest.
double ratio(const TockaKakovost& p) { return p.Tcrit > 0 ? p.T / p.Tcrit : 0.0; }

std::vector<double> danishWeights(const Kakovost& k, const std::vector<bool>& used, const std::vector<double>& w,
                                  const KakovostOptions& o)
{
    double sigma = o.sigma0;
    if (!(sigma > 0)) {
        double num = 0, den = 0;
        for (std::size_t i = 0; i < used.size(); ++i)
            if (used[i]) {
                num += w[i] * k.tocke[i].fMf;
                den += w[i] * k.q;
            }
        sigma = std::sqrt(num / std::max(den - k.u, 1.0));
    }
    std::vector<double> out = w;
    for (std::size_t i = 0; i < used.size(); ++i) {
        if (!used[i])
            continue;
        const double uu = sigma > 0 ? std::sqrt(k.tocke[i].fMf / k.q) / sigma : 0.0;
        const double t = (uu / kDanishC) * (uu / kDanishC);
        out[i] = uu <= kDanishC ? 1.0 : std::max(std::exp(1 - t * t), kMinWeight);
    }
    return out;
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
        for (;;) {
            const Kakovost k = kakovost(a.all, u, a.used, {}, o.test);
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
            a.steps.push_back({a.all.ime[worst], p.T, p.Tcrit, p.dominant, p.bias(p.dominant) * 1000});
            a.used[worst] = false;
        }
    }
    if (o.robust) {
        for (int it = 1; it <= 100; ++it) {
            const Kakovost k = kakovost(a.all, u, a.used, a.weights, o.test);
            const std::vector<double> w = danishWeights(k, a.used, a.weights, o.test);
            double moved = 0;
            for (std::size_t i = 0; i < w.size(); ++i)
                moved = std::max(moved, std::abs(w[i] - a.weights[i]));
            a.weights = w;
            a.robustIterations = it;
            if (moved < 1e-6)
                break;
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
    j += "    \"sigma0_source\": " +
         jsonString(k.apriori ? "a priori (--sigma0)" : "a posteriori (no --sigma0 given)") + ",\n";
    j += "    \"redundancy\": " + std::to_string(k.redundancy) + ",\n";
    j += "    \"iterations\": " + std::to_string(k.iterations) + ",\n";
    j += "    \"last_correction_m\": " + jsonNumber(k.lastCorrection) + ",\n";
    j += "    \"covariance_formula\": " +
         jsonString("Cov = sigma0^2 N^-1 with sigma0 the a-posteriori value above and N = B^T (A Q A^T)^-1 B the "
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
    j += "    \"point_test\": " +
         jsonString("Baarda's multidimensional outlier test of the point's misclosure vector e_i (given end minus "
                    "transformed start): T = a^T S^-1 a / (q sigma^2), a = P_i e_i, S = (P Q_ee P)_ii, Q_ee = M - B "
                    "N^-1 B^T; sigma a priori (T ~ F(q, inf)) or a posteriori from the other points (T ~ F(q, r - "
                    "q)); the point fails when T exceeds the critical value at alpha0. A point left out is tested "
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
                 ", \"point\": " + jsonString(name(st.point)) + ", \"statistic\": " + jsonNumber(st.T) +
                 ", \"critical\": " + jsonNumber(st.Tcrit) + ", \"component\": \"" + kComponent[st.component] +
                 "\", \"bias_mm\": " + jsonNumber(st.biasMm) + "}";
        }
        j += a.steps.empty() ? "]},\n" : "\n  ]},\n";
    }
    if (o.robust)
        j += "  \"robust\": {\"method\": \"Danish\", \"c\": " + jsonNumber(kDanishC) + ", \"iterations\": " +
             std::to_string(a.robustIterations) + ", \"weight_function\": " +
             jsonString("w = 1 for u <= c, exp(1 - (u/c)^4) above (at least 1e-10), u = sqrt(e^T M^-1 e / q) / "
                        "sigma with sigma a priori or from the weighted misclosures; the estimation divides the "
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
    char line[256];
    if (o.snoop) {
        s += "Data snooping (alpha0 " + jsonNumber(o.test.alpha) + "):\n";
        s += "  step  point         statistic  critical  component  bias (mm)\n";
        for (std::size_t i = 0; i < a.steps.size(); ++i) {
            const SnoopStep& st = a.steps[i];
            std::snprintf(line, sizeof line, "  %4zu  %-12s %10.2f %9.2f  %-9s %10.1f\n", i + 1,
                          name(st.point).c_str(), st.T, st.Tcrit, kComponent[st.component], st.biasMm);
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
        s += "Lowest robust weights (Danish method, c = 2, " + std::to_string(a.robustIterations) +
             " iterations):\n";
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
    } else {
        std::vector<std::size_t> order;
        for (std::size_t i = 0; i < k.tocke.size(); ++i)
            if (k.tocke[i].used)
                order.push_back(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t x, std::size_t y) { return ratio(k.tocke[x]) > ratio(k.tocke[y]); });
        order.resize(std::min<std::size_t>(order.size(), 3));
        s += "Worst points (Baarda's test at alpha0 " + jsonNumber(o.test.alpha) + "):\n";
        for (const std::size_t i : order) {
            const TockaKakovost& p = k.tocke[i];
            std::snprintf(line, sizeof line, "  %-12s statistic %8.2f (critical %.2f)%s, largest w %.2f (%s)\n",
                          name(a.all.ime[i]).c_str(), p.T, p.Tcrit, p.fails() ? " FAILS" : "", p.w(p.dominant),
                          kComponent[p.dominant]);
            s += line;
        }
    }
    for (std::size_t i = 0; i < k.tocke.size(); ++i) {
        const TockaKakovost& p = k.tocke[i];
        if (!p.used) {
            std::snprintf(line, sizeof line, "Left out: %s (misclosure check: statistic %.2f, critical %.2f)\n",
                          name(a.all.ime[i]).c_str(), p.T, p.Tcrit);
            s += line;
        }
    }
    return s;
}

} // namespace kolmo
