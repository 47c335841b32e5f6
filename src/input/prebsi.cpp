#include "input/prebsi.h"

#include "platform/errors.h"
#include "platform/numtext.h"
#include "platform/textread.h"

#include <algorithm>
#include <array>
#include <string>

namespace kolmo {
namespace {

constexpr Eigen::Index kMaxNumbers = 6;

// Token separators: blank and the control characters 9-13 (tab, LF, VT, FF, CR).
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Next token of `s` from `pos`; empty when only white space is left.
std::string_view nextToken(std::string_view s, std::size_t& pos)
{
    while (pos < s.size() && isSpace(s[pos]))
        ++pos;
    const std::size_t start = pos;
    while (pos < s.size() && !isSpace(s[pos]))
        ++pos;
    return s.substr(start, pos - start);
}

[[noreturn]] void badLine(std::size_t line, const char* what)
{
    throw FileError("point file, data line " + std::to_string(line) + ": " + what);
}

} // namespace

PointSet prebsiText(std::string_view text)
{
    const std::vector<std::string> lines = platform::splitLines(text);

    PointSet ps;
    ps.ime.reserve(lines.size());
    // Six slots per row; the matrix is built once its width is known.
    std::vector<double> values;
    values.reserve(lines.size() * kMaxNumbers);
    Eigen::Index width = 0;
    std::string rest;

    for (const std::string& line : lines) {
        const std::size_t k = ps.ime.size() + 1;
        std::size_t pos = 0;
        std::string name(nextToken(line, pos));
        std::replace(name.begin(), name.end(), '%', '_');

        rest.assign(line, pos, std::string::npos);
        std::replace(rest.begin(), rest.end(), ',', '.');

        std::array<double, kMaxNumbers> row{};
        Eigen::Index count = 0;
        std::size_t p = 0;
        while (count < kMaxNumbers) {
            const std::string_view token = nextToken(rest, p);
            if (token.empty())
                break;
            const auto v = platform::parseNumber(token);
            if (!v)
                badLine(k, "not a finite number");
            row[static_cast<std::size_t>(count++)] = *v;
        }
        if (count == 0)
            badLine(k, "a name without coordinates");
        width = std::max(width, count);
        values.insert(values.end(), row.begin(), row.end());
        ps.ime.push_back(std::move(name));
    }
    if (ps.ime.empty())
        throw FileError("point file without data lines");

    const auto n = static_cast<Eigen::Index>(ps.ime.size());
    // Row-major slots, six per row; the first `width` of each make the matrix.
    const Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, kMaxNumbers, Eigen::RowMajor>> all(
        values.data(), n, kMaxNumbers);
    if (width == 2) {
        ps.koo.resize(n, 4);
        ps.koo.leftCols(2) = all.leftCols(2);
        ps.koo.rightCols(2).setOnes();
    } else {
        ps.koo = all.leftCols(width);
    }
    return ps;
}

PointSet prebsi(const std::filesystem::path& dat)
{
    return prebsiText(platform::readFile(dat));
}

} // namespace kolmo
