#include "geodesy/parelip.h"

#include <cmath>
#include <stdexcept>

namespace kolmo {

Ellipsoid parelip(int elip)
{
    double a = 0, f = 0;
    switch (elip) {
    case 1: a = 6378137.0; f = 1.0 / 298.2572236; break;
    case 2: a = 6378137.0; f = 1.0 / 298.2572221; break;
    case 3: a = 6377397.155; f = 1.0 / 299.1528128533; break;
    default: throw std::invalid_argument("parelip: ellipsoid code must be 1, 2 or 3");
    }
    Ellipsoid el{};
    el.a = a;
    el.b = a * (1.0 - f);
    el.e = std::sqrt((a * a - el.b * el.b) / (a * a));
    el.e2 = std::sqrt((a * a - el.b * el.b) / (el.b * el.b));
    return el;
}

const char* ellipsoidName(int elip)
{
    switch (elip) {
    case 1: return "WGS-84";
    case 2: return "GRS-80";
    case 3: return "Bessel";
    default: return "";
    }
}

} // namespace kolmo
