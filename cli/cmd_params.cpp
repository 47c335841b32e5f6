// kolmo-cli params: the parameter database without its windows.
//
//   params list [--npar 7|4|6] [--direction 1|2] [--data-dir DIR]
//   params add  --npar N --direction 1|2 --name NAME [--data-dir DIR] v1 ... vN
#include "commands.h"

#include "app/pardb.h"
#include "platform/dialogs.h"
#include "platform/numtext.h"

#include <array>
#include <iostream>
#include <string>
#include <vector>

namespace kolmo::cli {
namespace {

struct ParamsOptions {
    int npar = 0; // list: 0 for every database
    std::string direction;
    std::string name;
    std::string dataDir;
    std::vector<std::string> values;
};

const std::vector<std::string>& labels(int npar)
{
    static const std::vector<std::string> seven{"dx", "dy", "dz", "alfa", "beta", "gama", "dm"};
    static const std::vector<std::string> four{"a", "b", "c", "d"};
    static const std::vector<std::string> six{"a1", "a2", "a3", "b1", "b2", "b3"};
    return npar == 7 ? seven : npar == 4 ? four : six;
}

std::filesystem::path dataDir(const ParamsOptions& o)
{
    return o.dataDir.empty() ? defaultDataDir() : std::filesystem::path(o.dataDir);
}

void printSets(const ParSets& sets, int npar, const char* indent)
{
    const auto& names = labels(npar);
    for (std::size_t k = 0; k < sets.names.size(); ++k) {
        std::string line = indent + sets.names[k] + ":";
        for (Eigen::Index j = 0; j < sets.datap.cols(); ++j)
            line += " " + names[static_cast<std::size_t>(j)] + "=" +
                    platform::numberText(sets.datap(static_cast<Eigen::Index>(k), j));
        std::cout << line << '\n';
    }
}

int runList(const ParamsOptions& o)
{
    if (o.npar != 0 && !o.direction.empty()) {
        ParSets sets;
        try {
            sets = readParSets(dataDir(o), o.npar, o.direction, ParReading::whole);
        } catch (const ParDbError& e) {
            platform::dialogs().errorBox(e.what(), kParTitle, e.details());
            return 1;
        }
        printSets(sets, o.npar, "");
        return 0;
    }
    // Every database and direction asked for, each under a heading that says
    // which computation takes its names with --params.
    int status = 0;
    for (int npar : {7, 4, 6}) {
        if (o.npar != 0 && o.npar != npar)
            continue;
        const char* type = npar == 7 ? "3r7" : npar == 4 ? "2r4" : "2r6";
        for (const char* direction : {"2", "1"}) {
            if (!o.direction.empty() && o.direction != direction)
                continue;
            const bool intoD96 = std::string(direction) == "2";
            std::cout << "t" << npar << ".par, " << (intoD96 ? "D48 -> D96" : "D96 -> D48")
                      << " (transform --type " << type << " --mode coords "
                      << (intoD96 ? "--start-type gk --end-type tm" : "--start-type tm --end-type gk")
                      << " --params NAME):\n";
            try {
                const ParSets sets = readParSets(dataDir(o), npar, direction, ParReading::whole);
                if (sets.names.empty())
                    std::cout << "  (none)\n";
                printSets(sets, npar, "  ");
            } catch (const ParDbError& e) {
                if (std::string_view(e.what()) == kParFileMissing) {
                    std::cout << "  (no file " << (dataDir(o) / ("t" + std::to_string(npar) + ".par")).string()
                              << ")\n";
                    continue;
                }
                platform::dialogs().errorBox(e.what(), kParTitle, e.details());
                status = 1;
            }
        }
    }
    return status;
}

int runAdd(const ParamsOptions& o)
{
    if (o.values.size() != static_cast<std::size_t>(o.npar)) {
        std::cerr << "params add: expected " << o.npar << " values, got " << o.values.size() << '\n';
        return 2;
    }
    Vec PAR(o.npar);
    for (int i = 0; i < o.npar; ++i) {
        const auto v = platform::parseNumber(o.values[static_cast<std::size_t>(i)]);
        if (!v) {
            std::cerr << "params add: not a number: " << o.values[static_cast<std::size_t>(i)] << '\n';
            return 2;
        }
        PAR(i) = *v;
    }
    return appendParSet(dataDir(o), o.direction, o.name, PAR) ? 0 : 1;
}

void addCommonOptions(CLI::App* cmd, ParamsOptions& o, bool required)
{
    auto* npar = cmd->add_option("--npar", o.npar,
                                 std::string("Parameter count: 7 (t7.par), 4 (t4.par) or 6 (t6.par)") +
                                     (required ? "" : "; default: all three"))
                     ->check(CLI::IsMember({7, 4, 6}));
    auto* direction = cmd->add_option("--direction", o.direction,
                                      std::string("Direction code: 2 = into D96 (from D48), 1 = into D48 (from D96)") +
                                          (required ? "" : "; default: both"))
                          ->check(CLI::IsMember({"1", "2"}));
    if (required) {
        npar->required();
        direction->required();
    }
    cmd->add_option("--data-dir", o.dataDir,
                    "Program folder with t7.par, t4.par, t6.par (default: data/ beside kolmo-cli; installed: "
                    "~/.local/share/kolmo)");
}

} // namespace

void addParamsCommand(CLI::App& app, int& status)
{
    auto* cmd = app.add_subcommand("params", "List or add named parameter sets of the parameter database");
    cmd->require_subcommand(1);
    cmd->footer(kExitStatusHelp);
    auto opts = std::make_shared<ParamsOptions>();

    auto* list = cmd->add_subcommand(
        "list", "Print the parameter sets, one per line: \"<name>: <label>=<value> ...\". Without --npar and "
                "--direction every database and direction, each under a heading naming the transform options "
                "whose --params takes its names; with both, that direction's sets alone, without a heading");
    addCommonOptions(list, *opts, false);
    list->footer(kExitStatusHelp);
    list->callback([&status, opts] { status = runList(*opts); });

    auto* add = cmd->add_subcommand("add", "Append a set to the database (as the saving window does)");
    addCommonOptions(add, *opts, true);
    add->footer(kExitStatusHelp);
    add->add_option("--name", opts->name, "Name of the set (no commas or line breaks)")->required();
    add->add_option("values", opts->values,
                    "The npar parameter values in the order of the model: dx dy dz [m] alfa beta gama [\"] dm [ppm]; "
                    "a b [1] c d [m]; a1 a2 [1] a3 [m] b1 b2 [1] b3 [m]")
        ->required();
    add->callback([&status, opts] { status = runAdd(*opts); });
}

} // namespace kolmo::cli
