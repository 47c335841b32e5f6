// Windows-1250 at the edges: files hold Slovene text as single bytes of that
// code page, the program works in UTF-8.  Converted once, where text crosses.
#pragma once

#include <string>
#include <string_view>

namespace kolmo::platform {

// UTF-8 -> Windows-1250.  Characters without a code in the page become '?'.
std::string toCp1250(std::string_view utf8);
// Whether `utf8` is valid UTF-8 whose every character has a code in
// Windows-1250 (toCp1250 loses nothing).
bool representableInCp1250(std::string_view utf8);

// Windows-1250 -> UTF-8 (every byte has a meaning except five unused codes,
// which become U+FFFD).
std::string fromCp1250(std::string_view cp1250);

} // namespace kolmo::platform
