#include "migrate/dataset_files.h"

#include "platform/cause.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The extensions of a family, the one that names the dataset first where
// GDAL opens it by that one.
const std::vector<std::string>& shapefileFamily()
{
    static const std::vector<std::string> family{".shp", ".shx", ".dbf", ".prj", ".cpg",
                                                 ".qix", ".sbn", ".sbx", ".qpj", ".shp.xml"};
    return family;
}

struct Family {
    std::vector<std::string> extensions;
    bool caseless;
};

// The family of a file name by its extension, and the stem it shares with
// the rest of the family.
Family familyOf(const std::string& name, std::string& stem)
{
    const std::string low = lower(name);
    auto endsWith = [&](std::string_view tail) {
        return low.size() > tail.size() && low.compare(low.size() - tail.size(), tail.size(), tail) == 0;
    };
    auto cut = [&](std::size_t tail) { stem = name.substr(0, name.size() - tail); };
    if (endsWith(".shp.xml")) {
        cut(8);
        return {shapefileFamily(), true};
    }
    for (const auto& extension : shapefileFamily())
        if (extension != ".prj" && endsWith(extension)) {
            cut(extension.size());
            return {shapefileFamily(), true};
        }
    for (const char* extension : {".gml", ".xsd", ".gfs"})
        if (endsWith(extension)) {
            cut(4);
            return {{".gml", ".xsd", ".gfs"}, false};
        }
    for (const char* extension : {".csv", ".csvt"})
        if (endsWith(extension)) {
            cut(std::string_view(extension).size());
            return {{".csv", ".csvt", ".prj"}, false};
        }
    for (const char* extension : {".gpkg", ".gpkg-wal", ".gpkg-shm", ".gpkg-journal"})
        if (endsWith(extension)) {
            cut(std::string_view(extension).size());
            return {{".gpkg", ".gpkg-wal", ".gpkg-shm", ".gpkg-journal"}, false};
        }
    // A .prj alone belongs to a Shapefile more often than to a CSV.
    if (endsWith(".prj")) {
        cut(4);
        return {shapefileFamily(), true};
    }
    stem = name;
    return {{""}, false};
}

bool caselessPart(const std::string& name)
{
    std::string stem;
    return familyOf(name, stem).caseless;
}

// Whether two names in one folder are one part for GDAL.
bool sameName(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    return caselessPart(a) && caselessPart(b) && lower(a) == lower(b);
}

struct Identity {
    dev_t device;
    ino_t inode;
    bool operator==(const Identity&) const = default;
};

bool identity(const fs::path& file, Identity& id)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

// Whether two folders are one: the same inode where both exist, the same
// path once links are resolved otherwise.
bool sameFolder(const fs::path& a, const fs::path& b)
{
    Identity ia{}, ib{};
    if (identity(a, ia) && identity(b, ib))
        return ia == ib;
    return platform::sameOutput(a, b);
}

std::vector<std::string> folderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    return names;
}

std::string folderOf(const fs::path& path)
{
    return path.has_parent_path() ? path.parent_path().string() : std::string(".");
}

[[noreturn]] void collide(const fs::path& in, const fs::path& out, const fs::path& part)
{
    throw FileError(std::string(platform::kOutputIsInput) + " (" + out.string() + " would write " +
                    part.filename().string() + ", a file of the input " + in.string() + ")");
}

} // namespace

DatasetParts datasetParts(const fs::path& path)
{
    DatasetParts parts;
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        parts.folder = path;
        parts.wholeFolder = true;
        parts.names = folderEntries(path);
        return parts;
    }
    parts.folder = folderOf(path);
    const std::string name = path.filename().string();
    std::string stem;
    const Family family = familyOf(name, stem);
    parts.names.push_back(name);
    for (const auto& extension : family.extensions) {
        const std::string part = stem + extension;
        if (std::none_of(parts.names.begin(), parts.names.end(),
                         [&](const std::string& known) { return sameName(known, part); }))
            parts.names.push_back(part);
    }
    return parts;
}

std::vector<fs::path> datasetPartPaths(const fs::path& path)
{
    const DatasetParts parts = datasetParts(path);
    std::vector<fs::path> files;
    for (const auto& name : parts.names)
        files.push_back(parts.wholeFolder ? path / name : parts.folder / name);
    if (parts.wholeFolder)
        return files;
    for (const auto& entry : folderEntries(parts.folder))
        if (std::find(parts.names.begin(), parts.names.end(), entry) == parts.names.end() &&
            std::any_of(parts.names.begin(), parts.names.end(),
                        [&](const std::string& name) { return sameName(name, entry); }))
            files.push_back(parts.folder / entry);
    return files;
}

fs::path writtenFile(const fs::path& asked)
{
    std::error_code ec;
    if (fs::exists(asked, ec))
        return asked;
    const fs::path folder = folderOf(asked);
    const std::string name = lower(asked.filename().string());
    for (const auto& entry : folderEntries(folder))
        if (lower(entry) == name)
            return asked.parent_path() / entry;
    return asked;
}

namespace {

// The output as it will be written: symbolic links followed.
fs::path resolved(const fs::path& out)
{
    std::error_code ec;
    if (fs::is_directory(out, ec))
        return out;
    return platform::outputTarget(out);
}

} // namespace

void checkDatasetsApart(const fs::path& in, const fs::path& shownOut)
{
    const fs::path out = resolved(shownOut);
    const DatasetParts inParts = datasetParts(in);
    const DatasetParts outParts = datasetParts(out);
    const std::vector<fs::path> inFiles = datasetPartPaths(in);
    const std::vector<fs::path> outFiles = datasetPartPaths(out);

    std::vector<Identity> inIds;
    for (const auto& file : inFiles) {
        Identity id{};
        if (identity(file, id))
            inIds.push_back(id);
    }
    for (const auto& file : outFiles) {
        Identity id{};
        if (identity(file, id) && std::find(inIds.begin(), inIds.end(), id) != inIds.end())
            collide(in, shownOut, file);
    }
    if (!sameFolder(inParts.wholeFolder ? in : inParts.folder, outParts.folder))
        return;
    if (inParts.wholeFolder)
        collide(in, shownOut, outFiles.front());
    for (const auto& name : outParts.names)
        for (const auto& inName : inParts.names)
            if (sameName(name, inName))
                collide(in, shownOut, outParts.folder / name);
}

void checkDatasetOutputParts(const fs::path& out)
{
    for (const auto& part : datasetPartPaths(resolved(out))) {
        struct stat st {};
        if (::lstat(part.c_str(), &st) != 0)
            continue;
        platform::checkOutputFile(part);
        if (::stat(part.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (st.st_uid != ::geteuid())
            throw platform::Bilingual<FileError>(
                "cannot replace " + part.string() + ": the file belongs to another user (uid " +
                    std::to_string(st.st_uid) + ")",
                "datoteke " + part.string() + " ni mogoče nadomestiti: datoteka je last drugega uporabnika");
        const int fd = ::open(part.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            continue; // checkOutputFile found it writable; the rename tells the rest
        int flags = 0;
        const bool known = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        ::close(fd);
        if (known && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)))
            throw platform::Bilingual<FileError>("cannot replace " + part.string() + ": the file is " +
                                           ((flags & FS_IMMUTABLE_FL) ? "immutable" : "append-only") +
                                           " (chattr)",
                                       "datoteke " + part.string() +
                                           " ni mogoče nadomestiti: datoteka je zaščitena pred spremembami");
    }
}

} // namespace kolmo
