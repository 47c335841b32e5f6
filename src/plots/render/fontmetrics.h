// Font metrics of the plots: the advance widths of Helvetica (and of the
// fonts made to its measure: Nimbus Sans, Arial, Liberation Sans) for the
// characters of the Windows-1250 code page, regular and bold, in 1/1000 of
// the font size.  The layout measures every text with this table, so the
// image files, the vector files and the screen place texts alike whatever
// fonts the machine has.  The table also gives each character's glyph name
// for the PostScript encoding of the EPS writer.
//
// The widths are those of the URW Nimbus Sans metrics (NimbusSans-Regular.afm
// and NimbusSans-Bold.afm, urw-base35), which equal Helvetica's.  A character
// outside the code page is measured (and written) as "?".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo::plot {

struct GlyphMetrics {
    unsigned char code;    // Windows-1250 byte
    char32_t unicode;
    const char* name;      // PostScript glyph name
    std::int16_t width;    // regular, 1/1000 em
    std::int16_t boldWidth;
};

// The printable characters of Windows-1250 (0x20..0xFF, the unused codes
// left out), ascending by code.
const std::vector<GlyphMetrics>& cp1250Glyphs();

// Width of UTF-8 `text` at font size `size` (same unit as the result).
double textWidth(std::string_view text, double size, bool bold = false);

// Advance width of one character, 1/1000 em.
int charWidth(char32_t c, bool bold = false);

// Height above the baseline of capitals and below it of descenders, as
// fractions of the font size (Helvetica's cap height and descender).
inline constexpr double kAscent = 0.718;
inline constexpr double kDescent = 0.207;

// UTF-8 -> code points; an invalid sequence gives U+FFFD and moves on by one byte.
std::u32string decodeUtf8(std::string_view text);

// The Windows-1250 byte of a code point, or '?' when the page has none.
unsigned char cp1250Code(char32_t c);

} // namespace kolmo::plot
