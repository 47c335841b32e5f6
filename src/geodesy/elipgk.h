// elipgk / gkelip / tmelip: transverse Mercator of the Slovenian zone.
//
// One zone, central meridian 15 deg E, for D96/TM (GRS-80) and D48/GK
// (Gauss-Krueger zone 5, Bessel).  Plane rows (x, y): x the northing, y the
// easting, metres; geodetic rows (fi, la) in decimal degrees.  With mod = 1 the
// scale on the central meridian is 0.9999, otherwise 1; the false easting is
// 500 000 m and 5 000 000 m is subtracted from the northing.
//
// The meridian arc is the series in e^2 to the eighth power,
//   M(fi) = a (1 - e^2) [A1 fi - B1/2 sin 2fi + C/4 sin 4fi - D/6 sin 6fi + E/8 sin 8fi],
// and the projection the classical Gauss-Krueger series to l^6 (forward) and
// y'^6 / y'^5 (inverse), term for term as the national series are written
// (the eta^4 terms of the inverse latitude and the eta^2 terms of the fifth-order
// inverse longitude term are not part of them).  Within the zone (13.25 to
// 16.75 deg E, y 362 to 638 km) and 45-47 deg N the forward series agree with
// an exact transverse Mercator to about a micrometre; the inverse to about
// 0.1 mm, the footpoint tolerance.
//
// The inverse finds the footpoint latitude by iteration on M to 0.1 mm.
//
// Zone limits: elipgk refuses a longitude outside [13.25, 16.75], gkelip an
// easting outside [362000, 638000].  At the first such point they show the
// error box "Izven obmocja 5.cone GK!" titled "Napaka" and return the rows
// converted before it (empty if it is the first).
#pragma once

#include "platform/pointset.h"

#include <utility>

namespace kolmo {

Mat elipgk(const Mat& A, Eigen::Index n, int elip, int mod);
Mat gkelip(const Mat& A, Eigen::Index n, int elip, int mod);

// Plane -> geodetic on GRS-80 with the scale 0.9999, without zone check; with
// several rows only the last row's result is returned.
std::pair<double, double> tmelip(const Mat& A);

// The projection of one point at a time, for computations that stream their
// points: elipgk and gkelip are loops over it, so both give the same values to
// the last bit.  toPlane refuses (returns false, assigns nothing) a longitude
// outside [13.25, 16.75], toGeodetic an easting outside [362000, 638000] or a
// northing outside [-5000000, 5000000] (from the equator to the pole: beyond
// it the series of the inverse put points at latitudes of 139 deg);
// planeBox shows the box the kernels show for such a point (row from 0).
class ZoneProjection {
public:
    ZoneProjection(int elip, int mod);
    bool toPlane(double fi, double la, double& x, double& y) const;
    bool toGeodetic(double x, double y, double& fi, double& la) const;
    // The zone's bounds (NaN lies outside).
    static bool inLongitudes(double la) { return la >= 13.25 && la <= 16.75; }
    static bool inEastings(double y) { return y >= 362000.0 && y <= 638000.0; }
    static bool inNorthings(double x) { return x >= -5000000.0 && x <= 5000000.0; }
    static bool inPlane(double x, double y) { return inEastings(y) && inNorthings(x); }
    // The box of the easting when it is outside, else of the northing.
    static void planeBox(Eigen::Index row, double x, double y);
    static void longitudeBox(Eigen::Index row, double la);
    static void eastingBox(Eigen::Index row, double y);

    // Plane coordinates already without false origin and scale -> latitude
    // and longitude from the central meridian, radians; no zone check.
    std::pair<double, double> inverse(double xp, double yp) const;

private:
    double arc(double fi) const;

    double a_, b_, e2sq_, ep2sq_, A1_, B1_, C_, D_, E_, k_;
};

} // namespace kolmo
