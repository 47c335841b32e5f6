// ReportFile: the one way Kolmo writes formatted text files.
//
// Formats are fixed literals written in UTF-8 in the code; each is converted
// once to Windows-1250 and then handed to vsnprintf with the values.  User text
// (point names, file names, set names) is only ever an argument for a "%s",
// never a format, and is written as the bytes it came with.  "\n" is a bare
// line feed.  The text is collected in memory and written by save() in one
// step (platform::writeFileAtomic): a failed computation writes nothing, and a
// failed write (a full disk, a file-size limit) leaves the previous file of
// that name as it was.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <type_traits>

namespace kolmo {

class ReportFile {
public:
    // Appends the format (a literal) filled with `args`: numbers and C strings.
    template <class... Args>
    void print(const char* utf8Format, Args... args)
    {
        static_assert(((std::is_arithmetic_v<Args> || std::is_same_v<Args, const char*> ||
                        std::is_same_v<Args, char*>) && ...),
                      "ReportFile::print takes numbers and C strings");
        append(cp1250Format(utf8Format), args...);
    }

    // Appends raw bytes (already in Windows-1250).
    void raw(const std::string& bytes) { text_ += bytes; }

    const std::string& text() const { return text_; }

    // Writes the collected text to `path`, replacing it in one step.  Throws
    // FileError naming the file and the operating system's reason.
    void save(const std::filesystem::path& path) const;

private:
    static const std::string& cp1250Format(const char* utf8Format);

    template <class... Args>
    void append(const std::string& format, Args... args)
    {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
        // Most pieces are short: format into a stack buffer, and only a
        // longer piece (a long name) takes a second pass at its full length.
        char buf[256];
        const int n = std::snprintf(buf, sizeof buf, format.c_str(), args...);
        if (n <= 0)
            return;
        if (static_cast<std::size_t>(n) < sizeof buf) {
            text_.append(buf, static_cast<std::size_t>(n));
            return;
        }
        const std::size_t old = text_.size();
        text_.resize(old + static_cast<std::size_t>(n) + 1);
        std::snprintf(text_.data() + old, static_cast<std::size_t>(n) + 1, format.c_str(), args...);
        text_.resize(old + static_cast<std::size_t>(n));
#pragma GCC diagnostic pop
    }

    std::string text_;
};

} // namespace kolmo
