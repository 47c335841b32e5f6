#include "platform/textread.h"

#include "platform/errors.h"

#include <fstream>
#include <iterator>

namespace kolmo::platform {
namespace {

std::string_view trim(std::string_view s, std::string_view blanks)
{
    const auto b = s.find_first_not_of(blanks);
    if (b == std::string_view::npos)
        return {};
    const auto e = s.find_last_not_of(blanks);
    return s.substr(b, e - b + 1);
}

} // namespace

std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw FileError("File not found.");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> splitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        const bool last = end == std::string_view::npos;
        if (last)
            end = text.size();
        const auto line = trim(text.substr(start, end - start), " \t");
        if (!line.empty())
            lines.emplace_back(line);
        if (last)
            break;
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

std::vector<std::string> splitFields(std::string_view text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(",\r\n", start);
        const bool last = end == std::string_view::npos;
        if (last)
            end = text.size();
        const auto field = trim(text.substr(start, end - start), " \t");
        if (!field.empty())
            fields.emplace_back(field);
        if (last)
            break;
        start = end + 1;
    }
    return fields;
}

std::vector<std::string> readLines(const std::filesystem::path& file)
{
    return splitLines(readFile(file));
}

std::vector<std::string> readFields(const std::filesystem::path& file)
{
    return splitFields(readFile(file));
}

} // namespace kolmo::platform
