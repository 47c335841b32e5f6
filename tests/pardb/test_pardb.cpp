// The parameter database: reading rule, selection and saving windows, appends.
#include "app/izberi_par.h"
#include "app/pardb.h"
#include "app/shrani_par.h"
#include "platform/dialogs.h"
#include "platform/textread.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kolmo;
using kolmo::test::dataDir;
namespace fs = std::filesystem;

namespace {

class ParDb : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("kolmo_pardb_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
        fs::create_directories(dir_);
        s.pot_prg = dir_;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    void write(const std::string& file, const std::string& text)
    {
        std::ofstream(dir_ / file, std::ios::binary) << text;
    }
    std::string read(const std::string& file) { return platform::readFile(dir_ / file); }

    fs::path dir_;
    AppState s;
    platform::RecordingDialogs rec;
    platform::ScopedDialogs scoped{rec};
};

Vec vec(std::initializer_list<double> v)
{
    Vec out(static_cast<Eigen::Index>(v.size()));
    Eigen::Index i = 0;
    for (double x : v)
        out(i++) = x;
    return out;
}

const platform::Box errorBox(const std::string& text)
{
    return {platform::Box::Error, text, "Napaka"};
}

} // namespace

TEST_F(ParDb, SelectionListsOneDirectionInFileOrder)
{
    // Sets of both directions, a repeated name, a skipped set whose fields are
    // no numbers, and left-over fields after the last whole group.
    write("t7.par", "\n2,Prvi,1,2,3,4,5,6,7\n1,Obratni,-1,-2,-3,-4,-5,-6,-7\n2,Drugi,11,12,13,14,15,16,17"
                    "\n1,Obratni 2,x,y,z,p,q,r,s\n2,Tretji,21,22,23,24,25,26,27\n2,Tretji,31,32,33,34,35,36,37"
                    "\n2,Odvecno,1,2");
    s.PAR = vec({9, 9, 9, 9, 9, 9, 9});
    IzberiParWindow w;
    ASSERT_TRUE(izberi_par(s, "2", 7, w));
    EXPECT_TRUE(rec.boxes.empty());
    EXPECT_EQ(s.npar, 7);
    EXPECT_EQ(s.PAR.size(), 0);  // discarded as soon as the window opens
    EXPECT_EQ(w.names, (Names{"Prvi", "Drugi", "Tretji", "Tretji"}));
    EXPECT_EQ(s.datap.rows(), 4);
    EXPECT_FALSE(w.izpisVisible);

    ASSERT_TRUE(izberi_par_pars(s, w, 3));
    EXPECT_EQ(s.PAR, vec({21, 22, 23, 24, 25, 26, 27}));
    EXPECT_TRUE(w.izpisVisible);
    EXPECT_EQ(w.izPar.substr(0, 6), "  dx: ");
    EXPECT_NE(w.izPar.find("\n  dm: 27"), std::string::npos) << w.izPar;
    EXPECT_FALSE(izberi_par_pars(s, w, 5));
    EXPECT_EQ(s.PAR(0), 21);
    izberi_par_izberi(w);
    EXPECT_FALSE(w.open);
    EXPECT_EQ(s.PAR(0), 21);

    // The second record of a name is listed too; a search finds the first.
    EXPECT_EQ(*findParSet(dir_, 7, "2", "Tretji"), vec({21, 22, 23, 24, 25, 26, 27}));
    EXPECT_FALSE(findParSet(dir_, 7, "2", "Obratni").has_value());

    ASSERT_TRUE(izberi_par(s, "2", 7, w));
    izberi_par_pars(s, w, 1);
    izberi_par_preklici(s, w);
    EXPECT_FALSE(w.open);
    EXPECT_EQ(s.PAR.size(), 0);
}

TEST_F(ParDb, ReadingRuleFaults)
{
    // A direction code of another length, or a non-number in a set of the
    // requested direction, spoils the file; one in a skipped set does not.
    EXPECT_THROW(parseParSets("\n2,a,1,2,3,4\n12,b,1,2,3,4", 4, "2"), ParDbError);
    EXPECT_THROW(parseParSets("\n2,a,b,1,2,3,4\n2,c,1,2,3,4", 4, "2"), ParDbError);  // a comma in a name shifts the groups
    EXPECT_THROW(parseParSets("\n2,a,1,2,3,nan", 4, "2"), ParDbError);
    EXPECT_EQ(parseParSets("\n2,a,1,2,3,4,5", 4, "2").names, Names{"a"});           // left-over field ignored
    EXPECT_EQ(parseParSets("\n1,a,1,2,3,oops\n2,b,1,2,3,4", 4, "2").names, Names{"b"});
    EXPECT_EQ(parseParSets("", 4, "2").names.size(), 0u);
    // No text at all (found by fuzzing): the database's own error, not the reader's.
    EXPECT_THROW(parseParSets(std::string_view("\n2,a,1,2\0,3,4", 13), 4, "2"), ParDbError);
    // Blanks around fields are dropped, CR LF accepted, six decimals read as written.
    const auto p = parseParSets("\r\n 2 , Ime z presledki ,1.000010,0.000026,497.056890,-378.232018\r\n", 4, "2");
    EXPECT_EQ(p.names, Names{"Ime z presledki"});
    EXPECT_DOUBLE_EQ(p.datap(0, 1), 0.000026);

    write("t4.par", "\n2,a,1,2,3,x");
    IzberiParWindow w;
    EXPECT_FALSE(izberi_par(s, "2", 4, w));
    EXPECT_FALSE(w.open);
    EXPECT_EQ(rec.boxes.back(), errorBox("Napaka v datoteki s parametri!"));

    EXPECT_FALSE(izberi_par(s, "2", 6, w));  // no t6.par in the folder
    EXPECT_EQ(rec.boxes.back(), errorBox("Ne najdem datoteke s parametri!"));
    EXPECT_THROW(findParSet(dir_, 6, "2", "a"), ParDbError);

    // Nothing of the requested direction: no window with an empty list.
    write("t4.par", "\n1,a,1,2,3,4");
    s.PAR = vec({1, 2, 3, 4});
    EXPECT_FALSE(izberi_par(s, "2", 4, w));
    EXPECT_EQ(rec.boxes.back(), errorBox("V datoteki s parametri ni parametrov izbrane smeri!"));
    EXPECT_EQ(s.PAR.size(), 0);
    EXPECT_EQ(rec.boxes.size(), 3u);
}

TEST_F(ParDb, SavingWindowCreatesAndAppends)
{
    s.PAR = vec({476.08, 125.947, 417.81, -4.610862, -2.388137, 11.942335, 9.896638});
    ShraniParWindow w;
    ASSERT_TRUE(shrani_par(s, "1", w));
    EXPECT_EQ(s.tip_par, "1");
    EXPECT_EQ(w.napis, "Parametri bodo dodani v datoteko: t7.par");
    EXPECT_EQ(w.tipText, "Tip parametrov: D96 -> D48");
    EXPECT_EQ(w.parText, "  dx: 476.080000\n"
                         "  dy: 125.947000\n"
                         "  dz: 417.810000\n"
                         "alfa:  -4.610862\n"
                         "beta:  -2.388137\n"
                         "gama:  11.942335\n"
                         "  dm:   9.896638");
    w.ime = "Moja mreža";
    ASSERT_TRUE(shrani_par_shrani(s, w));
    EXPECT_FALSE(w.open);
    // The same name for the other direction is another set.
    ASSERT_TRUE(shrani_par(s, "2", w));
    w.ime = "Moja mreža";
    ASSERT_TRUE(shrani_par_shrani(s, w));
    EXPECT_TRUE(rec.boxes.empty());
    // For the same direction it could never be selected (sets are found by
    // name, the first wins): refused, blanks around it or not.
    ASSERT_TRUE(shrani_par(s, "1", w));
    w.ime = " Moja mreža\t";
    EXPECT_FALSE(shrani_par_shrani(s, w));
    EXPECT_TRUE(w.open);
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0], errorBox("Parametri s tem imenom že obstajajo!"));
    EXPECT_EQ(rec.boxes[0].details, (dir_ / "t7.par").string() + " already holds a set ' Moja mreža\t' of direction 1");
    // Created with an empty first line, no line feed at the end, the name in
    // Windows-1250 (ž = 0x9E).
    const std::string rec7 = "1,Moja mre\x9e" "a,476.080000,125.947000,417.810000,-4.610862,-2.388137,11.942335,9.896638";
    EXPECT_EQ(read("t7.par"), "\n" + rec7 + "\n2" + rec7.substr(1));
    EXPECT_EQ(readParSets(dir_, 7, "1").names, (Names{"Moja mreža"}));
    rec.boxes.clear();

    ShraniParWindow w2;
    s.PAR = vec({1, 2, 3, 4, 5, 6});
    ASSERT_TRUE(shrani_par(s, "2", w2));
    EXPECT_EQ(w2.napis, "Parametri bodo dodani v datoteko: t6.par");
    EXPECT_EQ(w2.tipText, "Tip parametrov: D48 -> D96");
    s.PAR.resize(0);
    EXPECT_FALSE(shrani_par(s, "2", w2));
    EXPECT_EQ(rec.boxes.back(), errorBox("Parametri se niso določeni/izbrani!"));
}

TEST_F(ParDb, RefusedNamesAndValuesLeaveFileAlone)
{
    write("t4.par", "\n2,Star zapis,1.000010,0.000026,497.056890,-378.232018");
    const std::string before = read("t4.par");
    s.PAR = vec({1.00001, 2.5e-5, 497.05, -378.23});
    ShraniParWindow w;
    ASSERT_TRUE(shrani_par(s, "2", w));
    for (const std::string name : {"a,b", "prva\nvrstica", "z\rCR", "", "  \t "}) {
        w.ime = name;
        EXPECT_FALSE(shrani_par_shrani(s, w)) << name;
        EXPECT_TRUE(w.open);
    }
    ASSERT_EQ(rec.boxes.size(), 5u);
    EXPECT_EQ(rec.boxes[0], errorBox("Ime parametrov ne sme vsebovati vejice ali preloma vrstice!"));
    EXPECT_EQ(rec.boxes[1], rec.boxes[0]);
    EXPECT_EQ(rec.boxes[4], errorBox("Vpiši ime parametrov!"));
    s.PAR(1) = std::numeric_limits<double>::quiet_NaN();
    w.ime = "ok";
    EXPECT_FALSE(shrani_par_shrani(s, w));
    EXPECT_EQ(rec.boxes.back().title, "Napaka");
    EXPECT_FALSE(appendParSet(dir_, "3", "ok", vec({1, 2, 3, 4})));
    EXPECT_FALSE(appendParSet(dir_, "2", "ok", vec({1, 2, 3})));
    EXPECT_EQ(read("t4.par"), before);

    // A file whose records do not end whole would swallow the new one.
    write("t4.par", before + "\n2,a,b");
    s.PAR(1) = 0;
    EXPECT_FALSE(shrani_par_shrani(s, w));
    EXPECT_NE(rec.boxes.back().text.find("Parametri niso shranjeni!"), std::string::npos);
    EXPECT_EQ(read("t4.par"), before + "\n2,a,b");
}

TEST_F(ParDb, UnwritableDatabaseShowsBoxAndKeepsRecords)
{
    s.PAR = vec({1, 2, 3, 4, 5, 6, 7});
    ShraniParWindow w;
    ASSERT_TRUE(shrani_par(s, "2", w));
    w.ime = "Nova";
    const std::string notSaved = "Parametri niso shranjeni! Datoteke s parametri ni mogoče zapisati.";

    // Program folder gone.
    s.pot_prg = dir_ / "ni_mape";
    EXPECT_FALSE(shrani_par_shrani(s, w));
    EXPECT_TRUE(w.open);
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0], errorBox(notSaved));

    // A database that is no regular file.
    s.pot_prg = dir_;
    fs::create_symlink("/dev/full", dir_ / "t7.par");
    EXPECT_FALSE(shrani_par_shrani(s, w));
    EXPECT_EQ(rec.boxes.back(), errorBox(notSaved));
    fs::remove(dir_ / "t7.par");

    // A write that cannot land whole (file size limit in a child process) is
    // taken back: the file keeps exactly its old records.
    write("t7.par", "\n2,Star,1,2,3,4,5,6,7");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit lim{30, 30};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        ::_exit(appendParSet(dir_, "2", "Nova", s.PAR) ? 1 : 0);
    }
    int st = 0;
    ASSERT_EQ(::waitpid(pid, &st, 0), pid);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    EXPECT_EQ(read("t7.par"), "\n2,Star,1,2,3,4,5,6,7");

    // A database that may not be written (not checkable with rights that
    // ignore file permissions).
    fs::permissions(dir_ / "t7.par", fs::perms::owner_read);
    if (::access((dir_ / "t7.par").c_str(), W_OK) != 0) {
        EXPECT_FALSE(shrani_par_shrani(s, w));
        EXPECT_TRUE(w.open);
        EXPECT_EQ(rec.boxes.back(), errorBox(notSaved));
        EXPECT_EQ(read("t7.par"), "\n2,Star,1,2,3,4,5,6,7");
    }
}

TEST_F(ParDb, PlaneCoefficientsKeepTwelveDecimals)
{
    // An estimated four-parameter set and a point 460 km from the origin.
    const Vec est = vec({1.0000102016173456, 2.5515403187654e-05, 497.0568901234, -378.2320181234});
    const double x = 460000, y = 100000;
    auto apply = [&](const Vec& p) { return Eigen::Vector2d(p(0) * x - p(1) * y + p(2), p(1) * x + p(0) * y + p(3)); };

    ASSERT_TRUE(appendParSet(dir_, "2", "ocena", est));
    EXPECT_EQ(read("t4.par"), "\n2,ocena,1.000010201617,0.000025515403,497.056890,-378.232018");
    const auto back = findParSet(dir_, 4, "2", "ocena");
    ASSERT_TRUE(back);
    EXPECT_LT((apply(*back) - apply(est)).norm(), 1e-4);

    // With six decimals the same set would move the point by decimetres.
    write("t4.par", "\n2,sest,1.000010,0.000026,497.056890,-378.232018");
    const auto six = findParSet(dir_, 4, "2", "sest");
    ASSERT_TRUE(six);
    EXPECT_GT((apply(*six) - apply(est)).norm(), 0.1);

    // Six-parameter model: coefficients 12 decimals, translations 6.
    ASSERT_TRUE(appendParSet(dir_, "1", "afina", vec({0.999991551594123, 2.3326982e-05, -496.2097514,
                                                      -2.6979506e-05, 0.999988594075987, 378.9435321})));
    EXPECT_EQ(read("t6.par"),
              "\n1,afina,0.999991551594,0.000023326982,-496.209751,-0.000026979506,0.999988594076,378.943532");
}

TEST_F(ParDb, ShippedDatabasesRead)
{
    for (int npar : {7, 4, 6})
        for (const std::string dir : {"1", "2"}) {
            const auto sets = readParSets(dataDir(), npar, dir);
            EXPECT_GE(sets.names.size(), 2u) << npar << " " << dir;
            EXPECT_EQ(sets.datap.cols(), npar);
        }
    const auto epsg = findParSet(dataDir(), 7, "2", "EPSG 8689 D48-D96 (12) Slovenija 2010");
    ASSERT_TRUE(epsg);
    EXPECT_DOUBLE_EQ((*epsg)(0), 476.08);
    EXPECT_DOUBLE_EQ((*epsg)(6), 9.896638);
}

TEST(ParTip, MainWindowDirectionCode)
{
    // 3R: targets 1 D96/fi_la, 2 D96/TM -> "2"; 3 D48/GK -> "1".
    EXPECT_EQ(par_tip(1, 1), "2");
    EXPECT_EQ(par_tip(1, 2), "2");
    EXPECT_EQ(par_tip(1, 3), "1");
    // 2R: 1 D96/TM -> "2"; 2 D48/GK -> "1".
    for (int t : {2, 3}) {
        EXPECT_EQ(par_tip(t, 1), "2");
        EXPECT_EQ(par_tip(t, 2), "1");
    }
    EXPECT_EQ(par_tip(4, 1), "1");
    EXPECT_EQ(par_tip(5, 1), "1");
}

TEST_F(ParDb, ConcurrentAppendsFromForkedSavers)
{
    // Four processes append 150 records each, with names long enough that a
    // torn or interleaved write would show.
    constexpr int kProcs = 4, kEach = 150;
    std::vector<pid_t> kids;
    for (int p = 0; p < kProcs; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < kEach; ++i) {
                const std::string name = "proc" + std::to_string(p) + "_" + std::to_string(i) + std::string(200, 'a' + p);
                ok = appendParSet(dir_, "2", name, vec({double(p), double(i), 3, 4, 5, 6, 7})) && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        kids.push_back(pid);
    }
    for (pid_t pid : kids) {
        int st = 0;
        ASSERT_EQ(::waitpid(pid, &st, 0), pid);
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    }
    const auto sets = readParSets(dir_, 7, "2");
    ASSERT_EQ(sets.names.size(), static_cast<std::size_t>(kProcs * kEach));
    std::vector<int> next(kProcs, 0);
    for (std::size_t k = 0; k < sets.names.size(); ++k) {
        const int p = static_cast<int>(sets.datap(static_cast<Eigen::Index>(k), 0));
        const int i = static_cast<int>(sets.datap(static_cast<Eigen::Index>(k), 1));
        ASSERT_TRUE(p >= 0 && p < kProcs);
        EXPECT_EQ(i, next[static_cast<std::size_t>(p)]++);  // each saver's records in its own order
        EXPECT_EQ(sets.names[k], "proc" + std::to_string(p) + "_" + std::to_string(i) + std::string(200, 'a' + p));
    }
}
