#include "app/migrate.h"
#include "app/outputs.h"

#include "app/gis_layers.h"
#include "app/izhod_tock.h"
#include "app/izvoz_par.h"
#include "app/pardb.h"
#include "engine/tran2d_p.h"
#include "engine/tran3d.h"
#include "engine/tran_trik.h"
#include "engine/vis_svs.h"
#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "input/prebsi.h"
#include "platform/cp1250.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/textread.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <variant>

namespace kolmo {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kZoneOffset = 5000000.0;
// Points named one by one in the warnings; the rest are counted, so that a
// file far outside the model does not fill the memory with messages.
constexpr std::size_t kNamedWarnings = 100;

// --- The parameters `transform --params-json` wrote ---------------------------

// A JSON value, as much of it as the parameter file needs.
struct Json {
    std::variant<std::nullptr_t, bool, double, std::string, std::vector<Json>, std::map<std::string, Json>> v;

    const Json* get(const std::string& key) const
    {
        const auto* m = std::get_if<std::map<std::string, Json>>(&v);
        if (!m)
            return nullptr;
        const auto it = m->find(key);
        return it == m->end() ? nullptr : &it->second;
    }
    const std::string* text() const { return std::get_if<std::string>(&v); }
};

class JsonReader {
public:
    JsonReader(std::string_view text, std::string source) : s_(text), source_(std::move(source)) {}

    Json document()
    {
        Json j = value(0);
        blanks();
        if (p_ != s_.size())
            fail("text after the JSON value");
        return j;
    }

private:
    [[noreturn]] void fail(const std::string& why) const
    {
        throw FileError(source_ + ": not the parameters JSON of kolmo-cli transform (" + why + " at byte " +
                        std::to_string(p_) + ")");
    }
    void blanks()
    {
        while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\t' || s_[p_] == '\n' || s_[p_] == '\r'))
            ++p_;
    }
    bool eat(char c)
    {
        blanks();
        if (p_ < s_.size() && s_[p_] == c) {
            ++p_;
            return true;
        }
        return false;
    }
    std::string string()
    {
        if (!eat('"'))
            fail("a text expected");
        std::string out;
        while (p_ < s_.size() && s_[p_] != '"') {
            char c = s_[p_++];
            if (c == '\\') {
                if (p_ >= s_.size())
                    break;
                c = s_[p_++];
                switch (c) {
                case 'n': c = '\n'; break;
                case 't': c = '\t'; break;
                case 'r': c = '\r'; break;
                case 'b': c = '\b'; break;
                case 'f': c = '\f'; break;
                case 'u':
                    // Only control characters are escaped this way in the file.
                    if (p_ + 4 > s_.size())
                        fail("a short \\u escape");
                    {
                        unsigned code = 0;
                        const auto r = std::from_chars(s_.data() + p_, s_.data() + p_ + 4, code, 16);
                        if (r.ptr != s_.data() + p_ + 4)
                            fail("a \\u escape that is no number");
                        c = static_cast<char>(code & 0x7f);
                    }
                    p_ += 4;
                    break;
                default: break;
                }
            }
            out += c;
        }
        if (p_ >= s_.size())
            fail("a text left open");
        ++p_;
        return out;
    }
    Json value(int depth)
    {
        if (depth > 64)
            fail("nesting too deep");
        blanks();
        if (p_ >= s_.size())
            fail("the end of the file");
        const char c = s_[p_];
        Json j;
        if (c == '{') {
            ++p_;
            std::map<std::string, Json> m;
            if (!eat('}')) {
                do {
                    std::string key = string();
                    if (!eat(':'))
                        fail("':' expected");
                    m[key] = value(depth + 1);
                } while (eat(','));
                if (!eat('}'))
                    fail("'}' expected");
            }
            j.v = std::move(m);
        } else if (c == '[') {
            ++p_;
            std::vector<Json> a;
            if (!eat(']')) {
                do
                    a.push_back(value(depth + 1));
                while (eat(','));
                if (!eat(']'))
                    fail("']' expected");
            }
            j.v = std::move(a);
        } else if (c == '"') {
            j.v = string();
        } else if (s_.substr(p_, 4) == "null") {
            p_ += 4;
        } else if (s_.substr(p_, 4) == "true") {
            p_ += 4;
            j.v = true;
        } else if (s_.substr(p_, 5) == "false") {
            p_ += 5;
            j.v = false;
        } else {
            const std::size_t b = p_;
            while (p_ < s_.size() && std::string_view("+-0123456789.eE").find(s_[p_]) != std::string_view::npos)
                ++p_;
            if (p_ == b)
                fail("a value expected");
            try {
                j.v = std::stod(std::string(s_.substr(b, p_ - b)));
            } catch (const std::exception&) {
                fail("a number expected");
            }
        }
        return j;
    }

    std::string_view s_;
    std::string source_;
    std::size_t p_ = 0;
};

struct ParamSet {
    int npar = 7; // 7: 3r7; 4, 6: the plane models
    Vec PAR;
};

ParamSet readParamsJson(const std::filesystem::path& file, MigrateFrom from)
{
    const std::string source = file.string();
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec)
        throw FileError("File not found. (" + source + ": " + ec.message() + ")");
    if (size > (16u << 20))
        throw FileError(source + ": more than 16 MiB, not the parameters JSON of kolmo-cli transform");
    const std::string text = platform::readFile(file);
    const Json doc = JsonReader(text, source).document();
    const auto bad = [&](const std::string& why) { return FileError(source + ": " + why); };
    const Json* model = doc.get("model");
    if (!model || !model->text())
        throw bad("no \"model\": not the parameters JSON of kolmo-cli transform");
    ParamSet p;
    const std::string& m = *model->text();
    p.npar = m == "3r7" ? 7 : m == "2r4" ? 4 : m == "2r6" ? 6 : 0;
    if (p.npar == 0)
        throw bad("model \"" + m + "\" is none of 3r7, 2r4, 2r6");
    const Json* types = doc.get("types");
    const Json* start = types ? types->get("start") : nullptr;
    const Json* output = types ? types->get("output") : nullptr;
    const std::string want = from == MigrateFrom::Gk ? "D48/GK" : "D96/TM";
    const std::string target = from == MigrateFrom::Gk ? "D96/TM" : "D48/GK";
    if (!start || !output || !start->text() || !output->text() || *start->text() != want ||
        *output->text() != target)
        throw bad("the parameters take " + std::string(start && start->text() ? *start->text() : "?") + " to " +
                  (output && output->text() ? *output->text() : "?") + ", not " + want + " to " + target);
    const Json* params = doc.get("parameters");
    const auto* list = params ? std::get_if<std::vector<Json>>(&params->v) : nullptr;
    if (!list || list->size() != static_cast<std::size_t>(p.npar))
        throw bad("\"parameters\" does not hold the " + std::to_string(p.npar) + " parameters of " + m);
    p.PAR.resize(p.npar);
    for (int k = 0; k < p.npar; ++k) {
        const Json* v = (*list)[static_cast<std::size_t>(k)].get("value");
        const double* x = v ? std::get_if<double>(&v->v) : nullptr;
        if (!x || !std::isfinite(*x))
            throw bad("parameter " + std::to_string(k + 1) + " has no numeric \"value\"");
        p.PAR(k) = *x;
    }
    return p;
}

// --- Moving one point --------------------------------------------------------

// The chosen method and height option, applied to one point at a time:
// plane coordinates (easting, northing, metres, without the zone digit) of
// the source datum in, of the target datum out.
class Mover {
public:
    explicit Mover(const MigrateOptions& o) : from_(o.from), heights_(o.heights)
    {
        if (!o.paramsName.empty() && !o.paramsJson.empty())
            throw Error("give either a stored parameter set or a parameters JSON, not both");
        if (!o.paramsJson.empty()) {
            set_ = readParamsJson(o.paramsJson, o.from);
        } else if (!o.paramsName.empty()) {
            const std::string direction = o.from == MigrateFrom::Gk ? "2" : "1";
            const auto found = findParSet(o.dataDir, 7, direction, o.paramsName);
            if (!found) {
                const ParSets sets = readParSets(o.dataDir, 7, direction);
                throw FileError("no 7-parameter set '" + o.paramsName + "' of the direction " +
                                (o.from == MigrateFrom::Gk ? "D48 -> D96" : "D96 -> D48") + " in " +
                                parFilePath(o.dataDir, 7).string() +
                                (sets.names.empty() ? std::string()
                                                    : "; its sets: " + platform::listForMessage(sets.names, 50)));
            }
            set_ = ParamSet{7, *found};
        } else {
            model_ = &TriangleModel::of(o.dataDir);
        }
        if (set_ && set_->npar == 7) {
            // D48/GK lies on Bessel's ellipsoid (code 3), D96/TM on GRS-80 (2).
            const int a = o.from == MigrateFrom::Gk ? 3 : 2, b = o.from == MigrateFrom::Gk ? 2 : 3;
            startPlane_.emplace(a, 1);
            endPlane_.emplace(b, 1);
            startCart_.emplace(a);
            endCart_.emplace(b);
            similarity_.emplace(set_->PAR, 7);
        }
        if (heights_ != MigrateHeights::Keep) {
            svs_ = &SvsOffset::of(o.dataDir);
            tm_.emplace(2, 1);
        }
    }

    // False: the point lies outside the model (or the projection zone of a
    // parameter set) and gets no coordinates.  `heightLost`: a height was
    // asked to move but the point lies outside the offset grid (h is NaN).
    bool move(double& e, double& n, double& h, bool& heightLost) const
    {
        heightLost = false;
        double te, tn;
        if (model_) {
            if (!(from_ == MigrateFrom::Gk ? model_->gkToTm(e, n, te, tn) : model_->tmToGk(e, n, te, tn)))
                return false;
        } else if (set_->npar == 7) {
            double fi, la, X, Y, Z, x, y, z, efi, ela, eh;
            if (!startPlane_->toGeodetic(n, e, fi, la))
                return false;
            // Plane coordinates carry no ellipsoidal height: the height at
            // hand stands in for it, as the main computation does with two
            // plane types.
            startCart_->toCartesian(fi, la, std::isfinite(h) ? h : 0.0, X, Y, Z);
            similarity_->apply(X, Y, Z, x, y, z);
            endCart_->toEllipsoidal(x, y, z, efi, ela, eh, 0);
            if (!endPlane_->toPlane(efi, ela, tn, te))
                return false;
        } else {
            tran2d_tocka(set_->PAR, set_->npar, n, e, tn, te);
        }
        if (heights_ != MigrateHeights::Keep && std::isfinite(h)) {
            // The offset grid is in D96 latitude and longitude.
            const double pe = from_ == MigrateFrom::Gk ? te : e, pn = from_ == MigrateFrom::Gk ? tn : n;
            double fi = kNaN, la = kNaN;
            tm_->toGeodetic(pn, pe, fi, la);
            const double off = svs_->at(fi, la);
            if (std::isnan(off))
                heightLost = true;
            h = heights_ == MigrateHeights::Svs2000To2010 ? h + off : h - off;
        }
        e = te;
        n = tn;
        return true;
    }

private:
    MigrateFrom from_;
    MigrateHeights heights_;
    const TriangleModel* model_ = nullptr;
    std::optional<ParamSet> set_;
    std::optional<ZoneProjection> startPlane_, endPlane_, tm_;
    std::optional<CartesianConversion> startCart_, endCart_;
    std::optional<Similarity> similarity_;
    const SvsOffset* svs_ = nullptr;
};

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
        std::array<double, 3> v{}; // as read: up to three numbers
        int count = 0;
        std::size_t line = 0;
        // Filled by `prepare` on the reading thread.
        double x = 0, y = 0, h = 0;
        bool moved = false, heightLost = false;
    };
    using Prepare = std::function<void(Row&, bool first)>;

    RowFeeder(const std::filesystem::path& in, Prepare prepare)
        : rows_(in), prepare_(std::move(prepare)), thread_([this] { produce(); })
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
                    std::copy_n(v.begin(), 3, r.v.begin());
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
    RowFeeder rows(o.in, [&mover, yx, headsUp](RowFeeder::Row& r, bool first) mutable {
        if (first)
            headsUp = r.count >= 3;
        double x = r.v[0], y = r.count >= 2 ? r.v[1] : 0.0;
        if (yx)
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
            out.emplace(toStdout ? platform::FileWriter::standardOutput() : platform::FileWriter(o.out), csv, yx, 3);
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

MigrateSummary migrateGis(const MigrateOptions& o, const MigrateProgress& progress, const Mover& mover)
{
    DatasetJob job;
    job.in = o.in;
    job.out = o.out;
    job.from = o.from;
    job.layer = o.layer;
    job.assumeCrs = o.assumeCrs;
    // A vertex outside the model, or whose height would leave the offset grid,
    // cannot be moved: its feature is refused rather than written wrong.
    auto heightsLost = std::make_shared<std::size_t>(0);
    job.move = [&mover, heightsLost](std::size_t count, double* e, double* n, double* h, int* ok) {
        for (std::size_t i = 0; i < count; ++i) {
            double hv = h ? h[i] : kNaN;
            bool lost = false;
            ok[i] = mover.move(e[i], n[i], hv, lost) && !lost ? 1 : 0;
            if (lost)
                ++*heightsLost;
            if (h && ok[i])
                h[i] = hv;
        }
    };
    DatasetSummary d;
    try {
        d = migrateDataset(job, progress);
    } catch (const FileError& e) {
        if (*heightsLost > 0)
            throw FileError(std::string(e.what()) +
                            " (a vertex lies outside the SVS2000/SVS2010 offset grid, so its height cannot be moved)");
        throw;
    }
    MigrateSummary s;
    s.dataset = true;
    s.written = d.features;
    s.warnings = std::move(d.warnings);
    return s;
}

} // namespace

std::string tinshiftJson(const std::filesystem::path& dataDir, MigrateFrom from)
{
    const TriangleModel& m = TriangleModel::of(dataDir);
    const bool gk = from == MigrateFrom::Gk;
    const auto num = jsonNumber; // the shortest text that reads back to the same double
    std::string j = "{\n";
    j += "  \"file_type\": \"triangulation_file\",\n";
    j += "  \"format_version\": \"1.0\",\n";
    j += std::string("  \"name\": \"") + (gk ? "D48/GK to D96/TM" : "D96/TM to D48/GK") +
         ", national triangle-based transformation model of Slovenia\",\n";
    j += "  \"version\": \"4.0\",\n";
    j += "  \"license\": \"Creative Commons Attribution 4.0 International (CC BY 4.0)\",\n";
    j += "  \"description\": \"Virtual tie points v4.0 of the triangle-based transformation D48/GK <-> D96/TM "
         "and their Delaunay triangles; affine (barycentric) in each triangle. " +
         std::string(kTriangleModelAttribution) + " Written by Kolmo v3.00.\",\n";
    j += "  \"authority\": {\"name\": \"Geodetska uprava Republike Slovenije\", \"url\": "
         "\"https://www.e-prostor.gov.si/\"},\n";
    j += "  \"links\": [{\"href\": \"https://creativecommons.org/licenses/by/4.0/\", \"rel\": \"license\", "
         "\"type\": \"text/html\", \"title\": \"CC BY 4.0\"}],\n";
    j += std::string("  \"input_crs\": \"") + (gk ? "EPSG:3912" : "EPSG:3794") + "\",\n";
    j += std::string("  \"output_crs\": \"") + (gk ? "EPSG:3794" : "EPSG:3912") + "\",\n";
    j += "  \"transformed_components\": [\"horizontal\"],\n";
    j += "  \"vertices_columns\": [\"source_x\", \"source_y\", \"target_x\", \"target_y\"],\n";
    j += "  \"triangles_columns\": [\"idx_vertex1\", \"idx_vertex2\", \"idx_vertex3\"],\n";
    j += "  \"vertices\": [\n";
    const auto& pts = m.points();
    for (std::size_t k = 0; k < pts.size(); ++k) {
        const auto& t = pts[k];
        j += "    [" + (gk ? num(t.gkE) + ", " + num(t.gkN) + ", " + num(t.tmE) + ", " + num(t.tmN)
                       : num(t.tmE) + ", " + num(t.tmN) + ", " + num(t.gkE) + ", " + num(t.gkN)) +
             (k + 1 < pts.size() ? "],\n" : "]\n");
    }
    j += "  ],\n  \"triangles\": [\n";
    const auto& tri = m.triangles();
    for (std::size_t k = 0; k < tri.size(); ++k)
        j += "    [" + std::to_string(tri[k][0]) + ", " + std::to_string(tri[k][1]) + ", " +
             std::to_string(tri[k][2]) + (k + 1 < tri.size() ? "],\n" : "]\n");
    j += "  ]\n}\n";
    return j;
}

void exportTinshift(const std::filesystem::path& dataDir, const std::filesystem::path& file, MigrateFrom from)
{
    const std::string text = tinshiftJson(dataDir, from);
    if (file == "-") {
        auto out = platform::FileWriter::standardOutput();
        out.write(text);
        out.commit();
    } else {
        platform::writeFileAtomic(file, text);
    }
}

MigrateSummary migrate(const MigrateOptions& options, const MigrateProgress& progress)
{
    if (options.in.empty() || options.out.empty())
        throw FileError("the migration needs an input and an output file");
    if (options.in != "-" && options.out != "-" &&
        (options.in == options.out || platform::sameOutput(options.in, options.out)))
        throw FileError(std::string(platform::kOutputIsInput) + " (" + options.out.string() + ")");
    // The model and the offsets are inputs too: a point file named like the
    // tie points' .txt must not replace them.
    if (options.out != "-")
        for (const auto& data : programDataFiles(options.dataDir))
            if (platform::sameOutput(options.out, data))
                throw FileError(std::string(platform::kOutputIsInput) + " (" + options.out.string() + ")");
    const Mover mover(options);
    if (isPointFile(options.in)) {
        if (!isPointFile(options.out))
            throw FileError(options.out.string() +
                            ": a point file goes into a point file (.pod, .txt, .csv or - for the standard output)");
        return migratePoints(options, progress, mover);
    }
    if (options.in == "-" || options.out == "-")
        throw FileError("a GIS dataset is read from and written to files, not the standard input or output");
    return migrateGis(options, progress, mover);
}

} // namespace kolmo
