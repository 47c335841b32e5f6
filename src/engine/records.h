// Records that travel between the engine, the computation and the reports.
//
// Parameter vector PAR of the spatial similarity (7 values): dx, dy, dz in
// metres, alfa, beta, gama in arc seconds, scale change in ppm.  Plane models:
// (a, b, c, d) for four parameters, (a1, a2, a3, b1, b2, b3) for six; c, d,
// a3, b3 in metres, the rest dimensionless.
#pragma once

#include "platform/pointset.h"

#include <Eigen/Core>
#include <array>

namespace kolmo {

// Transformation settings of the main window.
struct TTr {
    int tip = 1;   // 1 "3R: 7-parametrična", 2 "2R: 4-parametrična", 3 "2R: 6-parametrična",
                   // 4 "D96/fi_la -> D96/TM", 5 "D96/TM -> D96/fi_la"
    int izr = 1;   // 1 parametrov in koordinat, 2 koordinat, 3 samo parametrov
    int vis = 1;   // height handling 1..3 (the computation may raise it to 3 or 4)
    int helm = 1;  // 1 = Helmert transformation (equal unit weights)
    int geoid = 1; // 1 SVS2010 (Koper), 2 SVS2000 (Trst)
};

// Results of a transformation.  `koo` is the output coordinates; the spatial
// transformation also fills `eli`, `kk` (Cartesian), `ek` (ellipsoidal) and `gk`
// (plane, height, and for height options 1 and 2 the geoid height N in column 4).
struct Rez {
    Mat koo;
    int tip = 0;
    int eli = 0;
    Mat kk, ek, gk;
};

// Common points: rows of the start set (`i`), of the end set (`v`), the names,
// and for the spatial estimation the start rows transformed with the final
// parameters (`t`).  Row k of every field belongs to the same point, in the
// order of the start set.
struct Vezne {
    Mat i, v;
    Names ime;
    Mat t;
};

// Everything the seven-parameter estimation returns.
struct Par3dResult {
    Vec PAR;                        // 7 values, returned units
    Eigen::Matrix3d R;              // rotation matrix at the start of the last iteration
    std::array<double, 2> m0{};     // from all residuals; from the end-datum differences (m)
    int iter = 0;
    Vezne vezne;
    // Covariance of the transformed common points, block-diagonal with one 3x3
    // block per point: rows 3k..3k+2 hold the block of point k (m^2).
    Mat Zyt;
    Vec v_st;                       // 3n standardised differences
    Vec tau;                        // 3n tau-test ratios
    // Standard deviations of the 7 parameters in the units of PAR (m, arc
    // seconds, ppm): the diagonal of var2 N^-1, with var2 = m0[1]^2 (the
    // variance factor the accuracy of the transformed points takes) and N the
    // normal matrix of the last iteration.  The report does not print them.
    Vec sdPAR;
};

// What the plane estimation returns.
struct Par2dResult {
    Vec PAR;     // 4 or 6 values
    Vezne vezne; // i, v, ime (no t)
    double m0 = 0;
    int iter = 0;
    // Standard deviations of the parameters in the units of PAR: the diagonal
    // of m0^2 N^-1 with N the normal matrix of the last iteration (the report
    // does not print them).
    Vec sdPAR;
};

// Texts of the start-file and end-file labels (`b` empty for a Varnik project).
struct DataLabels {
    std::string a, b;
};

} // namespace kolmo
