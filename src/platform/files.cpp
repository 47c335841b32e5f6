#include "platform/files.h"

#include "platform/cause.h"
#include "platform/errors.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
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
// it would point to.
fs::path resolveLinks(const fs::path& target)
{
    fs::path p = target;
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(p, ec); ++hops) {
        const fs::path next = fs::read_symlink(p, ec);
        if (ec)
            break;
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    return p;
}

// A hidden name beside `target` for its temporary file or folder.
fs::path temporaryName(const fs::path& target)
{
    static std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string stem(1, '.');
    stem += target.filename().string();
    stem += ".kolmo-";
    return folder / (stem + std::to_string(random() % 1000000000u));
}

// A new temporary file beside `target`, created exclusively with the
// permissions of a plain create; its name goes to `name`.
int createTemporary(const fs::path& target, fs::path& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporaryName(target);
        const int fd = openRetrying(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
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
// replaces (none for a new file), flushes it and renames it over the target;
// removes it on any failure.
void commitTemporary(int fdTemp, const fs::path& temporary, const fs::path& target, const mode_t* mode)
{
    Fd fd(fdTemp);
    auto undo = [&](Action what, int err) {
        fd.reset(-1);
        ::unlink(temporary.c_str());
        fail(what, target, err);
    };
    if (mode && ::fchmod(fd.get(), *mode) != 0)
        undo(Action::SetPermissions, errno);
    if (::fsync(fd.get()) != 0)
        undo(Action::Write, errno);
    if (!fd.close())
        undo(Action::Write, errno);
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        undo(Action::Replace, errno);
    syncFolder(target);
}

// Pieces smaller than this are gathered before they go to the file.
constexpr std::size_t kWriteBuffer = std::size_t(1) << 20;

} // namespace

void writeFileAtomic(const fs::path& target, std::string_view bytes)
{
    FileWriter file(target);
    file.write(bytes);
    file.commit();
}

FileWriter::FileWriter(const fs::path& target)
{
    const fs::path file = resolveLinks(target);
    name_ = file.string();
    struct stat old {};
    const bool exists = ::stat(file.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        fail(Action::Write, file, EISDIR);
    target_ = file;
    if (exists && !S_ISREG(old.st_mode)) {
        // A terminal, /dev/null, a pipe: nothing to rename over.
        fd_ = openRetrying(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd_ < 0)
            fail(Action::OpenForWriting, file, errno);
        ownsFd_ = true;
        return;
    }
    fd_ = createTemporary(file, temporary_);
    if (fd_ < 0)
        fail(Action::Create, file, errno);
    ownsFd_ = true;
    replaces_ = exists;
    mode_ = old.st_mode & 07777;
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
      buffer_(std::move(other.buffer_))
{
    other.fd_ = -1;
    other.ownsFd_ = false;
    other.temporary_.clear();
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
    commitTemporary(fd, temporary, target_, replaces_ ? &mode : nullptr);
}

void writeFileAtomicVia(const fs::path& target, const std::function<void(const fs::path& temporary)>& write)
{
    const fs::path file = resolveLinks(target);
    struct stat old {};
    const bool exists = ::stat(file.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        fail(Action::Write, file, S_ISDIR(old.st_mode) ? EISDIR : EINVAL);

    fs::path temporary;
    const int created = createTemporary(file, temporary);
    if (created < 0)
        fail(Action::Create, file, errno);
    ::close(created);
    try {
        write(temporary);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    const int fd = openRetrying(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        fail(Action::Write, file, err);
    }
    const mode_t mode = old.st_mode & 07777;
    commitTemporary(fd, temporary, file, exists ? &mode : nullptr);
}

FolderWriter::FolderWriter(const fs::path& target)
{
    target_ = resolveLinks(target);
    struct stat old {};
    if (::stat(target_.c_str(), &old) == 0 && !S_ISREG(old.st_mode))
        fail(Action::Write, target_, S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    for (int attempt = 0; attempt < 100; ++attempt) {
        folder_ = temporaryName(target_);
        if (::mkdir(folder_.c_str(), 0777) == 0) {
            file_ = folder_ / target_.filename();
            return;
        }
        if (errno != EEXIST)
            break;
    }
    const int err = errno;
    folder_.clear();
    fail(Action::Create, target_, err);
}

FolderWriter::~FolderWriter()
{
    if (folder_.empty())
        return;
    std::error_code ec;
    fs::remove_all(folder_, ec);
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
    for (const auto& file : written) {
        const fs::path to = destination / file.filename();
        struct stat old {};
        if (::stat(to.c_str(), &old) == 0)
            (void)::chmod(file.c_str(), old.st_mode & 07777);
        if (::rename(file.c_str(), to.c_str()) != 0)
            fail(Action::Replace, to, errno);
        names.push_back(file.filename().string());
    }
    for (const auto& name : stale)
        if (std::find(names.begin(), names.end(), name) == names.end())
            ::unlink((destination / name).c_str());
    syncFolder(target_);
    fs::remove_all(folder_, ec);
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
