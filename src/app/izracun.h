// The computation of the main window (action "izracun"), free of any window.
//
// It reads the values of the main window's controls (MainInputs) and the shared
// state, checks the inputs, runs the conversion (types 4, 5), the spatial
// (type 1) or a plane transformation (types 2, 3) in the chosen mode, writes the
// results report into the working folder and stores PAR, rez, prik and the
// prepared point sets in AppState.  Every failure shows its Slovene error box
// through the platform's dialogs and ends the computation; AppState keeps what
// was assigned before the failure.  A report that is one of the inputs (the
// same file, links followed) is refused before anything is computed:
// "Izhodna datoteka je enaka vhodni!" titled "Napaka", the two paths as details.
#pragma once

#include "app/primerjava_modela.h"

#include "app/appstate.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kolmo {

// Receives the transformed points of a computation, for a coordinate file
// (kolmo-cli --out): one call per start point, in their order, with the
// values of the report's last table of points -- the coordinates corrected
// by the interpolated residuals where the computation makes them (mode
// "parametrov in koordinat" with plane output), otherwise the transformed
// ones.  Coordinates in Kolmo's order: latitude and longitude in decimal
// degrees, or x (northing) and y (easting) in metres; the height of that
// table (NaN for a point outside the geoid model).  A computation that only
// estimates parameters calls nothing.
class PointSink {
public:
    virtual ~PointSink() = default;
    // Before the first point: the coordinate type (1 D96/fi_la, 2 D96/TM,
    // 3 D48/GK) and whether the points carry a height (the plane models do not).
    virtual void begin(int coordinateType, bool heights) = 0;
    virtual void point(const std::string& name, double a, double b, double h) = 0;
};

// The main window's controls as the computation reads them.
struct MainInputs {
    // The coordinate types are known (not the defaults standing in for a
    // plane Varnik file, which does not name them): the estimation is
    // compared with the national model.
    bool typesKnown = true;
    DataLabels data;                  // texts of the start-file and end-file labels
    std::string izhod;                // results-file name
    std::filesystem::path workDir;    // working folder; the report is written there
    int redXY = 1;                    // "Zaporedje koord.": 1 x(n), y(e); 2 y(e), x(n)
    int geoid = 1;                    // "Višinski sistem"
    int helm = 1;                     // "Helmertova transformacija"
    int tip1 = 1, tip2 = 3, tip3 = 3; // start, end and "Transf. koordinate" list values
    // Every file the computation reads (start and end point files, the Varnik
    // project file, the parameter database the parameters come from or go to):
    // the report may be none of them.
    std::vector<std::filesystem::path> inputs;
    // Where the transformed points go besides the report (none: only the report).
    PointSink* tocke = nullptr;
    // Mode "koordinat" with the least memory (kolmo-cli): the start points are
    // prepared in place, and each point is transformed as its row of the
    // report is written, so that nothing but the start points is held; rez
    // keeps its type and ellipsoid but no coordinates.  A failure may leave
    // the start points prepared (zone digit removed).
    bool lean = false;
    // Called with the prepared start and end points just before an estimation
    // (Cartesian in kk for 3r7, plane coordinates in koo for 2r4 and 2r6): it
    // may take end points out and change standard deviations (kolmo-cli's
    // --exclude, --snoop, --robust; analiza_vez.h).  The report, the points
    // and the plots then show the estimation from what it left.
    std::function<void(PointSet& vhi, PointSet& vhv)> predOceno;
};

// What a computation produced besides AppState, for summaries.
struct IzracunResult {
    bool ok = false;
    bool enablePrikazi = false;                 // mode 1 succeeded: the plots have data
    std::optional<Par3dResult> est3d;
    std::optional<Par2dResult> est2d;
    std::filesystem::path report;
    // An estimation between D48 and D96 against the national model at the
    // common points (a warning above kModelDifferenceLimit).
    std::optional<ModelDifference> modelDifference;
};

IzracunResult izracun(AppState& s, const MainInputs& in);

// Duplicate points: the pairs i > j whose names are equal or whose first two
// coordinates are equal.  `names` holds the name of point j for the first
// `limit` pairs in the order of the check (i ascending, then j ascending),
// `pairs` the number of all pairs.  Runs in time and memory proportional to
// the points, however many pairs there are.  The error box lists the names one
// per line and, when there are more pairs, ends with "... in še <k> parov".
struct Duplicates {
    Names names;
    std::uint64_t pairs = 0;
};
Duplicates duplicatePoints(const PointSet& p, std::size_t limit = 100);

// The points of the pairs above grouped by name, in the order of each name's
// first point: every name once, with the number of points of that name in the
// set (1 for a point that only shares its place).  What the error box lists.
struct DuplicateGroup {
    std::string name;
    std::size_t count = 0;
    bool operator==(const DuplicateGroup&) const = default;
};
std::vector<DuplicateGroup> duplicateGroups(const PointSet& p);

} // namespace kolmo
