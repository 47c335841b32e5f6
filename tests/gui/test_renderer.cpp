// The Qt renderer beyond the main window: windows opened and closed from
// either side, edit fields, the report viewer, the file dialogs and the
// boxes.
#include "app/kolmo.h"
#include "platform/dialogs.h"
#include "qt/qt_dialogs.h"
#include "qt/qt_ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kolmo::qt {
namespace {

namespace fs = std::filesystem;
using ui::Handle;
using ui::Kind;

fs::path scratchFolder(const std::string& name)
{
    const fs::path dir = fs::temp_directory_path() / ("kolmo-qt-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(QtWindows, WindowsClosedOnEitherSideAreClosedOnTheOther)
{
    QtUi ui;
    int lastClosed = 0;
    ui.onLastWindowClosed = [&] { ++lastClosed; };
    const Handle a = ui.newWindow({.title = "A", .visible = true, .width = 300, .height = 200});
    const Handle b = ui.newWindow({.title = "B", .visible = true});
    ui.addControl(b, {.kind = Kind::PushButton, .position = {0, 0, 1, 1}, .text = "Zapri", .action = "close"});
    settle();
    QPointer<QWidget> wa = ui.windowWidget(a), wb = ui.windowWidget(b);
    ASSERT_TRUE(wa && wb);
    EXPECT_TRUE(wa->isVisible());
    EXPECT_EQ(ui.innerArea(a)->size(), QSize(300, 200));

    // Closed in the model (here by the window's own "close" button): the
    // widgets go, even though the button's click is still being handled.
    QTest::mouseClick(ui.controlWidget(ui.window(b).controls[0]), Qt::LeftButton);
    EXPECT_FALSE(ui.isWindow(b));
    EXPECT_FALSE(wb->isVisible());
    settle();
    EXPECT_TRUE(wb.isNull());
    EXPECT_EQ(lastClosed, 0);

    // Closed with its close box: gone from the model, and it was the last.
    wa->close();
    EXPECT_FALSE(ui.isWindow(a));
    settle();
    EXPECT_TRUE(wa.isNull());
    EXPECT_EQ(lastClosed, 1);
}

TEST(QtWindows, HiddenWindowsAndControlsFollowTheModel)
{
    QtUi ui;
    const Handle w = ui.newWindow({.title = "W"});
    const Handle label = ui.addControl(w, {.kind = Kind::Text, .position = {0.1, 0.1, 0.5, 0.2}, .text = "a & b <i>"});
    settle();
    // Built hidden: nothing on the screen until the model shows it.
    EXPECT_FALSE(ui.windowWidget(w)->isVisible());
    ui.window(w).visible = true;
    ui.control(label).visible = false;
    ui.touch();
    settle();
    EXPECT_TRUE(ui.windowWidget(w)->isVisible());
    EXPECT_TRUE(ui.controlWidget(label)->isHidden());
    ui.control(label).visible = true;
    ui.control(label).text = "x\ny";
    ui.touch();
    settle();
    auto* l = qobject_cast<QLabel*>(ui.controlWidget(label));
    EXPECT_FALSE(l->isHidden());
    EXPECT_EQ(l->text(), "x\ny");
    EXPECT_EQ(l->textFormat(), Qt::PlainText);
    EXPECT_TRUE(l->alignment() & Qt::AlignTop);

    // Button and menu texts keep an '&' as it is; each has its mnemonic, the
    // button one the menu bar leaves free.
    const Handle b = ui.addControl(w, {.kind = Kind::PushButton, .text = "A & B"});
    const Handle m = ui.addMenu(w, {.label = "P&Q", .action = "x"});
    settle();
    EXPECT_EQ(qobject_cast<QAbstractButton*>(ui.controlWidget(b))->text(), "&A && B");
    EXPECT_EQ(ui.menuAction(m)->text(), "&P&&Q"); // its mnemonic, and the '&' as it is
    EXPECT_EQ(ui.menuBar(w)->actions().size(), 1);
}

// A path longer than its label even at the smallest font loses its middle,
// not its end, and shows itself whole in the tooltip; the model's own
// tooltip wins where there is one.  Fault pinned down: the working folder
// was cut off at the label's end with nothing to show the rest.
TEST(QtWindows, ALongPathIsCutInTheMiddleWithTheWholeInTheTooltip)
{
    QtUi ui;
    const Handle w = ui.newWindow({.title = "P", .visible = true, .width = 640, .height = 420});
    const std::string path = "/home/uporabnik/projekti/geodezija/2026/obnova_katastra/ljubljana_center/tocke";
    const Handle label = ui.addControl(w, {.kind = Kind::Text, .position = {0.6, 0.8, 0.3, 0.05}, .text = path,
                                           .align = ui::Align::Left});
    const Handle own = ui.addControl(w, {.kind = Kind::Text, .position = {0.6, 0.7, 0.3, 0.05}, .text = path,
                                         .align = ui::Align::Left, .tooltip = "mapa"});
    const Handle shortOne = ui.addControl(w, {.kind = Kind::Text, .position = {0.6, 0.6, 0.3, 0.05}, .text = "/tmp",
                                              .align = ui::Align::Left});
    settle();
    auto* l = qobject_cast<QLabel*>(ui.controlWidget(label));
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(l->text().contains(QChar(0x2026))) << l->text().toStdString();
    EXPECT_TRUE(l->text().startsWith(QStringLiteral("/home/"))) << l->text().toStdString();
    EXPECT_TRUE(l->text().endsWith(QStringLiteral("tocke"))) << l->text().toStdString();
    EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(l->text()), l->width());
    EXPECT_EQ(l->toolTip(), QString::fromStdString(path));
    EXPECT_EQ(qobject_cast<QLabel*>(ui.controlWidget(own))->toolTip(), QStringLiteral("mapa"));
    auto* s = qobject_cast<QLabel*>(ui.controlWidget(shortOne));
    EXPECT_EQ(s->text(), QStringLiteral("/tmp"));
    EXPECT_EQ(s->toolTip(), QString());
    // Wide enough, the whole path again.
    ui.windowWidget(w)->resize(4000, 600);
    settle();
    EXPECT_EQ(l->text(), QString::fromStdString(path));
}

TEST(QtWindows, TextsFitTheRoomLaterControlsLeaveThem)
{
    // The arrangement window's heading runs under the file name laid over
    // its end: the heading's font gives way until it ends before the name.
    QtUi ui;
    const Handle w = ui.newWindow({.title = "U", .visible = true, .width = 640, .height = 420});
    const ui::Control heading{.kind = Kind::Text, .position = {0.13, 0.9, 0.3, 0.05},
                              .text = "Urejanje podatkov iz datoteke:", .align = ui::Align::Left};
    const Handle first = ui.addControl(w, heading);
    const Handle name = ui.addControl(w, {.kind = Kind::Text, .position = {0.4, 0.9, 0.15, 0.05},
                                          .text = "d48_gk.pod", .align = ui::Align::Left, .bold = true});
    ui::Control alone = heading;
    alone.position.bottom = 0.5;
    const Handle free = ui.addControl(w, alone);
    settle();
    auto* covered = qobject_cast<QLabel*>(ui.controlWidget(first));
    const int base = QFontInfo(ui.controlWidget(free)->font()).pixelSize();
    const int room = ui.controlWidget(name)->x() - covered->x() - covered->indent();
    EXPECT_LE(QFontMetrics(covered->font()).horizontalAdvance(covered->text()), room);
    EXPECT_LT(QFontInfo(covered->font()).pixelSize(), base);
    // Never below three quarters of the window's font.
    EXPECT_GE(QFontInfo(covered->font()).pixelSize(), base * 3 / 4);

    // Hidden, the name leaves the heading its whole box.
    ui.control(name).visible = false;
    ui.touch();
    settle();
    EXPECT_EQ(QFontInfo(covered->font()).pixelSize(), base);
}

TEST(QtWindows, EditFieldsWriteEveryKeystrokeAndActOnEnter)
{
    QtUi ui;
    std::vector<std::string> seen;
    const Handle w = ui.newWindow({.title = "E", .visible = true, .width = 400, .height = 100});
    const Handle edit = ui.addControl(
        w, {.kind = Kind::Edit, .position = {0.1, 0.3, 0.8, 0.4}, .background = ui::kWhite, .action = "probe('x')"});
    ui.registerHandler("probe", [&](const std::optional<std::string>&) { seen.push_back(ui.control(edit).text); });
    settle();
    auto* line = qobject_cast<QLineEdit*>(ui.controlWidget(edit));
    ASSERT_NE(line, nullptr);
    line->setFocus();
    QTest::keyClicks(line, "Ljubljana");
    settle();
    EXPECT_EQ(ui.control(edit).text, "Ljubljana");
    EXPECT_EQ(line->cursorPosition(), 9);
    EXPECT_TRUE(seen.empty());
    QTest::keyClick(line, Qt::Key_Return);
    EXPECT_EQ(seen, std::vector<std::string>{"Ljubljana"});

    // Text set by a controller replaces the field's.
    ui.control(edit).text = "Koper";
    ui.touch();
    settle();
    EXPECT_EQ(line->text(), "Koper");
}

TEST(QtWindows, ReportViewerShowsTheFileInAFixedFontWithoutWrapping)
{
    const fs::path dir = scratchFolder("viewer");
    const fs::path report = dir / "porocilo.str";
    std::ofstream(report, std::ios::binary) << "Tocka      X           Y\n\x8a" "entjur  1.000  2.000\n"
                                            << std::string(300, '-') << "\n";
    QtUi ui;
    const Handle win = openTextViewer(ui, report);
    settle();
    QWidget* top = ui.windowWidget(win);
    ASSERT_NE(top, nullptr);
    auto* view = qobject_cast<QPlainTextEdit*>(ui.controlWidget(ui.window(win).controls[0]));
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isReadOnly());
    EXPECT_TRUE(QFontInfo(view->font()).fixedPitch());
    EXPECT_EQ(view->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(view->toPlainText().startsWith("Tocka      X           Y\nŠentjur"));
    // Its font does not grow with the window.
    const int before = QFontInfo(view->font()).pixelSize();
    top->resize(top->width() * 2, top->height() * 2);
    settle();
    EXPECT_EQ(QFontInfo(view->font()).pixelSize(), before);
    fs::remove_all(dir);
}

TEST(QtFileDialogs, FiltersShowTheirDescriptionsAndChoicesComeBackAsNameAndFolder)
{
    EXPECT_EQ(QtUi::nameFilters({{"*.pod;*.in", "Podatki (*.pod, *.in)"}, {"*.*", "Vse datoteke (*.*)"}}),
              (QStringList{"Podatki (*.pod, *.in) (*.pod *.in)", "Vse datoteke (*.*) (*)"}));
    EXPECT_TRUE(QtUi::useQtFileDialogs()); // offscreen

    const fs::path dir = scratchFolder("dialogs");
    std::ofstream(dir / "tocke.pod") << "1 2 3\n";
    const ui::FilterTable table{{"*.str", "Rezultati (*.str)"}, {"*.*", "Vse datoteke (*.*)"}};
    QtUi ui;

    // The dialog answers from inside its own loop, as a user would.
    QStringList filtersShown;
    QString titleShown;
    Qt::CursorShape cursor = Qt::BlankCursor;
    const auto answer = [&](const QString& file, bool accept) {
        QTimer::singleShot(0, [&, file, accept] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            titleShown = d->windowTitle();
            filtersShown.clear();
            if (auto* combo = d->findChild<QComboBox*>("fileTypeCombo"))
                for (int k = 0; k < combo->count(); ++k)
                    filtersShown << combo->itemText(k);
            cursor = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::BlankCursor;
            d->setDirectory(QString::fromStdString(dir.string()));
            d->selectFile(file);
            // QFileDialog keeps accept() to itself; the user's OK goes through QDialog.
            QDialog* dialog = d;
            if (accept)
                dialog->accept();
            else
                dialog->reject();
        });
    };

    {
        // An action's busy pointer is lifted while the dialog waits.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        answer("tocke.pod", true);
        const auto chosen = ui.openFileDialog({{"*.pod", "Podatki (*.pod)"}}, "Podatki - zacetni datum");
        QApplication::restoreOverrideCursor();
        ASSERT_TRUE(chosen.has_value());
        EXPECT_EQ(chosen->name, "tocke.pod");
        EXPECT_EQ(fs::canonical(chosen->folder), fs::canonical(dir));
        EXPECT_EQ(titleShown, "Podatki - zacetni datum");
        EXPECT_EQ(filtersShown, QStringList{"Podatki (*.pod)"});
        EXPECT_EQ(cursor, Qt::ArrowCursor);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    // Saving: a bare name gets the chosen filter's extension.
    answer("rezultati", true);
    const auto saved = ui.saveFileDialog(table, "Shrani kot");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->name, "rezultati.str");
    EXPECT_EQ(filtersShown, (QStringList{"Rezultati (*.str)", "Vse datoteke (*.*)"}));

    answer("tocke.pod", false);
    EXPECT_FALSE(ui.openFileDialog(table, "Odpri").has_value());
    fs::remove_all(dir);
}

TEST(QtBoxes, BoxesReturnAtOnceAndShowTheirTextAsGiven)
{
    QtDialogs dialogs;
    dialogs.errorBox("Napacna oblika podatkov!", "Napaka pri branju datoteke", "tocke.pod: vrstica 3");
    dialogs.messageBox(Kolmo::aboutText(), "O programu");
    const std::string matrix = "   1.0000   2.5000\n 100.0000  -3.2500\n";
    dialogs.messageBox(matrix, "");
    std::string tall;
    for (int i = 0; i < 200; ++i)
        tall += "vrstica " + std::to_string(i) + "\n";
    dialogs.messageBox(tall, "");

    const std::vector<QWidget*> open = dialogs.openBoxes();
    ASSERT_EQ(open.size(), 4u);
    for (QWidget* b : open) {
        EXPECT_TRUE(b->isVisible());
        EXPECT_FALSE(b->isModal());
    }
    auto* error = qobject_cast<QMessageBox*>(open[0]);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->icon(), QMessageBox::Critical);
    EXPECT_EQ(error->text(), "Napacna oblika podatkov!");
    EXPECT_EQ(error->windowTitle(), "Napaka pri branju datoteke");
    EXPECT_EQ(error->detailedText(), "tocke.pod: vrstica 3");

    auto* about = qobject_cast<QMessageBox*>(open[1]);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->text(), QString::fromStdString(Kolmo::aboutText()));

    // Columns and long lists: a fixed-pitch text that scrolls, on the screen.
    for (QWidget* b : {open[2], open[3]}) {
        auto* view = b->findChild<QPlainTextEdit*>();
        ASSERT_NE(view, nullptr);
        EXPECT_TRUE(QFontInfo(view->font()).fixedPitch());
        EXPECT_LE(b->height(), QGuiApplication::primaryScreen()->availableGeometry().height());
    }
    EXPECT_EQ(open[2]->findChild<QPlainTextEdit*>()->toPlainText(), QString::fromStdString(matrix));
    EXPECT_GT(open[3]->findChild<QPlainTextEdit*>()->verticalScrollBar()->maximum(), 0);

    // Closing a box deletes it.
    QPointer<QWidget> first = open[0];
    first->close();
    settle();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(dialogs.openBoxes().size(), 3u);

    // Nested busy brackets: the pointer stays busy until the outer one ends.
    dialogs.setBusy(true);
    dialogs.setBusy(true);
    dialogs.setBusy(false);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    dialogs.setBusy(false);
    dialogs.setBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace kolmo::qt
