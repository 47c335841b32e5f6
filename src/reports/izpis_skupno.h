// Pieces shared by every results report: the formatted writer, point-name
// matching of the comparison blocks, degree-minute-second columns and the
// residual statistics.
#pragma once

#include "platform/pointset.h"
#include "reports/report_file.h"

#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

namespace kolmo::izpis {

// One argument of a formatted line, for the slow path of Izpis.
struct Arg {
    enum class Vrsta { celo, realno, niz } vrsta;
    long long c = 0;
    double r = 0;
    const char* s = nullptr;

    Arg(int v) : vrsta(Vrsta::celo), c(v) {}
    Arg(long v) : vrsta(Vrsta::celo), c(v) {}
    Arg(long long v) : vrsta(Vrsta::celo), c(v) {}
    Arg(double v) : vrsta(Vrsta::realno), r(v) {}
    Arg(const char* v) : vrsta(Vrsta::niz), s(v) {}
};

// Text of a report, written through ReportFile: collected in memory, or
// (constructed with the report's path) streamed into the temporary file of
// its one-step writing as the rows are produced.
//
// Formats are UTF-8 literals; values are numbers and C strings.  A value that
// is not a finite number (NaN, ±Inf) is written as "NaN", "Inf" or "-Inf" in
// the field width of its conversion, as surveyors know it from the reports of
// the earlier program versions; printf alone would write "nan" or "-nan".
// Integer conversions ("%d") may be given a double holding a whole number.
class Izpis {
public:
    Izpis() = default;
    explicit Izpis(const std::filesystem::path& pot) : rf_(pot) {}

    template <class... A>
    void operator()(const char* utf8Format, A... args)
    {
        static_assert(((std::is_arithmetic_v<A> || std::is_same_v<A, const char*>) && ...),
                      "Izpis takes numbers and C strings");
        if ((navadna(args) && ...))
            rf_.print(utf8Format, args...);
        else
            posebna(utf8Format, {Arg(uredi(args))...});
    }

    // Always the slow path: for rows whose integer conversions may receive
    // doubles that do not fit an int.
    void zapisi(const char* utf8Format, std::initializer_list<Arg> args) { posebna(utf8Format, args); }

    // The text held in memory (all of it when not streamed).
    const std::string& besedilo() const { return rf_.text(); }
    // Writes the report to `pot` (replacing it); a streamed report is put in
    // place.  Throws FileError.
    void shrani(const std::filesystem::path& pot) { rf_.save(pot); }

private:
    // Integers, strings and finite doubles go straight to printf.  Doubles are
    // never given to an integer conversion on this path: callers pass ints.
    template <class T>
    static bool navadna(T v)
    {
        if constexpr (std::is_floating_point_v<T>)
            return std::isfinite(v);
        else
            return true;
    }
    template <class T>
    static auto uredi(T v)
    {
        if constexpr (std::is_floating_point_v<T>)
            return static_cast<double>(v);
        else if constexpr (std::is_integral_v<T>)
            return static_cast<long long>(v);
        else
            return v;
    }

    void posebna(const char* utf8Format, std::initializer_list<Arg> args);

    ReportFile rf_;
};

// Checks a shape assumption of a writer; throws kolmo::Error with `kaj`.
void preveri(bool pogoj, const char* kaj);

// Name of row `i`, as a C string.
inline const char* ime(const Names& imena, Eigen::Index i) { return imena[static_cast<std::size_t>(i)].c_str(); }

// Common-point pairs of the comparison blocks: for every position `c` of the
// common names, every end-datum row `j` and every start-datum row `k` whose
// names both equal name c, in that order (c, then j, then k ascending).
struct ParVeznih {
    Eigen::Index c, j, k;
};
std::vector<ParVeznih> pariVeznih(const Names& vezne, const Names& konec, const Names& zacetek);

// Differences given - transformed by position of the common point, grown the
// way the comparison loop assigns them: as long as the last position with a
// pair, positions without a pair holding 0.
class Odstopanja {
public:
    void nastavi(Eigen::Index c, double v);
    const std::vector<double>& vrednosti() const { return v_; }

private:
    std::vector<double> v_;
};

// Residual statistics block, values in centimetres.  `stolpci` holds 2 or 3
// difference lists; `crta` the dashes line ("\n-----...").  An empty list
// gives NaN in every field.
void statistika(Izpis& out, const std::vector<const Odstopanja*>& stolpci, const char* crta);

// A row whose format begins with "%-8s %3d %02d %08.5f %5d %02d %08.5f" (name,
// latitude and longitude in degrees, minutes, seconds) and continues with one
// or four "%f" conversions for the values in `ostalo`.
void vrsticaDms(Izpis& out, const char* fmt, const char* ime, double fi, double la,
                std::initializer_list<double> ostalo);

} // namespace kolmo::izpis

namespace kolmo::izpis {

// "\nVišinski model: " and the height system of `geoid` (1 Koper, else Trst).
void visinskiModel(Izpis& out, int geoid);

// "DA" when `helm` is 1, else "NE".
const char* daNe(int helm);

// "\n\nVezne točke za izračun transformacijskih parametrov:\n" and the names,
// each as "%-8s ", on one line.
void vezneTocke(Izpis& out, const Names& vezne);

// The input files: the single Varnik line when `data.b` is empty, otherwise
// the start-file and end-file lines.
void datoteke(Izpis& out, const std::string& a, const std::string& b);

// " * zunaj SLO" after a geoid height below 40 m (outside the geoid model).
void zunajSlo(Izpis& out, double N);

} // namespace kolmo::izpis
