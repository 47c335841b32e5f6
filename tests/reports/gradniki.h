// Small hand-built inputs for the report tests.
#pragma once

#include "engine/records.h"
#include "plots/prik.h"

#include <initializer_list>

namespace kolmo::test {

inline Mat matrika(std::initializer_list<std::initializer_list<double>> vrstice)
{
    const auto n = static_cast<Eigen::Index>(vrstice.size());
    const auto m = n ? static_cast<Eigen::Index>(vrstice.begin()->size()) : 0;
    Mat a(n, m);
    Eigen::Index i = 0;
    for (const auto& v : vrstice) {
        Eigen::Index j = 0;
        for (double x : v)
            a(i, j++) = x;
        ++i;
    }
    return a;
}

inline Vec vektor(std::initializer_list<double> v)
{
    Vec a(static_cast<Eigen::Index>(v.size()));
    Eigen::Index i = 0;
    for (double x : v)
        a(i++) = x;
    return a;
}

inline PointSet tocke(int tip, Names imena, Mat koo)
{
    PointSet p;
    p.tip = tip;
    p.ime = std::move(imena);
    p.koo = std::move(koo);
    return p;
}

} // namespace kolmo::test
