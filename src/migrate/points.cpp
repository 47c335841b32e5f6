#include "migrate/points.h"

#include "migrate/columns.h"

#include "app/izhod_tock.h"
#include "app/izvoz_par.h"
#include "input/prebsi.h"
#include "platform/cp1250.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/textread.h"

#include <algorithm>
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
        bool moved = false, heightLost = false;
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
    const std::vector<int> columns = o.columns;
    const bool csvIn = o.csv || (o.in != "-" && isCsvName(o.in));
    RowFeeder rows(o.in, o.csv, [&mover, yx, headsUp, columns, csvIn](RowFeeder::Row& r, bool first) mutable {
        if (csvIn)
            r.name = csvName(r.name);
        if (!columns.empty())
            pickColumns(columns, r.v, r.count);
        if (first)
            headsUp = r.count >= 3;
        double x = r.v[0], y = r.count >= 2 ? r.v[1] : 0.0;
        if (yx && columns.empty())
            std::swap(x, y);
        // D48/GK eastings (and northings) of the Balkans zone form carry a
        // leading zone digit 5; Kolmo's planes are without it.
        if (x > kZoneOffset)
            x -= kZoneOffset;
        if (y > kZoneOffset)
            y -= kZoneOffset;
        r.h = headsUp && r.count >= 3 ? r.v[2] : kNaN;
        r.heightLost = false;
        r.moved = r.count >= 2 && mover.move(y, x, r.h, r.heightLost);
        r.x = x;
        r.y = y;
    });

    const bool toStdout = o.out == "-";
    const bool csv = !toStdout && isCsvName(o.out);
    std::optional<IzhodTock> out;

    MigrateSummary summary;
    WarningList outside(summary.warnings, "points outside the model, not written");
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
            continue;
        }
        if (!row->moved) {
            outside.add(where() + ": outside the transformation model, no " + target + " coordinates; not written");
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
    lost.finish();
    noHeight.finish();
    extraHeight.finish();
    out->commit();
    if (progress.report)
        progress.report(1.0);
    return summary;
}

} // namespace kolmo
