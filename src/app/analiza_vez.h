// analiza_vez: gross errors among the common points -- leaving named points
// out, Baarda's iterative data snooping and robust estimation -- and the
// statistics of the final estimation for the JSON and the summary.
//
// The analysis runs on the prepared point sets (Cartesian for 3r7, plane
// coordinates for 2r4 and 2r6) just before the estimation of the report, and
// decides which common points the estimation uses and with which weights:
//  - leaving out (--exclude): the named common points take no part; their
//    end points are taken out of the end set, so that the estimation is the
//    one without them in the files, to the last digit, while their start
//    points are still transformed.  The analysis keeps them for the checks.
//  - data snooping (--snoop): estimate, test every used point with Baarda's
//    multidimensional test (kakovost.h) and leave out the worst one when it
//    fails (largest ratio of statistic to critical value), as long as the
//    estimation without it keeps a redundancy of at least q + 1, so that the
//    next step can still test a point against the rest; repeat.
//  - robust estimation (--robust): iteratively reweighted least squares with
//    a weight per point from its standardised misclosures, component by
//    component in the local frame, z_c = e_c / sqrt(Q_c) with Q the
//    covariance of the misclosure of a full observation (its own redundancy:
//    a leverage point's small misclosure is not taken for a good one),
//      u_i = max_c |z_c| / s,
//    s the a-priori sigma0 or the robust scale 1.4826 median |z_c| over the
//    tested components of the used points (a blunder cannot inflate it), and
//    the Danish-method weight function w = 1 for u <= c, exp(1 - (u/c)^4)
//    above, floored at 1e-10, with c chosen so that the largest of the q
//    components of a good point exceeds it once in five hundred (c = 3.40
//    for three components, 3.29 for two); each step takes the geometric mean
//    of the old weight and the new one (points near c would otherwise swing
//    between two states); until no weight moves
//    by 1e-6, at most 100 iterations (`robustConverged` says whether it got
//    there).  The estimation of the report takes the weights as standard
//    deviations of the point's start and end coordinates divided by sqrt(w);
//    the statistics count a point of weight w as min(w, 1) of an observation.
//  - data snooping re-admits a point left out earlier once its check passes
//    without the worse one (each point once).
#pragma once

#include "engine/kakovost.h"

#include <optional>
#include <string>
#include <vector>

namespace kolmo {

struct AnalizaOptions {
    Names exclude;      // names of common points to leave out
    bool snoop = false;
    bool robust = false;
    KakovostOptions test;
};

// The Danish method's c: a good point's largest standardised component
// exceeds it with probability kDanishFalse (c = 3.09 for one component, 3.29
// for two, 3.40 for three).
inline constexpr double kDanishFalse = 0.005;

// c of the Danish method for the largest of q standardised components.
double danishC(int q);

// Variance components of the horizontal and the height components
// (Foerstner's estimation, iterated): the variances of every point's n, e and
// h are scaled by factors until each group's Omega_g / r_g is 1.
struct VarianceComponents {
    double horizontal = 0, height = 0;   // standard deviations (m at unit standard deviations)
    double rHorizontal = 0, rHeight = 0; // their redundancies
    double ratioF = 0, p = 0;            // F = s_h^2 / s_n,e^2 of the first step, p of equality (one-sided)
    int iterations = 0;
    bool converged = false;
};

struct SnoopStep {
    std::string point;
    bool readmitted = false; // back in: its check passes without the worse one
    double T = 0, Tcrit = 0;
    int component = 0; // n, e, h
    double biasMm = 0; // estimated bias in that component
};

struct AnalizaVez {
    int u = 0;                  // parameters: 7, 4 or 6
    Vezne all;                  // every common point, prepared, before any weight
    std::vector<std::pair<Eigen::Index, Eigen::Index>> rows; // their start and end rows
    std::vector<bool> used;
    std::vector<double> weights;
    std::vector<SnoopStep> steps;
    std::string snoopEnd;       // why snooping stopped
    int robustIterations = 0;
    bool robustConverged = true;
    std::optional<Kakovost> final; // statistics of the final estimation
    std::optional<VarianceComponents> components; // 3r7 with heights as observations
};

// The decision on the prepared sets (3D: vhi.kk, vhv.kk; plane: koo).  Throws
// ComputationError for a name to exclude that is no common point, or when too
// few points remain.
AnalizaVez analiziraj(const PointSet& vhi, const PointSet& vhv, int u, const AnalizaOptions& o);

// Applies it: the end points of the points left out leave vhv (every field),
// the standard deviations the estimation reads are divided by sqrt(weight).
void uporabi(const AnalizaVez& a, PointSet& vhi, PointSet& vhv);

// The members the JSON gains (each line ends with ",\n"; point names from
// Windows-1250), and the sd of the parameters from the converged estimation.
std::string analizaJson(const AnalizaVez& a, const AnalizaOptions& o);

// Lines for the summary: the snooping steps; with robust estimation the three
// lowest weights; else the three points with the largest ratio of test
// statistic to critical value; and the points left out, as checks.
std::string analizaSummary(const AnalizaVez& a, const AnalizaOptions& o);

// The warnings of the analysis (each a line): no test possible, low
// redundancy with the largest MDB, failing points, points left out by
// snooping or down-weighted below 0.1, a robust iteration that did not
// converge, a failing global test.
std::vector<std::string> analizaWarnings(const AnalizaVez& a, const AnalizaOptions& o);

} // namespace kolmo
