#include "tools/fixed_text.h"

#include <charconv>
#include <cstring>

namespace kolmo {

void appendFixed(std::string& s, double v, int width, int precision)
{
    // Room for the largest double in fixed notation with its decimals.
    char buf[384];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
    const auto len = r.ec == std::errc() ? static_cast<int>(r.ptr - buf) : 0;
    if (len < width)
        s.append(static_cast<std::size_t>(width - len), ' ');
    s.append(buf, static_cast<std::size_t>(len));
}

void appendPadded(std::string& s, const char* text, int width)
{
    const auto len = std::strlen(text);
    s.append(text, len);
    if (static_cast<int>(len) < width)
        s.append(static_cast<std::size_t>(width) - len, ' ');
}

} // namespace kolmo
