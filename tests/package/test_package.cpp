// The Debian package kolmo_3.00-1_amd64.deb (scripts/package.sh), unpacked
// into a temporary root with dpkg -x: its control fields, its files, and its
// programs run from there.  scripts/test.sh builds the package of the release
// build before the tests; without it (another build folder, a plain ctest)
// these tests are skipped.
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;
using namespace kolmo;

namespace {

const fs::path kDeb = fs::path(KOLMO_BINARY_DIR) / "kolmo_3.00-1_amd64.deb";

test::RunResult sh(const std::string& script, const fs::path& cwd = fs::temp_directory_path())
{
    return test::run("/bin/bash", {"-c", script}, cwd);
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// The package unpacked once for all tests of the suite.
class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!fs::exists(kDeb))
            return;
        root_ = new fs::path(test::freshFolder("deb_root"));
        const auto x = test::run("/usr/bin/dpkg", {"-x", kDeb.string(), root_->string()});
        ASSERT_EQ(x.status, 0) << x.err;
    }
    static void TearDownTestSuite()
    {
        if (root_)
            fs::remove_all(*root_);
        delete root_;
        root_ = nullptr;
    }
    void SetUp() override
    {
        if (!root_)
            GTEST_SKIP() << kDeb << " is not there: run `bash scripts/package.sh " << KOLMO_BINARY_DIR
                         << "` (scripts/test.sh does) to test the package";
    }
    static std::string field(const std::string& name)
    {
        const auto f = test::run("/usr/bin/dpkg-deb", {"-f", kDeb.string(), name});
        std::string v = f.out;
        while (!v.empty() && v.back() == '\n')
            v.pop_back();
        return v;
    }
    static const fs::path& root() { return *root_; }
    static fs::path cli() { return root() / "usr/bin/kolmo-cli"; }

private:
    static fs::path* root_;
};
fs::path* Package::root_ = nullptr;

} // namespace

TEST_F(Package, ControlFields)
{
    EXPECT_EQ(field("Package"), "kolmo");
    EXPECT_EQ(field("Version"), "3.00-1");
    EXPECT_EQ(field("Architecture"), "amd64");
    EXPECT_EQ(field("Section"), "science");
    EXPECT_EQ(field("Priority"), "optional");
    EXPECT_TRUE(std::regex_match(field("Maintainer"), std::regex(R"([^<>]+ <[^<>@ ]+@[^<>@ ]+>)")))
        << field("Maintainer");
    const auto description = lines(field("Description"));
    ASSERT_GE(description.size(), 3u);
    EXPECT_LT(description[0].size(), 80u);
    for (const auto& line : description)
        EXPECT_LE(line.size(), 80u) << line;

    // What dpkg-shlibdeps found for the binaries, and what the program loads
    // without linking it: the platform plugins and Qt's Slovene translation.
    const std::string depends = field("Depends");
    for (const char* package : {"libc6", "libstdc++6", "libqt6widgets6", "libqt6printsupport6", "libmatio11",
                                "libcairo2", "libtiff6", "qt6-qpa-plugins", "qt6-translations-l10n"})
        EXPECT_TRUE(std::regex_search(depends, std::regex(std::string("(^|, )") + std::regex_replace(
                                                              package, std::regex(R"([+.])"), R"(\$&)") +
                                                          "( |,|$)")))
            << package << " not in " << depends;
}

TEST_F(Package, FilesWhereDebianWantsThem)
{
    const std::set<std::string> expected{
        "usr/bin/kolmo", "usr/bin/kolmo-cli", "usr/lib/kolmo/kolmo_gis.so",
        "usr/share/kolmo/t7.par", "usr/share/kolmo/t4.par", "usr/share/kolmo/t6.par",
        "usr/share/kolmo/HREF_SVS2010.mat", "usr/share/kolmo/AMG_2000_gd.mat", "usr/share/kolmo/geoid.mat",
        "usr/share/kolmo/meja_rs.mat", "usr/share/kolmo/VTP2024.mat",
        "usr/share/kolmo/gurs_virtualne_vezne_tocke_v4.0.txt",
        "usr/share/man/man1/kolmo.1.gz", "usr/share/man/man1/kolmo-cli.1.gz",
        "usr/share/bash-completion/completions/kolmo-cli",
        "usr/share/applications/kolmo.desktop",
        "usr/share/icons/hicolor/scalable/apps/kolmo.svg", "usr/share/icons/hicolor/256x256/apps/kolmo.png",
        "usr/share/doc/kolmo/copyright", "usr/share/doc/kolmo/changelog.Debian.gz",
        "usr/share/doc/kolmo/README.data.md", "usr/share/doc/kolmo/README.md",
        "usr/share/mime/packages/kolmo.xml", "usr/share/lintian/overrides/kolmo"};
    // The examples the README works through, every one of them, as documents.
    std::set<std::string> examples;
    for (const auto& e : fs::recursive_directory_iterator(fs::path(KOLMO_SOURCE_DIR) / "examples"))
        if (!e.is_directory())
            examples.insert("usr/share/doc/kolmo/examples/" +
                            fs::relative(e.path(), fs::path(KOLMO_SOURCE_DIR) / "examples").string());
    ASSERT_GT(examples.size(), 10u);
    std::set<std::string> found, foundExamples;
    for (const auto& e : fs::recursive_directory_iterator(root()))
        if (!e.is_directory()) {
            const std::string file = fs::relative(e.path(), root()).string();
            (file.rfind("usr/share/doc/kolmo/examples/", 0) == 0 ? foundExamples : found).insert(file);
        }
    EXPECT_EQ(found, expected);
    EXPECT_EQ(foundExamples, examples);
    for (const auto& file : foundExamples) {
        struct stat st {};
        ASSERT_EQ(::stat((root() / file).c_str(), &st), 0) << file;
        EXPECT_EQ(st.st_mode & 0111, 0u) << file << " is a document, not a program";
    }
    EXPECT_EQ(test::readText(root() / "usr/share/doc/kolmo/copyright"),
              test::readText(fs::path(KOLMO_SOURCE_DIR) / "packaging/copyright"));

    for (const char* program : {"usr/bin/kolmo", "usr/bin/kolmo-cli"}) {
        struct stat st {};
        ASSERT_EQ(::stat((root() / program).c_str(), &st), 0) << program;
        EXPECT_EQ(st.st_mode & 07777, 0755u) << program;
        // Stripped: no symbol table left.
        const auto syms = test::run("/usr/bin/readelf", {"-S", (root() / program).string()});
        EXPECT_EQ(syms.out.find(".symtab"), std::string::npos) << program << " is not stripped";
    }
    // The GDAL part, loaded by the programs when they meet a dataset: a
    // library, not a program, and stripped as they are.
    {
        const fs::path gis = root() / "usr/lib/kolmo/kolmo_gis.so";
        struct stat st {};
        ASSERT_EQ(::stat(gis.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0644u);
        EXPECT_EQ(test::run("/usr/bin/readelf", {"-S", gis.string()}).out.find(".symtab"), std::string::npos);
        EXPECT_EQ(test::run("/usr/bin/readelf", {"-d", root().string() + "/usr/bin/kolmo-cli"}).out.find("libgdal"),
                  std::string::npos)
            << "kolmo-cli needs GDAL at start";
    }
    // The data files are the build's.
    for (const auto& e : fs::directory_iterator(test::dataDir()))
        EXPECT_EQ(test::readText(root() / "usr/share/kolmo" / e.path().filename()), test::readText(e.path()))
            << e.path().filename();

    const std::string copyright = test::readText(root() / "usr/share/doc/kolmo/copyright");
    for (const char* says : {"Geodetska uprava Republike Slovenije", "CC-BY-4.0", "CC BY 4.0",
                             "https://creativecommons.org/licenses/by/4.0/", "Natural Earth"})
        EXPECT_NE(copyright.find(says), std::string::npos) << says;
}

namespace {

// The paragraphs of a machine-readable copyright file: field name -> value
// (continuation lines joined with '\n'), in file order.
std::vector<std::map<std::string, std::string>> paragraphs(const std::string& text)
{
    std::vector<std::map<std::string, std::string>> out(1);
    std::string field;
    for (const auto& line : lines(text)) {
        if (line.empty()) {
            if (!out.back().empty())
                out.emplace_back();
            field.clear();
        } else if (line[0] == ' ' || line[0] == '\t') {
            std::string& value = out.back()[field];
            value += '\n';
            value.append(line, 1, std::string::npos);
        } else {
            const auto colon = line.find(':');
            field = line.substr(0, colon);
            out.back()[field] = colon + 1 < line.size() ? line.substr(line.find_first_not_of(' ', colon + 1)) : "";
        }
    }
    if (out.back().empty())
        out.pop_back();
    return out;
}

} // namespace

// The copyright file (packaging/copyright, installed as it is): Kolmo's own
// licence, the data of the Surveying and Mapping Authority in a paragraph of
// their own under CC BY 4.0 with its whole text, the border's public domain.
TEST(Copyright, ParagraphsNameEveryLicenceAndItsText)
{
    const auto ps = paragraphs(test::readText(fs::path(KOLMO_SOURCE_DIR) / "packaging/copyright"));
    ASSERT_GE(ps.size(), 5u);
    EXPECT_EQ(ps[0].at("Format"), "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/");
    const auto filesParagraph = [&](const std::string& file) -> const std::map<std::string, std::string>* {
        for (const auto& p : ps)
            if (const auto f = p.find("Files"); f != p.end()) {
                std::istringstream words(f->second);
                for (std::string w; words >> w;)
                    if (w == file)
                        return &p;
            }
        return nullptr;
    };
    const auto licenceText = [&](const std::string& name) -> std::string {
        for (const auto& p : ps)
            if (p.size() == 1 && p.count("License") && p.at("License").rfind(name + "\n", 0) == 0)
                return p.at("License");
        return {};
    };

    const auto* own = filesParagraph("*");
    ASSERT_TRUE(own);
    EXPECT_EQ(own->at("License"), "GPL-3.0-or-later");
    const std::string gpl = licenceText("GPL-3.0-or-later");
    EXPECT_NE(gpl.find("either version 3 of the License, or (at your option)"), std::string::npos) << gpl;
    EXPECT_NE(gpl.find("/usr/share/common-licenses/GPL-3"), std::string::npos);
    // The sources carry the licence's whole text.
    EXPECT_EQ(test::readText(fs::path(KOLMO_SOURCE_DIR) / "LICENSE"), test::readText("/usr/share/common-licenses/GPL-3"));

    const auto* gurs = filesParagraph("data/gurs_virtualne_vezne_tocke_v4.0.txt");
    ASSERT_TRUE(gurs);
    EXPECT_NE(gurs, own);
    for (const char* file : {"data/VTP2024.mat", "data/HREF_SVS2010.mat", "data/sources/si_gurs_SLO-VTP2024.tif",
                             "data/sources/si_gurs_SLO-VRP2016-Koper.tif"})
        EXPECT_EQ(filesParagraph(file), gurs) << file;
    EXPECT_NE(gurs->at("Copyright").find("Geodetska uprava Republike Slovenije"), std::string::npos);
    EXPECT_EQ(gurs->at("License"), "CC-BY-4.0");
    EXPECT_NE(gurs->at("Comment").find("© Geodetska uprava Republike Slovenije, CC BY 4.0"), std::string::npos);
    const std::string cc = licenceText("CC-BY-4.0");
    for (const char* says : {"Attribution 4.0 International Public License", "Section 1 -- Definitions.",
                             "Section 3 -- License Conditions.", "Section 8 -- Interpretation.",
                             "Creative Commons may be contacted at creativecommons.org."})
        EXPECT_NE(cc.find(says), std::string::npos) << says;

    const auto* border = filesParagraph("data/meja_rs.mat");
    ASSERT_TRUE(border);
    EXPECT_EQ(border->at("License").substr(0, 13), "public-domain");
    // Every data file the package installs falls under a paragraph of its own
    // source, the tables of Kolmo's own (the parameter sets) under "*".
    for (const auto& e : fs::directory_iterator(fs::path(KOLMO_SOURCE_DIR) / "data")) {
        if (e.is_regular_file() && e.path().extension() == ".mat") {
            EXPECT_NE(filesParagraph("data/" + e.path().filename().string()), own) << e.path().filename();
        }
    }
}

TEST_F(Package, DesktopEntryNamesTheInstalledProgramAndIcon)
{
    const auto entry = lines(test::readText(root() / "usr/share/applications/kolmo.desktop"));
    const std::set<std::string> has(entry.begin(), entry.end());
    for (const char* line : {"[Desktop Entry]", "Type=Application", "Name=Kolmo", "Exec=kolmo %f", "Icon=kolmo",
                             "MimeType=application/x-kolmo-points;",
                             "Terminal=false", "Categories=Science;Geography;"})
        EXPECT_EQ(has.count(line), 1u) << line;
    if (sh("command -v desktop-file-validate").status == 0) {
        const auto v = test::run("/usr/bin/desktop-file-validate",
                                 {(root() / "usr/share/applications/kolmo.desktop").string()});
        EXPECT_EQ(v.status, 0) << v.out << v.err;
    }
}

// The pages hold every command the program lists, at any depth.
TEST_F(Package, ManualPagesCoverEveryCommand)
{
    const auto page = [&](const char* name) {
        return sh("zcat " + (root() / "usr/share/man/man1" / name).string()).out;
    };
    const std::string guiPage = page("kolmo.1.gz"), cliPage = page("kolmo-cli.1.gz");
    EXPECT_NE(guiPage.find(".TH KOLMO \"1\""), std::string::npos);
    EXPECT_NE(guiPage.find("KOLMO_EDITOR"), std::string::npos);
    EXPECT_NE(cliPage.find(".TH KOLMO-CLI \"1\""), std::string::npos);
    EXPECT_NE(cliPage.find("CC BY 4.0"), std::string::npos);

    std::vector<std::vector<std::string>> pending{{}};
    int commands = 0;
    while (!pending.empty()) {
        auto path = pending.back();
        pending.pop_back();
        auto args = path;
        args.push_back("--help");
        const auto help = test::run(cli(), args);
        ASSERT_EQ(help.status, 0) << help.err;
        bool inside = false;
        for (const auto& line : lines(help.out)) {
            if (line.rfind("  ", 0) != 0)
                inside = line == "Subcommands:";
            else if (inside && line.size() > 2 && line[2] != ' ') {
                auto sub = path;
                sub.push_back(line.substr(2, line.find(' ', 2) - 2));
                pending.push_back(sub);
            }
        }
        if (path.empty())
            continue;
        std::string heading = ".SS \"kolmo\\-cli";
        for (const auto& word : path) {
            heading += ' ';
            heading += std::regex_replace(word, std::regex("-"), "\\-");
        }
        EXPECT_NE(cliPage.find(heading + "\""), std::string::npos) << heading;
        ++commands;
    }
    EXPECT_GE(commands, 6);  // convert, geoid, transform, params, params list, params add
    // groff, with every warning on, finds nothing to say about either page.
    for (const char* name : {"kolmo.1.gz", "kolmo-cli.1.gz"}) {
        const auto check = sh("zcat '" + (root() / "usr/share/man/man1" / name).string() +
                              "' | groff -man -Tutf8 -ww -z 2>&1");
        EXPECT_EQ(check.out, "") << name;
    }
}

TEST_F(Package, BashCompletionOfCommandsOptionsAndValues)
{
    const std::string script = (root() / "usr/share/bash-completion/completions/kolmo-cli").string();
    struct Case {
        std::string words, expected;
    };
    for (const Case& c : std::vector<Case>{{"tr", "transform"},
                                           {"params ''", "list add"},
                                           {"transform --ty", "--type"},
                                           {"transform --type ''", "3r7 2r4 2r6 fila-tm tm-fila"},
                                           {"transform --csv --height-s", "--height-system"},
                                           {"params add --npar ''", "7 4 6"},
                                           {"transform --heights ''", ""}}) {
        const auto r = sh("source '" + script + "'; COMP_WORDS=('" + cli().string() + "' " + c.words +
                          "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _kolmo_cli; echo \"${COMPREPLY[*]}\"");
        EXPECT_EQ(r.out, c.expected + "\n") << c.words << r.err;
    }
}

// The programs run from the unpacked tree, find the shipped data and compute
// the README's worked example exactly as the build's kolmo-cli does.
TEST_F(Package, ProgramsRunFromTheInstalledTree)
{
    for (const char* program : {"usr/bin/kolmo-cli", "usr/bin/kolmo"}) {
        const auto v = test::run(root() / program, {"--version"});
        EXPECT_EQ(v.status, 0) << program << v.err;
        EXPECT_EQ(v.out, "Kolmo v3.00\n") << program;
    }

    const fs::path work = test::freshFolder("deb_run");
    test::RunOptions env;
    env.environment = {"HOME=" + (work / "home").string(), "XDG_DATA_HOME="};
    fs::create_directories(work / "home");
    const std::vector<std::string> example{"transform", "--type", "3r7", "--mode", "full",
                                           "--start", "local/d48_gk.pod", "--start-type", "gk",
                                           "--end", "local/d96_tm.pod", "--end-type", "tm", "--out-type", "tm",
                                           "--report", "ljubljana.str"};
    for (const char* side : {"installed", "built"}) {
        fs::create_directories(work / side);
        fs::copy(test::examplesDir() / "local", work / side / "local", fs::copy_options::recursive);
    }
    const auto a = test::run(cli(), example, work / "installed", env);
    const auto b = test::run(test::cliPath(), example, work / "built", env);
    EXPECT_TRUE(a.status == 0 || a.status == 3) << a.err;
    EXPECT_EQ(a.status, b.status);
    EXPECT_EQ(a.out, b.out);
    const std::string report = test::readText(work / "installed/ljubljana.str");
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(test::compareReports(test::readText(work / "built/ljubljana.str"), report), "");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(work / "home/.local/share/kolmo/t7.par")))
        << "the installed program works in the user's folder";
    // The national model and the height offsets are found there as well.
    const auto m = test::run(cli(), {"migrate", "--in", "local/d48_gk.pod", "--out", "d96.pod", "--heights",
                                     "svs2000-to-svs2010"}, work / "installed", env);
    EXPECT_EQ(m.status, 0) << m.err;
    EXPECT_FALSE(test::readText(work / "installed/d96.pod").empty());
    // A GIS dataset: the GDAL library found in the installed tree's lib/kolmo.
    const auto gis = test::run(cli(), {"migrate", "--in", (test::examplesDir() / "gis" / "parcele_d48.geojson").string(),
                                       "--out", "parcele.gpkg", "-q"}, work / "installed", env);
    EXPECT_EQ(gis.status, 0) << gis.err;
    EXPECT_TRUE(fs::is_regular_file(work / "installed/parcele.gpkg"));

    // The desktop program starts from there too (Qt's libraries and plugins
    // found) and prepares the same folder; an action that opens no window
    // ends it at once (an unknown one is a usage error, status 2).
    test::RunOptions gui = env;
    gui.environment = {"HOME=" + (work / "gui-home").string(), "XDG_DATA_HOME=", "QT_QPA_PLATFORM=offscreen"};
    gui.cpuSeconds = 60;
    fs::create_directories(work / "gui-home");
    const auto started = test::run(root() / "usr/bin/kolmo", {"reset"}, work, gui);
    EXPECT_EQ(started.status, 0) << started.err;
    EXPECT_EQ(test::run(root() / "usr/bin/kolmo", {"no-such-action"}, work, gui).status, 2);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(work / "gui-home/.local/share/kolmo/t7.par")));
    EXPECT_TRUE(fs::is_symlink(work / "gui-home/.local/share/kolmo/HREF_SVS2010.mat"));
    fs::remove_all(work);
}
