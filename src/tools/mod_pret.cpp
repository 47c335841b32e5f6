#include "tools/mod_pret.h"

#include "app/izracun.h"

#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "geodesy/interg.h"
#include "input/prebsi.h"
#include "input/value_checks.h"
#include "platform/cause.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "tools/fixed_text.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace kolmo {
namespace {

constexpr double kZoneOffset = 5000000.0;

void error(const char* message, const char* title = "Napaka") { platform::dialogs().errorBox(message, title); }

// One line per point in the layouts of the tool's result file:
//   "Elipsoidne"                 "%-12s %12.9f %14.9f %12.3f\n"  name, fi, la, h
//   "3R-Kartezične"              "%-12s %10.3f %12.3f %12.3f\n"  name, X, Y, Z
//   "Ravninske (x,y)" / "(y,x)"  "%-12s %10.3f %12.3f %12.3f\n"  name, x, y, H (or y, x, H)
//                        "brez"  "%-12s %10.3f %12.3f\n"         name, x, y (or y, x)
// The text is ASCII apart from the names, which are written as the bytes they
// came with, so it is Windows-1250 as it stands.  Formatted by appendFixed,
// which writes what printf writes, at a fraction of its cost.
class ResultLines {
public:
    explicit ResultLines(const PretvoriSettings& s)
        : swap_(s.tip_rez == 4), heights_(s.tip_rez <= 2 || s.vis != 3), w1_(s.tip_rez == 1 ? 12 : 10),
          w2_(s.tip_rez == 1 ? 14 : 12), p12_(s.tip_rez == 1 ? 9 : 3)
    {
    }
    void add(std::string& chunk, const std::string& name, double a, double b, double c) const
    {
        appendPadded(chunk, name.c_str(), 12);
        chunk += ' ';
        appendFixed(chunk, swap_ ? b : a, w1_, p12_);
        chunk += ' ';
        appendFixed(chunk, swap_ ? a : b, w2_, p12_);
        if (heights_) {
            chunk += ' ';
            appendFixed(chunk, c, 12, 3);
        }
        chunk += '\n';
    }

private:
    bool swap_, heights_;
    int w1_, w2_, p12_;
};

// The conversion streams its points: every point goes through latitude,
// longitude and height on the ellipsoid and out again, and its line goes to
// the result file as it is made, so that nothing but the input points is held.
// The failures come in the order of a conversion stage by stage over all
// points: first the input conversion (a point outside the zone, the centre of
// the Earth), then a point outside the zone of the output projection, then
// the geoid model's file; only then is the result file made.
void convert(PointSet& vhi, const PretvoriSettings& s, const std::string& izhod, const std::filesystem::path& pot_prg,
             PointSink* sink)
{
    Mat& koo = vhi.koo;
    const Eigen::Index n = koo.rows();
    if (koo.cols() < 3 || static_cast<Eigen::Index>(vhi.ime.size()) != n)
        throw platform::Bilingual<Error>("the conversion needs a name and three coordinates per point",
                                         "pretvorba potrebuje ime in tri koordinate vsake točke");
    if (s.tip_vh < 1 || s.tip_vh > 3 || s.tip_rez < 1 || s.tip_rez > 4 || s.vis < 1 || s.vis > 3)
        throw Error("unknown choice code");

    if (s.tip_vh == 1)
        if (const auto bad = impossibleValue(koo, true, -1, 0))
            throw platform::Bilingual<Error>("point " + vhi.ime[static_cast<std::size_t>(bad->row)] + " (row " +
                                                 std::to_string(bad->row + 1) + "): " + bad->what,
                                             "točka " + vhi.ime[static_cast<std::size_t>(bad->row)] + " (" +
                                                 std::to_string(bad->row + 1) + ". vrstica): " + bad->slovene);

    // Plane coordinates written with the zone digit 5 in front.
    if (s.tip_vh == 3)
        for (Eigen::Index i = 0; i < n; ++i)
            for (Eigen::Index j = 0; j < 2; ++j)
                if (koo(i, j) > kZoneOffset)
                    koo(i, j) -= kZoneOffset;

    const ZoneProjection plane(s.eli, 1);
    const CartesianConversion cartesian(s.eli);
    // Latitude, longitude and height on the ellipsoid of point i.
    const auto ellipsoidal = [&](Eigen::Index i, double& fi, double& la, double& h) {
        if (s.tip_vh == 2) {
            cartesian.toEllipsoidal(koo(i, 0), koo(i, 1), koo(i, 2), fi, la, h, i);
            return;
        }
        fi = koo(i, 0);
        la = koo(i, 1);
        h = koo(i, 2);
        if (s.tip_vh == 3 && !plane.toGeodetic(koo(i, 0), koo(i, 1), fi, la)) {
            ZoneProjection::planeBox(i, koo(i, 0), koo(i, 1));
            throw platform::Bilingual<ComputationError>("conversion stopped before the last point",
                                                        "pretvorba se je ustavila pred zadnjo točko");
        }
    };

    // The input conversion of every point, and the first point the output
    // projection would refuse.
    Eigen::Index outsideRow = -1;
    double outsideLongitude = 0;
    for (Eigen::Index i = 0; i < n; ++i) {
        double fi, la, h;
        ellipsoidal(i, fi, la, h);
        if (s.tip_rez >= 3 && outsideRow < 0 && !ZoneProjection::inLongitudes(la)) {
            outsideRow = i;
            outsideLongitude = la;
        }
    }
    if (outsideRow >= 0) {
        ZoneProjection::longitudeBox(outsideRow, outsideLongitude);
        throw platform::Bilingual<ComputationError>("conversion stopped before the last point",
                                                    "pretvorba se je ustavila pred zadnjo točko");
    }

    const bool toEllipsoidal = s.tip_rez == 1 && s.vis == 2 && s.tip_vh == 3; // H + N
    const bool toSeaLevel = s.tip_rez >= 3 && s.vis == 1;                     // h - N
    const bool geoidHeights = toEllipsoidal || toSeaLevel;
    if (geoidHeights) {
        // The model is loaded (or its file refused) before the result file is made.
        if (s.geoid == 1)
            (void)vrp2016Model(pot_prg);
        else
            (void)amg2000Model(pot_prg);
    }

    std::optional<platform::FileWriter> file;
    if (sink)
        sink->begin(s.tip_rez == 1 ? 1 : 2, s.tip_rez <= 2 || s.vis != 3);
    else
        file.emplace(izhod == "-" ? platform::FileWriter::standardOutput() : platform::FileWriter(izhod));
    const ResultLines lines(s);
    Names outside;
    std::string chunk;
    for (Eigen::Index i = 0; i < n; ++i) {
        double fi, la, h;
        ellipsoidal(i, fi, la, h);
        double a = fi, b = la, c = h;
        if (toEllipsoidal)
            c = h + interg(fi, la, s.geoid, pot_prg);
        if (s.tip_rez == 2) {
            cartesian.toCartesian(fi, la, h, a, b, c);
        } else if (s.tip_rez >= 3) {
            plane.toPlane(fi, la, a, b);
            if (toSeaLevel)
                c = h - interg(fi, la, s.geoid, pot_prg);
        }
        if (geoidHeights && std::isnan(c))
            outside.push_back(vhi.ime[static_cast<std::size_t>(i)]);
        if (sink) {
            sink->point(vhi.ime[static_cast<std::size_t>(i)], a, b, c);
            continue;
        }
        lines.add(chunk, vhi.ime[static_cast<std::size_t>(i)], a, b, c);
        if (chunk.size() > (1u << 16)) {
            file->write(chunk);
            chunk.clear();
        }
    }
    if (file) {
        file->write(chunk);
        file->commit();
    }

    if (geoidHeights)
        warnOutsideGeoidModel(outside, s.geoid);
}

} // namespace

bool vhDat(std::optional<PointSet>& vhi, const std::filesystem::path& file, ReadNotes* notes,
           std::optional<bool> csv)
{
    platform::BusyBracket busy;
    ReadNotes read;
    const std::string source = file == "-" ? std::string("standard input") : file.string();
    try {
        PointFileOptions options;
        options.csv = csv;
        options.keep = 3; // the conversion uses three coordinates: the rest is not kept
        PointSet points = prebsi(file, &read, options);
        if (points.koo.cols() < 3)
            throw platform::Bilingual<FileError>(
                source + ": " + std::to_string(points.koo.cols()) + " number(s) per point, three coordinates needed",
                source + ": števil na točko je " + std::to_string(points.koo.cols()) + ", potrebne so tri koordinate");
        if (read.width == 2)
            points.koo.col(2).setZero();
        vhi = std::move(points);
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Napacna oblika podatkov!", "Napaka pri branju datoteke");
        return false;
    }
    if (read.width == 2)
        platform::dialogs().warning("Datoteka ima le dve števili na točko; tretja koordinata je 0!",
                                    platform::causeLanguage() == platform::Language::Slovene
                                        ? source + ": dve števili na točko; tretja koordinata (višina) je 0, "
                                                   "ne enotski standardni odklon, ki ga branje doda ravninskim točkam"
                                        : source + ": two numbers per point; the third coordinate (the height) "
                                                   "is taken as 0, not as the unit standard deviation that "
                                                   "reading adds to plane point sets");
    warnShortRows(read.linesShorterThan(std::min<Eigen::Index>(read.width, 3)), std::min<Eigen::Index>(read.width, 3),
                  source);
    if (notes)
        *notes = std::move(read);
    return true;
}

bool pretvori(std::optional<PointSet>& vhi, const PretvoriSettings& s, const std::string& izhod,
              const std::filesystem::path& pot_prg, const std::vector<std::filesystem::path>& inputs, PointSink* sink)
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
        if (izhod != "-" && platform::sameOutput(izhod, input)) {
            platform::dialogs().errorBox(platform::kOutputIsInput, "Napaka",
                                         izhod + " is the input " + input.string());
            return false;
        }
    try {
        convert(*vhi, s, izhod, pot_prg, sink);
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Napaka pri pri pretvorbi koordinat!", "Napaka");
        return false;
    }
    return true;
}

} // namespace kolmo
