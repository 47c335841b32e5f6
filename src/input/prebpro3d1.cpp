#include "input/prebpro3d1.h"

#include "input/varnik_lines.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/textread.h"

namespace kolmo {
namespace {

using varnik::beginsWith;
using varnik::lineAt;

// Coordinate type of the three header lines starting at line k (0-based).
int headerType(const platform::TextLines& lines, std::size_t k)
{
    const auto& h1 = lineAt(lines, k);
    const auto& h2 = lineAt(lines, k + 1);
    const auto& h3 = lineAt(lines, k + 2);
    const bool wgsOrGrs = beginsWith(h3, "W") || beginsWith(h3, "G");
    if (beginsWith(h1, "E") && beginsWith(h2, "E") && wgsOrGrs)
        return 1;
    if (beginsWith(h1, "G M") && beginsWith(h2, "O")) {
        if (wgsOrGrs)
            return 2;
        if (beginsWith(h3, "B"))
            return 3;
    }
    const std::string why = lines.where(k) + ": the type header '" + h1.substr(0, 20) + "' / '" + h2.substr(0, 20) +
                            "' / '" + h3.substr(0, 20) + "' names no coordinate type";
    platform::dialogs().errorBox("Napacen tip koordinat!", "Napaka", why);
    throw FileError(why);
}

void addPoint(varnik::PointSetBuilder& set, int tip, const platform::TextLines& lines, std::size_t k)
{
    if (tip == 1) {
        // fi d m s s_fi  la d m s s_la  h s_h
        auto p = varnik::splitPointLine(lines, k, 10);
        const auto& v = p.values;
        varnik::checkMinutesSeconds(lines, k, p, 1, "latitude");
        varnik::checkMinutesSeconds(lines, k, p, 5, "longitude");
        varnik::checkStandardDeviations(lines, k, p, {3, 7, 9});
        const double fi = v[0] + v[1] / 60.0 + v[2] / 3600.0;
        const double la = v[4] + v[5] / 60.0 + v[6] / 3600.0;
        varnik::checkLatitude(lines, k, p, fi);
        set.add(std::move(p.name), {fi, la, v[8], v[3], v[7], v[9]});
    } else {
        // y s_y x s_x H s_H: the easting comes first
        auto p = varnik::splitPointLine(lines, k, 6);
        const auto& v = p.values;
        varnik::checkStandardDeviations(lines, k, p, {1, 3, 5});
        set.add(std::move(p.name), {v[2], v[0], v[4], v[3], v[1], v[5]});
    }
}

} // namespace

Varnik3d prebpro3d1Lines(const platform::TextLines& lines)
{
    // Positions are 0-based here: line 2 of the file is lines[1].
    std::size_t vrst = 1;
    const int tipV = headerType(lines, vrst);
    varnik::PointSetBuilder vhv(6);
    for (vrst = 4; !beginsWith(lineAt(lines, vrst), "*I"); ++vrst)
        addPoint(vhv, tipV, lines, vrst);

    ++vrst;  // past "*I"
    const int tipI = headerType(lines, vrst);
    varnik::PointSetBuilder vhi(6);
    for (vrst += 3; !beginsWith(lineAt(lines, vrst), "*R") && !beginsWith(lines.lines[vrst], "*T"); ++vrst)
        addPoint(vhi, tipI, lines, vrst);

    ++vrst;  // past "*R" / "*T"
    Varnik3d out;
    out.rezTip = headerType(lines, vrst);
    out.vhv = vhv.take(tipV);
    out.vhi = vhi.take(tipI);
    return out;
}

Varnik3d prebpro3d1Text(std::string_view text)
{
    return prebpro3d1Lines(platform::splitTextLines(text));
}

Varnik3d prebpro3d1(const std::filesystem::path& dat)
{
    return prebpro3d1Lines(platform::readTextLines(dat));
}

std::string varnikResultName(const std::string& fileName)
{
    const std::string name = std::filesystem::path(fileName).filename().string();
    return name.substr(0, name.find('.')) + ".str";
}

} // namespace kolmo
