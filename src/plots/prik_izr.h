// prik_izr / prik_izr2: the plot record of a full computation.
//
// For every transformed point the correction interpolated from the residuals
// (given minus transformed) of the common points, with Sandwell's biharmonic
// spline through the residuals at the given end-datum positions (see
// plots/biharmonic.h), evaluated at the transformed positions; the network
// geometry; the tick spacing D for the plots; the outline of the
// transformation area and its area (engine/obod_izr.h).
//
// prik_izr reads the plane projection coordinates of a spatial transformation
// (vhv.gk, rez.gk); prik_izr2 those of a plane transformation (vhv.koo,
// rez.koo).  Columns 1 and 2 are the northing and the easting in metres; the
// transformed rows belong to the names vhi.ime, the end rows to vhv.ime.
//
// Residual of common point c: when a name occurs more than once among the
// start or the end points, the last end row and the last start row of that
// name are used (the pair a scan over all end rows and, inside, all start
// rows would leave last).
//
// Throws ComputationError when a common name has no end or no transformed
// point, when the point lists and coordinate matrices disagree in length,
// and when the spline system is singular (fewer than two common points, or
// two at the same position).
#pragma once

#include "engine/records.h"
#include "platform/pointset.h"
#include "plots/prik.h"

namespace kolmo {

Prik prik_izr(const PointSet& vhi, const PointSet& vhv, const Rez& rez, const Vezne& vezne);
Prik prik_izr2(const PointSet& vhi, const PointSet& vhv, const Rez& rez, const Vezne& vezne);

// Tick spacing of the network plots for a network whose larger side is dd metres.
double tickSpacing(double dd);

} // namespace kolmo
