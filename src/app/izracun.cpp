#include "app/izracun.h"

#include "app/t_priprava.h"
#include "engine/par2d_p.h"
#include "engine/par3d_7.h"
#include "engine/tran2d_p.h"
#include "engine/tran3d_7.h"
#include "geodesy/elipgk.h"
#include "geodesy/interg.h"
#include "input/value_checks.h"
#include "platform/cp1250.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/files.h"
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

void checkParameters(const Vec& PAR, Eigen::Index n)
{
    if (PAR.size() != n)
        throw ComputationError("the current parameters do not belong to this transformation (" +
                               std::to_string(PAR.size()) + " values, " + std::to_string(n) + " needed)");
    if (const auto why = impossibleScale(PAR))
        throw ComputationError(*why);
}

// Refuses a point set that holds a value no survey can have.
void checkValues(const PointSet& p, int transformationType, const char* which)
{
    if (const auto bad = impossibleValue(p, transformationType, p.tip == 1)) {
        const auto row = static_cast<std::size_t>(bad->row);
        throw ComputationError(std::string(which) + ", point " + platform::fromCp1250(p.ime.at(row)) + " (row " +
                               std::to_string(row + 1) + "): " + bad->what);
    }
}

// Conversions D96/fi_la <-> D96/TM with geoid heights (types 4 and 5).
void pretvorbaD96(AppState& s, const MainInputs& in, int geoid, IzracunResult& out)
{
    try {
        const PointSet& vhi = *s.vhi;
        const Eigen::Index n1 = vhi.koo.rows();
        if (vhi.koo.cols() < 3)
            throw ComputationError("the conversion needs three columns, the points have " +
                                   std::to_string(vhi.koo.cols()));
        checkValues(vhi, s.t_tr.tip, "start points");
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
        }
        out.ok = true;
        warnOutsideGeoidModel(namesWithoutHeight(vhi.ime, rez.koo, 3), geoid);
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Preveri podatke!", "Napaka v pretvorbi");
    }
}

void prostorska(AppState& s, const MainInputs& in, IzracunResult& out)
{
    checkValues(*s.vhi, 1, "start points");
    if (s.t_tr.izr != 2)
        checkValues(*s.vhv, 1, "end points");
    PointSet vhi = *s.vhi;
    PointSet vhv = *s.vhv;
    TTr t_tr = s.t_tr;
    t_priprava(vhi, vhv, *s.rez, t_tr);
    s.vhi = vhi;
    s.vhv = vhv;
    s.t_tr = t_tr;

    if (s.t_tr.izr != 2) {
        out.est3d = par3d_7(*s.vhi, *s.vhv);
        s.PAR = out.est3d->PAR;
    }
    if (s.t_tr.izr != 3) {
        checkParameters(s.PAR, 7);
        s.rez = tran3d_7(*s.vhi, *s.vhv, *s.rez, s.PAR, s.t_tr, s.pot_prg);
    }
    out.report = in.workDir / in.izhod;
    switch (s.t_tr.izr) {
    case 1:
        s.prik = prik_izr(*s.vhi, *s.vhv, *s.rez, out.est3d->vezne);
        s.prik->grobi = grobi3d(*out.est3d);
        izpis3d_p(out.report, in.data, *s.vhi, *s.vhv, *s.rez, s.t_tr, s.PAR, *out.est3d, *s.prik, in.redXY);
        break;
    case 2:
        izpis3d_a(out.report, in.data, *s.vhi, *s.rez, s.t_tr, s.PAR, in.redXY);
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
    checkValues(*s.vhi, s.t_tr.tip, "start points");
    if (s.t_tr.izr != 2)
        checkValues(*s.vhv, s.t_tr.tip, "end points");
    PointSet vhi = *s.vhi;
    PointSet vhv = *s.vhv;
    t_priprava2d(vhi, vhv, s.t_tr);
    s.vhi = vhi;
    s.vhv = vhv;

    const int npar = s.t_tr.tip == 2 ? 4 : 6;
    if (s.t_tr.izr != 2) {
        out.est2d = par2d_p(*s.vhi, *s.vhv, npar);
        s.PAR = out.est2d->PAR;
    }
    if (s.t_tr.izr != 3) {
        checkParameters(s.PAR, npar);
        s.rez = tran2d_p(*s.vhi, s.PAR, npar);
    }
    out.report = in.workDir / in.izhod;
    switch (s.t_tr.izr) {
    case 1:
        s.prik = prik_izr2(*s.vhi, *s.vhv, *s.rez, out.est2d->vezne);
        s.prik->grobi = grobi2d(*out.est2d, npar);
        izpis2d_p(out.report, in.data, *s.vhi, *s.vhv, *s.rez, npar, s.t_tr, s.PAR, *out.est2d, *s.prik, in.redXY);
        break;
    case 2:
        izpis2d_a(out.report, in.data, *s.vhi, *s.vhv, *s.rez, npar, s.PAR, in.redXY);
        break;
    default:
        izpis2d_b(out.report, in.data, *s.vhi, *s.vhv, npar, s.t_tr, s.PAR, *out.est2d);
        break;
    }
}

// The input that `output` would overwrite, if any.
std::optional<std::filesystem::path> inputOverwritten(const std::filesystem::path& output,
                                                      const std::vector<std::filesystem::path>& inputs)
{
    for (const auto& input : inputs)
        if (platform::sameFile(output, input))
            return input;
    return std::nullopt;
}

// "par" after a number in Slovene: 1 par, 2 para, 3 and 4 pari, 5 parov (by
// the last two digits: 101 par, 102 para, 111 parov).
std::string pairsText(std::uint64_t n)
{
    const auto last = n % 100;
    const char* word = last == 1 ? "par" : last == 2 ? "para" : (last == 3 || last == 4) ? "pari" : "parov";
    return std::to_string(n) + " " + word;
}

// The box lists the first names one per line; the pairs beyond them are
// counted on a last line, so that a file of one name repeated 100 000 times
// gives a box of 101 lines, not one of 5 000 million.
std::string duplicateMessage(const Duplicates& dup)
{
    std::string text;
    for (const auto& n : dup.names) {
        if (!text.empty())
            text += '\n';
        text += platform::fromCp1250(n);
    }
    if (dup.pairs > dup.names.size())
        text += "\n... in še " + pairsText(dup.pairs - dup.names.size());
    return text;
}

std::string duplicateDetails(const Duplicates& dup, const PointSet& p)
{
    return std::to_string(dup.pairs) + " pair(s) of points with the same name or the same first two coordinates among " +
           std::to_string(p.ime.size()) + " points";
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
        d.errorBox(duplicateMessage(dup), "Podvojene tocke v zac.dat.", duplicateDetails(dup, *s.vhi));
        return out;
    }
    if (s.t_tr.izr != 2) {
        if (const Duplicates dup = duplicatePoints(*s.vhv); dup.pairs > 0) {
            d.errorBox(duplicateMessage(dup), "Podvojene tocke v kon.dat.", duplicateDetails(dup, *s.vhv));
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
        if (s.t_tr.tip == 1)
            prostorska(s, in, out);
        else
            ravninska(s, in, out);
        out.ok = true;
        out.enablePrikazi = s.t_tr.izr == 1;
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Preveri podatke ali izberi pravilne nastavitve!", "Napaka v izracunu");
    }
    return out;
}

} // namespace kolmo
