// The secondary windows: arranging columns, choosing and saving parameters.
#include "desktop.h"

#include "app/izberi_par.h"
#include "platform/numtext.h"

namespace kolmo::test {
namespace {

using platform::Box;

class Okna : public Desktop {
protected:
    ui::Handle uredi() const
    {
        for (const char* t : {"Kolmo - Urejanje podatkov", "Kolmo - Urejanje podatkov 2"})
            if (const ui::Handle w = ui.findWindow(t))
                return w;
        return 0;
    }
    std::vector<bool> shownSelectors(ui::Handle w) const
    {
        std::vector<bool> out;
        const auto& h = ui.window(w).hndlList;
        for (std::size_t i = 0; i + 1 < h.size(); ++i)
            out.push_back(ui.control(h[i]).visible);
        return out;
    }
    ui::Control& selector(ui::Handle w, std::size_t i) { return ui.control(ui.window(w).hndlList.at(i)); }
    ui::Control& angles(ui::Handle w) { return ui.control(ui.window(w).hndlList.back()); }
};

TEST_F(Okna, ArrangementWindowShowsTheFileAndAppliesTheChoice)
{
    write(work / "fila.pod", "T1 46,0300 14,3000 300\nT2 46.123456 15 301.5\n");
    load(1, work / "fila.pod");
    act("uredi1");
    const ui::Handle w = uredi();
    ASSERT_NE(w, 0);
    EXPECT_EQ(ui.window(w).tag, "slk");
    EXPECT_EQ(ui.window(w).color, (ui::Rgb{1, 1, 0.7}));
    EXPECT_NE(byText(w, "fila.pod"), 0);
    EXPECT_NE(byText(w, "Elipsoidne"), 0);
    EXPECT_NE(byText(w, "[46.03  14.3  300]"), 0);
    EXPECT_EQ(shownSelectors(w), (std::vector<bool>{true, true, true, false, false, false}));
    EXPECT_EQ(selector(w, 0).items, (std::vector<std::string>{"fi", "la", "h", "s_fi", "s_la", "s_h"}));
    EXPECT_TRUE(angles(w).visible);
    EXPECT_EQ(angles(w).value, 2);
    EXPECT_TRUE(ui.control(byText(w, "Format zapisa kotov:")).visible);

    // POGLED before UVELJAVI: an empty box.
    ui.fire(byText(w, "POGLED"));
    EXPECT_EQ(lastBox(), (Box{Box::Message, "", ""}));

    // Latitude and longitude swapped in the file; notation ddd.mmssss.
    selector(w, 0).value = 2;
    selector(w, 1).value = 1;
    ui.fire(byText(w, "UVELJAVI"));
    ASSERT_EQ(s.vhi->koo.cols(), 6);
    EXPECT_NEAR(s.vhi->koo(0, 0), 14.5, 1e-12);
    EXPECT_NEAR(s.vhi->koo(0, 1), 46.05, 1e-12);
    EXPECT_NEAR(s.vhi->koo(1, 1), 46 + 12.0 / 60 + 34.56 / 3600, 1e-12);
    EXPECT_EQ(s.vhi->koo(1, 2), 301.5);
    EXPECT_EQ(s.vhi->koo.rightCols(3), Mat::Ones(2, 3));
    ui.fire(byText(w, "POGLED"));
    EXPECT_EQ(lastBox(), (Box{Box::Message, platform::matrixText(s.C1), ""}));
    EXPECT_TRUE(ui.isWindow(w)) << "the window stays open";
}

TEST_F(Okna, ArrangementThatFailsSaysSoAndWritesNothing)
{
    // One number per point: no second field to convert as an angle.
    write(work / "one.pod", "A 46.1\nB 46.2\n");
    load(1, work / "one.pod");
    act("uredi1");
    const ui::Handle w = uredi();
    ASSERT_NE(w, 0);
    EXPECT_EQ(shownSelectors(w), (std::vector<bool>{true, true, false, false, false, false}));
    const Mat before = s.vhi->koo;
    ui.fire(byText(w, "UVELJAVI"));
    EXPECT_EQ(lastBox(), error("Napaka pri urejanju podatkov!", "Napaka"));
    EXPECT_EQ(s.vhi->koo, before);
    EXPECT_EQ(boxes.busyDepth, 0);

    // A one-column file goes as far as the computation, which asks for data in shape.
    ui.fire(byText(w, "Izhod"));
    load(2, work / "d96_tm.pod");
    answerSave(work / "r.str");
    act("IzDat");
    act("izracun");
    EXPECT_EQ(lastBox(), error("Pripravi podatke v ustrezni obliki!", "Napaka v dim. matrike"));

    // The plane window has four selectors: a six-column file is refused.
    choose(slot::Meto, 2);
    write(work / "six.pod", "A 1 2 3 4 5 6\n");
    load(1, work / "six.pod");
    act("uredi1");
    EXPECT_EQ(lastBox(), error("Napaka pri urejanju podatkov!", "Napaka"));
    EXPECT_EQ(uredi(), 0);
    EXPECT_TRUE(c(slot::Ured1).enabled) << "nothing was arranged";
}

TEST_F(Okna, OneArrangementWindowAtATime)
{
    load(1, work / "d48_gk.pod");
    load(2, work / "d96_tm.pod");
    choose(slot::Tip1, 3);
    act("uredi1");
    const ui::Handle first = uredi();
    act("uredi2");
    const ui::Handle second = uredi();
    EXPECT_FALSE(ui.isWindow(first));
    ASSERT_NE(second, 0);
    EXPECT_EQ(s.pd, "2");
    // The four-column plane layout: x, y, s_n, s_e from presets 1, 2, 4, 5.
    write(work / "plane.pod", "A 100 200 0.01 0.02\nB 110 210 0.01 0.02\n");
    load(1, work / "plane.pod");
    choose(slot::Tip1, 3);
    act("uredi1");
    const ui::Handle w = uredi();
    EXPECT_EQ(shownSelectors(w), (std::vector<bool>{true, true, true, true, false, false}));
    EXPECT_EQ(selector(w, 2).value, 4);
    EXPECT_EQ(selector(w, 3).value, 5);
    EXPECT_FALSE(angles(w).visible);
    ui.fire(byText(w, "UVELJAVI"));
    Mat expected(2, 4);
    expected << 100, 200, 0.01, 0.02, 110, 210, 0.01, 0.02;
    EXPECT_EQ(s.vhi->koo, expected);
}

TEST_F(Okna, SelectionWindowChoosesCancelsAndReportsItsFile)
{
    write(s.pot_prg / "t7.par", "\n2,A,1,2,3,4,5,6,7\n1,B,1,1,1,1,1,1,1\n2,C,7,6,5,4,3,2,1");
    choose(slot::Tip2, 2);
    act("izberi");
    ui::Handle w = ui.findWindow("Kolmo - Izbira transformacijskih parametrov");
    ASSERT_NE(w, 0);
    EXPECT_EQ(ui.window(w).color, kParWindowColour);
    const auto& h = ui.window(w).hndlList;
    EXPECT_FALSE(ui.control(h[1]).visible);
    EXPECT_FALSE(ui.control(h[2]).visible);
    // Choosing C, then cancelling: no parameters.
    ui.control(h[0]).value = 2;
    ui.fire(h[0]);
    EXPECT_EQ(s.PAR, (Vec(7) << 7, 6, 5, 4, 3, 2, 1).finished());
    EXPECT_NE(ui.control(h[2]).text.find("  dx: "), std::string::npos);
    ui.fire(byText(w, "Prekliči"));
    EXPECT_FALSE(ui.isWindow(w));
    EXPECT_EQ(s.PAR.size(), 0);
    act("shrani");
    EXPECT_EQ(lastBox(), error("Parametri se niso določeni/izbrani!", "Napaka"));

    // "Izberi" without a choice leaves no parameters either.
    act("izberi");
    w = ui.findWindow("Kolmo - Izbira transformacijskih parametrov");
    ui.fire(byText(w, "Izberi"));
    EXPECT_EQ(s.PAR.size(), 0);

    // A missing or damaged database: the box, no window.
    fs::remove(s.pot_prg / "t7.par");
    act("izberi");
    EXPECT_EQ(lastBox(), error("Ne najdem datoteke s parametri!", "Napaka"));
    write(s.pot_prg / "t7.par", "\n22,A,1,2,3,4,5,6,7");
    act("izberi");
    EXPECT_EQ(lastBox(), error("Napaka v datoteki s parametri!", "Napaka"));
    EXPECT_EQ(ui.findWindow("Kolmo - Izbira transformacijskih parametrov"), 0);
}

TEST_F(Okna, SavingWindowAppendsUnderTheTypedName)
{
    fs::remove(s.pot_prg / "t4.par");
    choose(slot::Meto, 2);
    s.PAR = (Vec(4) << 1.000010201617, 2.5515403e-05, 497.05689, -378.232018).finished();
    act("shrani");
    const ui::Handle w = ui.findWindow("Kolmo - Shranjevanje transformacijskih parametrov");
    ASSERT_NE(w, 0);
    EXPECT_NE(byText(w, "Parametri bodo dodani v datoteko: t4.par"), 0);
    EXPECT_NE(byText(w, "Tip parametrov: D96 -> D48"), 0);
    ui::Control& ime = ui.control(ui.window(w).hndlList[0]);
    EXPECT_EQ(ime.kind, ui::Kind::Edit);
    // A blank name is refused and the window stays.
    ime.text = "  ";
    ui.fire(byText(w, "Shrani"));
    EXPECT_EQ(lastBox(), error("Vpiši ime parametrov!", "Napaka"));
    EXPECT_TRUE(ui.isWindow(w));
    ime.text = "Občina Kamnik";
    ui.fire(byText(w, "Shrani"));
    EXPECT_FALSE(ui.isWindow(w));
    EXPECT_EQ(read(s.pot_prg / "t4.par"), "\n1,Ob\xe8ina Kamnik,1.000010201617,0.000025515403,497.056890,-378.232018");
}

} // namespace
} // namespace kolmo::test
