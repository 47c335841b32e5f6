#include "app/izracun.h"

#include "app/t_priprava.h"
#include "engine/tran3d.h"
#include "engine/par2d_p.h"
#include "engine/par3d_7.h"
#include "engine/tran2d_p.h"
#include "engine/tran3d_7.h"
#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "geodesy/interg.h"
#include "input/value_checks.h"
#include "platform/cause.h"
#include "platform/cp1250.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/numtext.h"
#include "plots/grobi.h"
#include "plots/prik_izr.h"
#include "reports/izpis2d_a.h"
#include "reports/izpis2d_b.h"
#include "reports/izpis2d_p.h"
#include "reports/izpis3d_a.h"
#include "reports/izpis3d_b.h"
#include "reports/izpis3d_p.h"
#include "reports/izpis_etm.h"
#include "reports/izpis_tme.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>
#include <unordered_map>

namespace kolmo {
namespace {

using platform::dialogs;

// Names of the points whose value in column `col` of `m` is NaN: the geoid
// height of points outside the model.
Names namesWithoutHeight(const Names& names, const Mat& m, Eigen::Index col)
{
    Names out;
    if (m.cols() <= col)
        return out;
    for (Eigen::Index i = 0; i < m.rows() && i < static_cast<Eigen::Index>(names.size()); ++i)
        if (std::isnan(m(i, col)))
            out.push_back(names[static_cast<std::size_t>(i)]);
    return out;
}

// The box of a computation that failed.  A results file that cannot be
// written (a read-only folder, a full disk) is no fault of the data or the
// settings: the box says so, and the details name the file and the reason.
void failureBox(const std::exception& e, std::string_view message, std::string_view title)
{
    const auto* system = dynamic_cast<const platform::SystemError*>(&e);
    platform::errorBoxFor(e, system && system->writing() ? platform::kWriteFailed : message, title);
}

void checkParameters(const Vec& PAR, Eigen::Index n)
{
    if (PAR.size() != n)
        throw platform::Bilingual<ComputationError>(
            "the current parameters do not belong to this transformation (" + std::to_string(PAR.size()) +
                " values, " + std::to_string(n) + " needed)",
            "trenutni parametri ne sodijo k tej transformaciji (vrednosti je " + std::to_string(PAR.size()) +
                ", potrebnih " + std::to_string(n) + ")");
    if (const auto why = unusableParameters(PAR))
        throw ComputationError(*why);
}

// Refuses a transformed point that no survey can have: a coordinate that is
// not a finite number (a height may be NaN: outside the geoid model) or a
// latitude beyond the poles.  Parameter sets far from any datum's put points
// there, and "inf" in a result file cannot even be read back.
void checkResult(const Names& names, Eigen::Index row, double a, double b, double h, bool latitude)
{
    const auto where = [&] {
        const auto k = static_cast<std::size_t>(row);
        return "transformed point " + (k < names.size() ? platform::fromCp1250(names[k]) : std::string("?")) +
               " (row " + std::to_string(row + 1) + ")";
    };
    if (!std::isfinite(a) || !std::isfinite(b) || std::isinf(h))
        throw ComputationError(where() + ": the result (" + platform::numberText(a) + ", " + platform::numberText(b) +
                               ", " + platform::numberText(h) + ") is not a finite number");
    if (latitude && std::abs(a) > 90.0)
        throw ComputationError(where() + ": latitude " + platform::numberText(a) + " is outside -90 to 90 deg");
}

void checkResults(const Names& names, const Mat& koo, bool latitude)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (Eigen::Index i = 0; i < koo.rows(); ++i)
        checkResult(names, i, koo(i, 0), koo.cols() > 1 ? koo(i, 1) : nan, koo.cols() > 2 ? koo(i, 2) : 0.0,
                    latitude);
}

// Refuses a point set that holds a value no survey can have.
void checkValues(const PointSet& p, int transformationType, bool start)
{
    if (const auto bad = impossibleValue(p, transformationType, p.tip == 1)) {
        const auto row = static_cast<std::size_t>(bad->row);
        const std::string name = platform::fromCp1250(p.ime.at(row)), number = std::to_string(row + 1);
        throw platform::Bilingual<ComputationError>(
            std::string(start ? "start points" : "end points") + ", point " + name + " (row " + number +
                "): " + bad->what,
            std::string(start ? "začetne točke" : "končne točke") + ", točka " + name + " (" + number +
                ". vrstica): " + bad->slovene);
    }
}

// The points of `koo` (coordinates in columns 1 and 2, the height in column 3
// when `heights`) to the sink, each corrected by (vx, vy) when given.
void toSink(PointSink* sink, int type, bool heights, const Names& names, const Mat& koo, const Vec* vx = nullptr,
            const Vec* vy = nullptr)
{
    if (!sink)
        return;
    sink->begin(type, heights);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (Eigen::Index i = 0; i < koo.rows(); ++i)
        sink->point(names[static_cast<std::size_t>(i)], koo(i, 0) + (vx ? (*vx)(i) : 0.0),
                    koo(i, 1) + (vy ? (*vy)(i) : 0.0), heights && koo.cols() > 2 ? koo(i, 2) : nan);
}

// Conversions D96/fi_la <-> D96/TM with geoid heights (types 4 and 5).
void pretvorbaD96(AppState& s, const MainInputs& in, int geoid, IzracunResult& out)
{
    try {
        const PointSet& vhi = *s.vhi;
        const Eigen::Index n1 = vhi.koo.rows();
        if (vhi.koo.cols() < 3)
            throw platform::Bilingual<ComputationError>(
                "the conversion needs three columns, the points have " + std::to_string(vhi.koo.cols()),
                "pretvorba potrebuje tri stolpce, točke jih imajo " + std::to_string(vhi.koo.cols()));
        checkValues(vhi, s.t_tr.tip, true);
        if (!s.rez)
            s.rez.emplace();
        Rez& rez = *s.rez;
        rez.koo = Mat::Zero(n1, 4);
        // A projection that stops at a point outside the zone has shown its box
        // and converted the rows before it; the rest keep 0 as coordinates.
        if (s.t_tr.tip == 4) {
            const Mat tm = elipgk(vhi.koo.leftCols(2), n1, 2, 1);
            rez.koo.topLeftCorner(tm.rows(), 2) = tm;
            for (Eigen::Index i = 0; i < n1; ++i) {
                const double N = interg(vhi.koo(i, 0), vhi.koo(i, 1), geoid, s.pot_prg);
                rez.koo(i, 3) = N;
                rez.koo(i, 2) = vhi.koo(i, 2) - N; // ellipsoidal height -> sea level
            }
            out.report = in.workDir / in.izhod;
            izpis_etm(out.report, vhi, rez, in.redXY, geoid);
            // A projection that stopped left rows of 0: no points to hand on.
            if (tm.rows() == n1)
                toSink(in.tocke, 2, true, vhi.ime, rez.koo);
        } else {
            const Mat fl = gkelip(vhi.koo.leftCols(2), n1, 2, 1);
            rez.koo.topLeftCorner(fl.rows(), 2) = fl;
            for (Eigen::Index i = 0; i < n1; ++i) {
                const double N = interg(rez.koo(i, 0), rez.koo(i, 1), geoid, s.pot_prg);
                rez.koo(i, 3) = N;
                rez.koo(i, 2) = vhi.koo(i, 2) + N; // sea level -> ellipsoidal height
            }
            out.report = in.workDir / in.izhod;
            izpis_tme(out.report, vhi, rez, geoid);
            if (fl.rows() == n1)
                toSink(in.tocke, 1, true, vhi.ime, rez.koo);
        }
        out.ok = true;
        warnOutsideGeoidModel(namesWithoutHeight(vhi.ime, rez.koo, 3), geoid);
    } catch (const std::exception& e) {
        failureBox(e, "Preveri podatke!", "Napaka v pretvorbi");
    }
}

void prostorska(AppState& s, const MainInputs& in, IzracunResult& out)
{
    checkValues(*s.vhi, 1, true);
    if (s.t_tr.izr != 2)
        checkValues(*s.vhv, 1, false);
    PointSet vhi = *s.vhi;
    PointSet vhv = *s.vhv;
    TTr t_tr = s.t_tr;
    t_priprava(vhi, vhv, *s.rez, t_tr);
    s.vhi = vhi;
    s.vhv = vhv;
    s.t_tr = t_tr;

    if (s.t_tr.izr != 2) {
        if (in.predOceno)
            in.predOceno(*s.vhi, *s.vhv);
        out.est3d = par3d_7(*s.vhi, *s.vhv);
        s.PAR = out.est3d->PAR;
    }
    if (s.t_tr.izr != 3) {
        checkParameters(s.PAR, 7);
        s.rez = tran3d_7(*s.vhi, *s.vhv, *s.rez, s.PAR, s.t_tr, s.pot_prg);
        checkResults(s.vhi->ime, s.rez->koo, s.rez->tip == 1);
    }
    out.report = in.workDir / in.izhod;
    switch (s.t_tr.izr) {
    case 1:
        s.prik = prik_izr(*s.vhi, *s.vhv, *s.rez, out.est3d->vezne);
        s.prik->grobi = grobi3d(*out.est3d);
        izpis3d_p(out.report, in.data, *s.vhi, *s.vhv, *s.rez, s.t_tr, s.PAR, *out.est3d, *s.prik, in.redXY);
        // Plane output: the coordinates corrected by the interpolated residuals.
        if (s.rez->tip > 1)
            toSink(in.tocke, s.rez->tip, true, s.vhi->ime, s.rez->koo, &s.prik->vx, &s.prik->vy);
        else
            toSink(in.tocke, 1, true, s.vhi->ime, s.rez->koo);
        break;
    case 2:
        izpis3d_a(out.report, in.data, *s.vhi, *s.rez, s.t_tr, s.PAR, in.redXY);
        toSink(in.tocke, s.rez->tip, true, s.vhi->ime, s.rez->koo);
        break;
    default:
        izpis3d_b(out.report, in.data, *s.vhi, *s.vhv, s.t_tr, s.PAR, *out.est3d);
        break;
    }
    // Heights above sea level of the transformed points come from the geoid
    // (N in column 4 of gk).
    if (s.t_tr.izr != 3 && s.rez->gk.cols() >= 4)
        warnOutsideGeoidModel(namesWithoutHeight(s.vhi->ime, s.rez->gk, 3), s.t_tr.geoid);
}

void ravninska(AppState& s, const MainInputs& in, IzracunResult& out)
{
    checkValues(*s.vhi, s.t_tr.tip, true);
    if (s.t_tr.izr != 2)
        checkValues(*s.vhv, s.t_tr.tip, false);
    PointSet vhi = *s.vhi;
    PointSet vhv = *s.vhv;
    t_priprava2d(vhi, vhv, s.t_tr);
    s.vhi = vhi;
    s.vhv = vhv;

    const int npar = s.t_tr.tip == 2 ? 4 : 6;
    if (s.t_tr.izr != 2) {
        if (in.predOceno)
            in.predOceno(*s.vhi, *s.vhv);
        out.est2d = par2d_p(*s.vhi, *s.vhv, npar);
        s.PAR = out.est2d->PAR;
    }
    if (s.t_tr.izr != 3) {
        checkParameters(s.PAR, npar);
        s.rez = tran2d_p(*s.vhi, s.PAR, npar);
        checkResults(s.vhi->ime, s.rez->koo, false);
    }
    out.report = in.workDir / in.izhod;
    switch (s.t_tr.izr) {
    case 1:
        s.prik = prik_izr2(*s.vhi, *s.vhv, *s.rez, out.est2d->vezne);
        s.prik->grobi = grobi2d(*out.est2d, npar);
        izpis2d_p(out.report, in.data, *s.vhi, *s.vhv, *s.rez, npar, s.t_tr, s.PAR, *out.est2d, *s.prik, in.redXY);
        toSink(in.tocke, s.vhv->tip + 1, false, s.vhi->ime, s.rez->koo, &s.prik->vx, &s.prik->vy);
        break;
    case 2:
        izpis2d_a(out.report, in.data, *s.vhi, *s.vhv, *s.rez, npar, s.PAR, in.redXY);
        toSink(in.tocke, s.vhv->tip + 1, false, s.vhi->ime, s.rez->koo);
        break;
    default:
        izpis2d_b(out.report, in.data, *s.vhi, *s.vhv, npar, s.t_tr, s.PAR, *out.est2d);
        break;
    }
}

// Mode "koordinat" of the spatial transformation, point by point (see
// MainInputs::lean): the preparation of t_priprava for the start points, in
// place and without the derived fields, then tran3d_7 for each point as its
// row of the report is written.  The arithmetic is that of the matrix path
// (the kernels are loops over the same one-point functions), and the checks
// come in its order: impossible values, a start point outside the zone,
// parameters, then a transformed point outside the zone or the geoid model's
// data file, which fail the report half-way (its temporary file is removed).
void prostorskaTocke(AppState& s, const MainInputs& in, IzracunResult& out)
{
    PointSet& vhi = *s.vhi;
    checkValues(vhi, 1, true);
    TTr& t = s.t_tr;
    Rez& rez = *s.rez;
    vhi.eli = vhi.tip < 3 ? 2 : 3;
    s.vhv->eli = s.vhv->tip < 3 ? 2 : 3;
    if (vhi.tip != 1)
        t.vis = 3;
    if (vhi.tip > 1 && rez.tip > 1)
        t.vis = 4;
    const Eigen::Index n = vhi.koo.rows();
    if (vhi.tip > 1) {
        stripZoneDigit(vhi.koo);
        for (Eigen::Index i = 0; i < n; ++i)
            if (!ZoneProjection::inPlane(vhi.koo(i, 0), vhi.koo(i, 1))) {
                ZoneProjection::planeBox(i, vhi.koo(i, 0), vhi.koo(i, 1));
                throw platform::Bilingual<ComputationError>("point outside the projection zone", "točka zunaj projekcijske cone");
            }
    }
    checkParameters(s.PAR, 7);

    rez.eli = s.vhv->tip < 3 ? 2 : 3;
    const ZoneProjection startPlane(vhi.eli, 1), endPlane(rez.eli, 1);
    const CartesianConversion startCart(vhi.eli), endCart(rez.eli);
    const Similarity similarity(s.PAR, 7);
    const bool geoidHeights = t.vis < 3;
    Names outside;
    if (in.tocke)
        in.tocke->begin(rez.tip, true);

    const izpis::Vrstica3d vrstica = [&](Eigen::Index i, izpis::Tocka3d& row) {
        double fi = vhi.koo(i, 0), la = vhi.koo(i, 1);
        if (vhi.tip > 1)
            startPlane.toGeodetic(vhi.koo(i, 0), vhi.koo(i, 1), fi, la);
        const double h = t.vis == 1 ? 0.0 : vhi.koo(i, 2);
        double X, Y, Z, x, y, z, efi, ela, eh;
        startCart.toCartesian(fi, la, h, X, Y, Z);
        similarity.apply(X, Y, Z, x, y, z);
        try {
            endCart.toEllipsoidal(x, y, z, efi, ela, eh, i);
        } catch (const ComputationError& e) {
            // Parameters that put the point near the centre of the Earth or
            // beyond any survey: the point by its name.
            throw ComputationError("transformed point " + platform::fromCp1250(vhi.ime[static_cast<std::size_t>(i)]) +
                                   " (row " + std::to_string(i + 1) + "): " + e.what());
        }
        double gx, gy;
        if (!endPlane.toPlane(efi, ela, gx, gy)) {
            ZoneProjection::longitudeBox(i, ela);
            throw platform::Bilingual<ComputationError>("tran3d_7: transformed point outside the projection zone",
                                                        "tran3d_7: transformirana točka zunaj projekcijske cone");
        }
        double H;
        if (geoidHeights) {
            // N at the start point's latitude and longitude, as tran3d_7 takes it.
            row.N = interg(fi, la, t.geoid, s.pot_prg);
            row.imaN = true;
            H = vhi.koo(i, 2) - row.N;
            if (std::isnan(row.N))
                outside.push_back(vhi.ime[static_cast<std::size_t>(i)]);
        } else {
            H = t.vis == 3 ? eh : vhi.koo(i, 2);
        }
        if (rez.tip == 1) {
            row.koo[0] = efi;
            row.koo[1] = ela;
            row.koo[2] = eh;
        } else {
            row.koo[0] = gx;
            row.koo[1] = gy;
            row.koo[2] = H;
        }
        checkResult(vhi.ime, i, row.koo[0], row.koo[1], row.koo[2], rez.tip == 1);
        if (in.tocke)
            in.tocke->point(vhi.ime[static_cast<std::size_t>(i)], row.koo[0], row.koo[1], row.koo[2]);
    };
    out.report = in.workDir / in.izhod;
    izpis3d_a(out.report, in.data, vhi, rez.tip, vrstica, t, s.PAR, in.redXY);
    if (geoidHeights)
        warnOutsideGeoidModel(outside, t.geoid);
}

// Mode "koordinat" of the plane transformations, point by point (see
// MainInputs::lean): t_priprava2d on the start points in place, then tran2d_p
// for each point as its row of the report is written.
void ravninskaTocke(AppState& s, const MainInputs& in, IzracunResult& out)
{
    checkValues(*s.vhi, s.t_tr.tip, true);
    // Nothing here can fail half-way, so the points are prepared where they are.
    t_priprava2d(*s.vhi, *s.vhv, s.t_tr);
    const int npar = s.t_tr.tip == 2 ? 4 : 6;
    checkParameters(s.PAR, npar);
    const PointSet& vhi = *s.vhi;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (in.tocke)
        in.tocke->begin(s.vhv->tip + 1, false);
    const izpis::Vrstica2d vrstica = [&](Eigen::Index i, double& xt, double& yt) {
        tran2d_tocka(s.PAR, npar, vhi.koo(i, 0), vhi.koo(i, 1), xt, yt);
        checkResult(vhi.ime, i, xt, yt, 0.0, false);
        if (in.tocke)
            in.tocke->point(vhi.ime[static_cast<std::size_t>(i)], xt, yt, nan);
    };
    out.report = in.workDir / in.izhod;
    izpis2d_a(out.report, in.data, vhi, *s.vhv, vrstica, npar, s.PAR, in.redXY);
}

// The input that `output` would overwrite, if any.
std::optional<std::filesystem::path> inputOverwritten(const std::filesystem::path& output,
                                                      const std::vector<std::filesystem::path>& inputs)
{
    for (const auto& input : inputs)
        if (platform::sameOutput(output, input))
            return input;
    return std::nullopt;
}

// A count in Slovene by the last two digits: 1 točka, 2 točki, 3 and 4
// točke, 5 točk (101 točka, 111 točk); the same for "ime".
std::string countText(std::size_t n, const char* one, const char* two, const char* few, const char* many)
{
    const auto last = n % 100;
    return std::to_string(n) + " " + (last == 1 ? one : last == 2 ? two : (last == 3 || last == 4) ? few : many);
}

// The box lists each name once, in the order the points come, with the number
// of its points when there are several ("T (10000 točk)"); beyond the first
// 100 names a last line counts the rest, so that a file of one name repeated
// 10 000 times gives one line, and five points of five names at one place
// five lines.
std::string duplicateMessage(const PointSet& p)
{
    constexpr std::size_t kShown = 100;
    const auto groups = duplicateGroups(p);
    std::string text;
    for (std::size_t k = 0; k < groups.size() && k < kShown; ++k) {
        if (!text.empty())
            text += '\n';
        text += platform::fromCp1250(groups[k].name);
        if (groups[k].count > 1)
            text += " (" + countText(groups[k].count, "točka", "točki", "točke", "točk") + ")";
    }
    if (groups.size() > kShown)
        text += "\n... in še " + countText(groups.size() - kShown, "ime", "imeni", "imena", "imen");
    return text;
}

std::string duplicateDetails(const Duplicates& dup, const PointSet& p)
{
    return std::to_string(dup.pairs) + " pair(s) of points with the same name or the same first two coordinates among " +
           std::to_string(p.ime.size()) + " points";
}

// Whether any two points share their name or their first two coordinates,
// in time proportional to the points and with one open-addressing table of
// point numbers (4 bytes a slot) instead of the grouping below, which is only
// needed when there are pairs to count and list.
bool anyDuplicate(const PointSet& p, bool twoColumns)
{
    const std::size_t n = p.ime.size();
    std::size_t size = 16;
    while (size < 2 * n)
        size <<= 1;
    const std::size_t mask = size - 1;
    std::vector<std::uint32_t> table(size); // point number + 1; 0 = free
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t h = std::hash<std::string_view>()(p.ime[i]) & mask;; h = (h + 1) & mask) {
            if (table[h] == 0) {
                table[h] = static_cast<std::uint32_t>(i + 1);
                break;
            }
            if (p.ime[table[h] - 1] == p.ime[i])
                return true;
        }
    }
    if (!twoColumns)
        return false;
    std::fill(table.begin(), table.end(), 0u);
    for (std::size_t i = 0; i < n; ++i) {
        const auto r = static_cast<Eigen::Index>(i);
        // +0.0 folds -0 into 0: the two compare equal as numbers.
        const double x = p.koo(r, 0) + 0.0, y = p.koo(r, 1) + 0.0;
        const std::size_t key = std::hash<double>()(x) * 1000003u ^ std::hash<double>()(y);
        for (std::size_t h = key & mask;; h = (h + 1) & mask) {
            if (table[h] == 0) {
                table[h] = static_cast<std::uint32_t>(i + 1);
                break;
            }
            const auto j = static_cast<Eigen::Index>(table[h] - 1);
            if (p.koo(j, 0) + 0.0 == x && p.koo(j, 1) + 0.0 == y)
                return true;
        }
    }
    return false;
}

} // namespace

Duplicates duplicatePoints(const PointSet& p, std::size_t limit)
{
    // Points are grouped by name, by the pair of their first two coordinates
    // and by both.  Point i forms a pair with every earlier point of its name
    // group or of its position group; those in both groups count once:
    //   pairs(i) = earlier(name) + earlier(position) - earlier(name and position).
    // The names are listed in the order of the nested loops (i ascending, then
    // j ascending) from the earlier members of the two groups, until `limit`
    // names are out; from then on the pairs are only counted.
    struct PositionHash {
        std::size_t operator()(const std::pair<double, double>& v) const
        {
            return std::hash<double>()(v.first) * 1000003u ^ std::hash<double>()(v.second);
        }
    };
    struct GroupPairHash {
        std::size_t operator()(const std::pair<std::uint32_t, std::uint32_t>& v) const
        {
            return (static_cast<std::size_t>(v.first) << 32) ^ v.second;
        }
    };
    const std::size_t n = p.ime.size();
    const bool twoColumns = p.koo.cols() >= 2 && static_cast<std::size_t>(p.koo.rows()) >= n;
    if (n < UINT32_MAX && !anyDuplicate(p, twoColumns))
        return Duplicates{};
    std::vector<std::uint32_t> nameGroup(n), posGroup(n), bothGroup(n);
    std::vector<std::uint32_t> nameCount, posCount, bothCount;
    {
        std::unordered_map<std::string_view, std::uint32_t> names;
        names.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            const auto [it, added] = names.emplace(p.ime[i], static_cast<std::uint32_t>(nameCount.size()));
            if (added)
                nameCount.push_back(0);
            nameGroup[i] = it->second;
            ++nameCount[it->second];
        }
    }
    if (twoColumns) {
        std::unordered_map<std::pair<double, double>, std::uint32_t, PositionHash> positions;
        positions.reserve(n);
        std::unordered_map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t, GroupPairHash> both;
        for (std::size_t i = 0; i < n; ++i) {
            const auto r = static_cast<Eigen::Index>(i);
            // +0.0 folds -0 into 0: the two compare equal as numbers.
            const std::pair<double, double> key{p.koo(r, 0) + 0.0, p.koo(r, 1) + 0.0};
            const auto [it, added] = positions.emplace(key, static_cast<std::uint32_t>(posCount.size()));
            if (added)
                posCount.push_back(0);
            posGroup[i] = it->second;
            ++posCount[it->second];
            // Only points that share their name with another can be in a
            // group of both of more than one.
            if (nameCount[nameGroup[i]] > 1) {
                const auto [b, new_] = both.emplace(std::pair{nameGroup[i], posGroup[i]},
                                                    static_cast<std::uint32_t>(bothCount.size()));
                if (new_)
                    bothCount.push_back(0);
                bothGroup[i] = b->second;
                ++bothCount[b->second];
            } else {
                bothGroup[i] = UINT32_MAX;
            }
        }
    }

    Duplicates out;
    {
        // Every group's members seen so far, counted as the loop goes.
        std::vector<std::uint32_t> seenName(nameCount.size()), seenPos(posCount.size()), seenBoth(bothCount.size());
        for (std::size_t i = 0; i < n; ++i) {
            out.pairs += seenName[nameGroup[i]]++;
            if (twoColumns) {
                out.pairs += seenPos[posGroup[i]]++;
                if (bothGroup[i] != UINT32_MAX)
                    out.pairs -= seenBoth[bothGroup[i]]++;
            }
        }
    }
    if (out.pairs == 0 || limit == 0)
        return out;

    // Earlier members of every group that has more than one, until the list is full.
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> nameMembers, posMembers;
    const std::vector<std::size_t> none;
    for (std::size_t i = 0; i < n && out.names.size() < limit; ++i) {
        const bool inName = nameCount[nameGroup[i]] > 1;
        const bool inPos = twoColumns && posCount[posGroup[i]] > 1;
        const auto& a = inName ? nameMembers[nameGroup[i]] : none;
        const auto& b = inPos ? posMembers[posGroup[i]] : none;
        // The union of the two ascending lists, as far as the list has room.
        auto ia = a.begin(), ib = b.begin();
        while ((ia != a.end() || ib != b.end()) && out.names.size() < limit) {
            std::size_t j;
            if (ib == b.end() || (ia != a.end() && *ia < *ib))
                j = *ia++;
            else if (ia == a.end() || *ib < *ia)
                j = *ib++;
            else {
                j = *ia++;
                ++ib;
            }
            out.names.push_back(p.ime[j]);
        }
        if (inName)
            nameMembers[nameGroup[i]].push_back(i);
        if (inPos)
            posMembers[posGroup[i]].push_back(i);
    }
    return out;
}

std::vector<DuplicateGroup> duplicateGroups(const PointSet& p)
{
    struct PositionHash {
        std::size_t operator()(const std::pair<double, double>& v) const
        {
            return std::hash<double>()(v.first) * 1000003u ^ std::hash<double>()(v.second);
        }
    };
    const std::size_t n = p.ime.size();
    const bool twoColumns = p.koo.cols() >= 2 && static_cast<std::size_t>(p.koo.rows()) >= n;
    std::unordered_map<std::string_view, std::size_t> byName;
    std::unordered_map<std::pair<double, double>, std::size_t, PositionHash> byPlace;
    const auto place = [&](std::size_t i) {
        const auto r = static_cast<Eigen::Index>(i);
        return std::pair<double, double>(p.koo(r, 0) + 0.0, p.koo(r, 1) + 0.0);  // -0 is 0
    };
    for (std::size_t i = 0; i < n; ++i) {
        ++byName[p.ime[i]];
        if (twoColumns)
            ++byPlace[place(i)];
    }
    std::vector<DuplicateGroup> groups;
    std::unordered_map<std::string_view, std::size_t> group;  // name -> index in groups
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t sameName = byName[p.ime[i]];
        if (sameName < 2 && !(twoColumns && byPlace[place(i)] > 1))
            continue;
        if (group.emplace(p.ime[i], groups.size()).second)
            groups.push_back({p.ime[i], sameName});
    }
    return groups;
}

IzracunResult izracun(AppState& s, const MainInputs& in)
{
    platform::BusyBracket busy;
    IzracunResult out;
    auto& d = dialogs();

    if (!s.vhi) {
        d.errorBox("Ni podatkov v zacetnem datumu!", "Napaka");
        return out;
    }
    if (!s.vhv && s.t_tr.izr != 2 && s.t_tr.tip < 4) {
        d.errorBox("Ni podatkov v koncnem datumu!", "Napaka");
        return out;
    }
    if (in.izhod.empty()) {
        d.errorBox("Izberi izhodno datoteko!", "Napaka");
        return out;
    }
    if (const auto input = inputOverwritten(in.workDir / in.izhod, in.inputs)) {
        d.errorBox(platform::kOutputIsInput, "Napaka", (in.workDir / in.izhod).string() + " is the input " + input->string());
        return out;
    }
    s.t_tr.geoid = in.geoid;

    if (s.t_tr.tip == 4 || s.t_tr.tip == 5) {
        pretvorbaD96(s, in, in.geoid, out);
        return out;
    }

    if (const Duplicates dup = duplicatePoints(*s.vhi); dup.pairs > 0) {
        d.errorBox(duplicateMessage(*s.vhi), "Podvojene tocke v zac.dat.", duplicateDetails(dup, *s.vhi));
        return out;
    }
    if (s.t_tr.izr != 2) {
        if (const Duplicates dup = duplicatePoints(*s.vhv); dup.pairs > 0) {
            d.errorBox(duplicateMessage(*s.vhv), "Podvojene tocke v kon.dat.", duplicateDetails(dup, *s.vhv));
            return out;
        }
    }

    s.t_tr.helm = in.helm;
    if (!s.vhv)
        s.vhv.emplace();
    if (!s.rez)
        s.rez.emplace();
    s.vhi->tip = in.tip1;
    s.vhv->tip = in.tip2;
    s.rez->tip = in.tip3;

    // In mode "koordinat" the end points are not needed; a placeholder row
    // stands in for them.
    if (s.t_tr.izr == 2)
        s.vhv->koo = Mat::Ones(1, 3);
    if (s.t_tr.izr == 2 && s.PAR.size() == 0) {
        d.errorBox("Izberi parametre!", "Ni parametrov");
        return out;
    }

    const Eigen::Index minCols = s.t_tr.tip == 1 ? 3 : 2;
    if (s.vhi->koo.cols() < minCols || (s.vhv->koo.cols() < minCols && s.t_tr.izr != 2)) {
        d.errorBox("Pripravi podatke v ustrezni obliki!", "Napaka v dim. matrike",
                   "start points " + std::to_string(s.vhi->koo.cols()) + " column(s), end points " +
                       std::to_string(s.vhv->koo.cols()) + ", at least " + std::to_string(minCols) + " needed");
        return out;
    }
    s.prik.reset();

    try {
        if (in.lean && s.t_tr.izr == 2)
            (s.t_tr.tip == 1 ? prostorskaTocke : ravninskaTocke)(s, in, out);
        else if (s.t_tr.tip == 1)
            prostorska(s, in, out);
        else
            ravninska(s, in, out);
        out.ok = true;
        // Parameters metres away from the national model: the wrong datum or
        // coordinate type, which the fit among the points cannot show.
        if (in.typesKnown)
            out.modelDifference = primerjajZModelom(s);
        if (out.modelDifference && out.modelDifference->largest > kModelDifferenceLimit)
            d.warning(modelDifferenceText(out.modelDifference->largest),
                      "the largest difference, at common point " + platform::fromCp1250(out.modelDifference->point) +
                          " of " + std::to_string(out.modelDifference->compared) +
                          ", from the national triangle-based model D48/GK - D96/TM");
        out.enablePrikazi = s.t_tr.izr == 1;
    } catch (const std::exception& e) {
        failureBox(e, "Preveri podatke ali izberi pravilne nastavitve!", "Napaka v izracunu");
    }
    return out;
}

} // namespace kolmo
