// CSV point files and the standard streams in kolmo-cli: a CSV written as a
// spreadsheet of a decimal-comma country writes it gives what the .pod gives;
// "-" reads standard input and writes standard output with the same bounds
// and results as files.
#include "input/prebsi.h"
#include "pipeline/pipeline.h"
#include "platform/textread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace kolmo;
using namespace kolmo::test;

namespace {

// A point file as a semicolon CSV with decimal commas, a header line, CR LF
// line ends and every name quoted.
std::string semicolonCsv(const std::string& pod)
{
    std::string out = "\"ime\";\"x\";\"y\";\"H\"\r\n";
    std::istringstream in(pod);
    std::string line;
    while (std::getline(in, line)) {
        const auto w = words(line);
        if (w.empty())
            continue;
        out += "\"" + w[0] + "\"";
        for (std::size_t k = 1; k < w.size(); ++k) {
            std::string v = w[k];
            std::replace(v.begin(), v.end(), '.', ',');
            out += " ; " + v;
        }
        out += "\r\n";
    }
    return out;
}

// A report without the lines that name its input files and its date.
std::string withoutFileLines(const std::string& report)
{
    std::string out;
    std::istringstream in(report);
    std::string line;
    for (int k = 0; std::getline(in, line); ++k)
        if (k != 3 && line.find("Datoteka s podatki") == std::string::npos)
            out += line + '\n';
    return out;
}

} // namespace

TEST_F(Pipeline, CsvWithSemicolonsAndDecimalCommasGivesThePodsResult)
{
    write("start.csv", semicolonCsv(readText(examplesDir() / "local" / "d48_gk.pod")));
    write("end.csv", semicolonCsv(readText(examplesDir() / "local" / "d96_tm.pod")));
    const std::vector<std::string> common{"transform", "--type", "3r7", "--mode", "full", "--start-type", "gk",
                                          "--end-type", "tm", "--out-type", "tm"};
    auto pod = common, csv = common;
    pod.insert(pod.end(), {"--start", "local/d48_gk.pod", "--end", "local/d96_tm.pod", "--report", path("pod.str"),
                           "--out", path("pod.csv")});
    csv.insert(csv.end(), {"--start", path("start.csv"), "--end", path("end.csv"), "--report", path("csv.str"),
                           "--out", path("csv.csv")});
    ASSERT_EQ(cli(pod).status, 0);
    const RunResult r = cli(csv);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(withoutFileLines(readText(dir / "csv.str")), withoutFileLines(readText(dir / "pod.str")));
    EXPECT_EQ(readText(dir / "csv.csv"), readText(dir / "pod.csv"));

    // --csv reads a file of any name as CSV; a comma CSV has decimal points.
    std::string comma = readText(examplesDir() / "local" / "d96_fila.pod");
    std::istringstream in(comma);
    comma.clear();
    for (std::string line; std::getline(in, line);) {
        const auto w = words(line);
        comma += w[0] + "," + w[1] + "," + w[2] + "," + w[3] + "\n";
    }
    write("fila.txt", comma);
    ASSERT_EQ(cli({"convert", "--in", "local/d96_fila.pod", "--out", path("a.txt")}).status, 0);
    ASSERT_EQ(cli({"convert", "--in", path("fila.txt"), "--csv", "--out", path("b.txt")}).status, 0);
    EXPECT_EQ(readText(dir / "a.txt"), readText(dir / "b.txt"));
    // Without --csv the same file is no point file of blank-separated numbers.
    const RunResult plain = cli({"convert", "--in", path("fila.txt"), "--out", path("c.txt")});
    EXPECT_EQ(plain.status, 1);
    EXPECT_NE(detailLines(plain.err).find("line 1: point 'LJ01,46.051091349,14.514947808,542.7303' has no "
                                          "coordinates"),
              std::string::npos)
        << plain.err;
}

TEST_F(Pipeline, CsvFaultsNameTheLine)
{
    const auto failure = [&](const std::string& text) {
        write("bad.csv", text);
        const RunResult r = cli({"convert", "--in", path("bad.csv"), "--out", path("o.txt")});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(boxLines(r.err), "Napaka pri branju datoteke: Napacna oblika podatkov!\n");
        return detailLines(r.err);
    };
    const std::string where = path("bad.csv") + ", line ";
    EXPECT_EQ(failure("name,x,y,H\nA,1,2,3\nB,1,,3\n"), where + "3: point 'B': field 3 is empty\n");
    EXPECT_EQ(failure("A,46.1,14.5,300\n\"B,46.1,14.5,300\n"), where + "2: field 1: a quote that is not closed\n");
    EXPECT_EQ(failure("A;46,1;14,5;300\nB;46,1;14.5x;300\n"), where + "2: '14.5x' is not a finite number\n");
    EXPECT_EQ(failure("A,46.1,14.5,300\n,46.1,14.5,300\n"),
              where + "2: a point without a name (the first field is empty)\n");
    EXPECT_EQ(failure("\xEF\xBB\xBFname,x\n"), path("bad.csv") + ": no point in the file\n")
        << "a header alone, after a byte-order mark";
    // Trailing separators of a spreadsheet leave the row short, as a short .pod row.
    write("short.csv", "A,46.1,14.5,300,,\nB,46.2,14.6,\n");
    const RunResult r = cli({"convert", "--in", path("short.csv"), "--out", path("o.txt")});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(detailLines(r.err).find("line 2 holds fewer than 3 numbers"), std::string::npos) << r.err;
}

TEST_F(Pipeline, StandardInputAndOutput)
{
    const std::string fila = readText(examplesDir() / "country" / "d96_fila.pod");
    ASSERT_EQ(cli({"convert", "--in", "country/d96_fila.pod", "--out", path("file.txt")}).status, 0);
    RunResult r = cli({"convert", "--in", "-", "--out", "-"}, fila);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, readText(dir / "file.txt"));
    EXPECT_EQ(r.err, "");

    // transform: points in on standard input, out on standard output; the
    // summary moves to standard error.
    const std::vector<std::string> common{"transform", "--type", "3r7", "--mode", "coords", "--start-type", "gk",
                                          "--end-type", "tm", "--params", "EPSG 8689 D48-D96 (12) Slovenija 2010"};
    auto args = common;
    args.insert(args.end(), {"--start", "country/d48_gk.pod", "--report", path("a.str"), "--out", path("a.csv")});
    ASSERT_EQ(cli(args).status, 0);
    args = common;
    args.insert(args.end(), {"--start", "-", "--report", path("b.str"), "--out", "-"});
    r = cli(args, semicolonCsv(readText(examplesDir() / "country" / "d48_gk.pod")) + "");
    EXPECT_EQ(r.status, 1) << "standard input is blank-separated unless --csv";
    args.push_back("--csv");
    r = cli(args, semicolonCsv(readText(examplesDir() / "country" / "d48_gk.pod")));
    ASSERT_EQ(r.status, 0) << r.err;
    // The same points; --out - writes the plain form.
    const PointSet fromFile = prebsi(dir / "a.csv");
    const PointSet fromPipe = prebsiText(r.out);
    EXPECT_EQ(fromPipe.ime, fromFile.ime);
    EXPECT_EQ(fromPipe.koo, fromFile.koo);
    EXPECT_NE(r.err.find("Report: "), std::string::npos);
    EXPECT_EQ(r.out.find("Report: "), std::string::npos);
    EXPECT_NE(readText(dir / "b.str").find("Datoteka s podatki v za"), std::string::npos);

    // The end points from standard input, the start points from a file.
    r = cli({"transform", "--type", "3r7", "--mode", "params", "--start", "local/d48_gk.pod", "--start-type", "gk",
             "--end", "-", "--end-type", "tm", "--report", path("c.str")},
            readText(examplesDir() / "local" / "d96_tm.pod"));
    EXPECT_EQ(r.status, 0) << r.err;

    // Usage: one standard input only.
    r = cli({"transform", "--type", "3r7", "--start", "-", "--start-type", "gk", "--end", "-", "--end-type", "tm",
             "--report", path("d.str")});
    EXPECT_EQ(r.status, 2);

    // Standard input is read with the bounds of a file.
    r = cli({"convert", "--in", "-", "--out", path("o.txt")}, std::string("T1 46 14.5 300\nT2 46\0 14 1\n", 27));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(detailLines(r.err), "standard input, line 2: a NUL byte (binary data, not a text file)\n");
    r = cli({"convert", "--in", "-", "--out", path("o.txt")}, "T1 46\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(detailLines(r.err), "standard input: 1 number(s) per point, three coordinates needed\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "o.txt"));
}

// The memory of a large run grows with the points alone: the report, the
// result file and the derived coordinates are never held whole.
TEST_F(Pipeline, MemoryGrowsWithThePointsAlone)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory is no measure of the program's";
#else
    constexpr int n = 200000;
    {
        std::string gk, ll;
        char buf[160];
        for (int i = 0; i < n; ++i) {
            const double x = 35000 + static_cast<double>(i * 7919LL % 155000);
            const double y = 380000 + static_cast<double>(i * 104729LL % 230000);
            std::snprintf(buf, sizeof buf, "P%07d %.4f %.4f %.4f\n", i, x, y, 100.0 + i % 1500);
            gk += buf;
            std::snprintf(buf, sizeof buf, "P%07d %.9f %.9f %.4f\n", i, 45.45 + (i % 1400) * 0.001,
                          13.4 + (i % 3150) * 0.001, 100.0 + i % 1900);
            ll += buf;
        }
        write("gk.pod", gk);
        write("ll.pod", ll);
    }
    const RunResult small = cli({"convert", "--in", "local/d96_fila.pod", "--out", path("s.txt"), "--heights",
                                 "ellipsoidal"});
    ASSERT_EQ(small.status, 0);
    const RunResult t = cli({"transform", "--type", "3r7", "--mode", "coords", "--start", path("gk.pod"),
                             "--start-type", "gk", "--end-type", "tm", "--params",
                             "EPSG 8689 D48-D96 (12) Slovenija 2010", "--report", path("t.str"), "--out",
                             path("t.csv")});
    ASSERT_EQ(t.status, 0) << t.err;
    const RunResult c = cli({"convert", "--in", path("ll.pod"), "--out", path("c.txt"), "--heights", "ellipsoidal"});
    ASSERT_EQ(c.status, 0) << c.err;
    // A name and three coordinates take some 70 bytes a point; the report
    // and the coordinate file written take more than that, never in memory.
    const double perPointT = (t.maxRssKb - small.maxRssKb) * 1024.0 / n;
    const double perPointC = (c.maxRssKb - small.maxRssKb) * 1024.0 / n;
    RecordProperty("transform_bytes_per_point", std::to_string(perPointT));
    RecordProperty("convert_bytes_per_point", std::to_string(perPointC));
    EXPECT_LT(perPointT, 120.0) << t.maxRssKb << " kB against " << small.maxRssKb;
    EXPECT_LT(perPointC, 100.0) << c.maxRssKb << " kB against " << small.maxRssKb;
    EXPECT_GT(std::filesystem::file_size(dir / "t.str") + std::filesystem::file_size(dir / "t.csv"), 120u * n);
#endif
}
