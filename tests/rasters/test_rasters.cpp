// Rasters through kolmo-cli migrate: small GeoTIFFs made here with GDAL,
// moved with the national model and compared pixel by pixel with gdalwarp
// driven by PROJ's tinshift of the same model (the file Kolmo exports), on
// the same target grid, both ways; in the east of the country, where PROJ's
// country-wide 7-parameter D48 -> D96 transformation lies some 0.7 m off the
// model, so that a warp with another model cannot pass.  Then what a raster carries (nodata,
// colour table, metadata, descriptions, scale and offset, tiles,
// compression, overviews), the heights, a raster partly or wholly outside
// the model, and a cancelled or refused run leaving an existing output as it
// was.
#include "migrate/migrate.h"
#include "migrate/tran_trik.h"
#include "migrate/vis_svs.h"
#include "geodesy/elipgk.h"
#include "support/paths.h"
#include "support/run.h"

#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <memory>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

const fs::path kGdalwarp = "/usr/bin/gdalwarp";

struct Closer {
    void operator()(GDALDataset* d) const { GDALClose(GDALDataset::ToHandle(d)); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

Dataset open(const fs::path& file)
{
    GDALAllRegister();
    return Dataset(GDALDataset::Open(file.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
}

struct Raster {
    int width = 300, height = 200;
    double x0 = 0, y1 = 0, pixel = 0.5; // upper-left corner and pixel size
    int epsg = 3912;
    GDALDataType type = GDT_Byte;
    int bands = 1;
    std::vector<std::string> options; // creation options
    const char* driver = "GTiff";
};

// A pattern in which a pixel differs from its neighbours (so that a warp a
// fraction of a pixel off changes many of them), a border of nodata.
double patternAt(int b, int col, int row)
{
    const unsigned h = static_cast<unsigned>(col) * 73856093u ^ static_cast<unsigned>(row) * 19349663u ^
                       static_cast<unsigned>(b) * 83492791u;
    return 1 + (h >> 7) % 250;
}

void make(const fs::path& file, const Raster& r, const std::function<void(GDALDataset&)>& dress = {})
{
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(r.driver);
    CPLStringList options;
    for (const auto& o : r.options)
        options.AddString(o.c_str());
    Dataset d(driver->Create(file.c_str(), r.width, r.height, r.bands, r.type, options.List()));
    ASSERT_TRUE(d);
    const double gt[6] = {r.x0, r.pixel, 0, r.y1, 0, -r.pixel};
    d->SetGeoTransform(const_cast<double*>(gt));
    OGRSpatialReference srs;
    srs.importFromEPSG(r.epsg);
    d->SetSpatialRef(&srs);
    std::vector<double> row(static_cast<std::size_t>(r.width));
    for (int b = 1; b <= r.bands; ++b)
        for (int y = 0; y < r.height; ++y) {
            for (int x = 0; x < r.width; ++x)
                row[static_cast<std::size_t>(x)] = patternAt(b, x, y);
            ASSERT_EQ(d->GetRasterBand(b)->RasterIO(GF_Write, 0, y, r.width, 1, row.data(), r.width, 1, GDT_Float64,
                                                    0, 0, nullptr),
                      CE_None);
        }
    if (dress)
        dress(*d);
}

std::vector<double> pixels(GDALDataset& d, int band = 1)
{
    std::vector<double> v(static_cast<std::size_t>(d.GetRasterXSize()) * static_cast<std::size_t>(d.GetRasterYSize()));
    EXPECT_EQ(d.GetRasterBand(band)->RasterIO(GF_Read, 0, 0, d.GetRasterXSize(), d.GetRasterYSize(), v.data(),
                                              d.GetRasterXSize(), d.GetRasterYSize(), GDT_Float64, 0, 0, nullptr),
              CE_None);
    return v;
}

std::string num(double v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

// gdalwarp onto exactly the grid of `like`, with the coordinate operation
// `ct` (empty: PROJ's default between the two CRS).
test::RunResult gdalwarpLike(const fs::path& dir, const fs::path& in, const fs::path& out, GDALDataset& like,
                             int sourceEpsg, int targetEpsg, const std::string& ct, const std::string& noData)
{
    double gt[6];
    like.GetGeoTransform(gt);
    const double x1 = gt[0] + gt[1] * like.GetRasterXSize(), y0 = gt[3] + gt[5] * like.GetRasterYSize();
    std::vector<std::string> args = {"-q", "-s_srs", "EPSG:" + std::to_string(sourceEpsg), "-t_srs",
                                     "EPSG:" + std::to_string(targetEpsg), "-te", num(gt[0]), num(y0), num(x1),
                                     num(gt[3]), "-ts", std::to_string(like.GetRasterXSize()),
                                     std::to_string(like.GetRasterYSize()), "-r", "near", "-et", "0",
                                     "-dstnodata", noData, "-overwrite"};
    if (!ct.empty()) {
        args.push_back("-ct");
        args.push_back(ct);
    }
    args.push_back(in.string());
    args.push_back(out.string());
    return test::run(kGdalwarp, args, dir);
}

// Of the pixels that hold data in `a` (not `noData`), the share equal in `b`.
double shareEqual(const std::vector<double>& a, const std::vector<double>& b, double noData, std::size_t* valid)
{
    std::size_t n = 0, same = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != noData) {
            ++n;
            same += a[i] == b[i];
        }
    *valid = n;
    return n ? static_cast<double>(same) / static_cast<double>(n) : 0.0;
}

// East of the country: near Murska Sobota (D48/GK easting 590 km, northing 168 km).
constexpr double kEastE = 590000.0, kEastN = 168000.0;

// Kolmo against gdalwarp with the tinshift of the same model: at least 99.9 %
// of the pixels with data equal, both directions; gdalwarp with the
// country-wide 7-parameter set (another model) on the same grid differs in
// many.
TEST(RasterMigrate, PixelsMatchGdalwarpWithTheExportedModelBothWays)
{
    if (!fs::exists(kGdalwarp))
        GTEST_SKIP() << "gdalwarp is not installed";
    const auto dir = test::freshFolder("raster_match");
    for (const bool fromGk : {true, false}) {
        SCOPED_TRACE(fromGk ? "D48/GK -> D96/TM" : "D96/TM -> D48/GK");
        const int sourceEpsg = fromGk ? 3912 : 3794, targetEpsg = fromGk ? 3794 : 3912;
        Raster r;
        r.epsg = sourceEpsg;
        if (fromGk) {
            r.x0 = kEastE;
            r.y1 = kEastN;
        } else {
            double e, n;
            ASSERT_TRUE(TriangleModel::of(test::dataDir()).gkToTm(kEastE, kEastN, e, n));
            r.x0 = std::round(e);
            r.y1 = std::round(n);
        }
        const std::string from = fromGk ? "gk" : "tm";
        make(dir / ("src_" + from + ".tif"), r, [](GDALDataset& d) { d.GetRasterBand(1)->SetNoDataValue(0); });
        const auto tin = dir / ("model_" + from + ".json");
        auto e = test::run(test::cliPath(), {"migrate", "--export-tinshift", tin.string(), "--from", from, "-q"}, dir);
        ASSERT_EQ(e.status, 0) << e.err;
        const auto out = dir / ("kolmo_" + from + ".tif");
        auto k = test::run(test::cliPath(),
                           {"migrate", "--in", "src_" + from + ".tif", "--out", out.string(), "--from", from}, dir);
        ASSERT_EQ(k.status, 0) << k.err << k.out;
        EXPECT_NE(k.out.find("pixel(s) with data"), std::string::npos) << k.out;
        Dataset kolmo = open(out);
        ASSERT_TRUE(kolmo);
        EXPECT_EQ(kolmo->GetSpatialRef()->GetAuthorityCode(nullptr), std::to_string(targetEpsg));
        double gt[6];
        kolmo->GetGeoTransform(gt);
        // Whole multiples of the pixel size, the same pixel size.
        EXPECT_DOUBLE_EQ(gt[1], 0.5);
        EXPECT_DOUBLE_EQ(gt[5], -0.5);
        EXPECT_DOUBLE_EQ(std::fmod(gt[0], 0.5), 0.0);
        EXPECT_DOUBLE_EQ(std::fmod(gt[3], 0.5), 0.0);

        auto g = gdalwarpLike(dir, dir / ("src_" + from + ".tif"), dir / ("gdal_" + from + ".tif"), *kolmo, sourceEpsg,
                              targetEpsg, "+proj=tinshift +file=" + tin.string(), "0");
        ASSERT_EQ(g.status, 0) << g.err;
        Dataset peer = open(dir / ("gdal_" + from + ".tif"));
        ASSERT_TRUE(peer);
        const auto a = pixels(*kolmo), b = pixels(*peer);
        std::size_t valid = 0;
        EXPECT_GE(shareEqual(a, b, 0, &valid), 0.999);
        // The source's pixels all arrive: about as many as it has.
        EXPECT_GT(valid, static_cast<std::size_t>(0.97 * r.width * r.height));
        EXPECT_LT(valid, static_cast<std::size_t>(1.01 * r.width * r.height));

        // PROJ's first choice between the two CRS where it knows no area
        // (cs2cs, gdaltransform): the 7-parameter set of the whole country.
        const std::string grid = "+proj=tmerc +lat_0=0 +lon_0=15 +k=0.9999 +x_0=500000 +y_0=-5000000 +ellps=";
        const std::string helmert = "+proj=helmert +x=476.08 +y=125.947 +z=417.81 +rx=-4.610862 +ry=-2.388137 "
                                    "+rz=11.942335 +s=9.896638 +convention=coordinate_frame";
        const std::string from0 = fromGk ? "bessel" : "GRS80", to0 = fromGk ? "GRS80" : "bessel";
        const std::string sevenParameters = "+proj=pipeline +step +inv " + grid + from0 + " +step +proj=push +v_3 " +
                                            "+step +proj=cart +ellps=" + from0 + " +step " + (fromGk ? "" : "+inv ") +
                                            helmert + " +step +inv +proj=cart +ellps=" + to0 +
                                            " +step +proj=pop +v_3 +step " + grid + to0;
        auto wrong = gdalwarpLike(dir, dir / ("src_" + from + ".tif"), dir / ("proj_" + from + ".tif"), *kolmo,
                                  sourceEpsg, targetEpsg, sevenParameters, "0");
        ASSERT_EQ(wrong.status, 0) << wrong.err;
        Dataset other = open(dir / ("proj_" + from + ".tif"));
        EXPECT_LT(shareEqual(a, pixels(*other), 0, &valid), 0.9) << "the test cannot tell the models apart";
    }
}

// Nodata, the colour table, metadata, the band's description, tiles,
// compression and overviews kept; EPSG:3794 written.
TEST(RasterMigrate, KeepsWhatTheRasterCarries)
{
    const auto dir = test::freshFolder("raster_keep");
    Raster r;
    r.x0 = 460000;
    r.y1 = 101000;
    r.pixel = 2;
    r.width = 256;
    r.height = 192;
    r.options = {"TILED=YES", "BLOCKXSIZE=64", "BLOCKYSIZE=64", "COMPRESS=LZW"};
    make(dir / "in.tif", r, [](GDALDataset& d) {
        GDALRasterBand* b = d.GetRasterBand(1);
        b->SetNoDataValue(255);
        GDALColorTable table;
        for (int i = 0; i < 256; ++i) {
            const GDALColorEntry c{static_cast<short>(i), static_cast<short>(255 - i), static_cast<short>(i / 2), 255};
            table.SetColorEntry(i, &c);
        }
        b->SetColorTable(&table);
        b->SetDescription("raba tal");
        b->SetMetadataItem("VIR", "GURS");
        d.SetMetadataItem("TIFFTAG_IMAGEDESCRIPTION", "Raba Ljubljana");
        d.SetMetadataItem("PROJEKT", "Kolmo");
        int levels[] = {2, 4};
        d.BuildOverviews("NEAREST", 2, levels, 0, nullptr, nullptr, nullptr);
    });
    const auto run = test::run(test::cliPath(), {"migrate", "--in", "in.tif", "--out", "out.tif", "-q"}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    Dataset d = open(dir / "out.tif");
    ASSERT_TRUE(d);
    EXPECT_STREQ(d->GetSpatialRef()->GetAuthorityCode(nullptr), "3794");
    GDALRasterBand* b = d->GetRasterBand(1);
    EXPECT_EQ(b->GetRasterDataType(), GDT_Byte);
    int has = FALSE;
    EXPECT_EQ(b->GetNoDataValue(&has), 255);
    EXPECT_TRUE(has);
    ASSERT_NE(b->GetColorTable(), nullptr);
    EXPECT_EQ(b->GetColorTable()->GetColorEntryCount(), 256);
    EXPECT_EQ(b->GetColorTable()->GetColorEntry(10)->c2, 245);
    EXPECT_STREQ(b->GetDescription(), "raba tal");
    EXPECT_STREQ(b->GetMetadataItem("VIR"), "GURS");
    EXPECT_STREQ(d->GetMetadataItem("PROJEKT"), "Kolmo");
    EXPECT_STREQ(d->GetMetadataItem("TIFFTAG_IMAGEDESCRIPTION"), "Raba Ljubljana");
    EXPECT_STREQ(d->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "LZW");
    int bx = 0, by = 0;
    b->GetBlockSize(&bx, &by);
    EXPECT_EQ(bx, 64);
    EXPECT_EQ(by, 64);
    EXPECT_EQ(b->GetOverviewCount(), 2);
    // Nodata where the target has no source (the corners of the moved grid),
    // and the pattern's values elsewhere.
    const auto v = pixels(*d);
    std::size_t noData = 0;
    for (double x : v)
        noData += x == 255;
    EXPECT_GT(noData, 0u);
    EXPECT_LT(noData, v.size() / 10);
    // Nothing left beside the output but itself (no stage, no hidden folder).
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir))
        files += entry.path().filename() != "in.tif";
    EXPECT_EQ(files, 1u);
}

// A floating-point elevation raster without nodata: NaN where there is no
// source; scale, offset and unit kept; with --heights every pixel moved by
// the SVS2000 -> SVS2010 offset at its centre (the stored value by the
// offset over the scale); bilinear resampling.
TEST(RasterMigrate, ElevationsKeepTheirScaleAndMoveByTheHeightOffset)
{
    const auto dir = test::freshFolder("raster_heights");
    Raster r;
    r.x0 = 500000;
    r.y1 = 120000;
    r.pixel = 25;
    r.width = 80;
    r.height = 60;
    r.type = GDT_Float32;
    make(dir / "dem.tif", r, [](GDALDataset& d) {
        // A smooth surface, so that bilinear resampling stays near it.
        std::vector<float> row(80);
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 80; ++x)
                row[static_cast<std::size_t>(x)] = static_cast<float>(3000 + 10 * x + 5 * y);
            ASSERT_EQ(d.GetRasterBand(1)->RasterIO(GF_Write, 0, y, 80, 1, row.data(), 80, 1, GDT_Float32, 0, 0, nullptr), CE_None);
        }
        d.GetRasterBand(1)->SetScale(0.1);
        d.GetRasterBand(1)->SetOffset(0.0);
        d.GetRasterBand(1)->SetUnitType("m");
    });
    for (const bool heights : {false, true}) {
        const std::string out = heights ? "dem_svs2010.tif" : "dem_d96.tif";
        std::vector<std::string> args = {"migrate", "--in", "dem.tif", "--out", out, "--resampling", "bilinear", "-q"};
        if (heights) {
            args.push_back("--heights");
            args.push_back("svs2000-to-svs2010");
        }
        const auto run = test::run(test::cliPath(), args, dir);
        ASSERT_EQ(run.status, 0) << run.err;
    }
    Dataset plain = open(dir / "dem_d96.tif"), moved = open(dir / "dem_svs2010.tif");
    ASSERT_TRUE(plain && moved);
    GDALRasterBand* b = moved->GetRasterBand(1);
    int has = FALSE;
    EXPECT_TRUE(std::isnan(b->GetNoDataValue(&has)));
    EXPECT_TRUE(has);
    EXPECT_DOUBLE_EQ(b->GetScale(), 0.1);
    EXPECT_STREQ(b->GetUnitType(), "m");
    double gt[6];
    moved->GetGeoTransform(gt);
    const auto a = pixels(*plain), h = pixels(*moved);
    const SvsOffset& svs = SvsOffset::of(test::dataDir());
    const ZoneProjection tm(2, 1);
    std::size_t checked = 0, empty = 0;
    for (int y = 0; y < moved->GetRasterYSize(); ++y)
        for (int x = 0; x < moved->GetRasterXSize(); ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(moved->GetRasterXSize()) +
                                  static_cast<std::size_t>(x);
            if (std::isnan(a[i])) {
                EXPECT_TRUE(std::isnan(h[i]));
                ++empty;
                continue;
            }
            // Bilinear between the plane's values: within its slope.
            double fi, la;
            tm.toGeodetic(gt[3] + (y + 0.5) * gt[5], gt[0] + (x + 0.5) * gt[1], fi, la);
            const double offset = svs.at(fi, la);
            ASSERT_FALSE(std::isnan(offset));
            EXPECT_NEAR(h[i], a[i] + offset / 0.1, 0.01) << x << ' ' << y;
            ++checked;
        }
    EXPECT_GT(checked, 4000u);
    EXPECT_GT(empty, 0u);
}

// A raster across the model's outer edge: the part inside moved, the part
// outside without data, a warning (exit status 3); a raster wholly outside
// refused (exit status 1) with nothing written.
TEST(RasterMigrate, PartlyOutsideTheModelLeavesThatPartWithoutData)
{
    const auto dir = test::freshFolder("raster_edge");
    const auto& m = TriangleModel::of(test::dataDir());
    // The easternmost tie point lies on the model's outer edge.
    const auto east = *std::max_element(m.points().begin(), m.points().end(),
                                        [](const auto& p, const auto& q) { return p.gkE < q.gkE; });
    Raster r;
    r.pixel = 20;
    r.width = 200;
    r.height = 100;
    r.x0 = std::round(east.gkE) - 2000;
    r.y1 = std::round(east.gkN) + 1000;
    make(dir / "edge.tif", r, [](GDALDataset& d) { d.GetRasterBand(1)->SetNoDataValue(0); });
    const auto run = test::run(test::cliPath(), {"migrate", "--in", "edge.tif", "--out", "edge_d96.tif"}, dir);
    ASSERT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find("outside the national model"), std::string::npos) << run.err;
    Dataset d = open(dir / "edge_d96.tif");
    ASSERT_TRUE(d);
    double gt[6];
    d->GetGeoTransform(gt);
    const auto v = pixels(*d);
    std::size_t inside = 0, outside = 0, wrong = 0;
    for (int y = 0; y < d->GetRasterYSize(); ++y)
        for (int x = 0; x < d->GetRasterXSize(); ++x) {
            const double e = gt[0] + (x + 0.5) * gt[1], n = gt[3] + (y + 0.5) * gt[5];
            const bool in = m.find(1, e, n) >= 0;
            const double value = v[static_cast<std::size_t>(y) * static_cast<std::size_t>(d->GetRasterXSize()) +
                                   static_cast<std::size_t>(x)];
            if (!in) {
                ++outside;
                wrong += value != 0;
            } else if (value != 0) {
                ++inside;
            }
        }
    EXPECT_GT(inside, 1000u);
    EXPECT_GT(outside, 300u);
    EXPECT_EQ(wrong, 0u);

    r.x0 = east.gkE + 50000;
    make(dir / "far.tif", r);
    const auto far = test::run(test::cliPath(), {"migrate", "--in", "far.tif", "--out", "far_d96.tif"}, dir);
    EXPECT_EQ(far.status, 1);
    EXPECT_NE(far.err.find("wholly outside"), std::string::npos) << far.err;
    EXPECT_FALSE(fs::exists(dir / "far_d96.tif"));
}

// A raster in the wrong datum is refused and a cancelled run stops: either
// way an existing output stays as it was and nothing else is left behind.
TEST(RasterMigrate, RefusedOrCancelledRunsLeaveTheOutputAsItWas)
{
    const auto dir = test::freshFolder("raster_refuse");
    Raster r;
    r.x0 = 460000;
    r.y1 = 101000;
    r.epsg = 3794;
    make(dir / "tm.tif", r);
    std::ofstream(dir / "out.tif") << "old";
    const auto run = test::run(test::cliPath(), {"migrate", "--in", "tm.tif", "--out", "out.tif"}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("EPSG:3912"), std::string::npos) << run.err;
    EXPECT_EQ(test::readText(dir / "out.tif"), "old");

    MigrateOptions o;
    o.in = dir / "tm.tif";
    o.out = dir / "out.tif";
    o.from = MigrateFrom::Tm;
    o.dataDir = test::dataDir();
    std::atomic<bool> cancel{false};
    MigrateProgress progress;
    progress.cancel = &cancel;
    progress.report = [&cancel](double) { cancel = true; };
    EXPECT_THROW(migrate(o, progress), MigrateCancelled);
    EXPECT_EQ(test::readText(dir / "out.tif"), "old");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
        ++entries;
    EXPECT_EQ(entries, 2u);

    // The same run, uncancelled, replaces it.
    const MigrateSummary s = migrate(o);
    EXPECT_TRUE(s.raster);
    EXPECT_GT(s.written, 50000u);
    Dataset d = open(dir / "out.tif");
    ASSERT_TRUE(d);
    EXPECT_STREQ(d->GetSpatialRef()->GetAuthorityCode(nullptr), "3912");
}

// Bands of which only some have a nodata value (an Erdas Imagine file holds
// one a band; a GeoTIFF one for all): those keep theirs, an integer band
// without one gets none (0 where there is no source) rather than a NaN it
// cannot hold.
TEST(RasterMigrate, NodataStaysWithTheBandsThatHadIt)
{
    const auto dir = test::freshFolder("raster_mixed");
    Raster r;
    r.x0 = 500000;
    r.y1 = 120000;
    r.pixel = 10;
    r.width = 60;
    r.height = 40;
    r.type = GDT_UInt16;
    r.bands = 2;
    r.driver = "HFA";
    make(dir / "in.img", r, [](GDALDataset& d) { d.GetRasterBand(1)->SetNoDataValue(9999); });
    const auto run = test::run(test::cliPath(), {"migrate", "--in", "in.img", "--out", "out.img", "-q"}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    Dataset d = open(dir / "out.img");
    ASSERT_TRUE(d);
    int has = FALSE;
    EXPECT_EQ(d->GetRasterBand(1)->GetNoDataValue(&has), 9999);
    EXPECT_TRUE(has);
    d->GetRasterBand(2)->GetNoDataValue(&has);
    EXPECT_FALSE(has);
    const auto one = pixels(*d, 1), two = pixels(*d, 2);
    for (std::size_t i = 0; i < one.size(); ++i)
        if (one[i] == 9999)
            EXPECT_EQ(two[i], 0) << i;
        else
            EXPECT_NE(two[i], 0) << i;
}

// --target-resolution and --target-extent set the grid, --co the format's
// options; average resampling onto the coarser grid, and a format GDAL only
// copies into (PNG, its georeference in the .aux.xml beside it).
TEST(RasterMigrate, TargetGridAndCreationOptionsAsGiven)
{
    const auto dir = test::freshFolder("raster_grid");
    Raster r;
    r.x0 = 460000;
    r.y1 = 101000;
    r.pixel = 1;
    r.width = 400;
    r.height = 300;
    make(dir / "in.tif", r, [](GDALDataset& d) { d.GetRasterBand(1)->SetNoDataValue(0); });
    const auto run = test::run(test::cliPath(),
                               {"migrate", "--in", "in.tif", "--out", "out.tif", "--target-resolution", "4",
                                "--target-extent", "459700", "101250", "459900", "101410", "--resampling", "average",
                                "--co", "COMPRESS=DEFLATE", "--co", "TILED=YES", "-q"},
                               dir);
    ASSERT_EQ(run.status, 0) << run.err;
    Dataset d = open(dir / "out.tif");
    ASSERT_TRUE(d);
    double gt[6];
    d->GetGeoTransform(gt);
    EXPECT_DOUBLE_EQ(gt[0], 459700);
    EXPECT_DOUBLE_EQ(gt[3], 101410);
    EXPECT_DOUBLE_EQ(gt[1], 4);
    EXPECT_DOUBLE_EQ(gt[5], -4);
    EXPECT_EQ(d->GetRasterXSize(), 50);
    EXPECT_EQ(d->GetRasterYSize(), 40);
    EXPECT_STREQ(d->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
    // The average of 4 x 4 pixels of the pattern (1..250): near its mean.
    const auto v = pixels(*d);
    double sum = 0;
    for (double x : v) {
        ASSERT_NE(x, 0); // wholly inside the source
        sum += x;
    }
    EXPECT_NEAR(sum / static_cast<double>(v.size()), 125.5, 10);

    const auto png = test::run(test::cliPath(), {"migrate", "--in", "in.tif", "--out", "out.png", "-q"}, dir);
    ASSERT_EQ(png.status, 0) << png.err;
    Dataset p = open(dir / "out.png");
    ASSERT_TRUE(p);
    EXPECT_STREQ(p->GetDriver()->GetDescription(), "PNG");
    EXPECT_STREQ(p->GetSpatialRef()->GetAuthorityCode(nullptr), "3794");
    EXPECT_FALSE(fs::exists(dir / "kolmo-stage.tif"));
}

} // namespace
} // namespace kolmo
