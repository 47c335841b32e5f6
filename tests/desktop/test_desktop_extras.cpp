// What a desktop user expects of the main window beyond its table of
// controls: a point file dropped on it, the results file in the button's
// tooltip, the point list of "#" as a table that fills as it is scrolled, and
// the note of the files an export wrote.
#include "desktop.h"

#include "platform/numtext.h"

#include <chrono>

namespace kolmo::test {
namespace {

using platform::Box;

TEST_F(Desktop, APointFileDroppedOnTheWindowLoadsAsTheFileOfItsGroup)
{
    // Over the start group, anywhere else on the window, and over the end
    // group (on its label too: labels let the drop through to the frame).
    struct Drop {
        double x, y;
        const char* file;
        int datum;
    };
    for (const Drop& d : {Drop{0.3, 0.75, "d48_gk.pod", 1}, Drop{0.8, 0.25, "d96_tm.pod", 1},
                          Drop{0.1, 0.57, "d96_tm.pod", 2}, Drop{0.4, 0.62, "d48_gk.pod", 2}}) {
        SCOPED_TRACE(std::string(d.file) + " at " + std::to_string(d.x) + "," + std::to_string(d.y));
        s.vhi.reset();
        s.vhv.reset();
        EXPECT_TRUE(ui.dropFile(main(), d.x, d.y, work / d.file));
        const std::optional<PointSet>& loaded = d.datum == 1 ? s.vhi : s.vhv;
        ASSERT_TRUE(loaded);
        EXPECT_FALSE(d.datum == 1 ? s.vhv.has_value() : s.vhi.has_value());
        EXPECT_EQ(c(d.datum == 1 ? slot::VhDat1 : slot::VhDat2).text, d.file);
        EXPECT_EQ(c(d.datum == 1 ? slot::VhDat1 : slot::VhDat2).userData, (work / d.file).string());
        EXPECT_EQ(fs::current_path(), work);
    }
    EXPECT_TRUE(c(slot::Ured1).enabled);
    EXPECT_TRUE(ui.droppedFile().empty()) << "kept only while the action runs";

    // A file that is no point file: the box of "Datoteka", the points kept.
    write(work / "binary.pod", std::string("\x7f" "ELF\0\0", 6) + std::string(100, '\0'));
    ui.dropFile(main(), 0.3, 0.75, work / "d48_gk.pod");
    ASSERT_TRUE(s.vhi);
    const PointSet before = *s.vhi;
    ui.dropFile(main(), 0.3, 0.75, work / "binary.pod");
    EXPECT_EQ(lastBox(), error("Napacna oblika podatkov!", "Napaka pri branju datoteke"));
    EXPECT_EQ(s.vhi->koo, before.koo);
}

TEST_F(Desktop, TheDropTargetIsTheTopmostControlThatTakesDrops)
{
    ui::HeadlessUi m;
    const ui::Handle w = m.newWindow({.title = "A"});
    const ui::Handle frame = m.addControl(w, {.kind = ui::Kind::Frame, .position = {0, 0, 0.5, 0.5},
                                              .dropAction = "a('frame')"});
    m.addControl(w, {.kind = ui::Kind::Text, .position = {0, 0, 0.2, 0.2}});
    const ui::Handle over = m.addControl(w, {.kind = ui::Kind::Frame, .position = {0.4, 0.4, 0.2, 0.2},
                                             .dropAction = "a('over')"});
    EXPECT_EQ(m.dropTarget(w, 0.1, 0.1), frame) << "through the label";
    EXPECT_EQ(m.dropTarget(w, 0.45, 0.45), over) << "the later one lies on top";
    EXPECT_EQ(m.dropTarget(w, 0.9, 0.9), 0) << "a window without its own drop action refuses";
    m.control(over).visible = false;
    EXPECT_EQ(m.dropTarget(w, 0.45, 0.45), frame);
    std::string got;
    m.registerHandler("a", [&](const std::optional<std::string>& arg) { got = *arg + ":" + m.droppedFile().string(); });
    EXPECT_TRUE(m.dropFile(w, 0.1, 0.1, "/x/y.pod"));
    EXPECT_EQ(got, "frame:/x/y.pod");
    EXPECT_FALSE(m.dropFile(w, 0.9, 0.9, "/x/z.pod"));
}

TEST_F(Desktop, TheResultsButtonsTooltipNamesTheChosenFile)
{
    EXPECT_EQ(c(slot::IzDat).tooltip, "shrani rezultate izravnave v datoteko");
    answerSave(root / "out" / "r.str");
    act("IzDat");
    EXPECT_EQ(c(slot::IzDat).tooltip, "shrani rezultate izravnave v datoteko\n" + (root / "out" / "r.str").string());
    act("reset");
    EXPECT_EQ(c(slot::IzDat).tooltip, "shrani rezultate izravnave v datoteko");
}

TEST_F(Desktop, ThePointListOfAHundredThousandPointsOpensAtOnceAndFillsOnRequest)
{
    constexpr Eigen::Index n = 100000;
    PointSet p;
    p.koo.resize(n, 3);
    for (Eigen::Index r = 0; r < n; ++r) {
        char name[16];
        std::snprintf(name, sizeof name, "T%lld", static_cast<long long>(r));
        p.ime.emplace_back(name);
        p.koo.row(r) << 100000.125 + r, 500000.5 - r, 300.25;
    }
    s.vhi = p;
    const auto t0 = std::chrono::steady_clock::now();
    act("PriVh1");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const ui::Handle w = ui.findWindow("Kolmo - Koordinate v začetnem datumu");
    ASSERT_NE(w, 0);
    std::printf("point list of %lld points opened in %.3f s\n", static_cast<long long>(n), seconds);
    EXPECT_LT(seconds, 1.0);

    const ui::Control* table = nullptr;
    std::size_t textBytes = 0;
    for (ui::Handle h : ui.window(w).controls) {
        const ui::Control& ctl = ui.control(h);
        textBytes += ctl.text.size() + ctl.tooltip.size();
        for (const auto& item : ctl.items)
            textBytes += item.size();
        if (ctl.kind == ui::Kind::Table)
            table = &ctl;
    }
    ASSERT_NE(table, nullptr);
    EXPECT_LT(textBytes, 200u) << "the model keeps no text per point";
    ASSERT_TRUE(table->table);
    const ui::TableRows& rows = *table->table;
    EXPECT_EQ(rows.rows, static_cast<std::size_t>(n));
    EXPECT_EQ(rows.headers, (std::vector<std::string>{"Točka", "1", "2", "3"}));
    EXPECT_EQ(rows.cell(0, 0), "T0");
    EXPECT_EQ(rows.cell(99999, 0), "T99999");
    // The numbers as the point display writes them: the column's decimals.
    EXPECT_EQ(rows.cell(99999, 1), "199999.125");
    EXPECT_EQ(rows.cell(99999, 2), "400001.5");
    EXPECT_EQ(rows.cell(7, 3), "300.25");
    // The list is of the points at "#": later loads do not change it.
    s.vhi.reset();
    EXPECT_EQ(rows.cell(1, 0), "T1");

    // A small list reads as the point display did.
    load(1, work / "d48_gk.pod");
    act("PriVh1");
    const ui::Handle small = ui.windows().back();
    const auto& r = *ui.control(ui.window(small).controls[0]).table;
    const std::string display = platform::matrixText(s.vhi->koo);
    std::string firstRow;
    for (std::size_t k = 1; k < r.headers.size(); ++k)
        firstRow += r.cell(0, k) + " ";
    std::istringstream fromDisplay(display.substr(0, display.find('\n')));
    std::string word, expected;
    while (fromDisplay >> word)
        expected += word + " ";
    EXPECT_EQ(firstRow, expected);
}

} // namespace
} // namespace kolmo::test
