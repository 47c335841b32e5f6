// libFuzzer target: the bounded line reader.  The first byte picks the block
// size; the rest is a file, read once from an in-memory file (memfd) in blocks
// and once as text in memory.  Both must deliver the same lines with the same
// numbers, or fail at the same line with the same reason; every line is
// trimmed, non-empty, free of line ends and NUL bytes and within the cap; the
// fields of the text are its lines split at their commas.
#include "platform/errors.h"
#include "platform/textread.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

int memFile()
{
    static const int fd = memfd_create("kolmo_fuzz_text", 0);
    return fd;
}

struct Outcome {
    std::vector<std::string> lines;
    std::vector<std::size_t> numbers;
    std::string error;  // the message without the source's name
};

Outcome readAll(kolmo::platform::LineReader& reader)
{
    Outcome out;
    std::string line;
    try {
        while (reader.next(line)) {
            out.lines.push_back(line);
            out.numbers.push_back(reader.lineNumber());
        }
    } catch (const kolmo::FileError& e) {
        out.error = e.what();
        const std::string& source = reader.source();
        if (!source.empty() && out.error.compare(0, source.size(), source) == 0)
            out.error.erase(0, source.size());
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t block = 4 + data[0] % 64;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    auto memory = kolmo::platform::LineReader::ofText(text);
    const Outcome a = readAll(memory);

    const int fd = memFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
        std::abort();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    kolmo::platform::LineReader file(path, block);
    const Outcome b = readAll(file);

    // "line N: ..." in memory, ", line N: ..." after the file's name.
    if (a.lines != b.lines || a.numbers != b.numbers || (a.error.empty() != b.error.empty()) ||
        (!a.error.empty() && ", " + a.error != b.error))
        std::abort();
    std::size_t previous = 0;
    for (std::size_t k = 0; k < a.lines.size(); ++k) {
        const std::string& line = a.lines[k];
        if (line.empty() || line.size() > kolmo::platform::kMaxLineBytes || line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos ||
            line.front() == ' ' || line.front() == '\t' || line.back() == ' ' || line.back() == '\t' ||
            a.numbers[k] <= previous)
            std::abort();
        previous = a.numbers[k];
    }
    if (a.error.empty()) {
        // Each line split at its commas, blanks around a field dropped.  (Not
        // through splitFields: a line is no text of its own, and a byte-order
        // mark at its start is part of it.)
        std::vector<std::string> fields;
        for (const std::string& line : a.lines)
            for (std::size_t start = 0;;) {
                const auto comma = line.find(',', start);
                std::string f = line.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                const auto first = f.find_first_not_of(" \t"), last = f.find_last_not_of(" \t");
                if (first != std::string::npos)
                    fields.push_back(f.substr(first, last - first + 1));
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
        if (fields != kolmo::platform::splitFields(text))
            std::abort();
    }
    return 0;
}
