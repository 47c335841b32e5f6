// Synthetic common-point sets for the estimation tests and benchmarks: start
// points scattered about a centre near Ljubljana's geocentric position, end
// points from known parameters with tran3d, optional Gaussian noise.
#pragma once

#include "engine/tran3d.h"
#include "platform/pointset.h"

#include <random>
#include <string>

namespace kolmo::test {

struct SyntheticPair {
    PointSet start, end;
};

inline Vec helmertParameters(double dx, double dy, double dz, double a, double b, double g, double ppm)
{
    Vec p(7);
    p << dx, dy, dz, a, b, g, ppm;
    return p;
}

// n points within +-spread metres of (4200 km, 1150 km, 4700 km), unit
// standard deviations, end = tran3d(start, par) + N(0, noise^2) per coordinate.
inline SyntheticPair syntheticPair(Eigen::Index n, const Vec& par, double spread, double noise, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-spread, spread);
    std::normal_distribution<double> g(0.0, 1.0);
    SyntheticPair s;
    s.start.kk.resize(n, 6);
    s.end.kk.resize(n, 6);
    for (Eigen::Index i = 0; i < n; ++i) {
        std::string name = std::to_string(i + 1);
        name.insert(0, 1, 'T');
        s.start.ime.push_back(name);
        s.end.ime.push_back(name);
        s.start.kk.row(i) << 4200e3 + u(rng), 1150e3 + u(rng), 4700e3 + u(rng), 1, 1, 1;
    }
    s.end.kk.leftCols(3) = tran3d(s.start.kk, par, 7);
    s.end.kk.rightCols(3).setOnes();
    if (noise > 0)
        for (Eigen::Index i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c)
                s.end.kk(i, c) += noise * g(rng);
    return s;
}

} // namespace kolmo::test
