#include "app/outputs.h"

#include "platform/errors.h"
#include "platform/files.h"

#include <system_error>

namespace kolmo {

namespace fs = std::filesystem;

std::vector<fs::path> programDataFiles(const fs::path& pot_prg)
{
    std::vector<fs::path> files;
    for (const char* name : {"HREF_SVS2010.mat", "AMG_2000_gd.mat", "geoid.mat", "meja_rs.mat", "t7.par", "t4.par",
                             "t6.par", "epsg_d48_d96_helmert.csv", "VTP2024.mat",
                             "gurs_virtualne_vezne_tocke_v4.0.txt"})
        files.push_back(pot_prg / name);
    return files;
}

void checkPlotsFolder(const fs::path& dir, const std::vector<std::string>& fileNames)
{
    if (dir.empty())
        throw FileError("no folder named for the plots");
    std::error_code ec;
    const auto status = fs::status(dir, ec);
    if (fs::exists(status) && !fs::is_directory(status))
        throw FileError(dir.string() + " is a file, not a folder for the plots");
    if (!fs::exists(status)) {
        // It is made when the plots are written; its nearest existing folder
        // must be one.
        fs::path up = dir.lexically_normal();
        if (!up.has_filename())
            up = up.parent_path();
        for (up = up.parent_path(); !up.empty() && !fs::exists(up, ec); up = up.parent_path()) {
        }
        if (!up.empty() && !fs::is_directory(up, ec))
            throw FileError(up.string() + " is a file, not a folder: cannot make the plots folder " + dir.string());
        return;
    }
    for (const auto& name : fileNames)
        platform::checkOutputFile(dir / name);
}

} // namespace kolmo
