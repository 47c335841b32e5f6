// A dataset is its files: an output that would write a file of the input is
// refused before anything is read, however it is named; and a dataset is
// read back before it is put in place.
// Faults pinned down: "--in a.dbf --out a.shp", "--in a.shx --out a.shp",
// "--in DIR --out DIR/b.shp", "--out a.SHP" beside the input a.shp and an
// output whose .dbf is a hard link to the input's were all written over the
// input they were reading.
#include "migrate/gdal/dataset_check.h"
#include "migrate/dataset_files.h"
#include "migrate/datasets.h"
#include "platform/errors.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

struct Closer {
    void operator()(GDALDataset* d) const { GDALClose(GDALDataset::ToHandle(d)); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

void shift(std::size_t count, double* e, double* n, double*, int* ok)
{
    for (std::size_t i = 0; i < count; ++i) {
        e[i] += 370.0;
        n[i] -= 480.0;
        ok[i] = 1;
    }
}

class DatasetFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() { GDALAllRegister(); }
    void SetUp() override
    {
        char pattern[] = "/tmp/kolmo-dsfiles-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A point Shapefile in EPSG:3912 with `count` features.
    void shapefile(const fs::path& path, int count) const
    {
        OGRSpatialReference gk;
        gk.importFromEPSG(3912);
        gk.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
        Dataset ds(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        ASSERT_TRUE(ds);
        OGRLayer* layer = ds->CreateLayer(path.stem().c_str(), &gk, wkbPoint, nullptr);
        OGRFieldDefn id("stevilka", OFTInteger);
        ASSERT_EQ(layer->CreateField(&id), OGRERR_NONE);
        for (int k = 0; k < count; ++k) {
            OGRFeature feature(layer->GetLayerDefn());
            feature.SetField("stevilka", k);
            feature.SetGeometryDirectly(new OGRPoint(460000.0 + k, 100000.0 + 2 * k));
            ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
        }
    }
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(dir_)) {
            std::stringstream text;
            if (e.is_regular_file())
                text << std::ifstream(e.path(), std::ios::binary).rdbuf();
            files[fs::relative(e.path(), dir_).string()] = text.str();
        }
        return files;
    }
    std::string refusal(const fs::path& in, const fs::path& out) const
    {
        DatasetJob job;
        job.in = in;
        job.out = out;
        job.move = shift;
        try {
            migrateDataset(job);
        } catch (const FileError& e) {
            return e.what();
        }
        return "written";
    }

    fs::path dir_;
};

TEST_F(DatasetFiles, AnOutputSharingAFileWithTheInputIsRefusedBeforeReading)
{
    shapefile(dir_ / "a.shp", 3);
    fs::create_directory(dir_ / "sub");
    shapefile(dir_ / "sub" / "c.shp", 2);
    fs::create_hard_link(dir_ / "a.dbf", dir_ / "h.dbf");
    const auto before = snapshot();
    const struct {
        fs::path in, out;
    } cases[] = {
        {dir_ / "a.dbf", dir_ / "a.shp"},
        {dir_ / "a.shx", dir_ / "a.shp"},
        {dir_ / "a.shp", dir_ / "a.SHP"},
        {dir_ / "a.shp", dir_ / "A.Dbf"},
        {dir_ / "a.shp", dir_ / "a.prj"},
        {dir_ / "sub", dir_ / "sub" / "b.shp"},
        {dir_ / "sub", dir_ / "sub" / ".." / "sub" / "b.gpkg"},
        {dir_ / "a.shp", dir_ / "h.shp"},       // h.dbf is a.dbf
        {dir_ / "a.shp", dir_ / "sub" / ".." / "a.shp"},
    };
    for (const auto& c : cases) {
        const std::string message = refusal(c.in, c.out);
        EXPECT_NE(message.find("enaka vhodni"), std::string::npos) << c.in << " -> " << c.out << ": " << message;
        EXPECT_NE(message.find(c.in.string()), std::string::npos) << message;
        EXPECT_EQ(snapshot(), before) << c.in << " -> " << c.out;
    }
    // Another dataset beside the input, and one beside a folder's input, are fine.
    EXPECT_EQ(refusal(dir_ / "a.shp", dir_ / "b.shp"), "written");
    EXPECT_EQ(refusal(dir_ / "sub" / "c.shp", dir_ / "sub" / "d.gpkg"), "written");
    EXPECT_EQ(refusal(dir_ / "sub", dir_ / "e.gpkg"), "written");
}

// The file written is read back: a count or an extent that differs, or a
// file that does not parse, is an error; what was written passes.
TEST_F(DatasetFiles, AWrittenFileIsReadBack)
{
    shapefile(dir_ / "in.shp", 4);
    DatasetJob job;
    job.in = dir_ / "in.shp";
    job.out = dir_ / "out.geojson";
    job.move = shift;
    const DatasetSummary summary = migrateDataset(job);
    EXPECT_EQ(summary.output, job.out);

    WrittenLayer layer{"in"};
    {
        Dataset ds(GDALDataset::Open(job.out.c_str(), GDAL_OF_VECTOR));
        ASSERT_TRUE(ds);
        for (auto& feature : *ds->GetLayer(0))
            layer.add(*feature);
    }
    EXPECT_EQ(layer.features, 4);
    EXPECT_NEAR(layer.minX, 460370.0, 1e-6);
    EXPECT_NEAR(layer.maxY, 99526.0, 1e-6);
    EXPECT_NO_THROW(checkWrittenDataset(job.out, "GeoJSON", "out.geojson", {layer}));

    auto message = [&](const fs::path& file, const std::vector<WrittenLayer>& layers) -> std::string {
        try {
            checkWrittenDataset(file, "GeoJSON", "out.geojson", layers);
        } catch (const FileError& e) {
            return e.what();
        }
        return "passed";
    };
    WrittenLayer more = layer;
    more.features = 5;
    EXPECT_NE(message(job.out, {more}).find("4 feature(s) in the layer \"in\" instead of 5"), std::string::npos)
        << message(job.out, {more});
    WrittenLayer wider = layer;
    wider.maxX += 1.0;
    EXPECT_NE(message(job.out, {wider}).find("extent"), std::string::npos);
    EXPECT_NE(message(job.out, {layer, layer}).find("1 layer(s) instead of 2"), std::string::npos);

    std::stringstream text;
    text << std::ifstream(job.out).rdbuf();
    const std::string whole = text.str();
    std::ofstream(dir_ / "short.geojson") << whole.substr(0, whole.size() / 2);
    EXPECT_NE(message(dir_ / "short.geojson", {layer}).find("cannot be read back"), std::string::npos)
        << message(dir_ / "short.geojson", {layer});
}

} // namespace
} // namespace kolmo
