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
//    a weight per point from its standardised misclosure
//      u_i = sqrt(e_i^T M_i^-1 e_i / q) / sigma,
//    sigma a priori or from the weighted misclosures,
//    sigma^2 = sum w_i e_i^T M_i^-1 e_i / (q sum w_i - parameters), and the
//    Danish-method weight function (continuous at c, falling steeply so that
//    a gross error loses its influence) w = 1 for u <= c, w = exp(1 - (u/c)^4)
//    above, c = 2, floored at 1e-10; until no weight moves by 1e-6, at most
//    100 iterations.  The estimation of the report takes the weights as
//    standard deviations of the point's start and end coordinates divided by
//    sqrt(w).
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

inline constexpr double kDanishC = 2.0;

struct SnoopStep {
    std::string point;
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
    std::optional<Kakovost> final; // statistics of the final estimation
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

} // namespace kolmo
