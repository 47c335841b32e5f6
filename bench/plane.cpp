// Plane estimation and residual interpolation on large synthetic networks.
#include "engine/par2d_p.h"
#include "engine/tran2d_p.h"
#include "plots/prik_izr.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

using namespace kolmo;

namespace {

// n points over a square of `side` metres at D48/GK-like coordinates, end
// points by a similarity with 2 cm noise; unit standard deviations.
std::pair<PointSet, PointSet> network(Eigen::Index n, double side, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0, side);
    std::normal_distribution<double> noise(0, 0.02);
    PointSet a, b;
    a.koo = Mat::Ones(n, 4);
    b.koo = Mat::Ones(n, 4);
    const double ca = 1.00001 * std::cos(2.5e-5), sa = 1.00001 * std::sin(2.5e-5);
    for (Eigen::Index i = 0; i < n; ++i) {
        std::string name = "P";
        name += std::to_string(i);
        a.ime.push_back(name);
        b.ime.push_back(name);
        const double x = 90000 + u(rng), y = 450000 + u(rng);
        a.koo(i, 0) = x;
        a.koo(i, 1) = y;
        b.koo(i, 0) = ca * x - sa * y + 497 + noise(rng);
        b.koo(i, 1) = sa * x + ca * y - 378 + noise(rng);
    }
    return {a, b};
}

void BM_par2d_p(benchmark::State& state)
{
    const auto nPar = static_cast<int>(state.range(1));
    const auto [a, b] = network(state.range(0), 20000, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(par2d_p(a, b, nPar));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_par2d_p)->Args({1000, 4})->Args({1000, 6})->Args({100000, 4})->Args({100000, 6})->Unit(benchmark::kMillisecond);

// 1 000 common points among 100 000 transformed points.
void BM_prik_izr2(benchmark::State& state)
{
    const Eigen::Index nCommon = state.range(0), nAll = state.range(1);
    auto [vhi, vhv] = network(nAll, 20000, 2);
    vhv.ime.resize(static_cast<std::size_t>(nCommon));
    vhv.koo.conservativeResize(nCommon, 4);
    const Par2dResult r = par2d_p(vhi, vhv, 4);
    const Rez rez = tran2d_p(vhi, r.PAR, 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(prik_izr2(vhi, vhv, rez, r.vezne));
}
BENCHMARK(BM_prik_izr2)->Args({1000, 100000})->Unit(benchmark::kMillisecond);

} // namespace
