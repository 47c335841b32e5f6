// par3d_7 on synthetic networks of 10 to 100 000 common points (fixed seed,
// 2 cm noise, parameters near the national D48 -> D96 set), and tran3d_7 of
// 100 000 points with the transformed ellipsoidal height (no geoid).
#include "engine/par3d_7.h"
#include "engine/tran3d.h"
#include "engine/tran3d_7.h"
#include "geodesy/elipkart.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

using namespace kolmo;

namespace {

Vec parameters()
{
    Vec p(7);
    p << 476.08, 125.947, 417.81, -4.610862, -2.388137, 11.942335, 9.896638;
    return p;
}

// Points spread over Slovenia (45.5-46.8 N, 13.5-16.5 E, 0-1500 m) on Bessel.
PointSet startSet(Eigen::Index n, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> fi(45.5, 46.8), la(13.5, 16.5), h(0, 1500);
    PointSet p;
    p.tip = 3;
    p.eli = 3;
    p.koo.resize(n, 6);
    for (Eigen::Index i = 0; i < n; ++i) {
        p.koo.row(i) << fi(rng), la(rng), h(rng), 1, 1, 1;
        p.ime.push_back(std::to_string(i + 1).insert(0, 1, 'B'));
    }
    p.ek = p.koo;
    p.kk = p.koo;
    p.kk.leftCols(3) = elipkart(p.ek, n, 3);
    return p;
}

void BM_par3d_7(benchmark::State& state)
{
    const Eigen::Index n = state.range(0);
    const PointSet vhi = startSet(n, 12345u);
    PointSet vhv = vhi;
    vhv.kk.leftCols(3) = tran3d(vhi.kk, parameters(), 7);
    std::mt19937_64 rng(54321u);
    std::normal_distribution<double> noise(0, 0.02);
    for (Eigen::Index i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c)
            vhv.kk(i, c) += noise(rng);
    for (auto _ : state) {
        Par3dResult r = par3d_7(vhi, vhv);
        benchmark::DoNotOptimize(r);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_par3d_7)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_tran3d_7(benchmark::State& state)
{
    const Eigen::Index n = state.range(0);
    const PointSet vhi = startSet(n, 777u);
    PointSet vhv;
    vhv.tip = 2;
    Rez rez;
    rez.tip = 2;
    TTr t;
    t.vis = 3;
    for (auto _ : state) {
        Rez out = tran3d_7(vhi, vhv, rez, parameters(), t, ".");
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_tran3d_7)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
