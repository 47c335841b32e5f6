// tran3d: spatial similarity (or a reduced form of it) applied to Cartesian points.
//
// Parameter vector PAR, by its length nPar:
//   3  dx, dy, dz                         y = d + x
//   4  dx, dy, dz, m                      y = d + s x,      s = 1 + m 1e-6
//   6  dx, dy, dz, alfa, beta, gama       y = d + R x
//   7  dx, dy, dz, alfa, beta, gama, m    y = d + s R x,    s = 1 + m 1e-6
// Translations in metres, rotations in arc seconds, the scale change m in ppm.
//
// Rotation convention.  R = R3(gama) R2(beta) R1(alfa) with the elementary
// rotations
//   R1(a) = [1 0 0; 0 cos a  sin a; 0 -sin a cos a]
//   R2(b) = [cos b 0 -sin b; 0 1 0; sin b 0 cos b]
//   R3(g) = [cos g  sin g 0; -sin g cos g 0; 0 0 1]
// i.e. each factor turns the coordinate axes (not the point) by a positive
// angle, the coordinate-frame sense.  Multiplied out (ca = cos alfa, ...):
//   D11 =  cb cg   D12 = ca sg + sa sb cg   D13 = sa sg - ca sb cg
//   D21 = -cb sg   D22 = ca cg - sa sb sg   D23 = sa cg + ca sb sg
//   D31 =  sb      D32 = -sa cb             D33 = ca cb
// and for small angles R ~ [1 gama -beta; -gama 1 alfa; beta -alfa 1], so a
// gama of 1" alone moves (X, Y, Z) by (Y, -X, 0) * 4.848e-6.  The estimation
// (par3d_7) and the transformation of points (tran3d_7) use this one matrix.
//
// X: one row per point, at least three columns (only 1-3 are read), metres.
// Result n x 3, metres.  Throws std::invalid_argument for an nPar other than
// 3, 4, 6, 7, a PAR shorter than nPar or an X of fewer than three columns.
#pragma once

#include "platform/pointset.h"

#include <Eigen/Core>

namespace kolmo {

// D11 ... D33 for rotations in radians.
Eigen::Matrix3d rot3d(double alfa, double beta, double gama);

// Arc seconds -> radians, as value / 3600 * pi / 180.
double arcsecToRad(double sec);

Mat tran3d(const Mat& X, const Vec& PAR, int nPar);

// y = d + s R x of six or seven parameters (nPar as above) for one point at a
// time, for computations that stream their points; tran3d applies it to
// every row, so both give the same values to the last bit.  The operations
// go in the order y_k = d_k + ((s X) R_k1 + (s Y) R_k2 + (s Z) R_k3): the
// scale on the coordinates first, then the rows of R.
class Similarity {
public:
    Similarity(const Vec& PAR, int nPar);
    void apply(double X, double Y, double Z, double& x, double& y, double& z) const
    {
        const double sx = s_ * X, sy = s_ * Y, sz = s_ * Z;
        x = d_[0] + (sx * R_(0, 0) + sy * R_(0, 1) + sz * R_(0, 2));
        y = d_[1] + (sx * R_(1, 0) + sy * R_(1, 1) + sz * R_(1, 2));
        z = d_[2] + (sx * R_(2, 0) + sy * R_(2, 1) + sz * R_(2, 2));
    }

private:
    Eigen::Matrix3d R_;
    double s_;
    double d_[3];
};

} // namespace kolmo
