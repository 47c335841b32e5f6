#include "input/prebsi.h"

#include "platform/dialogs.h"
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

// A token as a message quotes it: a long one is cut.
std::string shownToken(std::string_view token)
{
    constexpr std::size_t kShown = 40;
    std::string out(1, '\'');
    out.append(token.substr(0, kShown));
    out.append(token.size() > kShown ? "...'" : "'");
    return out;
}

[[noreturn]] void badLine(const platform::LineReader& reader, const std::string& what)
{
    throw FileError(reader.where(reader.lineNumber()) + ": " + what);
}

PointSet readPoints(platform::LineReader& reader, ReadNotes* notes)
{
    if (notes)
        *notes = ReadNotes{};
    PointSet ps;
    // Six slots per row; the matrix is built once its width is known.
    std::vector<double> values;
    Eigen::Index width = 0;
    std::string line, rest;

    while (reader.next(line)) {
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
                badLine(reader, shownToken(token) + " is not a finite number");
            row[static_cast<std::size_t>(count++)] = *v;
        }
        if (count == 0)
            badLine(reader, "point " + shownToken(name) + " has no coordinates");
        width = std::max(width, count);
        values.insert(values.end(), row.begin(), row.end());
        ps.ime.push_back(std::move(name));
        if (notes) {
            notes->lines.push_back(reader.lineNumber());
            notes->counts.push_back(static_cast<unsigned char>(count));
        }
    }
    if (ps.ime.empty())
        throw FileError((reader.source().empty() ? std::string() : reader.source() + ": ") + "no point in the file");

    if (notes)
        notes->width = width;
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

} // namespace

std::vector<std::size_t> ReadNotes::linesShorterThan(Eigen::Index n) const
{
    std::vector<std::size_t> out;
    for (std::size_t k = 0; k < counts.size() && k < lines.size(); ++k)
        if (counts[k] < n)
            out.push_back(lines[k]);
    return out;
}

void warnShortRows(const std::vector<std::size_t>& lines, Eigen::Index needed, const std::string& source)
{
    if (lines.empty())
        return;
    std::vector<std::string> numbers;
    for (std::size_t line : lines)
        numbers.push_back(std::to_string(line));
    platform::dialogs().warning("Nekaterim vrsticam manjkajo števila; dopolnjena so z 0!",
                                source + ": " + (lines.size() == 1 ? "line " : "lines ") +
                                    platform::listForMessage(numbers) + (lines.size() == 1 ? " holds" : " hold") +
                                    " fewer than " +
                                    std::to_string(needed) + " numbers; the missing ones are 0");
}

PointSet prebsiText(std::string_view text, ReadNotes* notes)
{
    auto reader = platform::LineReader::ofText(text);
    return readPoints(reader, notes);
}

PointSet prebsi(const std::filesystem::path& dat, ReadNotes* notes)
{
    platform::LineReader reader(dat);
    return readPoints(reader, notes);
}

} // namespace kolmo
