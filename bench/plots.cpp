// The network plot of 100 000 transformed points (each with its name) and
// 1 000 common points: building the figure, laying it out, and drawing and
// exporting it in each format at 1200 x 900 pixels.  The goal is under 2 s
// per format from the record to the file.  The same for the VRP2016 surface.
// bench/transform_cli.sh times
// the whole of `kolmo-cli transform --plots` on such a network.
#include "plots/prik.h"
#include "plots/prik_geoid.h"
#include "plots/prik_mre.h"
#include "plots/prik_odst.h"
#include "plots/render/export.h"
#include "plots/render/layout.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace {

using namespace kolmo;

// 100 000 points on a quasi-random sequence over a 25 x 20 km area.
const Prik& network()
{
    static const Prik p = [] {
        constexpr int n = 100000, nc = 1000;
        Prik r;
        r.Tx.resize(n);
        r.Ty.resize(n);
        r.vset.reserve(n);
        for (int k = 0; k < n; ++k) {
            const double a = k + 1;
            r.Tx(k) = 450000 + 25000 * std::fmod(a * 0.7548776662466927, 1.0);
            r.Ty(k) = 90000 + 20000 * std::fmod(a * 0.5698402909980532, 1.0);
            r.vset.push_back(std::string(1, 'T').append(std::to_string(100000 + k)));
        }
        r.XI = r.Tx.head(nc);
        r.YI = r.Ty.head(nc);
        r.tocke.assign(r.vset.begin(), r.vset.begin() + nc);
        r.dx = Vec::Constant(nc, 0.012);
        r.dy = Vec::Constant(nc, -0.008);
        r.grobi.assign(nc, false);
        r.D = 5000;
        r.obod.resize(5, 2);
        r.obod << 450000, 90000, 475000, 90000, 475000, 110000, 450000, 110000, 450000, 90000;
        return r;
    }();
    return p;
}

// A folder of our own for the files, removed at exit.
const std::filesystem::path& outDir()
{
    struct Dir {
        std::filesystem::path p =
            std::filesystem::temp_directory_path() / ("kolmo_bench_plots_" + std::to_string(::getpid()));
        Dir() { std::filesystem::create_directories(p); }
        ~Dir() { std::filesystem::remove_all(p); }
    };
    static const Dir d;
    return d.p;
}

void BM_BuildAndLayout(benchmark::State& state)
{
    const Prik& p = network();
    for (auto _ : state) {
        const plot::Figure f = prik_mre(p);
        benchmark::DoNotOptimize(plot::layout(f, 1200, 900, plot::defaultPxPerPt(1200, 900)));
    }
}
BENCHMARK(BM_BuildAndLayout)->Unit(benchmark::kMillisecond);

// From the record to the file, one format per run.
void BM_NetworkPlotToFile(benchmark::State& state)
{
    const auto format = plot::kAllFormats[state.range(0)];
    state.SetLabel(plot::formatName(format));
    const Prik& p = network();
    const auto file = outDir() / plot::exportFileName("mreza", format);
    for (auto _ : state)
        plot::exportFigure(prik_mre(p), file, format);
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
}
BENCHMARK(BM_NetworkPlotToFile)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

// The VRP2016 surface (76 800 cells) with the border, one format per run.
void BM_SurfaceToFile(benchmark::State& state)
{
    const auto format = plot::kAllFormats[state.range(0)];
    state.SetLabel(plot::formatName(format));
    static const plot::Figure f = prikaziK(std::filesystem::path(KOLMO_SOURCE_DIR) / "data");
    const auto file = outDir() / plot::exportFileName("vrp2016", format);
    for (auto _ : state)
        plot::exportFigure(f, file, format);
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
}
BENCHMARK(BM_SurfaceToFile)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

} // namespace
