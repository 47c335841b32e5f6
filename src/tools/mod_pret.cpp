#include "tools/mod_pret.h"

#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "geodesy/interg.h"
#include "input/prebsi.h"
#include "input/value_checks.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "reports/report_file.h"
#include "tools/fixed_text.h"

#include <algorithm>
#include <cmath>
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

// One line per point in the layouts of the tool's result file:
//   "Elipsoidne"                 "%-12s %12.9f %14.9f %12.3f\n"  name, fi, la, h
//   "3R-Kartezične"              "%-12s %10.3f %12.3f %12.3f\n"  name, X, Y, Z
//   "Ravninske (x,y)" / "(y,x)"  "%-12s %10.3f %12.3f %12.3f\n"  name, x, y, H (or y, x, H)
//                        "brez"  "%-12s %10.3f %12.3f\n"         name, x, y (or y, x)
// The text is ASCII apart from the names, which are written as the bytes they
// came with, so it is Windows-1250 as it stands.  Formatted by appendFixed,
// which writes what printf writes, at a fraction of its cost.
ReportFile resultText(const PointSet& vhi, const Mat& koo, const PretvoriSettings& s)
{
    if (s.tip_rez < 1 || s.tip_rez > 4)
        throw Error("unknown result type");
    const bool swap = s.tip_rez == 4;
    const bool heights = s.tip_rez <= 2 || s.vis != 3;
    const int w1 = s.tip_rez == 1 ? 12 : 10, w2 = s.tip_rez == 1 ? 14 : 12;
    const int p12 = s.tip_rez == 1 ? 9 : 3;

    ReportFile out;
    std::string chunk;
    const Eigen::Index n = koo.rows();
    for (Eigen::Index i = 0; i < n; ++i) {
        appendPadded(chunk, vhi.ime[static_cast<std::size_t>(i)].c_str(), 12);
        chunk += ' ';
        appendFixed(chunk, koo(i, swap ? 1 : 0), w1, p12);
        chunk += ' ';
        appendFixed(chunk, koo(i, swap ? 0 : 1), w2, p12);
        if (heights) {
            chunk += ' ';
            appendFixed(chunk, koo(i, 2), 12, 3);
        }
        chunk += '\n';
        if (chunk.size() > (1u << 16)) {
            out.raw(chunk);
            chunk.clear();
        }
    }
    out.raw(chunk);
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

    if (s.tip_vh == 1)
        if (const auto bad = impossibleValue(koo, true, -1, 0))
            throw Error("point " + vhi.ime[static_cast<std::size_t>(bad->row)] + " (row " +
                        std::to_string(bad->row + 1) + "): " + bad->what);

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
    const bool geoidHeights = (s.tip_rez == 1 && s.vis == 2 && s.tip_vh == 3) || (s.tip_rez >= 3 && s.vis == 1);
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

    if (geoidHeights) {
        Names outside;
        for (Eigen::Index i = 0; i < n; ++i)
            if (std::isnan(out(i, 2)))
                outside.push_back(vhi.ime[static_cast<std::size_t>(i)]);
        warnOutsideGeoidModel(outside, s.geoid);
    }
}

} // namespace

bool vhDat(std::optional<PointSet>& vhi, const std::filesystem::path& file, ReadNotes* notes)
{
    platform::BusyBracket busy;
    ReadNotes read;
    try {
        PointSet points = prebsi(file, &read);
        if (points.koo.cols() < 3)
            throw FileError(file.string() + ": " + std::to_string(points.koo.cols()) +
                            " number(s) per point, three coordinates needed");
        points.koo = points.koo.leftCols(3).eval();
        if (read.width == 2)
            points.koo.col(2).setZero();
        vhi = std::move(points);
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Napacna oblika podatkov!", "Napaka pri branju datoteke");
        return false;
    }
    if (read.width == 2)
        platform::dialogs().warning("Datoteka ima le dve števili na točko; tretja koordinata je 0!",
                                    file.string() + ": two numbers per point; the third coordinate (the height) "
                                                    "is taken as 0, not as the unit standard deviation that "
                                                    "reading adds to plane point sets");
    warnShortRows(read.linesShorterThan(std::min<Eigen::Index>(read.width, 3)), std::min<Eigen::Index>(read.width, 3),
                  file.string());
    if (notes)
        *notes = std::move(read);
    return true;
}

bool pretvori(std::optional<PointSet>& vhi, const PretvoriSettings& s, const std::string& izhod,
              const std::filesystem::path& pot_prg, const std::vector<std::filesystem::path>& inputs)
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
    for (const auto& input : inputs)
        if (platform::sameFile(izhod, input)) {
            platform::dialogs().errorBox(platform::kOutputIsInput, "Napaka",
                                         izhod + " is the input " + input.string());
            return false;
        }
    try {
        convert(*vhi, s, izhod, pot_prg);
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Napaka pri pri pretvorbi koordinat!", "Napaka");
        return false;
    }
    return true;
}

} // namespace kolmo
