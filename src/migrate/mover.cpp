#include "migrate/mover.h"

#include "app/pardb.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <charconv>
#include <cmath>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kolmo {
namespace {

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

} // namespace

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

Mover::Mover(const MigrateOptions& o) : from_(o.from), heights_(o.heights)
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

} // namespace kolmo
