// Preparation of the loaded point sets for the transformations.
//
// t_priprava (spatial, seven parameters): ellipsoid codes by coordinate type
// (GRS-80 for the D96 types, Bessel for D48/GK), the height-option overrides
// for plane start points, unit standard deviations where the file gave none,
// removal of the zone digit (5 000 000) from plane coordinates, plane ->
// ellipsoidal (gkelip) and ellipsoidal -> Cartesian (elipkart) coordinates, and
// equal weights for the Helmert variant.  End points are prepared only when
// parameters are estimated (izr != 2).
//
// t_priprava2d (plane, four or six parameters): zone-digit removal and unit
// standard deviations where missing or for the Helmert variant.
//
// Both change the sets in place and throw ComputationError where a projection
// stops at a point outside the zone.
#pragma once

#include "engine/records.h"

namespace kolmo {

void t_priprava(PointSet& vhi, PointSet& vhv, const Rez& rez, TTr& t_tr);
void t_priprava2d(PointSet& vhi, PointSet& vhv, const TTr& t_tr);

// Subtracts 5 000 000 from the values of columns 1 and 2 that exceed it
// (plane coordinates written with the leading zone digit 5).
void stripZoneDigit(Mat& koo);

} // namespace kolmo
