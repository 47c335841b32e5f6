// Short decimal numbers for the vector writers: at most `decimals` places,
// trailing zeros and a trailing point dropped ("12.5", "3", "-0.25").
#pragma once

#include <charconv>
#include <cmath>
#include <string>

namespace kolmo::plot {

inline void appendNumber(std::string& out, double v, int decimals = 2)
{
    if (!std::isfinite(v))
        v = 0;
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    char* end = r.ptr;
    if (decimals > 0) {
        while (end > buf && end[-1] == '0')
            --end;
        if (end > buf && end[-1] == '.')
            --end;
    }
    if (end - buf == 2 && buf[0] == '-' && buf[1] == '0')
        buf[0] = '0', end = buf + 1;
    out.append(buf, end);
}

} // namespace kolmo::plot
