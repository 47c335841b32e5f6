#include "input/varnik_lines.h"

#include "platform/cause.h"
#include "platform/errors.h"
#include "platform/numtext.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace kolmo::varnik {

bool beginsWith(std::string_view line, std::string_view marker)
{
    if (line.size() < marker.size())
        return false;
    for (std::size_t i = 0; i < marker.size(); ++i) {
        const auto a = static_cast<unsigned char>(line[i]);
        const auto b = static_cast<unsigned char>(marker[i]);
        if (std::toupper(a) != std::toupper(b))
            return false;
    }
    return true;
}

namespace {

// TextLines::where in Slovene.
std::string whereSl(const platform::TextLines& lines, std::size_t k)
{
    const std::string at = k < lines.numbers.size() ? std::to_string(lines.numbers[k]) + ". vrstica" : "konec datoteke";
    return lines.source.empty() ? at : lines.source + ", " + at;
}

} // namespace

const std::string& lineAt(const platform::TextLines& lines, std::size_t k)
{
    if (k >= lines.lines.size()) {
        const std::string source = lines.source.empty() ? std::string() : lines.source + ": ";
        const std::string n = std::to_string(lines.lines.size());
        throw platform::Bilingual<FileError>(source + "the file ends after " + n +
                                             " lines of text, before an end marker (*I, *R, *T) or a type header",
                                         source + "datoteka se konča po " + n +
                                             " vrsticah besedila, pred oznako konca (*I, *R, *T) ali glavo tipa");
    }
    return lines.lines[k];
}

PointLine splitPointLine(const platform::TextLines& lines, std::size_t k, std::size_t count)
{
    const std::string_view line = lines.lines.at(k);
    constexpr std::string_view blanks = " \t";
    PointLine out;
    std::size_t pos = 0;
    auto next = [&]() -> std::string_view {
        const auto b = line.find_first_not_of(blanks, pos);
        if (b == std::string_view::npos) {
            pos = line.size();
            return {};
        }
        auto e = line.find_first_of(blanks, b);
        if (e == std::string_view::npos)
            e = line.size();
        pos = e;
        return line.substr(b, e - b);
    };
    const auto name = next();
    if (name.empty())
        throw platform::Bilingual<FileError>(lines.where(k) + ": a point line without a name",
                                         whereSl(lines, k) + ": vrstica točke brez imena");
    out.name.assign(name);
    std::replace(out.name.begin(), out.name.end(), '%', '_');
    out.values.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto token = next();
        if (token.empty())
            throw platform::Bilingual<FileError>(lines.where(k) + ": point '" + out.name + "' has " + std::to_string(i) +
                                                 " numbers, " + std::to_string(count) + " needed",
                                             whereSl(lines, k) + ": točka '" + out.name + "' ima " +
                                                 std::to_string(i) + " števil, potrebnih je " + std::to_string(count));
        const auto v = platform::parseNumber(token);
        if (!v)
            throw platform::Bilingual<FileError>(lines.where(k) + ": '" + std::string(token.substr(0, 40)) + "' of point '" +
                                                 out.name + "' is not a number",
                                             whereSl(lines, k) + ": '" + std::string(token.substr(0, 40)) +
                                                 "' točke '" + out.name + "' ni število");
        out.values.push_back(*v);
    }
    return out;
}

namespace {

std::string text(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

[[noreturn]] void impossible(const platform::TextLines& lines, std::size_t k, const PointLine& p, const std::string& what)
{
    throw FileError(lines.where(k) + ": point '" + p.name + "': " + what);
}

} // namespace

void checkMinutesSeconds(const platform::TextLines& lines, std::size_t k, const PointLine& p, std::size_t minutes,
                         const char* angle)
{
    // Minutes 99 would move a point by 180 km: an angle has 0 to 59 minutes
    // and 0 to under 60 seconds.
    const double min = p.values[minutes], sec = p.values[minutes + 1];
    if (!(min >= 0 && min < 60))
        impossible(lines, k, p, std::string(angle) + " minutes " + text(min) + " are outside 0 to 60");
    if (!(sec >= 0 && sec < 60))
        impossible(lines, k, p, std::string(angle) + " seconds " + text(sec) + " are outside 0 to 60");
}

void checkLatitude(const platform::TextLines& lines, std::size_t k, const PointLine& p, double fi)
{
    if (!(std::abs(fi) <= 90.0))
        impossible(lines, k, p, "latitude " + text(fi) + " deg is outside -90 to 90 deg");
}

void checkStandardDeviations(const platform::TextLines& lines, std::size_t k, const PointLine& p,
                             std::initializer_list<std::size_t> positions)
{
    for (std::size_t j : positions)
        if (p.values[j] < 0)
            impossible(lines, k, p, "standard deviation " + text(p.values[j]) + " is negative");
}

void PointSetBuilder::add(std::string name, const std::vector<double>& row)
{
    names_.push_back(std::move(name));
    values_.insert(values_.end(), row.begin(), row.end());
}

PointSet PointSetBuilder::take(int tip)
{
    PointSet p;
    p.tip = tip;
    const auto rows = static_cast<Eigen::Index>(names_.size());
    p.koo.resize(rows, cols_);
    for (Eigen::Index r = 0; r < rows; ++r)
        for (Eigen::Index c = 0; c < cols_; ++c)
            p.koo(r, c) = values_[static_cast<std::size_t>(r * cols_ + c)];
    p.ime = std::move(names_);
    names_.clear();
    values_.clear();
    return p;
}

} // namespace kolmo::varnik
