#include "plots/render/fontmetrics.h"

#include <algorithm>
#include <array>

namespace kolmo::plot {

namespace {

// code, unicode, glyph name, width, bold width (NimbusSans-Regular/Bold.afm).
const std::vector<GlyphMetrics> kGlyphs = {
    {0x20, 0x0020, "space", 278, 278},
    {0x21, 0x0021, "exclam", 278, 333},
    {0x22, 0x0022, "quotedbl", 355, 474},
    {0x23, 0x0023, "numbersign", 556, 556},
    {0x24, 0x0024, "dollar", 556, 556},
    {0x25, 0x0025, "percent", 889, 889},
    {0x26, 0x0026, "ampersand", 667, 722},
    {0x27, 0x0027, "quotesingle", 191, 238},
    {0x28, 0x0028, "parenleft", 333, 333},
    {0x29, 0x0029, "parenright", 333, 333},
    {0x2A, 0x002A, "asterisk", 389, 389},
    {0x2B, 0x002B, "plus", 584, 584},
    {0x2C, 0x002C, "comma", 278, 278},
    {0x2D, 0x002D, "hyphen", 333, 333},
    {0x2E, 0x002E, "period", 278, 278},
    {0x2F, 0x002F, "slash", 278, 278},
    {0x30, 0x0030, "zero", 556, 556},
    {0x31, 0x0031, "one", 556, 556},
    {0x32, 0x0032, "two", 556, 556},
    {0x33, 0x0033, "three", 556, 556},
    {0x34, 0x0034, "four", 556, 556},
    {0x35, 0x0035, "five", 556, 556},
    {0x36, 0x0036, "six", 556, 556},
    {0x37, 0x0037, "seven", 556, 556},
    {0x38, 0x0038, "eight", 556, 556},
    {0x39, 0x0039, "nine", 556, 556},
    {0x3A, 0x003A, "colon", 278, 333},
    {0x3B, 0x003B, "semicolon", 278, 333},
    {0x3C, 0x003C, "less", 584, 584},
    {0x3D, 0x003D, "equal", 584, 584},
    {0x3E, 0x003E, "greater", 584, 584},
    {0x3F, 0x003F, "question", 556, 611},
    {0x40, 0x0040, "at", 1015, 975},
    {0x41, 0x0041, "A", 667, 722},
    {0x42, 0x0042, "B", 667, 722},
    {0x43, 0x0043, "C", 722, 722},
    {0x44, 0x0044, "D", 722, 722},
    {0x45, 0x0045, "E", 667, 667},
    {0x46, 0x0046, "F", 611, 611},
    {0x47, 0x0047, "G", 778, 778},
    {0x48, 0x0048, "H", 722, 722},
    {0x49, 0x0049, "I", 278, 278},
    {0x4A, 0x004A, "J", 500, 556},
    {0x4B, 0x004B, "K", 667, 722},
    {0x4C, 0x004C, "L", 556, 611},
    {0x4D, 0x004D, "M", 833, 833},
    {0x4E, 0x004E, "N", 722, 722},
    {0x4F, 0x004F, "O", 778, 778},
    {0x50, 0x0050, "P", 667, 667},
    {0x51, 0x0051, "Q", 778, 778},
    {0x52, 0x0052, "R", 722, 722},
    {0x53, 0x0053, "S", 667, 667},
    {0x54, 0x0054, "T", 611, 611},
    {0x55, 0x0055, "U", 722, 722},
    {0x56, 0x0056, "V", 667, 667},
    {0x57, 0x0057, "W", 944, 944},
    {0x58, 0x0058, "X", 667, 667},
    {0x59, 0x0059, "Y", 667, 667},
    {0x5A, 0x005A, "Z", 611, 611},
    {0x5B, 0x005B, "bracketleft", 278, 333},
    {0x5C, 0x005C, "backslash", 278, 278},
    {0x5D, 0x005D, "bracketright", 278, 333},
    {0x5E, 0x005E, "asciicircum", 469, 584},
    {0x5F, 0x005F, "underscore", 556, 556},
    {0x60, 0x0060, "grave", 333, 333},
    {0x61, 0x0061, "a", 556, 556},
    {0x62, 0x0062, "b", 556, 611},
    {0x63, 0x0063, "c", 500, 556},
    {0x64, 0x0064, "d", 556, 611},
    {0x65, 0x0065, "e", 556, 556},
    {0x66, 0x0066, "f", 278, 333},
    {0x67, 0x0067, "g", 556, 611},
    {0x68, 0x0068, "h", 556, 611},
    {0x69, 0x0069, "i", 222, 278},
    {0x6A, 0x006A, "j", 222, 278},
    {0x6B, 0x006B, "k", 500, 556},
    {0x6C, 0x006C, "l", 222, 278},
    {0x6D, 0x006D, "m", 833, 889},
    {0x6E, 0x006E, "n", 556, 611},
    {0x6F, 0x006F, "o", 556, 611},
    {0x70, 0x0070, "p", 556, 611},
    {0x71, 0x0071, "q", 556, 611},
    {0x72, 0x0072, "r", 333, 389},
    {0x73, 0x0073, "s", 500, 556},
    {0x74, 0x0074, "t", 278, 333},
    {0x75, 0x0075, "u", 556, 611},
    {0x76, 0x0076, "v", 500, 556},
    {0x77, 0x0077, "w", 722, 778},
    {0x78, 0x0078, "x", 500, 556},
    {0x79, 0x0079, "y", 500, 556},
    {0x7A, 0x007A, "z", 500, 500},
    {0x7B, 0x007B, "braceleft", 334, 389},
    {0x7C, 0x007C, "bar", 260, 280},
    {0x7D, 0x007D, "braceright", 334, 389},
    {0x7E, 0x007E, "asciitilde", 584, 584},
    {0x80, 0x20AC, "Euro", 556, 556},
    {0x82, 0x201A, "quotesinglbase", 222, 278},
    {0x84, 0x201E, "quotedblbase", 333, 500},
    {0x85, 0x2026, "ellipsis", 1000, 1000},
    {0x86, 0x2020, "dagger", 556, 556},
    {0x87, 0x2021, "daggerdbl", 556, 556},
    {0x89, 0x2030, "perthousand", 1000, 1000},
    {0x8A, 0x0160, "Scaron", 667, 667},
    {0x8B, 0x2039, "guilsinglleft", 333, 333},
    {0x8C, 0x015A, "Sacute", 667, 667},
    {0x8D, 0x0164, "Tcaron", 611, 611},
    {0x8E, 0x017D, "Zcaron", 611, 611},
    {0x8F, 0x0179, "Zacute", 611, 611},
    {0x91, 0x2018, "quoteleft", 222, 278},
    {0x92, 0x2019, "quoteright", 222, 278},
    {0x93, 0x201C, "quotedblleft", 333, 500},
    {0x94, 0x201D, "quotedblright", 333, 500},
    {0x95, 0x2022, "bullet", 350, 350},
    {0x96, 0x2013, "endash", 556, 556},
    {0x97, 0x2014, "emdash", 1000, 1000},
    {0x99, 0x2122, "trademark", 1000, 1000},
    {0x9A, 0x0161, "scaron", 500, 556},
    {0x9B, 0x203A, "guilsinglright", 333, 333},
    {0x9C, 0x015B, "sacute", 500, 556},
    {0x9D, 0x0165, "tcaron", 317, 389},
    {0x9E, 0x017E, "zcaron", 500, 500},
    {0x9F, 0x017A, "zacute", 500, 500},
    {0xA0, 0x00A0, "space", 278, 278},
    {0xA1, 0x02C7, "caron", 333, 333},
    {0xA2, 0x02D8, "breve", 333, 333},
    {0xA3, 0x0141, "Lslash", 556, 611},
    {0xA4, 0x00A4, "currency", 556, 556},
    {0xA5, 0x0104, "Aogonek", 667, 722},
    {0xA6, 0x00A6, "brokenbar", 260, 280},
    {0xA7, 0x00A7, "section", 556, 556},
    {0xA8, 0x00A8, "dieresis", 333, 333},
    {0xA9, 0x00A9, "copyright", 737, 737},
    {0xAA, 0x015E, "Scedilla", 667, 667},
    {0xAB, 0x00AB, "guillemotleft", 556, 556},
    {0xAC, 0x00AC, "logicalnot", 584, 584},
    {0xAD, 0x00AD, "hyphen", 333, 333},
    {0xAE, 0x00AE, "registered", 737, 737},
    {0xAF, 0x017B, "Zdotaccent", 611, 611},
    {0xB0, 0x00B0, "degree", 400, 400},
    {0xB1, 0x00B1, "plusminus", 584, 584},
    {0xB2, 0x02DB, "ogonek", 333, 333},
    {0xB3, 0x0142, "lslash", 222, 278},
    {0xB4, 0x00B4, "acute", 333, 333},
    {0xB5, 0x00B5, "mu", 556, 611},
    {0xB6, 0x00B6, "paragraph", 537, 556},
    {0xB7, 0x00B7, "periodcentered", 278, 278},
    {0xB8, 0x00B8, "cedilla", 333, 333},
    {0xB9, 0x0105, "aogonek", 556, 556},
    {0xBA, 0x015F, "scedilla", 500, 556},
    {0xBB, 0x00BB, "guillemotright", 556, 556},
    {0xBC, 0x013D, "Lcaron", 556, 611},
    {0xBD, 0x02DD, "hungarumlaut", 333, 333},
    {0xBE, 0x013E, "lcaron", 299, 400},
    {0xBF, 0x017C, "zdotaccent", 500, 500},
    {0xC0, 0x0154, "Racute", 722, 722},
    {0xC1, 0x00C1, "Aacute", 667, 722},
    {0xC2, 0x00C2, "Acircumflex", 667, 722},
    {0xC3, 0x0102, "Abreve", 667, 722},
    {0xC4, 0x00C4, "Adieresis", 667, 722},
    {0xC5, 0x0139, "Lacute", 556, 611},
    {0xC6, 0x0106, "Cacute", 722, 722},
    {0xC7, 0x00C7, "Ccedilla", 722, 722},
    {0xC8, 0x010C, "Ccaron", 722, 722},
    {0xC9, 0x00C9, "Eacute", 667, 667},
    {0xCA, 0x0118, "Eogonek", 667, 667},
    {0xCB, 0x00CB, "Edieresis", 667, 667},
    {0xCC, 0x011A, "Ecaron", 667, 667},
    {0xCD, 0x00CD, "Iacute", 278, 278},
    {0xCE, 0x00CE, "Icircumflex", 278, 278},
    {0xCF, 0x010E, "Dcaron", 722, 722},
    {0xD0, 0x0110, "Dcroat", 722, 722},
    {0xD1, 0x0143, "Nacute", 722, 722},
    {0xD2, 0x0147, "Ncaron", 722, 722},
    {0xD3, 0x00D3, "Oacute", 778, 778},
    {0xD4, 0x00D4, "Ocircumflex", 778, 778},
    {0xD5, 0x0150, "Ohungarumlaut", 778, 778},
    {0xD6, 0x00D6, "Odieresis", 778, 778},
    {0xD7, 0x00D7, "multiply", 584, 584},
    {0xD8, 0x0158, "Rcaron", 722, 722},
    {0xD9, 0x016E, "Uring", 722, 722},
    {0xDA, 0x00DA, "Uacute", 722, 722},
    {0xDB, 0x0170, "Uhungarumlaut", 722, 722},
    {0xDC, 0x00DC, "Udieresis", 722, 722},
    {0xDD, 0x00DD, "Yacute", 667, 667},
    {0xDE, 0x0162, "Tcommaaccent", 611, 611},
    {0xDF, 0x00DF, "germandbls", 611, 611},
    {0xE0, 0x0155, "racute", 333, 389},
    {0xE1, 0x00E1, "aacute", 556, 556},
    {0xE2, 0x00E2, "acircumflex", 556, 556},
    {0xE3, 0x0103, "abreve", 556, 556},
    {0xE4, 0x00E4, "adieresis", 556, 556},
    {0xE5, 0x013A, "lacute", 222, 278},
    {0xE6, 0x0107, "cacute", 500, 556},
    {0xE7, 0x00E7, "ccedilla", 500, 556},
    {0xE8, 0x010D, "ccaron", 500, 556},
    {0xE9, 0x00E9, "eacute", 556, 556},
    {0xEA, 0x0119, "eogonek", 556, 556},
    {0xEB, 0x00EB, "edieresis", 556, 556},
    {0xEC, 0x011B, "ecaron", 556, 556},
    {0xED, 0x00ED, "iacute", 278, 278},
    {0xEE, 0x00EE, "icircumflex", 278, 278},
    {0xEF, 0x010F, "dcaron", 643, 743},
    {0xF0, 0x0111, "dcroat", 556, 611},
    {0xF1, 0x0144, "nacute", 556, 611},
    {0xF2, 0x0148, "ncaron", 556, 611},
    {0xF3, 0x00F3, "oacute", 556, 611},
    {0xF4, 0x00F4, "ocircumflex", 556, 611},
    {0xF5, 0x0151, "ohungarumlaut", 556, 611},
    {0xF6, 0x00F6, "odieresis", 556, 611},
    {0xF7, 0x00F7, "divide", 584, 584},
    {0xF8, 0x0159, "rcaron", 333, 389},
    {0xF9, 0x016F, "uring", 556, 611},
    {0xFA, 0x00FA, "uacute", 556, 611},
    {0xFB, 0x0171, "uhungarumlaut", 556, 611},
    {0xFC, 0x00FC, "udieresis", 556, 611},
    {0xFD, 0x00FD, "yacute", 500, 556},
    {0xFE, 0x0163, "tcommaaccent", 278, 333},
    {0xFF, 0x02D9, "dotaccent", 333, 333},
};

struct Lookup {
    std::array<std::int16_t, 256> width{}, boldWidth{};
    std::array<unsigned char, 0x300> latin{};     // code points below 0x300
    std::vector<std::pair<char32_t, unsigned char>> other;  // the rest, sorted

    Lookup()
    {
        for (const GlyphMetrics& g : kGlyphs) {
            width[g.code] = g.width;
            boldWidth[g.code] = g.boldWidth;
            if (g.unicode < latin.size())
                latin[g.unicode] = g.code;
            else
                other.emplace_back(g.unicode, g.code);
        }
        std::sort(other.begin(), other.end());
    }
};

const Lookup& lookup()
{
    static const Lookup l;
    return l;
}

} // namespace

const std::vector<GlyphMetrics>& cp1250Glyphs() { return kGlyphs; }

unsigned char cp1250Code(char32_t c)
{
    const Lookup& l = lookup();
    if (c < l.latin.size())
        return l.latin[c] ? l.latin[c] : static_cast<unsigned char>(0x3F);
    const auto it = std::lower_bound(l.other.begin(), l.other.end(), std::make_pair(c, static_cast<unsigned char>(0)));
    return it != l.other.end() && it->first == c ? it->second : static_cast<unsigned char>(0x3F);
}

std::u32string decodeUtf8(std::string_view s)
{
    std::u32string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len > 0 && i + static_cast<std::size_t>(len) <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto t = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            ok = (t & 0xC0) == 0x80;
            c = (c << 6) | (t & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(c);
        i += static_cast<std::size_t>(len);
    }
    return out;
}

int charWidth(char32_t c, bool bold)
{
    const Lookup& l = lookup();
    return (bold ? l.boldWidth : l.width)[cp1250Code(c)];
}

double textWidth(std::string_view text, double size, bool bold)
{
    const Lookup& l = lookup();
    const auto& w = bold ? l.boldWidth : l.width;
    long units = 0;
    bool ascii = true;
    for (char ch : text)
        if (static_cast<unsigned char>(ch) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        for (char ch : text) {
            const auto c = static_cast<unsigned char>(ch);
            units += w[c >= 0x20 && c < 0x7F ? c : 0x3F];
        }
    } else {
        for (char32_t c : decodeUtf8(text))
            units += w[cp1250Code(c)];
    }
    return static_cast<double>(units) * size / 1000.0;
}

} // namespace kolmo::plot
