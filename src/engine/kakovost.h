// kakovost: the quality of a transformation estimated from common points --
// the precision of the parameters and, point by point, residuals, redundancy
// numbers, Baarda's tests and minimal detectable biases.
//
// The adjustment is that of par3d_7 and par2d_p (Gauss-Helmert: the start and
// the end coordinates of every common point are observations), carried on
// until the corrections are at the level of rounding, and every figure below
// is taken from that converged solution.  (The estimations behind the report
// stop at a correction of about a millimetre and form their m0 from the
// linearisation before the last correction; the report keeps those.)
//
// The models, for a start point x and an end point y of point i:
//   7 parameters:  y = d + s R x  (Cartesian X, Y, Z, m; R as in tran3d.h)
//   4 parameters:  y1 = a x1 - b x2 + c,     y2 = b x1 + a x2 + d
//   6 parameters:  y1 = a1 x1 + a2 x2 + a3,  y2 = b1 x1 + b2 x2 + b3
// Inside, the coordinates are reduced to the centroids of the used points
// (the translations become those of the centroid: a well-conditioned normal
// matrix); the covariance is carried to the parameters of the model above by
// the Jacobian of that change.
//
// Per point the q = 3 (spatial) or 2 (plane) condition equations have the
// misclosure e_i = y_i - F(x_i) (given end minus transformed start) with the
// cofactor M_i = A_i Q_i A_i^T (A_i the derivatives by the observations, Q_i
// their variances from the standard deviations, divided by the point's weight
// w_i).  With P = M^-1 and N = B^T P B:
//   sigma0^2 = e^T P e / r,  r = q n - u                a posteriori
//   Cov(parameters) = sigma0^2 N^-1
//   Q_ee = M - B N^-1 B^T                               cofactor of e
//   redundancy matrix Q_ee P; its diagonal blocks, turned into the local
//   north, east, height frame of the point, give the redundancy numbers, which
//   add up to r.
// Baarda's tests of point i (C selects its q misclosures): with a = P_i e_i and
// S = (P Q_ee P)_ii, the estimated bias is S^-1 a and
//   T_i = a^T S^-1 a / (q sigma^2)
// where sigma is sigma0 a priori (T ~ F(q, inf)), or a posteriori without the
// point, sigma^2 = (e^T P e - a^T S^-1 a) / (r - q) (T ~ F(q, r - q), exact:
// the point's part is independent of the rest).  The component j (unit
// vector c in the local frame) has w_j = c^T a / (sigma sqrt(c^T S c)),
// critical value the two-sided normal or t(r - q) quantile at alpha0, and the
// minimal detectable bias MDB_j = sigma sqrt(lambda0) / sqrt(c^T S c) with
// sqrt(lambda0) = z(1 - alpha0/2) + z(beta0) (the one-dimensional test at power
// beta0; sigma here the a-priori value or sigma0 a posteriori).
// A point left out of the estimation (a check) has the same figures from the
// prediction: Q_ee = M_i + B_i N^-1 B_i^T, S = P_i Q_ee P_i, sigma without it
// = sigma0; it has no redundancy numbers.
//
// The local frame of a spatial point: north, east and up of the ellipsoid
// normal at its latitude and longitude (GRS-80 for both datums: the
// orientation differs by less than 1e-5 rad between the two ellipsoids).
// Plane points: x is the northing, y the easting.
//
// Throws ComputationError: fewer used points than the model needs
// (redundancy r < 1), a singular normal matrix or a point without weight,
// no convergence in 50 iterations.
#pragma once

#include "engine/records.h"

#include <vector>

namespace kolmo {

struct KakovostOptions {
    double alpha = 0.001; // significance alpha0 of the point and component tests
    double beta = 0.80;   // power beta0 of the minimal detectable biases
    double sigma0 = 0;    // a-priori standard deviation of unit weight (m); 0: a posteriori
};

// Figures of one common point; vectors hold n, e, h (plane: n, e; third 0).
struct TockaKakovost {
    bool used = true;
    double weight = 1;
    Eigen::Vector3d vStart{0, 0, 0}, vEnd{0, 0, 0}; // residuals of the start and end coordinates (m)
    Eigen::Vector3d misclosure{0, 0, 0};           // given end minus transformed start (m)
    Eigen::Vector3d redundancy{0, 0, 0};           // redundancy numbers (checks: none)
    double T = 0, Tcrit = 0;                       // point test and its critical value
    Eigen::Vector3d w{0, 0, 0};                    // w-statistics of the components
    double wCrit = 0;
    Eigen::Vector3d mdb{0, 0, 0};                  // minimal detectable biases (m)
    Eigen::Vector3d bias{0, 0, 0};                 // estimated bias of the point (m)
    int dominant = 0;                              // component of the largest |w|
    double fMf = 0; // e_i^T M_i^-1 e_i with M_i of weight 1 (m^2 over the unit variance)
    bool fails() const { return T > Tcrit; }
};

struct Kakovost {
    int u = 0, q = 0;   // parameters, coordinates per point
    Vec par;            // converged parameters in the units of PAR
    Mat cov;            // their covariance sigma0^2 N^-1, units of PAR squared
    Vec sd;
    Mat corr;
    double sigma0 = 0;  // a posteriori, from the converged residuals (m)
    double sigmaTest = 0; // the one the MDBs take: a priori, or sigma0
    bool apriori = false;
    int redundancy = 0; // r = q n_used - u
    int iterations = 0;
    double lastCorrection = 0; // largest of the last correction, metres at the network
    std::vector<TockaKakovost> tocke;
};

// vezne.i, vezne.v: 3D coordinates X, Y, Z and standard deviations (6 columns),
// plane ones x, y and standard deviations (standard deviations of 1 where
// missing); u = 7, 4 or 6.  `used` and `weights` per common point (empty:
// all used, weight 1).
Kakovost kakovost(const Vezne& vezne, int u, const std::vector<bool>& used, const std::vector<double>& weights,
                  const KakovostOptions& options);

// Two-sided critical value of a test statistic of one dimension at alpha:
// the normal quantile for dof <= 0 (a priori), otherwise that of t(dof).
double wCritical(double alpha, double dof);

} // namespace kolmo
