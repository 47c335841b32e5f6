#include "migrate/points.h"
#include "migrate/datasets.h"

#include "migrate/columns.h"

#include "app/izhod_tock.h"
#include "app/izvoz_par.h"
#include "input/prebsi.h"
#include "platform/cp1250.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/numtext.h"
#include "platform/textread.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

namespace kolmo {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kZoneOffset = 5000000.0;
// Points named one by one in the warnings; the rest are counted, so that a
// file far outside the model does not fill the memory with messages.
constexpr std::size_t kNamedWarnings = 100;

// Warnings of one kind: the first ones named, the rest counted.
class WarningList {
public:
    WarningList(std::vector<std::string>& out, std::string tail) : out_(out), tail_(std::move(tail)) {}
    void add(const std::string& text)
    {
        if (count_++ < kNamedWarnings)
            out_.push_back(text);
    }
    void finish()
    {
        if (count_ > kNamedWarnings)
            out_.push_back(std::to_string(count_ - kNamedWarnings) + " more " + tail_);
    }

private:
    std::vector<std::string>& out_;
    std::string tail_;
    std::size_t count_ = 0;
};

std::string pointName(const std::string& cp1250) { return platform::fromCp1250(cp1250); }

std::string kilometres(double metres) { return platform::numberText(metres / 1000.0) + " km"; }
// CSV by the file's name, or whatever the name (the standard input).
PointFileOptions readingOptions(bool csv)
{
    PointFileOptions options;
    if (csv)
        options.csv = true;
    return options;
}

// The rows of a point file parsed and moved (`prepare`) on a thread of their
// own, a block at a time, while the caller writes the rows of the block
// before: the two halves take about the same time.  At most a few
// blocks wait, so the memory stays small whatever the file's length.  The
// reader's error reaches the caller after the rows before it, as in a
// reading on one thread.
class RowFeeder {
public:
    struct Row {
        std::string name;
        std::array<double, 6> v{}; // as read: up to six numbers
        int count = 0;
        std::size_t line = 0;
        // Filled by `prepare` on the reading thread.
        double x = 0, y = 0, h = 0;
        Moved moved = Moved::OutsideModel;
        bool heightLost = false, zoneDigit = false;
    };
    using Prepare = std::function<void(Row&, bool first)>;

    RowFeeder(const std::filesystem::path& in, bool csv, Prepare prepare)
        : rows_(in, readingOptions(csv)), prepare_(std::move(prepare)), thread_([this] { produce(); })
    {
    }
    ~RowFeeder()
    {
        {
            const std::lock_guard l(m_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    RowFeeder(const RowFeeder&) = delete;
    RowFeeder& operator=(const RowFeeder&) = delete;

    // The next row, false at the end; `bytes` the file read so far.
    const Row* next(std::uint64_t& bytes)
    {
        if (pos_ >= cur_.n) {
            std::unique_lock l(m_);
            if (cur_.n > 0 || !cur_.rows.empty())
                free_.push_back(std::move(cur_));
            cv_.wait(l, [&] { return !full_.empty() || done_; });
            if (full_.empty()) {
                if (error_)
                    std::rethrow_exception(error_);
                return nullptr;
            }
            cur_ = std::move(full_.front());
            full_.pop_front();
            pos_ = 0;
            l.unlock();
            cv_.notify_all();
        }
        bytes = cur_.bytes;
        return &cur_.rows[pos_++];
    }

private:
    static constexpr std::size_t kBlock = 8192, kWaiting = 4;
    struct Block {
        std::vector<Row> rows;
        std::size_t n = 0;
        std::uint64_t bytes = 0;
    };

    void produce()
    {
        try {
            std::array<double, 6> v{};
            bool first = true;
            for (;;) {
                Block b;
                {
                    const std::lock_guard l(m_);
                    if (!free_.empty()) {
                        b = std::move(free_.back());
                        free_.pop_back();
                    }
                }
                b.rows.resize(kBlock);
                b.n = 0;
                bool end = false;
                while (b.n < kBlock) {
                    Row& r = b.rows[b.n];
                    if (!rows_.next(r.name, v, r.count)) {
                        end = true;
                        break;
                    }
                    r.v = v;
                    r.line = rows_.lineNumber();
                    prepare_(r, first);
                    first = false;
                    ++b.n;
                }
                b.bytes = rows_.bytesRead();
                {
                    std::unique_lock l(m_);
                    cv_.wait(l, [&] { return full_.size() < kWaiting || stop_; });
                    if (stop_)
                        return;
                    if (b.n > 0)
                        full_.push_back(std::move(b));
                    done_ = end;
                }
                cv_.notify_all();
                if (end)
                    return;
            }
        } catch (...) {
            {
                const std::lock_guard l(m_);
                error_ = std::current_exception();
                done_ = true;
            }
            cv_.notify_all();
        }
    }

    PointRows rows_;
    Prepare prepare_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<Block> full_;
    std::vector<Block> free_;
    bool done_ = false, stop_ = false;
    std::exception_ptr error_;
    Block cur_;
    std::size_t pos_ = 0;
    std::thread thread_; // last: started once the rest is in place
};

} // namespace

// The point file row by row: read, moved and written one point at a time,
// so that a file of any length takes the same little memory.  A file has
// heights when its first row has a third number (a two-number file is a
// plane point set); a later row without one gets H NaN and a warning.
MigrateSummary migratePoints(const MigrateOptions& o, const MigrateProgress& progress, const Mover& mover)
{
    const std::string inName = o.in == "-" ? "standard input" : o.in.string();
    std::uint64_t inSize = 0;
    if (o.in != "-") {
        std::error_code ec;
        if (std::filesystem::is_regular_file(o.in, ec))
            inSize = std::filesystem::file_size(o.in, ec);
    }
    // The first row tells whether the file has heights; the reading thread
    // moves each row as it is read.
    const bool yx = o.order == MigrateOrder::Yx;
    bool headsUp = false; // heights, as the reading thread decided (its own copy)
    const bool gk = o.from == MigrateFrom::Gk;
    const std::vector<int> columns = o.columns;
    const bool csvIn = o.csv || (o.in != "-" && isCsvName(o.in));
    RowFeeder rows(o.in, o.csv, [&mover, yx, gk, headsUp, columns, csvIn](RowFeeder::Row& r, bool first) mutable {
        if (csvIn)
            r.name = csvName(r.name);
        if (!columns.empty())
            pickColumns(columns, r.v, r.count);
        if (first)
            headsUp = r.count >= 3;
        double x = r.v[0], y = r.count >= 2 ? r.v[1] : 0.0;
        if (yx && columns.empty())
            std::swap(x, y);
        // A point file says nothing of its CRS: a D48/GK coordinate of
        // 5 000 000 m or more is in the Balkans zone 5 form (or no D48/GK
        // at all), and its zone digit is never guessed away per coordinate.
        r.zoneDigit = gk && r.count >= 2 && (x >= kZoneOffset || y >= kZoneOffset);
        r.h = headsUp && r.count >= 3 ? r.v[2] : kNaN;
        r.heightLost = false;
        r.moved = r.count >= 2 && !r.zoneDigit ? mover.move(y, x, r.h, r.heightLost) : Moved::OutsideModel;
        r.x = x;
        r.y = y;
    });

    const bool toStdout = o.out == "-";
    const bool csv = !toStdout && isCsvName(o.out);
    std::optional<IzhodTock> out;

    MigrateSummary summary;
    WarningList outside(summary.warnings, "points outside the model, not written");
    WarningList far(summary.warnings, "points farther than " + kilometres(ValidArea::kMarginMetres) +
                                          " from the national border, not written");
    WarningList lost(summary.warnings, "points with heights outside the SVS2000/SVS2010 offset grid (H NaN)");
    WarningList noHeight(summary.warnings, "rows without a height, written with H NaN");
    WarningList extraHeight(summary.warnings, "rows with a height in a file whose first row has none");
    const std::string target = o.from == MigrateFrom::Gk ? "D96/TM" : "D48/GK";
    bool heights = false;
    std::size_t read = 0;
    std::uint64_t bytes = 0;
    const RowFeeder::Row* row = nullptr;
    const auto where = [&] {
        return "point " + pointName(row->name) + " (" + inName + ", line " + std::to_string(row->line) + ")";
    };
    while ((row = rows.next(bytes))) {
        if ((++read & 0x3fff) == 0) {
            if (progress.cancel && progress.cancel->load())
                throw MigrateCancelled{};
            if (progress.report && inSize > 0)
                progress.report(std::min(1.0, static_cast<double>(bytes) / static_cast<double>(inSize)));
        }
        if (!out) {
            heights = row->count >= 3;
            out.emplace(toStdout ? platform::FileWriter::standardOutput() : platform::FileWriter(o.out), csv, yx,
                        o.precision);
            out->begin(2, heights);
        }
        if (!csv)
            if (const auto why = IzhodTock::plainNameProblem(row->name); !why.empty())
                throw FileError(o.out.string() + ": " + where() + ": " + why);
        if (heights && row->count < 3)
            noHeight.add(where() + ": no height; written with H NaN");
        else if (!heights && row->count >= 3)
            extraHeight.add(where() + ": its height is left out, as the file's first row has none");
        if (row->count < 2) {
            outside.add(where() + ": a single coordinate; not written");
            ++summary.leftOut;
            continue;
        }
        if (row->zoneDigit)
            throw FileError(where() + ": " + platform::numberText(row->v[0]) + " " + platform::numberText(row->v[1]) +
                            " is no D48/GK coordinate as Kolmo reads it (EPSG:3912): a value of 5 000 000 m or more "
                            "carries the zone digit 5 of the Balkans zone 5 form (EPSG:31275), which Kolmo never "
                            "takes off a point file's coordinates by guess; write the file without it (5 000 000 m "
                            "off x and y) or migrate the data as a GIS dataset whose CRS is EPSG:31275");
        if (row->moved == Moved::FarFromBorder) {
            far.add(where() + ": farther than " + kilometres(ValidArea::kMarginMetres) +
                    " from the national border, where the model holds no longer; not written");
            continue;
        }
        if (row->moved == Moved::NoResult) {
            outside.add(where() + ": the parameters give it no finite " + target + " coordinates; not written");
            continue;
        }
        if (row->moved != Moved::Yes) {
            outside.add(where() + ": outside the transformation model, no " + target + " coordinates; not written");
            ++summary.leftOut;
            continue;
        }
        if (row->heightLost)
            lost.add(where() + ": outside the SVS2000/SVS2010 offset grid; its height is written as NaN");
        out->point(row->name, row->x, row->y, row->h);
        ++summary.written;
    }
    if (!out)
        throw FileError(inName + ": no point in the file");
    if (progress.cancel && progress.cancel->load())
        throw MigrateCancelled{};
    outside.finish();
    far.finish();
    lost.finish();
    noHeight.finish();
    extraHeight.finish();
    out->commit();
    if (progress.report)
        progress.report(1.0);
    return summary;
}

namespace {

// Whether the first line of a CSV file names a geometry column (a CSV that
// Kolmo or another GIS program wrote with the geometry as WKT): "WKT" as
// GDAL writes and reads it, or the names GIS programs give it.  A file that
// cannot be read is a point file, whose reader says why.
bool csvHasGeometryColumn(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::string header;
    if (!file || !std::getline(file, header))
        return false;
    if (header.starts_with("\xEF\xBB\xBF"))
        header.erase(0, 3);
    std::string column;
    auto geometryName = [](std::string name) {
        auto blank = [](unsigned char c) { return std::isspace(c) || c == '"'; };
        while (!name.empty() && blank(static_cast<unsigned char>(name.back())))
            name.pop_back();
        std::size_t start = 0;
        while (start < name.size() && blank(static_cast<unsigned char>(name[start])))
            ++start;
        name = name.substr(start);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return name == "wkt" || name == "wkt_geom" || name == "geometry" || name == "geom" || name == "the_geom";
    };
    for (const char c : header) {
        if (c == ',' || c == ';' || c == '\t') {
            if (geometryName(column))
                return true;
            column.clear();
        } else {
            column += c;
        }
    }
    return geometryName(column);
}

} // namespace

bool isPointFile(const std::filesystem::path& path)
{
    if (path == "-")
        return true;
    std::string extension = path.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".csv")
        return !csvHasGeometryColumn(path);
    return extension == ".pod" || extension == ".txt";
}

} // namespace kolmo
