// Geoid heights: loading a model, and a million heights from each model.
#include "geodesy/interg.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <vector>

namespace {

const std::filesystem::path kData = std::filesystem::path(KOLMO_SOURCE_DIR) / "data";

// A million points over Slovenia, on a fixed quasi-random sequence.
const std::vector<std::pair<double, double>>& points()
{
    static const auto pts = [] {
        std::vector<std::pair<double, double>> p(1000000);
        for (std::size_t k = 0; k < p.size(); ++k) {
            const double a = static_cast<double>(k + 1);
            p[k] = {45.45 + 1.3 * std::fmod(a * 0.7548776662466927, 1.0),
                    13.7 + 2.6 * std::fmod(a * 0.5698402909980532, 1.0)};
        }
        return p;
    }();
    return pts;
}

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

// Through interg, as the program calls it (cached model).
void BM_IntergMillion(benchmark::State& state)
{
    const int geoid = static_cast<int>(state.range(0));
    const auto& p = points();
    benchmark::DoNotOptimize(kolmo::interg(46.0, 15.0, geoid, kData));  // load outside the timing
    for (auto _ : state) {
        double sum = 0;
        for (const auto& [fi, la] : p)
            sum += kolmo::interg(fi, la, geoid, kData);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(p.size()));
}
BENCHMARK(BM_IntergMillion)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A million points of one network (20 km x 20 km about Ljubljana), as a
// computation meets them: the cells in use stay in the cache, where the
// country-wide sequence above misses the 10 MB coefficient table on almost
// every query.
void BM_IntergNetwork(benchmark::State& state)
{
    const int geoid = static_cast<int>(state.range(0));
    std::vector<std::pair<double, double>> p(1000000);
    for (std::size_t k = 0; k < p.size(); ++k) {
        const double a = static_cast<double>(k + 1);
        p[k] = {45.97 + 0.18 * std::fmod(a * 0.7548776662466927, 1.0), 14.38 + 0.26 * std::fmod(a * 0.5698402909980532, 1.0)};
    }
    benchmark::DoNotOptimize(kolmo::interg(46.0, 15.0, geoid, kData));
    for (auto _ : state) {
        double sum = 0;
        for (const auto& [fi, la] : p)
            sum += kolmo::interg(fi, la, geoid, kData);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(p.size()));
}
BENCHMARK(BM_IntergNetwork)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
