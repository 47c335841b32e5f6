#include "pipeline/pipeline.h"

#include <cmath>
#include <fstream>
#include <sstream>

namespace kolmo::test {
namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        out.push_back(line);
    return out;
}

// Half a unit of the last decimal of a number as printed.
double halfUnit(const std::string& token)
{
    const auto dot = token.find('.');
    const int decimals = dot == std::string::npos ? 0 : static_cast<int>(token.size() - dot - 1);
    return 0.5 * std::pow(10.0, -decimals);
}

} // namespace

Table lastTable(const std::string& report, bool yx, bool heights)
{
    const auto text = lines(report);
    std::size_t title = text.size();
    for (std::size_t k = 0; k < text.size(); ++k)
        if (text[k].rfind("TRANSFORMIRANE KOORDINATE TO", 0) == 0)
            title = k;
    Table t;
    if (title + 2 >= text.size())
        return t;
    const bool corrected = text[title].find("ODSTOPANJ") != std::string::npos;
    const auto header = words(text[title + 2]);
    const bool degrees = header.size() > 1 && header[1] == "fi";
    for (std::size_t k = title + 3; k < text.size() && !text[k].empty(); ++k) {
        const auto w = words(text[k]);
        TablePoint p;
        p.name = w.at(0);
        auto add = [&](std::size_t i, double scale = 1.0) {
            p.values.push_back(std::stod(w.at(i)) * scale);
            p.tolerance.push_back(halfUnit(w.at(i)) * scale);
        };
        if (corrected) {
            add(2);
            add(4);
            if (heights)
                add(5);
        } else if (degrees && w.size() >= 8) {
            // Degrees, minutes, seconds of latitude and longitude, then h.
            for (std::size_t a : {1u, 4u}) {
                const double d = std::stod(w.at(a)), m = std::stod(w.at(a + 1)), s = std::stod(w.at(a + 2));
                p.values.push_back(d + m / 60 + s / 3600);
                p.tolerance.push_back(halfUnit(w.at(a + 2)) / 3600);
            }
            if (heights)
                add(7);
        } else {
            add(yx && !degrees ? 2 : 1);
            add(yx && !degrees ? 1 : 2);
            if (heights)
                add(3);
        }
        t.points.push_back(std::move(p));
    }
    return t;
}

RunResult Pipeline::cli(std::vector<std::string> args, const std::string& input) const
{
    if (!args.empty() && args[0] != "--version")
        args.insert(args.begin() + 1, {"--data-dir", dataDir().string()});
    RunOptions options;
    options.input = input;
    return run(cliPath(), args, examplesDir(), options);
}

void Pipeline::write(const std::string& name, const std::string& text) const
{
    std::ofstream(dir / name, std::ios::binary) << text;
}

} // namespace kolmo::test
