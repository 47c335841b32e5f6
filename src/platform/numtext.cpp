#include "platform/numtext.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kolmo::platform {

std::optional<double> parseNumber(std::string_view token)
{
    if (token.empty())
        return std::nullopt;
    bool negative = false;
    if (token.front() == '+' || token.front() == '-') {
        negative = token.front() == '-';
        token.remove_prefix(1);
    }
    // Only digits, a point and an exponent: from_chars alone would also take
    // "inf", "nan" and hexadecimal forms.
    if (token.empty() || !(std::isdigit(static_cast<unsigned char>(token.front())) || token.front() == '.'))
        return std::nullopt;
    // The common form of survey files, digits with a decimal point and at
    // most 15 digits in all: the integer of the digits and the power of ten
    // are exact doubles, so their quotient is the correctly rounded value,
    // the one from_chars gives (Clinger's fast path), at a fraction of its cost.
    static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8,
                                        1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (token.size() <= 16) {
        std::uint64_t digits = 0;
        int count = 0, decimals = -1;
        bool plain = true;
        for (const char c : token) {
            if (c >= '0' && c <= '9') {
                digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
                ++count;
                if (decimals >= 0)
                    ++decimals;
            } else if (c == '.' && decimals < 0) {
                decimals = 0;
            } else {
                plain = false;
                break;
            }
        }
        if (plain && count > 0 && count <= 15) {
            const double v = static_cast<double>(digits) / kPow10[decimals < 0 ? 0 : decimals];
            return negative ? -v : v;
        }
    }
    double v = 0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), v,
                                           std::chars_format::general);
    if (ec != std::errc() || ptr != token.data() + token.size() || !std::isfinite(v))
        return std::nullopt;
    return negative ? -v : v;
}

std::string numberText(double v) { return numberText(v, 15); }

std::string numberText(double v, int digits)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, v);
    return buf;
}

std::vector<int> matrixDecimals(const Eigen::MatrixXd& m)
{
    // Per column: as many decimals as the column needs (at most 4 below its
    // largest magnitude's 15 significant digits), all rows alike.
    std::vector<int> decimals(static_cast<std::size_t>(m.cols()), 0);
    for (Eigen::Index c = 0; c < m.cols(); ++c) {
        int d = 0;
        for (Eigen::Index r = 0; r < m.rows(); ++r) {
            const double v = m(r, c);
            if (!std::isfinite(v))
                continue;
            for (int k = d; k <= 6; ++k) {
                // to_chars and from_chars: the same digits as "%.*f" and
                // strtod, without the locale, several times faster on the
                // point lists of a hundred thousand rows.
                char buf[400];
                const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, k).ptr;
                double back = 0;
                std::from_chars(buf, end, back);
                if (std::abs(back - v) <= 1e-9 * std::max(1.0, std::abs(v))) {
                    d = std::max(d, k);
                    break;
                }
                if (k == 6)
                    d = 6;
            }
        }
        decimals[static_cast<std::size_t>(c)] = d;
    }
    return decimals;
}

std::string matrixText(const Eigen::MatrixXd& m)
{
    if (m.size() == 0)
        return {};
    const std::vector<int> decimals = matrixDecimals(m);
    std::vector<std::vector<std::string>> cells(static_cast<std::size_t>(m.rows()));
    std::vector<std::size_t> width(static_cast<std::size_t>(m.cols()), 0);
    for (Eigen::Index r = 0; r < m.rows(); ++r)
        for (Eigen::Index c = 0; c < m.cols(); ++c) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.*f", decimals[static_cast<std::size_t>(c)], m(r, c));
            cells[static_cast<std::size_t>(r)].emplace_back(buf);
            width[static_cast<std::size_t>(c)] = std::max(width[static_cast<std::size_t>(c)], std::string(buf).size());
        }
    std::string out;
    for (std::size_t r = 0; r < cells.size(); ++r) {
        for (std::size_t c = 0; c < cells[r].size(); ++c) {
            out += std::string(width[c] - cells[r][c].size() + (c ? 3 : 0), ' ');
            out += cells[r][c];
        }
        if (r + 1 < cells.size())
            out += '\n';
    }
    return out;
}

} // namespace kolmo::platform
