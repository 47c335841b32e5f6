// kolmo-cli transform: options, exit statuses, and the parameter database
// round trip (estimate, save, transform again with the saved set).
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

using namespace kolmo::test;

namespace {

struct CliTransform : ::testing::Test {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kolmo_cli_tr_" + std::to_string(::getpid()));
    std::filesystem::path data = dir / "data";

    void SetUp() override
    {
        std::filesystem::create_directories(dir);
        std::filesystem::copy(dataDir(), data, std::filesystem::copy_options::recursive);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    RunResult transform(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"transform", "--data-dir", data.string()});
        return run(cliPath(), args, examplesDir());
    }
};

// The transformed-points table of a report (its first rows).
std::string transformedTable(const std::string& report)
{
    const auto a = report.find("TRANSFORMIRANE KOORDINATE");
    return a == std::string::npos ? std::string() : report.substr(a, 600);
}

} // namespace

TEST_F(CliTransform, UsageErrorsAndMessages)
{
    EXPECT_EQ(run(cliPath(), {"transform", "--help"}).status, 0);
    EXPECT_EQ(transform({"--type", "9r9", "--report", "x.str"}).status, 2);
    EXPECT_EQ(transform({"--report", (dir / "x.str").string()}).status, 1) << "no start points";
    EXPECT_EQ(transform({"--type", "2r4", "--start", "local/d48_gk_2d.pod", "--start-type", "fila", "--report",
                         (dir / "x.str").string()})
                  .status,
              2);
    EXPECT_EQ(transform({"--mode", "coords", "--start", "local/d48_gk.pod", "--start-type", "gk", "--end-type", "tm",
                         "--params-values", "1,2,3", "--report", (dir / "x.str").string()})
                  .status,
              2);

    auto r = transform({"--start", "no/such.pod", "--start-type", "gk", "--report", (dir / "x.str").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka pri branju datoteke: Napacna oblika podatkov!\n");
    EXPECT_EQ(detailLines(r.err), "start file: File not found. (no/such.pod: No such file or directory)\n");

    r = transform({"--mode", "coords", "--start", "local/d48_gk.pod", "--start-type", "gk", "--end-type", "tm",
                   "--params", "No such set", "--report", (dir / "x.str").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Ni parametrov: Izberi parametre!\n");

    std::filesystem::remove(data / "t7.par");
    r = transform({"--mode", "coords", "--start", "local/d48_gk.pod", "--start-type", "gk", "--end-type", "tm",
                   "--params", "No such set", "--report", (dir / "x.str").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka: Ne najdem datoteke s parametri!\n");
    EXPECT_EQ(detailLines(r.err), (data / "t7.par").string() + ": no such file\n");

    r = transform({"--start", "local/d48_gk.pod", "--start-type", "gk", "--report", (dir / "x.str").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka: Ni podatkov v koncnem datumu!\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "x.str"));
}

TEST_F(CliTransform, SavedParametersReproduceTheEstimate)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> types{
        {"3r7", {"--start", "local/d48_gk.pod", "--start-type", "gk", "--end-type", "tm", "--out-type", "tm"}},
        {"2r4", {"--start", "local/d48_gk_2d.pod", "--start-type", "gk", "--end-type", "tm", "--out-type", "tm"}},
        {"2r6", {"--start", "local/d48_gk_2d.pod", "--start-type", "gk", "--end-type", "tm", "--out-type", "tm"}}};
    for (const auto& [type, common] : types) {
        SCOPED_TRACE(type);
        const std::string end = type == "3r7" ? "local/d96_tm.pod" : "local/d96_tm_2d.pod";
        std::vector<std::string> full{"--type", type, "--end", end, "--save-params", "Ljubljana test \xc4\x8d " + type,
                                      "--report", (dir / "full.str").string()};
        full.insert(full.end(), common.begin(), common.end());
        auto r = transform(full);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("Common points: 12"), std::string::npos) << r.out;

        std::vector<std::string> coords{"--type", type, "--mode", "coords", "--params", "Ljubljana test \xc4\x8d " + type,
                                        "--report", (dir / "coords.str").string()};
        coords.insert(coords.end(), common.begin(), common.end());
        r = transform(coords);
        ASSERT_EQ(r.status, 0) << r.err;
        // The plane coefficients are stored with 12 decimals, so the table of
        // transformed points comes out the same to the millimetre.
        const auto a = transformedTable(readText(dir / "full.str"));
        const auto b = transformedTable(readText(dir / "coords.str"));
        ASSERT_FALSE(a.empty());
        EXPECT_EQ(a, b);
    }
    const auto list = run(cliPath(), {"params", "list", "--npar", "4", "--direction", "2", "--data-dir", data.string()});
    EXPECT_NE(list.out.find("Ljubljana test \xc4\x8d 2r4"), std::string::npos) << list.out;
}

TEST_F(CliTransform, VarnikProjectAndConversions)
{
    auto r = transform({"--varnik", "projekt_3r.in", "--report", (dir / "v.str").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(readText(dir / "v.str").find("Datoteka s podatki v za\xe8" "etnem datumu: projekt_3r.in (Varnik)"),
              std::string::npos);
    r = transform({"--varnik", "local/d48_gk.pod", "--report", (dir / "v.str").string()});
    EXPECT_EQ(boxLines(r.err), "Napaka: Napacen tip koordinat!\nNapaka pri branju datoteke: Napaka v zapisu datoteke!\n");
    EXPECT_EQ(detailLines(r.err).rfind("local/d48_gk.pod, line 2: the type header 'LJ02 ", 0), 0u) << r.err;
    r = transform({"--type", "tm-fila", "--start", "local/d96_tm_H.pod", "--report", (dir / "c.str").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(readText(dir / "c.str").find("Pretvorba koordinat iz D96/TM v D96/fi_la"), std::string::npos);
}
