// kolmo-cli transform --params-json: the document is JSON as a strict reader
// (and Python's, where installed) takes it, it states what the estimation
// gave, and its PROJ pipeline, run through the PROJ library, puts the start
// points where Kolmo's own transformation with those parameters puts them
// (horizontally within 1 mm, both given the same heights).
#include "engine/tran3d.h"
#include "geodesy/parelip.h"
#include "input/prebsi.h"
#include "support/json.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#ifdef KOLMO_HAVE_PROJ
#include <proj.h>
#endif

using namespace kolmo;
using namespace kolmo::test;

namespace {

struct JsonCase {
    const char* label;
    std::string type;
    std::string start, startType, end, endType, outType;
    std::vector<std::string> more = {};
};

const std::vector<JsonCase> kJsonCases = {
    {"3r7 D48/GK -> D96/TM, local", "3r7", "local/d48_gk.pod", "gk", "local/d96_tm.pod", "tm", "tm"},
    {"3r7 D96/fi_la -> D48/GK, country, h = 0", "3r7", "country/d96_fila.pod", "fila", "country/d48_gk.pod", "gk",
     "gk"},
    {"3r7 D48/GK -> D96/fi_la, local", "3r7", "local/d48_gk.pod", "gk", "local/d96_fila.pod", "fila", "fila"},
    {"3r7 D96/TM -> D48/GK, sd from the files", "3r7", "local/d96_tm_sd.pod", "tm", "local/d48_gk_sd.pod", "gk", "gk",
     {"--helmert", "off"}},
    {"2r4 D48/GK -> D96/TM, country", "2r4", "country/d48_gk_2d.pod", "gk", "country/d96_tm_2d.pod", "tm", "tm"},
    {"2r6 D96/TM -> D48/GK, local", "2r6", "local/d96_tm_2d.pod", "tm", "local/d48_gk_2d.pod", "gk", "gk"},
};

struct Folder {
    std::filesystem::path dir = freshFolder("params_json");
    ~Folder() { std::filesystem::remove_all(dir); }
};

RunResult cli(std::vector<std::string> args)
{
    args.insert(args.begin() + 1, {"--data-dir", dataDir().string()});
    return run(cliPath(), args, examplesDir());
}

// The shortest text that reads back to the same double.
std::string full(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

} // namespace

TEST(ParamsJson, StatesTheEstimationAndItsPipelineReproducesKolmo)
{
    Folder f;
    for (const JsonCase& c : kJsonCases) {
        SCOPED_TRACE(c.label);
        const bool spatial = c.type == "3r7";
        const auto json = f.dir / "p.json";
        std::vector<std::string> args{"transform", "--type", c.type, "--mode", "full", "--start", c.start,
                                      "--start-type", c.startType, "--end", c.end, "--end-type", c.endType,
                                      "--out-type", c.outType, "--report", (f.dir / "r.str").string(),
                                      "--params-json", json.string()};
        args.insert(args.end(), c.more.begin(), c.more.end());
        RunResult r = cli(args);
        ASSERT_TRUE(r.status == 0 || r.status == 3) << r.err;

        // JSON as the grammar has it, and the facts of the estimation.
        const std::string text = readText(json);
        Json doc;
        ASSERT_NO_THROW(doc = parseJson(text)) << text;
        if (std::system("command -v python3 >/dev/null 2>&1") == 0) {
            const std::string check =
                "python3 -c 'import json,sys; json.load(open(sys.argv[1], encoding=\"utf-8\"))' " + json.string();
            EXPECT_EQ(std::system(check.c_str()), 0) << "Python's json module refuses the document";
        }
        EXPECT_EQ(doc["model"].str, c.type);
        const Json& params = doc["parameters"];
        ASSERT_EQ(params.arr.size(), spatial ? 7u : c.type == "2r4" ? 4u : 6u);
        Vec PAR(static_cast<Eigen::Index>(params.arr.size()));
        for (std::size_t k = 0; k < params.arr.size(); ++k) {
            PAR(static_cast<Eigen::Index>(k)) = params[k]["value"].num;
            EXPECT_EQ(params[k]["sd"].kind, Json::Kind::number);
            EXPECT_GT(params[k]["sd"].num, 0.0);
            EXPECT_FALSE(params[k]["unit"].str.empty());
        }
        EXPECT_EQ(doc["direction"]["code"].str, c.endType == "gk" ? "1" : "2");
        EXPECT_GE(doc["iterations"].num, 1);
        EXPECT_EQ(doc["common_points"].arr.size(), c.start.starts_with("local") ? 12u : 25u);
        EXPECT_EQ(doc["flagged"].kind, Json::Kind::array);
        EXPECT_GT(doc["m0"]["all_residuals"].num, 0.0);
        if (spatial) {
            EXPECT_EQ(params[3]["unit"].str, "arc second");
            EXPECT_EQ(doc["rotation_convention"]["name"].str, "coordinate frame");
            const Eigen::Matrix3d R = rot3d(arcsecToRad(PAR(3)), arcsecToRad(PAR(4)), arcsecToRad(PAR(5)));
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    EXPECT_EQ(doc["rotation_matrix"][i][j].num, R(i, j));
            EXPECT_GT(doc["m0"]["end_differences"].num, 0.0);
        }

        // Kolmo's own transformation with the parameters as the document gives them.
        std::string values;
        for (Eigen::Index k = 0; k < PAR.size(); ++k) {
            if (k > 0)
                values += ',';
            values += full(PAR(k));
        }
        const auto out = f.dir / "kolmo.csv";
        r = cli({"transform", "--type", c.type, "--mode", "coords", "--start", c.start, "--start-type", c.startType,
                 "--end-type", c.endType, "--out-type", c.outType, "--params-values", values, "--report",
                 (f.dir / "c.str").string(), "--out", out.string(), "--precision", "6"});
        ASSERT_TRUE(r.status == 0 || r.status == 3) << r.err;
        const PointSet kolmo = prebsi(out);
        const PointSet start = prebsi(examplesDir() / c.start);
        ASSERT_EQ(kolmo.ime, start.ime);

#ifndef KOLMO_HAVE_PROJ
        GTEST_SKIP() << "PROJ is not available";
#else
        PJ_CONTEXT* ctx = proj_context_create();
        PJ* pj = proj_create(ctx, doc["proj_pipeline"].str.c_str());
        ASSERT_NE(pj, nullptr) << doc["proj_pipeline"].str;
        double worst = 0;
        for (Eigen::Index i = 0; i < start.koo.rows(); ++i) {
            // PROJ's order: easting, northing or longitude, latitude; the
            // height Kolmo took for the point's Cartesian coordinates (0 for
            // geodetic start points under height option 1, the file's value
            // for plane ones).
            const bool fromDegrees = c.startType == "fila";
            const double h = !spatial || fromDegrees ? 0.0 : start.koo(i, 2);
            const PJ_COORD in = proj_coord(start.koo(i, 1), start.koo(i, 0), h, 0);
            const PJ_COORD p = proj_trans(pj, PJ_FWD, in);
            double d;
            if (c.outType == "fila") {
                const double radians = kPi / 180;
                const double dLat = (p.xyz.y - kolmo.koo(i, 0)) * radians * 6378137;
                const double dLon = (p.xyz.x - kolmo.koo(i, 1)) * radians * 6378137 * std::cos(kolmo.koo(i, 0) * radians);
                d = std::hypot(dLat, dLon);
            } else {
                d = std::hypot(p.xyz.x - kolmo.koo(i, 1), p.xyz.y - kolmo.koo(i, 0));
            }
            worst = std::max(worst, d);
        }
        proj_destroy(pj);
        proj_context_destroy(ctx);
        RecordProperty(std::string(c.label) + " mm", std::to_string(1000 * worst));
        EXPECT_LT(worst, 0.001) << "largest horizontal difference " << 1000 * worst << " mm";
#endif
    }
}
