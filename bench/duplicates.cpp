// The duplicate-point check on large point sets: linear in the points however
// many duplicate pairs there are (100 000 points of one name are 5 000 million
// pairs, of which the box lists 100).
#include "app/izracun.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace kolmo;

namespace {

// n points; `sameName` gives them all one name, otherwise each its own.
PointSet points(Eigen::Index n, bool sameName)
{
    PointSet p;
    p.koo.resize(n, 3);
    for (Eigen::Index i = 0; i < n; ++i) {
        std::string name(1, 'P');
        if (!sameName)
            name += std::to_string(i);
        p.ime.push_back(name);
        p.koo.row(i) << 90000.0 + static_cast<double>(i), 450000.0 + static_cast<double>(i % 977), 300.0;
    }
    return p;
}

void BM_duplicatePoints(benchmark::State& state)
{
    const PointSet p = points(state.range(0), state.range(1) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(duplicatePoints(p));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_duplicatePoints)->Args({100000, 1})->Args({100000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond);

} // namespace
