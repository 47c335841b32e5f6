// The main window as the Qt renderer draws it, checked control by control
// against the window's table: kind, text or items, tooltip, place, colour and
// initial state, the menus, and the scaling when the window is resized.
#include "app/appstate.h"
#include "app/kolmo.h"
#include "platform/dialogs.h"
#include "qt/qt_ui.h"
#include "support/paths.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace kolmo {
namespace {

using ui::Align;
using ui::Kind;

enum class Colour { Okvir, Gumb, White };

QColor rgb(Colour c)
{
    switch (c) {
    case Colour::Okvir: return QColor::fromRgbF(0.2f, 0.7f, 1.0f);
    case Colour::Gumb: return QColor::fromRgbF(0.2f, 0.6f, 1.0f);
    case Colour::White: break;
    }
    return QColor(255, 255, 255);
}
const QColor kOzadje = QColor::fromRgbF(0.2f, 0.8f, 1.0f);

bool near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

struct Row {
    Kind kind;
    ui::Position pos;
    std::vector<std::string> text; // caption, or the items of a list
    std::string tooltip;
    int value = 0;                 // list position; 0/1 for buttons and boxes
    bool bold = false;
    Align align = Align::Center;
    bool enabled = true;
};

const std::string kStartFolderMark = "<start folder>";

// The main window's controls in creation order.
const std::vector<Row>& table()
{
    static const std::vector<Row> rows{
        {Kind::Frame, {0.05, 0.86, 0.35, 0.12}, {}, ""},
        {Kind::Text, {0.1, 0.92, 0.24, 0.05}, {"Tip transformacije"}, "", 0, true},
        {Kind::Popup, {0.1, 0.88, 0.24, 0.05},
         {"3R: 7-parametrična", "2R: 4-parametrična", "2R: 6-parametrična", "D96/fi_la -> D96/TM",
          "D96/TM -> D96/fi_la"}, "", 1},
        {Kind::Frame, {0.6, 0.86, 0.35, 0.12}, {}, ""},
        {Kind::Text, {0.62, 0.92, 0.32, 0.05}, {"Delovna mapa"}, "", 0, true, Align::Left},
        {Kind::Text, {0.62, 0.87, 0.3, 0.05}, {kStartFolderMark}, kStartFolderMark, 0, false, Align::Left},
        {Kind::Frame, {0.05, 0.7, 0.62, 0.14}, {}, ""},
        {Kind::Text, {0.28, 0.77, 0.26, 0.05}, {"Podatki - začetni datum"}, "", 0, true},
        {Kind::PushButton, {0.08, 0.77, 0.18, 0.05}, {"Datoteka"}, "odpri datoteko s podatki v začetnem datumu"},
        {Kind::Text, {0.08, 0.71, 0.15, 0.05}, {""}, "", 0, false, Align::Left},
        {Kind::PushButton, {0.22, 0.72, 0.04, 0.05}, {"#"}, "prikaži koordinate v začetnem datumu"},
        {Kind::Popup, {0.32, 0.72, 0.16, 0.05}, {"D96/fi_la", "D96/TM", "D48/GK"}, "tip koordinat", 1},
        {Kind::PushButton, {0.57, 0.73, 0.08, 0.08}, {"Uredi"}, "uredi podatke po stolpcih in izberi zapis kotov", 0,
         false, Align::Center, false},
        {Kind::Frame, {0.05, 0.54, 0.62, 0.14}, {}, ""},
        {Kind::Text, {0.28, 0.61, 0.26, 0.05}, {"Podatki - končni datum"}, "", 0, true},
        {Kind::PushButton, {0.08, 0.61, 0.18, 0.05}, {"Datoteka"}, "odpri datoteko s podatki v končnem datumu"},
        {Kind::Text, {0.08, 0.55, 0.15, 0.05}, {""}, "", 0, false, Align::Left},
        {Kind::PushButton, {0.22, 0.56, 0.04, 0.05}, {"#"}, "prikaži koordinate v končnem datumu"},
        {Kind::Popup, {0.32, 0.56, 0.16, 0.05}, {"D96/fi_la", "D96/TM", "D48/GK"}, "tip koordinat", 3},
        {Kind::PushButton, {0.57, 0.57, 0.08, 0.08}, {"Uredi"}, "uredi podatke po stolpcih in izberi zapis kotov", 0,
         false, Align::Center, false},
        {Kind::Frame, {0.69, 0.54, 0.26, 0.3}, {}, ""},
        {Kind::Text, {0.7, 0.77, 0.24, 0.05}, {"Transf. koordinate"}, "", 0, true},
        {Kind::Popup, {0.73, 0.72, 0.18, 0.05}, {"", "", "D48/GK"}, "tip koordinat", 3},
        {Kind::Text, {0.7, 0.64, 0.24, 0.05}, {"Zaporedje koord."}, ""},
        {Kind::Popup, {0.75, 0.59, 0.14, 0.05}, {"x(n), y(e)", "y(e), x(n)"}, "vrstni red koordinat", 1},
        {Kind::Frame, {0.69, 0.39, 0.26, 0.13}, {}, ""},
        {Kind::Text, {0.72, 0.46, 0.2, 0.05}, {"Rezultati"}, "", 0, true},
        {Kind::PushButton, {0.73, 0.42, 0.18, 0.05}, {"Datoteka"}, "shrani rezultate izravnave v datoteko"},
        {Kind::Frame, {0.05, 0.18, 0.31, 0.34}, {}, ""},
        {Kind::Text, {0.08, 0.45, 0.13, 0.05}, {"Izračun"}, "", 0, true},
        {Kind::RadioButton, {0.08, 0.4, 0.24, 0.05}, {"parametrov in koordinat"}, "", 1},
        {Kind::RadioButton, {0.08, 0.34, 0.12, 0.05}, {"koordinat"}, "", 0},
        {Kind::RadioButton, {0.08, 0.28, 0.22, 0.05}, {"samo parametrov"}, "", 0},
        {Kind::PushButton, {0.21, 0.34, 0.1, 0.05}, {"Izberi par."}, "izberi parametre iz baze"},
        {Kind::CheckBox, {0.08, 0.21, 0.25, 0.05}, {"Helmertova transformacija"}, "", 1},
        {Kind::Frame, {0.38, 0.3, 0.29, 0.22}, {}, ""},
        {Kind::Text, {0.4, 0.45, 0.25, 0.05}, {"Višine v transformaciji"}, "", 0, true},
        {Kind::RadioButton, {0.41, 0.41, 0.24, 0.05}, {"h=0, H=0 | H(tr)=h-N"}, "", 1},
        {Kind::RadioButton, {0.41, 0.36, 0.24, 0.05}, {"h, H | H(tr)=h-N"}, "", 0},
        {Kind::RadioButton, {0.41, 0.31, 0.24, 0.05}, {"h, H | H(tr)"}, "", 0},
        {Kind::Frame, {0.38, 0.15, 0.29, 0.13}, {}, ""},
        {Kind::Text, {0.39, 0.21, 0.27, 0.05}, {"Višinski sistem"}, "", 0, true},
        {Kind::Popup, {0.4, 0.17, 0.25, 0.05}, {"SVS2010 (Koper)", "SVS2000 (Trst)"}, "visinski sistem", 1},
        {Kind::Frame, {0.69, 0.12, 0.26, 0.25}, {}, ""},
        {Kind::Text, {0.73, 0.3, 0.18, 0.05}, {"Po izračunu"}, "", 0, true},
        {Kind::PushButton, {0.73, 0.23, 0.18, 0.06}, {"Prikaži rezultate"}, "prikazi datoteko z rezultati"},
        {Kind::PushButton, {0.73, 0.15, 0.18, 0.06}, {"Shrani parametre"}, "shrani parametre v bazo"},
        {Kind::PushButton, {0.4, 0.03, 0.2, 0.1}, {"I Z R A Č U N A J"},
         "izvede vse potrebne izracune, pripravi prikaze in zapise rezultate", 0, true},
        {Kind::PushButton, {0.05, 0.03, 0.15, 0.07}, {"Ponastavi"}, "ponastavi vsa polja"},
        {Kind::PushButton, {0.8, 0.03, 0.15, 0.07}, {"Izhod"}, "zakljuci z delom"},
    };
    return rows;
}

Colour colourOf(Kind k)
{
    switch (k) {
    case Kind::PushButton: return Colour::Gumb;
    case Kind::Popup:
    case Kind::Edit: return Colour::White;
    default: return Colour::Okvir;
    }
}

QString q(const std::string& s) { return QString::fromStdString(s); }

// Within one pixel of the fractions of the inner area.
void expectPlaced(const QWidget* w, const ui::Position& p, QSize inner, int n)
{
    const QRect g = w->geometry();
    const double W = inner.width(), H = inner.height();
    EXPECT_NEAR(g.x(), p.left * W, 1.0) << "control " << n;
    EXPECT_NEAR(g.width(), p.width * W, 1.0) << "control " << n;
    EXPECT_NEAR(g.y(), (1 - p.bottom - p.height) * H, 1.0) << "control " << n;
    EXPECT_NEAR(g.height(), p.height * H, 1.0) << "control " << n;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.pot_prg = test::dataDir();
        kolmo = std::make_unique<Kolmo>(ui, state);
        (*kolmo)();
        ui.sync();
        win = kolmo->mainWindow();
        ASSERT_NE(win, 0);
        top = ui.windowWidget(win);
        inner = ui.innerArea(win);
        ASSERT_TRUE(top && inner);
    }

    QWidget* widget(int slotNumber) { return ui.controlWidget(kolmo->handle(slotNumber)); }

    platform::RecordingDialogs boxes;
    platform::ScopedDialogs useBoxes{boxes};
    qt::QtUi ui;
    AppState state;
    std::unique_ptr<Kolmo> kolmo;
    ui::Handle win = 0;
    QWidget* top = nullptr;
    QWidget* inner = nullptr;
    const std::string startFolder = std::filesystem::current_path().string();
};

TEST_F(MainWindow, EveryControlMatchesTheTable)
{
    EXPECT_TRUE(top->isVisible());
    EXPECT_EQ(top->windowTitle(), "Kolmo v3.00");
    const QSize size = inner->size();
    EXPECT_EQ(size, QSize(800, 600));
    // The window's own background around the controls.
    const QImage background = inner->grab().toImage();
    EXPECT_TRUE(near(background.pixelColor(size.width() / 50, size.height() / 2), kOzadje, 1));

    const auto& handles = ui.window(win).controls;
    ASSERT_EQ(handles.size(), table().size());
    QWidget* below = nullptr;
    for (std::size_t i = 0; i < handles.size(); ++i) {
        const Row& r = table()[i];
        const int n = static_cast<int>(i + 1);
        QWidget* w = ui.controlWidget(handles[i]);
        ASSERT_NE(w, nullptr) << "control " << n;
        const std::string text = r.text.empty() ? "" : r.text[0] == kStartFolderMark ? startFolder : r.text[0];
        const std::string tooltip = r.tooltip == kStartFolderMark ? startFolder : r.tooltip;
        EXPECT_EQ(w->toolTip(), q(tooltip)) << "control " << n;
        EXPECT_EQ(w->isEnabled(), r.enabled) << "control " << n;
        EXPECT_TRUE(w->isVisible()) << "control " << n;
        EXPECT_EQ(w->font().bold(), r.bold) << "control " << n;
        expectPlaced(w, r.pos, size, n);
        // Later controls lie on top of earlier ones.
        if (below) {
            EXPECT_GT(inner->children().indexOf(w), inner->children().indexOf(below)) << "control " << n;
        }
        below = w;

        const QImage img = w->grab().toImage();
        const QColor expected = rgb(colourOf(r.kind));
        switch (r.kind) {
        case Kind::Frame:
            EXPECT_TRUE(near(img.pixelColor(img.width() / 2, img.height() / 2), expected, 1)) << "control " << n;
            break;
        case Kind::Text: {
            auto* l = qobject_cast<QLabel*>(w);
            ASSERT_NE(l, nullptr) << "control " << n;
            EXPECT_EQ(l->text(), q(text)) << "control " << n;
            EXPECT_EQ(l->alignment() & Qt::AlignHorizontal_Mask,
                      r.align == Align::Left ? Qt::AlignLeft : Qt::AlignHCenter)
                << "control " << n;
            EXPECT_TRUE(near(img.pixelColor(img.width() - 1, 0), expected, 1)) << "control " << n;
            break;
        }
        case Kind::Popup: {
            auto* c = qobject_cast<QComboBox*>(w);
            ASSERT_NE(c, nullptr) << "control " << n;
            QStringList items;
            for (const auto& s : r.text)
                items << q(s);
            QStringList shown;
            for (int k = 0; k < c->count(); ++k)
                shown << c->itemText(k);
            EXPECT_EQ(shown, items) << "control " << n;
            EXPECT_EQ(c->currentIndex(), r.value - 1) << "control " << n;
            EXPECT_EQ(c->palette().color(QPalette::Button), expected) << "control " << n;
            EXPECT_TRUE(near(img.pixelColor(4, img.height() / 2), expected, 24)) << "control " << n;
            break;
        }
        case Kind::PushButton: {
            auto* b = qobject_cast<QPushButton*>(w);
            ASSERT_NE(b, nullptr) << "control " << n;
            // The label with its mnemonic mark ("&Shrani").
            EXPECT_EQ(QString(b->text()).remove(QRegularExpression(QStringLiteral("&(?!&)"))), q(text))
                << "control " << n;
            EXPECT_EQ(b->palette().color(QPalette::Button), expected) << "control " << n;
            // The face really is the colour (Fusion alone would pale it).
            EXPECT_TRUE(near(img.pixelColor(3, img.height() / 2), expected, 1))
                << "control " << n << ": " << img.pixelColor(3, img.height() / 2).name().toStdString();
            break;
        }
        case Kind::RadioButton:
        case Kind::CheckBox: {
            auto* b = qobject_cast<QAbstractButton*>(w);
            ASSERT_NE(b, nullptr) << "control " << n;
            EXPECT_EQ(r.kind == Kind::CheckBox, qobject_cast<QCheckBox*>(w) != nullptr) << "control " << n;
            EXPECT_EQ(r.kind == Kind::RadioButton, qobject_cast<QRadioButton*>(w) != nullptr) << "control " << n;
            EXPECT_EQ(b->text(), q(text)) << "control " << n;
            EXPECT_EQ(b->isChecked(), r.value == 1) << "control " << n;
            EXPECT_FALSE(b->autoExclusive()) << "control " << n;
            EXPECT_TRUE(near(img.pixelColor(img.width() - 1, 0), expected, 1)) << "control " << n;
            break;
        }
        default:
            ADD_FAILURE() << "control " << n << " of an unexpected kind";
        }
    }
}

TEST_F(MainWindow, MenusMatchTheTableAndAboutActsWithoutASubmenu)
{
    QMenuBar* bar = ui.menuBar(win);
    ASSERT_NE(bar, nullptr);
    const QList<QAction*> menus = bar->actions();
    ASSERT_EQ(menus.size(), 3);
    // Each with its keyboard mnemonic.
    EXPECT_EQ(menus[0]->text(), "&Orodja");
    EXPECT_EQ(menus[1]->text(), "&Prikazi");
    EXPECT_EQ(menus[2]->text(), "O p&rogramu");
    EXPECT_TRUE(menus[0]->isEnabled());
    EXPECT_FALSE(menus[1]->isEnabled());
    EXPECT_TRUE(menus[2]->isEnabled());

    const auto labels = [](QAction* m) {
        QStringList out;
        for (QAction* a : m->menu()->actions())
            out << (a->isSeparator() ? QStringLiteral("---") : QString(a->text()).remove(QLatin1Char('&')));
        return out;
    };
    ASSERT_NE(menus[0]->menu(), nullptr);
    EXPECT_EQ(labels(menus[0]), (QStringList{"Pretvorba koordinat", "Branje datotek Varnik", "---",
                                             "Interpolacija modela geoida",
                                             "Državna transformacija D48/GK ↔ D96/TM", "---", "Izhod"}));
    ASSERT_NE(menus[1]->menu(), nullptr);
    EXPECT_EQ(labels(menus[1]), (QStringList{"Mreža točk", "Lega mreže točk", "Odstopanja veznih točk"}));

    // "O programu" is a menu-bar entry of its own that acts when clicked.
    EXPECT_EQ(menus[2]->menu(), nullptr);
    menus[2]->trigger();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, "O programu");
    EXPECT_EQ(boxes.boxes[0].text, Kolmo::aboutText());

    // The model enables "Prikazi" after a computation; the menu bar follows.
    ui.menu(kolmo->handle(slot::PrikMenu)).enabled = true;
    ui.touch();
    QCoreApplication::processEvents();
    EXPECT_TRUE(menus[1]->isEnabled());

    // "Izhod" closes the main window and with it every widget.
    menus[0]->menu()->actions().last()->trigger();
    EXPECT_EQ(kolmo->mainWindow(), 0);
    EXPECT_EQ(ui.windowWidget(win), nullptr);
}

TEST_F(MainWindow, ResizingScalesEveryControlAndTheFonts)
{
    const auto& handles = ui.window(win).controls;
    auto* label = qobject_cast<QLabel*>(ui.controlWidget(handles[1]));
    const int fontBefore = QFontInfo(label->font()).pixelSize();
    const int bar = top->height() - inner->height();
    for (const QSize size : {QSize(1200, 900), QSize(1000, 450), QSize(400, 300)}) {
        top->resize(size.width(), size.height() + bar);
        QCoreApplication::processEvents();
        ASSERT_EQ(inner->size(), size);
        for (std::size_t i = 0; i < handles.size(); ++i)
            expectPlaced(ui.controlWidget(handles[i]), table()[i].pos, size, static_cast<int>(i + 1));
        if (size == QSize(1200, 900)) {
            // 1.5 times the size it was laid out for: the texts grow with it.
            EXPECT_NEAR(QFontInfo(label->font()).pixelSize(), fontBefore * 1.5, 1.0);
            EXPECT_TRUE(label->font().bold());
        }
    }
}

TEST_F(MainWindow, UserChoicesReachTheModelAndTheControllerAnswerReachesTheWidgets)
{
    auto* meto = qobject_cast<QComboBox*>(widget(slot::Meto));
    auto* tip1 = qobject_cast<QComboBox*>(widget(slot::Tip1));
    auto* tip2 = qobject_cast<QComboBox*>(widget(slot::Tip2));
    auto* tip3 = qobject_cast<QComboBox*>(widget(slot::Tip3));
    ASSERT_TRUE(meto && tip1 && tip2 && tip3);
    const auto items = [](QComboBox* c) {
        QStringList out;
        for (int k = 0; k < c->count(); ++k)
            out << c->itemText(k);
        return out;
    };

    // The user picks "2R: 4-parametrična": the model's value, the action,
    // and the new type lists, all before the event loop runs again.
    meto->setFocus();
    QTest::keyClick(meto, Qt::Key_Down);
    EXPECT_EQ(ui.control(kolmo->handle(slot::Meto)).value, 2);
    EXPECT_EQ(state.t_tr.tip, 2);
    EXPECT_EQ(items(tip1), (QStringList{"D96/TM", "D48/GK"}));
    EXPECT_EQ(tip2->currentIndex(), 1);
    EXPECT_EQ(items(tip3), (QStringList{"D96/TM", "D48/GK"}));

    // A change made in the model and fired from there shows up too.
    ui.control(kolmo->handle(slot::Meto)).value = 4;
    ui.fire(kolmo->handle(slot::Meto));
    QCoreApplication::processEvents();
    EXPECT_EQ(meto->currentIndex(), 3);
    EXPECT_EQ(items(tip1), QStringList{"D96/fi_la"});
    EXPECT_TRUE(tip2->isHidden());
    EXPECT_EQ(items(tip3), QStringList{"D96/TM"});

    // Radio buttons: the click sets the one, the controller clears the others.
    auto* t1 = qobject_cast<QAbstractButton*>(widget(slot::T1));
    auto* t3 = qobject_cast<QAbstractButton*>(widget(slot::T3));
    QTest::mouseClick(t3, Qt::LeftButton, {}, QPoint(8, t3->height() / 2));
    EXPECT_EQ(ui.control(kolmo->handle(slot::T3)).value, 1);
    EXPECT_EQ(state.t_tr.izr, 3);
    EXPECT_TRUE(t3->isChecked());
    EXPECT_FALSE(t1->isChecked());

    // A box without an action still writes its state into the model.
    auto* helm = qobject_cast<QAbstractButton*>(widget(slot::Helm));
    QTest::mouseClick(helm, Qt::LeftButton, {}, QPoint(8, helm->height() / 2));
    EXPECT_EQ(ui.control(kolmo->handle(slot::Helm)).value, 0);

    // "Ponastavi" puts everything back, widgets included.
    QTest::mouseClick(ui.controlWidget(ui.window(win).controls[48]), Qt::LeftButton);
    EXPECT_EQ(meto->currentIndex(), 0);
    EXPECT_FALSE(tip2->isHidden());
    EXPECT_TRUE(t1->isChecked());
    EXPECT_FALSE(t3->isChecked());
    EXPECT_TRUE(helm->isChecked());
}

} // namespace
} // namespace kolmo
