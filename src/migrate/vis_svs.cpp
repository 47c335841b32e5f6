#include "migrate/vis_svs.h"

#include "geodesy/interg.h"
#include "platform/datafile.h"
#include "platform/errors.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <mutex>

namespace kolmo {
namespace {

constexpr double kLon0 = 13.0, kDlon = 0.0125, kLatNorth = 47.0, kDlat = 1.0 / 120.0;
constexpr double kLatSouth = kLatNorth - (kVrpRows - 1) * kDlat;
constexpr double kLonEast = kLon0 + (kVrpCols - 1) * kDlon;

} // namespace

SvsOffset::SvsOffset(const std::filesystem::path& file)
{
    if (!std::filesystem::exists(file))
        throw DataFileError("File not found. (" + file.string() + ": the SVS2000 - SVS2010 height offsets)");
    v_ = platform::loadDataFile(file, {"VTP"}).at("VTP");
    if (v_.rows() != kVrpRows || v_.cols() != kVrpCols)
        throw DataFileError(file.string() + ": VTP has " + std::to_string(v_.rows()) + " x " +
                            std::to_string(v_.cols()) + " values, not " + std::to_string(kVrpRows) + " x " +
                            std::to_string(kVrpCols));
    if (!v_.allFinite())
        throw DataFileError(file.string() + ": VTP holds values that are not finite numbers");
}

const SvsOffset& SvsOffset::of(const std::filesystem::path& dataDir)
{
    static std::mutex mutex;
    static std::map<std::filesystem::path, std::unique_ptr<SvsOffset>> grids;
    const std::lock_guard lock(mutex);
    auto& slot = grids[dataDir];
    if (!slot)
        slot = std::make_unique<SvsOffset>(dataDir / kSvsOffsetFile);
    return *slot;
}

double SvsOffset::at(double fi, double la) const
{
    if (!(la >= kLon0 && la <= kLonEast && fi >= kLatSouth && fi <= kLatNorth))
        return std::numeric_limits<double>::quiet_NaN();
    double x = (la - kLon0) / kDlon, y = (fi - kLatSouth) / kDlat;
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    x -= ix;
    y -= iy;
    const int ix2 = std::min(ix + 1, kVrpCols - 1), iy2 = std::min(iy + 1, kVrpRows - 1);
    // Rows of the matrix run from the north.
    const auto row = [](int fromSouth) { return static_cast<Eigen::Index>(kVrpRows - 1 - fromSouth); };
    const double a = v_(row(iy), ix), b = v_(row(iy), ix2), c = v_(row(iy2), ix), d = v_(row(iy2), ix2);
    const double xy = x * y;
    return a * (1.0 - x - y + xy) + b * (x - xy) + c * (y - xy) + d * xy;
}

} // namespace kolmo
