// GIS datasets read whole or refused, and nothing lost on the way out without
// a word: damaged inputs (a Shapefile cut short, a broken GeoPackage blob, an
// unreadable GeoJSON geometry, a DXF or GML cut short, a FlatGeobuf with a
// damaged header) end the run with the layer and feature named and nothing
// written; what an output format cannot hold is refused with its list, or
// converted with a warning each when the loss is accepted; GeoJSON ids,
// FlatGeobuf heights, every table of a GeoPackage and Kolmo's own CSV with
// WKT make the way through.
#include "migrate/gdal/dataset_loss.h"
#include "migrate/datasets.h"
#include "platform/errors.h"
#include "support/paths.h"
#include "support/run.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

constexpr double kModelEdge = 700000.0;

void shift(std::size_t count, double* e, double* n, double* h, int* ok)
{
    for (std::size_t i = 0; i < count; ++i) {
        ok[i] = e[i] < kModelEdge;
        e[i] += 370.0;
        n[i] -= 480.0;
        if (h)
            h[i] += 1.0;
    }
}

struct Closer {
    void operator()(GDALDataset* d) const { GDALClose(GDALDataset::ToHandle(d)); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

OGRSpatialReference gkSrs()
{
    OGRSpatialReference srs;
    srs.importFromEPSG(3912);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

struct Row {
    const char* wkt; // "" for a NULL geometry
    const char* name;
};

// One layer `layer` of `rows` (a string field "ime" and an integer "stevilka"),
// in EPSG:3912 unless `srs` is false.
void makeLayer(const fs::path& path, const char* driverName, const char* layerName, OGRwkbGeometryType type,
               const std::vector<Row>& rows, bool srs = true, const std::vector<const char*>& extraFields = {})
{
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
    ASSERT_NE(driver, nullptr);
    const bool exists = fs::exists(path);
    Dataset ds(exists ? GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE)
                      : driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    ASSERT_TRUE(ds);
    OGRSpatialReference gk = gkSrs();
    OGRLayer* layer = ds->CreateLayer(layerName, srs && type != wkbNone ? &gk : nullptr, type, nullptr);
    ASSERT_NE(layer, nullptr);
    const bool fields = std::string(driverName) != "DXF"; // DXF has a fixed set of its own
    OGRFieldDefn name("ime", OFTString), number("stevilka", OFTInteger);
    if (fields) {
        ASSERT_EQ(layer->CreateField(&name), OGRERR_NONE);
        ASSERT_EQ(layer->CreateField(&number), OGRERR_NONE);
    }
    for (const char* extra : extraFields) {
        OGRFieldDefn field(extra, OFTString);
        ASSERT_EQ(layer->CreateField(&field), OGRERR_NONE);
    }
    int k = 0;
    for (const auto& row : rows) {
        OGRFeature feature(layer->GetLayerDefn());
        if (fields) {
            feature.SetField("ime", row.name);
            feature.SetField("stevilka", ++k);
        }
        for (const char* extra : extraFields)
            feature.SetField(extra, row.name);
        if (*row.wkt) {
            OGRGeometry* geometry = nullptr;
            ASSERT_EQ(OGRGeometryFactory::createFromWkt(row.wkt, &gk, &geometry), OGRERR_NONE) << row.wkt;
            feature.SetGeometryDirectly(geometry);
        }
        ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
}

std::string slurp(const fs::path& file)
{
    std::stringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

void spit(const fs::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

class GisWhole : public ::testing::Test {
protected:
    static void SetUpTestSuite() { GDALAllRegister(); }
    void SetUp() override
    {
        char pattern[] = "/tmp/kolmo-gisw-XXXXXX";
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
    std::string messageOf(const DatasetJob& j) const
    {
        try {
            migrateDataset(j);
        } catch (const FileError& e) {
            return e.what();
        }
        return "no error";
    }
    std::set<std::string> files() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.insert(entry.path().filename().string());
        return names;
    }

    fs::path dir_;
};

const std::vector<Row> kLines{{"LINESTRING (460000 100000,460100 100100)", "prva"},
                              {"LINESTRING (460100 100100,460200 100300,460250 100350)", "druga"},
                              {"LINESTRING (460200 100300,460300 100500,460400 100600,460500 100700)", "tretja"}};

// ---------------------------------------------------------------- read whole or refused

// A Shapefile cut inside its last record, a GeoPackage geometry blob that
// is not one, a GML or DXF file cut short: GDAL reports a failure while the
// feature is read, and the run is refused with the layer and the feature.
TEST_F(GisWhole, DamagedInputsAreRefusedWithTheirFeature)
{
    makeLayer(dir_ / "ceste.shp", "ESRI Shapefile", "ceste", wkbLineString, kLines);
    fs::resize_file(dir_ / "ceste.shp", fs::file_size(dir_ / "ceste.shp") - 20);
    const std::string shp = messageOf(job("ceste.shp", "a.gpkg"));
    EXPECT_NE(shp.find("layer \"ceste\", feature 2 cannot be read"), std::string::npos) << shp;

    makeLayer(dir_ / "in.gpkg", "GPKG", "ceste", wkbLineString, kLines);
    {
        Dataset ds(GDALDataset::Open((dir_ / "in.gpkg").c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        ASSERT_TRUE(ds);
        ds->ExecuteSQL("UPDATE ceste SET geom = x'4750000100000000ffff' WHERE fid = 2", nullptr, nullptr);
    }
    const std::string gpkg = messageOf(job("in.gpkg", "b.gpkg"));
    EXPECT_NE(gpkg.find("layer \"ceste\", feature 2 cannot be read"), std::string::npos) << gpkg;

    std::vector<Row> many;
    for (int k = 0; k < 40; ++k)
        many.push_back({"LINESTRING (460000 100000,460100 100100,460200 100150)", "crta"});
    makeLayer(dir_ / "in.gml", "GML", "crte", wkbLineString, many);
    {
        const std::string text = slurp(dir_ / "in.gml");
        spit(dir_ / "cut.gml", text.substr(0, text.size() * 3 / 4));
        fs::copy_file(dir_ / "in.xsd", dir_ / "cut.xsd");
    }
    const std::string gml = messageOf(job("cut.gml", "c.gpkg"));
    EXPECT_NE(gml.find("cannot be read"), std::string::npos) << gml;

    makeLayer(dir_ / "in.dxf", "DXF", "entities", wkbLineString, many, false);
    {
        const std::string text = slurp(dir_ / "in.dxf");
        spit(dir_ / "cut.dxf", text.substr(0, text.size() * 3 / 4));
    }
    DatasetJob dxf = job("cut.dxf", "d.gpkg");
    dxf.assumeCrs = "gk";
    const std::string cut = messageOf(dxf);
    EXPECT_NE(cut.find("cannot be read"), std::string::npos) << cut;

    for (const char* out : {"a.gpkg", "b.gpkg", "c.gpkg", "d.gpkg"})
        EXPECT_FALSE(fs::exists(dir_ / out)) << out;
}

// GeoJSON: a geometry GDAL cannot read (coordinates that are not numbers, a
// ring of one position, an unknown type) is an error naming the feature; a
// genuine null is kept, and so are the features' ids.
TEST_F(GisWhole, GeoJsonGeometryUnreadIsAnErrorANullIsKept)
{
    const std::string head = R"({"type":"FeatureCollection","crs":{"type":"name","properties":{"name":"urn:ogc:def:crs:EPSG::3912"}},"features":[)"
                             R"({"type":"Feature","id":7,"properties":{"b":"x"},"geometry":{"type":"Point","coordinates":[460000,100000]}},)";
    const std::string tail = "]}";
    const char* broken[] = {
        R"({"type":"Feature","id":9,"properties":{"b":"y"},"geometry":{"type":"Polygon","coordinates":[[1,2]]}})",
        R"({"type":"Feature","id":9,"properties":{"b":"y"},"geometry":{"type":"Bogus","coordinates":[1,2]}})",
        R"({"type":"Feature","id":9,"properties":{"b":"y"},"geometry":{"type":"Point","coordinates":"x"}})",
    };
    for (const char* feature : broken) {
        spit(dir_ / "bad.geojson", head + feature + tail);
        const std::string message = messageOf(job("bad.geojson", "out.gpkg"));
        EXPECT_TRUE(message.find("feature 9: its geometry cannot be read") != std::string::npos ||
                    message.find("cannot be read whole") != std::string::npos)
            << feature << "\n" << message;
        EXPECT_FALSE(fs::exists(dir_ / "out.gpkg"));
    }

    spit(dir_ / "good.geojson",
         head + R"({"type":"Feature","id":11,"properties":{"b":"y"},"geometry":null})" + tail);
    const DatasetSummary summary = migrateDataset(job("good.geojson", "out.geojson"));
    EXPECT_EQ(summary.features, 2u);
    Dataset out(GDALDataset::Open((dir_ / "out.geojson").c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(out);
    OGRLayer* layer = out->GetLayer(0);
    OGRFeatureUniquePtr first(layer->GetNextFeature()), second(layer->GetNextFeature());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->GetFID(), 7);
    EXPECT_EQ(second->GetFID(), 11);
    EXPECT_EQ(second->GetGeometryRef(), nullptr);
    ASSERT_NE(first->GetGeometryRef(), nullptr);
    EXPECT_EQ(first->GetGeometryRef()->toPoint()->getX(), 460370.0);

    // Ids that are not integers stay ids too.
    spit(dir_ / "named.geojson",
         R"({"type":"FeatureCollection","crs":{"type":"name","properties":{"name":"urn:ogc:def:crs:EPSG::3912"}},)"
         R"("features":[{"type":"Feature","id":"a1","properties":{"b":"x"},"geometry":{"type":"Point",)"
         R"("coordinates":[460000,100000]}}]})");
    migrateDataset(job("named.geojson", "named-out.geojson"));
    const std::string named = slurp(dir_ / "named-out.geojson");
    EXPECT_NE(named.find(R"("id": "a1", "properties": { "b": "x" })"), std::string::npos) << named;
}

// A damaged FlatGeobuf header is named as such; a GML input leaves no .gfs
// beside it.
TEST_F(GisWhole, FlatGeobufHeaderAndGmlSidecar)
{
    makeLayer(dir_ / "in.gpkg", "GPKG", "ceste", wkbLineString, kLines);
    DatasetJob fgb = job("in.gpkg", "ok.fgb");
    migrateDataset(fgb);
    std::string bytes = slurp(dir_ / "ok.fgb");
    ASSERT_GT(bytes.size(), 40u);
    for (std::size_t i = 12; i < 40; ++i)
        bytes[i] = static_cast<char>(0xff);
    spit(dir_ / "bad.fgb", bytes);
    const std::string message = messageOf(job("bad.fgb", "x.gpkg"));
    EXPECT_NE(message.find("FlatGeobuf header"), std::string::npos) << message;

    makeLayer(dir_ / "in.gml", "GML", "ceste", wkbLineString, kLines);
    fs::remove(dir_ / "in.xsd"); // without its schema, GDAL would describe the file in a .gfs
    migrateDataset(job("in.gml", "from-gml.gpkg"));
    EXPECT_FALSE(fs::exists(dir_ / "in.gfs"));
}

// ---------------------------------------------------------------- nothing lost silently

// Shapefile: field names longer than ten bytes and texts longer than 254
// are refused with their list; accepted, the names are laundered and each
// change is a warning.
TEST_F(GisWhole, ShapefileLossesAreListedOrAccepted)
{
    const std::string longText(300, 'z'), fits(254, 'f');
    makeLayer(dir_ / "in.gpkg", "GPKG", "tocke", wkbPoint,
              {{"POINT (460000 100000)", "kratko"}, {"POINT (460001 100001)", longText.c_str()},
               {"POINT (460002 100002)", fits.c_str()}},
              true, {"opis_parcele_dolgo", "opis_parcele_drugo"});
    const std::string refused = messageOf(job("in.gpkg", "tocke.shp"));
    EXPECT_NE(refused.find("the field \"opis_parcele_dolgo\" is named \"opis_parce\""), std::string::npos)
        << refused;
    EXPECT_NE(refused.find("the field \"opis_parcele_drugo\" is named"), std::string::npos) << refused;
    // A text of no given width may take 254 bytes, not GDAL's 80.
    EXPECT_NE(refused.find("texts longer than 254 bytes cut in the field \"ime\" (feature 2)"), std::string::npos)
        << refused;
    EXPECT_NE(refused.find("--lossy"), std::string::npos) << refused;
    EXPECT_FALSE(fs::exists(dir_ / "tocke.shp"));

    DatasetJob lossy = job("in.gpkg", "tocke.shp");
    lossy.lossy = true;
    const DatasetSummary summary = migrateDataset(lossy);
    EXPECT_EQ(summary.features, 3u);
    std::string warnings;
    for (const auto& w : summary.warnings)
        warnings += w + "\n";
    EXPECT_NE(warnings.find("layer \"tocke\": the field \"opis_parcele_dolgo\" is named \"opis_parce\""),
              std::string::npos)
        << warnings;
    Dataset out(GDALDataset::Open((dir_ / "tocke.shp").c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(out);
    OGRLayer* layer = out->GetLayer(0);
    EXPECT_GE(layer->GetLayerDefn()->GetFieldIndex("opis_parce"), 0);
    OGRFeatureUniquePtr last;
    for (OGRFeatureUniquePtr f(layer->GetNextFeature()); f; f.reset(layer->GetNextFeature()))
        last = std::move(f);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->GetFieldAsString("ime"), fits);
}

// DXF holds no attributes of its own, FlatGeobuf no feature without a
// geometry: refused with the list, or written without them when accepted.
// Curves into a Shapefile are line segments: refused or a warning.
TEST_F(GisWhole, DxfAttributesFlatGeobufNullsAndCurves)
{
    makeLayer(dir_ / "pts.gpkg", "GPKG", "tocke", wkbPoint, {{"POINT (460000 100000)", "a"}, {"POINT (460002 100002)", "d"}});
    const std::string dxf = messageOf(job("pts.gpkg", "out.dxf"));
    EXPECT_NE(dxf.find("the field \"ime\" (String) cannot be held"), std::string::npos) << dxf;
    EXPECT_NE(dxf.find("the field \"stevilka\" (Integer) cannot be held"), std::string::npos) << dxf;
    EXPECT_FALSE(fs::exists(dir_ / "out.dxf"));
    DatasetJob dxfLossy = job("pts.gpkg", "out.dxf");
    dxfLossy.lossy = true;
    const DatasetSummary dxfDone = migrateDataset(dxfLossy);
    EXPECT_EQ(dxfDone.features, 2u);
    ASSERT_EQ(dxfDone.warnings.size(), 2u);
    EXPECT_NE(dxfDone.warnings[0].find("the field \"ime\" (String) is left out"), std::string::npos);

    makeLayer(dir_ / "in.gpkg", "GPKG", "tocke", wkbPoint,
              {{"POINT (460000 100000)", "a"}, {"", "b"}, {"POINT EMPTY", "c"}, {"POINT (460002 100002)", "d"}});

    const std::string fgb = messageOf(job("in.gpkg", "out.fgb"));
    EXPECT_NE(fgb.find("without a geometry (NULL or EMPTY), which the FlatGeobuf format cannot hold (2 features, "
                       "the first feature 2)"),
              std::string::npos)
        << fgb;
    DatasetJob fgbLossy = job("in.gpkg", "out.fgb");
    fgbLossy.lossy = true;
    const DatasetSummary fgbDone = migrateDataset(fgbLossy);
    EXPECT_EQ(fgbDone.features, 2u); // those written, not those read
    ASSERT_EQ(fgbDone.warnings.size(), 1u);
    Dataset out(GDALDataset::Open((dir_ / "out.fgb").c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->GetLayer(0)->GetFeatureCount(), 2);

    makeLayer(dir_ / "curves.gpkg", "GPKG", "loki", wkbUnknown,
              {{"LINESTRING (460000 100000,460010 100000)", "a"},
               {"CIRCULARSTRING (460010 100000,460015 100005,460020 100000)", "b"}});
    const std::string curves = messageOf(job("curves.gpkg", "loki.shp"));
    EXPECT_NE(curves.find("curves (arcs) written as line segments (feature 2)"), std::string::npos) << curves;
    DatasetJob curvesLossy = job("curves.gpkg", "loki.shp");
    curvesLossy.lossy = true;
    EXPECT_EQ(migrateDataset(curvesLossy).features, 2u);

    makeLayer(dir_ / "mixed.gpkg", "GPKG", "razno", wkbUnknown,
              {{"POINT (460000 100000)", "a"}, {"LINESTRING (460000 100000,460010 100000)", "b"}});
    const std::string mixed = messageOf(job("mixed.gpkg", "razno.shp"));
    EXPECT_NE(mixed.find("feature 2 cannot be written"), std::string::npos) << mixed;
    EXPECT_NE(mixed.find("a Shapefile holds one geometry type a layer"), std::string::npos) << mixed;
}

// FlatGeobuf keeps the heights of a layer of any geometry type (GDAL writes
// them only into a layer declared 3D); a table without geometries goes
// whole into a GeoJSON and is refused by a FlatGeobuf.
TEST_F(GisWhole, FlatGeobufHeightsAndAttributeTables)
{
    makeLayer(dir_ / "in.gpkg", "GPKG", "razno", wkbUnknown,
              {{"POINT Z (460000 100000 300.5)", "a"}, {"LINESTRING Z (460000 100000 1,460010 100010 2)", "b"}});
    migrateDataset(job("in.gpkg", "out.fgb"));
    Dataset out(GDALDataset::Open((dir_ / "out.fgb").c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(out);
    OGRFeatureUniquePtr f(out->GetLayer(0)->GetNextFeature());
    ASSERT_TRUE(f && f->GetGeometryRef());
    ASSERT_TRUE(f->GetGeometryRef()->Is3D());
    EXPECT_EQ(f->GetGeometryRef()->toPoint()->getZ(), 301.5);

    makeLayer(dir_ / "table.gpkg", "GPKG", "seznam", wkbNone, {{"", "a"}, {"", "b"}});
    EXPECT_NE(messageOf(job("table.gpkg", "t.fgb")).find("a table without geometries"), std::string::npos);
    EXPECT_EQ(migrateDataset(job("table.gpkg", "t.geojson")).features, 2u);
    Dataset table(GDALDataset::Open((dir_ / "t.geojson").c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->GetLayer(0)->GetFeatureCount(), 2);
}

// A GeoPackage goes over whole: attribute tables, QGIS's layer_styles and a
// table it does not register; raster tiles are refused by name.
TEST_F(GisWhole, GeoPackageEveryTableOrRasterRefused)
{
    makeLayer(dir_ / "in.gpkg", "GPKG", "ceste", wkbLineString, kLines);
    makeLayer(dir_ / "in.gpkg", "GPKG", "lastniki", wkbNone, {{"", "Novak"}, {"", "Horvat"}});
    {
        Dataset ds(GDALDataset::Open((dir_ / "in.gpkg").c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        ASSERT_TRUE(ds);
        ds->ExecuteSQL("CREATE TABLE layer_styles (id INTEGER PRIMARY KEY AUTOINCREMENT, f_table_name TEXT, "
                       "styleName TEXT, styleQML TEXT)",
                       nullptr, nullptr);
        ds->ExecuteSQL("INSERT INTO layer_styles (f_table_name, styleName, styleQML) VALUES "
                       "('ceste', 'privzeto', '<qgis/>')",
                       nullptr, nullptr);
        ds->ExecuteSQL("INSERT INTO gpkg_contents (table_name, data_type, identifier) VALUES "
                       "('layer_styles', 'attributes', 'layer_styles')",
                       nullptr, nullptr);
        ds->ExecuteSQL("CREATE TABLE opombe (besedilo TEXT)", nullptr, nullptr);
        ds->ExecuteSQL("INSERT INTO opombe VALUES ('ni registrirana')", nullptr, nullptr);
    }
    const DatasetSummary summary = migrateDataset(job("in.gpkg", "out.gpkg"));
    EXPECT_EQ(summary.features, 3u + 2u + 1u + 1u);
    Dataset out(GDALDataset::Open((dir_ / "out.gpkg").c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(out);
    for (const char* name : {"ceste", "lastniki", "layer_styles", "opombe"})
        EXPECT_NE(out->GetLayerByName(name), nullptr) << name;
    OGRFeatureUniquePtr style(out->GetLayerByName("layer_styles")->GetNextFeature());
    ASSERT_TRUE(style);
    EXPECT_STREQ(style->GetFieldAsString("styleQML"), "<qgis/>");

    {
        GDALDriver* gpkg = GetGDALDriverManager()->GetDriverByName("GPKG");
        const char* options[] = {"RASTER_TABLE=ortofoto", nullptr};
        Dataset raster(gpkg->Create((dir_ / "mixed.gpkg").c_str(), 256, 256, 1, GDT_Byte,
                                    const_cast<char**>(options)));
        ASSERT_TRUE(raster);
        OGRSpatialReference gk = gkSrs();
        double transform[6] = {460000, 1, 0, 100256, 0, -1};
        raster->SetGeoTransform(transform);
        raster->SetSpatialRef(&gk);
        raster->GetRasterBand(1)->Fill(7);
    }
    makeLayer(dir_ / "mixed.gpkg", "GPKG", "ceste", wkbLineString, kLines);
    const std::string refused = messageOf(job("mixed.gpkg", "m.gpkg"));
    EXPECT_NE(refused.find("raster tables \"ortofoto\" (tiles)"), std::string::npos) << refused;
    EXPECT_FALSE(fs::exists(dir_ / "m.gpkg"));
    DatasetJob vectors = job("mixed.gpkg", "m.gpkg");
    vectors.layer = "ceste";
    EXPECT_EQ(migrateDataset(vectors).features, 3u);
}

// Kolmo's CSV with WKT: GDAL finds its geometry without the .csvt, and the
// file goes back as a dataset, not as a point file.
TEST_F(GisWhole, CsvWithWktGoesBack)
{
    makeLayer(dir_ / "in.gpkg", "GPKG", "ceste", wkbLineString, kLines);
    migrateDataset(job("in.gpkg", "ceste.csv"));
    fs::remove(dir_ / "ceste.csvt");
    EXPECT_FALSE(isPointFile(dir_ / "ceste.csv"));
    {
        Dataset csv(GDALDataset::Open((dir_ / "ceste.csv").c_str(), GDAL_OF_VECTOR));
        ASSERT_TRUE(csv);
        OGRFeatureUniquePtr f(csv->GetLayer(0)->GetNextFeature());
        ASSERT_TRUE(f);
        ASSERT_NE(f->GetGeometryRef(), nullptr);
        EXPECT_EQ(f->GetGeometryRef()->toLineString()->getX(0), 460370.0);
    }
    DatasetJob back = job("ceste.csv", "back.gpkg");
    back.from = MigrateFrom::Tm;
    back.assumeCrs = "tm";
    EXPECT_EQ(migrateDataset(back).features, 3u);
    Dataset out(GDALDataset::Open((dir_ / "back.gpkg").c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(out);
    OGRLayer* layer = out->GetLayer(0);
    EXPECT_LT(layer->GetLayerDefn()->GetFieldIndex("WKT"), 0); // the geometry, not also a text
    OGRFeatureUniquePtr f(layer->GetNextFeature());
    ASSERT_TRUE(f && f->GetGeometryRef());
    EXPECT_EQ(f->GetGeometryRef()->toLineString()->getX(0), 460740.0);
    EXPECT_STREQ(f->GetFieldAsString("ime"), "prva");

    spit(dir_ / "tocke.csv", "name,y,x,H\nT1,460000,100000,300\n");
    EXPECT_TRUE(isPointFile(dir_ / "tocke.csv"));
    EXPECT_TRUE(isPointFile(dir_ / "missing.csv"));
}

// ---------------------------------------------------------------- messages

// GDAL's text on one line and cut short; a vertex as a reader can take it.
TEST(GisTexts, GdalTextAndVertexText)
{
    const std::string sql = "SELECT a,\n\tb FROM t WHERE " + std::string(400, 'x');
    const std::string text = gdalText(sql);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.substr(0, 19), "SELECT a, b FROM t ");
    EXPECT_EQ(text.size(), kGdalTextLimit + 3);
    EXPECT_EQ(text.substr(text.size() - 3), "...");
    const std::string slovene = std::string(kGdalTextLimit - 1, 'a') + "ččč";
    const std::string cut = gdalText(slovene);
    EXPECT_EQ(cut, std::string(kGdalTextLimit - 1, 'a') + "...");
    EXPECT_EQ(gdalText("  short  "), "short");
    EXPECT_EQ(gdalText("sqlite3_exec(CREATE TABLE \"a(\" (x TEXT DEFAULT (')'))) failed: disk I/O error"),
              "sqlite3_exec(...) failed: disk I/O error");
    EXPECT_EQ(gdalText("In ExecuteSQL(): sqlite3_prepare_v2(SELECT *\nFROM t):\n  no such table: t"),
              "In ExecuteSQL(): sqlite3_prepare_v2(...): no such table: t");
    EXPECT_EQ(gdalText("failed to prepare SQL: SELECT 1 FROM x"), "failed to prepare SQL: ...");

    EXPECT_TRUE(lossWarning("Value 12345678901 of field n of feature 3 not successfully written. Possibly due to "
                            "too larger number with respect to field width"));
    EXPECT_TRUE(lossWarning("NaN of Infinity value found. Skipped"));
    EXPECT_FALSE(lossWarning("A geometry of type MULTIPOLYGON is inserted into layer p of geometry type POLYGON, "
                             "but the driver will however do it."));

    EXPECT_EQ(vertexText(460000.1234, 100000.5), "460000.123 100000.500");
    EXPECT_EQ(vertexText(1e308, std::numeric_limits<double>::quiet_NaN()), "beyond any survey not a number");
    EXPECT_EQ(vertexText(-std::numeric_limits<double>::infinity(), 5100000.0), "beyond any survey 5100000.000");
}

TEST_F(GisWhole, AbsurdVertexIsReadable)
{
    spit(dir_ / "far.geojson",
         R"({"type":"FeatureCollection","crs":{"type":"name","properties":{"name":"urn:ogc:def:crs:EPSG::3912"}},)"
         R"("features":[{"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":[1e308,100000]}}]})");
    const std::string message = messageOf(job("far.geojson", "out.gpkg"));
    EXPECT_NE(message.find("the vertex beyond any survey 100000.000 lies outside the model"), std::string::npos)
        << message;
}

// kolmo-cli: --lossy turns the refusal into warnings (exit 3), --order with a
// dataset and --heights on 2D data are warned about.
TEST_F(GisWhole, CliLossyOrderAndHeights)
{
    makeLayer(dir_ / "in.gpkg", "GPKG", "tocke", wkbPoint, {{"POINT (460000 100000)", "a"}}, true,
              {"opis_parcele_dolgo"});
    const auto refused = test::run(test::cliPath(), {"migrate", "--in", "in.gpkg", "--out", "t.shp", "-q"}, dir_);
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_NE(refused.err.find("--lossy"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(dir_ / "t.shp"));
    const auto lossy =
        test::run(test::cliPath(), {"migrate", "--in", "in.gpkg", "--out", "t.shp", "--lossy", "-q"}, dir_);
    EXPECT_EQ(lossy.status, 3) << lossy.err;
    EXPECT_NE(lossy.err.find("is named \"opis_parce\""), std::string::npos) << lossy.err;
    EXPECT_TRUE(fs::exists(dir_ / "t.shp"));

    const auto order = test::run(
        test::cliPath(), {"migrate", "--in", "in.gpkg", "--out", "o.gpkg", "--order", "yx", "-q"}, dir_);
    EXPECT_EQ(order.status, 3) << order.err;
    EXPECT_NE(order.err.find("--order yx applies to point files"), std::string::npos) << order.err;
    const auto heights = test::run(
        test::cliPath(), {"migrate", "--in", "in.gpkg", "--out", "h.gpkg", "--heights", "svs2000-to-svs2010", "-q"},
        dir_);
    EXPECT_EQ(heights.status, 3) << heights.err;
    EXPECT_NE(heights.err.find("have no height"), std::string::npos) << heights.err;
    const auto point = test::run(test::cliPath(), {"migrate", "--in", "x.pod", "--out", "y.pod", "--lossy"}, dir_);
    EXPECT_EQ(point.status, 2) << point.err;
}

} // namespace
} // namespace kolmo
