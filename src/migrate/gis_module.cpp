#include "migrate/gis_module.h"

#include "platform/errors.h"
#include "platform/files.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

namespace kolmo {

namespace fs = std::filesystem;

std::vector<fs::path> gisModuleCandidates()
{
    const fs::path exe = platform::executableFolder();
    if (exe.empty())
        return {};
    return {exe / "kolmo_gis.so", exe.parent_path() / "lib" / "kolmo" / "kolmo_gis.so"};
}

const GisModule& gisModule()
{
    static std::once_flag once;
    static const GisModule* module = nullptr;
    static std::string failure;
    std::call_once(once, [] {
        std::string tried;
        for (const fs::path& file : gisModuleCandidates()) {
            std::error_code ec;
            if (!fs::is_regular_file(file, ec))
                continue;
            // RTLD_NOW: a missing symbol shows here, not in the middle of a run.
            void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                const char* why = dlerror();
                failure = "cannot load " + file.string() + (why ? std::string(": ") + why : std::string());
                return;
            }
            using Entry = const GisModule* (*)();
            auto entry = reinterpret_cast<Entry>(dlsym(handle, "kolmo_gis_module"));
            const GisModule* found = entry ? entry() : nullptr;
            if (!found || found->abi != kGisModuleAbi || found->jobSize != sizeof(DatasetJob)) {
                failure = file.string() + " belongs to another build of Kolmo; reinstall Kolmo";
                return;
            }
            module = found; // kept loaded for the rest of the run
            return;
        }
        for (const fs::path& file : gisModuleCandidates())
            tried += (tried.empty() ? "" : ", ") + file.string();
        failure = "GIS datasets need Kolmo's library kolmo_gis.so, which is not installed (looked for " +
                  (tried.empty() ? std::string("beside the program") : tried) + ")";
    });
    if (!module)
        throw FileError(failure);
    return *module;
}

DatasetSummary migrateDataset(const DatasetJob& job, const MigrateProgress& progress)
{
    return gisModule().migrateDataset(job, progress);
}

bool isRasterFile(const fs::path& path) { return gisModule().isRasterFile(path); }

void checkRaster(const MigrateOptions& o) { gisModule().checkRaster(o); }

MigrateSummary migrateRaster(const MigrateOptions& o, const MigrateProgress& progress)
{
    return gisModule().migrateRaster(o, progress);
}

FolderSummary migrateFolder(const MigrateOptions& o, unsigned jobs, const MigrateProgress& progress)
{
    return gisModule().migrateFolder(o, jobs, progress);
}

} // namespace kolmo
