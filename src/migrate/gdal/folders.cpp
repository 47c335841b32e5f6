#include "migrate/gdal/module.h"

#include "migrate/datasets.h"
#include "migrate/rasters.h"
#include "platform/errors.h"

#include <cpl_error.h>
#include <gdal_priv.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <unistd.h>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

std::string lowerExtension(const fs::path& p)
{
    std::string e = p.extension().string();
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e;
}

// The kinds of the members by their extension.
const std::set<std::string> kDatasets = {".shp", ".gpkg", ".geojson", ".fgb", ".gml", ".dxf"};
const std::set<std::string> kRasters = {".tif", ".tiff", ".img", ".asc"};

// Companion files the migration of their member writes anew (a Shapefile's
// index and tables, a GML schema, a raster's overviews and masks): never
// copied, as the copy would describe the input.
bool isCompanion(const fs::path& file, const std::set<fs::path>& members)
{
    const std::string name = file.filename().string();
    const std::string ext = lowerExtension(file);
    fs::path stem = file;
    stem.replace_extension();
    auto memberWith = [&](std::string extension) {
        fs::path lower = stem, upper = stem;
        lower += extension;
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        upper += extension;
        return members.count(lower) > 0 || members.count(upper) > 0;
    };
    if (ext == ".shx" || ext == ".dbf" || ext == ".prj" || ext == ".cpg" || ext == ".qix" || ext == ".sbn" ||
        ext == ".sbx" || ext == ".qpj")
        return memberWith(".shp");
    if (ext == ".xsd" || ext == ".gfs")
        return memberWith(".gml");
    // name.tif.ovr, name.tif.msk, name.tif.aux.xml: the raster's own.
    for (const char* suffix : {".ovr", ".msk", ".aux.xml"}) {
        const std::string s(suffix);
        if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0) {
            const fs::path base = file.parent_path() / name.substr(0, name.size() - s.size());
            if (members.count(base) && kRasters.count(lowerExtension(base)))
                return true;
        }
    }
    if (name.size() > 8 && name.compare(name.size() - 8, 8, ".shp.xml") == 0)
        return members.count(file.parent_path() / name.substr(0, name.size() - 4)) > 0;
    return false;
}

std::string kindOf(const fs::path& file)
{
    const std::string ext = lowerExtension(file);
    if (isPointFile(file))
        return "points";
    if (kDatasets.count(ext))
        return "dataset";
    if (kRasters.count(ext))
        return "raster";
    return "copied";
}

// What can be told of a member before anything is written: it opens as
// what its extension says; a raster is georeferenced in the source CRS too.
void check(const fs::path& file, const std::string& kind, const MigrateOptions& o)
{
    if (kind == "raster") {
        MigrateOptions one = o;
        one.in = file;
        checkRaster(one);
        return;
    }
    if (kind == "points") {
        std::ifstream in(file);
        if (!in)
            throw FileError("cannot be read");
        return;
    }
    gdal::registerDrivers();
    CPLPushErrorHandler(CPLQuietErrorHandler);
    const unsigned flags = (kind == "raster" ? GDAL_OF_RASTER : GDAL_OF_VECTOR) | GDAL_OF_READONLY;
    GDALDatasetH d = GDALOpenEx(file.c_str(), flags, nullptr, nullptr, nullptr);
    const std::string reason = CPLGetLastErrorMsg();
    CPLPopErrorHandler();
    CPLErrorReset();
    if (!d)
        throw FileError(std::string("cannot be read as a ") + (kind == "raster" ? "raster" : "GIS dataset") +
                        (reason.empty() ? "" : ": " + reason));
    GDALClose(d);
}

bool inside(const fs::path& inner, const fs::path& outer)
{
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i)
        if (i == inner.end() || *i != *o)
            return false;
    return true;
}

// The hidden sibling the new folder is built in, removed unless it was moved
// into place.
class Staging {
public:
    explicit Staging(const fs::path& out)
    {
        const fs::path parent = out.has_parent_path() ? out.parent_path() : fs::path(".");
        std::random_device random;
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
        std::string name(1, '.');
        name.append(out.filename().string());
        name.append(".kolmo-");
        name.append(std::to_string(::getpid()));
        name.push_back('-');
        name.append(std::to_string(seconds));
        name.push_back('-');
        name.append(std::to_string(random() % 1000000));
        path_ = parent / name;
        std::error_code ec;
        if (!fs::create_directory(path_, ec))
            throw FileError("cannot create " + path_.string() + ": " + (ec ? ec.message() : "it exists"));
    }
    ~Staging()
    {
        if (!path_.empty()) {
            std::error_code ec;
            fs::remove_all(path_, ec);
        }
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;
    const fs::path& path() const { return path_; }
    void moveTo(const fs::path& out)
    {
        std::error_code ec;
        fs::rename(path_, out, ec);
        if (ec)
            throw FileError("cannot move the new folder into place as " + out.string() + ": " + ec.message());
        path_.clear();
    }

private:
    fs::path path_;
};

} // namespace

FolderSummary gdal::migrateFolder(const MigrateOptions& o, unsigned jobs, const MigrateProgress& progress)
{
    if (!fs::is_directory(o.in))
        throw FileError(o.in.string() + " is no folder");
    if (!o.layer.empty())
        throw FileError("a folder is migrated whole: no layer can be chosen");
    std::error_code ec;
    if (fs::exists(fs::symlink_status(o.out, ec)))
        throw FileError(o.out.string() + ": the output folder exists; a folder is migrated into a new one");
    // Absolute, without "." and "..", and without a trailing "/".
    const auto plain = [](const fs::path& p) {
        fs::path q = fs::weakly_canonical(fs::absolute(p));
        return q.has_filename() ? q : q.parent_path();
    };
    const fs::path in = plain(o.in), out = plain(o.out);
    if (inside(out, in) || inside(in, out))
        throw FileError(o.out.string() + ": the output folder cannot lie inside the input folder or hold it");

    // Every file, in the order of its path; the members' kinds.
    std::vector<FolderMember> all;
    std::vector<fs::path> folders;
    for (auto it = fs::recursive_directory_iterator(in, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path relative = fs::relative(it->path(), in);
        if (it->is_directory())
            folders.push_back(relative);
        else if (it->is_regular_file())
            all.push_back({relative, kindOf(relative), 0, {}});
    }
    if (ec)
        throw FileError("cannot read the folder " + o.in.string() + ": " + ec.message());
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
    std::set<fs::path> members;
    for (const auto& m : all)
        if (m.kind != "copied")
            members.insert(m.path);
    std::vector<FolderMember> list;
    for (auto& m : all)
        if (m.kind != "copied" || !isCompanion(m.path, members))
            list.push_back(std::move(m));
    for (const auto& m : list)
        if (m.kind != "copied") {
            try {
                check(in / m.path, m.kind, o);
            } catch (const FileError& e) {
                throw FileError(m.path.string() + ": " + e.what());
            }
        }

    Staging staging(out);
    for (const auto& f : folders)
        fs::create_directories(staging.path() / f);

    // The members, `jobs` at a time; the first failure stops the others.
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::exception_ptr failure;
    std::string failedMember;
    std::vector<double> weight(list.size(), 0.0), done(list.size(), 0.0);
    double total = 0;
    for (std::size_t k = 0; k < list.size(); ++k) {
        if (list[k].kind == "copied")
            continue;
        weight[k] = std::max<double>(1.0, static_cast<double>(fs::file_size(in / list[k].path, ec)));
        total += weight[k];
    }
    auto report = [&](std::size_t k, double share) {
        if (!progress.report)
            return;
        const std::lock_guard lock(mutex);
        done[k] = share;
        double sum = 0;
        for (std::size_t i = 0; i < list.size(); ++i)
            sum += weight[i] * done[i];
        progress.report(total > 0 ? sum / total : 1.0);
    };
    auto work = [&] {
        for (std::size_t k = next++; k < list.size() && !stop; k = next++) {
            FolderMember& m = list[k];
            if (m.kind == "copied")
                continue;
            MigrateOptions one = o;
            one.in = in / m.path;
            one.out = staging.path() / m.path;
            MigrateProgress p;
            p.cancel = &stop;
            p.report = [&report, k](double share) { report(k, share); };
            try {
                const MigrateSummary s = migrate(one, p);
                m.moved = s.written;
                m.warnings = s.warnings;
            } catch (const MigrateCancelled&) {
                stop = true;
            } catch (...) {
                const std::lock_guard lock(mutex);
                if (!failure) {
                    failure = std::current_exception();
                    failedMember = m.path.string();
                }
                stop = true;
            }
        }
    };
    // The user's cancel reaches the members through `stop`.
    std::atomic<bool> finished{false};
    std::thread watcher;
    if (progress.cancel)
        watcher = std::thread([&] {
            while (!finished && !stop) {
                if (progress.cancel->load(std::memory_order_relaxed))
                    stop = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    const unsigned threads = std::max(1u, std::min<unsigned>(jobs, static_cast<unsigned>(list.size())));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (auto& t : pool)
        t.join();
    finished = true;
    if (watcher.joinable())
        watcher.join();
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            throw FileError(failedMember + ": " + e.what());
        }
    }
    if (stop || (progress.cancel && progress.cancel->load()))
        throw MigrateCancelled{};

    // The other files as they are.
    for (const auto& m : list)
        if (m.kind == "copied") {
            const fs::path to = staging.path() / m.path;
            if (fs::exists(to))
                continue;
            fs::copy_file(in / m.path, to, ec);
            if (ec)
                throw FileError(m.path.string() + ": cannot be copied: " + ec.message());
        }
    staging.moveTo(out);
    if (progress.report)
        progress.report(1.0);
    FolderSummary summary;
    summary.members = std::move(list);
    return summary;
}

} // namespace kolmo
