// The national migration tool window, driven through its controls with the
// migration itself replaced by a stand-in: what the window hands to it, the
// progress, "Prekini", the closing box, the errors, a dropped file and the
// choice of a stored parameter set.
#include "desktop.h"

#include "app/mod_drz.h"
#include "platform/cause.h"
#include "platform/errors.h"

#include <future>
#include <sstream>

namespace kolmo::test {
namespace {

using platform::Box;

class MigrationTool : public Desktop {
protected:
    ui::Handle w = 0;
    std::vector<MigrateOptions> calls;
    fs::path in, out;

    void SetUp() override
    {
        Desktop::SetUp();
        in = work / "d48_gk.pod";
        out = root / "out" / "d96.gpkg";
        fs::create_directories(out.parent_path());
        // The stand-in writes the input to the output, reporting progress in
        // tenths; a set cancel flag stops it before it writes.
        kolmo->drzavna().setWork([this](const MigrateOptions& o, const MigrateProgress& p) {
            calls.push_back(o);
            for (int k = 0; k <= 10; ++k) {
                if (p.cancel && *p.cancel)
                    throw MigrateCancelled{};
                if (p.report)
                    p.report(k / 10.0);
            }
            std::ofstream(o.out) << read(o.in);
            return MigrateSummary{.dataset = false, .written = 12, .warnings = {"T9: zunaj modela"}};
        });
        ui.fire(menuItem("Državna transformacija D48/GK ↔ D96/TM"));
        w = ui.findWindow("Kolmo - Državna transformacija D48/GK ↔ D96/TM");
    }

    ui::Control& slotOf(int k) { return ui.control(ui.window(w).hndlList.at(static_cast<std::size_t>(k - 1))); }
    void press(const std::string& a) { ui.run("mod_drz('" + a + "')", w); }
    void setInputAndOutput(const fs::path& input, const fs::path& output)
    {
        answerOpen(input);
        press("VhDat");
        answerSave(output);
        press("IzDat");
    }
    void fillInAndOut()
    {
        answerOpen(in);
        press("VhDat");
        answerSave(out);
        press("IzDat");
    }
};

TEST_F(MigrationTool, OpensFromOrodjaWithItsControlsAndDialogs)
{
    ASSERT_NE(w, 0);
    EXPECT_EQ(ui.window(w).tag, "slk");
    EXPECT_EQ(slotOf(ModDrzOkno::Smer).items, (std::vector<std::string>{"D48/GK → D96/TM", "D96/TM → D48/GK"}));
    EXPECT_EQ(slotOf(ModDrzOkno::Vis).items,
              (std::vector<std::string>{"ohrani", "SVS2000 → SVS2010", "SVS2010 → SVS2000"}));
    EXPECT_EQ(slotOf(ModDrzOkno::Napredek).kind, ui::Kind::ProgressBar);
    EXPECT_TRUE(slotOf(ModDrzOkno::Transformiraj).enabled);
    EXPECT_FALSE(slotOf(ModDrzOkno::Prekini).enabled);
    for (const char* text : {"Vh. datoteka", "Izh. datoteka", "Transformiraj", "Prekini", "Izhod", "Izberi par."})
        EXPECT_NE(byText(w, text), 0) << text;
    // The menu item opens the one window again rather than a second one.
    ui.fire(menuItem("Državna transformacija D48/GK ↔ D96/TM"));
    EXPECT_EQ(ui.windows().size(), 2u);

    fillInAndOut();
    ASSERT_EQ(ui.dialogCalls.size(), 2u);
    std::string globs;
    for (const auto& [pattern, description] : ui.dialogCalls[0].filters)
        globs += pattern + ";";
    for (const char* g : {"*.pod", "*.txt", "*.csv", "*.gpkg", "*.shp", "*.geojson", "*.fgb", "*.gml", "*.dxf"})
        EXPECT_NE(globs.find(std::string(g) + ";"), std::string::npos) << g;
    // A point file in: the save dialog offers point files first.
    EXPECT_EQ(ui.dialogCalls[1].filters.front().first, "*.pod");
    EXPECT_EQ(slotOf(ModDrzOkno::VhDat).text, in.string());
    EXPECT_EQ(slotOf(ModDrzOkno::IzDat).text, out.string());
}

TEST_F(MigrationTool, RunsTheWorkWithTheChosenOptionsAndSaysWhatItWrote)
{
    fillInAndOut();
    slotOf(ModDrzOkno::Smer).value = 2;
    slotOf(ModDrzOkno::Vis).value = 3;
    slotOf(ModDrzOkno::RedXY).value = 2;
    ui.fire(byText(w, "Transformiraj"));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].in, in);
    EXPECT_EQ(calls[0].out, out);
    EXPECT_EQ(calls[0].from, MigrateFrom::Tm);
    EXPECT_EQ(calls[0].heights, MigrateHeights::Svs2010To2000);
    EXPECT_EQ(calls[0].order, MigrateOrder::Yx);
    EXPECT_EQ(calls[0].paramsName, "") << "the national model";
    EXPECT_EQ(calls[0].dataDir, s.pot_prg);
    EXPECT_EQ(read(out), read(in));
    EXPECT_EQ(slotOf(ModDrzOkno::Napredek).fraction, 1.0);
    EXPECT_TRUE(slotOf(ModDrzOkno::Transformiraj).enabled);
    EXPECT_FALSE(slotOf(ModDrzOkno::Prekini).enabled);
    ASSERT_EQ(lastBox().kind, Box::Message);
    EXPECT_EQ(lastBox().title, "Državna transformacija");
    EXPECT_EQ(lastBox().text, "Transformacija je končana.\nZapisanih točk: 12\nOpozoril: 1\n- T9: zunaj modela\n"
                              "Izhodna datoteka: " + out.string());
    EXPECT_EQ(migrateSummaryText({.dataset = true, .written = 3, .warnings = {}}, "a.gpkg"),
              "Transformacija je končana.\nZapisanih objektov: 3\nOpozoril: 0\nIzhodna datoteka: a.gpkg");
}

// The CLI's --layer, --assume-crs and --precision from the window; the
// points left out counted as such; every warning saved with
// "Shrani opozorila".
TEST_F(MigrationTool, LayerAssumedCrsPrecisionAndTheWarningsSaved)
{
    EXPECT_EQ(slotOf(ModDrzOkno::Sloj).kind, ui::Kind::Edit);
    EXPECT_EQ(slotOf(ModDrzOkno::BrezCrs).items, (std::vector<std::string>{"zavrni", "privzemi začetni datum"}));
    EXPECT_FALSE(slotOf(ModDrzOkno::ShraniOpozorila).enabled) << "nothing to save before a run";
    fillInAndOut();
    // The defaults: every layer, a layer without a CRS refused, millimetres.
    MigrateOptions o = kolmo->drzavna().options();
    EXPECT_EQ(o.layer, "");
    EXPECT_EQ(o.assumeCrs, "");
    EXPECT_EQ(o.precision, 3);

    slotOf(ModDrzOkno::Sloj).text = "  parcele ";
    slotOf(ModDrzOkno::BrezCrs).value = 2;
    slotOf(ModDrzOkno::Natancnost).value = 5;
    o = kolmo->drzavna().options();
    EXPECT_EQ(o.layer, "parcele");
    EXPECT_EQ(o.assumeCrs, "gk") << "the start datum of D48/GK -> D96/TM";
    EXPECT_EQ(o.precision, 4);
    slotOf(ModDrzOkno::Smer).value = 2;
    EXPECT_EQ(kolmo->drzavna().options().assumeCrs, "tm");
    slotOf(ModDrzOkno::Smer).value = 1;

    std::vector<std::string> warnings;
    for (int k = 1; k <= 14; ++k)
        warnings.push_back("point T" + std::to_string(k) + " (d48_gk.pod, line " + std::to_string(k) +
                           "): outside the transformation model, no D96/TM coordinates; not written");
    kolmo->drzavna().setWork([&](const MigrateOptions& opt, const MigrateProgress&) {
        calls.push_back(opt);
        std::ofstream(opt.out) << "x";
        return MigrateSummary{.dataset = false, .written = 6, .leftOut = 14, .warnings = warnings};
    });
    ui.fire(byText(w, "Transformiraj"));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].layer, "parcele");
    EXPECT_EQ(calls[0].precision, 4);
    ASSERT_EQ(lastBox().kind, Box::Message);
    EXPECT_NE(lastBox().text.find("Zapisanih točk: 6\nIzpuščenih točk (zunaj modela): 14\nOpozoril: 14\n"),
              std::string::npos)
        << lastBox().text;
    EXPECT_NE(lastBox().text.find("- ... in še 4\n(vsa opozorila: \"Shrani opozorila\")"), std::string::npos)
        << lastBox().text;
    EXPECT_EQ(slotOf(ModDrzOkno::Stanje).text, "Končano.\nIzpuščenih točk: 14");
    ASSERT_TRUE(slotOf(ModDrzOkno::ShraniOpozorila).enabled);

    const fs::path saved = root / "out" / "opozorila.txt";
    answerSave(saved);
    ui.fire(byText(w, "Shrani opozorila"));
    EXPECT_EQ(ui.dialogCalls.back().title, "Shrani opozorila");
    EXPECT_TRUE(ui.dialogCalls.back().save);
    std::string all;
    for (const auto& line : warnings)
        all += line + "\n";
    EXPECT_EQ(read(saved), all);
    // A run without warnings has nothing to save.
    warnings.clear();
    ui.fire(byText(w, "Transformiraj"));
    EXPECT_FALSE(slotOf(ModDrzOkno::ShraniOpozorila).enabled);
}

// The decimals chosen reach the point file the real migration writes.
TEST_F(MigrationTool, ThePointFileIsWrittenWithTheDecimalsChosen)
{
    kolmo->drzavna().setWork(migrate);
    for (const auto& [choice, decimals] : {std::pair{1, 0}, std::pair{4, 3}, std::pair{7, 6}}) {
        const fs::path target = root / "out" / ("d96_" + std::to_string(decimals) + ".pod");
        setInputAndOutput(in, target);
        slotOf(ModDrzOkno::Natancnost).value = choice;
        ui.fire(byText(w, "Transformiraj"));
        ASSERT_EQ(lastBox().kind, Box::Message) << lastBox().text << " " << lastBox().details;
        std::istringstream rows(read(target));
        std::string name, x;
        rows >> name >> x;
        const auto point = x.find('.');
        EXPECT_EQ(point == std::string::npos ? 0 : static_cast<int>(x.size() - point - 1), decimals) << x;
    }
}

TEST_F(MigrationTool, MissingChoicesAreNamedBeforeAnyWork)
{
    press("transformiraj");
    EXPECT_EQ(lastBox(), error("Izberi vhodno datoteko!", "Napaka"));
    answerOpen(in);
    press("VhDat");
    press("transformiraj");
    EXPECT_EQ(lastBox(), error("Izberi izhodno datoteko!", "Napaka"));
    answerSave(in);
    press("IzDat");
    press("transformiraj");
    EXPECT_EQ(lastBox(), error("Izhodna datoteka je enaka vhodni!", "Napaka"));
    answerSave(out);
    press("IzDat");
    slotOf(ModDrzOkno::Metoda).value = ModDrzOkno::StoredSet;
    press("transformiraj");
    EXPECT_EQ(lastBox(), error("Izberi parametre!", "Ni parametrov"));
    EXPECT_TRUE(calls.empty());
}

TEST_F(MigrationTool, PrekiniStopsTheWorkAndLeavesNoOutput)
{
    fillInAndOut();
    ui.background = ui::HeadlessUi::Background::Deferred;
    ui.fire(byText(w, "Transformiraj"));
    // The work is under way: it cannot be started twice, it can be stopped.
    EXPECT_TRUE(kolmo->drzavna().running());
    EXPECT_FALSE(slotOf(ModDrzOkno::Transformiraj).enabled);
    EXPECT_TRUE(slotOf(ModDrzOkno::Prekini).enabled);
    press("transformiraj");
    EXPECT_EQ(ui.deferredWork(), 1u);
    ui.fire(byText(w, "Prekini"));
    const auto n = boxes.boxes.size();
    ui.runDeferredWork();
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(boxes.boxes.size(), n) << "a stop is no error";
    EXPECT_EQ(slotOf(ModDrzOkno::Stanje).text, "Prekinjeno.");
    EXPECT_EQ(slotOf(ModDrzOkno::Napredek).fraction, 0.0);
    EXPECT_TRUE(slotOf(ModDrzOkno::Transformiraj).enabled);
    EXPECT_FALSE(kolmo->drzavna().running());
}

TEST_F(MigrationTool, ProgressComesFromAnotherThreadAndClosingTheWindowStopsTheWork)
{
    fillInAndOut();
    ui.background = ui::HeadlessUi::Background::Threads;
    std::promise<void> reported, release;
    std::shared_future<void> go = release.get_future().share();
    std::thread::id workThread;
    kolmo->drzavna().setWork([&](const MigrateOptions& o, const MigrateProgress& p) {
        workThread = std::this_thread::get_id();
        p.report(0.25);
        reported.set_value();
        go.wait();
        p.report(0.5); // posted to a window that is gone
        if (*p.cancel)
            throw MigrateCancelled{};
        std::ofstream(o.out) << "x";
        return MigrateSummary{};
    });
    ui.fire(byText(w, "Transformiraj"));
    reported.get_future().wait();
    ui.runPosted();
    EXPECT_EQ(slotOf(ModDrzOkno::Napredek).fraction, 0.25);
    EXPECT_NE(workThread, std::this_thread::get_id());

    ui.fire(byText(w, "Izhod"));
    EXPECT_FALSE(ui.isWindow(w));
    release.set_value();
    ui.waitForBackground();
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(kolmo->drzavna().running());
    EXPECT_EQ(ui.backgroundRunning(), 0);
}

TEST_F(MigrationTool, AFailedWorkShowsTheErrorBoxWithItsCause)
{
    fillInAndOut();
    kolmo->drzavna().setWork([](const MigrateOptions&, const MigrateProgress&) -> MigrateSummary {
        throw FileError("layer 'parcele', feature 17: point outside the model");
    });
    // The cause in the box itself (in Slovene, as the desktop program tells
    // its causes); the input is named under the details, as the cause does
    // not name it.
    {
        const platform::ScopedCauseLanguage slovene(platform::Language::Slovene);
        ui.fire(byText(w, "Transformiraj"));
    }
    EXPECT_EQ(lastBox(), error("Transformacija ni uspela!\nsloj 'parcele', objekt 17: točka zunaj modela", "Napaka"));
    EXPECT_EQ(lastBox().details, "Vhodna datoteka: " + in.string());
    EXPECT_EQ(slotOf(ModDrzOkno::Stanje).text, "Napaka.");
    EXPECT_TRUE(slotOf(ModDrzOkno::Transformiraj).enabled);

    // A cause that names the file: the path once, in the box.
    kolmo->drzavna().setWork([this](const MigrateOptions&, const MigrateProgress&) -> MigrateSummary {
        throw FileError(in.string() + ": no point in the file");
    });
    {
        const platform::ScopedCauseLanguage slovene(platform::Language::Slovene);
        ui.fire(byText(w, "Transformiraj"));
    }
    EXPECT_EQ(lastBox(), error("Transformacija ni uspela!\n" + in.string() + ": v datoteki ni nobene točke", "Napaka"));
    EXPECT_EQ(lastBox().details, "");
    // A layer without a CRS: the phrases in Slovene, the names and the CRS as they are.
    {
        const platform::ScopedCauseLanguage slovene(platform::Language::Slovene);
        EXPECT_EQ(migrateCause(FileError("/d/or, line.gpkg: layer \"a\" has no CRS; expected D48/GK, EPSG:3912 (MGI "
                                         "1901 / Slovene National Grid) or EPSG:31275 (MGI / Balkans zone 5) (a CRS "
                                         "can be assumed for it)")),
                  "/d/or, line.gpkg: sloj \"a\" nima koordinatnega sistema; pričakovan je D48/GK, EPSG:3912 (MGI "
                  "1901 / Slovene National Grid) ali EPSG:31275 (MGI / Balkans zone 5) (izberi \"Sloj brez CRS: "
                  "privzemi začetni datum\")");
    }
    // kolmo-cli's language keeps the words.
    EXPECT_EQ(migrateCause(FileError("x.gpkg: no layer \"a\"; its layers: \"b\"")), "x.gpkg: no layer \"a\"; its layers: \"b\"");
}

// The real migration's failures, as the window shows them: the cause in
// Slovene, the path once.  Fault pinned down: the box said only
// "Transformacija ni uspela!", the English cause under the details began
// with the input's path and repeated it.
TEST_F(MigrationTool, RealFailuresTellTheirCauseInSlovene)
{
    kolmo->drzavna().setWork(migrate);
    const platform::ScopedCauseLanguage slovene(platform::Language::Slovene);
    const auto failure = [&](const fs::path& input, const fs::path& output) {
        setInputAndOutput(input, output);
        ui.fire(byText(w, "Transformiraj"));
        EXPECT_EQ(lastBox().kind, Box::Error);
        EXPECT_EQ(lastBox().text.rfind("Transformacija ni uspela!\n", 0), 0u) << lastBox().text;
        return lastBox().text.substr(std::string("Transformacija ni uspela!\n").size());
    };
    // A point file without a point.
    const fs::path empty = work / "prazna.pod";
    write(empty, "\n");
    std::string cause = failure(empty, root / "out" / "a.pod");
    EXPECT_EQ(cause, empty.string() + ": v datoteki ni nobene točke");
    // A file that is not there.
    cause = failure(work / "ni_je.pod", root / "out" / "b.pod");
    EXPECT_EQ(cause.find("No such file"), std::string::npos) << cause;
    const std::string missing = (work / "ni_je.pod").string();
    ASSERT_NE(cause.find(missing), std::string::npos) << cause;
    EXPECT_EQ(cause.find(missing, cause.find(missing) + 1), std::string::npos) << "the path once: " << cause;
    EXPECT_EQ(lastBox().details.find(missing), std::string::npos) << lastBox().details;
}

TEST_F(MigrationTool, AFileDroppedOnTheWindowIsTheInput)
{
    const fs::path layer = work / "parcele.gpkg";
    write(layer, "");
    EXPECT_TRUE(ui.dropFile(w, 0.5, 0.5, layer));
    EXPECT_EQ(slotOf(ModDrzOkno::VhDat).text, layer.string());
    EXPECT_EQ(kolmo->drzavna().options().in, layer);
    // With a layer in, the save dialog offers layers first.
    press("IzDat");
    EXPECT_EQ(ui.dialogCalls.back().filters.front().first, "*.gpkg");
}

TEST_F(MigrationTool, AStoredSetIsChosenAsInTheMainWindowAndKeptToTheTool)
{
    slotOf(ModDrzOkno::Metoda).value = ModDrzOkno::StoredSet;
    ui.fire(ui.window(w).hndlList[ModDrzOkno::Metoda - 1]);
    const ui::Handle p = ui.findWindow("Kolmo - Izbira transformacijskih parametrov");
    ASSERT_NE(p, 0);
    ui::Control& list = ui.control(ui.window(p).hndlList[0]);
    ASSERT_GE(list.items.size(), 2u);
    EXPECT_EQ(list.items[0], "EPSG 8689 D48-D96 (12) Slovenija 2010") << "sets into D96";
    list.value = 2;
    ui.fire(ui.window(p).hndlList[0]);
    EXPECT_NE(ui.control(ui.window(p).hndlList[2]).text.find("dx:"), std::string::npos);
    ui.fire(byText(p, "Izberi"));
    EXPECT_FALSE(ui.isWindow(p));
    EXPECT_EQ(kolmo->drzavna().options().paramsName, "EPSG 3916 D48-D96 (1) Slovenija");
    EXPECT_EQ(slotOf(ModDrzOkno::ParIme).text, "Parametri: EPSG 3916 D48-D96 (1) Slovenija");
    EXPECT_EQ(s.PAR.size(), 0) << "the main window's parameters stay as they were";

    // The other direction needs a set of its own; cancelling the choice goes
    // back to the national model.
    slotOf(ModDrzOkno::Smer).value = 2;
    ui.fire(ui.window(w).hndlList[ModDrzOkno::Smer - 1]);
    EXPECT_EQ(kolmo->drzavna().options().paramsName, "");
    press("izberi");
    const ui::Handle q = ui.findWindow("Kolmo - Izbira transformacijskih parametrov");
    ASSERT_NE(q, 0);
    EXPECT_EQ(ui.control(ui.window(q).hndlList[0]).items[0], "EPSG 8689 D96-D48 (12) Slovenija 2010");
    ui.fire(byText(q, "Prekliči"));
    EXPECT_EQ(slotOf(ModDrzOkno::Metoda).value, ModDrzOkno::NationalModel);
}

} // namespace
} // namespace kolmo::test
