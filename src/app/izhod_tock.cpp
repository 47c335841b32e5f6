#include "app/izhod_tock.h"

#include "platform/cp1250.h"
#include "tools/fixed_text.h"

#include <charconv>
#include <cmath>

namespace kolmo {
namespace {

void appendNumber(std::string& out, double v, int precision, int width)
{
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
    const auto len = static_cast<int>(r.ptr - buf);
    if (len < width)
        out.append(static_cast<std::size_t>(width - len), ' ');
    out.append(buf, r.ptr);
}

bool needsQuotes(const std::string& name)
{
    if (name.empty() || name.front() == ' ' || name.front() == '\t' || name.back() == ' ' || name.back() == '\t')
        return true;
    return name.find_first_of(",;\"") != std::string::npos;
}

} // namespace

IzhodTock::IzhodTock(platform::FileWriter file, bool csv, bool yx, int precision)
    : file_(std::move(file)), csv_(csv), yx_(yx), precision_(precision)
{
}

std::string IzhodTock::plainNameProblem(const std::string& name)
{
    if (name.find_first_of(" \t") != std::string::npos)
        return "the name holds a blank, which splits it when the file is read back: write CSV (a file named *.csv)";
    return {};
}

void IzhodTock::begin(int coordinateType, bool heights)
{
    started_ = true;
    heights_ = heights;
    degrees_ = coordinateType == 1;
    if (!csv_)
        return;
    if (degrees_)
        chunk_ += heights ? "name,fi,la,h\n" : "name,fi,la\n";
    else
        chunk_ += std::string(yx_ ? "name,y,x" : "name,x,y") + (heights ? ",H\n" : "\n");
}

void IzhodTock::point(const std::string& name, double a, double b, double h)
{
    const int decimals = degrees_ ? precision_ + 6 : precision_;
    const double first = !degrees_ && yx_ ? b : a, second = !degrees_ && yx_ ? a : b;
    if (csv_) {
        // CSV is read by spreadsheets and GIS programs: UTF-8, whatever the
        // input's encoding.
        const std::string utf8 = platform::fromCp1250(name);
        if (needsQuotes(utf8)) {
            chunk_ += '"';
            for (char c : utf8) {
                if (c == '"')
                    chunk_ += '"';
                chunk_ += c;
            }
            chunk_ += '"';
        } else {
            chunk_ += utf8;
        }
        chunk_ += ',';
        appendNumber(chunk_, first, decimals, 0);
        chunk_ += ',';
        appendNumber(chunk_, second, decimals, 0);
        if (heights_) {
            chunk_ += ',';
            if (std::isfinite(h))
                appendNumber(chunk_, h, precision_, 0);
        }
    } else {
        appendPadded(chunk_, name.c_str(), 12);
        // Columns a little wider than the numbers of the zone need.
        const int width = degrees_ ? decimals + 4 : decimals + 8;
        chunk_ += ' ';
        appendNumber(chunk_, first, decimals, width);
        chunk_ += ' ';
        appendNumber(chunk_, second, decimals, width);
        if (heights_) {
            chunk_ += ' ';
            if (std::isfinite(h))
                appendNumber(chunk_, h, precision_, precision_ + 6);
            else
                chunk_.append(static_cast<std::size_t>(precision_ + 3), ' ').append("NaN");
        }
    }
    chunk_ += '\n';
    if (chunk_.size() >= (1u << 16)) {
        file_.write(chunk_);
        chunk_.clear();
    }
}

void IzhodTock::commit()
{
    file_.write(chunk_);
    chunk_.clear();
    file_.commit();
}

} // namespace kolmo
