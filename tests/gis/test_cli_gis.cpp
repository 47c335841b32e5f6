// kolmo-cli transform --out and convert --out writing GIS point layers: read
// back with GDAL, each layer must carry the CRS of its coordinates, put the
// easting first (the point file and its CSV put the northing first), and hold
// the names (UTF-8) and the heights of the same run's point file.
#include "support/paths.h"
#include "support/run.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

using namespace kolmo::test;

namespace {

namespace fs = std::filesystem;

struct Closer {
    void operator()(GDALDataset* d) const { GDALClose(GDALDataset::ToHandle(d)); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

struct LayerPoint {
    double e = 0, n = 0, h = NAN;
    bool hasHeight = false;
};

struct ReadLayer {
    std::string authority; // "EPSG:3794"
    std::map<std::string, LayerPoint> points;
    std::vector<std::string> order;
    std::vector<std::string> fields;
};

ReadLayer readLayer(const fs::path& file)
{
    GDALAllRegister();
    ReadLayer r;
    Dataset d(GDALDataset::Open(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!d || d->GetLayerCount() != 1)
        return r;
    OGRLayer* layer = d->GetLayer(0);
    if (const OGRSpatialReference* srs = layer->GetSpatialRef()) {
        OGRSpatialReference copy(*srs);
        copy.AutoIdentifyEPSG();
        const char* name = copy.GetAuthorityName(nullptr);
        const char* code = copy.GetAuthorityCode(nullptr);
        if (name && code) {
            r.authority = std::string(name) + ":" + code;
        } else {
            // A Shapefile's ESRI .prj: the EPSG entry GDAL finds the same.
            int count = 0;
            int* confidence = nullptr;
            OGRSpatialReferenceH* matches = copy.FindMatches(nullptr, &count, &confidence);
            if (count > 0 && confidence[0] >= 90) {
                const auto* best = OGRSpatialReference::FromHandle(matches[0]);
                if (best->GetAuthorityName(nullptr) && best->GetAuthorityCode(nullptr))
                    r.authority = std::string(best->GetAuthorityName(nullptr)) + ":" + best->GetAuthorityCode(nullptr);
            }
            OSRFreeSRSArray(matches);
            CPLFree(confidence);
        }
    }
    OGRFeatureDefn* defn = layer->GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i)
        r.fields.emplace_back(defn->GetFieldDefn(i)->GetNameRef());
    const int height = defn->GetFieldIndex("H") >= 0 ? defn->GetFieldIndex("H") : defn->GetFieldIndex("h");
    for (auto& feature : *layer) {
        const auto* p = feature->GetGeometryRef() ? feature->GetGeometryRef()->toPoint() : nullptr;
        if (!p)
            continue;
        LayerPoint lp{p->getX(), p->getY(), NAN, false};
        if (height >= 0 && feature->IsFieldSetAndNotNull(height)) {
            lp.h = feature->GetFieldAsDouble(height);
            lp.hasHeight = true;
        }
        const std::string name = feature->GetFieldAsString("name");
        r.points[name] = lp;
        r.order.push_back(name);
    }
    return r;
}

// A point file of the form "name a b [h]".
std::map<std::string, std::vector<double>> readPointFile(const fs::path& file)
{
    std::map<std::string, std::vector<double>> points;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ss(line);
        std::string name;
        ss >> name;
        std::vector<double> v;
        double x;
        while (ss >> x)
            v.push_back(x);
        if (!name.empty())
            points[name] = v;
    }
    return points;
}

struct PointLayers : ::testing::Test {
    fs::path dir = freshFolder("kolmo_point_layers");
    void TearDown() override { fs::remove_all(dir); }

    RunResult cli(std::vector<std::string> args)
    {
        args.insert(args.begin() + 1, {"--data-dir", dataDir().string()});
        return run(cliPath(), args, examplesDir());
    }
};

} // namespace

// A 7-parameter estimation D48/GK -> D96/TM written as a point file and as a
// layer of each format: the same points, easting first, EPSG:3794, the
// heights as a field; --order yx changes nothing in a layer.
TEST_F(PointLayers, TransformWritesEveryFormatEastingFirstInTheOutputCrs)
{
    const std::vector<std::string> common{"transform", "--start", "local/d48_gk.pod", "--start-type", "gk", "--end",
                                          "local/d96_tm.pod", "--end-type", "tm", "--out-type", "tm"};
    auto args = common;
    args.insert(args.end(), {"--report", (dir / "a.str").string(), "--out", (dir / "points.pod").string()});
    auto r = cli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto expected = readPointFile(dir / "points.pod");
    ASSERT_EQ(expected.size(), 20u);

    for (const char* name : {"points.gpkg", "points.shp", "points.geojson", "points.fgb", "points.gml"}) {
        SCOPED_TRACE(name);
        args = common;
        args.insert(args.end(), {"--report", (dir / "b.str").string(), "--out", (dir / name).string(), "--order", "yx"});
        r = cli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const ReadLayer layer = readLayer(dir / name);
        EXPECT_EQ(layer.authority, "EPSG:3794");
        EXPECT_NE(std::find(layer.fields.begin(), layer.fields.end(), "name"), layer.fields.end());
        EXPECT_NE(std::find(layer.fields.begin(), layer.fields.end(), "H"), layer.fields.end());
        ASSERT_EQ(layer.points.size(), expected.size());
        EXPECT_EQ(layer.order.front(), "LJ01") << "the points keep their order";
        for (const auto& [point, v] : expected) {
            const auto it = layer.points.find(point);
            ASSERT_NE(it, layer.points.end()) << point;
            EXPECT_NEAR(it->second.e, v[1], 0.0006) << point << ": easting first";
            EXPECT_NEAR(it->second.n, v[0], 0.0006) << point;
            ASSERT_TRUE(it->second.hasHeight) << point;
            EXPECT_NEAR(it->second.h, v[2], 0.0006) << point;
        }
        // Nothing of the temporary write is left beside it.
        for (const auto& entry : fs::directory_iterator(dir))
            EXPECT_EQ(entry.path().filename().string().find(".kolmo-"), std::string::npos) << entry.path();
    }

    // A DXF file: points with their heights as z (the names as TEXT beside them).
    args = common;
    args.insert(args.end(), {"--report", (dir / "c.str").string(), "--out", (dir / "points.dxf").string()});
    r = cli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    GDALAllRegister();
    Dataset dxf(GDALDataset::Open((dir / "points.dxf").c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    ASSERT_TRUE(dxf);
    std::size_t points = 0;
    for (auto& feature : *dxf->GetLayer(0))
        if (const OGRGeometry* g = feature->GetGeometryRef(); g && wkbFlatten(g->getGeometryType()) == wkbPoint) {
            const auto& lj01 = expected.at("LJ01");
            if (std::abs(g->toPoint()->getX() - lj01[1]) < 0.001) {
                EXPECT_NEAR(g->toPoint()->getY(), lj01[0], 0.001);
                EXPECT_NEAR(g->toPoint()->getZ(), lj01[2], 0.001);
            }
            ++points;
        }
    EXPECT_GE(points, expected.size());
}

// Latitude and longitude (a conversion tm-fila) go into EPSG:4258 with the
// longitude first and the ellipsoidal height as "h"; the plane models carry
// no height and get no height field; a failed run leaves no layer.
TEST_F(PointLayers, TransformLayerCrsFollowsTheCoordinates)
{
    auto r = cli({"transform", "--type", "tm-fila", "--start", "local/d96_tm.pod", "--report",
                  (dir / "a.str").string(), "--out", (dir / "fila.geojson").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    ReadLayer layer = readLayer(dir / "fila.geojson");
    EXPECT_EQ(layer.authority, "EPSG:4258");
    ASSERT_TRUE(layer.points.count("LJ01"));
    EXPECT_NEAR(layer.points["LJ01"].e, 14.514947808, 3e-8) << "longitude first";
    EXPECT_NEAR(layer.points["LJ01"].n, 46.051091349, 3e-8);
    EXPECT_NE(std::find(layer.fields.begin(), layer.fields.end(), "h"), layer.fields.end());

    r = cli({"transform", "--type", "2r4", "--start", "local/d48_gk_2d.pod", "--start-type", "gk", "--end",
             "local/d96_tm_2d.pod", "--end-type", "tm", "--report", (dir / "b.str").string(), "--out",
             (dir / "plane.gpkg").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    layer = readLayer(dir / "plane.gpkg");
    EXPECT_EQ(layer.authority, "EPSG:3794");
    EXPECT_EQ(layer.fields, std::vector<std::string>{"name"});
    EXPECT_EQ(layer.points.size(), 20u);

    r = cli({"transform", "--start", "local/d48_gk.pod", "--start-type", "gk", "--end", "no/such.pod", "--end-type",
             "tm", "--report", (dir / "c.str").string(), "--out", (dir / "failed.gpkg").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir / "failed.gpkg"));
    EXPECT_FALSE(fs::exists(dir / "c.str"));
}

// convert --out x.geojson: latitude and longitude on GRS80 into D96/TM,
// EPSG:3794, easting first, the same numbers as the point file of the same
// conversion; Bessel plane coordinates are EPSG:3912; Cartesian ones are no
// layer (a usage error).
TEST_F(PointLayers, ConvertWritesALayerInTheResultCrs)
{
    auto r = cli({"convert", "--in", "local/d96_fila.pod", "--out", (dir / "tm.pod").string(), "--heights",
                  "ellipsoidal"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto expected = readPointFile(dir / "tm.pod");
    r = cli({"convert", "--in", "local/d96_fila.pod", "--out", (dir / "tm.geojson").string(), "--heights",
             "ellipsoidal", "--out-type", "plane-yx"});
    ASSERT_EQ(r.status, 0) << r.err;
    ReadLayer layer = readLayer(dir / "tm.geojson");
    EXPECT_EQ(layer.authority, "EPSG:3794");
    ASSERT_EQ(layer.points.size(), expected.size());
    for (const auto& [point, v] : expected) {
        SCOPED_TRACE(point);
        ASSERT_TRUE(layer.points.count(point));
        EXPECT_NEAR(layer.points[point].e, v[1], 0.0006);
        EXPECT_NEAR(layer.points[point].n, v[0], 0.0006);
        EXPECT_NEAR(layer.points[point].h, v[2], 0.0006);
    }

    r = cli({"convert", "--in", "local/d96_fila.pod", "--ellipsoid", "bessel", "--out", (dir / "gk.shp").string(),
             "--heights", "none"});
    ASSERT_EQ(r.status, 0) << r.err;
    layer = readLayer(dir / "gk.shp");
    EXPECT_EQ(layer.authority, "EPSG:3912");
    EXPECT_EQ(layer.fields, std::vector<std::string>{"name"});

    r = cli({"convert", "--in", "local/d96_fila.pod", "--out-type", "cart", "--out", (dir / "cart.gpkg").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("point file"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "cart.gpkg"));
}

namespace {

// A GeoPackage of one point layer "tocke" in `epsg` (0: no CRS) with one
// point at (e, n) and a name field.
void pointLayer(const fs::path& file, int epsg, double e, double n)
{
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
    Dataset d(driver->Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRSpatialReference srs;
    if (epsg)
        srs.importFromEPSG(epsg);
    OGRLayer* layer = d->CreateLayer("tocke", epsg ? &srs : nullptr, wkbPoint, nullptr);
    OGRFieldDefn name("name", OFTString);
    layer->CreateField(&name);
    OGRFeature* f = OGRFeature::CreateFeature(layer->GetLayerDefn());
    f->SetField("name", "T1");
    OGRPoint p(e, n);
    f->SetGeometry(&p);
    EXPECT_EQ(layer->CreateFeature(f), OGRERR_NONE);
    OGRFeature::DestroyFeature(f);
}

} // namespace

// The errors of migrate name the option that mends them: a layer without a
// CRS --assume-crs, a D96/TM layer --from tm; an output that is the input is
// said in English, like every other cause on the command line.
TEST_F(PointLayers, MigrateErrorsNameTheirFix)
{
    pointLayer(dir / "none.gpkg", 0, 460000, 100000);
    pointLayer(dir / "tm.gpkg", 3794, 460000, 100000);
    pointLayer(dir / "wgs.gpkg", 4326, 14.5, 46.0);

    auto r = cli({"migrate", "--in", (dir / "none.gpkg").string(), "--out", (dir / "o.gpkg").string(), "-q"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(detailLines(r.err).find("run again with --assume-crs gk"), std::string::npos) << r.err;
    r = cli({"migrate", "--from", "tm", "--in", (dir / "none.gpkg").string(), "--out", (dir / "o.gpkg").string()});
    EXPECT_NE(detailLines(r.err).find("--assume-crs tm"), std::string::npos) << r.err;
    r = cli({"migrate", "--in", (dir / "none.gpkg").string(), "--out", (dir / "o.gpkg").string(), "--assume-crs",
             "gk", "-q"});
    EXPECT_EQ(r.status, 0) << r.err;
    fs::remove(dir / "o.gpkg");

    r = cli({"migrate", "--in", (dir / "tm.gpkg").string(), "--out", (dir / "o.gpkg").string(), "-q"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(detailLines(r.err).find("--from tm moves it into D48/GK"), std::string::npos) << r.err;
    r = cli({"migrate", "--in", (dir / "wgs.gpkg").string(), "--out", (dir / "o.gpkg").string(), "-q"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(detailLines(r.err).find("ogr2ogr -t_srs EPSG:3912"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "o.gpkg"));

    // A point file of a name GIS programs do not know: read as a dataset, and
    // the message says how to have it read as points.
    std::ofstream(dir / "a.pts") << "A 100000 460000 300\n";
    r = cli({"migrate", "--in", (dir / "a.pts").string(), "--out", (dir / "b.gpkg").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(detailLines(r.err).find("name it *.pod, *.txt, *.csv, *.xyz or *.dat"), std::string::npos) << r.err;

    std::ofstream(dir / "a.pod") << "A 100000 460000 300\n";
    r = cli({"migrate", "--in", (dir / "a.pod").string(), "--out", (dir / "." / "a.pod").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka: Transformacija ni uspela!\n");
    EXPECT_NE(detailLines(r.err).find("is the input"), std::string::npos) << r.err;
    EXPECT_EQ(detailLines(r.err).find("enaka"), std::string::npos) << r.err;
}

// A Shapefile without a .cpg whose text is Windows-1250: --input-encoding
// CP1250 reads its names right, and the GeoPackage written holds them in
// UTF-8; a .cpg beside it is followed instead.
TEST_F(PointLayers, MigrateReadsAShapefileInTheGivenEncoding)
{
    GDALAllRegister();
    {
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
        Dataset d(driver->Create((dir / "cp.shp").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        OGRSpatialReference srs;
        srs.importFromEPSG(3912);
        const char* options[] = {"ENCODING=", nullptr}; // the bytes as they are, no .cpg
        OGRLayer* layer = d->CreateLayer("cp", &srs, wkbPoint, const_cast<char**>(options));
        OGRFieldDefn name("name", OFTString);
        layer->CreateField(&name);
        OGRFeature* f = OGRFeature::CreateFeature(layer->GetLayerDefn());
        f->SetField("name", "\xC8\x9A\x9E"); // Čšž in Windows-1250
        OGRPoint p(460000, 100000);
        f->SetGeometry(&p);
        EXPECT_EQ(layer->CreateFeature(f), OGRERR_NONE);
        OGRFeature::DestroyFeature(f);
    }
    fs::remove(dir / "cp.cpg"); // a file written by an old program: no word of its encoding
    auto r = cli({"migrate", "--in", (dir / "cp.shp").string(), "--out", (dir / "o.gpkg").string(), "--input-encoding",
                  "CP1250", "-q"});
    ASSERT_EQ(r.status, 0) << r.err;
    const ReadLayer layer = readLayer(dir / "o.gpkg");
    ASSERT_EQ(layer.order.size(), 1u);
    EXPECT_EQ(layer.order[0], "\xC4\x8C\xC5\xA1\xC5\xBE");

    EXPECT_EQ(cli({"migrate", "--in", (dir / "cp.shp").string(), "--out", (dir / "p.gpkg").string(),
                   "--input-encoding", "NO-SUCH-CODE"})
                  .status,
              2);
    std::ofstream(dir / "a.pod") << "A 100000 460000 300\n";
    EXPECT_EQ(cli({"migrate", "--in", (dir / "a.pod").string(), "--out", (dir / "b.pod").string(), "--input-encoding",
                   "CP1250"})
                  .status,
              2);
}
