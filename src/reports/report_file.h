// ReportFile: the one way Kolmo writes formatted text files.
//
// Formats are fixed literals written in UTF-8 in the code; each is converted
// once to Windows-1250 and then filled with the values.  User text (point
// names, file names, set names) is only ever an argument for a "%s", never a
// format, and is written as the bytes it came with.  "\n" is a bare line feed.
//
// Where the text goes:
//  - ReportFile() collects it in memory; save(path) writes it in one step
//    (platform::writeFileAtomic);
//  - ReportFile(path) streams it into the temporary file of that one-step
//    writing as it is produced (platform::FileWriter), so that a report of a
//    million points is never held whole; save(path) puts the file in place.
// Either way a failed computation (an exception before save) writes nothing,
// and a failed write (a full disk, a file-size limit) leaves the previous file
// of that name as it was.
//
// Filling: the conversions of the reports ("%-8s", "%12.3f", "%02d", "%08.5f":
// the flags '-' and '0', a width, a precision, the conversions s, d, i, f) are
// written by a formatter of our own that writes exactly what printf writes in
// the C locale (std::to_chars gives printf's digits for %f by the standard) at
// a fraction of glibc's cost, which matters for the tables of a million
// points.  Anything else (other flags or conversions, a value that is not a
// finite number) goes to vsnprintf itself.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kolmo {

namespace platform {
class FileWriter;
}

class ReportFile {
public:
    ReportFile();
    explicit ReportFile(const std::filesystem::path& target);
    ReportFile(ReportFile&&) noexcept;
    ReportFile& operator=(ReportFile&&) noexcept;
    ~ReportFile();

    // Appends the format (a literal) filled with `args`: numbers and C strings.
    template <class... Args>
    void print(const char* utf8Format, Args... args)
    {
        static_assert(((std::is_arithmetic_v<Args> || std::is_same_v<Args, const char*> ||
                        std::is_same_v<Args, char*>) && ...),
                      "ReportFile::print takes numbers and C strings");
        const Format& f = format(utf8Format);
        if (f.fast) {
            const Value values[sizeof...(Args) + 1] = {Value(args)..., Value()};
            if (fill(f, values, sizeof...(Args)))
                return;
        }
        append(f.cp1250, args...);
    }

    // Appends raw bytes (already in Windows-1250).
    void raw(std::string_view bytes);

    // The text collected in memory (all of it for an in-memory report).
    const std::string& text() const { return text_; }

    // Writes the text to `path`, replacing it in one step; a streaming report
    // is put in place (`path` is the file it was opened for).  Throws
    // FileError naming the file and the operating system's reason.
    void save(const std::filesystem::path& path);

private:
    // One argument of the fast formatter.
    struct Value {
        enum class Kind { none, integer, real, text } kind = Kind::none;
        long long i = 0;
        double d = 0;
        const char* s = nullptr;
        Value() = default;
        template <class T>
        Value(T v)
        {
            if constexpr (std::is_floating_point_v<T>) {
                kind = Kind::real;
                d = static_cast<double>(v);
            } else if constexpr (std::is_integral_v<T>) {
                kind = Kind::integer;
                i = static_cast<long long>(v);
            } else {
                kind = Kind::text;
                s = v;
            }
        }
    };

    struct Piece {
        std::string literal; // text before the conversion
        char conversion = 0; // 's', 'd', 'f'; 0 for the text after the last one
        bool left = false, zero = false;
        int width = 0, precision = -1;
    };

    struct Format {
        std::string cp1250;
        std::vector<Piece> pieces;
        bool fast = false;
    };

    static const Format& format(const char* utf8Format);
    static void compile(Format& f);
    bool fill(const Format& f, const Value* values, std::size_t count);
    void flushIfLarge();

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
        } else {
            const std::size_t old = text_.size();
            text_.resize(old + static_cast<std::size_t>(n) + 1);
            std::snprintf(text_.data() + old, static_cast<std::size_t>(n) + 1, format.c_str(), args...);
            text_.resize(old + static_cast<std::size_t>(n));
        }
#pragma GCC diagnostic pop
        flushIfLarge();
    }

    std::unique_ptr<platform::FileWriter> file_;
    std::string text_;
};

} // namespace kolmo
