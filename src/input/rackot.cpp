#include "input/rackot.h"

#include "geodesy/parelip.h"

#include <cmath>
#include <stdexcept>

namespace kolmo {
namespace {

// "ddd.mmssss" -> decimal degrees.  The minutes are the first two decimals and
// the seconds the rest, scaled by 100.  A value such as 46.03 is held as
// 46.029999..., which read digit by digit would be 46 deg 2' 99.99"; seconds
// of 99.9 or more can only come from that representation error, so the
// minutes are rounded to the whole minute first (46.03 -> 46 deg 3').
// fix truncates toward zero and round rounds half away from zero, so a
// negative angle converts as the mirror image of the positive one.
double fromDdmmss(double x)
{
    const double deg = std::trunc(x);
    double min = (x - deg) * 100.0;
    if (std::abs((min - std::trunc(min)) * 100.0) > 99.9)
        min = std::round(min);
    const double sek = (min - std::trunc(min)) * 100.0;
    return deg + std::trunc(min) / 60.0 + sek / 3600.0;
}

double convert(double x, int kot)
{
    switch (kot) {
    case 1: return x;
    case 2: return fromDdmmss(x);
    case 3: return x * 180.0 / kPi;
    default: throw std::invalid_argument("rackot: angle notation must be 1, 2 or 3");
    }
}

} // namespace

std::pair<double, double> rackot(double X1, double X2, int kot)
{
    return {convert(X1, kot), convert(X2, kot)};
}

} // namespace kolmo
