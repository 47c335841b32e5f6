// Writing files without ever leaving a damaged one, and the other services of
// the file system that the program needs.  This module and textread are the
// only places that call the operating system's file functions.
//
// writeFileAtomic: the new content goes to a temporary file in the target's
// folder (so that the rename stays within one file system), is flushed to the
// disk, and is then renamed over the target in one step.  Readers see the old
// file or the new one, never a part of either; a full disk, a file-size limit,
// an interrupted run or a power cut leave the previous file as it was.  On any
// failure the temporary file is removed and FileError names the file and the
// operating system's reason.  A new file gets the permissions of a plain create
// (0666 less the umask); a replaced file keeps its permission bits.  A target
// that is a symbolic link is written through: the file it points to is
// replaced and the link stays.  A target that exists but is no regular file
// (a terminal, /dev/null, a pipe) is written directly, as there is nothing to
// rename over.
//
// FileWriter: the same rule for a file written piece by piece as its content
// is produced, so that a large result never has to be held in memory whole:
// the pieces go to the temporary file (through a buffer), and commit() flushes,
// renames and so replaces the target in one step.  A writer that is destroyed
// without commit() (an exception on the way) removes its temporary file and
// leaves the target untouched.  A target that is no regular file is written
// directly, and FileWriter::standardOutput() writes the process's standard
// output, where commit() only flushes.  Failures throw FileError naming the
// file (or "standard output") and the operating system's reason.
//
// appendLocked: the locked append of the parameter database.  The file (made
// when missing) is opened for appending and locked exclusively (an advisory
// lock that cooperating writers honour); `check` reads the content as it
// stands under the lock and throws to refuse the append; then `text` goes out
// in one write, and a write that does not land whole is taken back.  So
// checking and appending are one step for every writer, and no record is ever
// torn or interleaved.  Failures of the system calls throw FileError with the
// reason; what `check` throws passes through.
//
// Temporary files are named ".<target>.kolmo-<pid>-<seconds since 1970>-<random>"
// beside their target.  While one exists its name is kept in a small registry
// that removeTemporariesOnSignals() empties from a signal handler (unlink is
// async-signal-safe), so an interrupted run leaves no stray file; SIGKILL and a
// power cut cannot be caught, so the first temporary file a process makes in a
// folder removes the stale ones there: names of this form older than a day.
//
// checkOutputFile: what can be told about an output before anything is
// computed.  Refused, with FileError naming the file and why: an empty name, a
// folder, a device (a path under /dev or /proc, or one that leads to a device:
// /dev/stdout would replace whatever file the standard output goes to), a
// symbolic link that loops (ELOOP), a read-only file (no write permission bit:
// cp and editors ask before they replace one), a missing folder.  FileWriter
// applies the same checks.
//
// CommitGroup: all or nothing for the several outputs of one run.  While a
// group is alive on a thread, FileWriter::commit() (and so writeFileAtomic and
// writeFileAtomicVia) finishes its temporary file but leaves the rename to the
// group: commitAll() then renames every file, holding an advisory lock
// (flock) on each folder so that concurrent runs do not interleave their sets
// of files; if a rename fails, the files already renamed get their old content
// back (kept as a hard link until the end) and FileError is thrown.  A group
// destroyed without commitAll() removes every temporary file: each old file
// stays as it was.
#pragma once

#include "platform/textread.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo::platform {

void writeFileAtomic(const std::filesystem::path& target, std::string_view bytes);

// The same for a writer that opens the file itself by name (a library): `write`
// fills the temporary file whose name it is given.
void writeFileAtomicVia(const std::filesystem::path& target,
                        const std::function<void(const std::filesystem::path& temporary)>& write);

class FileWriter {
public:
    explicit FileWriter(const std::filesystem::path& target);
    static FileWriter standardOutput();
    FileWriter(FileWriter&& other) noexcept;
    FileWriter& operator=(FileWriter&&) = delete;
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    ~FileWriter();

    void write(std::string_view bytes);
    // Flushes and puts the file in place; the writer is finished after it.
    void commit();
    // The target as messages name it.
    const std::string& name() const { return name_; }

private:
    FileWriter() = default;
    void writeOut(std::string_view bytes); // straight to the file, abandoning it on failure
    void flushBuffer();
    void abandon() noexcept;

    std::filesystem::path target_, temporary_; // temporary_ empty: written directly
    std::string name_;
    int fd_ = -1;
    bool ownsFd_ = false;
    bool replaces_ = false;  // the target existed: keep its permission bits
    unsigned mode_ = 0;
    std::string buffer_;
    int slot_ = -1;  // the temporary file's entry in the signal registry
};

// The same rule for a library that writes a set of files at once (a
// Shapefile's .shp .shx .dbf .prj .cpg, GML's .gml and .xsd): it writes them
// into a new hidden folder beside the target, named as the temporary files
// are, under the target's own file name (file()).  commit() flushes each file
// and renames it into the target's folder (a replaced file keeps its
// permission bits), removes the names in `stale` that the new set does not
// bring (a former Shapefile's spatial index, which would not fit the new
// geometries) and then the folder.  The renames are made as CommitGroup makes
// them: all or none, under the lock (flock) of the target's folder, the old
// files put back when one rename fails, so that concurrent runs into one
// dataset never leave parts of two runs.  A writer destroyed without commit() removes the folder
// with everything in it and leaves the target's folder untouched; so does a
// signal (the folder is in the registry of temporaries), and a stale folder of
// a killed run goes at the next write into that folder, as stale files do.
class FolderWriter {
public:
    explicit FolderWriter(const std::filesystem::path& target);
    FolderWriter(const FolderWriter&) = delete;
    FolderWriter& operator=(const FolderWriter&) = delete;
    ~FolderWriter();

    const std::filesystem::path& file() const { return file_; }
    // The file the dataset is written to (symbolic links followed).
    const std::filesystem::path& target() const { return target_; }
    void commit(const std::vector<std::string>& stale = {});

private:
    std::filesystem::path target_, folder_, file_; // folder_ empty once committed
    int slot_ = -1;                                // the folder in the signal registry
};

void checkOutputFile(const std::filesystem::path& target);

// The file a path names once symbolic links (of the file and of its folders)
// are followed, absolute and without "." and "..": two paths name the same
// output when these agree, whether the file exists yet or not.  A dangling link
// names the file it would create.  Throws FileError (ELOOP) for a link loop.
std::filesystem::path outputTarget(const std::filesystem::path& path);

// Whether `a` and `b` would write the same file: the same outputTarget, or the
// same existing file (hard links included).
bool sameOutput(const std::filesystem::path& a, const std::filesystem::path& b);

class CommitGroup {
public:
    CommitGroup();
    ~CommitGroup();
    CommitGroup(const CommitGroup&) = delete;
    CommitGroup& operator=(const CommitGroup&) = delete;

    // Puts every finished file in place, or none; the group is empty after it.
    void commitAll();
    // Removes the finished files without putting them in place.
    void discard() noexcept;
    std::size_t pending() const { return pending_.size(); }

    struct Pending {
        std::filesystem::path temporary, target;
        int slot = -1;
    };
    // Used by FileWriter: the group of this thread, or nullptr.
    static CommitGroup* current();
    void add(Pending p) { pending_.push_back(std::move(p)); }

private:
    std::vector<Pending> pending_;
    CommitGroup* previous_;
};

// Installs the handler that removes the registered temporary files on SIGINT,
// SIGTERM, SIGHUP, SIGQUIT and SIGPIPE and then ends the process by the same
// signal (so the parent sees how it ended).  A signal ignored when the program
// started (nohup) stays ignored.
void removeTemporariesOnSignals();

// Whether `filename` is a temporary file name of this module whose time stamp
// is more than a day before `now` (seconds since 1970).
bool staleTemporaryName(std::string_view filename, long long now);

// The number of temporary files registered now (for the tests).
std::size_t registeredTemporaries();

// Flushes and closes the standard output; throws FileError with the reason
// when what was written there did not all arrive (a full disk, a closed pipe).
void closeStandardOutput();

void appendLocked(const std::filesystem::path& file, std::string_view text,
                  const std::function<void(LineReader& current)>& check);

// Whether `a` and `b` name the same existing file (same device and inode once
// symbolic links are followed); false when either does not exist.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The folder of the running program's executable ("" when unknown).
std::filesystem::path executableFolder();

// Lets a write beyond the process's file-size limit fail with an error instead
// of ending the process (SIGXFSZ ignored), so the temporary file is removed and
// the user told.
void ignoreFileSizeSignal();

} // namespace kolmo::platform
