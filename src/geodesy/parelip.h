// parelip: the reference ellipsoids of the program and their derived parameters.
//
// Codes: 1 WGS-84, 2 GRS-80 (D96), 3 Bessel (D48).  The flattening is held as
// f = 1 / (1/f) with the reciprocals 298.2572236, 298.2572221 and
// 299.1528128533 exactly (not the longer published values).  Derived:
//   b  = a (1 - f)                 semi-minor axis (m)
//   e  = sqrt((a^2 - b^2) / a^2)   first eccentricity
//   e2 = sqrt((a^2 - b^2) / b^2)   second eccentricity e' (not e squared)
// Throws std::invalid_argument for any other code (no caller produces one).
#pragma once

namespace kolmo {

struct Ellipsoid {
    double a, b, e, e2;
};

inline constexpr double kPi = 3.141592653589793;

Ellipsoid parelip(int elip);

// Name of the ellipsoid as the conversion tool lists it ("WGS-84", "GRS-80", "Bessel").
const char* ellipsoidName(int elip);

} // namespace kolmo
