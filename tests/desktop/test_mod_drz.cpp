// The national migration tool window, driven through its controls with the
// migration itself replaced by a stand-in: what the window hands to it, the
// progress, "Prekini", the closing box, the errors, a dropped file and the
// choice of a stored parameter set.
#include "desktop.h"

#include "app/mod_drz.h"
#include "platform/errors.h"

#include <future>

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
    ui.fire(byText(w, "Transformiraj"));
    EXPECT_EQ(lastBox(), error("Transformacija ni uspela!", "Napaka"));
    EXPECT_NE(lastBox().details.find("feature 17"), std::string::npos) << lastBox().details;
    EXPECT_EQ(slotOf(ModDrzOkno::Stanje).text, "Napaka.");
    EXPECT_TRUE(slotOf(ModDrzOkno::Transformiraj).enabled);
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
