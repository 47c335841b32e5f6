#include "migrate/gdal/dataset_loss.h"

#include <cpl_json.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kolmo {

namespace {

// GDAL's SQLite-based drivers quote the statement that failed, in brackets
// after the function ("sqlite3_exec(CREATE TABLE ...) failed: disk I/O
// error") or after "SQL:": the statement is of no use to the user and may
// run to pages, the reason after it is what counts.
std::string withoutSql(std::string_view text)
{
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t call = text.find("sqlite3_", at);
        if (call == std::string_view::npos)
            break;
        const std::size_t open = text.find('(', call);
        const std::size_t word = text.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_", call);
        if (open == std::string_view::npos || word != open) {
            out.append(text.substr(at, call + 8 - at));
            at = call + 8;
            continue;
        }
        // The statement's own brackets and quotes are skipped over.
        int depth = 0;
        char quote = 0;
        std::size_t close = open;
        for (; close < text.size(); ++close) {
            const char c = text[close];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '\'' || c == '"') {
                quote = c;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                break;
            }
        }
        out.append(text.substr(at, open + 1 - at));
        out += "...)";
        at = close < text.size() ? close + 1 : text.size();
    }
    out.append(text.substr(std::min(at, text.size())));
    const std::size_t sql = out.find("SQL: ");
    if (sql != std::string::npos)
        out.replace(sql + 5, std::string::npos, "...");
    return out;
}

} // namespace

std::string gdalText(std::string_view raw)
{
    const std::string unquoted = withoutSql(raw);
    const std::string_view text = unquoted;
    std::string line;
    line.reserve(std::min(text.size(), kGdalTextLimit + 3));
    bool blank = false;
    for (const char c : text) {
        const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
        if (space) {
            blank = !line.empty();
            continue;
        }
        if (blank)
            line += ' ';
        blank = false;
        line += c;
        if (line.size() > kGdalTextLimit)
            break;
    }
    if (line.size() > kGdalTextLimit) {
        std::size_t cut = kGdalTextLimit;
        // Not inside a UTF-8 character: a continuation byte is 10xxxxxx.
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        line.resize(cut);
        line += "...";
    }
    return line;
}

std::string vertexText(double e, double n)
{
    // A plane coordinate of Slovenia is below 6e6 m even with the zone
    // digit; 1e7 m leaves room for any grid near it and shows what the
    // file holds instead of "1e+308" noise.
    constexpr double kReasonable = 1e7;
    auto one = [](double value) -> std::string {
        if (std::isnan(value))
            return "not a number";
        if (!std::isfinite(value) || std::abs(value) > kReasonable)
            return "beyond any survey";
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", value);
        return text;
    };
    return one(e) + " " + one(n);
}

bool lossWarning(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* word : {"truncat", "not successfully written", "not written", "skipped", "ignored", "lost",
                             "discarded", "dropped", "rounded", "precision loss", "out of range", "overflow"})
        if (lower.find(word) != std::string::npos)
            return true;
    return false;
}

void Losses::add(const std::string& what, long long fid)
{
    auto [at, added] = kinds_.try_emplace(what);
    if (added)
        order_.push_back(what);
    if (fid >= 0) {
        if (at->second.features++ == 0)
            at->second.first = fid;
    }
}

std::vector<std::string> Losses::lines(std::size_t limit) const
{
    std::vector<std::string> texts;
    for (const auto& what : order_) {
        if (texts.size() == limit) {
            texts.push_back("and " + std::to_string(order_.size() - limit) + " more");
            break;
        }
        const Kind& kind = kinds_.at(what);
        std::string text = what;
        if (kind.features == 1)
            text += " (feature " + std::to_string(kind.first) + ")";
        else if (kind.features > 1)
            text += " (" + std::to_string(kind.features) + " features, the first feature " +
                    std::to_string(kind.first) + ")";
        texts.push_back(std::move(text));
    }
    return texts;
}

std::string Losses::list(std::size_t limit) const
{
    std::string text;
    for (const auto& line : lines(limit))
        text += (text.empty() ? "" : "; ") + line;
    return text;
}

std::vector<const char*> inputOpenOptions(const char* driverName)
{
    std::vector<const char*> options;
    const std::string_view driver = driverName ? driverName : "";
    if (driver == "GPKG")
        options.push_back("LIST_ALL_TABLES=YES");
    else if (driver == "GeoJSON")
        options.push_back("NATIVE_DATA=YES");
    else if (driver == "GML")
        options.push_back("WRITE_GFS=NO");
    else if (driver == "CSV") {
        // The geometry column by the names GIS programs give it, and not
        // also as a text field (which would carry the old coordinates).
        options.push_back("GEOM_POSSIBLE_NAMES=WKT,WKT_GEOM,GEOMETRY,GEOM,THE_GEOM");
        options.push_back("KEEP_GEOM_COLUMNS=NO");
    }
    options.push_back(nullptr);
    return options;
}

bool nativeGeometryPresent(const char* nativeJson)
{
    if (!nativeJson || !*nativeJson)
        return false;
    CPLJSONDocument document;
    if (!document.LoadMemory(std::string(nativeJson)))
        return true; // text GDAL kept but cannot parse again: not a genuine null
    const CPLJSONObject geometry = document.GetRoot().GetObj("geometry");
    return geometry.IsValid() && geometry.GetType() != CPLJSONObject::Type::Null;
}

std::vector<std::string> rasterTables(GDALDataset& dataset)
{
    std::vector<std::string> tables;
    GDALDriver* driver = dataset.GetDriver();
    if (!driver || std::strcmp(driver->GetDescription(), "GPKG") != 0)
        return tables;
    OGRLayer* result = dataset.ExecuteSQL("SELECT table_name, data_type FROM gpkg_contents WHERE data_type IN "
                                          "('tiles', '2d-gridded-coverage') ORDER BY table_name",
                                          nullptr, nullptr);
    if (!result)
        return tables;
    for (OGRFeatureUniquePtr row(result->GetNextFeature()); row; row.reset(result->GetNextFeature()))
    {
        std::string table = "\"";
        table += row->GetFieldAsString(0);
        table += "\" (";
        table += row->GetFieldAsString(1);
        table += ')';
        tables.push_back(std::move(table));
    }
    dataset.ReleaseResultSet(result);
    return tables;
}

} // namespace kolmo
