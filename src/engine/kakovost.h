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
//   Cov(parameters) = sigma^2 N^-1  (sigma: a priori when given, else sigma0)
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
// Standard deviations of a spatial point: the files give them for north, east
// and height, so the covariance of the geocentric point is E^T diag(s_n^2,
// s_e^2, s_h^2) E with E the local frame at the point (rows n, e, up), in
// each datum.  (The estimation behind the report takes them as those of X, Y,
// Z; with equal standard deviations the two agree.)
//
// Heights that are no observations (D96 latitude and longitude with the
// heights of both datums set to 0): the height component of a point gets no
// test, no MDB and no redundancy number, and sigma0 comes from the
// horizontal components alone, sigma0^2 = sum Omega_c / sum r_c over them,
// with Omega_c = e_c (P e)_c in the local frame (E(Omega_c) = sigma^2 r_c).
//
// Weights below 1 (robust estimation) make a point less than a full
// observation: its components count min(w, 1) r_c in the redundancy.
//
// The point test decides at alpha_q, not alpha0 (the B-method): the
// q-dimensional test has at the MDB of the one-dimensional w-test (alpha0,
// beta0) the same power beta0, so a bias of one MDB is found with
// probability beta0 (sigma known).
//
// Throws ComputationError: fewer used points than the model needs
// (q n - u < 1), a singular normal matrix or a point without weight,
// no convergence in 50 iterations.  A redundancy too small for the point
// tests leaves them out (Kakovost::testable).
#pragma once

#include "engine/records.h"

#include <vector>

namespace kolmo {

struct KakovostOptions {
    double alpha = 0.001; // significance alpha0 of the point and component tests
    double beta = 0.80;   // power beta0 of the minimal detectable biases
    double sigma0 = 0;    // a-priori standard deviation of unit weight (m); 0: a posteriori
    bool heightsObserved = true; // 3r7: false when the heights of both datums were set to 0
    // Factors of the variances of the horizontal and the height components
    // of every point (variance components; plane: the first alone).
    double horizontalFactor = 1, heightFactor = 1;
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
    Eigen::Vector3d omega{0, 0, 0};                // Omega_c = e_c (P e)_c in the local frame (used points)
    Eigen::Vector3d standardised{0, 0, 0};         // e_c / sqrt(Q_c) with Q = M + (1 - 2w) B N^-1 B^T, weight 1
    double fMf = 0; // e_i^T M_i^-1 e_i with M_i of weight 1 (m^2 over the unit variance)
    bool fails() const { return T > Tcrit; }
};

struct Kakovost {
    int u = 0, q = 0;   // parameters, coordinates per point
    Vec par;            // converged parameters in the units of PAR
    Mat cov;            // their covariance sigmaTest^2 N^-1, units of PAR squared
    Vec sd;
    Mat corr;
    int qt = 0;         // components tested per point (2 when heights are no observations)
    double sigma0 = 0;  // a posteriori, from the converged residuals of the tested components (m)
    double sigmaTest = 0; // the one the MDBs and the covariance take: a priori, or sigma0
    bool apriori = false;
    int redundancy = 0; // r = q n_used - u
    double dof = 0;     // effective redundancy of the tested components (weights, heights)
    bool testable = false; // enough redundancy for the point tests
    double alphaPoint = 0; // alpha_q of the point test (B-method)
    double omegaTested = 0; // sum of Omega_c over the tested components
    // Groups of the variance components: horizontal (n, e) and height.
    double omegaHorizontal = 0, omegaHeight = 0, rHorizontal = 0, rHeight = 0;
    // Global test of the variance factor (a priori sigma0 only): Omega / sigma0^2 ~ chi^2(dof).
    double globalStatistic = 0, globalCritical = 0;
    bool globalPasses() const { return !(globalStatistic > globalCritical); }
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

// Covariance of a point transformed with the estimated parameters, from
// their covariance (k.cov) alone, in the local frame of the transformed point
// (n, e, h; plane: n, e): J Cov J^T with J the derivatives of the
// transformed point by the parameters (central differences of the model of
// tran3d / tran2d_p, linear in the parameters to far below their sd).  `start`:
// X, Y, Z (3r7) or x, y of the start point.  Add the point's own variances for
// a point whose start coordinates carry errors.
Eigen::MatrixXd transformedCovariance(const Kakovost& k, const Eigen::VectorXd& start);

// Two-sided critical value of a test statistic of one dimension at alpha:
// the normal quantile for dof <= 0 (a priori), otherwise that of t(dof).
double wCritical(double alpha, double dof);

// alpha_q of the q-dimensional test whose power at the non-centrality of the
// one-dimensional test (alpha0, beta0) is beta0 (the B-method); q = 1 gives alpha0.
double alphaOfPointTest(double alpha0, double beta0, int q);

} // namespace kolmo
