#include "platform/datadir.h"

#include "platform/files.h"

#include <cstdlib>
#include <string>
#include <system_error>
#include <unistd.h>

namespace kolmo::platform {
namespace {

namespace fs = std::filesystem;

bool isFolder(const fs::path& p)
{
    std::error_code ec;
    return fs::is_directory(p, ec);
}

// Puts a copy of `from` at `to` unless something is there already: the copy is
// made under a name of this process and linked to `to` in one step, which
// fails rather than replace a file another Kolmo put there first.
bool copyInPlace(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    const fs::path temporary = to.string() + ".new-" + std::to_string(::getpid());
    fs::remove(temporary, ec);
    if (!fs::copy_file(from, temporary, ec))
        return false;
    fs::create_hard_link(temporary, to, ec);
    if (ec && ec != std::errc::file_exists && !fs::exists(fs::symlink_status(to)))
        fs::rename(temporary, to, ec);  // a file system without hard links
    fs::remove(temporary, ec);
    return fs::is_regular_file(to, ec);
}

} // namespace

fs::path findShippedData(const fs::path& exeFolder)
{
    if (exeFolder.empty())
        return {};
    if (isFolder(exeFolder / "data"))
        return exeFolder / "data";
    const fs::path installed = (exeFolder / ".." / "share" / "kolmo").lexically_normal();
    if (isFolder(installed))
        return installed;
    return {};
}

bool isInstalledData(const fs::path& shipped)
{
    const fs::path p = shipped.lexically_normal();
    const fs::path folder = p.has_filename() ? p : p.parent_path();
    return folder.filename() == "kolmo" && folder.parent_path().filename() == "share";
}

fs::path userDataFolder()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg) / "kolmo";
    const char* home = std::getenv("HOME");
    if (home && *home && fs::path(home).is_absolute())
        return fs::path(home) / ".local" / "share" / "kolmo";
    return {};
}

fs::path prepareUserFolder(const fs::path& shipped, const fs::path& user)
{
    std::error_code ec;
    if (user.empty() || shipped.empty())
        return shipped;
    fs::create_directories(user, ec);
    if (ec || !isFolder(user) || ::access(user.c_str(), W_OK | X_OK) != 0)
        return shipped;
    for (fs::directory_iterator it(shipped, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc))
            continue;
        const fs::path name = it->path().filename();
        const fs::path target = user / name;
        const auto there = fs::symlink_status(target, fileEc);
        if (name.extension() == ".par") {
            // The database: the user's own copy, to append to.
            if (!fs::exists(there) && !copyInPlace(it->path(), target))
                return shipped;
            continue;
        }
        // A model or the border: read only, so a link to the shipped file,
        // which a later package may bring up to date.
        if (fs::is_symlink(there) && !fs::exists(target, fileEc))
            fs::remove(target, fileEc);  // its shipped file has gone
        else if (fs::exists(there))
            continue;
        fs::create_symlink(it->path(), target, fileEc);
        if (fileEc && !fs::exists(target, fileEc))
            return shipped;
    }
    return ec ? shipped : user;
}

fs::path programDataDir()
{
    fs::path folder = executableFolder();
    if (folder.empty()) {
        std::error_code ec;
        folder = fs::current_path(ec);
    }
    const fs::path shipped = findShippedData(folder);
    if (shipped.empty())
        return folder / "data";
    if (!isInstalledData(shipped))
        return shipped;
    return prepareUserFolder(shipped, userDataFolder());
}

} // namespace kolmo::platform
