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

std::optional<std::string> unusableParameters(const Vec& PAR)
{
    for (Eigen::Index i = 0; i < PAR.size(); ++i)
        if (!std::isfinite(PAR(i)))
            return "parameter " + std::to_string(i + 1) + " is " + text(PAR(i)) + ", not a finite number";
    if (auto why = impossibleScale(PAR))
        return why;
    double scale = 1.0;
    if (PAR.size() == 7) {
        for (Eigen::Index i = 0; i < 3; ++i)
            if (std::abs(PAR(i)) > 1e8)
                return "translation " + text(PAR(i)) + " m is beyond 100000 km";
        for (Eigen::Index i = 3; i < 6; ++i)
            if (std::abs(PAR(i)) > 648000.0)
                return "rotation " + text(PAR(i)) + " arc seconds is beyond 180 deg";
        // The scale change itself is left to the results: a point it puts
        // near the centre of the Earth, or beyond any finite number, is
        // refused there by its name.
        return std::nullopt;
    } else if (PAR.size() == 4) {
        scale = std::hypot(PAR(0), PAR(1));
        if (scale == 0.0)
            return "a = b = 0: the transformation puts every point on one spot (a singular transformation)";
    } else if (PAR.size() == 6) {
        const double det = PAR(0) * PAR(4) - PAR(1) * PAR(3);
        // Relative to the size of the coefficients, so that rounding does not
        // pass a matrix whose rows are parallel.
        const double size = (std::abs(PAR(0)) + std::abs(PAR(1))) * (std::abs(PAR(3)) + std::abs(PAR(4)));
        if (!std::isfinite(det))
            return "a1 b2 - a2 b1 is not a finite number: the coefficients are too large";
        if (!(std::abs(det) > 1e-12 * size))
            return "a1 b2 - a2 b1 = " + text(det) +
                   ": the transformation puts every point on one line (a singular transformation)";
        scale = std::sqrt(std::abs(det));
    } else {
        return std::nullopt;
    }
    if (!(scale >= 1e-3 && scale <= 1e3))
        return "scale factor " + text(scale) + " is outside 0.001 to 1000";
    return std::nullopt;
}

} // namespace kolmo
