#include "plots.h"

#include "app/izracun.h"
#include "input/prebsi.h"
#include "platform/dialogs.h"
#include "plots/prik_izr.h"

#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace kolmo::test {

Prik syntheticPrik(int n, int nc, double x0, double x1, double y0, double y1, double D)
{
    Prik p;
    p.Tx.resize(n);
    p.Ty.resize(n);
    for (int i = 0; i < n; ++i) {
        const double t = n > 1 ? static_cast<double>(i) / (n - 1) : 0;
        // A zig-zag that reaches both ends of both ranges.
        p.Tx(i) = x0 + t * (x1 - x0);
        p.Ty(i) = (i % 2 == 0) ? y0 + t * (y1 - y0) : y1 - t * (y1 - y0);
        p.vset.push_back(std::string(1, 'P').append(std::to_string(i + 1)));
    }
    p.XI = p.Tx.head(nc);
    p.YI = p.Ty.head(nc);
    p.tocke.assign(p.vset.begin(), p.vset.begin() + nc);
    p.dx = Vec::Constant(nc, 0.01);
    p.dy = Vec::Constant(nc, -0.02);
    p.grobi.assign(static_cast<std::size_t>(nc), false);
    p.D = D;
    p.obod.resize(4, 2);
    p.obod << x0, y0, x1, y0, x1, y1, x0, y0;
    p.vx = Vec::Zero(n);
    p.vy = Vec::Zero(n);
    return p;
}

AppState computedState(const std::string& net)
{
    platform::RecordingDialogs boxes;
    platform::ScopedDialogs scoped(boxes);
    AppState s;
    s.pot_prg = dataDir();
    s.t_tr.tip = 1;
    s.vhi = prebsi(examplesDir() / net / "d48_gk.pod");
    s.vhv = prebsi(examplesDir() / net / "d96_tm.pod");
    MainInputs in;
    in.workDir = std::filesystem::temp_directory_path();
    in.izhod = "kolmo_plots_" + std::to_string(::getpid()) + ".str";
    in.data = {"d48_gk.pod", "d96_tm.pod"};
    in.tip1 = 3;
    in.tip2 = 2;
    in.tip3 = 2;
    const IzracunResult r = izracun(s, in);
    std::filesystem::remove(in.workDir / in.izhod);
    if (!r.ok || !s.prik)
        throw std::runtime_error("the example computation failed");
    return s;
}

std::filesystem::path tool(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::stringstream ss(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(ss, dir, ':')) {
        const auto p = std::filesystem::path(dir) / name;
        if (::access(p.c_str(), X_OK) == 0)
            return p;
    }
    return {};
}

std::filesystem::path freshDir(const std::string& name)
{
    const auto dir = std::filesystem::temp_directory_path() / ("kolmo_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace kolmo::test
