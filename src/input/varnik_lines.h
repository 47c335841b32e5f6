// Line helpers shared by the two Varnik project-file readers.
#pragma once

#include "platform/pointset.h"
#include "platform/textread.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo::varnik {

// True when `line` begins with `marker`, letters compared ignoring case.
bool beginsWith(std::string_view line, std::string_view marker);

// Line `k` (0-based) of `lines`; throws FileError when the file has ended.
const std::string& lineAt(const platform::TextLines& lines, std::size_t k);

// A point line: the name ("%" -> "_") and the first `count` numbers after it.
// Throws FileError naming the line for fewer fields or a field that is no number.
struct PointLine {
    std::string name;
    std::vector<double> values;
};
PointLine splitPointLine(const platform::TextLines& lines, std::size_t k, std::size_t count);

// Refuses a value no survey can hold in the point line `k` of `lines`:
// minutes or seconds outside 0 to 60, a latitude beyond the poles, a negative
// standard deviation.  FileError names the line, the point and the value.
void checkMinutesSeconds(const platform::TextLines& lines, std::size_t k, const PointLine& p, std::size_t minutes,
                         const char* angle);
void checkLatitude(const platform::TextLines& lines, std::size_t k, const PointLine& p, double fi);
void checkStandardDeviations(const platform::TextLines& lines, std::size_t k, const PointLine& p,
                             std::initializer_list<std::size_t> positions);

// Appends rows to a PointSet without reallocating per row.
class PointSetBuilder {
public:
    explicit PointSetBuilder(Eigen::Index cols) : cols_(cols) {}
    void add(std::string name, const std::vector<double>& row);
    PointSet take(int tip);

private:
    Eigen::Index cols_;
    Names names_;
    std::vector<double> values_;
};

} // namespace kolmo::varnik
