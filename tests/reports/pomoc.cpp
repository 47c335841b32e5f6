#include "reports/pomoc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace kolmo::test {

std::filesystem::path zacasna(const std::string& ime)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                ("kolmo-reports-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string test = info ? std::string(info->test_suite_name()) + "." + info->name() : "x";
    for (char& c : test)
        if (c == '/')
            c = '_';
    auto p = dir / (test + "-" + ime);
    std::filesystem::remove(p);
    return p;
}

std::string beri(const std::filesystem::path& pot)
{
    std::ifstream in(pot, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> vrstice(const std::string& besedilo)
{
    std::vector<std::string> v;
    std::size_t p = 0;
    while (p <= besedilo.size()) {
        const std::size_t q = besedilo.find('\n', p);
        if (q == std::string::npos) {
            if (p < besedilo.size())
                v.push_back(besedilo.substr(p));
            break;
        }
        v.push_back(besedilo.substr(p, q - p));
        p = q + 1;
    }
    return v;
}

namespace {

std::vector<std::string> besede(const std::string& s)
{
    std::istringstream in(s);
    std::vector<std::string> w;
    for (std::string x; in >> x;)
        w.push_back(x);
    return w;
}

// Number of decimals of a plain decimal number, or -1 when `w` is not one.
int decimalke(const std::string& w)
{
    std::size_t i = (w.size() > 1 && w[0] == '-') ? 1 : 0;
    if (i >= w.size())
        return -1;
    int dec = -1;
    for (; i < w.size(); ++i) {
        if (w[i] == '.' && dec < 0)
            dec = 0;
        else if (w[i] >= '0' && w[i] <= '9')
            dec += dec >= 0 ? 1 : 0;
        else
            return -1;
    }
    return dec < 0 ? 0 : dec;
}

} // namespace

void primerjajPriblizno(const std::string& dobljeno, const std::string& pricakovano, int enot)
{
    const auto a = vrstice(dobljeno);
    const auto b = vrstice(pricakovano);
    ASSERT_EQ(a.size(), b.size()) << "number of lines";
    EXPECT_EQ(dobljeno.empty() ? '\0' : dobljeno.back(), pricakovano.empty() ? '\0' : pricakovano.back())
        << "last byte";
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i == 3)
            continue; // date line
        if (a[i] == b[i])
            continue;
        const auto wa = besede(a[i]);
        const auto wb = besede(b[i]);
        bool enako = a[i].size() == b[i].size() && wa.size() == wb.size();
        for (std::size_t k = 0; enako && k < wa.size(); ++k) {
            if (wa[k] == wb[k])
                continue;
            const int da = decimalke(wa[k]);
            enako = da >= 0 && da == decimalke(wb[k]) &&
                    std::fabs(std::strtod(wa[k].c_str(), nullptr) - std::strtod(wb[k].c_str(), nullptr)) <=
                        (enot + 0.01) * std::pow(10.0, -da);
        }
        EXPECT_TRUE(enako) << "line " << i + 1 << "\n got: [" << platform::fromCp1250(a[i]) << "]\n want: ["
                           << platform::fromCp1250(b[i]) << "]";
    }
}

} // namespace kolmo::test
