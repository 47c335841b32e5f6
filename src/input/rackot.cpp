#include "input/rackot.h"

#include "geodesy/parelip.h"
#include "platform/numtext.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace kolmo {
namespace {

// Values named in messages.
std::string text(double v) { return platform::numberText(v, 10); }

// "ddd.mmssss" -> decimal degrees.  The minutes are the first two decimals and
// the seconds the rest, scaled by 100.  A value such as 46.03 is held as
// 46.029999..., which read digit by digit would be 46 deg 2' 99.99"; seconds
// of 99.9 or more can only come from that representation error, so the
// minutes are rounded to the whole minute first (46.03 -> 46 deg 3').
// fix truncates toward zero and round rounds half away from zero, so a
// negative angle converts as the mirror image of the positive one.
//
// Minutes and seconds of 60 or more are no angle: 46.99 read as 46 deg 99'
// would move a point by 70 km.  Such a value is refused.  The seconds may
// come out a hair below their written value (46.0560 as 59.99999999999"), so
// the limit for them lies 1e-10" below 60, far beneath any precision a
// surveyor writes and far above the rounding of the arithmetic (1e-12").
double fromDdmmss(double x)
{
    const double deg = std::trunc(x);
    double min = (x - deg) * 100.0;
    if (std::abs((min - std::trunc(min)) * 100.0) > 99.9)
        min = std::round(min);
    const double sek = (min - std::trunc(min)) * 100.0;
    if (std::abs(std::trunc(min)) >= 60.0)
        throw std::invalid_argument(text(x) + " in ddd.mmssss notation has " + text(std::abs(std::trunc(min))) +
                                    " minutes (60 or more)");
    if (std::abs(sek) > 60.0 - 1e-10)
        throw std::invalid_argument(text(x) + " in ddd.mmssss notation has " + text(std::abs(sek)) +
                                    " seconds (60 or more)");
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
