// Sections shared by the spatial transformation reports.
#pragma once

#include "engine/records.h"
#include "reports/izpis_skupno.h"

#include <functional>

namespace kolmo::izpis {

// "D96/fi_la" (1), "D96/TM" (2) or "D48/GK".
const char* oznaka3d(int tip);

// A point table: `naslov`, the label of `ps.tip`, the column header and one
// row per point; `zStd` adds the three standard deviations.
void tabela3d(Izpis& out, const char* naslov, const PointSet& ps, bool zStd);

// Transformed points: `naslov`, the label of `rez.tip`, header and rows
// (coordinate columns swapped when `redXY` is not 1), with the geoid height
// N when `vis` < 3.  Names are those of the start points.
void transformirane3d(Izpis& out, const char* naslov, const Names& imena, const Rez& rez, int vis,
                      int redXY);

// One transformed point of a table computed as the table is written: its
// output coordinates (a row of rez.koo) and, where the record has it, the
// geoid height N (a row's fourth plane value).
struct Tocka3d {
    double koo[3] = {0, 0, 0};
    bool imaN = false;
    double N = 0;
};
using Vrstica3d = std::function<void(Eigen::Index i, Tocka3d& t)>;

// The same table for `n` points whose rows `vrstica` gives one at a time, in
// order, as they are written (a computation that streams its points).
void transformirane3d(Izpis& out, const char* naslov, const Names& imena, int rezTip, Eigen::Index n, int vis,
                      int redXY, const Vrstica3d& vrstica);

// Parameters after their title: translations, rotations, scale.
void parametri3d(Izpis& out, const Vec& PAR);

// Accuracy figures.
void natancnost3d(Izpis& out, const Par3dResult& est);

} // namespace kolmo::izpis
