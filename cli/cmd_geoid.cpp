// kolmo-cli geoid: the geoid height tool for one point.
//
//   kolmo-cli geoid [--height-system svs2010|svs2000] [--h VALUE | --H VALUE]
//                   [--data-dir DIR] C1 C2
#include "commands.h"

#include "tools/mod_intg.h"

#include <cctype>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kolmo::cli {

namespace {

struct GeoidOptions {
    std::string system = "svs2010";
    std::string h, H;
    std::string dataDir;
    std::vector<std::string> coords;
};

} // namespace

void addGeoidCommand(CLI::App& app, int& status)
{
    auto o = std::make_shared<GeoidOptions>();
    auto* cmd = app.add_subcommand(
        "geoid", "Geoid height N of one point and, with --h or --H, the other height (h = H + N)");
    cmd->add_option("--height-system", o->system,
                    "Height system: svs2010 (SVS2010 Koper, model VRP2016) or svs2000 (SVS2000 Trst, model AMG2000)")
        ->check(CLI::IsMember({"svs2010", "svs2000"}, CLI::ignore_case))
        ->capture_default_str();
    // Both heights at once are refused by the tool's own check, with its message.
    cmd->add_option("--h", o->h, "Ellipsoidal height h in metres; prints H = h - N");
    cmd->add_option("--H", o->H, "Height above sea level H in metres; prints h = H + N");
    cmd->add_option("--data-dir", o->dataDir, "Folder of the model files (default: the program's data folder)");
    cmd->add_option("C1 C2", o->coords,
                    "Latitude and longitude in decimal degrees, or D96/TM n and e in metres "
                    "(taken as plane coordinates when C1 > 50 or C2 > 20); a decimal comma is accepted")
        ->expected(2)
        ->required();
    cmd->footer(std::string("Model limits: latitude 45.25 to 46.99992, longitude 13.25 to 16.75 (both systems).\n") +
                kExitStatusHelp);
    cmd->callback([o, &status] {
        tools::IntgInput in;
        in.fi = o->coords.at(0);
        in.la = o->coords.at(1);
        in.vish = o->h;
        in.visH = o->H;
        std::string system = o->system;
        for (char& c : system)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        in.geoid = system == "svs2000" ? 2 : 1;
        // A height the user asked for must not be dropped silently (the
        // window treats an unreadable field as empty; a batch run should not).
        for (const auto& [name, text] : {std::pair{"--h", o->h}, std::pair{"--H", o->H}})
            if (!text.empty() && !tools::fieldNumber(text))
                throw CLI::ValidationError(name, "'" + text + "' is not a number");
        const std::filesystem::path dir = o->dataDir.empty() ? defaultDataDir() : std::filesystem::path(o->dataDir);
        const auto r = tools::mod_intg_izracunaj(in, dir);
        if (!r) {
            status = 1;
            return;
        }
        std::printf("N (m): %.6f\n", r->Ng);
        if (r->visina)
            std::printf("%s %.6f\n", r->label.c_str(), *r->visina);
        status = 0;
    });
}

} // namespace kolmo::cli
