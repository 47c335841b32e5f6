#include "platform/cp1250.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace kolmo::platform {
namespace {

// One conversion through iconv; an unconvertible input sequence is replaced by
// `replacement` and skipped (one byte of input).
std::string convert(std::string_view in, const char* to, const char* from, std::string_view replacement)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv cannot convert between Windows-1250 and UTF-8");
    std::string out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buf[4096];
    while (srcLeft > 0) {
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: skip one input byte (and the rest of a UTF-8 sequence).
            out.append(replacement);
            ++src;
            --srcLeft;
            while (srcLeft > 0 && (static_cast<unsigned char>(*src) & 0xC0) == 0x80 && std::string_view(from) == "UTF-8") {
                ++src;
                --srcLeft;
            }
        }
    }
    iconv_close(cd);
    return out;
}

} // namespace

std::string toCp1250(std::string_view utf8) { return convert(utf8, "WINDOWS-1250", "UTF-8", "?"); }

std::string fromCp1250(std::string_view cp1250) { return convert(cp1250, "UTF-8", "WINDOWS-1250", "\xEF\xBF\xBD"); }

bool representableInCp1250(std::string_view utf8)
{
    // A '?' of the text comes back as itself; a character without a code
    // (or bytes that are no UTF-8) come back as '?' or U+FFFD.
    return fromCp1250(toCp1250(utf8)) == utf8;
}

} // namespace kolmo::platform
