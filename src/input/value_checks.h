// Values that no survey can hold, refused before they reach a computation:
// a latitude beyond the poles and a negative standard deviation.  (Minutes and
// seconds of 60 or more are refused where angles are read: rackot and the
// Varnik project files; a scale change of -10^6 ppm or less, which would
// shrink the network to a point or mirror it, where parameters are used and
// stored.)
#pragma once

#include "platform/pointset.h"

#include <optional>
#include <string>

namespace kolmo {

struct ImpossibleValue {
    Eigen::Index row;  // from 0
    std::string what;     // "latitude 95 is outside -90 to 90 deg"
    std::string slovene;  // the same in Slovene, for the desktop's error boxes
};

// The first impossible value of `koo`: column 1 is checked as a latitude in
// decimal degrees when `latitude` is set; columns sdFrom .. sdFrom + sdCount - 1
// as standard deviations when the matrix has them all (a narrower matrix gets
// unit standard deviations later and holds none of its own there).
std::optional<ImpossibleValue> impossibleValue(const Mat& koo, bool latitude, Eigen::Index sdFrom,
                                               Eigen::Index sdCount);

// The layouts of the computation: a spatial set (type 1) has standard
// deviations in columns 4-6 and a latitude first when its type is D96/fi_la;
// a plane set (types 2, 3) has them in columns 3-4; the conversion from
// D96/fi_la (type 4) has a latitude first.
std::optional<ImpossibleValue> impossibleValue(const PointSet& p, int transformationType, bool ellipsoidal);

// A scale change that would shrink the network to a point or mirror it
// (dm <= -10^6 ppm): the message for it, or nullopt.  PAR of seven parameters;
// other sizes have no scale change of their own and pass.
std::optional<std::string> impossibleScale(const Vec& PAR);

// A parameter set no survey can use, with the reason; nullopt when it can be
// used.  Refused: a value that is not a finite number; for 7 parameters a
// scale change of -10^6 ppm or less, a rotation beyond 180 deg (648000") or a
// translation beyond 10^8 m (a scale change that puts the points near the
// centre of the Earth or beyond finite numbers is refused with the results);
// for 4 parameters a = b = 0; for 6 a singular matrix (a1 b2 - a2 b1 = 0 or not
// finite); for both a scale factor outside 0.001 to 1000 (sqrt(a^2 + b^2),
// sqrt(|a1 b2 - a2 b1|)): the points would all land within metres of one spot,
// or overflow.
std::optional<std::string> unusableParameters(const Vec& PAR);

} // namespace kolmo
