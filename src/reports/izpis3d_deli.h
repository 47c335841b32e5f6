// Sections shared by the spatial transformation reports.
#pragma once

#include "engine/records.h"
#include "reports/izpis_skupno.h"

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

// Parameters after their title: translations, rotations, scale.
void parametri3d(Izpis& out, const Vec& PAR);

// Accuracy figures.
void natancnost3d(Izpis& out, const Par3dResult& est);

} // namespace kolmo::izpis
