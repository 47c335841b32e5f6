// Fast fixed-notation number text for large result files.
//
// appendFixed(s, v, w, p) appends exactly what printf("%w.pf", v) writes: the
// number correctly rounded to p decimals (ties as the binary value decides),
// right-aligned in at least w characters.  std::to_chars gives, by the C++ standard,
// the same digits as printf in the C locale and runs an order of magnitude
// faster than glibc's multi-precision printf, which matters for a million points.
// appendPadded(s, text, w) appends what printf("%-ws", text) writes.
#pragma once

#include <string>
#include <string_view>

namespace kolmo {

void appendFixed(std::string& s, double v, int width, int precision);
void appendPadded(std::string& s, const char* text, int width);

} // namespace kolmo
