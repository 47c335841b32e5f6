// Whole sessions at the main window, as a surveyor works: the reports it
// writes are the ones kolmo-cli writes for the same inputs.
#include "desktop.h"

#include "app/pardb.h"
#include "support/run.h"

namespace kolmo::test {
namespace {

using platform::Box;

class Session : public Desktop {
protected:
    // kolmo-cli's report for the same inputs, with the same program folder.
    std::string cliReport(std::vector<std::string> args)
    {
        const fs::path out = root / "cli.str";
        args.insert(args.begin(), "transform");
        for (const std::string& a : {std::string("--data-dir"), (root / "prg").string(), std::string("--report"), out.string()})
            args.push_back(a);
        const RunResult r = run(cliPath(), args, work);
        EXPECT_EQ(r.status, 0) << r.err;
        return read(out);
    }

    ui::Handle window(const std::string& title) const { return ui.findWindow(title); }
};

TEST_F(Session, EstimateSaveChooseAndTransformAgain)
{
    // Start and end files, D48/GK to D96/TM, each arranged with the presets.
    load(1, work / "d48_gk.pod");
    choose(slot::Tip1, 3);
    act("uredi1");
    ui::Handle w = window("Kolmo - Urejanje podatkov");
    ASSERT_NE(w, 0);
    // The file is gone by now; UVELJAVI works on what was read.
    fs::rename(work / "d48_gk.pod", work / "d48_gk.kept");
    ui.fire(byText(w, "UVELJAVI"));
    EXPECT_EQ(s.vhi->koo.cols(), 6);
    fs::rename(work / "d48_gk.kept", work / "d48_gk.pod");
    ui.fire(byText(w, "Izhod"));
    EXPECT_FALSE(ui.isWindow(w));

    load(2, work / "d96_tm.pod");
    choose(slot::Tip2, 2);
    EXPECT_EQ(c(slot::Tip3).value, 2);
    act("uredi2");
    w = window("Kolmo - Urejanje podatkov");
    EXPECT_FALSE(ui.control(ui.window(w).hndlList.back()).visible) << "no angle notation for plane coordinates";
    ui.fire(byText(w, "UVELJAVI"));
    ui.fire(byText(w, "Izhod"));

    // The results file in a folder other than the working folder.
    const fs::path results = root / "results" / "ljubljana.str";
    fs::create_directories(results.parent_path());
    answerSave(results);
    act("IzDat");
    ASSERT_EQ(kolmo->resultsFile(), results);

    act("izracun");
    ASSERT_TRUE(boxes.boxes.empty()) << boxes.boxes.back().text;
    EXPECT_TRUE(ui.menu(kolmo->handle(slot::PrikMenu)).enabled);
    EXPECT_FALSE(fs::exists(work / "ljubljana.str")) << "nothing written beside the data";
    const std::string gui = read(results);
    const std::string cli = cliReport({"--type", "3r7", "--mode", "full", "--start", "d48_gk.pod", "--start-type",
                                       "gk", "--end", "d96_tm.pod", "--end-type", "tm", "--out-type", "tm"});
    EXPECT_EQ(compareReports(cli, gui), "");
    const Vec estimated = s.PAR;
    ASSERT_EQ(estimated.size(), 7);

    // The three plots of the computation, each exported from its window.
    for (const auto& [item, title, handler, file] :
         {std::tuple{"Mreža točk", "Kolmo - Mreža točk", "prik_mre", "mreza.png"},
          std::tuple{"Lega mreže točk", "Kolmo - Lega mreže točk", "prik_obod", "obod_rs.svg"},
          std::tuple{"Odstopanja veznih točk", "Kolmo - Odstopanja veznih točk", "prik_odst", "odstopanja.eps"}}) {
        ui.fire(menuItem(item));
        const ui::Handle plot = window(title);
        ASSERT_NE(plot, 0) << item;
        ASSERT_EQ(ui.window(plot).controls.size(), 1u);
        EXPECT_EQ(ui.control(ui.window(plot).controls[0]).kind, ui::Kind::Graphic);
        const std::string format = fs::path(file).extension().string().substr(1);
        ui.run(std::string(handler) + "('" + format + "')", plot);
        EXPECT_GT(fs::file_size(fs::current_path() / file), 1000u) << file;
        const ui::Handle note = byText(plot, std::string("Zapisano: ") + file);
        ASSERT_NE(note, 0) << "the note of the export";
        EXPECT_EQ(ui.control(note).tooltip, (fs::current_path() / file).string());
        for (ui::Handle m : ui.window(plot).menus)
            if (ui.menu(m).label == "Natisni")
                ui.fire(m);
        EXPECT_EQ(ui.printed.back(), plot);
    }
    ASSERT_TRUE(boxes.boxes.empty()) << boxes.boxes.back().text << " " << boxes.boxes.back().details;

    // The report in the viewer.
    ::unsetenv(Kolmo::kEditorVariable);
    act("PriIz");
    EXPECT_NE(window("Kolmo - ljubljana.str"), 0);

    // Save the parameters under a name.
    act("shrani");
    w = window("Kolmo - Shranjevanje transformacijskih parametrov");
    ASSERT_NE(w, 0);
    EXPECT_NE(byText(w, "Parametri bodo dodani v datoteko: t7.par"), 0);
    EXPECT_NE(byText(w, "Tip parametrov: D48 -> D96"), 0);
    ui.control(ui.window(w).hndlList[0]).text = "Ljubljana 2026";
    ui.fire(byText(w, "Shrani"));
    EXPECT_FALSE(ui.isWindow(w));
    EXPECT_TRUE(boxes.boxes.empty());

    // Choose them again, then transform in mode "koordinat".
    act("izberi");
    w = window("Kolmo - Izbira transformacijskih parametrov");
    ASSERT_NE(w, 0);
    EXPECT_EQ(s.PAR.size(), 0) << "asking for a set discards the current one";
    ui::Control& list = ui.control(ui.window(w).hndlList[0]);
    const auto it = std::find(list.items.begin(), list.items.end(), "Ljubljana 2026");
    ASSERT_NE(it, list.items.end());
    list.value = static_cast<int>(it - list.items.begin()) + 1;
    ui.fire(ui.window(w).hndlList[0]);
    EXPECT_TRUE(ui.control(ui.window(w).hndlList[1]).visible);
    EXPECT_EQ(ui.control(ui.window(w).hndlList[2]).text, parDisplay(s.PAR));
    EXPECT_LT((s.PAR - estimated).cwiseAbs().maxCoeff(), 5e-7) << "stored with six decimals";
    ui.fire(byText(w, "Izberi"));
    EXPECT_FALSE(ui.isWindow(w));

    choose(slot::T2, 1);
    const fs::path coords = root / "results" / "coords.str";
    answerSave(coords);
    act("IzDat");
    act("izracun");
    ASSERT_TRUE(boxes.boxes.empty()) << boxes.boxes.back().text;
    EXPECT_EQ(compareReports(cliReport({"--type", "3r7", "--mode", "coords", "--start", "d48_gk.pod",
                                        "--start-type", "gk", "--end-type", "tm", "--out-type", "tm", "--params",
                                        "Ljubljana 2026"}),
                             read(coords)),
              "");
}

TEST_F(Session, APlaneTransformationAndAConversion)
{
    choose(slot::Meto, 2);
    load(1, work / "d48_gk_2d.pod");
    act("uredi1");
    ASSERT_NE(window("Kolmo - Urejanje podatkov 2"), 0);
    load(2, work / "d96_tm_2d.pod");
    EXPECT_NE(window("Kolmo - Urejanje podatkov 2"), 0) << "the end points are not the window's";
    load(1, work / "d48_gk_2d.pod");
    EXPECT_EQ(window("Kolmo - Urejanje podatkov 2"), 0) << "a window on replaced points closes";
    choose(slot::Tip1, 2);
    answerSave(work / "plane.str");
    act("IzDat");
    act("izracun");
    ASSERT_TRUE(boxes.boxes.empty()) << boxes.boxes.back().text;
    EXPECT_EQ(compareReports(cliReport({"--type", "2r4", "--mode", "full", "--start", "d48_gk_2d.pod",
                                        "--start-type", "gk", "--end", "d96_tm_2d.pod", "--end-type", "tm"}),
                             read(work / "plane.str")),
              "");

    choose(slot::Meto, 4);
    load(1, work / "d96_fila.pod");
    answerSave(work / "conv.str");
    act("IzDat");
    act("izracun");
    ASSERT_TRUE(boxes.boxes.empty()) << boxes.boxes.back().text;
    EXPECT_EQ(compareReports(cliReport({"--type", "fila-tm", "--start", "d96_fila.pod"}), read(work / "conv.str")),
              "");
}

TEST_F(Session, AResultsFolderThatCannotBeWrittenLosesNothing)
{
    load(1, work / "d48_gk.pod");
    load(2, work / "d96_tm.pod");
    choose(slot::Tip1, 3);
    choose(slot::Tip2, 2);
    // A folder that went away after the file was chosen (a path through a
    // plain file cannot be created, whoever runs the tests).
    write(root / "plain", "x");
    answerSave(root / "plain" / "r.str");
    act("IzDat");
    act("izracun");
    EXPECT_EQ(lastBox(), error("Napaka v zapisu datoteke!", "Napaka v izracunu"));
    ASSERT_TRUE(s.vhi && s.vhv);
    // The start file itself as the results file: refused, the file kept.
    const std::string startFile = read(work / "d48_gk.pod");
    answerSave(work / "d48_gk.pod");
    act("IzDat");
    act("izracun");
    EXPECT_EQ(lastBox(), error("Izhodna datoteka je enaka vhodni!", "Napaka"));
    EXPECT_EQ(read(work / "d48_gk.pod"), startFile);
    // A good folder then works with the same loaded points.
    boxes.boxes.clear();
    answerSave(work / "r.str");
    act("IzDat");
    act("izracun");
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(fs::exists(work / "r.str"));
    EXPECT_EQ(boxes.busyDepth, 0);
}

} // namespace
} // namespace kolmo::test
