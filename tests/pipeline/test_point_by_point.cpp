// Mode "koordinat" point by point (MainInputs::lean, what kolmo-cli runs)
// against the computation over whole matrices (what the desktop program
// runs): the same report byte for byte, the same points handed on, the same
// boxes when a point lies outside the zone, and no report then.
#include "app/izracun.h"
#include "input/prebsi.h"
#include "platform/dialogs.h"
#include "reports/izpis_glava.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace kolmo;

namespace {

struct Collected : PointSink {
    int type = 0;
    bool heights = false;
    std::vector<std::string> names;
    std::vector<std::array<double, 3>> rows;
    void begin(int t, bool h) override
    {
        type = t;
        heights = h;
    }
    void point(const std::string& name, double a, double b, double h) override
    {
        names.push_back(name);
        rows.push_back({a, b, h});
    }
};

struct Settings {
    const char* label;
    int tip;                    // 1 3r7, 2 2r4, 3 2r6
    const char* start;          // file under examples/
    int tip1, tip2, tip3;       // list values
    int vis = 1, geoid = 1, redXY = 1;
    std::vector<double> PAR;
};

const std::vector<Settings> kSetups = {
    {"3r7 gk -> tm", 1, "country/d48_gk.pod", 3, 2, 2, 1, 1, 1,
     {476.08, 125.947, 417.81, -4.610862, -2.388137, 11.942335, 9.896638}},
    {"3r7 fila -> gk, geoid heights, SVS2000", 1, "local/d96_fila.pod", 1, 3, 3, 2, 2, 2,
     {-476.063158, -125.982657, -417.808561, 4.611, 2.38787, -11.942388, -9.89654}},
    {"3r7 fila -> fila, h = 0", 1, "local/d96_fila.pod", 1, 1, 1, 1, 1, 1, {1, 2, 3, 0.5, -0.5, 1, 2}},
    {"3r7 tm -> gk, heights transformed, yx", 1, "local/d96_tm.pod", 2, 3, 3, 3, 1, 2,
     {-476.063158, -125.982657, -417.808561, 4.611, 2.38787, -11.942388, -9.89654}},
    {"2r4 gk -> tm", 2, "local/d48_gk_2d.pod", 2, 1, 1, 1, 1, 1,
     {1.000010201617, 2.5515403e-05, 497.05689, -378.232018}},
    {"2r6 tm -> gk yx, sd columns", 3, "local/d96_tm_2d_sd.pod", 1, 2, 2, 1, 1, 2,
     {0.99999, 1e-5, -490.0, -1.1e-5, 0.99998, 370.0}},
};

struct Outcome {
    bool ok = false;
    std::string report;
    Collected points;
    std::vector<platform::Box> boxes;
};

Outcome compute(const Settings& c, bool lean, const PointSet& start, const std::filesystem::path& dir, int helm = 1)
{
    platform::RecordingDialogs boxes;
    platform::ScopedDialogs scoped(boxes);
    AppState s;
    s.pot_prg = test::dataDir();
    s.vhi = start;
    s.t_tr.tip = c.tip;
    s.t_tr.izr = 2;
    s.t_tr.vis = c.vis;
    s.PAR = Eigen::Map<const Vec>(c.PAR.data(), static_cast<Eigen::Index>(c.PAR.size()));
    MainInputs in;
    in.workDir = dir;
    in.izhod = lean ? "lean.str" : "whole.str";
    in.data = {"start.pod", ""};
    in.tip1 = c.tip1;
    in.tip2 = c.tip2;
    in.tip3 = c.tip3;
    in.geoid = c.geoid;
    in.redXY = c.redXY;
    in.helm = helm;
    in.lean = lean;
    Outcome r;
    in.tocke = &r.points;
    r.ok = izracun(s, in).ok;
    if (std::filesystem::exists(dir / in.izhod))
        r.report = test::readText(dir / in.izhod);
    r.boxes = boxes.boxes;
    return r;
}

struct PointByPoint : ::testing::Test {
    std::filesystem::path dir = test::freshFolder("lean");
    PointByPoint() { izpis::nastaviUro([] { return izpis::Datum{1, 1, 2024}; }); }
    ~PointByPoint() override
    {
        izpis::nastaviUro({});
        std::filesystem::remove_all(dir);
    }
};

} // namespace

TEST_F(PointByPoint, SameReportAndPointsAsTheWholeMatrices)
{
    for (const Settings& c : kSetups)
        for (int helm : {1, 0}) {
            SCOPED_TRACE(std::string(c.label) + (helm ? "" : ", standard deviations from the file"));
            const PointSet start = prebsi(test::examplesDir() / c.start);
            const Outcome whole = compute(c, false, start, dir, helm);
            const Outcome lean = compute(c, true, start, dir, helm);
            ASSERT_TRUE(whole.ok);
            ASSERT_TRUE(lean.ok);
            EXPECT_EQ(lean.report, whole.report);
            EXPECT_EQ(lean.boxes, whole.boxes);
            EXPECT_EQ(lean.points.type, whole.points.type);
            EXPECT_EQ(lean.points.heights, whole.points.heights);
            EXPECT_EQ(lean.points.names, whole.points.names);
            ASSERT_EQ(lean.points.rows.size(), whole.points.rows.size());
            for (std::size_t k = 0; k < lean.points.rows.size(); ++k)
                for (int j = 0; j < 3; ++j) {
                    const double a = lean.points.rows[k][j], b = whole.points.rows[k][j];
                    EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << k << " " << j;
                }
        }
}

TEST_F(PointByPoint, PointsOutsideTheZoneFailAsTheWholeMatricesDo)
{
    // A start point beyond the zone's easting, and a point the rotation moves
    // beyond its longitude (a gama of -20" adds 20" of longitude).
    PointSet plane = prebsiText("A 100000 460000 300\nB 101000 700000 300\nC 102000 461000 300\n");
    PointSet east = prebsiText("A 46.0 14.5 300\nB 46.1 16.7499 300\nC 46.2 15 300\n");
    const Settings outsideStart{"start outside", 1, "", 3, 2, 2, 1, 1, 1,
                                {476.08, 125.947, 417.81, -4.6, -2.4, 11.9, 9.9}};
    const Settings outsideEnd{"transformed outside", 1, "", 1, 1, 2, 1, 1, 1, {0, 0, 0, 0, 0, -20, 0}};
    for (const auto& [c, start] : {std::pair{outsideStart, plane}, std::pair{outsideEnd, east}}) {
        SCOPED_TRACE(c.label);
        const Outcome whole = compute(c, false, start, dir);
        const Outcome lean = compute(c, true, start, dir);
        EXPECT_FALSE(whole.ok);
        EXPECT_FALSE(lean.ok);
        ASSERT_EQ(lean.boxes.size(), 2u);
        EXPECT_EQ(lean.boxes, whole.boxes);
        EXPECT_EQ(lean.boxes[0], (platform::Box{platform::Box::Error, "Izven obmocja 5.cone GK!", "Napaka"}));
        EXPECT_EQ(lean.boxes[0].details, whole.boxes[0].details);
        EXPECT_NE(lean.boxes[0].details.find("point 2 of the list"), std::string::npos) << lean.boxes[0].details;
        EXPECT_EQ(lean.report, "") << "no report after a failure";
        EXPECT_TRUE(std::filesystem::is_empty(dir)) << "no temporary file left";
    }
}
