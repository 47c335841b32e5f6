#include "reports/report_file.h"

#include "platform/cp1250.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace kolmo {
namespace {

// A streaming report hands its text to the file in pieces of about this size.
constexpr std::size_t kPiece = std::size_t(1) << 20;

// `digits` (a number as to_chars wrote it) in a field of `width`: blanks in
// front, blanks behind (left), or zeros between the sign and the digits.
void pad(std::string& out, std::string_view digits, int width, bool left, bool zero)
{
    const auto len = static_cast<int>(digits.size());
    if (len >= width) {
        out.append(digits);
        return;
    }
    const auto fill = static_cast<std::size_t>(width - len);
    if (left) {
        out.append(digits);
        out.append(fill, ' ');
    } else if (zero) {
        if (!digits.empty() && digits[0] == '-') {
            out += '-';
            out.append(fill, '0');
            out.append(digits.substr(1));
        } else {
            out.append(fill, '0');
            out.append(digits);
        }
    } else {
        out.append(fill, ' ');
        out.append(digits);
    }
}

} // namespace

ReportFile::ReportFile() = default;

ReportFile::ReportFile(const std::filesystem::path& target)
    : file_(std::make_unique<platform::FileWriter>(target))
{
}

ReportFile::ReportFile(ReportFile&&) noexcept = default;
ReportFile& ReportFile::operator=(ReportFile&&) noexcept = default;
ReportFile::~ReportFile() = default;

const ReportFile::Format& ReportFile::format(const char* utf8Format)
{
    // Formats are literals: keyed by address, converted and split once per
    // thread (no lock on the way of every row).
    thread_local std::unordered_map<const char*, Format> cache;
    auto it = cache.find(utf8Format);
    if (it == cache.end()) {
        Format f;
        f.cp1250 = platform::toCp1250(utf8Format);
        compile(f);
        it = cache.emplace(utf8Format, std::move(f)).first;
    }
    return it->second;
}

// Splits the Windows-1250 format into literal text and conversions; `fast`
// stays false when a conversion is one the formatter leaves to printf.
void ReportFile::compile(Format& f)
{
    const std::string& fmt = f.cp1250;
    Piece piece;
    for (std::size_t p = 0; p < fmt.size();) {
        if (fmt[p] != '%') {
            piece.literal += fmt[p++];
            continue;
        }
        if (p + 1 < fmt.size() && fmt[p + 1] == '%') {
            piece.literal += '%';
            p += 2;
            continue;
        }
        std::size_t q = p + 1;
        for (; q < fmt.size() && (fmt[q] == '-' || fmt[q] == '0'); ++q)
            (fmt[q] == '-' ? piece.left : piece.zero) = true;
        for (; q < fmt.size() && fmt[q] >= '0' && fmt[q] <= '9'; ++q)
            piece.width = piece.width * 10 + (fmt[q] - '0');
        if (q < fmt.size() && fmt[q] == '.') {
            piece.precision = 0;
            for (++q; q < fmt.size() && fmt[q] >= '0' && fmt[q] <= '9'; ++q)
                piece.precision = piece.precision * 10 + (fmt[q] - '0');
        }
        const char c = q < fmt.size() ? fmt[q] : '\0';
        if (c == 'i')
            piece.conversion = 'd';
        else if (c == 'd' || c == 'f' || c == 's')
            piece.conversion = c;
        // Other flags, '*', length modifiers or conversions: printf's own.
        if (!piece.conversion || piece.width > 200 || piece.precision > 40 ||
            (piece.conversion != 'f' && piece.precision >= 0)) {
            f.pieces.clear();
            return;
        }
        if (piece.left)
            piece.zero = false; // '-' overrides '0'
        if (piece.conversion == 'f' && piece.precision < 0)
            piece.precision = 6;
        f.pieces.push_back(std::move(piece));
        piece = Piece{};
        p = q + 1;
    }
    f.pieces.push_back(std::move(piece)); // the text after the last conversion
    f.fast = true;
}

bool ReportFile::fill(const Format& f, const Value* values, std::size_t count)
{
    if (f.pieces.size() != count + 1)
        return false;
    // Every value must suit its conversion before anything is written.
    for (std::size_t k = 0; k < count; ++k) {
        const Value& v = values[k];
        switch (f.pieces[k].conversion) {
        case 'd':
            if (v.kind != Value::Kind::integer)
                return false;
            break;
        case 'f':
            if (v.kind != Value::Kind::real || !std::isfinite(v.d))
                return false;
            break;
        default:
            if (v.kind != Value::Kind::text || v.s == nullptr)
                return false;
        }
    }
    char buf[400];
    for (std::size_t k = 0; k < count; ++k) {
        const Piece& piece = f.pieces[k];
        text_.append(piece.literal);
        const Value& v = values[k];
        if (piece.conversion == 's') {
            pad(text_, std::string_view(v.s, std::strlen(v.s)), piece.width, piece.left, false);
            continue;
        }
        const auto r = piece.conversion == 'd'
                           ? std::to_chars(buf, buf + sizeof buf, v.i)
                           : std::to_chars(buf, buf + sizeof buf, v.d, std::chars_format::fixed, piece.precision);
        pad(text_, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)), piece.width, piece.left, piece.zero);
    }
    text_.append(f.pieces.back().literal);
    flushIfLarge();
    return true;
}

void ReportFile::raw(std::string_view bytes)
{
    text_.append(bytes);
    flushIfLarge();
}

void ReportFile::flushIfLarge()
{
    if (file_ && text_.size() >= kPiece) {
        file_->write(text_);
        text_.clear();
    }
}

void ReportFile::save(const std::filesystem::path& path)
{
    if (!file_) {
        platform::writeFileAtomic(path, text_);
        return;
    }
    file_->write(text_);
    text_.clear();
    file_->commit();
    file_.reset();
}

} // namespace kolmo
