#include "input/value_checks.h"

#include "platform/numtext.h"

#include <cmath>
#include <cstdio>

namespace kolmo {
namespace {

// Values named in messages.
std::string text(double v) { return platform::numberText(v, 10); }

} // namespace

std::optional<ImpossibleValue> impossibleValue(const Mat& koo, bool latitude, Eigen::Index sdFrom,
                                               Eigen::Index sdCount)
{
    const bool sd = sdFrom >= 0 && koo.cols() >= sdFrom + sdCount;
    for (Eigen::Index r = 0; r < koo.rows(); ++r) {
        if (latitude && koo.cols() > 0 && !(std::abs(koo(r, 0)) <= 90.0))
            return ImpossibleValue{r, "latitude " + text(koo(r, 0)) + " is outside -90 to 90 deg",
                                   "širina " + text(koo(r, 0)) + " ni med -90 in 90 stopinjami"};
        if (sd)
            for (Eigen::Index c = sdFrom; c < sdFrom + sdCount; ++c)
                if (koo(r, c) < 0)
                    return ImpossibleValue{r,
                                           "standard deviation " + text(koo(r, c)) + " (column " +
                                               std::to_string(c + 1) + ") is negative",
                                           "standardni odklon " + text(koo(r, c)) + " (" + std::to_string(c + 1) +
                                               ". stolpec) je negativen"};
    }
    return std::nullopt;
}

std::optional<ImpossibleValue> impossibleValue(const PointSet& p, int transformationType, bool ellipsoidal)
{
    switch (transformationType) {
    case 1: return impossibleValue(p.koo, ellipsoidal, 3, 3);
    case 2:
    case 3: return impossibleValue(p.koo, false, 2, 2);
    case 4: return impossibleValue(p.koo, true, -1, 0);  // D96/fi_la -> D96/TM
    default: return std::nullopt;
    }
}

std::optional<std::string> impossibleScale(const Vec& PAR)
{
    if (PAR.size() == 7 && PAR(6) <= -1e6)
        return "scale change " + text(PAR(6)) + " ppm: the scale factor 1 + dm * 1e-6 must be positive";
    return std::nullopt;
}

} // namespace kolmo
