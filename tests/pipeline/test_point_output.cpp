// kolmo-cli transform --out: the transformed points as a point file, read back
// by Kolmo's own reader and compared with the report's last table of points
// (the corrected coordinates where the computation makes them).
#include "input/prebsi.h"
#include "pipeline/pipeline.h"
#include "platform/textread.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kolmo;
using namespace kolmo::test;

namespace {

struct OutCase {
    const char* label;
    std::vector<std::string> args; // without --report and --out
    bool yx = false;
    bool heights = true;
    bool degrees = false; // latitude and longitude out
};

const std::vector<OutCase> kCases = {
    {"3r7 full gk -> tm, corrected",
     {"--type", "3r7", "--mode", "full", "--start", "local/d48_gk.pod", "--start-type", "gk", "--end",
      "local/d96_tm.pod", "--end-type", "tm", "--out-type", "tm"}},
    {"3r7 full fila -> gk, heights 2, order yx",
     {"--type", "3r7", "--mode", "full", "--start", "country/d96_fila.pod", "--start-type", "fila", "--end",
      "country/d48_gk.pod", "--end-type", "gk", "--out-type", "gk", "--heights", "2", "--order", "yx"},
     true},
    {"3r7 full gk -> fila",
     {"--type", "3r7", "--mode", "full", "--start", "local/d48_gk.pod", "--start-type", "gk", "--end",
      "local/d96_fila.pod", "--end-type", "fila", "--out-type", "fila"},
     false, true, true},
    {"3r7 coords gk -> fila, stored set",
     {"--type", "3r7", "--mode", "coords", "--start", "country/d48_gk.pod", "--start-type", "gk", "--end-type",
      "fila", "--out-type", "fila", "--params", "EPSG 8689 D48-D96 (12) Slovenija 2010"},
     false, true, true},
    {"3r7 coords fila -> gk with geoid heights",
     {"--type", "3r7", "--mode", "coords", "--start", "local/d96_fila.pod", "--start-type", "fila", "--end-type",
      "gk", "--out-type", "gk", "--heights", "2", "--params", "EPSG 8689 D96-D48 (12) Slovenija 2010"}},
    {"2r4 full, corrected",
     {"--type", "2r4", "--mode", "full", "--start", "local/d48_gk_2d.pod", "--start-type", "gk", "--end",
      "local/d96_tm_2d.pod", "--end-type", "tm"},
     false, false},
    {"2r6 coords, order yx",
     {"--type", "2r6", "--mode", "coords", "--start", "local/d96_tm_2d.pod", "--start-type", "tm", "--end-type",
      "gk", "--order", "yx", "--params", "Ljubljana lokalna mreza D96-D48"},
     true, false},
    {"fila -> tm conversion", {"--type", "fila-tm", "--start", "country/d96_fila.pod"}},
    {"tm -> fila conversion", {"--type", "tm-fila", "--start", "local/d96_tm_H.pod"}, false, true, true},
};

// Every point of `file` (read back as a point file) against the table; `yx`:
// the file was written with its plane coordinates in the order y, x.  The file carries
// millimetres and 1e-9 degrees: where the report prints as many decimals the
// two are the same text of the same number, elsewhere they differ by the two
// roundings at most.
void expectSamePoints(const std::filesystem::path& file, const Table& table, const OutCase& c)
{
    ReadNotes notes;
    const PointSet back = prebsi(file, &notes);
    ASSERT_EQ(back.ime.size(), table.points.size());
    ASSERT_EQ(notes.width, c.heights ? 3 : 2);
    for (std::size_t k = 0; k < table.points.size(); ++k) {
        const TablePoint& p = table.points[k];
        SCOPED_TRACE(p.name);
        EXPECT_EQ(back.ime[k], p.name);
        for (std::size_t j = 0; j < p.values.size(); ++j) {
            // A CSV file says its order in its header ("name,y,x,H") and reads
            // back as x, y; the plain form has no header and keeps y, x.
            const bool swapped = c.yx && !isCsvName(file);
            const double v = back.koo(static_cast<Eigen::Index>(k),
                                      static_cast<Eigen::Index>(swapped && j < 2 ? 1 - j : j));
            const double fileHalf = j < 2 && c.degrees ? 0.5e-9 : 0.5e-3;
            if (std::abs(p.tolerance[j] - fileHalf) < 1e-15)
                EXPECT_EQ(v, p.values[j]) << "column " << j;
            else
                EXPECT_NEAR(v, p.values[j], (p.tolerance[j] + fileHalf) * (1 + 1e-9)) << "column " << j;
        }
    }
}

} // namespace

TEST_F(Pipeline, OutReadsBackAsTheReportsLastTable)
{
    for (const OutCase& c : kCases) {
        SCOPED_TRACE(c.label);
        for (const char* name : {"points.txt", "points.csv"}) {
            auto args = c.args;
            args.insert(args.begin(), "transform");
            args.insert(args.end(), {"--report", path("r.str"), "--out", path(name)});
            const RunResult r = cli(args);
            ASSERT_TRUE(r.status == 0 || r.status == 3) << r.err;
            const Table table = lastTable(readText(dir / "r.str"), c.yx, c.heights);
            ASSERT_FALSE(table.points.empty());
            expectSamePoints(dir / name, table, c);
        }
    }
}

TEST_F(Pipeline, OutLayoutsPrecisionAndCsvHeader)
{
    const std::vector<std::string> base{"transform", "--type", "3r7", "--mode", "coords", "--start",
                                        "local/d48_gk.pod", "--start-type", "gk", "--end-type", "tm",
                                        "--params", "EPSG 8689 D48-D96 (12) Slovenija 2010", "--report", path("r.str")};
    auto args = base;
    args.insert(args.end(), {"--out", path("a.csv"), "--order", "yx"});
    ASSERT_EQ(cli(args).status, 0);
    const std::string csv = readText(dir / "a.csv");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "name,y,x,H");
    const auto rows = platform::splitLines(csv);
    ASSERT_EQ(rows.size(), 21u) << "header and 20 points";
    EXPECT_EQ(rows[1].substr(0, 5), "LJ01,");
    EXPECT_EQ(rows[1].size() - rows[1].rfind('.') - 1, 3u) << "millimetres by default";

    args = base;
    args.insert(args.end(), {"--out", path("b.txt"), "--precision", "5"});
    ASSERT_EQ(cli(args).status, 0);
    const auto plain = platform::splitLines(readText(dir / "b.txt"));
    ASSERT_EQ(plain.size(), 20u) << "no header in the plain form";
    const auto w = words(plain[0]);
    ASSERT_EQ(w.size(), 4u);
    EXPECT_EQ(w[1].size() - w[1].find('.') - 1, 5u);

    // Degrees carry six more decimals than metres.
    args = base;
    args[10] = "fila";
    args.insert(args.end(), {"--out-type", "fila", "--out", path("c.csv"), "--precision", "2"});
    ASSERT_EQ(cli(args).status, 0);
    const auto fila = platform::splitLines(readText(dir / "c.csv"));
    EXPECT_EQ(fila[0], "name,fi,la,h");
    const auto first = fila[1].find(','), second = fila[1].find(',', first + 1);
    const std::string latitude = fila[1].substr(first + 1, second - first - 1);
    EXPECT_EQ(latitude.size() - latitude.find('.') - 1, 8u) << latitude << ": two decimals of metres, eight of degrees";
}

TEST_F(Pipeline, OutGuardsAndUsage)
{
    const std::vector<std::string> base{"transform", "--type", "3r7", "--mode", "coords", "--start",
                                        "local/d48_gk.pod", "--start-type", "gk", "--end-type", "tm",
                                        "--params", "EPSG 8689 D48-D96 (12) Slovenija 2010"};
    auto with = [&](std::vector<std::string> more) {
        auto args = base;
        args.insert(args.end(), more.begin(), more.end());
        return cli(args);
    };
    // Usage: the options that do not go together.
    EXPECT_EQ(with({"--report", path("r.str"), "--precision", "4"}).status, 2);
    EXPECT_EQ(with({"--report", path("r.str"), "--out", path("o.txt"), "--precision", "12"}).status, 2);
    EXPECT_EQ(with({"--report", path("r.str"), "--out", path("r.str")}).status, 2) << "the report itself";
    EXPECT_EQ(with({"--report", path("r.str"), "--params-json", path("p.json")}).status, 2) << "mode coords";
    EXPECT_EQ(with({"--report", path("r.str"), "--out", "-", "--params-json", "-"}).status, 2);
    EXPECT_EQ(with({"--report", "-", "--out", "-"}).status, 2) << "two outputs on standard output";
    auto r = cli({"transform", "--type", "3r7", "--mode", "params", "--start", "local/d48_gk.pod", "--start-type",
                  "gk", "--end", "local/d96_tm.pod", "--end-type", "tm", "--report", path("r.str"), "--out",
                  path("o.txt")});
    EXPECT_EQ(r.status, 2) << "an estimation alone transforms no point";
    EXPECT_FALSE(std::filesystem::exists(dir / "o.txt"));

    // An input is never overwritten: the file stays as it was.
    write("start.pod", readText(examplesDir() / "local" / "d48_gk.pod"));
    r = cli({"transform", "--type", "3r7", "--mode", "coords", "--start", path("start.pod"), "--start-type", "gk",
             "--end-type", "tm", "--params", "EPSG 8689 D48-D96 (12) Slovenija 2010", "--report", path("r2.str"),
             "--out", path("start.pod")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka: Izhodna datoteka je enaka vhodni!\n");
    EXPECT_EQ(readText(dir / "start.pod"), readText(examplesDir() / "local" / "d48_gk.pod"));
    EXPECT_FALSE(std::filesystem::exists(dir / "r2.str")) << "refused before computing";

    // A name with a blank (possible in CSV) cannot stand in the plain form.
    write("blank.csv", "\"T 1\",100882.7351,462835.5927,542.6612\nT2,94336.3736,455002.8605,562.5806\n");
    r = cli({"transform", "--type", "3r7", "--mode", "coords", "--start", path("blank.csv"), "--start-type", "gk",
             "--end-type", "tm", "--params", "EPSG 8689 D48-D96 (12) Slovenija 2010", "--report", path("r3.str"),
             "--out", path("o.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(detailLines(r.err).find("T 1"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "o.txt"));
    r = cli({"transform", "--type", "3r7", "--mode", "coords", "--start", path("blank.csv"), "--start-type", "gk",
             "--end-type", "tm", "--params", "EPSG 8689 D48-D96 (12) Slovenija 2010", "--report", path("r3.str"),
             "--out", path("o.csv")});
    ASSERT_EQ(r.status, 0) << r.err;
    const PointSet back = prebsi(dir / "o.csv");
    EXPECT_EQ(back.ime, (Names{"T 1", "T2"})) << "quoted in CSV, read back whole";

    // A failed computation leaves no coordinate file: a start point outside the zone.
    write("far.pod", "A 100000 300000 100\n");
    r = cli({"transform", "--type", "3r7", "--mode", "coords", "--start", path("far.pod"), "--start-type", "gk",
             "--end-type", "tm", "--params", "EPSG 8689 D48-D96 (12) Slovenija 2010", "--report", path("r4.str"),
             "--out", path("far.csv")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "far.csv"));
    EXPECT_FALSE(std::filesystem::exists(dir / "r4.str"));
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find(".kolmo-"), std::string::npos) << "a temporary file left";
}

TEST_F(Pipeline, OutsideTheGeoidModelTheHeightIsMissing)
{
    // A point south of the model's grid (45 N): its sea-level height is unknown.
    write("south.pod", "S1 44.95 14.5 300\nS2 45.9 14.5 300\n");
    for (const char* name : {"south.txt", "south.csv"}) {
        const RunResult r =
            cli({"transform", "--type", "fila-tm", "--start", path("south.pod"), "--report", path("r.str"), "--out",
                 path(name)});
        EXPECT_EQ(r.status, 3) << r.err;
        const auto rows = platform::splitLines(readText(dir / name));
        const std::string& s1 = rows[std::string(name).ends_with(".csv") ? 1 : 0];
        if (std::string(name).ends_with(".csv"))
            EXPECT_EQ(s1.back(), ',') << "an empty field: " << s1;
        else
            EXPECT_EQ(s1.substr(s1.size() - 3), "NaN") << s1;
    }
}
