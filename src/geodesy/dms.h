// dms: a decimal-degree angle split into degrees, minutes and seconds for printing.
//
//   d = floor(x),  m = floor(60 (x - d)),  s = 60 (60 (x - d) - m)
// Floor rounds toward minus infinity, so -0.5 gives (-1, 30, 0).  Seconds keep
// their fraction; no rounding and no carry: a value a hair below a whole minute
// yields s just below 60.
#pragma once

#include <array>

namespace kolmo {

std::array<double, 3> dms(double kot_dec);

} // namespace kolmo
