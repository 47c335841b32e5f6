#include "platform/files.h"
#include "platform/cause.h"

#include "platform/errors.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>

namespace kolmo::platform {
namespace {

namespace fs = std::filesystem;

using Action = SystemError::Action;

[[noreturn]] void fail(Action action, const fs::path& file, int err) { throw SystemError(action, file.string(), err); }

[[noreturn]] void closed(const std::string& name)
{
    throw Bilingual<FileError>("cannot write " + name + ": the file is closed",
                               "datoteke " + name + " ni mogoče zapisati: datoteka je zaprta");
}

// Closes a descriptor on every way out.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    // Closes now; errno is kept on failure.
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

int openRetrying(const char* path, int flags, mode_t mode = 0)
{
    int fd;
    do
        fd = ::open(path, flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes all of `bytes`; errno is kept on failure.
bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t w = ::write(fd, bytes.data(), bytes.size());
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return false;
        if (w == 0) {
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(w));
    }
    return true;
}

// The file a path names once symbolic links are followed, so that the link
// stays and the file it points to is replaced.  A dangling link names the file
// it would point to; a chain that does not end (a loop) is ELOOP.
fs::path resolveLinks(const fs::path& target)
{
    fs::path p = target;
    std::error_code ec;
    for (int hops = 0; fs::is_symlink(p, ec); ++hops) {
        if (hops == 40)
            fail(Action::Write, target, ELOOP);
        const fs::path next = fs::read_symlink(p, ec);
        if (ec)
            break;
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    return p;
}

// ---- The registry of the process's temporary files ----------------------
//
// Fixed slots holding the absolute names, so that the signal handler only
// reads pointers and calls unlink (both async-signal-safe).  A slot is taken
// by a compare-and-swap from null and given back by an exchange; the name is
// freed only after it is out of the slot, so the handler never reads freed
// memory on the thread it interrupts.
constexpr int kSlots = 256;
std::atomic<char*> g_slots[kSlots];

int registerTemporary(const fs::path& file)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(file, ec);
    if (ec)
        absolute = file;
    const std::string name = absolute.string();
    char* copy = new char[name.size() + 1];
    std::memcpy(copy, name.c_str(), name.size() + 1);
    for (int k = 0; k < kSlots; ++k) {
        char* expected = nullptr;
        if (g_slots[k].compare_exchange_strong(expected, copy))
            return k;
    }
    delete[] copy;  // full: the file is still removed on every ordinary way out
    return -1;
}

void unregisterTemporary(int& slot) noexcept
{
    if (slot < 0)
        return;
    delete[] g_slots[slot].exchange(nullptr);
    slot = -1;
}

// Empties and removes the temporary folder `name` (a GIS dataset's files)
// with system calls only, as a signal handler may: getdents64 reads the
// entries, unlinkat removes them.
void removeFolderInHandler(const char* name)
{
    const int fd = ::open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    alignas(8) char buffer[4096];
    for (int round = 0; round < 64; ++round) {
        const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (long at = 0; at < n;) {
            struct Entry {
                unsigned long long ino;
                long long off;
                unsigned short reclen;
                unsigned char type;
                char name[1];
            };
            const auto* e = reinterpret_cast<const Entry*>(buffer + at);
            if (!(e->name[0] == '.' && (e->name[1] == 0 || (e->name[1] == '.' && e->name[2] == 0))))
                (void)::unlinkat(fd, e->name, 0);
            at += e->reclen;
        }
    }
    ::close(fd);
    (void)::rmdir(name);
}

extern "C" void removeTemporariesAndDie(int sig)
{
    const int saved = errno;
    for (auto& slot : g_slots)
        if (const char* name = slot.load())
            if (::unlink(name) != 0 && errno == EISDIR)
                removeFolderInHandler(name);
    errno = saved;
    // The handler was reset to the default action and the signal is not
    // blocked inside it (SA_RESETHAND | SA_NODEFER): this ends the process
    // by the signal it got.
    ::raise(sig);
}

// ---- Temporary names and the stale ones of killed runs --------------------

constexpr const char* kTempMark = ".kolmo-";
constexpr long long kStaleSeconds = 24 * 60 * 60;

bool allDigits(std::string_view s)
{
    return !s.empty() && s.size() <= 20 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Removes the stale temporary files of `folder`, once per folder and process:
// a run killed by SIGKILL (or a power cut) cannot remove its own.  Both the
// time in the name and the file's modification time must be more than a day
// old, so a run still writing (its file changes) is never touched.
void sweepStaleTemporaries(const fs::path& folder)
{
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        std::error_code ec;
        fs::path key = fs::absolute(folder, ec);
        std::lock_guard lock(mutex);
        if (!swept.insert((ec ? folder : key).lexically_normal().string()).second)
            return;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const long long now = static_cast<long long>(std::time(nullptr));
    while (const dirent* entry = ::readdir(dir)) {
        if (!staleTemporaryName(entry->d_name, now))
            continue;
        const fs::path file = folder / entry->d_name;
        struct stat st {};
        if (::lstat(file.c_str(), &st) != 0 || now - static_cast<long long>(st.st_mtime) <= kStaleSeconds)
            continue;
        if (S_ISREG(st.st_mode)) {
            ::unlink(file.c_str());
        } else if (S_ISDIR(st.st_mode)) {
            std::error_code ec;  // a dataset's folder: its files are the run's own
            fs::remove_all(file, ec);
        }
    }
    ::closedir(dir);
}

// ".<name>.kolmo-<pid>-<time>-": the name is shortened so that the whole stays
// within the 255 bytes a file name may have.
std::string temporaryPrefix(const fs::path& target)
{
    std::string name = target.filename().string();
    if (name.size() > 180)
        name.resize(180);
    return "." + name + kTempMark + std::to_string(::getpid()) + "-" +
           std::to_string(static_cast<long long>(std::time(nullptr))) + "-";
}

std::uint64_t randomNumber()
{
    static std::mutex mutex;
    static std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
    std::lock_guard lock(mutex);
    return random() % 1000000000u;
}

// A hidden name beside `target` for a temporary folder, named as the
// temporary files are.
fs::path temporaryName(const fs::path& target)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    return folder / (temporaryPrefix(target) + std::to_string(randomNumber()));
}

// A new temporary file beside `target`, created exclusively with the
// permissions of a plain create; its name goes to `name` and its entry in the
// signal registry to `slot`.  The name is registered before the file is made,
// so that no signal finds the file there and not in the registry (the process
// id in the name keeps other processes' files out of it).
int createTemporary(const fs::path& target, fs::path& name, int& slot)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    sweepStaleTemporaries(folder);
    const std::string prefix = temporaryPrefix(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder / (prefix + std::to_string(randomNumber()));
        slot = registerTemporary(name);
        const int fd = openRetrying(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        const int err = errno;
        unregisterTemporary(slot);
        if (err != EEXIST) {
            errno = err;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

// ---- Outputs checked before anything is written --------------------------

bool underDevices(const fs::path& p)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(p, ec);
    if (ec)
        absolute = p;
    const std::string s = absolute.lexically_normal().string();
    auto under = [&](std::string_view root) {
        return s.compare(0, root.size(), root) == 0 && (s.size() == root.size() || s[root.size()] == '/');
    };
    // /dev/shm is a plain memory file system where files may be kept.
    return (under("/dev") && !under("/dev/shm")) || under("/proc") || under("/sys");
}

[[noreturn]] void deviceOutput(const fs::path& target)
{
    throw Bilingual<FileError>(
        "cannot write " + target.string() + ": a device, not a file (results go to files; - writes the standard output)",
        "datoteke " + target.string() + " ni mogoče zapisati: to je naprava, ne datoteka");
}

// The checks of checkOutputFile; returns the file to write (links followed)
// and whether it exists, with its status.
struct OutputFile {
    fs::path file;
    bool exists = false;
    struct stat st {};
};

OutputFile inspectOutput(const fs::path& target)
{
    if (target.empty())
        throw FileError("no file name given for an output");
    OutputFile out;
    out.file = resolveLinks(target);
    if (underDevices(target) || underDevices(out.file))
        deviceOutput(target);
    if (::stat(out.file.c_str(), &out.st) == 0) {
        out.exists = true;
        if (S_ISDIR(out.st.st_mode))
            fail(Action::Write, out.file, EISDIR);
        if (S_ISCHR(out.st.st_mode) || S_ISBLK(out.st.st_mode))
            deviceOutput(target);
        if (S_ISREG(out.st.st_mode) && ((out.st.st_mode & 0222) == 0 || ::access(out.file.c_str(), W_OK) != 0))
            throw Bilingual<FileError>("cannot replace " + out.file.string() + ": the file is read-only",
                                       "datoteke " + out.file.string() + " ni mogoče nadomestiti: datoteka je samo za branje");
        return out;
    }
    if (errno != ENOENT)
        fail(Action::Write, out.file, errno);
    const fs::path folder = out.file.has_parent_path() ? out.file.parent_path() : fs::path(".");
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0)
        fail(Action::Write, out.file, errno);
    if (!S_ISDIR(dir.st_mode))
        fail(Action::Write, out.file, ENOTDIR);
    return out;
}

// Flushes the folder's entry of a renamed file; a failure here leaves the new
// file in place, only less certain to survive a power cut, so it is not reported.
void syncFolder(const fs::path& file)
{
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    Fd fd(openRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        (void)::fsync(fd.get());
}

// Gives the finished temporary file the permission bits `mode` of the file it
// replaces (none for a new file) and flushes it to the disk; removes it on any
// failure.
void finishTemporary(int fdTemp, const fs::path& temporary, const fs::path& target, const mode_t* mode, int& slot)
{
    Fd fd(fdTemp);
    auto undo = [&](Action what, int err) {
        fd.reset(-1);
        ::unlink(temporary.c_str());
        unregisterTemporary(slot);
        fail(what, target, err);
    };
    if (mode && ::fchmod(fd.get(), *mode) != 0)
        undo(Action::SetPermissions, errno);
    if (::fsync(fd.get()) != 0)
        undo(Action::Write, errno);
    if (!fd.close())
        undo(Action::Write, errno);
}

// Renames the finished temporary file over the target now, or hands it to the
// thread's commit group.
void placeTemporary(const fs::path& temporary, const fs::path& target, int& slot)
{
    if (CommitGroup* group = CommitGroup::current()) {
        group->add({temporary, target, slot});
        slot = -1;
        return;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        unregisterTemporary(slot);
        fail(Action::Replace, target, err);
    }
    unregisterTemporary(slot);
    syncFolder(target);
}

// Pieces smaller than this are gathered before they go to the file.
constexpr std::size_t kWriteBuffer = std::size_t(1) << 20;

thread_local CommitGroup* g_group = nullptr;

} // namespace

void writeFileAtomic(const fs::path& target, std::string_view bytes)
{
    FileWriter file(target);
    file.write(bytes);
    file.commit();
}

FileWriter::FileWriter(const fs::path& target)
{
    const OutputFile out = inspectOutput(target);
    const fs::path& file = out.file;
    name_ = file.string();
    target_ = file;
    if (out.exists && !S_ISREG(out.st.st_mode)) {
        // A named pipe: nothing to rename over.
        fd_ = openRetrying(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd_ < 0)
            fail(Action::OpenForWriting, file, errno);
        ownsFd_ = true;
        return;
    }
    fd_ = createTemporary(file, temporary_, slot_);
    if (fd_ < 0)
        fail(Action::Create, file, errno);
    ownsFd_ = true;
    replaces_ = out.exists;
    mode_ = out.st.st_mode & 07777;
}

FileWriter FileWriter::standardOutput()
{
    FileWriter w;
    w.fd_ = STDOUT_FILENO;
    w.name_ = "standard output";
    return w;
}

FileWriter::FileWriter(FileWriter&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::move(other.temporary_)), name_(std::move(other.name_)),
      fd_(other.fd_), ownsFd_(other.ownsFd_), replaces_(other.replaces_), mode_(other.mode_),
      buffer_(std::move(other.buffer_)), slot_(other.slot_)
{
    other.fd_ = -1;
    other.ownsFd_ = false;
    other.temporary_.clear();
    other.slot_ = -1;
}

FileWriter::~FileWriter() { abandon(); }

void FileWriter::abandon() noexcept
{
    if (ownsFd_ && fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    ownsFd_ = false;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
    unregisterTemporary(slot_);
}

void FileWriter::writeOut(std::string_view bytes)
{
    if (fd_ < 0)
        closed(name_);
    if (!writeAll(fd_, bytes)) {
        const int err = errno;
        abandon();
        throw SystemError(Action::Write, name_, err);
    }
}

void FileWriter::flushBuffer()
{
    if (buffer_.empty())
        return;
    writeOut(buffer_);
    buffer_.clear();
}

void FileWriter::write(std::string_view bytes)
{
    if (buffer_.size() + bytes.size() <= kWriteBuffer) {
        buffer_.append(bytes);
        return;
    }
    flushBuffer();
    if (bytes.size() < kWriteBuffer) {
        buffer_.append(bytes);
        return;
    }
    // A large piece goes out as it stands, without a copy.
    writeOut(bytes);
}

void FileWriter::commit()
{
    flushBuffer();
    if (fd_ < 0)
        closed(name_);
    if (temporary_.empty()) {
        const int fd = fd_;
        const bool owns = ownsFd_;
        fd_ = -1;
        ownsFd_ = false;
        if (owns && ::close(fd) != 0)
            fail(Action::Write, target_, errno);
        return;
    }
    const int fd = fd_;
    const fs::path temporary = std::move(temporary_);
    temporary_.clear();
    fd_ = -1;
    ownsFd_ = false;
    const mode_t mode = static_cast<mode_t>(mode_);
    finishTemporary(fd, temporary, target_, replaces_ ? &mode : nullptr, slot_);
    placeTemporary(temporary, target_, slot_);
}

void writeFileAtomicVia(const fs::path& target, const std::function<void(const fs::path& temporary)>& write)
{
    const OutputFile out = inspectOutput(target);
    const fs::path& file = out.file;
    if (out.exists && !S_ISREG(out.st.st_mode))
        fail(Action::Write, file, EINVAL);

    fs::path temporary;
    int slot = -1;
    const int created = createTemporary(file, temporary, slot);
    if (created < 0)
        fail(Action::Create, file, errno);
    ::close(created);
    try {
        write(temporary);
    } catch (...) {
        ::unlink(temporary.c_str());
        unregisterTemporary(slot);
        throw;
    }
    const int fd = openRetrying(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        unregisterTemporary(slot);
        fail(Action::Write, file, err);
    }
    const mode_t mode = out.st.st_mode & 07777;
    finishTemporary(fd, temporary, file, out.exists ? &mode : nullptr, slot);
    placeTemporary(temporary, file, slot);
}

void checkOutputFile(const fs::path& target) { (void)inspectOutput(target); }

fs::path outputTarget(const fs::path& path)
{
    const fs::path file = resolveLinks(path);
    std::error_code ec;
    fs::path absolute = fs::absolute(file, ec);
    if (ec)
        absolute = file;
    fs::path canonical = fs::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal() : canonical;
}

bool sameOutput(const fs::path& a, const fs::path& b)
{
    if (sameFile(a, b))
        return true;
    try {
        return outputTarget(a) == outputTarget(b);
    } catch (const FileError&) {
        return a.lexically_normal() == b.lexically_normal();
    }
}

CommitGroup::CommitGroup() : previous_(g_group) { g_group = this; }

CommitGroup::~CommitGroup()
{
    discard();
    g_group = previous_;
}

CommitGroup* CommitGroup::current() { return g_group; }

void CommitGroup::discard() noexcept
{
    for (auto& p : pending_) {
        ::unlink(p.temporary.c_str());
        unregisterTemporary(p.slot);
    }
    pending_.clear();
}

namespace {

// Renames every finished file over its target, or none: under an advisory
// lock (flock) on each folder of the set, taken in one order by every run, so
// that the renames of a concurrent run come wholly before or after these; the
// old files are kept as hard links until every rename has succeeded, and put
// back when one fails.  Then, still under the locks, the files `remove` go (a
// former dataset's parts that the new one does not bring).
void renameAllLocked(std::vector<CommitGroup::Pending> files, const std::vector<fs::path>& remove)
{
    // Every folder of the set locked, in one order for all runs: a concurrent
    // run's renames come wholly before or after ours.
    std::vector<std::string> folders;
    for (const auto& f : files) {
        std::error_code ec;
        const fs::path folder = f.target.has_parent_path() ? f.target.parent_path() : fs::path(".");
        const fs::path absolute = fs::absolute(folder, ec);
        folders.push_back((ec ? folder : absolute).lexically_normal().string());
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    std::vector<std::unique_ptr<Fd>> locks;
    for (const auto& folder : folders) {
        auto fd = std::make_unique<Fd>(openRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fd->get() < 0)
            continue;  // renames are still whole, only not ordered with other runs
        while (::flock(fd->get(), LOCK_EX) != 0 && errno == EINTR) {
        }
        locks.push_back(std::move(fd));
    }

    // The old files kept as hard links until every rename has succeeded.
    std::vector<fs::path> backups(files.size());
    std::vector<int> backupSlots(files.size(), -1);
    auto dropBackups = [&] {
        for (std::size_t k = 0; k < files.size(); ++k)
            if (!backups[k].empty()) {
                ::unlink(backups[k].c_str());
                unregisterTemporary(backupSlots[k]);
            }
    };
    for (std::size_t k = 0; k < files.size(); ++k) {
        struct stat st {};
        if (::lstat(files[k].target.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const fs::path folder = files[k].target.has_parent_path() ? files[k].target.parent_path() : fs::path(".");
        const std::string prefix = temporaryPrefix(files[k].target);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path name = folder / (prefix + std::to_string(randomNumber()));
            backupSlots[k] = registerTemporary(name);
            if (::link(files[k].target.c_str(), name.c_str()) == 0) {
                backups[k] = name;
                break;
            }
            const int err = errno;
            unregisterTemporary(backupSlots[k]);
            if (err != EEXIST)
                break;  // no hard links here: this file cannot be put back
        }
    }
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (::rename(files[k].temporary.c_str(), files[k].target.c_str()) == 0) {
            unregisterTemporary(files[k].slot);
            continue;
        }
        const int err = errno;
        for (std::size_t j = 0; j < k; ++j) {
            if (!backups[j].empty()) {
                if (::rename(backups[j].c_str(), files[j].target.c_str()) == 0) {
                    unregisterTemporary(backupSlots[j]);
                    backups[j].clear();
                }
            } else {
                ::unlink(files[j].target.c_str());
            }
        }
        for (std::size_t j = k; j < files.size(); ++j) {
            ::unlink(files[j].temporary.c_str());
            unregisterTemporary(files[j].slot);
        }
        dropBackups();
        fail(Action::Replace, files[k].target, err);
    }
    dropBackups();
    for (const auto& file : remove)
        ::unlink(file.c_str());
    for (const auto& folder : folders)
        syncFolder(fs::path(folder) / "x");
}

} // namespace

void CommitGroup::commitAll()
{
    std::vector<Pending> files = std::move(pending_);
    pending_.clear();
    renameAllLocked(std::move(files), {});
}

void removeTemporariesOnSignals()
{
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction sa {};
        sa.sa_handler = removeTemporariesAndDie;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESETHAND | SA_NODEFER;
        ::sigaction(sig, &sa, nullptr);
    }
}

bool staleTemporaryName(std::string_view name, long long now)
{
    // ".<name>.kolmo-<pid>-<time>-<random>"
    if (name.size() < 2 || name[0] != '.')
        return false;
    const auto mark = name.rfind(kTempMark);
    if (mark == std::string_view::npos || mark == 0)
        return false;
    std::string_view rest = name.substr(mark + std::strlen(kTempMark));
    std::string_view parts[3];
    for (int k = 0; k < 3; ++k) {
        const auto dash = k < 2 ? rest.find('-') : rest.size();
        if (dash == std::string_view::npos)
            return false;
        parts[k] = rest.substr(0, dash);
        rest.remove_prefix(std::min(rest.size(), dash + 1));
        if (!allDigits(parts[k]))
            return false;
    }
    long long stamp = 0;
    const auto [end, ec] = std::from_chars(parts[1].data(), parts[1].data() + parts[1].size(), stamp);
    return ec == std::errc() && end == parts[1].data() + parts[1].size() && now - stamp > kStaleSeconds;
}

std::size_t registeredTemporaries()
{
    std::size_t n = 0;
    for (const auto& slot : g_slots)
        n += slot.load() != nullptr;
    return n;
}

void closeStandardOutput()
{
    errno = 0;
    std::fflush(stdout);
    const int flushed = errno;
    if (std::ferror(stdout)) {
        // stdio keeps no reason of an earlier failed write; the flush's is the
        // one there is.
        const int err = flushed ? flushed : EIO;
        std::clearerr(stdout);
        throw SystemError(Action::Write, "standard output", err);
    }
    // A file system that reports write errors only when the file is closed
    // (NFS) does so at the close of any descriptor of it.
    const int fd = ::dup(STDOUT_FILENO);
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR)
        fail(Action::Write, "standard output", errno);
}

FolderWriter::FolderWriter(const fs::path& target)
{
    const OutputFile out = inspectOutput(target);
    target_ = out.file;
    if (out.exists && !S_ISREG(out.st.st_mode))
        fail(Action::Write, target_, S_ISDIR(out.st.st_mode) ? EISDIR : EINVAL);
    sweepStaleTemporaries(target_.has_parent_path() ? target_.parent_path() : fs::path("."));
    for (int attempt = 0; attempt < 100; ++attempt) {
        folder_ = temporaryName(target_);
        slot_ = registerTemporary(folder_);
        if (::mkdir(folder_.c_str(), 0777) == 0) {
            file_ = folder_ / target_.filename();
            return;
        }
        const int err = errno;
        unregisterTemporary(slot_);
        if (err != EEXIST) {
            folder_.clear();
            fail(Action::Create, target_, err);
        }
    }
    folder_.clear();
    fail(Action::Create, target_, EEXIST);
}

FolderWriter::~FolderWriter()
{
    if (folder_.empty())
        return;
    std::error_code ec;
    fs::remove_all(folder_, ec);
    unregisterTemporary(slot_);
}

void FolderWriter::commit(const std::vector<std::string>& stale)
{
    if (folder_.empty())
        throw FileError("cannot write " + target_.string() + ": already written");
    const fs::path destination = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
    std::vector<fs::path> written;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec))
        if (entry.is_regular_file())
            written.push_back(entry.path());
    if (ec)
        fail(Action::Write, target_, ec.value());
    // Everything on the disk before the first rename, so that a power cut
    // leaves either the old files or complete new ones.
    for (const auto& file : written) {
        Fd fd(openRetrying(file.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.get() < 0 || ::fsync(fd.get()) != 0)
            fail(Action::Write, destination / file.filename(), errno);
    }
    std::vector<std::string> names;
    std::vector<CommitGroup::Pending> files;
    for (const auto& file : written) {
        const fs::path to = destination / file.filename();
        struct stat old {};
        if (::stat(to.c_str(), &old) == 0)
            (void)::chmod(file.c_str(), old.st_mode & 07777);
        files.push_back({file, to, -1});
        names.push_back(file.filename().string());
    }
    std::vector<fs::path> remove;
    for (const auto& name : stale)
        if (std::find(names.begin(), names.end(), name) == names.end())
            remove.push_back(destination / name);
    // All parts or none, under the folder's lock that transform's outputs
    // take too: a concurrent run's parts never mix with these.
    renameAllLocked(std::move(files), remove);
    fs::remove_all(folder_, ec);
    unregisterTemporary(slot_);
    folder_.clear();
}


void appendLocked(const fs::path& file, std::string_view text, const std::function<void(LineReader& current)>& check)
{
    Fd fd(openRetrying(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        fail(Action::OpenForWriting, file, errno);
    // Cooperating writers wait here: the check of the content and the append
    // below happen as one step.
    while (::flock(fd.get(), LOCK_EX) != 0)
        if (errno != EINTR)
            fail(Action::Lock, file, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        fail(Action::ReadLocked, file, errno);
    if (!S_ISREG(st.st_mode))
        throw Bilingual<FileError>(file.string() + " is not a regular file",
                                   file.string() + " ni navadna datoteka");
    {
        LineReader current(fd.get(), file.string());
        check(current);
    }
    // Under the lock a short write may go on where it stopped; one that
    // cannot finish is taken back rather than leave half a line (if even that
    // fails, the message below is all there is to do).
    if (!writeAll(fd.get(), text)) {
        const int err = errno;
        (void)::ftruncate(fd.get(), st.st_size);
        fail(Action::Append, file, err);
    }
    if (!fd.close())
        fail(Action::Append, file, errno);
}

bool sameFile(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    const bool same = fs::equivalent(a, b, ec);
    return !ec && same;
}

fs::path executableFolder()
{
    std::error_code ec;
    const auto exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

} // namespace kolmo::platform
