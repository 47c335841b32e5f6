// Messages that name the real cause, and causes told in Slovene at the
// desktop.  Faults pinned down: a results file that could not be written was
// reported as "Napaka v izracunu" / "Preveri podatke ali izberi pravilne
// nastavitve!", blaming the data; the conversion tool replaced the main
// window's start points while the main window went on naming the earlier
// file and its type; the causes under an error box's details were English.
#include "desktop.h"

#include "app/mod_okna.h"
#include "platform/cause.h"
#include "support/run.h"

namespace kolmo::test {
namespace {

using platform::Language;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class RealCauses : public Desktop {
protected:
    // D48/GK to D96/TM, both files loaded, the results file `report` chosen.
    void prepare(const fs::path& report)
    {
        load(1, work / "d48_gk.pod");
        load(2, work / "d96_tm.pod");
        choose(slot::Tip1, 3);
        choose(slot::Tip2, 2);
        answerSave(report);
        act("IzDat");
    }
    ui::Control& toolSlot(ui::Handle w, int k)
    {
        return ui.control(ui.window(w).hndlList.at(static_cast<std::size_t>(k - 1)));
    }
};

// A path through a plain file cannot be made, whoever runs the tests.
TEST_F(RealCauses, AResultsFileThatCannotBeWrittenIsToldAsSuchInEitherLanguage)
{
    write(root / "plain", "x");
    const fs::path report = root / "plain" / "r.str";
    prepare(report);
    for (const auto& [language, reason] : {std::pair{Language::English, std::string("cannot write ")},
                                           std::pair{Language::Slovene, std::string("ni mogoče zapisati")}}) {
        const platform::ScopedCauseLanguage chosen(language);
        act("izracun");
        EXPECT_EQ(lastBox(), error("Napaka v zapisu datoteke!", "Napaka v izracunu"));
        EXPECT_TRUE(has(lastBox().details, report.string())) << lastBox().details;
        EXPECT_TRUE(has(lastBox().details, reason)) << lastBox().details;
        EXPECT_EQ(has(lastBox().details, "del poti ni mapa"), language == Language::Slovene) << lastBox().details;
    }
    // A fault of the data still blames the data.
    answerSave(work / "r.str");
    act("IzDat");
    s.vhi->koo(0, 0) = std::numeric_limits<double>::quiet_NaN();
    act("izracun");
    EXPECT_EQ(lastBox().text, "Preveri podatke ali izberi pravilne nastavitve!");
}

TEST_F(RealCauses, CommandLineNamesTheFileThatCannotBeWrittenOnItsFirstLine)
{
    write(work / "plain", "x");
    const std::vector<std::string> base{"transform", "--data-dir", (root / "prg").string(), "--start", "d48_gk.pod",
                                        "--start-type", "gk", "--end", "d96_tm.pod", "--end-type", "tm"};
    for (const std::string option : {"--report", "--out"}) {
        auto args = base;
        args.insert(args.end(), {option, "plain/r.txt"});
        if (option == "--out")
            args.insert(args.end(), {"--report", "r.str"});
        const RunResult r = run(cliPath(), args, work);
        EXPECT_EQ(r.status, 1) << option;
        EXPECT_TRUE(has(boxLines(r.err), ": Napaka v zapisu datoteke!\n")) << option << ": " << r.err;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')).find("Napaka v zapisu datoteke!") == std::string::npos, false)
            << option << ": the first line is " << r.err;
        // kolmo-cli keeps its causes in English.
        EXPECT_EQ(detailLines(r.err), "cannot write plain/r.txt: Not a directory\n") << option;
    }
}

TEST_F(RealCauses, AFailedLoadChangesNothingTheReportNamesTheFileHeld)
{
    prepare(work / "r.str");
    write(root / "binary.pod", std::string("\x7f" "ELF\0\0\x01\x02", 8) + std::string(4000, '\0'));
    {
        const platform::ScopedCauseLanguage slovene(Language::Slovene);
        load(1, root / "binary.pod");
    }
    EXPECT_EQ(lastBox(), error("Napacna oblika podatkov!", "Napaka pri branju datoteke"));
    // The reader's own cause in Slovene, with the file and the line.
    EXPECT_EQ(lastBox().details, (root / "binary.pod").string() +
                                     ", 1. vrstica: bajt NUL (binarni podatki, ni besedilna datoteka)");
    EXPECT_EQ(c(slot::VhDat1).text, "d48_gk.pod");
    EXPECT_EQ(fs::current_path(), work);
    const auto n = boxes.boxes.size();
    act("izracun");
    ASSERT_EQ(boxes.boxes.size(), n) << lastBox().text << ": " << lastBox().details;
    const std::string report = read(work / "r.str");
    EXPECT_TRUE(has(report, "d48_gk.pod"));
    EXPECT_FALSE(has(report, "binary.pod"));
    // The arrangement window names the file held too.
    act("uredi1");
    const ui::Handle w = ui.findWindow("Kolmo - Urejanje podatkov");
    ASSERT_NE(w, 0);
    bool named = false;
    for (ui::Handle h : ui.window(w).controls) {
        EXPECT_FALSE(has(ui.control(h).text, "binary.pod"));
        named = named || has(ui.control(h).text, "d48_gk.pod");
    }
    EXPECT_TRUE(named);
}

TEST_F(RealCauses, TheMainWindowShowsThePointsTheConversionToolHolds)
{
    load(1, work / "d48_gk.pod");
    choose(slot::Tip1, 3);
    ui.fire(menuItem("Pretvorba koordinat"));
    const ui::Handle tool = ui.findWindow("Kolmo - Pretvorba koordinat");
    ASSERT_NE(tool, 0);
    const auto press = [&](const std::string& a) { ui.run("mod_pret('" + a + "')", tool); };

    // A file the tool cannot read changes nothing, in the tool or here.
    write(root / "binary.pod", std::string("\0\1\2", 3));
    answerOpen(root / "binary.pod");
    press("VhDat");
    EXPECT_EQ(toolSlot(tool, ModPretOkno::VhDat).text, "");
    EXPECT_EQ(c(slot::VhDat1).text, "d48_gk.pod");

    answerOpen(work / "d96_fila.pod");
    press("VhDat");
    ASSERT_TRUE(s.vhi);
    EXPECT_EQ(c(slot::VhDat1).text, "d96_fila.pod");
    EXPECT_EQ(c(slot::VhDat1).userData, (work / "d96_fila.pod").string());
    EXPECT_EQ(c(slot::Tip1).value, 1) << "D96/fi_la";
    // The computation takes them for what they are.
    load(2, work / "d48_gk.pod");
    answerSave(work / "r.str");
    act("IzDat");
    auto n = boxes.boxes.size();
    act("izracun");
    EXPECT_EQ(boxes.boxes.size(), n) << lastBox().text << ": " << lastBox().details;
    EXPECT_TRUE(has(read(work / "r.str"), "d96_fila.pod"));

    // Plane points on Bessel's ellipsoid are D48/GK; under a plane
    // transformation the lists that follow the start type follow it.
    toolSlot(tool, ModPretOkno::Tip).value = 3;
    toolSlot(tool, ModPretOkno::Elip).value = 3;
    press("pretvori");
    EXPECT_EQ(c(slot::Tip1).value, 3) << "D48/GK";
    choose(slot::Meto, 2);
    toolSlot(tool, ModPretOkno::Elip).value = 2;
    press("pretvori");
    EXPECT_EQ(c(slot::Tip1).value, 1) << "D96/TM of the plane list";
    EXPECT_EQ(c(slot::Tip2).value, 2) << "the end type follows the start type";

    // Once the main window has read its own points, the tool's later
    // actions leave its label alone.
    load(1, work / "d48_gk_2d.pod");
    press("pretvori");
    EXPECT_EQ(c(slot::VhDat1).text, "d48_gk_2d.pod");
}

// The notes of a reading that goes on are Slovene at the desktop as well.
TEST_F(RealCauses, WarningsTellTheirDetailsInSlovene)
{
    write(root / "short.pod", "A 1 2 3\nB 1 2\nC 1 2 3\nD 4 5\n");
    ui.fire(menuItem("Pretvorba koordinat"));
    const ui::Handle tool = ui.findWindow("Kolmo - Pretvorba koordinat");
    ASSERT_NE(tool, 0);
    const platform::ScopedCauseLanguage slovene(Language::Slovene);
    answerOpen(root / "short.pod");
    ui.run("mod_pret('VhDat')", tool);
    EXPECT_EQ(lastBox().kind, platform::Box::Warning);
    EXPECT_EQ(lastBox().details, (root / "short.pod").string() + ": vrstice 2, 4 imajo manj kot 3 števil; manjkajoča so 0");
}

} // namespace
} // namespace kolmo::test
