#include "platform/textread.h"

#include "platform/cause.h"
#include "platform/errors.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unistd.h>

namespace kolmo::platform {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view trim(std::string_view s, std::string_view blanks)
{
    const auto b = s.find_first_not_of(blanks);
    if (b == std::string_view::npos)
        return {};
    const auto e = s.find_last_not_of(blanks);
    return s.substr(b, e - b + 1);
}

[[noreturn]] void notFound(const std::filesystem::path& file, int err)
{
    throw SystemError(SystemError::Action::Open, file.string(), err);
}

// First line end (CR, LF) or NUL byte in [p, e), or e.
const char* lineStop(const char* p, const char* e)
{
    while (p != e && *p != '\n' && *p != '\r' && *p != '\0')
        ++p;
    return p;
}

void appendFields(std::vector<std::string>& fields, std::string_view line)
{
    for (std::size_t start = 0;;) {
        const auto comma = line.find(',', start);
        const auto field = trim(line.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                                   : comma - start),
                                " \t");
        if (!field.empty())
            fields.emplace_back(field);
        if (comma == std::string_view::npos)
            return;
        start = comma + 1;
    }
}

} // namespace

LineReader::LineReader(const std::filesystem::path& file, std::size_t blockSize)
    : source_(file.string()), block_(std::max<std::size_t>(blockSize, 4))
{
    do
        fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        notFound(file, errno);
    ownsFd_ = true;
    data_ = block_.data();
}

LineReader::LineReader(int fd, std::string source, std::size_t blockSize)
    : source_(std::move(source)), fd_(fd), block_(std::max<std::size_t>(blockSize, 4))
{
    data_ = block_.data();
}

LineReader::LineReader(std::string_view text, std::string source)
    : source_(std::move(source)), data_(text.data()), size_(text.size())
{
}

LineReader LineReader::ofText(std::string_view text, std::string source)
{
    return LineReader(text, std::move(source));
}

LineReader LineReader::standardInput() { return LineReader(STDIN_FILENO, "standard input"); }

LineReader::~LineReader()
{
    if (ownsFd_)
        ::close(fd_);
}

std::string LineReader::where(std::size_t n) const
{
    return (source_.empty() ? "" : source_ + ", ") + "line " + std::to_string(n);
}

void LineReader::fail(std::size_t line, const std::string& english, const std::string& slovene) const
{
    const std::string whereSl = (source_.empty() ? "" : source_ + ", ") + std::to_string(line) + ". vrstica";
    throw Bilingual<FileError>(where(line) + ": " + english, whereSl + ": " + slovene);
}

// Next block of the file into block_; false at its end.  At the start of the
// text, enough bytes are gathered to recognise a byte-order mark.
bool LineReader::refill()
{
    if (fd_ < 0) {
        if (started_)
            return false;
        started_ = true;
        if (std::string_view(data_, size_).substr(0, 3) == kByteOrderMark)
            pos_ = 3;
        return pos_ < size_;
    }
    std::size_t got = 0;
    const std::size_t want = started_ ? 1 : kByteOrderMark.size();
    while (got < want) {
        const ssize_t r = ::read(fd_, block_.data() + got, block_.size() - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            throw SystemError(SystemError::Action::Read, source_, errno);
        if (r == 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    size_ = got;
    bytesRead_ += got;
    pos_ = 0;
    if (!started_) {
        started_ = true;
        if (std::string_view(block_.data(), size_).substr(0, 3) == kByteOrderMark)
            pos_ = 3;
    }
    return pos_ < size_;
}

// The next line as it stands in the text, without its line end.
bool LineReader::nextRaw(std::string_view& raw)
{
    pending_.clear();
    bool spans = false;  // the line began in an earlier block
    for (;;) {
        if ((pos_ == size_ || !started_) && !refill()) {
            if (!spans)
                return false;
            ++number_;  // the last line has no line end
            raw = pending_;
            return true;
        }
        if (skipLF_) {
            // CR at the end of the last block, LF at the start of this one: one line end.
            skipLF_ = false;
            if (data_[pos_] == '\n') {
                ++pos_;
                continue;
            }
        }
        const char* p = data_ + pos_;
        const char* e = data_ + size_;
        const char* q = lineStop(p, e);
        const auto length = static_cast<std::size_t>(q - p);
        if (pending_.size() + length > kMaxLineBytes)
            fail(number_ + 1, "a line longer than " + std::to_string(kMaxLineBytes) + " bytes (not a text file?)",
                 "vrstica, daljša od " + std::to_string(kMaxLineBytes) + " bajtov (ni besedilna datoteka?)");
        if (q == e) {
            pending_.append(p, length);
            pos_ = size_;
            spans = true;
            continue;
        }
        if (*q == '\0')
            fail(number_ + 1, "a NUL byte (binary data, not a text file)",
                 "bajt NUL (binarni podatki, ni besedilna datoteka)");
        ++number_;
        if (spans) {
            pending_.append(p, length);
            raw = pending_;
        } else {
            raw = std::string_view(p, length);
        }
        pos_ = static_cast<std::size_t>(q - data_) + 1;
        if (*q == '\r') {
            if (pos_ < size_) {
                if (data_[pos_] == '\n')
                    ++pos_;
            } else {
                skipLF_ = true;
            }
        }
        return true;
    }
}

bool LineReader::next(std::string& line)
{
    std::string_view raw;
    while (nextRaw(raw)) {
        const auto text = trim(raw, " \t");
        if (!text.empty()) {
            line.assign(text);
            return true;
        }
    }
    return false;
}

std::string TextLines::where(std::size_t k) const
{
    const std::string at = k < numbers.size() ? "line " + std::to_string(numbers[k]) : "the end of the file";
    return source.empty() ? at : source + ", " + at;
}

namespace {

TextLines collect(LineReader& reader)
{
    TextLines out;
    out.source = reader.source();
    std::string line;
    while (reader.next(line)) {
        out.lines.push_back(line);
        out.numbers.push_back(reader.lineNumber());
    }
    return out;
}

} // namespace

TextLines readTextLines(const std::filesystem::path& file)
{
    LineReader reader(file);
    return collect(reader);
}

TextLines splitTextLines(std::string_view text)
{
    auto reader = LineReader::ofText(text);
    return collect(reader);
}

std::vector<std::string> splitLines(std::string_view text) { return splitTextLines(text).lines; }

std::vector<std::string> readLines(const std::filesystem::path& file) { return readTextLines(file).lines; }

std::vector<std::string> readFields(LineReader& reader)
{
    std::vector<std::string> fields;
    std::string line;
    while (reader.next(line))
        appendFields(fields, line);
    return fields;
}

std::vector<std::string> readFields(const std::filesystem::path& file)
{
    LineReader reader(file);
    return readFields(reader);
}

std::vector<std::string> splitFields(std::string_view text)
{
    auto reader = LineReader::ofText(text);
    return readFields(reader);
}

std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        notFound(file, errno ? errno : ENOENT);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace kolmo::platform
