// kolmo-cli convert: the coordinate conversion tool in batch form.
#include "commands.h"

#include "app/outputs.h"
#include "app/point_layer.h"
#include "input/uredi.h"
#include "input/value_checks.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "tools/mod_pret.h"

#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kolmo::cli {
namespace {

struct ConvertOptions {
    std::string in, out;
    std::string inType = "ell", ellipsoid = "grs80", outType = "plane-xy";
    std::string heights = "orthometric", heightSystem = "svs2010";
    std::vector<int> columns;
    std::string angles;
    std::filesystem::path dataDir;
    bool csv = false;
};

// Choice names -> the tool's pop-up values.
const std::map<std::string, int> kInTypes{{"ell", 1}, {"cart", 2}, {"plane", 3}};
const std::map<std::string, int> kEllipsoids{{"wgs84", 1}, {"grs80", 2}, {"bessel", 3}};
const std::map<std::string, int> kOutTypes{{"ell", 1}, {"cart", 2}, {"plane-xy", 3}, {"plane-yx", 4}};
const std::map<std::string, int> kHeights{{"orthometric", 1}, {"ellipsoidal", 2}, {"none", 3}};
const std::map<std::string, int> kHeightSystems{{"svs2010", 1}, {"svs2000", 2}};
const std::map<std::string, int> kAngles{{"dec", 1}, {"dms", 2}, {"rad", 3}};

std::vector<std::string> keys(const std::map<std::string, int>& m)
{
    std::vector<std::string> k;
    for (const auto& [name, value] : m)
        k.push_back(name);
    return k;
}

// The CRS of a GIS layer of the result: D96/TM and D48/GK, the geographic
// CRS of each ellipsoid, and the zone's transverse Mercator on WGS 84.
std::string layerCrs(const PretvoriSettings& s)
{
    if (s.tip_rez == 1)
        return s.eli == 1 ? "EPSG:4326" : s.eli == 2 ? "EPSG:4258" : "EPSG:4312";
    if (s.eli == 2)
        return "EPSG:3794";
    if (s.eli == 3)
        return "EPSG:3912";
    return "+proj=tmerc +lat_0=0 +lon_0=15 +k=0.9999 +x_0=500000 +y_0=-5000000 +ellps=WGS84 +units=m +no_defs";
}

// Thrown for option values that do not go together (exit status 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int run(const ConvertOptions& o)
{
    if (o.out != "-" && PointLayer::isLayerName(o.out) && o.outType == "cart")
        throw UsageError("--out " + o.out +
                         ": a GIS layer holds plane or ellipsoidal coordinates; write Cartesian ones (--out-type "
                         "cart) to a point file (.pod, .txt)");

    PretvoriSettings s;
    s.tip_vh = kInTypes.at(o.inType);
    s.eli = kEllipsoids.at(o.ellipsoid);
    s.tip_rez = kOutTypes.at(o.outType);
    s.vis = kHeights.at(o.heights);
    s.geoid = kHeightSystems.at(o.heightSystem);

    std::optional<PointSet> vhi;
    ReadNotes notes;
    if (!vhDat(vhi, o.in, &notes, o.csv ? std::optional<bool>(true) : std::nullopt))
        return 1;
    const std::string source = o.in == "-" ? std::string("standard input") : o.in;
    if (!o.columns.empty() || !o.angles.empty()) {
        const int kot = o.angles.empty() ? 1 : kAngles.at(o.angles);
        std::optional<std::vector<int>> fields;
        if (!o.columns.empty())
            fields = o.columns;
        try {
            vhi->koo = arrange(Uredi2, std::to_string(s.tip_vh), vhi->koo, fields, kot);
        } catch (const ArrangeError& e) {
            platform::dialogs().errorBox(e.what(), "Napaka", pointWhere(source, *vhi, notes, e.row) + ": " + e.reason);
            return 1;
        }
    }
    if (s.tip_vh == 1)
        if (const auto bad = impossibleValue(vhi->koo, true, -1, 0)) {
            platform::dialogs().errorBox("Napacna oblika podatkov!", "Napaka pri branju datoteke",
                                         pointWhere(source, *vhi, notes, bad->row) + ": " + bad->what);
            return 1;
        }
    std::vector<std::filesystem::path> inputs;
    if (o.in != "-")
        inputs.emplace_back(o.in);
    const auto dataDir = o.dataDir.empty() ? defaultDataDir() : o.dataDir;
    for (const auto& data : programDataFiles(dataDir))
        inputs.push_back(data);
    if (o.out == "-" || !PointLayer::isLayerName(o.out))
        return pretvori(vhi, s, o.out, dataDir, inputs) ? 0 : 1;

    // A GIS layer: the CRS of the result, the datum told by the ellipsoid
    // (GRS80: D96, Bessel: D48).
    PointLayer layer(o.out);
    layer.setCrs(layerCrs(s), s.tip_rez == 1);
    if (!pretvori(vhi, s, o.out, dataDir, inputs, &layer))
        return 1;
    try {
        layer.commit();
    } catch (const FileError& e) {
        platform::dialogs().errorBox("Napaka v zapisu datoteke!", "Napaka", e.what());
        return 1;
    }
    return 0;
}

} // namespace

void addConvertCommand(CLI::App& app, int& status)
{
    auto opts = std::make_shared<ConvertOptions>();
    auto* cmd = app.add_subcommand(
        "convert",
        "Convert the points of one file between ellipsoidal, Cartesian and plane (transverse Mercator, "
        "central meridian 15 E, scale 0.9999) coordinates on one ellipsoid, optionally with geoid "
        "heights. No datum transformation is applied.");
    cmd->add_option("--in", opts->in,
                    "Input point file: one point per line, a name followed by numbers (decimal point or "
                    "comma); only the first three numbers are used. A file named *.csv (or --csv) is read as CSV; "
                    "- reads standard input")
        ->required();
    cmd->add_option("--out", opts->out,
                    "Result file (replaced once complete; Windows-1250 text, LF line ends); - writes standard output. "
                    "A name ending in .gpkg, .shp, .geojson, .fgb, .gml or .dxf writes a GIS point layer instead "
                    "(UTF-8): easting first, the fields name and H (h for latitude and longitude), in the CRS of "
                    "the result: EPSG:3794 (plane on grs80), EPSG:3912 (plane on bessel), EPSG:4258, 4312 or 4326 "
                    "(ell on grs80, bessel, wgs84)")
        ->required()
        ->check(kNotEmpty);
    cmd->add_flag("--csv", opts->csv,
                  "Read the input as CSV whatever its name: comma- or semicolon-separated fields, an optional "
                  "header line, a decimal comma with semicolons, quoted names");
    cmd->add_option("--in-type", opts->inType,
                    "Input coordinates: ell = latitude, longitude (decimal degrees), height; cart = "
                    "geocentric X, Y, Z; plane = x (northing), y (easting), height above sea level. Plane "
                    "values above 5000000 have the zone digit 5 removed")
        ->check(CLI::IsMember(keys(kInTypes)))
        ->capture_default_str();
    cmd->add_option("--ellipsoid", opts->ellipsoid, "Ellipsoid of input and result: wgs84, grs80 (D96) or bessel (D48)")
        ->check(CLI::IsMember(keys(kEllipsoids)))
        ->capture_default_str();
    cmd->add_option("--out-type", opts->outType,
                    "Result coordinates: ell, cart, plane-xy (northing then easting) or plane-yx (easting "
                    "then northing); must differ from the input type (plane-yx may follow plane input)")
        ->check(CLI::IsMember(keys(kOutTypes)))
        ->capture_default_str();
    cmd->add_option("--heights", opts->heights,
                    "Which height the result's third column holds (no datum change, only the geoid height N of "
                    "--height-system added or taken away): orthometric = H above sea level (a plane result from "
                    "ellipsoidal or Cartesian input gets h - N); ellipsoidal = h on the ellipsoid (an ellipsoidal "
                    "result from plane input gets H + N); none = no height column (plane results only). Every "
                    "other combination writes the input's height unchanged")
        ->check(CLI::IsMember(keys(kHeights)))
        ->capture_default_str();
    cmd->add_option("--height-system", opts->heightSystem,
                    "Height system of the geoid height N: svs2010 (Koper, model VRP2016) or svs2000 (Trst, "
                    "model AMG2000)")
        ->check(CLI::IsMember(keys(kHeightSystems)))
        ->capture_default_str();
    cmd->add_option("--columns", opts->columns,
                    "Field of each input column, comma separated (1-3: for ell fi,la,h; for cart X,Y,Z; for "
                    "plane x,y,H), e.g. 2,1,3 for files that write longitude first. Default: file order")
        ->delimiter(',')
        ->expected(1, 3)
        ->check(CLI::Range(1, 3));
    cmd->add_option("--angles", opts->angles,
                    "Notation of latitude and longitude in an ellipsoidal input file: dec = decimal degrees "
                    "(default), dms = ddd.mmssss (degrees, minutes, seconds with decimals), rad = radians")
        ->check(CLI::IsMember(keys(kAngles)));
    // The default is found when the command runs, not written into the help:
    // it is a path of this machine (and, installed, the user's own folder).
    cmd->add_option("--data-dir", opts->dataDir,
                    "Folder with the geoid model files (default: the program's data folder)");
    cmd->footer(kExitStatusHelp);
    cmd->callback([opts, &status] {
        if (!opts->angles.empty() && opts->angles != "dec" && opts->inType != "ell")
            throw CLI::ValidationError("--angles", "an angle notation applies to ellipsoidal input only");
        try {
            status = run(*opts);
        } catch (const UsageError& e) {
            std::cerr << "kolmo-cli convert: " << e.what() << '\n';
            status = 2;
        } catch (const std::exception& e) {
            std::cerr << "kolmo-cli convert: " << e.what() << '\n';
            status = 1;
        }
    });
}

} // namespace kolmo::cli
