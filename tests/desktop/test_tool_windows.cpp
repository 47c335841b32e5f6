// The tool windows opened from "Orodja": the coordinate conversion and the
// geoid height tool, driven through their controls.
#include "desktop.h"

#include "app/mod_okna.h"
#include "support/run.h"

namespace kolmo::test {
namespace {

using platform::Box;

class ToolWindows : public Desktop {
protected:
    ui::Handle openTool(const std::string& menuLabel, const std::string& title)
    {
        ui.fire(menuItem(menuLabel));
        return ui.findWindow(title);
    }
    ui::Control& slotOf(ui::Handle w, int k) { return ui.control(ui.window(w).hndlList.at(static_cast<std::size_t>(k - 1))); }
    // The text of the result labels, newest last.
    std::vector<std::string> labelsAfter(ui::Handle w, std::size_t first) const
    {
        std::vector<std::string> out;
        const auto& cs = ui.window(w).controls;
        for (std::size_t i = first; i < cs.size(); ++i)
            out.push_back(ui.control(cs[i]).text);
        return out;
    }
};

TEST_F(ToolWindows, ConversionToolWritesWhatKolmoCliWrites)
{
    const ui::Handle w = openTool("Pretvorba koordinat", "Kolmo - Pretvorba koordinat");
    ASSERT_NE(w, 0);
    EXPECT_EQ(ui.window(w).controls.size(), 21u);
    EXPECT_EQ(ui.window(w).color, (ui::Rgb{0.2, 0.8, 0.8}));
    EXPECT_EQ(s.okvir, (std::array<double, 3>{0.2, 0.7, 0.8}));
    EXPECT_FALSE(slotOf(w, ModPretOkno::Ured).enabled);

    const auto press = [&](const std::string& a) { ui.run("mod_pret('" + a + "')", w); };
    press("pretvori");
    EXPECT_EQ(lastBox(), error("Ni podatkov! Preberi podatke iz datoteke.", "Napaka"));

    answerOpen(work / "d96_fila.pod");
    press("VhDat");
    ASSERT_TRUE(s.vhi);
    EXPECT_EQ(s.vhi->koo.cols(), 3);
    EXPECT_EQ(slotOf(w, ModPretOkno::VhDat).text, "d96_fila.pod");
    EXPECT_TRUE(slotOf(w, ModPretOkno::Ured).enabled);
    // The points are the main window's start points too.
    act("PriVh1");
    EXPECT_NE(ui.findWindow("Kolmo - Koordinate v začetnem datumu"), 0);

    slotOf(w, ModPretOkno::Rez).value = 1;
    press("pretvori");
    EXPECT_EQ(lastBox(), error("Identicna tipa koordinat! Nesmiselna pretvorba.", "Napaka"));
    slotOf(w, ModPretOkno::Rez).value = 4; // plane (y,x)
    press("pretvori");
    EXPECT_EQ(lastBox(), error("Izberi izhodno datoteko!", "Napaka"));

    // The result file in another folder is written there.
    const fs::path out = root / "out" / "tm.txt";
    fs::create_directories(out.parent_path());
    answerSave(out);
    press("IzDat");
    slotOf(w, ModPretOkno::VisSis).value = 2;
    const auto n = boxes.boxes.size();
    press("pretvori");
    EXPECT_EQ(boxes.boxes.size(), n) << lastBox().text;
    ASSERT_TRUE(fs::exists(out));
    EXPECT_FALSE(fs::exists(work / "tm.txt"));
    const RunResult r = run(cliPath(), {"convert", "--in", "d96_fila.pod", "--out", (root / "cli.txt").string(),
                                        "--in-type", "ell", "--out-type", "plane-yx", "--heights", "orthometric",
                                        "--height-system", "svs2000", "--data-dir", (root / "prg").string()},
                            work);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read(out), read(root / "cli.txt"));

    // Its own input file as the result: refused, the file kept.
    const std::string input = read(work / "d96_fila.pod");
    answerSave(work / "d96_fila.pod");
    press("IzDat");
    press("pretvori");
    EXPECT_EQ(lastBox().text, "Izhodna datoteka je enaka vhodni!");
    EXPECT_EQ(read(work / "d96_fila.pod"), input);

    // "Uredi" opens the tool's own arrangement window on the same points.
    press("uredi");
    const ui::Handle u = ui.findWindow("Kolmo - Urejanje podatkov");
    ASSERT_NE(u, 0);
    EXPECT_NE(byText(u, "Elipsoidne"), 0);
    EXPECT_EQ(ui.window(u).hndlList.size(), 4u); // three fields and the angle notation
    // A failing read keeps the points and the window usable.
    write(work / "bad.pod", "X 1 2 a\n");
    answerOpen(work / "bad.pod");
    press("VhDat");
    EXPECT_EQ(lastBox(), error("Napacna oblika podatkov!", "Napaka pri branju datoteke"));
    EXPECT_EQ(s.vhi->ime.front(), "LJ01") << "kept";
    EXPECT_TRUE(ui.isWindow(u));
}

TEST_F(ToolWindows, ConversionToolSaysWhatWentWrong)
{
    // Points of the main window with one number each: the tool can neither
    // arrange nor convert them.
    write(work / "one.pod", "A 46.1\nB 46.2\n");
    load(1, work / "one.pod");
    const ui::Handle w = openTool("Pretvorba koordinat", "Kolmo - Pretvorba koordinat");
    const auto press = [&](const std::string& a) { ui.run("mod_pret('" + a + "')", w); };
    press("uredi");
    EXPECT_EQ(lastBox(), error("Napaka pri urejanju podatkov!", "Napaka"));
    answerSave(work / "out.txt");
    press("IzDat");
    press("pretvori");
    EXPECT_EQ(lastBox(), error("Napaka pri pri pretvorbi koordinat!", "Napaka"));
    EXPECT_FALSE(fs::exists(work / "out.txt"));
    EXPECT_EQ(boxes.busyDepth, 0);
}

TEST_F(ToolWindows, GeoidToolReadsItsFieldsAndStacksItsResults)
{
    const ui::Handle w = openTool("Interpolacija modela geoida", "Kolmo - Interpolacija modela geoida");
    ASSERT_NE(w, 0);
    EXPECT_EQ(ui.window(w).controls.size(), 19u);
    EXPECT_EQ(s.okvir, (std::array<double, 3>{0.2, 0.7, 0.7}));
    const std::size_t base = ui.window(w).controls.size();
    const auto compute = [&](std::string fi, std::string la, std::string h, std::string H) {
        slotOf(w, ModIntgOkno::Fi1).text = std::move(fi);
        slotOf(w, ModIntgOkno::La1).text = std::move(la);
        slotOf(w, ModIntgOkno::Vish).text = std::move(h);
        slotOf(w, ModIntgOkno::VisH).text = std::move(H);
        ui.fire(byText(w, "Izračunaj"));
    };

    compute("46,05", "14.5", "", "");
    auto labels = labelsAfter(w, base);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[1], std::string(43, ' ')) << "no height: the row is blanked";
    const std::string N = labels[0];
    compute("46.05", "14,5", "400", "");
    labels = labelsAfter(w, base);
    ASSERT_EQ(labels.size(), 5u);
    EXPECT_EQ(labels[2], N) << "decimal comma and point read alike";
    EXPECT_EQ(labels[3], "H (m):");
    EXPECT_NEAR(std::stod(labels[4]), 400 - std::stod(N), 1e-4);
    compute("46.05", "14.5", "", "350");
    labels = labelsAfter(w, base);
    EXPECT_EQ(labels[6], "h (m):");

    // Messages, and no new labels after them.
    const std::size_t before = ui.window(w).controls.size();
    compute("46", "15", "1", "2");
    EXPECT_EQ(lastBox(), error("Vnesi samo eno visino (h ali H)!", "Napaka"));
    compute("", "15", "", "");
    EXPECT_EQ(lastBox(), error("Vnesi koordinate tocke!", "Napaka"));
    compute("45.2499", "15", "", "");
    EXPECT_EQ(lastBox(), error("Zunaj meja modela geoida", "Napaka"));
    EXPECT_EQ(ui.window(w).controls.size(), before);
    // The model's edges are inside; n, e above 50/20 are D96/TM.
    compute("45.25", "13.25", "", "");
    compute("100000", "500000", "", "");
    EXPECT_EQ(ui.window(w).controls.size(), before + 4);

    // The surfaces open windows of their own.
    ui.fire(byText(w, "Prikaži VRP2016"));
    ui.fire(byText(w, "Prikaži AMG2000"));
    EXPECT_NE(ui.findWindow("Kolmo - Prikaz modela geoida VRP2016"), 0);
    EXPECT_NE(ui.findWindow("Kolmo - Prikaz modela geoida AMG2000"), 0);
    // They are exported and printed as the plot windows are.
    for (const auto& [title, file] : {std::pair{"Kolmo - Prikaz modela geoida VRP2016", "vrp2016.svg"},
                                      std::pair{"Kolmo - Prikaz modela geoida AMG2000", "amg2000.png"}}) {
        const ui::Handle plot = ui.findWindow(title);
        ASSERT_NE(plot, 0);
        std::vector<std::string> menus;
        for (ui::Handle m : ui.window(plot).menus)
            menus.push_back(ui.menu(m).label);
        EXPECT_EQ(menus, (std::vector<std::string>{"Natisni", "Izvozi"})) << title;
        const std::string format = fs::path(file).extension().string().substr(1);
        ui.run("prik_geoid('" + format + "')", plot);
        EXPECT_GT(fs::file_size(fs::current_path() / file), 1000u) << file;
        EXPECT_NE(byText(plot, std::string("Zapisano: ") + file), 0) << title;
        for (ui::Handle m : ui.window(plot).menus)
            if (ui.menu(m).label == "Natisni")
                ui.fire(m);
        ASSERT_FALSE(ui.printed.empty());
        EXPECT_EQ(ui.printed.back(), plot);
    }
    // A program folder without the model: the box, and the tool goes on.
    fs::remove(s.pot_prg / "geoid.mat");
    const auto windows = ui.windows().size();
    ui.fire(byText(w, "Prikaži AMG2000"));
    EXPECT_EQ(lastBox().title, "Napaka");
    EXPECT_EQ(ui.windows().size(), windows);
    EXPECT_EQ(boxes.busyDepth, 0);
}

} // namespace
} // namespace kolmo::test
