#include "input/prebsi.h"

#include "platform/cause.h"
#include "platform/cp1250.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/numtext.h"
#include "platform/pages.h"
#include "platform/textread.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>
#include <optional>
#include <string>

namespace kolmo {
namespace {

constexpr Eigen::Index kMaxNumbers = 6;

// Token separators: blank and the control characters 9-13 (tab, LF, VT, FF, CR).
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Next token of `s` from `pos`; empty when only white space is left.
std::string_view nextToken(std::string_view s, std::size_t& pos)
{
    while (pos < s.size() && isSpace(s[pos]))
        ++pos;
    const std::size_t start = pos;
    while (pos < s.size() && !isSpace(s[pos]))
        ++pos;
    return s.substr(start, pos - start);
}

// A token as a message quotes it: a long one is cut.
std::string shownToken(std::string_view token)
{
    constexpr std::size_t kShown = 40;
    std::string out(1, '\'');
    out.append(token.substr(0, kShown));
    out.append(token.size() > kShown ? "...'" : "'");
    return out;
}

// A line that is no point line, told in English and in Slovene.
[[noreturn]] void badLine(const platform::LineReader& reader, const std::string& english, const std::string& slovene)
{
    const std::string source = reader.source().empty() ? std::string() : reader.source() + ", ";
    throw platform::Bilingual<FileError>(reader.where(reader.lineNumber()) + ": " + english,
                                         source + std::to_string(reader.lineNumber()) + ". vrstica: " + slovene);
}

// The numbers of the points, one column at a time in blocks of memory of
// their own.  A column comes into being with the first row that has a number
// for it (earlier rows hold 0 there); take() moves the columns into the
// matrix one after the other and gives each block back as soon as it is
// copied, so that the matrix and the blocks are never both held whole.
class Columns {
public:
    explicit Columns(Eigen::Index keep) : keep_(keep) {}

    void add(const std::array<double, kMaxNumbers>& row, Eigen::Index count)
    {
        const Eigen::Index used = std::min(count, keep_);
        while (static_cast<Eigen::Index>(columns_.size()) < used)
            addColumn();
        const std::size_t b = rows_ / kBlock, k = rows_ % kBlock;
        if (k == 0)
            for (auto& blocks : columns_)
                blocks.emplace_back(kBlock * sizeof(double));
        for (std::size_t c = 0; c < columns_.size(); ++c)
            at(c, b)[k] = static_cast<Eigen::Index>(c) < used ? row[c] : 0.0;
        ++rows_;
    }

    // The matrix of `cols` columns; columns beyond those stored hold `fill`.
    Mat take(Eigen::Index cols, double fill)
    {
        const auto n = static_cast<Eigen::Index>(rows_);
        Mat m(n, cols);
        for (Eigen::Index c = 0; c < cols; ++c) {
            const auto uc = static_cast<std::size_t>(c);
            if (uc >= columns_.size()) {
                m.col(c).setConstant(fill);
                continue;
            }
            for (std::size_t b = 0; b * kBlock < rows_; ++b) {
                const auto first = static_cast<Eigen::Index>(b * kBlock);
                const auto len = std::min<Eigen::Index>(static_cast<Eigen::Index>(kBlock), n - first);
                m.col(c).segment(first, len) = Eigen::Map<const Vec>(at(uc, b), len);
                columns_[uc][b].release();
            }
            columns_[uc].clear();
        }
        columns_.clear();
        return m;
    }

private:
    static constexpr std::size_t kBlock = std::size_t(1) << 16; // rows per block (512 KB)

    double* at(std::size_t c, std::size_t b) { return static_cast<double*>(columns_[c][b].data()); }

    void addColumn()
    {
        // Fresh pages read as zero: the rows before this column hold 0 in it.
        auto& blocks = columns_.emplace_back();
        for (std::size_t b = 0; b * kBlock < rows_; ++b)
            blocks.emplace_back(kBlock * sizeof(double));
    }

    Eigen::Index keep_;
    std::size_t rows_ = 0;
    std::vector<std::vector<platform::PageBlock>> columns_;
};

// A growing list kept in pieces of a fixed size, moved into an exactly sized
// vector at the end piece by piece: a vector that doubles as it grows holds
// its old and new arrays at once, one and a half times the list.
template <class T>
class Pieces {
public:
    void push_back(T v)
    {
        if (pieces_.empty() || pieces_.back().size() == kPiece) {
            pieces_.emplace_back();
            pieces_.back().reserve(kPiece);
        }
        pieces_.back().push_back(std::move(v));
        ++size_;
    }
    std::size_t size() const { return size_; }
    std::vector<T> take()
    {
        std::vector<T> out;
        out.reserve(size_);
        for (auto& piece : pieces_) {
            std::move(piece.begin(), piece.end(), std::back_inserter(out));
            std::vector<T>().swap(piece);
        }
        pieces_.clear();
        size_ = 0;
        return out;
    }

private:
    static constexpr std::size_t kPiece = std::size_t(1) << 16;
    std::vector<std::vector<T>> pieces_;
    std::size_t size_ = 0;
};

// What a reader of either form hands on for each point.
struct Row {
    std::string name;
    std::array<double, kMaxNumbers> numbers{};
    Eigen::Index count = 0;
};

// Blank-separated rows: name, then numbers.
class BlankRows {
public:
    explicit BlankRows(platform::LineReader& reader) : reader_(reader) {}

    bool next(Row& row)
    {
        if (!reader_.next(line_))
            return false;
        std::size_t pos = 0;
        row.name.assign(nextToken(line_, pos));
        // The numbers after the name, a decimal comma made a point in place.
        std::replace(line_.begin() + static_cast<std::ptrdiff_t>(pos), line_.end(), ',', '.');
        row.numbers.fill(0.0);
        row.count = 0;
        std::size_t p = pos;
        while (row.count < kMaxNumbers) {
            const std::string_view token = nextToken(line_, p);
            if (token.empty())
                break;
            const auto v = platform::parseNumber(token);
            if (!v)
                badLine(reader_, shownToken(token) + " is not a finite number", shownToken(token) + " ni končno število");
            row.numbers[static_cast<std::size_t>(row.count++)] = *v;
        }
        return true;
    }

private:
    platform::LineReader& reader_;
    std::string line_;
};

// Names of a CSV file that are all valid UTF-8 (spreadsheets and GIS programs
// write UTF-8) and not all ASCII are taken as UTF-8 and kept in the program's
// Windows-1250, when every one of them has a code there; otherwise the bytes
// stay as they are, Windows-1250.
void utf8NamesToCp1250(Names& names)
{
    bool beyondAscii = false;
    for (const auto& n : names) {
        if (!platform::representableInCp1250(n))
            return;
        beyondAscii = beyondAscii || std::any_of(n.begin(), n.end(), [](char c) { return (c & 0x80) != 0; });
    }
    if (!beyondAscii)
        return;
    for (auto& n : names)
        n = platform::toCp1250(n);
}

// CSV rows (see prebsi.h).
class CsvRows {
public:
    explicit CsvRows(platform::LineReader& reader) : reader_(reader) {}

    bool next(Row& row)
    {
        for (;;) {
            if (!reader_.next(line_))
                return false;
            const bool first = first_;
            if (first) {
                first_ = false;
                separator_ = holdsSemicolon(line_) ? ';' : ',';
            }
            split();
            if (first && isHeader()) {
                // "name,y,x,H" (as --order yx writes it): easting first.
                yx_ = count_ >= 3 && lower(fields_[1]) == "y" && lower(fields_[2]) == "x";
                continue;
            }
            return fill(row);
        }
    }

private:
    // Whether the line holds a semicolon outside quotes.
    static bool holdsSemicolon(std::string_view line)
    {
        bool quoted = false;
        for (char c : line) {
            if (c == '"')
                quoted = !quoted;
            else if (c == ';' && !quoted)
                return true;
        }
        return false;
    }

    static std::string_view trimmed(std::string_view s)
    {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
            s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
            s.remove_suffix(1);
        return s;
    }

    // The fields of line_ into fields_[0 .. count_), quotes taken off.
    void split()
    {
        count_ = 0;
        const std::string_view line = line_;
        std::size_t pos = 0;
        for (;;) {
            if (count_ == fields_.size())
                fields_.emplace_back();
            std::string& field = fields_[count_++];
            field.clear();
            // Blanks before the field.
            while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
                ++pos;
            if (pos < line.size() && line[pos] == '"') {
                ++pos;
                for (;;) {
                    const auto q = line.find('"', pos);
                    if (q == std::string_view::npos)
                        badLine(reader_, "field " + std::to_string(count_) + ": a quote that is not closed",
                                std::to_string(count_) + ". polje: narekovaj ni zaprt");
                    field.append(line.substr(pos, q - pos));
                    pos = q + 1;
                    if (pos < line.size() && line[pos] == '"') { // "" inside quotes
                        field += '"';
                        ++pos;
                        continue;
                    }
                    break;
                }
                while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
                    ++pos;
                if (pos < line.size() && line[pos] != separator_)
                    badLine(reader_, "field " + std::to_string(count_) + ": text after its closing quote",
                            std::to_string(count_) + ". polje: besedilo za zaključnim narekovajem");
            } else {
                const auto end = line.find(separator_, pos);
                field.assign(trimmed(line.substr(pos, end == std::string_view::npos ? std::string_view::npos
                                                                                      : end - pos)));
                pos = end == std::string_view::npos ? line.size() : end;
            }
            if (pos >= line.size())
                return;
            ++pos; // the separator
        }
    }

    std::optional<double> number(std::string& field) const
    {
        if (separator_ == ';')
            std::replace(field.begin(), field.end(), ',', '.');
        return platform::parseNumber(field);
    }

    static std::string lower(std::string s)
    {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }

    // A first line none of whose fields after the name is a number.
    bool isHeader()
    {
        if (count_ < 2)
            return false;
        for (std::size_t k = 1; k < count_; ++k) {
            std::string copy = fields_[k];
            if (number(copy))
                return false;
        }
        return true;
    }

    bool fill(Row& row)
    {
        std::size_t last = count_;
        while (last > 1 && fields_[last - 1].empty())
            --last;
        row.name = fields_[0];
        if (row.name.empty())
            badLine(reader_, "a point without a name (the first field is empty)",
                    "točka brez imena (prvo polje je prazno)");
        row.numbers.fill(0.0);
        row.count = 0;
        for (std::size_t k = 1; k < last && row.count < kMaxNumbers; ++k) {
            if (fields_[k].empty())
                badLine(reader_, "point " + shownToken(row.name) + ": field " + std::to_string(k + 1) + " is empty",
                        "točka " + shownToken(row.name) + ": " + std::to_string(k + 1) + ". polje je prazno");
            const auto v = number(fields_[k]);
            if (!v)
                badLine(reader_, shownToken(fields_[k]) + " is not a finite number",
                        shownToken(fields_[k]) + " ni končno število");
            row.numbers[static_cast<std::size_t>(row.count++)] = *v;
        }
        if (yx_ && row.count >= 2)
            std::swap(row.numbers[0], row.numbers[1]);
        return true;
    }

    platform::LineReader& reader_;
    bool yx_ = false;
    std::string line_;
    std::vector<std::string> fields_;
    std::size_t count_ = 0;
    char separator_ = ',';
    bool first_ = true;
};

template <class Rows>
PointSet readPoints(platform::LineReader& reader, Rows& rows, ReadNotes* notes, Eigen::Index keep)
{
    if (notes)
        *notes = ReadNotes{};
    PointSet ps;
    const Eigen::Index kept = std::clamp<Eigen::Index>(keep, 1, kMaxNumbers);
    Columns columns(kept);
    Pieces<std::string> names;
    Pieces<std::size_t> lines;
    Pieces<unsigned char> counts;
    Eigen::Index width = 0;
    Row row;
    while (rows.next(row)) {
        std::replace(row.name.begin(), row.name.end(), '%', '_');
        if (row.count == 0)
            badLine(reader, "point " + shownToken(row.name) + " has no coordinates",
                    "točka " + shownToken(row.name) + " nima koordinat");
        width = std::max(width, row.count);
        columns.add(row.numbers, row.count);
        names.push_back(row.name);
        if (notes) {
            lines.push_back(reader.lineNumber());
            counts.push_back(static_cast<unsigned char>(row.count));
        }
    }
    if (names.size() == 0) {
        const std::string source = reader.source().empty() ? std::string() : reader.source() + ": ";
        throw platform::Bilingual<FileError>(source + "no point in the file", source + "v datoteki ni nobene točke");
    }

    ps.ime = names.take();
    if (notes) {
        notes->width = width;
        notes->lines = lines.take();
        notes->counts = counts.take();
    }
    // Two numbers per row: plane points, completed with unit standard deviations.
    if (width == 2)
        ps.koo = columns.take(std::min<Eigen::Index>(4, kept), 1.0);
    else
        ps.koo = columns.take(std::min(width, kept), 0.0);
    return ps;
}

PointSet readFrom(platform::LineReader& reader, ReadNotes* notes, bool csv, Eigen::Index keep)
{
    if (csv) {
        CsvRows rows(reader);
        PointSet ps = readPoints(reader, rows, notes, keep);
        utf8NamesToCp1250(ps.ime);
        return ps;
    }
    BlankRows rows(reader);
    return readPoints(reader, rows, notes, keep);
}

} // namespace

std::vector<std::size_t> ReadNotes::linesShorterThan(Eigen::Index n) const
{
    std::vector<std::size_t> out;
    for (std::size_t k = 0; k < counts.size() && k < lines.size(); ++k)
        if (counts[k] < n)
            out.push_back(lines[k]);
    return out;
}

void warnShortRows(const std::vector<std::size_t>& lines, Eigen::Index needed, const std::string& source)
{
    if (lines.empty())
        return;
    std::vector<std::string> numbers;
    for (std::size_t line : lines)
        numbers.push_back(std::to_string(line));
    const std::string list = platform::listForMessage(numbers), n = std::to_string(needed);
    platform::dialogs().warning("Nekaterim vrsticam manjkajo števila; dopolnjena so z 0!",
                                platform::causeLanguage() == platform::Language::Slovene
                                    ? source + (lines.size() == 1 ? ": vrstica " : ": vrstice ") + list +
                                          (lines.size() == 1 ? " ima" : " imajo") + " manj kot " + n +
                                          " števil; manjkajoča so 0"
                                    : source + ": " + (lines.size() == 1 ? "line " : "lines ") + list +
                                          (lines.size() == 1 ? " holds" : " hold") + " fewer than " + n +
                                          " numbers; the missing ones are 0");
}

bool isCsvName(const std::filesystem::path& file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".csv";
}

PointSet prebsi(platform::LineReader& reader, ReadNotes* notes, const PointFileOptions& options)
{
    return readFrom(reader, notes, options.csv.value_or(false), options.keep);
}

PointSet prebsiText(std::string_view text, ReadNotes* notes, const PointFileOptions& options)
{
    auto reader = platform::LineReader::ofText(text);
    return prebsi(reader, notes, options);
}

PointSet prebsi(const std::filesystem::path& dat, ReadNotes* notes, const PointFileOptions& options)
{
    const bool csv = options.csv.value_or(isCsvName(dat));
    if (dat == "-") {
        auto reader = platform::LineReader::standardInput();
        return readFrom(reader, notes, csv, options.keep);
    }
    platform::LineReader reader(dat);
    return readFrom(reader, notes, csv, options.keep);
}

struct PointRows::Impl {
    explicit Impl(const std::filesystem::path& dat)
        : reader(dat == "-" ? platform::LineReader::standardInput() : platform::LineReader(dat))
    {
    }
    platform::LineReader reader;
    std::optional<BlankRows> blank;
    std::optional<CsvRows> csv;
    Row row;
};

PointRows::PointRows(const std::filesystem::path& dat, const PointFileOptions& options)
    : impl_(std::make_unique<Impl>(dat))
{
    if (options.csv.value_or(isCsvName(dat)))
        impl_->csv.emplace(impl_->reader);
    else
        impl_->blank.emplace(impl_->reader);
}

PointRows::~PointRows() = default;

bool PointRows::next(std::string& name, std::array<double, 6>& numbers, int& count)
{
    Row& row = impl_->row;
    if (!(impl_->csv ? impl_->csv->next(row) : impl_->blank->next(row)))
        return false;
    std::replace(row.name.begin(), row.name.end(), '%', '_');
    if (row.count == 0)
        badLine(impl_->reader, "point " + shownToken(row.name) + " has no coordinates",
                "točka " + shownToken(row.name) + " nima koordinat");
    name.swap(row.name);
    numbers = row.numbers;
    count = static_cast<int>(row.count);
    return true;
}

std::size_t PointRows::lineNumber() const { return impl_->reader.lineNumber(); }

std::uint64_t PointRows::bytesRead() const { return impl_->reader.bytesRead(); }

} // namespace kolmo
