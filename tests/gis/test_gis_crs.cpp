// A layer's CRS judged by its definition, and the national migration's
// valid area for datasets: a D96/TM definition under the code EPSG:3912 is
// refused naming both, the D48/GK variants are named in a warning, a vertex
// with the zone digit in a layer assumed to be D48/GK is not stripped by
// guess, and a vertex far beyond the national border stops the run with the
// layer and feature named.
#include "migrate/gdal/crs_check.h"
#include "migrate/datasets.h"
#include "migrate/migrate.h"
#include "platform/errors.h"
#include "support/paths.h"
#include "support/run.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <fstream>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

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

// The WKT 1 of an EPSG code, a deprecated one as it stands (GDAL would
// otherwise give its replacement: EPSG:3912 for EPSG:3787).
std::string wkt1Of(int code)
{
    CPLSetThreadLocalConfigOption("OSR_USE_NON_DEPRECATED", "NO");
    OGRSpatialReference srs;
    srs.importFromEPSG(code);
    CPLSetThreadLocalConfigOption("OSR_USE_NON_DEPRECATED", nullptr);
    char* text = nullptr;
    srs.exportToWkt(&text);
    std::string wkt = text;
    CPLFree(text);
    return wkt;
}

void keep(std::size_t count, double*, double*, double*, int* ok)
{
    for (std::size_t i = 0; i < count; ++i)
        ok[i] = 1;
}

class GisCrs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { GDALAllRegister(); }
    void SetUp() override { dir_ = test::freshFolder("gis_crs"); }
    void TearDown() override { fs::remove_all(dir_); }

    // A Shapefile of points in `srs` (none when null); `prj` replaces the .prj GDAL wrote.
    fs::path shapefile(const std::string& name, const OGRSpatialReference* srs,
                       const std::vector<std::pair<double, double>>& points, const std::string& prj = {})
    {
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
        const fs::path file = dir_ / (name + ".shp");
        {
            Dataset ds(driver->Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
            OGRLayer* layer = ds->CreateLayer(name.c_str(), const_cast<OGRSpatialReference*>(srs), wkbPoint, nullptr);
            for (const auto& [e, n] : points) {
                OGRFeature feature(layer->GetLayerDefn());
                feature.SetGeometryDirectly(new OGRPoint(e, n));
                EXPECT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
            }
        }
        if (!prj.empty())
            std::ofstream(dir_ / (name + ".prj")) << prj;
        return file;
    }

    std::string messageOf(const MigrateOptions& o) const
    {
        try {
            migrate(o);
        } catch (const Error& e) {
            return e.what();
        }
        return "no error";
    }
    MigrateOptions options(const fs::path& in) const
    {
        MigrateOptions o;
        o.in = in;
        o.out = dir_ / "out.gpkg";
        o.dataDir = test::dataDir();
        return o;
    }

    fs::path dir_;
};

// The definition decides; the code must agree with it.
TEST_F(GisCrs, TheDefinitionDecidesAndAContradictingCodeIsRefused)
{
    EXPECT_EQ(gridByDefinition(srsOf(3912)), SloveneGrid::Gk);
    EXPECT_EQ(gridByDefinition(srsOf(3787)), SloveneGrid::Gk);
    EXPECT_EQ(gridByDefinition(srsOf(31275)), SloveneGrid::GkZone5);
    EXPECT_EQ(gridByDefinition(srsOf(3794)), SloveneGrid::Tm);
    EXPECT_EQ(gridByDefinition(srsOf(4326)), SloveneGrid::Other);
    // Bessel's TM 15 on a datum of another country is no D48/GK; on an
    // unnamed one it passes on the strength of the rest.
    const std::string tm15 = R"(PROJECTION["Transverse_Mercator"],PARAMETER["latitude_of_origin",0],
        PARAMETER["central_meridian",15],PARAMETER["scale_factor",0.9999],PARAMETER["false_easting",500000],
        PARAMETER["false_northing",-5000000],UNIT["metre",1]])";
    const auto bessel = [&](const std::string& datum) {
        OGRSpatialReference srs;
        EXPECT_EQ(srs.importFromWkt((R"(PROJCS["test",GEOGCS["test",DATUM[")" + datum +
                                     R"(",SPHEROID["Bessel 1841",6377397.155,299.1528128]],PRIMEM["Greenwich",0],
                                     UNIT["degree",0.0174532925199433]],)" + tm15)
                                        .c_str()),
                  OGRERR_NONE);
        return gridByDefinition(srs);
    };
    EXPECT_EQ(bessel("D_MGI"), SloveneGrid::Gk);
    EXPECT_EQ(bessel("Unknown based on Bessel 1841 ellipsoid"), SloveneGrid::Gk);
    EXPECT_EQ(bessel("Deutsches_Hauptdreiecksnetz"), SloveneGrid::Other);

    // D96/TM parameters under AUTHORITY["EPSG","3912"], as a .prj copied
    // from one file to another has them: refused, both named.
    std::string forged = wkt1Of(3794);
    const auto at = forged.rfind("AUTHORITY[\"EPSG\",\"3794\"]");
    ASSERT_NE(at, std::string::npos);
    forged.replace(at, 24, "AUTHORITY[\"EPSG\",\"3912\"]");
    const OGRSpatialReference tm = srsOf(3794);
    const fs::path in = shapefile("forged", &tm, {{460000, 100000}}, forged);
    DatasetJob job;
    job.in = in;
    job.out = dir_ / "out.gpkg";
    job.move = keep;
    std::string why;
    try {
        migrateDataset(job);
    } catch (const FileError& e) {
        why = e.what();
    }
    EXPECT_NE(why.find("EPSG:3912"), std::string::npos) << why;
    EXPECT_NE(why.find("GRS 1980"), std::string::npos) << why;
    EXPECT_NE(why.find("D96/TM (EPSG:3794)"), std::string::npos) << why;
    EXPECT_NE(why.find("contradict"), std::string::npos) << why;
    EXPECT_FALSE(fs::exists(job.out));
    // The same file is refused the other way as well: its code says D48/GK.
    job.from = MigrateFrom::Tm;
    EXPECT_THROW(migrateDataset(job), FileError);

    // A D48/GK .prj without any code (as ESRI writes it) is taken without a word.
    const OGRSpatialReference gk = srsOf(3912);
    OGRSpatialReference esri(gk);
    esri.morphToESRI();
    char* text = nullptr;
    esri.exportToWkt(&text);
    const std::string esriWkt = text;
    CPLFree(text);
    ASSERT_EQ(esriWkt.find("AUTHORITY"), std::string::npos) << esriWkt;
    job.in = shapefile("esri", &gk, {{460000, 100000}}, esriWkt);
    job.from = MigrateFrom::Gk;
    const DatasetSummary plain = migrateDataset(job);
    EXPECT_EQ(plain.features, 1u);
    EXPECT_TRUE(plain.warnings.empty()) << plain.warnings.front();
}

// EPSG:3787 and the Balkans zone 5 form are taken, and a warning says what
// the layer is and how it was taken.
TEST_F(GisCrs, VariantsOfD48AreNamedWhenTaken)
{
    // A .prj with the code, as older programs wrote it (GDAL itself gives
    // EPSG:3912 for EPSG:3787 unless told otherwise).
    const OGRSpatialReference old = srsOf(3787), zone5 = srsOf(31275);
    for (const auto& [name, srs, e, n, words] :
         std::vector<std::tuple<std::string, const OGRSpatialReference*, double, double, std::string>>{
             {"old", &old, 460000, 100000, "EPSG:3787"}, {"z5", &zone5, 5460000, 5100000, "zone 5"}}) {
        const fs::path file = shapefile(name, srs, {{e, n}}, wkt1Of(name == "old" ? 3787 : 31275));
        MigrateOptions o = options(file);
        o.out = dir_ / (name + "_out.gpkg");
        const MigrateSummary s = migrate(o);
        EXPECT_EQ(s.written, 1u);
        ASSERT_EQ(s.warnings.size(), 1u) << name;
        EXPECT_NE(s.warnings[0].find("layer \"" + name + "\""), std::string::npos) << s.warnings[0];
        EXPECT_NE(s.warnings[0].find(words), std::string::npos) << s.warnings[0];
        EXPECT_NE(s.warnings[0].find("taken as D48/GK"), std::string::npos) << s.warnings[0];
    }
}

// The zone digit goes only where the layer's CRS says so; a vertex beyond
// the margin around the border stops the run naming layer and feature.
TEST_F(GisCrs, NoZoneDigitByGuessAndNothingFarFromTheBorder)
{
    // Without a CRS, assumed D48/GK: 5 460 000 is not stripped.
    const fs::path zoned = shapefile("zoned", nullptr, {{460000, 100000}, {5460000, 5100000}});
    MigrateOptions o = options(zoned);
    o.assumeCrs = "gk";
    std::string why = messageOf(o);
    EXPECT_NE(why.find("layer \"zoned\", feature 1"), std::string::npos) << why;
    EXPECT_NE(why.find("EPSG:31275"), std::string::npos) << why;
    EXPECT_FALSE(fs::exists(o.out));

    // Vienna and Venice lie inside the model's outer triangles but far from
    // Slovenia; a point in Ljubljana goes through.
    const OGRSpatialReference gk = srsOf(3912), tm = srsOf(3794);
    int k = 0;
    for (const auto& [e, n] : std::vector<std::pair<double, double>>{{602459.3, 341471.3}, {290361.4, 36446.8}}) {
        const std::string name = "far" + std::to_string(k++);
        why = messageOf(options(shapefile(name, &gk, {{462000, 101000}, {e, n}})));
        EXPECT_NE(why.find("layer \"" + name + "\", feature 1"), std::string::npos) << why;
        EXPECT_NE(why.find("national border"), std::string::npos) << why;
        EXPECT_FALSE(fs::exists(dir_ / "out.gpkg"));
    }
    const fs::path back = shapefile("back", &tm, {{602095.8, 341956.3}});
    o = options(back);
    o.from = MigrateFrom::Tm;
    why = messageOf(o);
    EXPECT_NE(why.find("layer \"back\", feature 0"), std::string::npos) << why;
    EXPECT_NE(why.find("10 km from the national border"), std::string::npos) << why;
    const fs::path near = shapefile("near", &gk, {{462000, 101000}});
    EXPECT_EQ(migrate(options(near)).written, 1u);
}

} // namespace
} // namespace kolmo
