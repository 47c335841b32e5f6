// finv: quantile of the F distribution, through the inverse of the regularized
// incomplete beta function.
//
//   finv(p, v1, v2)   x with P(F <= x) = p for F ~ F(v1, v2).  With
//                     z = betainv(1 - p, v2/2, v1/2),  x = (v2/z - v2) / v1,
//                     because F = (v2/v1) (1 - B)/B for B ~ Beta(v2/2, v1/2)
//                     and F is decreasing in B.
//                     p = 1 gives Inf; p = 0 and p outside [0, 1] give 0;
//                     v1 <= 0, v2 <= 0 or a NaN argument give NaN.
//   betainv(p, a, b)  x with I_x(a, b) = p, by Newton's method on betacdf from
//                     the mean a/(a+b), each step kept inside (0, 1) (a step
//                     that would leave it goes a tenth of the way to the
//                     bound instead), until the step is below sqrt(eps)
//                     relative and absolute, at most 100 steps.  If the limit
//                     is reached the console shows
//                     "\nWarning: BETAINV did not converge.\n" and the last
//                     step; the last iterate is returned all the same.
//                     p outside [0, 1], a <= 0, b <= 0 or NaN give NaN; p = 0
//                     gives 0 and p = 1 gives 1.
//   betacdf(x, a, b)  I_x(a, b) (0 for x <= 0, 1 for x >= 1).
//   betapdf(x, a, b)  x^(a-1) (1-x)^(b-1) / B(a, b), evaluated through
//                     logarithms; Inf at x = 0 for a < 1 and at x = 1 for b < 1.
//
// I_x(a, b) is Boost.Math's ibeta and ln B(a, b) is formed from lgamma, both
// accurate to a few ulp, which the stopping test of the Newton iteration
// (sqrt(eps) ~ 1.5e-8 relative) needs.  The quantile is good to about 1e-8
// relative; finv(0.95, 1, 10) = 4.964603, finv(0.99, 2, 20) = 5.848932.
//
// The scalar routines serve the estimation; the array forms apply them element
// by element after distchck has brought the arguments to one size.
#pragma once

#include <Eigen/Core>
#include <vector>

namespace kolmo {

using Arr = Eigen::ArrayXXd;

double finv(double p, double v1, double v2);
double betainv(double p, double a, double b);
double betacdf(double x, double a, double b);
double betapdf(double x, double a, double b);

// Argument check of the distribution routines.  errorcode 0 and the
// arguments unchanged when nparms is 1 or every argument is a scalar (1 x 1);
// otherwise every scalar is expanded to the size of the first non-scalar
// argument, and a non-scalar of another size gives errorcode 1 (the arguments
// are then returned as far as they were expanded).
struct DistArgs {
    int errorcode = 0;
    std::vector<Arr> args;
};
DistArgs distchck(int nparms, std::vector<Arr> args);

// Element-wise forms; throw std::invalid_argument
// "Requires non-scalar arguments to match in size." when distchck fails.
Arr finv(const Arr& p, const Arr& v1, const Arr& v2);
Arr betainv(const Arr& p, const Arr& a, const Arr& b);

} // namespace kolmo
