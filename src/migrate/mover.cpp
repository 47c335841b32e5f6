#include "migrate/mover.h"

#include "app/pardb.h"
#include "input/value_checks.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <iostream>
#include <string>

namespace kolmo {
namespace {

constexpr std::uintmax_t kMaxParamsJson = 16u << 20;

// The whole of the standard input, up to `limit` bytes.
std::string readStandardInput(std::size_t limit)
{
    std::string text;
    char buffer[65536];
    for (;;) {
        std::cin.read(buffer, sizeof buffer);
        const auto got = static_cast<std::size_t>(std::cin.gcount());
        text.append(buffer, got);
        if (text.size() > limit)
            throw FileError("standard input: more than 16 MiB, not the parameters JSON of kolmo-cli transform");
        if (got < sizeof buffer)
            break;
    }
    if (std::cin.bad())
        throw FileError("standard input cannot be read");
    return text;
}

// The set's own test, as `transform` applies it to a set it is given.
void checkUsable(const ParamSet& p, const std::string& source)
{
    if (const auto why = unusableParameters(p.PAR))
        throw FileError(source + ": the parameters cannot be used: " + *why);
}

} // namespace

ParamSet parseParamsJson(std::string text, const std::string& source, MigrateFrom from)
{
    using Json = nlohmann::json;
    // A UTF-8 byte order mark, as some editors write it.
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    Json doc;
    try {
        doc = Json::parse(text);
    } catch (const Json::exception& e) {
        // nlohmann's text: "[json.exception.parse_error.101] parse error at line 1, column 4: ..."
        std::string why = e.what();
        if (const auto close = why.find("] "); why.starts_with("[json.exception.") && close != std::string::npos)
            why.erase(0, close + 2);
        throw FileError(source + ": not the parameters JSON of kolmo-cli transform (" + why + ")");
    }
    const auto bad = [&](const std::string& why) { return FileError(source + ": " + why); };
    const auto text_of = [](const Json& object, const char* key) -> const std::string* {
        if (!object.is_object())
            return nullptr;
        const auto it = object.find(key);
        return it != object.end() && it->is_string() ? it->get_ptr<const std::string*>() : nullptr;
    };
    const std::string* model = text_of(doc, "model");
    if (!model)
        throw bad("no \"model\": not the parameters JSON of kolmo-cli transform");
    ParamSet p;
    const std::string& m = *model;
    p.npar = m == "3r7" ? 7 : m == "2r4" ? 4 : m == "2r6" ? 6 : 0;
    if (p.npar == 0)
        throw bad("model \"" + m + "\" is none of 3r7, 2r4, 2r6");
    static const Json none;
    const Json& types = doc.contains("types") ? doc["types"] : none;
    const std::string* start = text_of(types, "start");
    const std::string* output = text_of(types, "output");
    const std::string want = from == MigrateFrom::Gk ? "D48/GK" : "D96/TM";
    const std::string target = from == MigrateFrom::Gk ? "D96/TM" : "D48/GK";
    if (!start || !output || *start != want || *output != target)
        throw bad("the parameters take " + (start ? *start : std::string("?")) + " to " +
                  (output ? *output : std::string("?")) + ", not " + want + " to " + target);
    const auto params = doc.find("parameters");
    if (params == doc.end() || !params->is_array() || params->size() != static_cast<std::size_t>(p.npar))
        throw bad("\"parameters\" does not hold the " + std::to_string(p.npar) + " parameters of " + m);
    p.PAR.resize(p.npar);
    for (int k = 0; k < p.npar; ++k) {
        const Json& item = (*params)[static_cast<std::size_t>(k)];
        const auto value = item.is_object() ? item.find("value") : item.end();
        if (!item.is_object() || value == item.end() || !value->is_number() || !std::isfinite(value->get<double>()))
            throw bad("parameter " + std::to_string(k + 1) + " has no numeric \"value\"");
        p.PAR(k) = value->get<double>();
    }
    checkUsable(p, source);
    return p;
}

ParamSet readParamsJson(const std::filesystem::path& file, MigrateFrom from)
{
    if (file == "-")
        return parseParamsJson(readStandardInput(kMaxParamsJson), "standard input", from);
    const std::string source = file.string();
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec)
        throw FileError("File not found. (" + source + ": " + ec.message() + ")");
    if (size > kMaxParamsJson)
        throw FileError(source + ": more than 16 MiB, not the parameters JSON of kolmo-cli transform");
    return parseParamsJson(platform::readFile(file), source, from);
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
        checkUsable(*set_, "the 7-parameter set '" + o.paramsName + "'");
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
    area_ = &ValidArea::of(o.dataDir);
    if (heights_ != MigrateHeights::Keep) {
        svs_ = &SvsOffset::of(o.dataDir);
        tm_.emplace(2, 1);
    }
}

} // namespace kolmo
