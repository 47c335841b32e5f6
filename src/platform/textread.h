// The text reader behind point files, project files and the parameter database.
//
// Lines: in file order, each trimmed of leading and trailing blanks and tabs,
// empty lines left out; LF, CR LF and a lone CR end a line.  Fields: the
// fields of the whole text, commas and line ends separating them, blanks
// around a field dropped, empty fields left out.  Bytes are passed through
// unchanged (point names stay in their code page); a UTF-8 byte-order mark at
// the very start of a text is not part of it.
//
// Reading is bounded.  A file is read in blocks, one line at a time, and a
// line may hold at most kMaxLineBytes bytes: a longer line, or a NUL byte
// anywhere, ends the reading at once with FileError naming the file and the
// line.  Text files of survey data never hold either, so a binary file, a
// device such as /dev/zero or a huge file of zero bytes is refused after its
// first block instead of being taken into memory whole.  A file that cannot be
// opened throws FileError("File not found. (<file>: <reason>)").  Running out
// of memory is not caught here: std::bad_alloc reaches the action, which
// reports it as such.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo::platform {

inline constexpr std::size_t kMaxLineBytes = std::size_t(1) << 20;

// The non-empty lines of one text, one at a time.
class LineReader {
public:
    // Reads the file `file`, `blockSize` bytes at a time.
    explicit LineReader(const std::filesystem::path& file, std::size_t blockSize = 1 << 16);
    // Reads an open descriptor from its current offset (not closed here);
    // `source` names it in messages.
    LineReader(int fd, std::string source, std::size_t blockSize = 1 << 16);
    // Reads text already in memory (kept by the caller while reading).
    static LineReader ofText(std::string_view text, std::string source = {});
    // Reads the process's standard input (a point file given as "-"), with
    // the same bounds as a file; messages name it "standard input".
    static LineReader standardInput();
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next non-empty line, trimmed; false at the end of the text.
    bool next(std::string& line);
    // Number of the line last returned, counting every line of the text from 1.
    std::size_t lineNumber() const { return number_; }
    // Bytes taken from the file so far (for progress).
    std::uint64_t bytesRead() const { return bytesRead_; }
    // The file name given, or "" for text in memory.
    const std::string& source() const { return source_; }
    // "<file>, line <n>" (or "line <n>") for messages about line n.
    std::string where(std::size_t n) const;

private:
    LineReader(std::string_view text, std::string source);
    bool nextRaw(std::string_view& raw);
    bool refill();
    [[noreturn]] void fail(std::size_t line, const std::string& english, const std::string& slovene) const;

    std::string source_;
    int fd_ = -1;
    bool ownsFd_ = false;
    std::vector<char> block_;
    const char* data_ = nullptr;  // the bytes at hand: the block, or the text in memory
    std::size_t size_ = 0, pos_ = 0;
    bool started_ = false;        // the first bytes were looked at for a byte-order mark
    bool skipLF_ = false;         // the last line ended with a CR at the end of a block
    std::string pending_;         // a line that runs over the end of a block
    std::size_t number_ = 0;
    std::uint64_t bytesRead_ = 0;
};

// The lines of a text with the line number of each in the file (from 1), for
// readers that name a line in their messages.
struct TextLines {
    std::string source;
    std::vector<std::string> lines;
    std::vector<std::size_t> numbers;
    // "<file>, line <n>" for lines[k]; past the end, the end of the file.
    std::string where(std::size_t k) const;
};

TextLines readTextLines(const std::filesystem::path& file);
TextLines splitTextLines(std::string_view text);

std::vector<std::string> readLines(const std::filesystem::path& file);
std::vector<std::string> readFields(const std::filesystem::path& file);
// The fields of what `reader` has still to deliver.
std::vector<std::string> readFields(LineReader& reader);

// The same splitting applied to text already in memory (fuzzing, tests).
std::vector<std::string> splitLines(std::string_view text);
std::vector<std::string> splitFields(std::string_view text);

// Whole file as bytes, unbounded (small files the program wrote itself, tests);
// throws FileError("File not found. (<file>: <reason>)").
std::string readFile(const std::filesystem::path& file);

} // namespace kolmo::platform
