// GIS datasets through migrateDataset: small layers built with GDAL in
// EPSG:3912 (points, a 3D line layer, multipolygons with a hole; integer,
// real, string and date attributes with Slovene letters) moved by a known
// callback (e + 370, n - 480, h + 1), written in each output format and read
// back with GDAL: the CRS, the layer names, the feature order, the fields and
// every vertex as the callback moved it.  The vertices are compared through
// the geometries' WKT, number by number, apart from the code's walk over them.
#include "migrate/datasets.h"
#include "platform/errors.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

constexpr double kDe = 370.0, kDn = -480.0, kDh = 1.0;
constexpr double kModelEdge = 700000.0; // eastings beyond it are outside the test's model

void shift(std::size_t count, double* e, double* n, double* h, int* ok)
{
    for (std::size_t i = 0; i < count; ++i) {
        ok[i] = e[i] < kModelEdge;
        e[i] += kDe;
        n[i] += kDn;
        if (h)
            h[i] += kDh;
    }
}

struct Closer {
    void operator()(GDALDataset* d) const { GDALClose(GDALDataset::ToHandle(d)); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

OGRSpatialReference srsOf(int code)
{
    OGRSpatialReference srs;
    srs.importFromEPSG(code);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

struct LayerPlan {
    const char* name;
    OGRwkbGeometryType type;
    std::vector<const char*> wkt; // "" for a feature without a geometry
};

const std::vector<LayerPlan>& plans()
{
    static const std::vector<LayerPlan> layers{
        {"tocke", wkbPoint, {"POINT (460000.125 100000.5)", "", "POINT (461000 101000)"}},
        {"ceste", wkbLineString25D,
         {"LINESTRING Z (460000 100000 300.5,460100 100050 301,460200 100000 302.25)",
          "LINESTRING Z (462000 99000 250,462010 99010 251)"}},
        {"parcele", wkbMultiPolygon,
         {"MULTIPOLYGON (((460000 100000,460100 100000,460100 100100,460000 100100,460000 100000),"
          "(460020 100020,460020 100040,460040 100040,460020 100020)),"
          "((460200 100000,460300 100000,460300 100100,460200 100000)))",
          "MULTIPOLYGON (((461000 101000,461050 101000,461050 101050,461000 101000)))"}},
        {"razno", wkbUnknown,
         {"GEOMETRYCOLLECTION Z (POINT Z (460000 100000 5),LINESTRING Z (460000 100000 1,460010 100010 2),"
          "POLYGON Z ((460000 100000 1,460010 100000 2,460010 100010 3,460000 100000 1)))",
          "MULTIPOINT ((460000 100000),(460010 100010))",
          "COMPOUNDCURVE ((460000 100000,460010 100000),CIRCULARSTRING (460010 100000,460015 100005,460020 100000))",
          "CURVEPOLYGON (COMPOUNDCURVE (CIRCULARSTRING (460000 100000,460005 100005,460010 100000),"
          "(460010 100000,460000 100000)))"}},
    };
    return layers;
}

// One layer per plan (or only `only`), in `srs` (none when null), with an
// integer, a real, a string and a date field.
void makeDataset(const fs::path& path, const char* driverName, const OGRSpatialReference* srs,
                 const char* only = nullptr)
{
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
    ASSERT_NE(driver, nullptr);
    Dataset ds(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    ASSERT_TRUE(ds);
    for (const auto& plan : plans()) {
        if (only && std::string(only) != plan.name)
            continue;
        const char* options[] = {"ENCODING=UTF-8", nullptr};
        OGRLayer* layer = ds->CreateLayer(plan.name, const_cast<OGRSpatialReference*>(srs), plan.type,
                                          std::string(driverName) == "ESRI Shapefile" ? const_cast<char**>(options)
                                                                                     : nullptr);
        ASSERT_NE(layer, nullptr);
        OGRFieldDefn id("stevilka", OFTInteger), area("povrsina", OFTReal), name("ime", OFTString),
            date("datum", OFTDate);
        area.SetWidth(12);
        area.SetPrecision(3);
        name.SetWidth(40);
        for (auto* f : {&id, &area, &name, &date})
            ASSERT_EQ(layer->CreateField(f), OGRERR_NONE);
        int k = 0;
        for (const char* wkt : plan.wkt) {
            OGRFeature feature(layer->GetLayerDefn());
            feature.SetField("stevilka", 10 + k);
            feature.SetField("povrsina", 1234.5 + k);
            feature.SetField("ime", k == 0 ? "Čšž žaba" : "Šentjur");
            feature.SetField("datum", 2020 + k, 2, 29 - k);
            if (*wkt) {
                OGRGeometry* geometry = nullptr;
                ASSERT_EQ(OGRGeometryFactory::createFromWkt(wkt, const_cast<OGRSpatialReference*>(srs), &geometry), OGRERR_NONE);
                feature.SetGeometryDirectly(geometry);
            }
            ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
            ++k;
        }
    }
}

// The numbers of a WKT text in their order (the coordinates).
std::vector<double> numbers(const std::string& wkt)
{
    std::vector<double> values;
    const char* p = wkt.c_str();
    while (*p) {
        if (std::isdigit(static_cast<unsigned char>(*p)) || (*p == '-' && std::isdigit(static_cast<unsigned char>(p[1])))) {
            char* end = nullptr;
            values.push_back(std::strtod(p, &end));
            p = end;
        } else {
            ++p;
        }
    }
    return values;
}

std::string wktOf(const OGRGeometry* geometry)
{
    if (!geometry)
        return "";
    OGRWktOptions options;
    options.variant = wkbVariantIso;
    options.precision = 17;
    OGRErr err = OGRERR_NONE;
    return geometry->exportToWkt(options, &err);
}

// Every vertex of `out` is the one of `in` moved as shift() does (the
// zone digit `zone` first taken off both coordinates).
void expectMoved(const OGRGeometry* in, const OGRGeometry* out, double zone = 0)
{
    ASSERT_EQ(in == nullptr, out == nullptr);
    if (!in)
        return;
    const auto a = numbers(wktOf(in));
    const auto b = numbers(wktOf(out));
    ASSERT_EQ(a.size(), b.size()) << wktOf(in) << "\n" << wktOf(out);
    const int dims = in->Is3D() ? 3 : 2;
    EXPECT_EQ(in->Is3D(), out->Is3D());
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double delta = i % dims == 0 ? kDe - zone : i % dims == 1 ? kDn - zone : kDh;
        EXPECT_NEAR(b[i], a[i] + delta, 1e-6) << "number " << i << " of " << wktOf(out);
    }
}

class GisLayers : public ::testing::Test {
protected:
    static void SetUpTestSuite() { GDALAllRegister(); }
    void SetUp() override
    {
        char pattern[] = "/tmp/kolmo-gis-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    DatasetJob job(const fs::path& in, const fs::path& out) const
    {
        DatasetJob j;
        j.in = dir_ / in;
        j.out = dir_ / out;
        j.move = shift;
        return j;
    }
    // Nothing but `expected` in the folder: no output, no temporary left.
    void expectOnly(std::set<std::string> expected) const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.insert(entry.path().filename().string());
        EXPECT_EQ(names, expected);
    }

    fs::path dir_;
};

struct Conversion {
    const char* in;
    const char* inDriver;
    const char* out;
    const char* layer;  // single-layer formats
    bool keepsTypes;    // the format stores the fields' types
    bool keepsWidths;   // and their widths (both ways)
    bool keepsCrs;
};

class GisFormats : public GisLayers, public ::testing::WithParamInterface<Conversion> {};

// Layer names, order of features, fields, values and vertices (of points,
// lines, polygons with holes, their multi-forms, collections and curves, 2D
// and 3D) survive the way through each output format.
TEST_P(GisFormats, MovesEveryVertexAndKeepsTheRest)
{
    const Conversion c = GetParam();
    const OGRSpatialReference gk = srsOf(3912);
    makeDataset(dir_ / c.in, c.inDriver, &gk, std::string(c.inDriver) == "GPKG" ? nullptr : c.layer);
    DatasetJob j = job(c.in, c.out);
    j.layer = c.layer ? c.layer : "";
    const DatasetSummary summary = migrateDataset(j);

    Dataset in(GDALDataset::Open((dir_ / c.in).c_str(), GDAL_OF_VECTOR));
    Dataset out(GDALDataset::Open((dir_ / c.out).c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(in && out);
    const OGRSpatialReference tm = srsOf(3794);
    const char* sameOptions[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", nullptr};
    std::size_t features = 0;
    int o = 0;
    for (int l = 0; l < in->GetLayerCount(); ++l) {
        OGRLayer* src = in->GetLayer(l);
        if (c.layer && std::string(c.layer) != src->GetName())
            continue;
        ASSERT_LT(o, out->GetLayerCount());
        OGRLayer* dst = out->GetLayer(o++);
        if (std::string(c.out).ends_with(".gpkg") || std::string(c.out).ends_with(".gml")) {
            EXPECT_STREQ(dst->GetName(), src->GetName());
        }
        if (c.keepsCrs) {
            ASSERT_NE(dst->GetSpatialRef(), nullptr);
            EXPECT_TRUE(dst->GetSpatialRef()->IsSame(&tm, sameOptions)) << dst->GetSpatialRef()->GetName();
        }
        OGRFeatureDefn* a = src->GetLayerDefn();
        OGRFeatureDefn* b = dst->GetLayerDefn();
        for (int i = 0; i < a->GetFieldCount(); ++i) {
            const int k = b->GetFieldIndex(a->GetFieldDefn(i)->GetNameRef());
            ASSERT_GE(k, 0) << a->GetFieldDefn(i)->GetNameRef();
            if (c.keepsTypes) {
                EXPECT_EQ(b->GetFieldDefn(k)->GetType(), a->GetFieldDefn(i)->GetType());
            }
            if (c.keepsWidths) {
                EXPECT_EQ(b->GetFieldDefn(k)->GetWidth(), a->GetFieldDefn(i)->GetWidth());
                EXPECT_EQ(b->GetFieldDefn(k)->GetPrecision(), a->GetFieldDefn(i)->GetPrecision());
            }
        }
        for (;;) {
            OGRFeatureUniquePtr fa(src->GetNextFeature()), fb(dst->GetNextFeature());
            ASSERT_EQ(fa == nullptr, fb == nullptr);
            if (!fa)
                break;
            ++features;
            for (int i = 0; i < a->GetFieldCount(); ++i) {
                const char* name = a->GetFieldDefn(i)->GetNameRef();
                std::string va = fa->GetFieldAsString(name), vb = fb->GetFieldAsString(name);
                if (a->GetFieldDefn(i)->GetType() == OFTDate)
                    vb = vb.substr(0, 10); // a date written as a date-time
                if (a->GetFieldDefn(i)->GetType() == OFTReal)
                    EXPECT_EQ(fb->GetFieldAsDouble(name), fa->GetFieldAsDouble(name)) << name;
                else
                    EXPECT_EQ(vb, va) << name;
            }
            OGRGeometry* moved = fb->GetGeometryRef();
            // GDAL's GML reader makes every layer 3D when one is.
            if (moved && std::string(c.out).ends_with(".gml") && !fa->GetGeometryRef()->Is3D())
                moved->flattenTo2D();
            expectMoved(fa->GetGeometryRef(), moved);
        }
    }
    EXPECT_EQ(summary.features, features);
    EXPECT_EQ(o, out->GetLayerCount());
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, GisFormats,
    ::testing::Values(Conversion{"in.gpkg", "GPKG", "out.gpkg", nullptr, true, true, true},
                      Conversion{"in.gpkg", "GPKG", "ceste.shp", "ceste", true, false, true},
                      Conversion{"in.gpkg", "GPKG", "out.geojson", "parcele", true, false, true},
                      Conversion{"in.gpkg", "GPKG", "out.fgb", "ceste", false, false, true},
                      Conversion{"in.gpkg", "GPKG", "out.gml", nullptr, false, false, true},
                      Conversion{"in.gpkg", "GPKG", "out.csv", "parcele", true, false, false},
                      Conversion{"parcele.shp", "ESRI Shapefile", "out.gpkg", "parcele", true, false, true},
                      Conversion{"in.geojson", "GeoJSON", "out.gpkg", "tocke", true, false, true}),
    [](const ::testing::TestParamInfo<Conversion>& param) {
        std::string name = std::string(param.param.in) + "_" + param.param.out;
        for (char& ch : name)
            if (ch == '.')
                ch = '_';
        return name;
    });

std::string messageOf(const DatasetJob& j)
{
    try {
        migrateDataset(j);
    } catch (const FileError& e) {
        return e.what();
    }
    return "no error";
}

// A CRS other than the expected one, or none, is refused before anything is
// written; an assumed CRS lets a layer without one through.
TEST_F(GisLayers, RefusesOtherCrsAndWritesNothing)
{
    const OGRSpatialReference wgs = srsOf(4326);
    makeDataset(dir_ / "wgs.gpkg", "GPKG", &wgs, "tocke");
    makeDataset(dir_ / "none.gpkg", "GPKG", nullptr, "tocke");
    const OGRSpatialReference gk = srsOf(3912);
    makeDataset(dir_ / "gk.gpkg", "GPKG", &gk, "tocke");

    const std::string wrong = messageOf(job("wgs.gpkg", "out.gpkg"));
    EXPECT_NE(wrong.find("\"WGS 84\" (EPSG:4326)"), std::string::npos) << wrong;
    EXPECT_NE(wrong.find("EPSG:3912"), std::string::npos) << wrong;
    const std::string none = messageOf(job("none.gpkg", "out.gpkg"));
    EXPECT_NE(none.find("no CRS"), std::string::npos) << none;
    DatasetJob back = job("gk.gpkg", "out.gpkg");
    back.from = MigrateFrom::Tm;
    EXPECT_NE(messageOf(back).find("EPSG:3794"), std::string::npos);
    expectOnly({"wgs.gpkg", "none.gpkg", "gk.gpkg"});

    DatasetJob assumed = job("none.gpkg", "out.gpkg");
    assumed.assumeCrs = "gk";
    std::vector<double> shares;
    MigrateProgress progress;
    progress.report = [&](double share) { shares.push_back(share); };
    const DatasetSummary summary = migrateDataset(assumed, progress);
    EXPECT_EQ(summary.features, 3u);
    ASSERT_FALSE(shares.empty());
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_EQ(shares.back(), 1.0);
    ASSERT_EQ(summary.warnings.size(), 1u);
    EXPECT_NE(summary.warnings[0].find("1 feature(s) without a geometry"), std::string::npos);
    assumed.assumeCrs = "tm";
    EXPECT_NE(messageOf(assumed).find("assumed"), std::string::npos);
}

// EPSG:31275 carries the zone digit in the easting and the full northing:
// both lose 5 000 000 m before the vertices move.
TEST_F(GisLayers, BalkansZoneFiveLosesItsZoneDigit)
{
    const OGRSpatialReference zone5 = srsOf(31275);
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    {
        Dataset ds(driver->Create((dir_ / "z5.shp").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        OGRLayer* layer = ds->CreateLayer("z5", const_cast<OGRSpatialReference*>(&zone5), wkbPoint, nullptr);
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetGeometryDirectly(new OGRPoint(5460000.25, 5100000.5));
        ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
    migrateDataset(job("z5.shp", "out.gpkg"));
    Dataset out(GDALDataset::Open((dir_ / "out.gpkg").c_str(), GDAL_OF_VECTOR));
    OGRFeatureUniquePtr f(out->GetLayer(0)->GetNextFeature());
    const OGRPoint zoned(5460000.25, 5100000.5);
    expectMoved(&zoned, f->GetGeometryRef(), 5000000.0);
}

// A vertex outside the model, a field the output cannot hold, an unknown
// layer or extension, or a cancel: an error, and the existing output and the
// folder are as they were.
TEST_F(GisLayers, FailureLeavesTheOutputAlone)
{
    const OGRSpatialReference gk = srsOf(3912);
    makeDataset(dir_ / "in.gpkg", "GPKG", &gk);
    {
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
        Dataset ds(GDALDataset::Open((dir_ / "in.gpkg").c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        OGRLayer* layer = ds->GetLayerByName("ceste");
        OGRFeature feature(layer->GetLayerDefn());
        OGRGeometry* far = nullptr;
        OGRGeometryFactory::createFromWkt("LINESTRING Z (460000 100000 1,750000 100000 2)",
                                          const_cast<OGRSpatialReference*>(&gk), &far);
        feature.SetGeometryDirectly(far);
        ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
        (void)driver;
    }
    { std::ofstream(dir_ / "out.gpkg") << "the old output"; }

    const std::string outside = messageOf(job("in.gpkg", "out.gpkg"));
    EXPECT_NE(outside.find("layer \"ceste\", feature 3"), std::string::npos) << outside;
    EXPECT_NE(outside.find("outside the model"), std::string::npos) << outside;
    std::stringstream old;
    old << std::ifstream(dir_ / "out.gpkg").rdbuf();
    EXPECT_EQ(old.str(), "the old output");

    DatasetJob dxf = job("in.gpkg", "out.dxf");
    dxf.layer = "tocke";
    EXPECT_NE(messageOf(dxf).find("field \"stevilka\""), std::string::npos) << messageOf(dxf);
    DatasetJob unknown = job("in.gpkg", "out.gpkg");
    unknown.layer = "reke";
    EXPECT_NE(messageOf(unknown).find("\"tocke\", \"ceste\", \"parcele\""), std::string::npos);
    EXPECT_NE(messageOf(job("in.gpkg", "out.xyz")).find(".gpkg .shp"), std::string::npos);
    EXPECT_NE(messageOf(job("in.gpkg", "out.shp")).find("one layer"), std::string::npos);
    DatasetJob fgb = job("in.gpkg", "out.fgb");
    fgb.layer = "tocke";
    EXPECT_NE(messageOf(fgb).find("without a geometry (NULL or EMPTY), which the FlatGeobuf format cannot hold "
                                  "(feature 2)"),
              std::string::npos)
        << messageOf(fgb);

    std::atomic<bool> cancel{true};
    MigrateProgress progress;
    progress.cancel = &cancel;
    DatasetJob fine = job("in.gpkg", "new.gpkg");
    fine.layer = "parcele";
    EXPECT_THROW(migrateDataset(fine, progress), MigrateCancelled);
    expectOnly({"in.gpkg", "out.gpkg"});
}

TEST(GisPointFiles, KnownByTheirExtension)
{
    for (const char* point : {"a.pod", "b.TXT", "c.Csv", "-"})
        EXPECT_TRUE(isPointFile(point)) << point;
    for (const char* gis : {"a.gpkg", "b.shp", "c.geojson", "d"})
        EXPECT_FALSE(isPointFile(gis)) << gis;
}

} // namespace
} // namespace kolmo
