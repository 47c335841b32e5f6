// Numbers to and from text.
#pragma once

#include <Eigen/Core>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo::platform {

// A real number in decimal notation: optional sign, digits with an optional
// decimal point, optional exponent.  The whole token must be the number.
// Non-finite values (nan, inf, or an exponent that overflows such as 1e999)
// are refused: one of them would silently poison every result downstream.
std::optional<double> parseNumber(std::string_view token);

// Shortest text of a number with up to 15 significant digits ("46.0512", "300.5",
// "1", "-0.001").
std::string numberText(double v);
// The same with up to `digits` significant digits: values named in messages.
std::string numberText(double v, int digits);

// A matrix as text, one row per line, columns right-aligned in a common width,
// the numbers of each column in the same fixed notation (the display of loaded
// coordinates and of parameter sets).
std::string matrixText(const Eigen::MatrixXd& m);
// The decimals of each column in matrixText: as many as the column needs to
// show its numbers exactly, at most 6.
std::vector<int> matrixDecimals(const Eigen::MatrixXd& m);

} // namespace kolmo::platform
