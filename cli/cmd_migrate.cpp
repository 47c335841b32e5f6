// kolmo-cli migrate: the national migration D48/GK <-> D96/TM of a point file
// or a GIS dataset in one step, and the export of the national model as a PROJ
// tinshift file.
#include "commands.h"

#include "migrate/columns.h"
#include "migrate/dataset_files.h"
#include "migrate/datasets.h"
#include "migrate/folders.h"
#include "migrate/migrate.h"
#include "migrate/tran_trik.h"
#include "platform/cause.h"
#include "platform/dialogs.h"
#include "platform/errors.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iconv.h>
#include <iostream>
#include <unistd.h>

namespace kolmo::cli {
namespace {

struct MigrateCliOptions {
    std::string in, out, from = "gk", order = "xy", heights = "keep", params, paramsJson, layer, assumeCrs, dataDir;
    std::string exportTinshift;
    std::string resampling = "near";
    double targetResolution = 0;
    std::vector<double> targetExtent;
    std::vector<std::string> creationOptions;
    unsigned jobs = 1;
    bool quiet = false;
    bool lossy = false;
    bool orderGiven = false; // --order on the command line (not its default)
    int precision = -1;
    std::string columns, inputEncoding;
    bool csv = false;
};

// The valid area and the model's accuracy in it, for --help.
constexpr const char* kValidAreaHelp =
    "Valid area: points and vertices inside the national border of Slovenia or within 10 km of it (in D96/TM). "
    "There the model rests on its regular network of virtual tie points about 7 km apart (507 inside the border, "
    "155 within the 10 km beyond it) and holds at the centimetre level; farther out its triangles lean on a few "
    "tie points up to 240 km away that only close the triangulation, so a point there is refused (a point file: "
    "a warning naming it, not written, exit status 3; a GIS dataset: an error naming the layer and the feature). "
    "A D48/GK point file is read without the zone digit: a coordinate of 5 000 000 m or more is refused.";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A bar on standard error, drawn once the work has run for two seconds (a
// short run stays silent) and only when standard error is a terminal.
class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : enabled_(enabled && isatty(STDERR_FILENO) == 1) {}
    ~ProgressBar() { finish(); }
    // Ends the bar's line, so that what follows starts on a line of its own.
    void finish()
    {
        if (drawn_)
            std::fputs("\n", stderr);
        drawn_ = false;
        enabled_ = false;
    }
    void operator()(double share)
    {
        if (!enabled_)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (!drawn_ && now - start_ < std::chrono::seconds(2))
            return;
        const int percent = static_cast<int>(share * 100.0 + 0.5);
        if (drawn_ && percent == last_)
            return;
        last_ = percent;
        drawn_ = true;
        const int filled = percent * 40 / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(40 - filled), ' ').c_str(), percent);
        std::fflush(stderr);
    }

private:
    bool enabled_, drawn_ = false;
    int last_ = -1;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

MigrateOptions memberOptions(const MigrateCliOptions& o, const std::filesystem::path& dataDir, MigrateFrom from)
{
    MigrateOptions m;
    m.in = o.in;
    m.out = o.out;
    m.from = from;
    m.order = o.order == "yx" ? MigrateOrder::Yx : MigrateOrder::Xy;
    m.heights = o.heights == "svs2000-to-svs2010"   ? MigrateHeights::Svs2000To2010
                : o.heights == "svs2010-to-svs2000" ? MigrateHeights::Svs2010To2000
                                                    : MigrateHeights::Keep;
    m.paramsName = o.params;
    m.paramsJson = o.paramsJson;
    m.layer = o.layer;
    m.assumeCrs = o.assumeCrs;
    m.lossy = o.lossy;
    m.dataDir = dataDir;
    if (o.precision >= 0)
        m.precision = o.precision;
    m.resampling = o.resampling;
    m.targetResolution = o.targetResolution;
    m.targetExtent = o.targetExtent;
    m.creationOptions = o.creationOptions;
    return m;
}

// A folder: every member, then a table of them.
int runFolder(const MigrateCliOptions& o, const std::filesystem::path& dataDir, MigrateFrom from)
{
    ProgressBar bar(!o.quiet);
    MigrateProgress progress;
    progress.report = [&bar](double share) { bar(share); };
    FolderSummary s;
    try {
        s = migrateFolder(memberOptions(o, dataDir, from), std::max(1u, o.jobs), progress);
        bar.finish();
    } catch (const std::exception& e) {
        bar.finish();
        platform::errorBoxFor(e, "Transformacija ni uspela!", "Napaka", "migrate " + o.in);
        return 1;
    }
    std::size_t warnings = 0;
    for (const auto& m : s.members)
        for (const auto& w : m.warnings) {
            platform::dialogs().warning(m.path.string() + ": " + w, {});
            ++warnings;
        }
    if (!o.quiet) {
        std::size_t width = 6;
        for (const auto& m : s.members)
            width = std::max(width, m.path.string().size());
        std::printf("%-*s  %-7s  %12s  %s\n", static_cast<int>(width), "member", "kind", "moved", "warnings");
        for (const auto& m : s.members) {
            const char* unit = m.kind == "points" ? "points" : m.kind == "dataset" ? "features" : m.kind == "raster" ? "pixels" : "";
            const std::string moved = m.kind == "copied" ? "-" : std::to_string(m.moved) + " " + unit;
            std::printf("%-*s  %-7s  %12s  %zu\n", static_cast<int>(width), m.path.string().c_str(), m.kind.c_str(),
                        moved.c_str(), m.warnings.size());
        }
        std::printf("%s: %zu file(s), %zu warning(s)\n", o.out.c_str(), s.members.size(), warnings);
    }
    return 0;
}

// The encoding of the attribute text of a Shapefile without a .cpg (GDAL
// would take the .dbf's language byte, or ISO-8859-1): GDAL's SHAPE_ENCODING,
// set in the environment it reads its configuration from.  A Shapefile with a
// .cpg keeps the encoding it names.
void useShapefileEncoding(const std::filesystem::path& in, const std::string& encoding)
{
    const iconv_t probe = iconv_open("UTF-8", encoding.c_str());
    if (probe == reinterpret_cast<iconv_t>(-1))
        throw UsageError("--input-encoding: no encoding '" + encoding + "' (e.g. CP1250, ISO-8859-2, UTF-8)");
    iconv_close(probe);
    std::error_code ec;
    for (const char* cpg : {".cpg", ".CPG"}) {
        std::filesystem::path sidecar = in;
        if (std::filesystem::exists(sidecar.replace_extension(cpg), ec))
            return;
    }
    ::setenv("SHAPE_ENCODING", encoding.c_str(), 1);
}

// The option that mends a refused dataset, for the message: a layer without
// a CRS can be taken as the grid the direction starts from, and a layer in
// the other grid wants the other direction.  Empty when no option does.
std::string fixFor(const std::string& cause, const MigrateCliOptions& o)
{
    if (cause.find(" has no CRS; expected ") != std::string::npos)
        return "if it is " + std::string(o.from == "tm" ? "D96/TM" : "D48/GK") + ", run again with --assume-crs " +
               o.from;
    if (cause.rfind("cannot read ", 0) == 0 && cause.find(" as a GIS dataset") != std::string::npos)
        return "if it is a point file, name it *.pod, *.txt, *.csv, *.xyz or *.dat, or read it with --csv";
    const auto at = cause.find(" is in the CRS ");
    const auto end = cause.find("; expected ", at == std::string::npos ? 0 : at);
    if (at == std::string::npos || end == std::string::npos)
        return {};
    const std::string crs = cause.substr(at, end - at);
    const bool tm = crs.find("EPSG:3794") != std::string::npos || crs.find("Slovenia 1996") != std::string::npos;
    const bool gk = crs.find("EPSG:3912") != std::string::npos || crs.find("EPSG:3787") != std::string::npos ||
                    crs.find("EPSG:31275") != std::string::npos || crs.find("MGI") != std::string::npos;
    if (tm && o.from == "gk")
        return "the layer is in D96/TM already: --from tm moves it into D48/GK";
    if (gk && o.from == "tm")
        return "the layer is in D48/GK: --from gk (the default) moves it into D96/TM";
    return "Kolmo moves layers between D48/GK and D96/TM only; reproject it there first (e.g. ogr2ogr -t_srs "
           "EPSG:" + std::string(o.from == "tm" ? "3794" : "3912") + ")";
}

int run(const MigrateCliOptions& o)
{
    const std::filesystem::path dataDir = o.dataDir.empty() ? defaultDataDir() : std::filesystem::path(o.dataDir);
    const MigrateFrom from = o.from == "tm" ? MigrateFrom::Tm : MigrateFrom::Gk;
    if (!o.exportTinshift.empty()) {
        if (!o.in.empty() || !o.out.empty() || !o.params.empty() || !o.paramsJson.empty() || o.heights != "keep")
            throw UsageError("--export-tinshift writes the national model alone: no --in, --out, --params, "
                             "--params-json or --heights with it");
        try {
            exportTinshift(dataDir, o.exportTinshift, from);
        } catch (const std::exception& e) {
            platform::errorBoxFor(e, "Modela ni mogoče zapisati!", "Napaka", "--export-tinshift " + o.exportTinshift);
            return 1;
        }
        if (o.exportTinshift != "-" && !o.quiet)
            std::printf("Tinshift model (%s): %s\n", from == MigrateFrom::Gk ? "EPSG:3912 -> EPSG:3794"
                                                                              : "EPSG:3794 -> EPSG:3912",
                        o.exportTinshift.c_str());
        return 0;
    }
    if (o.in.empty() || o.out.empty())
        throw UsageError("--in and --out are needed (or --export-tinshift FILE)");
    if (o.in != "-" && std::filesystem::is_directory(o.in)) {
        if (!o.layer.empty())
            throw UsageError("a folder is migrated whole: no --layer with it");
        return runFolder(o, dataDir, from);
    }
    if (!o.params.empty() && !o.paramsJson.empty())
        throw UsageError("give either --params or --params-json");
    if (o.in == "-" && o.paramsJson == "-")
        throw UsageError("--in and --params-json cannot both be the standard input (-)");
    const bool points = migratesAsPoints(o.in) || o.csv;
    if (points && (!o.layer.empty() || !o.assumeCrs.empty() || o.lossy))
        throw UsageError("--layer, --assume-crs and --lossy belong to GIS datasets, not to the point file " + o.in);
    if (points && (o.resampling != "near" || o.targetResolution != 0 || !o.targetExtent.empty() ||
                   !o.creationOptions.empty()))
        throw UsageError("--resampling, --target-resolution, --target-extent and --co belong to rasters, not to "
                         "the point file " + o.in);
    if (!points && (o.precision >= 0 || !o.columns.empty()))
        throw UsageError("--precision and --columns belong to point files, not to the GIS dataset " + o.in);
    if (points && !o.inputEncoding.empty())
        throw UsageError("--input-encoding belongs to Shapefiles, not to the point file " + o.in +
                         " (point files are read as Windows-1250, CSV as UTF-8 or Windows-1250)");

    MigrateOptions m = memberOptions(o, dataDir, from);
    m.csv = o.csv;
    if (!o.columns.empty()) {
        try {
            m.columns = parseColumns(o.columns);
        } catch (const std::invalid_argument& e) {
            throw UsageError(std::string("--columns: ") + e.what());
        }
    }
    if (!o.inputEncoding.empty())
        useShapefileEncoding(o.in, o.inputEncoding);
    // A dataset's axis order is its CRS's: --order would change nothing.
    if (!points && o.orderGiven)
        platform::dialogs().warning("--order " + o.order + " applies to point files; " + o.in +
                                        " is a GIS dataset, whose axis order its CRS gives",
                                    {});

    ProgressBar bar(!o.quiet);
    MigrateProgress progress;
    progress.report = [&bar](double share) { bar(share); };
    MigrateSummary s;
    try {
        s = migrate(m, progress);
        bar.finish();
    } catch (const std::exception& e) {
        bar.finish();
        const std::string fix = fixFor(e.what(), o);
        if (fix.empty())
            platform::errorBoxFor(e, "Transformacija ni uspela!", "Napaka", "migrate " + o.in);
        else
            platform::dialogs().errorBox("Transformacija ni uspela!", "Napaka",
                                         "migrate " + o.in + ": " + platform::causeText(e, platform::causeLanguage()) +
                                             "; " + fix);
        return 1;
    }
    for (const auto& w : s.warnings)
        platform::dialogs().warning(w, {});
    std::FILE* to = o.out == "-" ? stderr : stdout;
    // The file as it was written: GDAL writes "a.SHP" as a.shp.
    const std::string written = s.dataset ? writtenFile(o.out).string() : o.out;
    if (!o.quiet)
        std::fprintf(to, "%s: %zu %s written, %zu warning(s)\n", written.c_str(), s.written,
                     s.raster ? "pixel(s) with data" : s.dataset ? "feature(s)" : "point(s)", s.warnings.size());
    return 0;
}

} // namespace

void addMigrateCommand(CLI::App& app, int& status)
{
    auto o = std::make_shared<MigrateCliOptions>();
    auto* cmd = app.add_subcommand(
        "migrate", "Move a point file, a GIS dataset, a raster or a whole folder of them between D48/GK and D96/TM "
                   "with the national triangle-based model of GURS (or a 7-parameter set), heights optionally between "
                   "SVS2000 and SVS2010; or export the model as a PROJ tinshift file");
    cmd->add_option("--in", o->in,
                    "Input: a point file (*.pod, *.txt, *.csv, *.xyz, *.dat; - for standard input), a GIS dataset "
                    "(GDAL/OGR), a raster (GeoTIFF or another GDAL raster) or a folder of them");
    cmd->add_option("--out", o->out,
                    "Output of the same kind (a point file of any name but a GIS format's: name, x, y, H as "
                    "transform --out writes it, CSV in UTF-8 for *.csv; a GIS dataset: the driver from the extension, "
                    ".gpkg .shp .geojson .fgb .gml .dxf or .csv with WKT; a raster: the driver from the extension; a "
                    "folder: a new folder of the same shape); written in one step when complete");
    cmd->add_option("--from", o->from, "Datum of the input: gk (D48/GK -> D96/TM) or tm (D96/TM -> D48/GK)")
        ->check(CLI::IsMember({"gk", "tm"}))
        ->capture_default_str();
    auto* order =
        cmd->add_option("--order", o->order, "Columns of point files: xy (name, x(n), y(e), H) or yx (name, y, x, H)")
            ->check(CLI::IsMember({"xy", "yx"}))
            ->capture_default_str();
    cmd->add_option("--heights", o->heights,
                    "What happens to the heights (point files: the H column; datasets: the z of 3D geometries) "
                    "besides the move of the plane coordinates: keep = written unchanged; svs2000-to-svs2010 or "
                    "svs2010-to-svs2000 = moved between the height systems by the SLO-VTP2024 offset grid of GURS")
        ->check(CLI::IsMember({"keep", "svs2000-to-svs2010", "svs2010-to-svs2000"}))
        ->capture_default_str();
    cmd->add_option("--params", o->params,
                    "Instead of the national model: a 7-parameter set of the database (t7.par) of the direction");
    cmd->add_option("--params-json", o->paramsJson,
                    "Instead of the national model: the parameters that transform --params-json wrote (3r7, 2r4 "
                    "or 2r6 from the input's datum to the other)");
    cmd->add_option("--layer", o->layer, "GIS dataset: only this layer (default: every layer)");
    cmd->add_option("--assume-crs", o->assumeCrs, "GIS layer without a CRS: take it as gk (EPSG:3912) or tm (EPSG:3794)")
        ->check(CLI::IsMember({"gk", "tm"}));
    cmd->add_flag("--lossy", o->lossy,
                  "GIS dataset: write what the output format cannot hold as GDAL's ogr2ogr would (field names cut "
                  "to 10 bytes for a Shapefile, types converted, attributes left out of a DXF), with a warning for "
                  "each change; without it such an output is refused with the list of what would be lost");
    cmd->add_option("--resampling", o->resampling,
                    "Raster: the resampling of the pixel values: near, bilinear, cubic, lanczos or average")
        ->check(CLI::IsMember({"near", "bilinear", "cubic", "lanczos", "average"}))
        ->capture_default_str();
    cmd->add_option("--target-resolution", o->targetResolution,
                    "Raster: the target pixel size in metres (default: the source's, the grid aligned to whole "
                    "multiples of it)")
        ->check(CLI::PositiveNumber);
    cmd->add_option("--target-extent", o->targetExtent,
                    "Raster: the target extent in the target CRS: xmin ymin xmax ymax")
        ->expected(4);
    cmd->add_option("--co", o->creationOptions,
                    "Raster: a creation option KEY=VALUE of the output format (repeatable; default: tiled and "
                    "compressed as the input)")
        ->allow_extra_args(false);
    cmd->add_option("--jobs", o->jobs, "A folder: the members migrated at once (default 1)")
        ->check(CLI::Range(1u, 256u));
    cmd->add_option("--data-dir", o->dataDir, "Program folder with the data files; default: data/ beside kolmo-cli");
    cmd->add_option("--export-tinshift", o->exportTinshift,
                    "Write the national model as a PROJ tinshift JSON file for the direction of --from (use: cct "
                    "+proj=tinshift +file=FILE, or a QGIS custom pipeline); - writes to standard output");
    cmd->add_option("--precision", o->precision,
                    "Point files: decimals of the coordinates and heights written (metres; default 3). Give 4 or "
                    "more for a round trip GK -> TM -> GK that returns the input to the tenth of a millimetre")
        ->check(CLI::Range(0, 9));
    cmd->add_option("--columns", o->columns,
                    "Point files: what each number after the name holds, comma separated: x or n (northing), y or e "
                    "(easting), H (height), - (left out); e.g. e,n,H for a file name,e,n,H. Default: x,y,H (y,x,H "
                    "with --order yx). The output keeps the order of --order");
    cmd->add_flag("--csv", o->csv,
                  "Read the input point file as CSV whatever its name (--in - for CSV on standard input); *.csv "
                  "files are read as CSV anyway");
    cmd->add_option("--input-encoding", o->inputEncoding,
                    "Shapefile without a .cpg file: the encoding of its attribute text, e.g. CP1250 (Windows-1250), "
                    "ISO-8859-2; a .cpg beside the .shp is followed instead. Every GIS output is UTF-8");
    cmd->add_flag("-q,--quiet", o->quiet, "No progress bar and no summary line");
    cmd->footer(std::string(kValidAreaHelp) + "\n\n" + kExitStatusHelp + " " + kTriangleModelAttribution);
    cmd->callback([o, order, &status] {
        try {
            o->orderGiven = order->count() > 0;
            status = run(*o);
        } catch (const UsageError& e) {
            std::cerr << "kolmo-cli migrate: " << e.what() << '\n';
            status = 2;
        } catch (const std::exception& e) {
            std::cerr << "kolmo-cli migrate: " << e.what() << '\n';
            status = 1;
        }
    });
}

} // namespace kolmo::cli
