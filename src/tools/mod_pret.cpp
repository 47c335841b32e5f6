#include "tools/mod_pret.h"

#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "geodesy/interg.h"
#include "input/prebsi.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "reports/report_file.h"

#include <exception>

namespace kolmo {
namespace {

constexpr double kZoneOffset = 5000000.0;

void error(const char* message, const char* title = "Napaka") { platform::dialogs().errorBox(message, title); }

// A projection or Cartesian conversion that stopped early (a point outside the
// zone; the kernel has shown its own box) leaves the conversion without rows
// for the remaining points: the whole conversion fails rather than writing a
// file with points missing or misplaced.
void requireRows(const Mat& M, Eigen::Index n)
{
    if (M.rows() != n)
        throw ComputationError("conversion stopped before the last point");
}

ReportFile resultText(const PointSet& vhi, const Mat& koo, const PretvoriSettings& s)
{
    ReportFile out;
    const Eigen::Index n = koo.rows();
    for (Eigen::Index i = 0; i < n; ++i) {
        const char* name = vhi.ime[static_cast<std::size_t>(i)].c_str();
        const double c1 = koo(i, 0), c2 = koo(i, 1), c3 = koo(i, 2);
        switch (s.tip_rez) {
        case 1: out.print("%-12s %12.9f %14.9f %12.3f\n", name, c1, c2, c3); break;
        case 2: out.print("%-12s %10.3f %12.3f %12.3f\n", name, c1, c2, c3); break;
        case 3:
            if (s.vis == 3)
                out.print("%-12s %10.3f %12.3f\n", name, c1, c2);
            else
                out.print("%-12s %10.3f %12.3f %12.3f\n", name, c1, c2, c3);
            break;
        case 4:
            if (s.vis == 3)
                out.print("%-12s %10.3f %12.3f\n", name, c2, c1);
            else
                out.print("%-12s %10.3f %12.3f %12.3f\n", name, c2, c1, c3);
            break;
        default: throw Error("unknown result type");
        }
    }
    return out;
}

void convert(PointSet& vhi, const PretvoriSettings& s, const std::string& izhod, const std::filesystem::path& pot_prg)
{
    Mat& koo = vhi.koo;
    const Eigen::Index n = koo.rows();
    if (koo.cols() < 3 || static_cast<Eigen::Index>(vhi.ime.size()) != n)
        throw Error("the conversion needs a name and three coordinates per point");
    if (s.tip_vh < 1 || s.tip_vh > 3 || s.tip_rez < 1 || s.tip_rez > 4 || s.vis < 1 || s.vis > 3)
        throw Error("unknown choice code");

    // Plane coordinates written with the zone digit 5 in front.
    if (s.tip_vh == 3)
        for (Eigen::Index i = 0; i < n; ++i)
            for (Eigen::Index j = 0; j < 2; ++j)
                if (koo(i, j) > kZoneOffset)
                    koo(i, j) -= kZoneOffset;

    // Everything goes through latitude, longitude and height on the ellipsoid.
    Mat ek = koo;
    if (s.tip_vh == 2) {
        const Mat B = kartelip(koo, n, s.eli);
        requireRows(B, n);
        ek.leftCols(3) = B;
    } else if (s.tip_vh == 3) {
        const Mat B = gkelip(koo, n, s.eli, 1);
        requireRows(B, n);
        ek.leftCols(2) = B;
    }

    Mat out = ek;
    if (s.tip_rez == 1 && s.vis == 2 && s.tip_vh == 3) {
        // Height above sea level with the plane coordinates -> ellipsoidal height.
        for (Eigen::Index i = 0; i < n; ++i)
            out(i, 2) = ek(i, 2) + interg(ek(i, 0), ek(i, 1), s.geoid, pot_prg);
    }
    if (s.tip_rez == 2) {
        const Mat B = elipkart(ek, n, s.eli);
        requireRows(B, n);
        out.leftCols(3) = B;
    } else if (s.tip_rez >= 3) {
        const Mat B = elipgk(ek, n, s.eli, 1);
        requireRows(B, n);
        out.leftCols(2) = B;
        if (s.vis == 1)
            for (Eigen::Index i = 0; i < n; ++i)
                out(i, 2) = ek(i, 2) - interg(ek(i, 0), ek(i, 1), s.geoid, pot_prg);
    }

    resultText(vhi, out, s).save(izhod);
}

} // namespace

bool vhDat(std::optional<PointSet>& vhi, const std::filesystem::path& file)
{
    platform::BusyBracket busy;
    try {
        PointSet read = prebsi(file);
        if (read.koo.cols() < 3)
            throw FileError("fewer than three coordinates per point");
        read.koo = read.koo.leftCols(3).eval();
        vhi = std::move(read);
        return true;
    } catch (const std::exception&) {
        error("Napacna oblika podatkov!", "Napaka pri branju datoteke");
        return false;
    }
}

bool pretvori(std::optional<PointSet>& vhi, const PretvoriSettings& s, const std::string& izhod,
              const std::filesystem::path& pot_prg)
{
    platform::BusyBracket busy;
    if (!vhi || vhi->koo.rows() == 0) {
        error("Ni podatkov! Preberi podatke iz datoteke.");
        return false;
    }
    if (s.tip_vh == s.tip_rez) {
        error("Identicna tipa koordinat! Nesmiselna pretvorba.");
        return false;
    }
    if (izhod.empty()) {
        error("Izberi izhodno datoteko!");
        return false;
    }
    try {
        convert(*vhi, s, izhod, pot_prg);
    } catch (const std::exception&) {
        error("Napaka pri pri pretvorbi koordinat!");
        return false;
    }
    return true;
}

} // namespace kolmo
