#include "engine/finv.h"

#include "platform/dialogs.h"

#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>

namespace kolmo {
namespace {

constexpr double kEps = 2.220446049250313e-16;
constexpr int kNewtonLimit = 100;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

bool validShapes(double a, double b) { return a > 0 && b > 0 && std::isfinite(a) && std::isfinite(b); }

double betaln(double a, double b)
{
    return boost::math::lgamma(a) + boost::math::lgamma(b) - boost::math::lgamma(a + b);
}

template <class F>
Arr elementwise(const Arr& p, const Arr& a, const Arr& b, F f)
{
    DistArgs d = distchck(3, {p, a, b});
    if (d.errorcode > 0)
        throw std::invalid_argument("Requires non-scalar arguments to match in size.");
    const Arr& P = d.args[0];
    const Arr& A = d.args[1];
    const Arr& B = d.args[2];
    Arr x(P.rows(), P.cols());
    for (Eigen::Index k = 0; k < P.size(); ++k)
        x(k) = f(P(k), A(k), B(k));
    return x;
}

} // namespace

DistArgs distchck(int nparms, std::vector<Arr> args)
{
    DistArgs out;
    bool allScalar = true;
    for (const Arr& a : args)
        allScalar = allScalar && a.size() == 1;
    if (nparms == 1 || allScalar) {
        out.args = std::move(args);
        return out;
    }
    Eigen::Index rows = 0, cols = 0;
    for (const Arr& a : args)
        if (a.size() != 1) {
            rows = a.rows();
            cols = a.cols();
            break;
        }
    for (Arr& a : args) {
        if (a.size() == 1) {
            a = Arr::Constant(rows, cols, a(0));
        } else if (a.rows() != rows || a.cols() != cols) {
            out.errorcode = 1;
            break;
        }
    }
    out.args = std::move(args);
    return out;
}

double betacdf(double x, double a, double b)
{
    if (!validShapes(a, b) || std::isnan(x))
        return kNaN;
    if (x >= 1)
        return 1.0;
    if (x <= 0)
        return 0.0;
    const double y = boost::math::ibeta(a, b, x);
    return y > 1 ? 1.0 : y;
}

double betapdf(double x, double a, double b)
{
    if (!validShapes(a, b) || std::isnan(x))
        return kNaN;
    if ((x == 0 && a < 1) || (x == 1 && b < 1))
        return kInf;
    if (x <= 0 || x >= 1)
        return 0.0;
    return std::exp((a - 1) * std::log(x) + (b - 1) * std::log1p(-x) - betaln(a, b));
}

double betainv(double p, double a, double b)
{
    if (!validShapes(a, b) || std::isnan(p) || p < 0 || p > 1)
        return kNaN;
    if (p == 0)
        return 0.0;
    if (p == 1)
        return 1.0;

    const double crit = std::sqrt(kEps);
    double xk = a / (a + b);
    if (xk == 0)
        xk = crit;
    if (xk == 1)
        xk = 1 - crit;
    double h = 1.0;
    int count = 0;
    while (std::abs(h) > crit * std::abs(xk) && std::abs(h) > crit && count < kNewtonLimit) {
        ++count;
        h = (betacdf(xk, a, b) - p) / betapdf(xk, a, b);
        double xnew = xk - h;
        // Newton may overshoot the support on the steep flanks of the
        // distribution function; stepping a tenth of the way to the bound
        // keeps the iterate inside (0, 1) and the next step finds its way.
        if (xnew <= 0)
            xnew = xk / 10;
        if (xnew >= 1)
            xnew = 1 - (1 - xk) / 10;
        xk = xnew;
    }
    if (count == kNewtonLimit) {
        char step[64];
        std::snprintf(step, sizeof step, "%13.8f", h);
        platform::dialogs().console(std::string("\nWarning: BETAINV did not converge.\n") +
                                    "The last step was:  " + step);
    }
    return xk;
}

double finv(double p, double v1, double v2)
{
    if (std::isnan(p) || std::isnan(v1) || std::isnan(v2) || v1 <= 0 || v2 <= 0)
        return kNaN;
    if (p == 1)
        return kInf;
    if (!(p > 0 && p < 1))
        return 0.0;
    const double z = betainv(1 - p, v2 / 2, v1 / 2);
    return (v2 / z - v2) / v1;
}

Arr finv(const Arr& p, const Arr& v1, const Arr& v2)
{
    return elementwise(p, v1, v2, [](double a, double b, double c) { return finv(a, b, c); });
}

Arr betainv(const Arr& p, const Arr& a, const Arr& b)
{
    return elementwise(p, a, b, [](double x, double y, double z) { return betainv(x, y, z); });
}

} // namespace kolmo
