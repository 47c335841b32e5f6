// The main window's actions, driven through the window model as a user's
// clicks drive them.
#include "desktop.h"

#include "app/uredi_okna.h"
#include "platform/cp1250.h"
#include "platform/numtext.h"

#include <algorithm>
#include <cstdlib>

namespace kolmo::test {
namespace {

using platform::Box;
const std::vector<std::string> kFull{"D96/fi_la", "D96/TM", "D48/GK"};
const std::vector<std::string> kPlane{"D96/TM", "D48/GK"};

TEST_F(Desktop, StartsInTheDocumentedState)
{
    const ui::Window& w = ui.window(main());
    EXPECT_EQ(w.title, "Kolmo v3.00");
    EXPECT_TRUE(w.visible);
    EXPECT_EQ(w.controls.size(), 50u);
    EXPECT_EQ(w.hndlList.size(), 27u);
    for (int k : {8, 12, 13, 14, 15, 21})
        EXPECT_EQ(w.hndlList[static_cast<std::size_t>(k - 1)], 0) << "slot " << k;
    EXPECT_EQ(kolmo->handle(slot::PrikMenu), kolmo->handle(slot::PrikMenu2));
    EXPECT_FALSE(ui.menu(kolmo->handle(slot::PrikMenu)).enabled);
    EXPECT_FALSE(c(slot::Ured1).enabled);
    EXPECT_FALSE(c(slot::Ured2).enabled);
    EXPECT_EQ(c(slot::Meto).value, 1);
    EXPECT_EQ(c(slot::Tip2).value, 3);
    EXPECT_EQ(c(slot::Tip3).items, (std::vector<std::string>{"", "", "D48/GK"}));
    EXPECT_EQ(c(slot::Tip3).value, 3);
    EXPECT_EQ(c(slot::Helm).value, 1);
    EXPECT_EQ(c(slot::T1).value, 1);
    EXPECT_EQ(c(slot::V1).value, 1);
    EXPECT_EQ(c(slot::Pot).text, start.string());
    EXPECT_EQ(c(slot::Pot).tooltip, start.string());
    EXPECT_TRUE(kolmo->resultsFile().empty());
    EXPECT_FALSE(s.vhi || s.vhv || s.rez || s.prik);
    EXPECT_EQ(s.PAR.size(), 0);
    EXPECT_EQ(s.t_tr.tip, 1);
    EXPECT_EQ(s.t_tr.izr, 1);
    EXPECT_EQ(s.t_tr.vis, 1);

    std::vector<std::string> menus;
    for (ui::Handle m : w.menus)
        menus.push_back(ui.menu(m).label);
    EXPECT_EQ(menus, (std::vector<std::string>{"Orodja", "Prikazi", "O programu"}));
    EXPECT_TRUE(ui.menu(menuItem("Interpolacija modela geoida")).separator);
    EXPECT_TRUE(ui.menu(menuItem("Izhod")).separator);
    EXPECT_FALSE(ui.menu(menuItem("Branje datotek Varnik")).separator);

    // The About box: fifteen lines under "O programu".
    ui.fire(menuItem("O programu"));
    ASSERT_EQ(lastBox().kind, Box::Message);
    EXPECT_EQ(lastBox().title, "O programu");
    EXPECT_EQ(std::count(lastBox().text.begin(), lastBox().text.end(), '\n'), 14);
    EXPECT_EQ(boxes.busyDepth, 0);
}

TEST_F(Desktop, CancelledDialogsChangeNothing)
{
    for (const char* a : {"VhDat1", "VhDat2", "pvarnik", "IzDat"})
        act(a);
    EXPECT_EQ(fs::current_path(), start);
    EXPECT_EQ(c(slot::Pot).text, start.string());
    EXPECT_EQ(c(slot::VhDat1).text, "");
    EXPECT_EQ(c(slot::VhDat2).text, "");
    EXPECT_TRUE(kolmo->resultsFile().empty());
    EXPECT_FALSE(s.vhi || s.vhv || s.rez);
    EXPECT_TRUE(boxes.boxes.empty());

    // The dialogs were asked with their titles and filter tables.
    ASSERT_EQ(ui.dialogCalls.size(), 4u);
    EXPECT_EQ(ui.dialogCalls[0].title, "Podatki - zacetni datum");
    // CSV point files too, which the reader takes.
    EXPECT_EQ(ui.dialogCalls[0].filters, (ui::FilterTable{{"*.pod", "Podatki (*.pod)"},
                                                          {"*.txt", "Besedilni dokumenti (*.txt)"},
                                                          {"*.csv", "Točke CSV (*.csv)"},
                                                          {"*.*", "Vse datoteke (*.*)"}}));
    EXPECT_EQ(ui.dialogCalls[1].title, "Podatki - koncni datum");
    EXPECT_EQ(ui.dialogCalls[2].title, "Odpri datoteko s podatki Varnik");
    EXPECT_EQ(ui.dialogCalls[2].filters.front(), (std::pair<std::string, std::string>{"*.pod;*.in",
                                                                                       "Podatki (*.pod, *.in)"}));
    EXPECT_TRUE(ui.dialogCalls[3].save);
    EXPECT_EQ(ui.dialogCalls[3].title, "Shrani kot");
    EXPECT_EQ(ui.dialogCalls[3].filters.front(), (std::pair<std::string, std::string>{"*.str", "Rezultati (*.str)"}));
}

TEST_F(Desktop, AFailedReadChangesNothingTheFileNameIncluded)
{
    EXPECT_EQ(boxes.boxes.size(), 0u);
    act("PriVh1");
    EXPECT_EQ(lastBox(), error("Ni podatkov v zacetnem datumu!", "Napaka"));
    act("PriVh2");
    EXPECT_EQ(lastBox(), error("Ni podatkov v koncnem datumu!", "Napaka"));

    load(1, work / "d48_gk.pod");
    ASSERT_TRUE(s.vhi);
    const PointSet good = *s.vhi;
    EXPECT_TRUE(c(slot::Ured1).enabled);
    EXPECT_EQ(fs::current_path(), work);
    EXPECT_EQ(c(slot::Pot).text, work.string());
    // The tooltip has the working folder whole (a long one is cut short in
    // its label) and the start folder under it.
    EXPECT_EQ(c(slot::Pot).tooltip, work.string() + "\nZačetna mapa: " + start.string());
    act("PriVh1"); // the point list, in a window of its own
    const ui::Handle list = ui.findWindow("Kolmo - Koordinate v začetnem datumu");
    ASSERT_NE(list, 0);
    EXPECT_EQ(ui.control(ui.window(list).controls[0]).table->rows, static_cast<std::size_t>(good.size()));
    act("uredi1"); // arranging disables the button
    EXPECT_FALSE(c(slot::Ured1).enabled);
    // Fault pinned down: closed with its "Izhod", the arrangement window
    // left the button greyed for good.
    {
        const ui::Handle arrange = ui.findWindow("Kolmo - Urejanje podatkov");
        ASSERT_NE(arrange, 0);
        ui.fire(byText(arrange, "Izhod"));
        EXPECT_FALSE(ui.isWindow(arrange));
        EXPECT_TRUE(c(slot::Ured1).enabled);
        act("uredi1");
        ASSERT_NE(ui.findWindow("Kolmo - Urejanje podatkov"), 0);
        EXPECT_FALSE(c(slot::Ured1).enabled);
    }

    // Files a user may pick by mistake: each gives the box, the window goes on.
    const fs::path other = root / "other";
    fs::create_directories(other);
    write(other / "binary.pod", std::string("\x7f" "ELF\0\0\x01\x02", 8) + std::string(4000, '\0'));
    write(other / "empty.pod", "");
    write(other / "names.pod", "A\nB\nC\n");
    write(other / "text.pod", "Ime  x  y  H\nA 1 2 3\n"); // a header line
    for (const char* f : {"binary.pod", "empty.pod", "names.pod", "text.pod"}) {
        load(1, other / f);
        EXPECT_EQ(lastBox(), error("Napacna oblika podatkov!", "Napaka pri branju datoteke")) << f;
        EXPECT_NE(lastBox().details.find(f), std::string::npos) << lastBox().details;
        // A failed load changes nothing, the file name included: the label
        // (which the report and the arrangement window name) stays that of
        // the points held.
        EXPECT_EQ(c(slot::VhDat1).text, "d48_gk.pod") << f;
        EXPECT_EQ(c(slot::VhDat1).userData, (work / "d48_gk.pod").string()) << f;
        ASSERT_TRUE(s.vhi);
        EXPECT_EQ(s.vhi->ime, good.ime);
        EXPECT_EQ(s.vhi->koo, good.koo);
        EXPECT_FALSE(c(slot::Ured1).enabled) << "the button keeps its state";
        EXPECT_EQ(fs::current_path(), work);
        EXPECT_EQ(c(slot::Pot).text, work.string());
    }
    // A file chosen and gone before it is read.
    load(1, other / "vanished.pod");
    EXPECT_EQ(lastBox(), error("Napacna oblika podatkov!", "Napaka pri branju datoteke"));
    EXPECT_EQ(s.vhi->koo, good.koo);
    EXPECT_EQ(boxes.busyDepth, 0);
}

// "kolmo FILE.pod": the file given on the command line is the start file,
// read as "Datoteka" reads it; an unreadable one gives the same box.
TEST_F(Desktop, FileOnTheCommandLineIsTheStartFile)
{
    EXPECT_TRUE(Kolmo::isAction("initialize"));
    EXPECT_TRUE(Kolmo::isAction("izracun"));
    EXPECT_FALSE(Kolmo::isAction("--bad-option"));
    EXPECT_FALSE(Kolmo::isAction("d48_gk.pod"));

    kolmo->openStartFile(fs::relative(work / "d48_gk.pod", fs::current_path()));
    ASSERT_TRUE(s.vhi);
    EXPECT_EQ(s.vhi->koo.rows(), 20);
    EXPECT_EQ(c(slot::VhDat1).text, "d48_gk.pod");
    EXPECT_EQ(c(slot::VhDat1).userData, (work / "d48_gk.pod").string());
    EXPECT_EQ(fs::current_path(), work);
    EXPECT_TRUE(c(slot::Ured1).enabled);
    EXPECT_TRUE(boxes.boxes.empty());

    kolmo->openStartFile(work / "ni_je.pod");
    EXPECT_EQ(lastBox(), error("Napacna oblika podatkov!", "Napaka pri branju datoteke"));
    EXPECT_EQ(c(slot::VhDat1).text, "d48_gk.pod");
}

TEST_F(Desktop, TypeListsFollowTheTransformationType)
{
    const auto lists = [&] {
        return std::tuple(c(slot::Tip1).items, c(slot::Tip1).value, c(slot::Tip1).visible, c(slot::Tip2).items,
                          c(slot::Tip2).value, c(slot::Tip2).visible, c(slot::Tip3).items, c(slot::Tip3).value);
    };
    choose(slot::Meto, 2);
    EXPECT_EQ(s.t_tr.tip, 2);
    EXPECT_EQ(lists(), std::tuple(kPlane, 1, true, kPlane, 2, true, kPlane, 2));
    choose(slot::Tip1, 2); // start D48/GK: the others go to D96/TM
    EXPECT_EQ(c(slot::Tip2).value, 1);
    EXPECT_EQ(c(slot::Tip3).value, 1);
    choose(slot::Tip2, 2);
    EXPECT_EQ(c(slot::Tip3).value, 2);

    choose(slot::Meto, 4);
    const auto before = c(slot::Tip2).items;
    EXPECT_EQ(lists(), std::tuple(std::vector<std::string>{"D96/fi_la"}, 1, true, before, 1, false,
                                  std::vector<std::string>{"D96/TM"}, 1));
    choose(slot::Tip1, 1); // tip1 and tip2 do nothing for the conversions
    choose(slot::Tip2, 1);
    EXPECT_EQ(c(slot::Tip3).items, std::vector<std::string>{"D96/TM"});
    // An end file with type 4 leaves its "Uredi" button disabled.
    load(2, work / "d96_tm.pod");
    EXPECT_FALSE(c(slot::Ured2).enabled);
    EXPECT_FALSE(c(slot::Tip2).visible);

    choose(slot::Meto, 5);
    EXPECT_EQ(lists(), std::tuple(std::vector<std::string>{"", "D96/TM"}, 2, true, before, 1, false,
                                  std::vector<std::string>{"D96/fi_la"}, 1));

    choose(slot::Meto, 1);
    EXPECT_EQ(lists(), std::tuple(kFull, 1, true, kFull, 3, true, kFull, 3));
    choose(slot::Tip2, 2); // D96 end type: D96 result list at D96/TM
    EXPECT_EQ(c(slot::Tip3).items, (std::vector<std::string>{"D96/fi_la", "D96/TM"}));
    EXPECT_EQ(c(slot::Tip3).value, 2);
    // With type 1 an end file puts the end type back to D48/GK.
    load(2, work / "d96_tm.pod");
    EXPECT_TRUE(c(slot::Ured2).enabled);
    EXPECT_EQ(c(slot::Tip2).value, 3);
    choose(slot::Tip2, 3);
    EXPECT_EQ(c(slot::Tip3).items, (std::vector<std::string>{"", "", "D48/GK"}));
}

TEST_F(Desktop, ModeAndHeightButtonsActAsGroups)
{
    choose(slot::T3, 1);
    EXPECT_EQ(s.t_tr.izr, 3);
    EXPECT_EQ(c(slot::T1).value, 0);
    EXPECT_EQ(c(slot::T2).value, 0);
    choose(slot::V2, 1);
    EXPECT_EQ(s.t_tr.vis, 2);
    EXPECT_EQ(c(slot::V1).value, 0);
    EXPECT_EQ(c(slot::V3).value, 0);
    // A click on the button that is on turns it off; the setting stays.
    choose(slot::V2, 0);
    EXPECT_EQ(s.t_tr.vis, 2);
    EXPECT_EQ(c(slot::V2).value, 0);
}

TEST_F(Desktop, ParameterWindowsGetTheDirectionAndTheCount)
{
    write(s.pot_prg / "t7.par", "\n2,into D96,1,2,3,4,5,6,7\n1,into D48,-1,-2,-3,-4,-5,-6,-7\n2,again,7,6,5,4,3,2,1");
    write(s.pot_prg / "t4.par", "\n1,plane to D48,1,0,5,6\n2,plane to D96,1,0,-5,-6");
    const auto listed = [&] {
        const ui::Handle w = ui.findWindow("Kolmo - Izbira transformacijskih parametrov");
        return w == 0 ? std::vector<std::string>{} : ui.control(ui.window(w).hndlList[0]).items;
    };
    // Type 1 with the result at D96/TM: into D96, seven parameters.
    choose(slot::Tip2, 2);
    ASSERT_EQ(c(slot::Tip3).value, 2);
    act("izberi");
    EXPECT_EQ(listed(), (std::vector<std::string>{"into D96", "again"}));
    EXPECT_EQ(s.npar, 7);
    // Type 2 with the result at D48/GK: into D48, four parameters.  The new
    // window replaces the old one.
    choose(slot::Meto, 2);
    choose(slot::Tip3, 2);
    act("izberi");
    EXPECT_EQ(listed(), std::vector<std::string>{"plane to D48"});
    EXPECT_EQ(s.npar, 4);
    EXPECT_EQ(ui.windows().size(), 2u);
    // The conversions have no parameters.
    choose(slot::Meto, 4);
    const auto windows = ui.windows();
    act("izberi");
    EXPECT_EQ(ui.windows(), windows);
}

TEST_F(Desktop, ResetReturnsToTheStartButKeepsTheParameters)
{
    load(1, work / "d48_gk.pod");
    load(2, work / "d96_tm.pod");
    answerSave(work / "r.str");
    act("IzDat");
    choose(slot::Meto, 2);
    choose(slot::T2, 1);
    choose(slot::V3, 1);
    choose(slot::RedXY, 2);
    choose(slot::VisSis, 2);
    c(slot::Helm).value = 0;
    ui.menu(kolmo->handle(slot::PrikMenu)).enabled = true;
    s.PAR = Vec::LinSpaced(7, 1, 7);

    act("reset");
    EXPECT_FALSE(s.vhi || s.vhv || s.rez);
    EXPECT_EQ(s.t_tr.tip, 1);
    EXPECT_EQ(s.t_tr.izr, 1);
    EXPECT_EQ(s.t_tr.vis, 1);
    EXPECT_EQ(s.t_tr.helm, 1);
    EXPECT_EQ(fs::current_path(), start);
    EXPECT_EQ(c(slot::Pot).text, start.string());
    EXPECT_EQ(c(slot::VhDat1).text, "");
    EXPECT_TRUE(kolmo->resultsFile().empty());
    EXPECT_FALSE(c(slot::Ured1).enabled);
    EXPECT_FALSE(c(slot::Ured2).enabled);
    EXPECT_EQ(c(slot::Tip3).items, (std::vector<std::string>{"", "", "D48/GK"}));
    EXPECT_EQ(c(slot::T1).value + c(slot::T2).value + c(slot::T3).value, 1);
    EXPECT_EQ(c(slot::T1).value, 1);
    EXPECT_EQ(c(slot::V1).value, 1);
    EXPECT_EQ(c(slot::RedXY).value, 1);
    EXPECT_EQ(c(slot::VisSis).value, 2); // the height system stays
    EXPECT_FALSE(ui.menu(kolmo->handle(slot::PrikMenu)).enabled);
    EXPECT_EQ(s.PAR.size(), 7);
    // "shrani" right after "reset" still opens the saving window.
    act("shrani");
    EXPECT_NE(ui.findWindow("Kolmo - Shranjevanje transformacijskih parametrov"), 0);
}

TEST_F(Desktop, UnknownActionsAndActionsWithoutAWindowDoNothing)
{
    const auto windows = ui.windows();
    act("Izracun"); // names are case-sensitive
    act("");
    act("initialise");
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(ui.windows(), windows);

    // Closing the main window ("Izhod") leaves the other windows; actions
    // that need its controls then do nothing.
    s.PAR = Vec::Ones(4);
    act("shrani");
    ui.fire(byText(main(), "Izhod"));
    EXPECT_EQ(kolmo->mainWindow(), 0);
    EXPECT_EQ(ui.windows().size(), 1u);
    (*kolmo)(std::string("izracun"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Desktop, PriIzOpensTheChosenReport)
{
    act("PriIz");
    EXPECT_EQ(lastBox(), error("Izberi izhodno datoteko!", "Napaka"));
    // A name chosen but not yet written counts as missing.
    const fs::path report = root / "out" / "a; rm x.str";
    fs::create_directories(report.parent_path());
    answerSave(report);
    act("IzDat");
    EXPECT_EQ(fs::current_path(), start); // saving does not move the working folder
    act("PriIz");
    EXPECT_EQ(lastBox(), error("Izberi izhodno datoteko!", "Napaka"));

    write(report, platform::toCp1250("Poročilo: čšž ČŠŽ\n"));
    // Kolmo's own viewer, decoding Windows-1250.
    ::unsetenv(Kolmo::kEditorVariable);
    act("PriIz");
    const ui::Handle viewer = ui.findWindow("Kolmo - a; rm x.str");
    ASSERT_NE(viewer, 0);
    EXPECT_EQ(ui.control(ui.window(viewer).controls.front()).text, "Poročilo: čšž ČŠŽ\n");

    // An editor from the environment gets the file as one argument.
    ::setenv(Kolmo::kEditorVariable, "my-editor --readonly", 1);
    act("PriIz");
    ASSERT_EQ(ui.programCalls.size(), 1u);
    EXPECT_EQ(ui.programCalls[0].program, "my-editor");
    EXPECT_EQ(ui.programCalls[0].args, (std::vector<std::string>{"--readonly", report.string()}));

    // An editor that cannot be started.
    ui.startPrograms = true;
    ::setenv(Kolmo::kEditorVariable, "/nonexistent/editor", 1);
    act("PriIz");
    EXPECT_EQ(lastBox(), error("Napaka pri odpiranju urejevalnika besedil!", "Napaka"));
    ::unsetenv(Kolmo::kEditorVariable);
    EXPECT_TRUE(fs::exists(report));
}

TEST_F(Desktop, VarnikFilesFillBothDatumsAndNameTheResults)
{
    fs::copy_file(examplesDir() / "projekt_3r.in", work / "mreza.b.in");
    answerOpen(work / "mreza.b.in");
    ui.fire(menuItem("Branje datotek Varnik"));
    ASSERT_TRUE(s.vhi && s.vhv && s.rez);
    EXPECT_EQ(c(slot::VhDat1).text, "mreza.b.in (Varnik)");
    EXPECT_EQ(c(slot::VhDat2).text, "mreza.b.in (Varnik)");
    EXPECT_EQ(kolmo->resultsFile(), work / "mreza.str");
    EXPECT_EQ(c(slot::Tip1).value, s.vhi->tip);
    EXPECT_EQ(c(slot::Tip2).value, s.vhv->tip);
    EXPECT_EQ(c(slot::Tip3).value, s.rez->tip);

    // A damaged project file keeps the data and says so.
    const PointSet before = *s.vhi;
    write(work / "bad.in", "nothing like a project\n");
    answerOpen(work / "bad.in");
    act("pvarnik");
    EXPECT_EQ(lastBox(), error("Napaka v zapisu datoteke!", "Napaka pri branju datoteke"));
    EXPECT_EQ(s.vhi->ime, before.ime);

    // Plane projects hide the three type lists.
    fs::copy_file(examplesDir() / "projekt_2r.in", work / "p2.in");
    choose(slot::Meto, 2);
    answerOpen(work / "p2.in");
    act("pvarnik");
    EXPECT_FALSE(c(slot::Tip1).visible || c(slot::Tip2).visible || c(slot::Tip3).visible);
}

TEST_F(Desktop, PlotsNeedAFullComputation)
{
    const auto windows = ui.windows().size();
    for (const char* item : {"Mreža točk", "Lega mreže točk", "Odstopanja veznih točk"}) {
        ui.fire(menuItem(item));
        EXPECT_EQ(lastBox(), error("Ne morem prikazati mreze tock!", "Premalo podatkov za prikaz")) << item;
    }
    EXPECT_EQ(ui.windows().size(), windows);
    // The residual plot is the third item; the other two keep their places.
    const ui::Menu& prikazi = ui.menu(kolmo->handle(slot::PrikMenu));
    ASSERT_EQ(prikazi.items.size(), 3u);
    EXPECT_EQ(ui.menu(prikazi.items[2]).action, "kolmo('odstopanja')");
}

} // namespace
} // namespace kolmo::test
