// elipkart / kartelip: ellipsoidal <-> geocentric Cartesian coordinates.
//
// Ellipsoidal rows (fi, la, h): latitude and longitude in decimal degrees,
// ellipsoidal height in metres.  Cartesian rows (X, Y, Z) in metres, X toward
// longitude 0 in the equator plane, Y toward 90 deg E, Z toward the north pole.
// Only columns 1-3 of A are read, rows 1..n; the result is n x 3.
//
// elipkart:  N = a / sqrt(1 - e^2 sin^2 fi)
//            X = (N + h) cos fi cos la,  Y = (N + h) cos fi sin la,
//            Z = ((1 - e^2) N + h) sin fi
// kartelip:  closed form with the auxiliary angle theta (Bowring, one pass):
//            theta = atan(Z a / (p b)),
//            fi = atan((Z + e'^2 b sin^3 theta) / (p - e^2 a cos^3 theta)),
//            h = p / cos fi - N (within 0.6 deg of a pole the equivalent
//            h = p cos fi + Z sin fi - a^2 / N, which keeps its accuracy up to
//            the axis); longitudes in [0, 360).  On the polar axis (p = 0)
//            fi = +-90 deg and h = |Z| - b.
//            Accuracy: better than 0.1 mm in height and 1e-9 deg for points
//            near the Earth's surface, the poles included.
//            The centre of the Earth (0, 0, 0) has no latitude or height,
//            nor has a point within 50 km of it (inside the evolute of the
//            meridian ellipse the latitude is not unique) or a coordinate
//            that is not a finite number: ComputationError naming the row.
// A matrix of fewer than three columns shows the error box "Premalo stevilo
// stolpcev v podatkih!" titled "Napaka" and returns an empty matrix.
#pragma once

#include "platform/pointset.h"

namespace kolmo {

Mat elipkart(const Mat& A, Eigen::Index n, int elip);
Mat kartelip(const Mat& A, Eigen::Index n, int elip);

// One point at a time, for computations that stream their points: elipkart
// and kartelip are loops over it, so both give the same values to the last
// bit.  toEllipsoidal throws the ComputationError of kartelip for the centre
// of the Earth, naming `row` (from 0).
class CartesianConversion {
public:
    explicit CartesianConversion(int elip);
    void toCartesian(double fi, double la, double h, double& X, double& Y, double& Z) const;
    void toEllipsoidal(double X, double Y, double Z, double& fi, double& la, double& h, Eigen::Index row) const;

private:
    double a_, b_, e2sq_, ep2sq_;
};

} // namespace kolmo
