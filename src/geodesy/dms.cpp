#include "geodesy/dms.h"

#include <cmath>

namespace kolmo {

std::array<double, 3> dms(double kot_dec)
{
    const double d = std::floor(kot_dec);
    const double m = std::floor((kot_dec - d) * 60.0);
    const double s = ((kot_dec - d) * 60.0 - m) * 60.0;
    return {d, m, s};
}

} // namespace kolmo
