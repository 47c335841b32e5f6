// PointSet: the points of one datum.
//
// `ime` holds the point names as the file gave them (bytes of the Windows-1250
// code page, written back byte for byte); `koo` one row per point: coordinates,
// then standard deviations.  Latitude and longitude are decimal degrees,
// plane coordinates and heights metres; x is the northing, y the easting.
// The computation adds `eli` (ellipsoid code), `ek` (ellipsoidal coordinates),
// `kk` (Cartesian X, Y, Z and standard deviations) and `gk` (plane coordinates).
#pragma once

#include <Eigen/Core>
#include <string>
#include <vector>

namespace kolmo {

using Mat = Eigen::MatrixXd;
using Vec = Eigen::VectorXd;
using Names = std::vector<std::string>;

struct PointSet {
    Names ime;
    Mat koo;
    int tip = 0;   // coordinate type code; 0 until set
    int eli = 0;   // ellipsoid code of the Cartesian and ellipsoidal fields
    Mat ek, kk, gk;

    Eigen::Index size() const { return koo.rows(); }
};

} // namespace kolmo
