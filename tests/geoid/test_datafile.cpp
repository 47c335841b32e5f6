// Loading MAT-files: what MATLAB/Octave write comes back in stored order with
// the right values; everything else is refused with a DataFileError.
#include "geoid_fixtures.h"

#include "platform/datafile.h"
#include "platform/errors.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace kolmo;
using namespace kolmo::platform;
using kolmo::test::geoidFixtures;

namespace {

void writeBytes(const std::filesystem::path& f, const std::string& bytes)
{
    std::ofstream(f, std::ios::binary) << bytes;
}

std::string readBytes(const std::filesystem::path& f)
{
    std::ifstream in(f, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The text of the DataFileError that loading `f` raises ("" if none).
std::string loadError(const std::filesystem::path& f)
{
    try {
        loadDataFile(f);
    } catch (const DataFileError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(DataFile, OctaveFilesInStoredOrderAndEveryNumericClass)
{
    for (const char* name : {"octave_v6.mat", "octave_v7.mat"}) {
        SCOPED_TRACE(name);
        const DataRecord r = loadDataFile(geoidFixtures() / name);
        ASSERT_EQ(r.fields.size(), 3u);
        EXPECT_EQ(r.fields[0].name, "zz");
        EXPECT_EQ(r.fields[1].name, "bb");
        EXPECT_EQ(r.fields[2].name, "aa");
        Mat zz(2, 3);
        zz << 1, 2, 3, 4, 5, 6;
        EXPECT_EQ(r.at("zz"), zz);
        EXPECT_EQ(r.at("bb")(1, 0), -8.0);
        EXPECT_EQ(r.at("aa")(0, 1), 1.5);
        // struct2array joins side by side in stored order: zz | bb | aa.
        const Mat all = struct2array(r);
        ASSERT_EQ(all.rows(), 2);
        ASSERT_EQ(all.cols(), 6);
        EXPECT_EQ(all(1, 2), 6.0);
        EXPECT_EQ(all(0, 3), 7.0);
        EXPECT_EQ(all(1, 5), 3.5);
    }
}

TEST(DataFile, NamedVariablesComeInTheOrderAskedAndSkipTheRest)
{
    // The file also holds text, which only matters when asked for.
    const auto f = geoidFixtures() / "octave_mixed.mat";
    const DataRecord r = loadDataFile(f, {"zz"});
    ASSERT_EQ(r.fields.size(), 1u);
    EXPECT_EQ(r.at("zz")(1, 1), 5.0);
    EXPECT_NE(loadError(f).find("'name' is text"), std::string::npos) << loadError(f);
    EXPECT_THROW(loadDataFile(f, {"name"}), DataFileError);
    // A record (or cell array) is no data file at all.
    EXPECT_NE(loadError(geoidFixtures() / "octave_record.mat").find("not a matrix"), std::string::npos);

    const DataRecord amg = loadDataFile(geoidFixtures() / "AMG_2000_gd.mat", {"Zgd", "Xgd"});
    EXPECT_EQ(amg.fields[0].name, "Zgd");
    EXPECT_EQ(amg.fields[1].name, "Xgd");
    try {
        loadDataFile(geoidFixtures() / "AMG_2000_gd.mat", {"Xgd", "Wgd"});
        FAIL() << "a missing variable was not reported";
    } catch (const DataFileError& e) {
        EXPECT_NE(std::string(e.what()).find("'Wgd' is missing"), std::string::npos);
    }
}

TEST(DataFile, SaveAndLoadRoundTripCompressedOrNot)
{
    const auto dir = kolmo::test::freshTempDir("datafile_rt");
    Mat a(3, 2), b(3, 1);
    a << 1.25, -2, 3e300, 4, 5, std::nextafter(1.0, 2.0);
    b << 7, 8, 9;
    for (bool compress : {false, true}) {
        const auto f = dir / (compress ? "c.mat" : "u.mat");
        saveDataFile(f, {{{"first", a}, {"second", b}}}, compress);
        const DataRecord r = loadDataFile(f);
        ASSERT_EQ(r.fields.size(), 2u);
        EXPECT_EQ(r.fields[0].name, "first");
        EXPECT_EQ(r.fields[0].value, a);  // bit for bit
        EXPECT_EQ(r.fields[1].value, b);
    }
    std::filesystem::remove_all(dir);
}

TEST(DataFile, Struct2ArrayRefusesFieldsOfDifferentHeight)
{
    DataRecord r{{{"a", Mat::Ones(2, 2)}, {"b", Mat::Ones(3, 1)}}};
    EXPECT_THROW(struct2array(r), DataFileError);
    EXPECT_EQ(struct2array(DataRecord{}).size(), 0);
}

TEST(DataFile, SingleMatrixFileMustHoldOneMatrixOfTheShape)
{
    const auto f = geoidFixtures() / "HREF_SVS2010.mat";
    EXPECT_EQ(loadSingleMatrix(f, 241, 321).rows(), 241);
    EXPECT_THROW(loadSingleMatrix(f, 321, 241), DataFileError);
    EXPECT_THROW(loadSingleMatrix(geoidFixtures() / "AMG_2000_gd.mat", 9260, 1), DataFileError);
}

TEST(DataFile, BrokenFilesGiveAClearError)
{
    const auto dir = kolmo::test::freshTempDir("datafile_bad");
    EXPECT_NE(loadError(dir / "none.mat").find("does not exist"), std::string::npos);
    writeBytes(dir / "empty.mat", "");
    EXPECT_NE(loadError(dir / "empty.mat").find("not a MATLAB v5/v7 MAT-file"), std::string::npos);
    writeBytes(dir / "text.mat", std::string(200, 'x'));
    EXPECT_NE(loadError(dir / "text.mat").find("not a MATLAB"), std::string::npos);

    // The same header with version 0x0200 is the HDF5 layout.
    std::string v73 = readBytes(geoidFixtures() / "meja_rs.mat");
    v73[124] = 0x00;
    v73[125] = 0x02;
    writeBytes(dir / "v73.mat", v73);
    EXPECT_NE(loadError(dir / "v73.mat").find("v7.3"), std::string::npos);

    // Cut at every few hundred bytes, uncompressed and compressed: an error or
    // (when the cut falls between variables) fewer variables, never a crash.
    for (const char* name : {"meja_rs.mat", "octave_v7.mat", "AMG_2000_gd.mat"}) {
        const std::string whole = readBytes(geoidFixtures() / name);
        for (std::size_t cut = 130; cut < whole.size(); cut += whole.size() / 37 + 1) {
            writeBytes(dir / "cut.mat", whole.substr(0, cut));
            try {
                const DataRecord r = loadDataFile(dir / "cut.mat");
                EXPECT_LT(r.fields.size(), 3u) << name << " cut at " << cut;
            } catch (const DataFileError&) {
            }
        }
    }

    // A variable whose dimensions claim far more data than the file holds.
    std::string big = readBytes(geoidFixtures() / "meja_rs.mat");
    // dims of the first variable: tag at 128, array flags 136..151, dims tag 152, values 160..167
    big[160] = '\xff';
    big[161] = '\xff';
    big[162] = '\xff';
    big[163] = '\x7f';
    writeBytes(dir / "big.mat", big);
    EXPECT_NE(loadError(dir / "big.mat"), "");
    std::filesystem::remove_all(dir);
}
