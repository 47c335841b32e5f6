// rackot: a pair of angles from a point file's notation to decimal degrees.
//
//   kot = 1  "ddd.dddddd"  decimal degrees, unchanged
//   kot = 2  "ddd.mmssss"  degrees, two digits of minutes, then seconds with
//                          their decimals: 46.123456 is 46 deg 12' 34.56"
//   kot = 3  "radiani"     radians
// Both angles of the pair are converted alike.  Throws std::invalid_argument
// for any other notation code, and in "ddd.mmssss" for minutes or seconds of
// 60 or more (the text names the value).
#pragma once

#include <utility>

namespace kolmo {

std::pair<double, double> rackot(double X1, double X2, int kot);

} // namespace kolmo
