// kolmo-cli transform: the main window's computation in batch form.
//
// The options mirror the main window: the transformation type and computation
// mode, the start and end point files with their coordinate types and column
// arrangement, "Transf. koordinate", the height buttons, the Helmert box, the
// height system and the coordinate order.  Defaults are the window's state
// after the type is chosen; a start or end type given alone moves the other
// lists as the window's lists do.
#include "commands.h"

#include "app/analiza_vez.h"
#include "app/izhod_tock.h"
#include "app/izracun.h"
#include "app/izvoz_par.h"
#include "app/outputs.h"
#include "app/point_layer.h"
#include "app/pardb.h"
#include "engine/par3d_7.h"
#include "input/prebpro2d.h"
#include "input/prebpro3d1.h"
#include "input/prebsi.h"
#include "input/uredi.h"
#include "input/value_checks.h"
#include "platform/cause.h"
#include "platform/cp1250.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/numtext.h"
#include "plots/prik_mre.h"
#include "plots/prik_obod.h"
#include "plots/prik_odst.h"
#include "plots/render/export.h"
#include "scratch_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <map>
#include <sstream>

namespace kolmo::cli {
namespace {

struct TransformOptions {
    std::string report;
    std::string type = "3r7";
    std::string mode = "full";
    std::string start, startType, startColumns, startAngles;
    std::string end, endType, endColumns, endAngles;
    std::string outType;
    int heights = 1;
    std::string helmert = "on";
    std::string heightSystem = "svs2010";
    std::string order = "xy";
    std::string paramsValues;
    std::string paramsName;
    std::string saveParams;
    std::string varnik;
    std::string dataDir;
    std::string plots;
    std::string plotFormats;
    std::string out;
    int precision = -1;
    bool csv = false;
    std::string paramsJson;
    std::string exclude;
    bool snoop = false, robust = false;
    double alpha = 0.001, sigma0 = 0;
};

// Thrown for option values that only make sense together (exit status 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int typeCode(const std::string& t)
{
    static const std::map<std::string, int> codes{{"3r7", 1}, {"2r4", 2}, {"2r6", 3}, {"fila-tm", 4}, {"tm-fila", 5}};
    return codes.at(t);
}

// Coordinate type code of a list value: the spatial lists hold D96/fi_la,
// D96/TM, D48/GK (1, 2, 3); the plane lists D96/TM, D48/GK (1, 2).
int coordCode(const std::string& name, int tip, const char* option)
{
    if (tip == 2 || tip == 3) {
        if (name == "tm")
            return 1;
        if (name == "gk")
            return 2;
        throw UsageError(std::string(option) + " takes tm or gk for the plane transformations");
    }
    if (name == "fila")
        return 1;
    if (name == "tm")
        return 2;
    return 3;
}

std::vector<int> parseColumns(const std::string& text, const char* option)
{
    std::vector<int> fields;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ',')) {
        try {
            std::size_t used = 0;
            const int v = std::stoi(item, &used);
            if (used != item.size() || v < 1 || v > 6)
                throw std::invalid_argument(item);
            fields.push_back(v);
        } catch (const std::exception&) {
            throw UsageError(std::string(option) + ": field numbers 1 to 6 separated by commas");
        }
    }
    if (fields.empty())
        throw UsageError(std::string(option) + ": field numbers 1 to 6 separated by commas");
    return fields;
}

int angleCode(const std::string& a) { return a == "dms" ? 2 : a == "rad" ? 3 : 1; }

Vec parseValues(const std::string& text)
{
    std::vector<double> values;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ',')) {
        const auto v = platform::parseNumber(item);
        if (!v)
            throw UsageError("--params-values: numbers separated by commas");
        values.push_back(*v);
    }
    return Eigen::Map<Vec>(values.data(), static_cast<Eigen::Index>(values.size()));
}

// Reads a point file as the main window's "Datoteka" buttons do, then applies
// the "Urejanje podatkov" arrangement when columns or angles were asked for.
bool readPointFile(const char* role, const char* columnsOption, const std::string& file, const std::string& columns,
                   const std::string& angles, int tip, const std::string& typeText, bool csv,
                   std::optional<PointSet>& target, bool* twoNumbers = nullptr)
{
    PointSet p;
    ReadNotes notes;
    try {
        PointFileOptions options;
        if (csv)
            options.csv = true;
        p = prebsi(file, &notes, options);
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Napacna oblika podatkov!", "Napaka pri branju datoteke", role);
        return false;
    }
    const std::string source = std::string(role) + " " + (file == "-" ? std::string("(standard input)") : file);
    if (!columns.empty() || !angles.empty()) {
        const auto kind = (tip == 2 || tip == 3) ? UrediKind::Uredi2d : UrediKind::Uredi;
        std::optional<std::vector<int>> fields;
        if (!columns.empty())
            fields = parseColumns(columns, columnsOption);
        try {
            p.koo = arrange(kind, typeText, p.koo, fields, angleCode(angles.empty() ? "dec" : angles));
        } catch (const ArrangeError& e) {
            platform::dialogs().errorBox(e.what(), "Napaka", pointWhere(source, p, notes, e.row) + ": " + e.reason);
            return false;
        } catch (const std::exception& e) {
            platform::errorBoxFor(e, "Napaka pri urejanju podatkov!", "Napaka", source);
            return false;
        }
    }
    if (const auto bad = impossibleValue(p, tip, typeText == "1")) {
        platform::dialogs().errorBox("Napacna oblika podatkov!", "Napaka pri branju datoteke",
                                     pointWhere(source, p, notes, bad->row) + ": " + bad->what);
        return false;
    }
    warnShortRows(notes.linesShorterThan(notes.width), notes.width, source);
    if (twoNumbers)
        *twoNumbers = notes.width == 2;
    target = std::move(p);
    return true;
}

std::vector<plot::Format> parseFormats(const std::string& text)
{
    std::vector<plot::Format> formats;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ',')) {
        const auto f = plot::parseFormat(item);
        if (!f)
            throw UsageError("--plot-formats: png, tiff, jpeg, eps, emf, svg, pdf separated by commas");
        if (std::find(formats.begin(), formats.end(), *f) == formats.end())
            formats.push_back(*f);
    }
    if (formats.empty())
        throw UsageError("--plot-formats: png, tiff, jpeg, eps, emf, svg, pdf separated by commas");
    return formats;
}

// Passes the points on without their heights (NaN: empty in CSV, "NaN" in a
// point file).
struct NoHeights : PointSink {
    PointSink* to;
    explicit NoHeights(PointSink* sink) : to(sink) {}
    void begin(int type, bool heights) override { to->begin(type, heights); }
    void point(const std::string& name, double a, double b, double) override
    {
        to->point(name, a, b, std::numeric_limits<double>::quiet_NaN());
    }
};

// The three plots of a full computation in every asked format: the figures
// first (a plot that cannot be drawn is the main window's error), then the
// files.
bool writePlots(std::vector<std::string>& written, const AppState& s, const std::filesystem::path& dir,
                const std::vector<plot::Format>& formats)
{
    std::vector<plot::Figure> figures;
    try {
        if (!s.prik)
            throw Error("no plot record");
        figures.push_back(prik_mre(*s.prik));
        figures.push_back(prik_obod(*s.prik, loadMeja(s.pot_prg)));
        figures.push_back(prik_odst(*s.prik));
    } catch (const Error& e) {
        platform::dialogs().errorBox("Ne morem prikazati mreze tock!", "Premalo podatkov za prikaz", e.what());
        return false;
    }
    try {
        std::filesystem::create_directories(dir);
        for (const plot::Figure& f : figures)
            for (plot::Format format : formats) {
                const auto file = dir / plot::exportFileName(f.exportName, format);
                plot::exportFigure(f, file, format);
                written.push_back(file.string());
            }
    } catch (const std::exception& e) {
        platform::dialogs().errorBox("Slike ni mogoce zapisati!", "Napaka pri izvozu", e.what());
        return false;
    }
    return true;
}

// The summary goes to `to`: standard output, or standard error when the
// points themselves go to standard output.
void printSummary(std::FILE* to, const AppState& s, const IzracunResult& r)
{
    static const char* typeNames[] = {"", "3R: 7-parameter spatial similarity", "2R: 4-parameter plane similarity",
                                      "2R: 6-parameter plane affine", "D96/fi_la -> D96/TM conversion",
                                      "D96/TM -> D96/fi_la conversion"};
    std::fprintf(to, "%s\n", typeNames[s.t_tr.tip]);
    if (s.t_tr.tip == 1 && s.PAR.size() == 7) {
        std::fprintf(to, "Parameters:\n  dx %15.6f m\n  dy %15.6f m\n  dz %15.6f m\n", s.PAR(0), s.PAR(1),
                     s.PAR(2));
        std::fprintf(to, "  alfa %13.6f arc seconds\n  beta %13.6f arc seconds\n  gama %13.6f arc seconds\n",
                    s.PAR(3), s.PAR(4), s.PAR(5));
        std::fprintf(to, "  scale %12.6f ppm\n", s.PAR(6));
    } else if ((s.t_tr.tip == 2 || s.t_tr.tip == 3) && s.PAR.size() > 0) {
        static const char* labels = "abcdef";
        std::fprintf(to, "Parameters:\n");
        for (Eigen::Index k = 0; k < s.PAR.size(); ++k)
            std::fprintf(to, "  %c %18.12f\n", labels[k], s.PAR(k));
    }
    if (r.est3d) {
        const auto& e = *r.est3d;
        std::fprintf(to, "Report m0 from all residuals: %.4f m\nReport m0 from end-datum differences: %.4f m\n", e.m0[0],
                     e.m0[1]);
        std::fprintf(to, "Iterations: %d\nCommon points: %zu\n", e.iter, e.vezne.ime.size());
        static const char axis[] = {'X', 'Y', 'Z'};
        int flagged = 0;
        for (std::size_t k = 0; k < e.vezne.ime.size(); ++k)
            for (int c = 0; c < 3; ++c) {
                const auto idx = static_cast<Eigen::Index>(3 * k) + c;
                if (grobaKoordinata(e, idx)) {
                    std::fprintf(to, "Gross error (grobi pogresek): %s %c (std. residual %.3f, tau %.3f)\n",
                                platform::fromCp1250(e.vezne.ime[k]).c_str(), axis[c], e.v_st(idx), e.tau(idx));
                    ++flagged;
                }
            }
        if (flagged == 0)
            std::fprintf(to, "No coordinate flagged as a gross error.\n");
        else
            platform::dialogs().warning("Med koordinatami veznih točk so grobi pogreški!",
                                        std::to_string(flagged) + " coordinate(s) of common points flagged by the tau "
                                                                  "test (listed on standard output and in the report)");
    }
    if (r.est2d) {
        std::fprintf(to, "Report m0: %.4f m\nIterations: %d\nCommon points: %zu\n", r.est2d->m0, r.est2d->iter,
                    r.est2d->vezne.ime.size());
    }
    if (!r.report.empty())
        std::fprintf(to, "Report: %s\n", r.report.string().c_str());
}

// The options of the files besides the report, and "-" for the standard
// input and output, checked before anything is read.
void checkStreams(const TransformOptions& o)
{
    const bool conversion = o.type == "fila-tm" || o.type == "tm-fila";
    if (o.start == "-" && o.end == "-")
        throw UsageError("only one of --start and --end can be the standard input (-)");
    if (o.varnik == "-")
        throw UsageError("--varnik reads a file, not the standard input");
    if (o.precision >= 0 && o.out.empty())
        throw UsageError("--precision needs --out");
    if (!o.out.empty() && o.mode == "params" && !conversion)
        throw UsageError("--out needs transformed points: mode full or coords, or a conversion (fila-tm, tm-fila)");
    if (!o.paramsJson.empty() && (conversion || o.mode == "coords"))
        throw UsageError("--params-json needs an estimation: mode full or params of 3r7, 2r4 or 2r6");
    if (o.out == "-" && o.paramsJson == "-")
        throw UsageError("--out and --params-json cannot both be the standard output (-)");
    if (o.report.empty() && o.out.empty() && o.paramsJson.empty())
        throw UsageError("--report FILE is needed (- writes the report to standard output); with --out or "
                         "--params-json it may be left out");
    if (o.report == "-" && (o.out == "-" || o.paramsJson == "-"))
        throw UsageError("only one of --report, --out and --params-json can be the standard output (-)");
}

// The options of the gross-error analysis, checked.
AnalizaOptions analysisOptions(const TransformOptions& o)
{
    AnalizaOptions a;
    const bool estimation = (o.type == "3r7" || o.type == "2r4" || o.type == "2r6") && o.mode != "coords";
    if ((!o.exclude.empty() || o.snoop || o.robust) && !estimation)
        throw UsageError("--exclude, --snoop and --robust need an estimation: mode full or params of 3r7, 2r4 or 2r6");
    if (o.snoop && o.robust)
        throw UsageError("give either --snoop or --robust");
    // Below 1e-10 the quantiles of the tests leave the range of double.
    if (!(o.alpha >= 1e-10 && o.alpha < 0.5))
        throw UsageError("--alpha: a significance level from 1e-10 to below 0.5");
    if (!(o.sigma0 >= 0) || !std::isfinite(o.sigma0))
        throw UsageError("--sigma0: a standard deviation of unit weight in metres");
    std::stringstream ss(o.exclude);
    std::string item;
    while (std::getline(ss, item, ',')) {
        item.erase(0, item.find_first_not_of(" \t"));
        item.erase(item.find_last_not_of(" \t") + 1);
        if (!item.empty())
            a.exclude.push_back(platform::toCp1250(item));
    }
    a.snoop = o.snoop;
    a.robust = o.robust;
    a.test.alpha = o.alpha;
    a.test.sigma0 = o.sigma0;
    return a;
}

// What can be told about the outputs before the computation: each file can
// be written, the plots folder is a folder, a set to be saved has a new name.
// False after the error box.
bool checkOutputs(const TransformOptions& o, const AppState& s, const MainInputs& in, int tip,
                  const std::vector<plot::Format>& plotFormats)
{
    try {
        platform::checkOutputFile(in.workDir / in.izhod);
        for (const std::string* file : {&o.out, &o.paramsJson})
            if (!file->empty() && *file != "-")
                platform::checkOutputFile(*file);
    } catch (const FileError& e) {
        platform::dialogs().errorBox("Napaka v zapisu datoteke!", "Napaka", e.what());
        return false;
    }
    if (!o.plots.empty()) {
        for (const std::string* file : {&o.report, &o.out, &o.paramsJson})
            if (!file->empty() && *file != "-" && platform::sameOutput(o.plots, *file))
                throw UsageError("--plots names the folder of no other output: " + *file);
        std::vector<std::string> names;
        for (const char* base : {"mreza", "obod_rs", "odstopanja"})
            for (plot::Format format : plotFormats)
                names.push_back(plot::exportFileName(base, format));
        try {
            checkPlotsFolder(o.plots, names);
        } catch (const FileError& e) {
            platform::dialogs().errorBox("Slike ni mogoce zapisati!", "Napaka pri izvozu", e.what());
            return false;
        }
    }
    if (!o.saveParams.empty() && tip <= 3)
        return canAppendParSet(s.pot_prg, par_tip(tip, in.tip3), tip == 1 ? 7 : tip == 2 ? 4 : 6, o.saveParams);
    return true;
}

int run(const TransformOptions& o)
{
    std::vector<plot::Format> plotFormats;
    if (!o.plots.empty() || !o.plotFormats.empty()) {
        if (o.plots.empty())
            throw UsageError("--plot-formats needs --plots");
        if (o.mode != "full" || o.type == "fila-tm" || o.type == "tm-fila")
            throw UsageError("--plots needs a computation of parameters and coordinates (--mode full, a 3r7, 2r4 or "
                             "2r6 transformation)");
        plotFormats = o.plotFormats.empty()
                          ? std::vector<plot::Format>(std::begin(plot::kAllFormats), std::end(plot::kAllFormats))
                          : parseFormats(o.plotFormats);
    }
    checkStreams(o);
    AnalizaOptions ao = analysisOptions(o);

    AppState s;
    s.pot_prg = o.dataDir.empty() ? defaultDataDir() : std::filesystem::path(o.dataDir);
    s.t_tr.tip = typeCode(o.type);
    s.t_tr.izr = o.mode == "full" ? 1 : o.mode == "coords" ? 2 : 3;
    s.t_tr.vis = o.heights;

    // The coordinate type of a point file cannot be told from its numbers;
    // a guess (the window's first list entry) reads plane coordinates as
    // latitudes and ends in a failed iteration far from the cause.
    if (s.t_tr.tip <= 3 && o.varnik.empty()) {
        if (!o.start.empty() && o.startType.empty())
            throw UsageError("--start needs --start-type (fila, tm or gk): the coordinates of the start file");
        if (!o.end.empty() && o.endType.empty())
            throw UsageError("--end needs --end-type (fila, tm or gk): the coordinates of the end file");
        if (s.t_tr.tip == 1 && s.t_tr.izr == 2 && o.endType.empty())
            throw UsageError("mode coords needs --end-type (fila, tm or gk): the datum to transform into");
    }

    MainInputs in;
    bool startWithoutHeights = false; // a start file of two numbers a row: heights of 1 in the computation
    in.redXY = o.order == "xy" ? 1 : 2;
    in.geoid = o.heightSystem == "svs2010" ? 1 : 2;
    in.helm = o.helmert == "on" ? 1 : 0;
    // A report to the standard output, or to nowhere, is written into a
    // scratch folder first.
    std::optional<ScratchReport> scratch;
    if (o.report.empty() || o.report == "-")
        scratch.emplace("kolmo.str");
    const std::filesystem::path report = scratch ? scratch->file() : std::filesystem::path(o.report);
    in.workDir = report.parent_path();
    in.izhod = report.filename().string();

    // The type lists as the window sets them when the type is chosen.
    const int tip = s.t_tr.tip;
    switch (tip) {
    case 1: in.tip1 = 1; in.tip2 = 3; in.tip3 = 3; break;
    case 2:
    case 3: in.tip1 = 1; in.tip2 = 2; in.tip3 = 2; break;
    case 4: in.tip1 = 1; in.tip2 = 1; in.tip3 = 1; break;
    default: in.tip1 = 2; in.tip2 = 1; in.tip3 = 1; break;
    }
    if (tip <= 3 && !o.startType.empty()) {
        in.tip1 = coordCode(o.startType, tip, "--start-type");
        if (tip != 1) { // the plane lists follow the start type to the other datum
            in.tip2 = in.tip3 = in.tip1 == 1 ? 2 : 1;
        }
    }
    if (tip <= 3 && !o.endType.empty()) {
        in.tip2 = coordCode(o.endType, tip, "--end-type");
        if (tip == 1)
            in.tip3 = in.tip2 < 3 ? 2 : 3;
        else
            in.tip3 = in.tip2 == 1 ? 1 : 2;
    }

    for (const std::string* file : {&o.start, &o.end, &o.varnik})
        if (!file->empty() && *file != "-")
            in.inputs.emplace_back(*file);
    if (tip <= 3 && (!o.paramsName.empty() || !o.saveParams.empty()))
        in.inputs.push_back(parFilePath(s.pot_prg, tip == 1 ? 7 : tip == 2 ? 4 : 6));

    if (!o.varnik.empty()) {
        if (!o.start.empty() || !o.end.empty())
            throw UsageError("--varnik replaces --start and --end");
        const std::string label = std::filesystem::path(o.varnik).filename().string() + " (Varnik)";
        try {
            if (tip == 1) {
                auto v = prebpro3d1(o.varnik);
                s.vhi = std::move(v.vhi);
                s.vhv = std::move(v.vhv);
                s.rez.emplace();
                s.rez->tip = v.rezTip;
                in.tip1 = s.vhi->tip;
                in.tip2 = s.vhv->tip;
                in.tip3 = v.rezTip;
            } else {
                auto v = prebpro2d(o.varnik);
                s.vhi = std::move(v.vhi);
                s.vhv = std::move(v.vhv);
                in.typesKnown = !o.startType.empty() && !o.endType.empty(); // the file names none
            }
        } catch (const std::exception& e) {
            platform::errorBoxFor(e, "Napaka v zapisu datoteke!", "Napaka pri branju datoteke", "Varnik project file");
            return 1;
        }
        in.data.a = in.data.b = platform::toCp1250(label);
    } else {
        if (!o.start.empty()) {
            if (!readPointFile("start file", "--start-columns", o.start, o.startColumns, o.startAngles, tip,
                               std::to_string(in.tip1), o.csv, s.vhi, &startWithoutHeights))
                return 1;
            in.data.a = std::filesystem::path(o.start).filename().string();
        }
        if (!o.end.empty()) {
            if (!readPointFile("end file", "--end-columns", o.end, o.endColumns, o.endAngles, tip,
                               std::to_string(in.tip2), o.csv, s.vhv))
                return 1;
            in.data.b = std::filesystem::path(o.end).filename().string();
        }
    }
    if (!o.outType.empty() && tip <= 3)
        in.tip3 = coordCode(o.outType, tip, "--out-type");

    if (s.t_tr.izr == 2 && tip <= 3) {
        if (!o.paramsValues.empty() && !o.paramsName.empty())
            throw UsageError("give either --params-values or --params");
        const int npar = tip == 1 ? 7 : tip == 2 ? 4 : 6;
        if (!o.paramsValues.empty()) {
            s.PAR = parseValues(o.paramsValues);
            if (s.PAR.size() != npar)
                throw UsageError("--params-values needs " + std::to_string(npar) + " values for this type");
        } else if (!o.paramsName.empty()) {
            const std::string direction = par_tip(tip, in.tip3);
            std::optional<Vec> set;
            try {
                set = findParSet(s.pot_prg, npar, direction, o.paramsName, ParReading::whole);
            } catch (const ParDbError& e) {
                platform::dialogs().errorBox(e.what(), kParTitle, e.details());
                return 1;
            }
            if (!set) {
                // The names there are, so that a misspelt one is seen at once.
                const ParSets sets = readParSets(s.pot_prg, npar, direction);
                const std::string where = parFilePath(s.pot_prg, npar).string() + " (direction " + direction + ")";
                platform::dialogs().errorBox("Izberi parametre!", "Ni parametrov",
                                             sets.names.empty()
                                                 ? "no set of this direction in " + where
                                                 : "no set '" + o.paramsName + "' in " + where + "; its sets: " +
                                                       platform::listForMessage(sets.names, 50));
                return 1;
            }
            s.PAR = *set;
        }
    }

    // The files besides the report: none may be an input or the report.
    const std::filesystem::path reportPath = in.workDir / in.izhod;
    for (const auto& data : programDataFiles(s.pot_prg))
        in.inputs.push_back(data);
    for (const std::string* file : {&o.out, &o.paramsJson}) {
        if (file->empty() || *file == "-")
            continue;
        if (platform::sameOutput(*file, reportPath))
            throw UsageError(*file + " is also the report (--report)");
        for (const auto& input : in.inputs)
            if (platform::sameOutput(*file, input)) {
                platform::dialogs().errorBox(platform::kOutputIsInput, "Napaka",
                                             *file + " is the input " + input.string());
                return 1;
            }
    }
    if (!o.out.empty() && !o.paramsJson.empty() && o.out != "-" &&
        (o.out == o.paramsJson || platform::sameOutput(o.out, o.paramsJson)))
        throw UsageError("--out and --params-json name the same file");
    if (!checkOutputs(o, s, in, tip, plotFormats))
        return 1;

    // The transformed points go into the file of --out as the computation
    // hands them on; it is put in place once the computation has succeeded.
    std::optional<IzhodTock> points;
    std::optional<PointLayer> layer;
    if (!o.out.empty() && o.out != "-" && PointLayer::isLayerName(o.out)) {
        layer.emplace(o.out);
        in.tocke = &*layer;
    } else if (!o.out.empty()) {
        const bool csv = o.out != "-" && isCsvName(o.out);
        if (!csv && s.vhi)
            for (const auto& name : s.vhi->ime)
                if (const auto why = IzhodTock::plainNameProblem(name); !why.empty()) {
                    platform::dialogs().errorBox("Napacna oblika podatkov!", "Napaka",
                                                 "--out " + o.out + ": point " + platform::fromCp1250(name) + ": " +
                                                     why);
                    return 1;
                }
        points.emplace(o.out == "-" ? platform::FileWriter::standardOutput() : platform::FileWriter(o.out), csv,
                       o.order == "yx", o.precision < 0 ? 3 : o.precision);
        in.tocke = &*points;
    }
    // Heights the start file never had are not written as heights.
    NoHeights noHeights(in.tocke);
    const bool heightsMissing = in.tocke && startWithoutHeights && (tip == 1 || tip > 3);
    if (heightsMissing)
        in.tocke = &noHeights;
    // Gross errors among the common points: the analysis runs on the prepared
    // points just before the estimation and decides what it uses.
    std::optional<AnalizaVez> analysis;
    if (tip <= 3 && s.t_tr.izr != 2) {
        const int u = tip == 1 ? 7 : tip == 2 ? 4 : 6;
        in.predOceno = [&analysis, &ao, u, heights = o.heights](PointSet& vhi, PointSet& vhv) {
            // D96 latitude and longitude with --heights 1: the heights of both
            // datums are set to 0, no observations.
            ao.test.heightsObserved = !(u == 7 && vhi.tip == 1 && heights == 1);
            analysis = analiziraj(vhi, vhv, u, ao);
            uporabi(*analysis, vhi, vhv);
        };
    }
    // Made before the computation, so that a folder that cannot take it fails
    // at once; put in place after it.
    std::optional<platform::FileWriter> json;
    if (!o.paramsJson.empty())
        json.emplace(o.paramsJson == "-" ? platform::FileWriter::standardOutput()
                                         : platform::FileWriter(o.paramsJson));
    // Mode coords holds nothing but the start points: each point is
    // transformed as its rows are written.
    in.lean = true;

    // Every file of the run goes into its temporary file first; they are put
    // in place together once all are complete, and none is when one fails
    // (a plots folder made for the run is taken away again, when empty).
    struct PlotsFolder {
        std::filesystem::path dir;
        bool made = false;
        ~PlotsFolder()
        {
            std::error_code ec;
            if (made && std::filesystem::is_empty(dir, ec))
                std::filesystem::remove(dir, ec);
        }
    } plotsFolder{o.plots, !o.plots.empty() && !std::filesystem::exists(o.plots)};
    platform::CommitGroup outputs;
    IzracunResult r = izracun(s, in);
    if (!r.ok)
        return 1;
    if (points && points->started())
        points->commit();
    if (layer && layer->started()) {
        try {
            layer->commit();
        } catch (const FileError& e) {
            platform::dialogs().errorBox("Napaka v zapisu datoteke!", "Napaka", e.what());
            return 1;
        }
    }
    if (heightsMissing)
        platform::dialogs().warning("no heights in " + o.start,
                                    "the rows of the start file hold two coordinates: the computation took heights "
                                    "of 1, --out leaves the heights empty (CSV) or writes NaN");
    if (json && (r.est3d || r.est2d)) {
        ParExport e;
        e.tip = tip;
        e.tip1 = in.tip1;
        e.tip2 = in.tip2;
        e.tip3 = in.tip3;
        e.t_tr = s.t_tr;
        e.PAR = s.PAR;
        e.est3d = r.est3d ? &*r.est3d : nullptr;
        e.est2d = r.est2d ? &*r.est2d : nullptr;
        if (analysis && analysis->final) {
            e.sd = &analysis->final->sd;
            e.sdText = "sd = sqrt(diag(sigma^2 N^-1)) of the converged adjustment, sigma the a-priori --sigma0 or "
                       "else sigma0 a posteriori (see adjustment)";
            e.statistics = analizaJson(*analysis, ao);
        }
        if (r.modelDifference)
            e.statistics += "  \"national_model\": {\"largest_difference_m\": " +
                            jsonNumber(r.modelDifference->largest) + ", \"point\": " +
                            jsonString(platform::fromCp1250(r.modelDifference->point)) + ", \"compared\": " +
                            std::to_string(r.modelDifference->compared) + ", \"limit_m\": " +
                            jsonNumber(kModelDifferenceLimit) + ", \"about\": " +
                            jsonString("the common start points transformed with the estimated parameters against "
                                       "the national triangle-based model D48/GK - D96/TM; more than the limit: the "
                                       "wrong datum or coordinate type") +
                            "},\n";
        json->write(parametersJson(e));
        json->commit();
    }
    if (!o.saveParams.empty()) {
        if (tip > 3 || s.PAR.size() == 0) {
            platform::dialogs().errorBox("Parametri se niso določeni/izbrani!", "Napaka");
            return 1;
        }
    }
    std::vector<std::string> plotFiles;
    if (!o.plots.empty() && !writePlots(plotFiles, s, o.plots, plotFormats))
        return 1;
    if (!o.saveParams.empty() && !appendParSet(s.pot_prg, par_tip(tip, in.tip3), o.saveParams, s.PAR))
        return 1;
    try {
        outputs.commitAll();
        plotsFolder.made = false;
    } catch (const FileError& e) {
        platform::dialogs().errorBox("Napaka v zapisu datoteke!", "Napaka", e.what());
        return 1;
    }
    if (scratch) {
        if (o.report == "-")
            scratch->copyToStandardOutput();
        r.report = o.report == "-" ? "standard output" : "";
    }
    // Points, parameters or the report on standard output keep it to themselves.
    std::FILE* summary = o.out == "-" || o.paramsJson == "-" || o.report == "-" ? stderr : stdout;
    printSummary(summary, s, r);
    if (r.modelDifference)
        std::fprintf(summary, "National model D48/GK - D96/TM: largest difference %.3f m (%s, %d common points)\n",
                     r.modelDifference->largest, platform::fromCp1250(r.modelDifference->point).c_str(),
                     r.modelDifference->compared);
    if (analysis) {
        std::fputs(analizaSummary(*analysis, ao).c_str(), summary);
        for (const std::string& w : analizaWarnings(*analysis, ao))
            platform::dialogs().warning(w, "statistics of the common points (see the summary and --params-json)");
    }
    for (const auto& file : plotFiles)
        std::fprintf(summary, "Plot: %s\n", file.c_str());
    return 0;
}

} // namespace

void addTransformCommand(CLI::App& app, int& status)
{
    auto o = std::make_shared<TransformOptions>();
    auto* cmd = app.add_subcommand("transform", "Estimate transformation parameters and/or transform points, "
                                                "or convert D96 coordinates, and write the results report (*.str)");
    cmd->add_option("--report", o->report,
                    "Results report to write (Windows-1250 text; on Linux read it with iconv -f WINDOWS-1250); - "
                    "writes it to standard output (the summary then goes to standard error). Needed unless --out "
                    "or --params-json is given")
        ->check(kNotEmpty);
    cmd->add_option("--type", o->type,
                    "Transformation: 3r7 (spatial 7-parameter similarity), 2r4 (plane 4-parameter similarity), "
                    "2r6 (plane 6-parameter affine), fila-tm (D96/fi_la -> D96/TM), tm-fila (D96/TM -> D96/fi_la)")
        ->check(CLI::IsMember({"3r7", "2r4", "2r6", "fila-tm", "tm-fila"}))
        ->capture_default_str();
    cmd->add_option("--mode", o->mode,
                    "full: estimate parameters and transform; coords: transform with given parameters; "
                    "params: estimate parameters only")
        ->check(CLI::IsMember({"full", "coords", "params"}))
        ->capture_default_str();
    cmd->add_option("--start", o->start,
                    "Point file of the start datum (*.csv is read as CSV; - reads standard input)");
    cmd->add_option("--start-type", o->startType,
                    "Coordinates of the start file: fila (D96 latitude/longitude), tm (D96/TM), gk (D48/GK); "
                    "the plane types take tm or gk. Needed with --start (3r7, 2r4, 2r6)")
        ->check(CLI::IsMember({"fila", "tm", "gk"}));
    cmd->add_option("--start-columns", o->startColumns,
                    "Field number for each column of the start file, e.g. 2,1,3 (1-3 coordinates, 4-6 standard "
                    "deviations; plane types: 1-2 coordinates, 3-4 standard deviations)");
    cmd->add_option("--start-angles", o->startAngles,
                    "Notation of latitude/longitude in the start file: dec (ddd.dddddd), dms (ddd.mmssss), rad")
        ->check(CLI::IsMember({"dec", "dms", "rad"}));
    cmd->add_option("--end", o->end,
                    "Point file of the end datum (not needed in mode coords; *.csv is read as CSV; - reads standard "
                    "input)");
    cmd->add_option("--end-type", o->endType, "Coordinates of the end datum: fila, tm or gk (also sets the target "
                                              "ellipsoid in mode coords). Needed with --end, and for 3r7 in mode coords")
        ->check(CLI::IsMember({"fila", "tm", "gk"}));
    cmd->add_option("--end-columns", o->endColumns, "Field number for each column of the end file");
    cmd->add_option("--end-angles", o->endAngles, "Notation of latitude/longitude in the end file: dec, dms, rad")
        ->check(CLI::IsMember({"dec", "dms", "rad"}));
    cmd->add_option("--out-type", o->outType, "Coordinates of the transformed points: fila, tm or gk")
        ->check(CLI::IsMember({"fila", "tm", "gk"}));
    cmd->add_option("--heights", o->heights,
                    "How the 7-parameter transformation (3r7) treats the third coordinate of D96/fi_la points; "
                    "with plane start points (tm, gk) it does not apply: their heights go through the transformation "
                    "(fila result) or are kept (tm, gk result), and the plane types carry no heights. "
                    "1 = the estimation and the transformation take h = 0, and each transformed point gets "
                    "H = h - N (N: geoid height of --height-system at the start point); 2 = they take the file's "
                    "heights as ellipsoidal heights, and each point gets H = h - N; 3 = they take the file's heights "
                    "as ellipsoidal heights, and each point gets the transformed ellipsoidal height")
        ->check(CLI::Range(1, 3))
        ->capture_default_str();
    cmd->add_option("--helmert", o->helmert, "on: equal unit weights; off: standard deviations from the files")
        ->check(CLI::IsMember({"on", "off"}))
        ->capture_default_str();
    cmd->add_option("--height-system", o->heightSystem,
                    "Geoid model: svs2010 (SVS2010 Koper, VRP2016) or svs2000 (SVS2000 Trst, AMG2000)")
        ->check(CLI::IsMember({"svs2010", "svs2000"}))
        ->capture_default_str();
    cmd->add_option("--order", o->order, "Order of plane coordinates in the report: xy (x(n), y(e)) or yx")
        ->check(CLI::IsMember({"xy", "yx"}))
        ->capture_default_str();
    cmd->add_option("--params-values", o->paramsValues,
                    "Mode coords: the parameters, comma-separated (3r7: dx,dy,dz [m], alfa,beta,gama [\"], "
                    "scale [ppm]; 2r4: a,b,c,d; 2r6: a1,a2,a3,b1,b2,b3)");
    cmd->add_option("--params", o->paramsName,
                    "Mode coords: name of a parameter set in the database (t7.par, t4.par, t6.par) of the "
                    "direction the computation goes");
    cmd->add_option("--save-params", o->saveParams,
                    "After the computation, append the parameters to the database under this name");
    cmd->add_option("--varnik", o->varnik, "Varnik project file (*.pod, *.in) in place of --start and --end");
    cmd->add_option("--data-dir", o->dataDir,
                    "Program folder with the data files (geoid models, parameter database); default: data/ "
                    "beside kolmo-cli, installed: ~/.local/share/kolmo");
    cmd->add_option("--plots", o->plots,
                    "Mode full: write the plots mreza.*, obod_rs.* (the network in the country, with the border "
                    "from meja_rs.mat) and odstopanja.* (residuals of the common points) into this folder, "
                    "replacing files of the same names")
        ->check(kNotEmpty);
    cmd->add_option("--plot-formats", o->plotFormats,
                    "Formats of --plots, comma-separated: png, tiff, jpeg, eps, emf, svg, pdf (default: all)");
    cmd->add_option("--out", o->out,
                    "Also write the transformed points to this file (the corrected coordinates where mode full makes "
                    "them): name, the coordinates in the output type and --order, the height. A name *.csv gives "
                    "CSV with a header line (name,x,y,H or name,fi,la,h), x being the northing: GIS programs take the "
                    "first column as the easting, so give them a layer instead. A name ending in .gpkg, .shp, "
                    ".geojson, .fgb, .gml or .dxf writes a GIS point layer (UTF-8): easting first, the fields name "
                    "and H (h for latitude and longitude), in EPSG:3794 (D96/TM), EPSG:3912 (D48/GK) or EPSG:4258 "
                    "(D96 latitude and longitude). - writes to standard output (the summary then goes to standard "
                    "error). A point file or CSV reads back as a point file")
        ->check(kNotEmpty);
    cmd->add_option("--precision", o->precision,
                    "Decimals of --out for values in metres (default 3); degrees get six more (default 9)")
        ->check(CLI::Range(0, 9));
    cmd->add_flag("--csv", o->csv,
                  "Read the point files (--start, --end) as CSV whatever their names (*.csv are read as CSV anyway): "
                  "comma- or semicolon-separated fields, an optional header line, a decimal comma with semicolons, "
                  "quoted names. --start - or --end - reads standard input");
    cmd->add_option("--params-json", o->paramsJson,
                    "After an estimation (mode full or params), write the parameters for other programs as JSON: "
                    "model, direction, types, the parameters with units and standard deviations, the rotation "
                    "convention, m0, iterations, common and flagged points, the converged adjustment (covariance, "
                    "correlations, sigma0) and the quality of every common point (residuals, redundancy numbers, "
                    "Baarda's tests, MDBs), and a PROJ pipeline doing the same transformation; - writes to "
                    "standard output")
        ->check(kNotEmpty);
    cmd->add_option("--exclude", o->exclude,
                    "Estimation: leave these common points out (names separated by commas); they are still "
                    "transformed, and the JSON and the summary give their misclosures as checks");
    cmd->add_flag("--snoop", o->snoop,
                  "Estimation: Baarda's data snooping -- leave out the worst common point while it fails its test, "
                  "then estimate again; the report, --out and the plots show the final estimation");
    cmd->add_flag("--robust", o->robust,
                  "Estimation: robust, iteratively reweighted least squares (Danish method, c = 2); the JSON and "
                  "the summary give each point's weight");
    cmd->add_option("--alpha", o->alpha, "Significance level alpha0 of the point tests (default 0.001)");
    cmd->add_option("--sigma0", o->sigma0,
                    "A-priori standard deviation of unit weight (m) for the point tests, the global test of the "
                    "variance factor and the covariance of the parameters; default: the a-posteriori value");
    cmd->footer(kExitStatusHelp);
    cmd->callback([o, &status] {
        try {
            status = run(*o);
        } catch (const UsageError& e) {
            std::cerr << "kolmo-cli transform: " << e.what() << '\n';
            status = 2;
        } catch (const platform::SystemError& e) {
            // An output file that cannot be made (a read-only folder, a full disk).
            if (e.writing())
                platform::dialogs().errorBox(platform::kWriteFailed, "Napaka", e.what());
            else
                std::cerr << "kolmo-cli transform: " << e.what() << '\n';
            status = 1;
        } catch (const std::exception& e) {
            std::cerr << "kolmo-cli transform: " << e.what() << '\n';
            status = 1;
        }
    });
}

} // namespace kolmo::cli
