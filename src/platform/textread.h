// The text reader behind point files, project files and the parameter database.
//
// readLines: the lines of a file in order, each trimmed of leading and trailing
// blanks and tabs, empty lines left out; LF and CR LF line ends (a lone CR too).
// readFields: the fields of the whole file, commas and line ends separating
// them, blanks around a field dropped, empty fields left out.
// Both throw FileError("File not found.") for a file that cannot be opened.
// Bytes are passed through unchanged (point names stay in their code page).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo::platform {

std::vector<std::string> readLines(const std::filesystem::path& file);
std::vector<std::string> readFields(const std::filesystem::path& file);

// The same splitting applied to text already in memory (fuzzing, tests).
std::vector<std::string> splitLines(std::string_view text);
std::vector<std::string> splitFields(std::string_view text);

// Whole file as bytes; throws FileError("File not found.").
std::string readFile(const std::filesystem::path& file);

} // namespace kolmo::platform
