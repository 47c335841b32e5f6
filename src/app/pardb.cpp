#include "app/pardb.h"

#include "input/value_checks.h"
#include "platform/cause.h"
#include "platform/cp1250.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/numtext.h"
#include "platform/textread.h"

#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace kolmo {
namespace {

constexpr std::string_view kNotSaved = "Parametri niso shranjeni! Datoteke s parametri ni mogoče zapisati.";
constexpr std::string_view kNameTaken = "Parametri s tem imenom že obstajajo!";
constexpr std::string_view kDamaged =
    "Parametri niso shranjeni! Zapisi v datoteki s parametri niso celi, zato nov zapis ne bi bil berljiv.";

// Decimals of each parameter in a record.  The plane coefficients are
// dimensionless: at 460 km from the origin a change of 5e-7 in one of them moves
// a point by 0.23 m, so they keep 12 decimals; metres, arc seconds and ppm keep 6.
std::vector<int> recordDecimals(Eigen::Index npar)
{
    switch (npar) {
    case 7: return {6, 6, 6, 6, 6, 6, 6};
    case 4: return {12, 12, 6, 6};
    case 6: return {12, 12, 6, 12, 12, 6};
    default: throw std::invalid_argument("parameter count must be 4, 6 or 7");
    }
}

void appendFixed(std::string& out, double v, int decimals)
{
    std::array<char, 400> buf;  // any finite double in fixed notation fits
    const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v,
                                         std::chars_format::fixed, decimals);
    if (ec != std::errc())
        throw std::invalid_argument("parameter value cannot be written");
    out.append(buf.data(), end);
}

// The details of a name the database cannot hold.
std::optional<std::string> nameProblem(const std::string& name)
{
    if (platform::representableInCp1250(name))
        return std::nullopt;
    return "the name '" + platform::fromCp1250(platform::toCp1250(name)) +
           "' is not UTF-8 text, or holds characters that Windows-1250 (the code page of the database) has no code for";
}

bool failBox(std::string_view message, std::string_view details = {})
{
    platform::dialogs().errorBox(message, kParTitle, details);
    return false;
}

} // namespace

std::string parFileName(int npar)
{
    switch (npar) {
    case 7: return "t7.par";
    case 4: return "t4.par";
    case 6: return "t6.par";
    default: return {};
    }
}

std::filesystem::path parFilePath(const std::filesystem::path& pot_prg, int npar)
{
    return pot_prg / parFileName(npar);
}

ParSets parseParSets(std::string_view text, int npar, const std::string& par_tip)
{
    std::vector<std::string> fields;
    try {
        fields = platform::splitFields(text);
    } catch (const FileError& e) {
        throw ParDbError(std::string(kParFileBad), e.what());  // no text: a NUL byte, an endless line
    }
    return parseParFields(fields, npar, par_tip);
}

ParSets parseParFields(const std::vector<std::string>& fields, int npar, const std::string& par_tip)
{
    if (npar < 1)
        throw std::invalid_argument("parameter count must be positive");
    const std::size_t n = static_cast<std::size_t>(npar) + 2;
    const std::size_t groups = fields.size() / n;  // left-over fields are ignored
    ParSets out;
    std::vector<double> values;
    for (std::size_t g = 0; g < groups; ++g) {
        const auto* f = &fields[g * n];
        const std::string record = "record " + std::to_string(g + 1);
        if (f[0].size() != par_tip.size())
            throw ParDbError(std::string(kParFileBad), record + ": direction code '" + f[0].substr(0, 20) +
                                                           "' is not 1 or 2 (a comma in a name shifts every later record)");
        if (f[0] != par_tip)
            continue;
        for (std::size_t j = 2; j < n; ++j) {
            const auto v = platform::parseNumber(f[j]);
            if (!v)
                throw ParDbError(std::string(kParFileBad), record + " ('" + f[1].substr(0, 40) + "'): parameter " +
                                                               std::to_string(j - 1) + " '" + f[j].substr(0, 20) +
                                                               "' is not a number");
            values.push_back(*v);
        }
        out.names.push_back(platform::fromCp1250(f[1]));
    }
    const auto rows = static_cast<Eigen::Index>(out.names.size());
    out.datap.resize(rows, npar);
    for (Eigen::Index r = 0; r < rows; ++r)
        for (Eigen::Index c = 0; c < npar; ++c)
            out.datap(r, c) = values[static_cast<std::size_t>(r * npar + c)];
    return out;
}

namespace {

// The largest database read: thousands of sets fit in a few hundred kilobytes.
constexpr std::uintmax_t kMaxParFileBytes = std::uintmax_t{64} << 20;

// Reads the fields of a database with the line of each, and checks the whole
// of it, whatever the direction asked for: every record whole and every
// parameter a finite number.  Throws ParDbError(kParFileBad) with "<file>,
// line <n>: <what>" as the details, the same for listing, choosing and
// appending, so that a damaged file is told one way wherever it is met.
std::vector<std::string> readWholeRecords(platform::LineReader& reader, const std::filesystem::path& file,
                                          std::size_t n)
{
    std::vector<std::string> fields;
    std::vector<long> lines;
    std::string line;
    try {
        while (reader.next(line)) {
            for (std::size_t start = 0;;) {
                const auto comma = line.find(',', start);
                std::string_view field(line);
                field = field.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                while (!field.empty() && (field.front() == ' ' || field.front() == '\t'))
                    field.remove_prefix(1);
                while (!field.empty() && (field.back() == ' ' || field.back() == '\t'))
                    field.remove_suffix(1);
                if (!field.empty())
                    fields.emplace_back(field);
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
            lines.resize(fields.size(), static_cast<long>(reader.lineNumber()));
        }
    } catch (const FileError& e) {
        throw ParDbError(std::string(kParFileBad), e.what());  // there, but not readable as text
    }
    const auto where = [&](std::size_t field) {
        return file.string() + ", line " + std::to_string(lines[field]) + ": ";
    };
    for (std::size_t g = 0; g + n <= fields.size(); g += n) {
        const std::string record = "record " + std::to_string(g / n + 1) + " ('" + fields[g + 1].substr(0, 40) + "')";
        if (fields[g] != "1" && fields[g] != "2")
            throw ParDbError(std::string(kParFileBad), where(g) + record + ": direction code '" + fields[g].substr(0, 20) +
                                                           "' is not 1 or 2 (a comma in a name shifts every later record)");
        for (std::size_t j = g + 2; j < g + n; ++j)
            if (!platform::parseNumber(fields[j]))
                throw ParDbError(std::string(kParFileBad), where(j) + record + ": parameter " + std::to_string(j - g - 1) +
                                                               " '" + fields[j].substr(0, 20) + "' is not a number");
    }
    if (fields.size() % n != 0) {
        const std::size_t first = fields.size() / n * n;
        throw ParDbError(std::string(kParFileBad), where(fields.size() - 1) + "the last record holds " +
                                                       std::to_string(fields.size() - first) + " of " + std::to_string(n) +
                                                       " fields (the file is cut short or a record is damaged)");
    }
    return fields;
}

std::vector<std::string> readWholeRecords(const std::filesystem::path& file, std::size_t n)
{
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (std::filesystem::is_directory(status))
        throw ParDbError(std::string(kParFileBad), file.string() + ": a folder, not a parameter database");
    if (std::filesystem::is_regular_file(status) && std::filesystem::file_size(file, ec) > kMaxParFileBytes)
        throw ParDbError(std::string(kParFileBad), file.string() + ": larger than 64 MB, not a parameter database");
    try {
        platform::LineReader reader(file);
        return readWholeRecords(reader, file, n);
    } catch (const ParDbError&) {
        throw;
    } catch (const FileError& e) {
        throw ParDbError(std::string(kParFileBad), e.what());
    }
}

} // namespace

ParSets readParSets(const std::filesystem::path& pot_prg, int npar, const std::string& par_tip, ParReading reading)
{
    const auto file = parFilePath(pot_prg, npar);
    std::error_code ec;
    if (parFileName(npar).empty() || !std::filesystem::exists(file, ec))
        throw ParDbError(std::string(kParFileMissing), file.string() + ": no such file");
    std::vector<std::string> fields;
    if (reading == ParReading::whole) {
        fields = readWholeRecords(file, static_cast<std::size_t>(npar) + 2);
    } else {
        if (std::filesystem::is_directory(file, ec))
            throw ParDbError(std::string(kParFileBad), file.string() + ": a folder, not a parameter database");
        try {
            fields = platform::readFields(file);
        } catch (const FileError& e) {
            // There, but not readable as text.
            throw ParDbError(std::string(kParFileBad), platform::causeText(e, platform::causeLanguage()));
        }
    }
    try {
        return parseParFields(fields, npar, par_tip);
    } catch (const ParDbError& e) {
        throw ParDbError(e.what(), file.string() + ": " + e.details());
    }
}

std::optional<Vec> findParSet(const std::filesystem::path& pot_prg, int npar,
                              const std::string& par_tip, const std::string& name, ParReading reading)
{
    const ParSets sets = readParSets(pot_prg, npar, par_tip, reading);
    for (std::size_t k = 0; k < sets.names.size(); ++k)
        if (sets.names[k] == name)
            return Vec(sets.datap.row(static_cast<Eigen::Index>(k)).transpose());
    return std::nullopt;
}

std::string parRecord(const std::string& tip_par, const std::string& nameCp1250, const Vec& PAR)
{
    const auto decimals = recordDecimals(PAR.size());
    std::string out = tip_par;
    out += ',';
    out += nameCp1250;
    for (Eigen::Index i = 0; i < PAR.size(); ++i) {
        out += ',';
        appendFixed(out, PAR(i), decimals[static_cast<std::size_t>(i)]);
    }
    return out;
}

std::optional<std::string> checkParSet(const std::string& tip_par, const std::string& name, const Vec& PAR)
{
    if (PAR.size() != 7 && PAR.size() != 4 && PAR.size() != 6)
        return "Parametri se niso določeni/izbrani!";
    if (tip_par != "1" && tip_par != "2")
        return "Parametri niso shranjeni! Smer transformacije ni določena.";
    if (name.find_first_not_of(" \t") == std::string::npos)
        return "Vpiši ime parametrov!";
    if (name.find_first_of(",\r\n") != std::string::npos)
        return "Ime parametrov ne sme vsebovati vejice ali preloma vrstice!";
    // Names are stored in Windows-1250: one it cannot hold would be stored as
    // '?' and never found again under the name it was saved with.
    if (!platform::representableInCp1250(name))
        return "Vpiši ime parametrov!";
    for (Eigen::Index i = 0; i < PAR.size(); ++i)
        if (!std::isfinite(PAR(i)))
            return "Parametri niso shranjeni! Med parametri je neveljavna vrednost.";
    if (unusableParameters(PAR))
        return "Parametri niso shranjeni! Med parametri je neveljavna vrednost.";
    return std::nullopt;
}

namespace {

// The name as the reading rule will see it: in the code page, blanks around it
// dropped.
std::string storedParName(const std::string& name)
{
    const std::string cp = platform::toCp1250(name);
    const auto first = cp.find_first_not_of(" \t"), last = cp.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : cp.substr(first, last - first + 1);
}

// Throws ParDbError when a set `name` of direction `tip_par` cannot be
// appended to a database whose content is `current`: records that are not
// whole, or a set of that name and direction already there.
void checkAppendable(platform::LineReader& current, const std::filesystem::path& file, std::size_t n,
                     const std::string& tip_par, const std::string& name)
{
    // A record appended after a broken one would be read out of its group,
    // and one appended to a file that cannot be read could never be chosen.
    std::vector<std::string> fields;
    try {
        fields = readWholeRecords(current, file, n);
    } catch (const ParDbError& e) {
        throw ParDbError(std::string(kDamaged), e.details());
    }
    // Sets are found by name (the first of a name wins): a second set of the
    // same name and direction could never be selected.
    const std::string storedName = storedParName(name);
    for (std::size_t g = 0; g < fields.size(); g += n)
        if (fields[g] == tip_par && fields[g + 1] == storedName)
            throw ParDbError(std::string(kNameTaken), file.string() + " already holds a set '" + name +
                                                          "' of direction " + tip_par);
}

} // namespace

bool appendParSet(const std::filesystem::path& pot_prg, const std::string& tip_par,
                  const std::string& name, const Vec& PAR)
{
    if (const auto why = checkParSet(tip_par, name, PAR))
        return failBox(*why, nameProblem(name).value_or(unusableParameters(PAR).value_or("")));
    std::string record(1, '\n');
    record += parRecord(tip_par, platform::toCp1250(name), PAR);
    const auto file = parFilePath(pot_prg, static_cast<int>(PAR.size()));
    const std::size_t n = static_cast<std::size_t>(PAR.size() + 2);
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        return failBox(kDamaged, file.string() + ": a folder, not a parameter database");
    try {
        platform::appendLocked(file, record, [&](platform::LineReader& current) {
            checkAppendable(current, file, n, tip_par, name);
        });
    } catch (const ParDbError& e) {
        return failBox(e.what(), e.details());
    } catch (const FileError& e) {
        // A folder that cannot take the database, a full disk: the system's reason.
        return failBox(kNotSaved, platform::causeText(e, platform::causeLanguage()));
    }
    return true;
}

bool canAppendParSet(const std::filesystem::path& pot_prg, const std::string& tip_par, int npar,
                     const std::string& name)
{
    // The name and direction are checked with a set that passes the value checks.
    Vec identity = Vec::Zero(npar);
    if (npar == 4 || npar == 6)
        identity(0) = 1.0;
    if (npar == 6)
        identity(4) = 1.0;
    if (const auto why = checkParSet(tip_par, name, identity))
        return failBox(*why, nameProblem(name).value_or(""));
    const auto file = parFilePath(pot_prg, npar);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return true;  // made by the append
    try {
        if (std::filesystem::is_directory(file, ec))
            throw ParDbError(std::string(kDamaged), file.string() + ": a folder, not a parameter database");
        platform::LineReader current(file);
        checkAppendable(current, file, static_cast<std::size_t>(npar) + 2, tip_par, name);
    } catch (const ParDbError& e) {
        return failBox(e.what(), e.details());
    } catch (const FileError& e) {
        return failBox(kNotSaved, e.what());
    }
    return true;
}

std::string parDisplay(const Vec& PAR)
{
    static constexpr std::array<std::string_view, 7> labels{"  dx: ", "  dy: ", "  dz: ", "alfa: ",
                                                            "beta: ", "gama: ", "  dm: "};
    std::vector<std::string> cells;
    if (PAR.size() == 7) {
        // Metres, arc seconds and ppm: the platform's column text.
        const auto text = platform::matrixText(Mat(PAR));
        for (const auto& line : platform::splitLines(text))
            cells.push_back(line);
    } else {
        // Plane coefficients with the decimals they are stored with.
        std::vector<int> decimals;
        try {
            decimals = recordDecimals(PAR.size());
        } catch (const std::invalid_argument&) {
            decimals.assign(static_cast<std::size_t>(PAR.size()), 6);
        }
        for (Eigen::Index i = 0; i < PAR.size(); ++i) {
            std::string cell;
            if (std::isfinite(PAR(i)))
                appendFixed(cell, PAR(i), decimals[static_cast<std::size_t>(i)]);
            else
                cell = platform::numberText(PAR(i));
            cells.push_back(std::move(cell));
        }
    }
    // Align on the decimal point.
    std::size_t intWidth = 0;
    for (const auto& c : cells)
        intWidth = std::max(intWidth, std::min(c.find('.'), c.size()));
    std::string out;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const auto& c = cells[i];
        const auto dot = std::min(c.find('.'), c.size());
        if (i)
            out += '\n';
        if (cells.size() == 7)
            out += labels[i];
        out += std::string(intWidth - dot, ' ') + c;
    }
    return out;
}

std::string par_tip(int tTrTip, int tip3)
{
    const bool intoD96 = (tTrTip == 1 && tip3 < 3) || ((tTrTip == 2 || tTrTip == 3) && tip3 == 1);
    return intoD96 ? "2" : "1";
}

} // namespace kolmo
