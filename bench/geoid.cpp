// Geoid heights: loading a model, and a million heights from each model.
#include "geodesy/interg.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <vector>

namespace {

const std::filesystem::path kData = std::filesystem::path(KOLMO_SOURCE_DIR) / "data";

void BM_LoadVrp2016(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(kolmo::loadVrp2016(kData / "HREF_SVS2010.mat"));
}
BENCHMARK(BM_LoadVrp2016)->Unit(benchmark::kMillisecond);

void BM_LoadAmg2000(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(kolmo::loadAmg2000(kData / "AMG_2000_gd.mat"));
}
BENCHMARK(BM_LoadAmg2000)->Unit(benchmark::kMillisecond);

// A million points on a fixed quasi-random sequence over a box of latitude
// and longitude.
std::vector<std::pair<double, double>> sequence(double fi0, double dfi, double la0, double dla)
{
    std::vector<std::pair<double, double>> p(1000000);
    for (std::size_t k = 0; k < p.size(); ++k) {
        const double a = static_cast<double>(k + 1);
        p[k] = {fi0 + dfi * std::fmod(a * 0.7548776662466927, 1.0), la0 + dla * std::fmod(a * 0.5698402909980532, 1.0)};
    }
    return p;
}

// Through interg, as the program calls it (cached model, loaded outside the timing).
void heights(benchmark::State& state, const std::vector<std::pair<double, double>>& p)
{
    const int geoid = static_cast<int>(state.range(0));
    benchmark::DoNotOptimize(kolmo::interg(46.0, 15.0, geoid, kData));
    for (auto _ : state) {
        double sum = 0;
        for (const auto& [fi, la] : p)
            sum += kolmo::interg(fi, la, geoid, kData);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(p.size()));
}

// Points over the whole country (its bounding box, 45.42..46.88 N,
// 13.37..16.61 E): almost every query lands in another cell, so the SVS2010
// figure shows whether the spline's table stays in the cache.
void BM_IntergMillion(benchmark::State& state)
{
    static const auto p = sequence(45.42, 1.46, 13.37, 3.24);
    heights(state, p);
}
BENCHMARK(BM_IntergMillion)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Points of one network (20 km x 20 km about Ljubljana), as a computation
// meets them: the cells in use stay in the cache.
void BM_IntergNetwork(benchmark::State& state)
{
    static const auto p = sequence(45.97, 0.18, 14.38, 0.26);
    heights(state, p);
}
BENCHMARK(BM_IntergNetwork)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
