#include "reports/izpis_skupno.h"

#include "geodesy/dms.h"
#include "platform/cp1250.h"
#include "platform/errors.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <unordered_map>

namespace kolmo::izpis {
namespace {

// printf of one conversion `pretvorba` (a complete "%...x" text) with one value.
template <class T>
std::string enaPretvorba(const std::string& pretvorba, T v)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(nullptr, 0, pretvorba.c_str(), v);
    if (n <= 0)
        return {};
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(s.data(), s.size(), pretvorba.c_str(), v);
#pragma GCC diagnostic pop
    s.resize(static_cast<std::size_t>(n));
    return s;
}

const char* besedaZa(double v)
{
    if (std::isnan(v))
        return "NaN";
    return v > 0 ? "Inf" : "-Inf";
}

} // namespace

void Izpis::posebna(const char* utf8Format, std::initializer_list<Arg> args)
{
    const std::string fmt = platform::toCp1250(utf8Format);
    std::string out;
    auto arg = args.begin();
    for (std::size_t p = 0; p < fmt.size();) {
        if (fmt[p] != '%') {
            out += fmt[p++];
            continue;
        }
        if (p + 1 < fmt.size() && fmt[p + 1] == '%') {
            out += '%';
            p += 2;
            continue;
        }
        // %[flags][width][.precision]conversion
        std::size_t q = p + 1;
        std::string zastavice;
        while (q < fmt.size() && std::string_view("-+ #0").find(fmt[q]) != std::string_view::npos)
            zastavice += fmt[q++];
        std::string sirina;
        while (q < fmt.size() && fmt[q] >= '0' && fmt[q] <= '9')
            sirina += fmt[q++];
        std::string natancnost;
        if (q < fmt.size() && fmt[q] == '.') {
            natancnost += fmt[q++];
            while (q < fmt.size() && fmt[q] >= '0' && fmt[q] <= '9')
                natancnost += fmt[q++];
        }
        if (q >= fmt.size())
            throw std::logic_error("report format ends inside a conversion");
        const char pretvorba = fmt[q];
        p = q + 1;
        if (arg == args.end())
            throw std::logic_error("report format has more conversions than values");
        const Arg& a = *arg++;
        const std::string glava = "%" + zastavice + sirina;

        if (pretvorba == 's') {
            if (a.vrsta != Arg::Vrsta::niz)
                throw std::logic_error("report format: %s needs text");
            out += enaPretvorba(glava + natancnost + "s", a.s);
            continue;
        }
        const bool celostevilska = std::string_view("di").find(pretvorba) != std::string_view::npos;
        const bool realna = std::string_view("feEgG").find(pretvorba) != std::string_view::npos;
        if ((!celostevilska && !realna) || a.vrsta == Arg::Vrsta::niz)
            throw std::logic_error("report format: unsupported conversion or value");
        const double v = a.vrsta == Arg::Vrsta::celo ? static_cast<double>(a.c) : a.r;
        if (a.vrsta == Arg::Vrsta::realno && !std::isfinite(v)) {
            // The word takes the field width; a '-' flag keeps it left-aligned.
            const std::string levo = zastavice.find('-') != std::string::npos ? "-" : "";
            out += enaPretvorba("%" + levo + sirina + "s", besedaZa(v));
        } else if (realna) {
            out += enaPretvorba(glava + natancnost + pretvorba, v);
        } else if (a.vrsta == Arg::Vrsta::celo) {
            out += enaPretvorba(glava + natancnost + "lld", a.c);
        } else if (std::fabs(v) < 9.0e18) {
            out += enaPretvorba(glava + natancnost + "lld", static_cast<long long>(v));
        } else {
            out += enaPretvorba(glava + ".0f", v);
        }
    }
    if (arg != args.end())
        throw std::logic_error("report format has fewer conversions than values");
    rf_.raw(out);
}

void preveri(bool pogoj, const char* kaj)
{
    if (!pogoj)
        throw Error(std::string("report input does not fit: ") + kaj);
}

std::vector<ParVeznih> pariVeznih(const Names& vezne, const Names& konec, const Names& zacetek)
{
    // Rows by name, ascending, only for the common names.
    std::unordered_map<std::string, std::pair<std::vector<Eigen::Index>, std::vector<Eigen::Index>>> vrstice;
    for (const auto& n : vezne)
        vrstice.try_emplace(n);
    for (std::size_t j = 0; j < konec.size(); ++j)
        if (auto it = vrstice.find(konec[j]); it != vrstice.end())
            it->second.first.push_back(static_cast<Eigen::Index>(j));
    for (std::size_t k = 0; k < zacetek.size(); ++k)
        if (auto it = vrstice.find(zacetek[k]); it != vrstice.end())
            it->second.second.push_back(static_cast<Eigen::Index>(k));

    std::vector<ParVeznih> pari;
    for (std::size_t c = 0; c < vezne.size(); ++c) {
        const auto& [js, ks] = vrstice.at(vezne[c]);
        for (Eigen::Index j : js)
            for (Eigen::Index k : ks)
                pari.push_back({static_cast<Eigen::Index>(c), j, k});
    }
    return pari;
}

void Odstopanja::nastavi(Eigen::Index c, double v)
{
    const auto i = static_cast<std::size_t>(c);
    if (v_.size() <= i)
        v_.resize(i + 1, 0.0);
    v_[i] = v;
}

namespace {

struct Povzetek {
    double min, max, sr, srAbs;
};

// Minimum and maximum pass over NaN values (NaN only when all are NaN);
// the means include them.
Povzetek povzemi(const std::vector<double>& v)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Povzetek p{nan, nan, nan, nan};
    if (v.empty())
        return p;
    double vsota = 0, vsotaAbs = 0;
    for (double x : v) {
        if (!std::isnan(x)) {
            p.min = std::isnan(p.min) ? x : std::min(p.min, x);
            p.max = std::isnan(p.max) ? x : std::max(p.max, x);
        }
        vsota += x;
        vsotaAbs += std::fabs(x);
    }
    const double n = static_cast<double>(v.size());
    p.sr = vsota / n;
    p.srAbs = vsotaAbs / n;
    return p;
}

} // namespace

void statistika(Izpis& out, const std::vector<const Odstopanja*>& stolpci, const char* crta)
{
    if (stolpci.size() != 2 && stolpci.size() != 3)
        throw std::logic_error("statistics take two or three columns");
    std::vector<Povzetek> p;
    for (const auto* s : stolpci)
        p.push_back(povzemi(s->vrednosti()));
    out("\n\nNajmanjše in največje vrednosti odstopanj (v cm):");
    if (p.size() == 3) {
        out("\nmin       %6.1f   %6.1f   %6.1f", p[0].min * 100, p[1].min * 100, p[2].min * 100);
        out("\nmax       %6.1f   %6.1f   %6.1f", p[0].max * 100, p[1].max * 100, p[2].max * 100);
        out(crta);
        out("\nsr.v.      %5.1f    %5.1f    %5.1f", p[0].sr * 100, p[1].sr * 100, p[2].sr * 100);
        out("\nsr.v.(abs) %5.1f    %5.1f    %5.1f", p[0].srAbs * 100, p[1].srAbs * 100, p[2].srAbs * 100);
    } else {
        out("\nmin       %6.1f   %6.1f", p[0].min * 100, p[1].min * 100);
        out("\nmax       %6.1f   %6.1f", p[0].max * 100, p[1].max * 100);
        out(crta);
        out("\nsr.v.      %5.1f    %5.1f", p[0].sr * 100, p[1].sr * 100);
        out("\nsr.v.(abs) %5.1f    %5.1f", p[0].srAbs * 100, p[1].srAbs * 100);
    }
}

void vrsticaDms(Izpis& out, const char* fmt, const char* imeTocke, double fi, double la,
                std::initializer_list<double> ostalo)
{
    if (ostalo.size() != 1 && ostalo.size() != 4)
        throw std::logic_error("a degree row takes one or four further values");
    const auto a = dms(fi);
    const auto b = dms(la);
    const auto vInt = [](double x) { return std::isfinite(x) && std::fabs(x) < 1.0e9; };
    const double* o = ostalo.begin();
    if (vInt(a[0]) && vInt(a[1]) && vInt(b[0]) && vInt(b[1])) {
        const int ad = static_cast<int>(a[0]), am = static_cast<int>(a[1]);
        const int bd = static_cast<int>(b[0]), bm = static_cast<int>(b[1]);
        if (ostalo.size() == 1)
            out(fmt, imeTocke, ad, am, a[2], bd, bm, b[2], o[0]);
        else
            out(fmt, imeTocke, ad, am, a[2], bd, bm, b[2], o[0], o[1], o[2], o[3]);
    } else if (ostalo.size() == 1) {
        out.zapisi(fmt, {imeTocke, a[0], a[1], a[2], b[0], b[1], b[2], o[0]});
    } else {
        out.zapisi(fmt, {imeTocke, a[0], a[1], a[2], b[0], b[1], b[2], o[0], o[1], o[2], o[3]});
    }
}

} // namespace kolmo::izpis

namespace kolmo::izpis {

void visinskiModel(Izpis& out, int geoid)
{
    out("\nVišinski model: ");
    out(geoid == 1 ? "SVS2010 (Koper)" : "SVS2000 (Trst)");
}

const char* daNe(int helm) { return helm == 1 ? "DA" : "NE"; }

void vezneTocke(Izpis& out, const Names& vezne)
{
    out("\n\nVezne točke za izračun transformacijskih parametrov:\n");
    for (const auto& n : vezne)
        out("%-8s ", n.c_str());
}

void datoteke(Izpis& out, const std::string& a, const std::string& b)
{
    if (b.empty()) {
        out("\n\nVhodna datoteka: %s (Varnik)\n", a.c_str());
    } else {
        out("\n\nDatoteka s podatki v začetnem datumu: %s\n", a.c_str());
        out("Datoteka s podatki v končnem datumu: %s\n", b.c_str());
    }
}

void zunajSlo(Izpis& out, double N)
{
    if (N < 40)
        out(" * zunaj SLO");
}

} // namespace kolmo::izpis
