// Blocks shared by the plane transformation reports.
#pragma once

#include "engine/records.h"
#include "reports/izpis_skupno.h"

#include <functional>

namespace kolmo::izpis {

// A point table: `naslov`, "D96/TM" (tip 1) or "D48/GK", header, one row per point.
void tabela2d(Izpis& out, const char* naslov, const PointSet& ps);

// Transformed points labelled by the target type `tip`; rows for the `n`
// start points, columns swapped when `redXY` is not 1.
void transformirane2d(Izpis& out, const char* naslov, int tip, const Names& imena, Eigen::Index n,
                      const Mat& Yt, int redXY);

// The same table with the row of point i (x, y in stored order) given by
// `vrstica` as it is written (a computation that streams its points).
using Vrstica2d = std::function<void(Eigen::Index i, double& x, double& y)>;
void transformirane2d(Izpis& out, const char* naslov, int tip, const Names& imena, Eigen::Index n,
                      const Vrstica2d& vrstica, int redXY);

// Parameters a … d, and e, f for six parameters, after their title.
void parametri2d(Izpis& out, const Vec& PAR, int nPar);

// "Tip transformacije: 2D %d-parametrična podobnostna".
void vrsta2d(Izpis& out, int nPar);

} // namespace kolmo::izpis
