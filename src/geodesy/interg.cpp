#include "geodesy/interg.h"

#include "platform/cause.h"
#include "platform/cp1250.h"
#include "platform/datafile.h"
#include "platform/dialogs.h"
#include "platform/errors.h"

#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>

namespace kolmo {

namespace fs = std::filesystem;

namespace {

constexpr std::array<double, kVrpRows> makeLatitudes()
{
    std::array<double, kVrpRows> y{};
    for (int k = 0; k < kVrpRows; ++k)
        y[static_cast<std::size_t>(k)] = 46.99992 - 0.008333 * k;
    return y;
}
// The 241 latitudes of the VRP2016 rows, north to south.
constexpr std::array<double, kVrpRows> kVrpLatitudes = makeLatitudes();

struct Cache {
    std::mutex mutex;
    std::map<fs::path, std::shared_ptr<const GridSpline>> vrp;
    std::map<fs::path, std::shared_ptr<const CloughTocher2D>> amg;
};

Cache& cache()
{
    static Cache c;
    return c;
}

fs::path key(const fs::path& folder)
{
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    return ec ? folder : p;
}

// Loads under the cache lock: a model is built once even when several threads
// ask for it first at the same time.
template <typename Model, typename Loader>
std::shared_ptr<const Model> cached(std::map<fs::path, std::shared_ptr<const Model>>& map, const fs::path& folder,
                                    Loader load)
{
    const fs::path k = key(folder);
    std::lock_guard lock(cache().mutex);
    auto it = map.find(k);
    if (it != map.end())
        return it->second;
    auto model = load();
    map.emplace(k, model);
    return model;
}

// One model per thread is remembered with its folder, so a run of queries
// does not take the lock or touch the file system.
template <typename Model>
struct LastUsed {
    fs::path folder;
    std::shared_ptr<const Model> model;
    unsigned generation = 0;
};
std::atomic<unsigned> g_generation{1};

} // namespace

double vrp2016Longitude(int j)
{
    return 13.0 + 0.0125 * (j - 1);
}

double vrp2016Latitude(int k)
{
    return kVrpLatitudes.at(static_cast<std::size_t>(k - 1));
}

std::shared_ptr<const GridSpline> loadVrp2016(const fs::path& file)
{
    const Mat heights = platform::loadSingleMatrix(file, kVrpRows, kVrpCols);
    if (!heights.allFinite())
        throw DataFileError(file.string() + ": the heights are not all finite numbers");
    Vec x(kVrpCols), y(kVrpRows);
    for (int j = 1; j <= kVrpCols; ++j)
        x(j - 1) = vrp2016Longitude(j);
    for (int k = 1; k <= kVrpRows; ++k)
        y(k - 1) = vrp2016Latitude(k);
    return std::make_shared<const GridSpline>(x, y, heights);
}

std::shared_ptr<const CloughTocher2D> loadAmg2000(const fs::path& file)
{
    const platform::DataRecord r = platform::loadDataFile(file, {"Xgd", "Ygd", "Zgd"});
    const Mat& X = r.at("Xgd");
    const Mat& Y = r.at("Ygd");
    const Mat& Z = r.at("Zgd");
    if (X.rows() != Y.rows() || X.cols() != Y.cols() || X.rows() != Z.rows() || X.cols() != Z.cols())
        throw DataFileError(file.string() + ": Xgd, Ygd and Zgd differ in size");
    const Eigen::Map<const Vec> x(X.data(), X.size()), y(Y.data(), Y.size()), z(Z.data(), Z.size());
    if (!Z.allFinite())
        throw DataFileError(file.string() + ": Zgd holds values that are not finite numbers");
    try {
        return std::make_shared<const CloughTocher2D>(x, y, z);
    } catch (const std::invalid_argument& e) {
        throw DataFileError(file.string() + ": " + e.what());
    }
}

namespace {

// The model of a folder, remembered per thread: a run of queries takes no lock,
// copies no shared pointer and touches no file system.
template <typename Model, typename Loader>
const std::shared_ptr<const Model>& remembered(LastUsed<Model>& last,
                                               std::map<fs::path, std::shared_ptr<const Model>>& map,
                                               const fs::path& pot_prg, Loader load)
{
    const unsigned gen = g_generation.load(std::memory_order_acquire);
    if (!(last.model && last.generation == gen && last.folder.native() == pot_prg.native()))
        last = {pot_prg, cached(map, pot_prg, load), gen};
    return last.model;
}

const std::shared_ptr<const GridSpline>& vrpOfThread(const fs::path& pot_prg)
{
    thread_local LastUsed<GridSpline> last;
    return remembered(last, cache().vrp, pot_prg, [&] { return loadVrp2016(pot_prg / "HREF_SVS2010.mat"); });
}

const std::shared_ptr<const CloughTocher2D>& amgOfThread(const fs::path& pot_prg)
{
    thread_local LastUsed<CloughTocher2D> last;
    return remembered(last, cache().amg, pot_prg, [&] { return loadAmg2000(pot_prg / "AMG_2000_gd.mat"); });
}

} // namespace

std::shared_ptr<const GridSpline> vrp2016Model(const fs::path& pot_prg) { return vrpOfThread(pot_prg); }

std::shared_ptr<const CloughTocher2D> amg2000Model(const fs::path& pot_prg) { return amgOfThread(pot_prg); }

void clearGeoidModelCache()
{
    std::lock_guard lock(cache().mutex);
    cache().vrp.clear();
    cache().amg.clear();
    g_generation.fetch_add(1, std::memory_order_acq_rel);
}

void warnOutsideGeoidModel(const std::vector<std::string>& names, int geoid)
{
    if (names.empty())
        return;
    std::vector<std::string> shown;
    for (const auto& n : names)
        shown.push_back(platform::fromCp1250(n));
    const std::string model = geoid == 1 ? "SVS2010 (model VRP2016)" : "SVS2000 (model AMG2000)";
    const std::string n = std::to_string(names.size());
    platform::dialogs().warning(
        "Višine točk zunaj modela geoida niso določene!",
        platform::causeLanguage() == platform::Language::Slovene
            ? "ni višine geoida v " + model + " za točke (" + n + "): " + platform::listForMessage(shown)
            : "no geoid height in " + model + " at " + n + " point(s): " + platform::listForMessage(shown));
}

double interg(double fi, double la, int geoid, const fs::path& pot_prg)
{
    // Longitude is the first (column) coordinate, latitude the second.
    if (geoid == 1)
        return vrpOfThread(pot_prg)->spline(la, fi);
    return (*amgOfThread(pot_prg))(la, fi);
}

double intergLinear(double fi, double la, const fs::path& pot_prg)
{
    return vrpOfThread(pot_prg)->linear(la, fi);
}

} // namespace kolmo
