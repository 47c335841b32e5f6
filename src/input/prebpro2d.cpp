#include "input/prebpro2d.h"

#include "input/varnik_lines.h"
#include "platform/errors.h"
#include "platform/textread.h"

namespace kolmo {
namespace {

void addPoint(varnik::PointSetBuilder& set, const platform::TextLines& lines, std::size_t k)
{
    // X s_X Y s_Y -> (X, Y, s_X, s_Y)
    auto p = varnik::splitPointLine(lines, k, 4);
    varnik::checkStandardDeviations(lines, k, p, {1, 3});
    const auto& v = p.values;
    set.add(std::move(p.name), {v[0], v[2], v[1], v[3]});
}

} // namespace

Varnik2d prebpro2dLines(const platform::TextLines& lines)
{
    using varnik::beginsWith;
    using varnik::lineAt;
    std::size_t vrst = 2;  // line 3 of the file
    varnik::PointSetBuilder vhv(4);
    for (; !beginsWith(lineAt(lines, vrst), "*I"); ++vrst)
        addPoint(vhv, lines, vrst);

    varnik::PointSetBuilder vhi(4);
    for (vrst += 2; !beginsWith(lineAt(lines, vrst), "*R") && !beginsWith(lines.lines[vrst], "*T"); ++vrst)
        addPoint(vhi, lines, vrst);

    Varnik2d out;
    out.vhv = vhv.take(0);
    out.vhi = vhi.take(0);
    return out;
}

Varnik2d prebpro2dText(std::string_view text)
{
    return prebpro2dLines(platform::splitTextLines(text));
}

Varnik2d prebpro2d(const std::filesystem::path& dat)
{
    return prebpro2dLines(platform::readTextLines(dat));
}

} // namespace kolmo
