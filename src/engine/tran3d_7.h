// tran3d_7: all start points of a computation through the seven-parameter
// similarity, with ellipsoidal, plane and height values in the end datum.
//
// Inputs: vhi.kk columns 1-3 Cartesian X, Y, Z (m) on the start ellipsoid,
// vhi.ek columns 1-2 latitude and longitude of the start points (decimal
// degrees, used for the geoid height), vhi.koo column 3 the height from the
// point file; the number of points is the number of rows of vhi.koo.
// vhv.tip the end coordinate type (1 D96/fi_la, 2 D96/TM, 3 D48/GK); rez.tip
// 1 for ellipsoidal output, otherwise plane.  PAR: 7 parameters (m, arc
// seconds, ppm; rotation convention in tran3d.h).  t_tr.vis the height
// option, t_tr.geoid the height system; pot_prg the program folder with the
// geoid models.
//
// Output (rez, other fields as handed in):
//   eli  2 (GRS-80) for a D96 end type, 3 (Bessel) for D48/GK
//   kk   n x 3 transformed X, Y, Z (m)
//   ek   n x 3 latitude, longitude (deg), ellipsoidal height h (m) on rez.eli
//   gk   x, y of the zone projection (m), the height by t_tr.vis:
//          1, 2  H = vhi.koo(:, 3) - N, N the geoid height at the start
//                point, N itself in column 4 (n x 4)
//          3     h = ek(:, 3) (n x 3)
//          other vhi.koo(:, 3) unchanged (n x 3)
//   koo  ek when rez.tip = 1, otherwise gk
//
// The points are transformed in Cartesian coordinates only; ellipsoidal and
// plane values are derived from the transformed X, Y, Z.
//
// Throws ComputationError when a transformed point lies outside the zone of
// the projection (after elipgk's own error box), when a height is needed and
// vhi.koo has no third column, or when the inputs have too few rows or
// columns; DataFileError from the geoid model.
#pragma once

#include "engine/records.h"
#include "platform/pointset.h"

#include <filesystem>

namespace kolmo {

Rez tran3d_7(const PointSet& vhi, const PointSet& vhv, Rez rez, const Vec& PAR, const TTr& t_tr,
             const std::filesystem::path& pot_prg);

} // namespace kolmo
