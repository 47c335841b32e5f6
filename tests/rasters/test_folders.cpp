// Whole folders through kolmo-cli migrate: a project folder with a point
// file, a Shapefile set with its QGIS style, a GeoPackage in a subfolder, a
// GeoTIFF and a note, moved into a new folder of the same shape in two
// parallel jobs; and the same folder with a damaged GeoTIFF, which stops the
// run naming the file and leaves no output folder (nor its hidden sibling).
#include "migrate/tran_trik.h"
#include "support/paths.h"
#include "support/run.h"

#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

struct Closer {
    void operator()(GDALDataset* d) const { GDALClose(GDALDataset::ToHandle(d)); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

OGRSpatialReference gk()
{
    OGRSpatialReference srs;
    srs.importFromEPSG(3912);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

void vectorFile(const fs::path& file, const char* driverName, const char* wkt, int count)
{
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
    ASSERT_NE(driver, nullptr);
    Dataset d(driver->Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    ASSERT_TRUE(d);
    OGRSpatialReference srs = gk();
    OGRLayer* layer = d->CreateLayer(file.stem().c_str(), &srs, wkbUnknown, nullptr);
    ASSERT_NE(layer, nullptr);
    OGRFieldDefn name("ime", OFTString);
    layer->CreateField(&name);
    for (int k = 0; k < count; ++k) {
        OGRFeature* f = OGRFeature::CreateFeature(layer->GetLayerDefn());
        f->SetField("ime", ("parcela " + std::to_string(k)).c_str());
        OGRGeometry* g = nullptr;
        OGRGeometryFactory::createFromWkt(wkt, nullptr, &g);
        g->assignSpatialReference(&srs);
        f->SetGeometryDirectly(g);
        ASSERT_EQ(layer->CreateFeature(f), OGRERR_NONE);
        OGRFeature::DestroyFeature(f);
    }
}

void geotiff(const fs::path& file, int epsg = 3912)
{
    GDALAllRegister();
    Dataset d(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(file.c_str(), 64, 48, 1, GDT_Byte, nullptr));
    ASSERT_TRUE(d);
    double gt[6] = {460000, 5, 0, 101000, 0, -5};
    d->SetGeoTransform(gt);
    OGRSpatialReference srs;
    srs.importFromEPSG(epsg);
    d->SetSpatialRef(&srs);
    d->GetRasterBand(1)->SetNoDataValue(0);
    d->GetRasterBand(1)->Fill(7);
}

fs::path project(const fs::path& dir)
{
    const fs::path p = dir / "projekt";
    fs::create_directories(p / "parcele");
    fs::create_directories(p / "sub");
    std::ofstream(p / "tocke.txt") << "T1 100000.000 460000.000 300.000\nT2 101000.000 461000.000 310.000\n";
    vectorFile(p / "parcele" / "parcele.shp", "ESRI Shapefile",
               "POLYGON ((460000 100000,460100 100000,460100 100100,460000 100000))", 3);
    std::ofstream(p / "parcele" / "parcele.qml") << "<qgis styleCategories=\"AllStyleCategories\"/>\n";
    vectorFile(p / "sub" / "ceste.gpkg", "GPKG", "LINESTRING (460000 100000,461000 100500)", 2);
    geotiff(p / "dof.tif");
    std::ofstream(p / "opis.md") << "Projekt v D48/GK.\n";
    return p;
}

TEST(FolderMigrate, MovesEveryMemberIntoAFolderOfTheSameShape)
{
    const auto dir = test::freshFolder("folder_ok");
    project(dir);
    const auto r = test::run(test::cliPath(), {"migrate", "--in", "projekt", "--out", "projekt_d96", "--jobs", "2"}, dir);
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    const fs::path out = dir / "projekt_d96";
    for (const char* file : {"tocke.txt", "parcele/parcele.shp", "parcele/parcele.shx", "parcele/parcele.dbf",
                             "parcele/parcele.prj", "parcele/parcele.qml", "sub/ceste.gpkg", "dof.tif", "opis.md"})
        EXPECT_TRUE(fs::exists(out / file)) << file;
    EXPECT_EQ(test::readText(out / "parcele" / "parcele.qml"), test::readText(dir / "projekt/parcele/parcele.qml"));
    EXPECT_EQ(test::readText(out / "opis.md"), "Projekt v D48/GK.\n");
    // Each member moved into D96/TM.
    GDALAllRegister();
    for (const char* file : {"parcele/parcele.shp", "sub/ceste.gpkg"}) {
        Dataset d(GDALDataset::Open((out / file).c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
        ASSERT_TRUE(d) << file;
        OGRLayer* layer = d->GetLayer(0);
        EXPECT_STREQ(layer->GetSpatialRef()->GetAuthorityCode(nullptr), "3794") << file;
        OGREnvelope box;
        ASSERT_EQ(layer->GetExtent(&box), OGRERR_NONE);
        double e = 0, n = 0;
        ASSERT_TRUE(TriangleModel::of(test::dataDir()).gkToTm(460000, 100000, e, n));
        EXPECT_NEAR(box.MinX, e, 1e-6) << file; // the westernmost vertex, moved by the model
    }
    Dataset raster(GDALDataset::Open((out / "dof.tif").c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    ASSERT_TRUE(raster);
    EXPECT_STREQ(raster->GetSpatialRef()->GetAuthorityCode(nullptr), "3794");
    // The table: each member with its kind and what it moved.
    EXPECT_NE(r.out.find("tocke.txt"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2 points"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3 features"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2 features"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("pixels"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("copied"), std::string::npos) << r.out;
    // A second run into the same folder is refused: it exists.
    const auto again = test::run(test::cliPath(), {"migrate", "--in", "projekt", "--out", "projekt_d96"}, dir);
    EXPECT_EQ(again.status, 1);
}

TEST(FolderMigrate, ADamagedMemberStopsTheRunAndLeavesNoFolder)
{
    const auto dir = test::freshFolder("folder_damaged");
    const fs::path p = project(dir);
    std::ofstream(p / "dof.tif", std::ios::trunc) << "II*\0not a tiff at all";
    const auto r = test::run(test::cliPath(), {"migrate", "--in", "projekt", "--out", "projekt_d96", "--jobs", "2"}, dir);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("dof.tif"), std::string::npos) << r.err;
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
        ++entries;
    EXPECT_EQ(entries, 1u); // projekt alone: no output, no hidden sibling

    // A member that fails only while it is moved (a point outside the model
    // is a warning; a point file that cannot be parsed is not).
    std::ofstream(p / "dof.tif", std::ios::trunc).close();
    fs::remove(p / "dof.tif");
    std::ofstream(p / "sub" / "slabe.txt") << "T1 abc def\n";
    const auto bad = test::run(test::cliPath(), {"migrate", "--in", "projekt", "--out", "projekt_d96"}, dir);
    EXPECT_EQ(bad.status, 1) << bad.err;
    EXPECT_NE(bad.err.find("slabe.txt"), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(dir / "projekt_d96"));

    // A raster in the other datum is found before anything is written.
    fs::remove(p / "sub" / "slabe.txt");
    geotiff(p / "sub" / "d96.tif", 3794);
    const auto other = test::run(test::cliPath(), {"migrate", "--in", "projekt", "--out", "projekt_d96"}, dir);
    EXPECT_EQ(other.status, 1) << other.err;
    EXPECT_NE(other.err.find("sub/d96.tif"), std::string::npos) << other.err;
    EXPECT_NE(other.err.find("EPSG:3912"), std::string::npos) << other.err;
    EXPECT_FALSE(fs::exists(dir / "projekt_d96"));
}

} // namespace
} // namespace kolmo
