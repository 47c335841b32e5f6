#include "tools/mod_intg.h"

#include "geodesy/elipgk.h"
#include "geodesy/interg.h"
#include "platform/dialogs.h"
#include "platform/numtext.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <exception>
#include <tuple>

namespace kolmo::tools {

namespace {

constexpr const char* kTitle = "Napaka";

// Limits of both geoid models as the tool accepts them.
constexpr double kFiMin = 45.25, kFiMax = 46.99992, kLaMin = 13.25, kLaMax = 16.75;

std::nullopt_t refuse(const char* message, const std::string& details = {})
{
    platform::dialogs().errorBox(message, kTitle, details);
    return std::nullopt;
}

// The cause line of "Zunaj meja modela geoida": the point and the bounds.
std::string outsideDetails(const IntgResult& r, const char* model)
{
    char text[300];
    std::snprintf(text, sizeof text,
                  "latitude %.6f, longitude %.6f deg is outside the model %s: latitude %.2f to %.5f, longitude "
                  "%.2f to %.2f deg",
                  r.fi, r.la, model, kFiMin, kFiMax, kLaMin, kLaMax);
    return text;
}

} // namespace

std::optional<double> fieldNumber(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return std::nullopt;
    const auto last = text.find_last_not_of(" \t\r\n");
    std::string s(text.substr(first, last - first + 1));
    for (char& c : s)
        if (c == ',')
            c = '.';
    return platform::parseNumber(s);
}

std::optional<IntgResult> mod_intg_izracunaj(const IntgInput& in, const std::filesystem::path& pot_prg)
{
    platform::BusyBracket busy;
    const auto c1 = fieldNumber(in.fi), c2 = fieldNumber(in.la);
    const auto vish = fieldNumber(in.vish), visH = fieldNumber(in.visH);
    if (vish && visH)
        return refuse("Vnesi samo eno visino (h ali H)!");
    if (!c1 || !c2)
        return refuse("Vnesi koordinate tocke!");

    IntgResult r;
    if (*c1 > 50 || *c2 > 20) {
        Mat T(1, 2);
        T << *c1, *c2;
        std::tie(r.fi, r.la) = tmelip(T);
    } else {
        r.fi = *c1;
        r.la = *c2;
    }
    // Written so that a NaN (plane coordinates far off the projection) fails too.
    const char* model = in.geoid == 2 ? "AMG2000 (SVS2000)" : "VRP2016 (SVS2010)";
    if (!(r.fi >= kFiMin && r.fi <= kFiMax && r.la >= kLaMin && r.la <= kLaMax))
        return refuse("Zunaj meja modela geoida", outsideDetails(r, model));

    try {
        r.Ng = interg(r.fi, r.la, in.geoid, pot_prg);
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Napaka v izracunu. Preveri podatke!", kTitle);
        return std::nullopt;
    }
    // Inside the limits but outside the model's data (AMG2000 covers only the
    // hull of its points): there is no geoid height to show.
    if (std::isnan(r.Ng))
        return refuse("Zunaj meja modela geoida",
                      outsideDetails(r, model) + "; within them, but outside the area its data cover");

    if (vish) {
        r.visina = *vish - r.Ng;
        r.label = "H (m):";
    } else if (visH) {
        r.visina = *visH + r.Ng;
        r.label = "h (m):";
    }
    return r;
}

} // namespace kolmo::tools
