// Plot windows on the screen: the figure drawn, zoomed, panned and turned
// with the mouse, and what the user sees is what the export writes.
#include "app/prik_okna.h"
#include "qt/plot_widget.h"
#include "qt/qt_ui.h"
#include "plots/figure_graphic.h"
#include "plots/prik_geoid.h"
#include "plots/prik_mre.h"
#include "plots/render/layout.h"
#include "support/paths.h"

#include <QApplication>
#include <QImage>
#include <QMenuBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>

namespace kolmo::qt {
namespace {

using ui::Handle;

Prik network()
{
    Prik p;
    p.Tx = (Vec(4) << 401230, 405870, 403000, 402100).finished();
    p.Ty = (Vec(4) << 95000, 96500, 98200, 97000).finished();
    p.XI = p.Tx.head(3);
    p.YI = p.Ty.head(3);
    p.vx = p.vy = Vec::Zero(4);
    p.dx = p.dy = Vec::Zero(3);
    p.grobi = std::vector<bool>(3, false);
    p.D = 1000;
    p.vset = {"A_1", "B", "C", "D"};
    p.tocke = {"A_1", "B", "C"};
    p.obod = (Mat(4, 2) << 401230, 95000, 405870, 96500, 403000, 98200, 401230, 95000).finished();
    return p;
}

PlotWidget* plotOf(QtUi& ui, Handle win)
{
    ui.sync();
    return static_cast<PlotWidget*>(ui.controlWidget(ui.window(win).controls.front()));
}

// Share of pixels that are not white.
double inked(const QImage& img)
{
    long n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) != qRgb(255, 255, 255);
    return static_cast<double>(n) / (img.width() * img.height());
}

TEST(PlotWindow, DrawsTheFigureAndZoomsAboutThePointer)
{
    QtUi ui;
    PrikOkna plots(ui);
    const Handle win = plots.open(prik_mre(network()));
    PlotWidget* w = plotOf(ui, win);
    ASSERT_NE(w, nullptr);
    ui.windowWidget(win)->resize(900, 700);
    QCoreApplication::processEvents();
    EXPECT_GT(inked(w->grab().toImage()), 0.01);
    // The menus of the window: "Natisni" and "Izvozi" with its formats.
    const QMenuBar* bar = ui.menuBar(win);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->actions().size(), 2);
    EXPECT_EQ(bar->actions()[0]->text(), QStringLiteral("&Natisni"));
    EXPECT_EQ(bar->actions()[1]->text(), QStringLiteral("&Izvozi"));

    auto& fig = w->graphic()->figure;
    const auto x0 = fig.axes.x.lim, y0 = fig.axes.y.lim;
    const double width0 = x0[1] - x0[0];
    // A notch forward over the middle of the widget zooms in on both axes alike.
    const QPointF middle(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent wheel(middle, w->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &wheel);
    const double width1 = fig.axes.x.lim[1] - fig.axes.x.lim[0];
    EXPECT_NEAR(width1 / width0, 0.8, 1e-9);
    EXPECT_NEAR((fig.axes.y.lim[1] - fig.axes.y.lim[0]) / (y0[1] - y0[0]), 0.8, 1e-9);
    // Dragging pans by what the pointer moved.
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, middle.toPoint());
    QTest::mouseMove(w, middle.toPoint() + QPoint(50, 0));
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, middle.toPoint() + QPoint(50, 0));
    EXPECT_LT(fig.axes.x.lim[0], x0[0] + (width0 - width1) / 2 - 1);
    // A double click restores the built limits.
    QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, middle.toPoint());
    EXPECT_EQ(fig.axes.x.lim, x0);
    EXPECT_EQ(fig.axes.y.lim, y0);
}

// Fourteen notches of the wheel into a network: the limits shrink by 0.8 a
// notch about the pointer, the names stay at their points and the axes keep
// their scale (tests/plots: the layout).  With KOLMO_SHOTS set, the window
// before and after is saved there.
TEST(PlotWindow, FourteenNotchesInKeepTheNamesAndTheScale)
{
    Prik p = network();
    const int n = 12;
    p.Tx.resize(n);
    p.Ty.resize(n);
    p.vset.clear();
    for (int i = 0; i < n; ++i) {
        p.Tx(i) = 401000 + (i % 4) * 1500 + (i / 4) * 130;
        p.Ty(i) = 95000 + (i / 4) * 250 + (i % 2) * 60;
        p.vset.push_back((i < 9 ? "K0" : "K") + std::to_string(i + 1));
    }
    p.vx = p.vy = Vec::Zero(n);
    QtUi ui;
    PrikOkna plots(ui);
    const Handle win = plots.open(prik_mre(p));
    PlotWidget* w = plotOf(ui, win);
    ui.windowWidget(win)->resize(900, 700);
    QCoreApplication::processEvents();
    const QString shots = qEnvironmentVariable("KOLMO_SHOTS");
    if (!shots.isEmpty())
        ui.windowWidget(win)->grab().save(shots + QStringLiteral("/plot-before-zoom.png"));
    auto& fig = w->graphic()->figure;
    const double width0 = fig.axes.x.lim[1] - fig.axes.x.lim[0];
    // The pointer over K06, where the widget draws it.
    plot::LayoutInfo info;
    plot::layout(fig, w->width(), w->height(), plot::defaultPxPerPt(w->width(), w->height()), &info);
    const QPointF over(info.box.x + (p.Tx(5) - fig.axes.x.lim[0]) / width0 * info.box.w,
                       info.box.y + (fig.axes.y.lim[1] - p.Ty(5)) / (fig.axes.y.lim[1] - fig.axes.y.lim[0]) * info.box.h);
    for (int k = 0; k < 14; ++k) {
        QWheelEvent wheel(over, w->mapToGlobal(over), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &wheel);
    }
    EXPECT_NEAR((fig.axes.x.lim[1] - fig.axes.x.lim[0]) / width0, std::pow(0.8, 14), 1e-9);
    EXPECT_GT(p.Tx(5), fig.axes.x.lim[0]);
    EXPECT_LT(p.Tx(5), fig.axes.x.lim[1]);
    EXPECT_GT(p.Ty(5), fig.axes.y.lim[0]);
    EXPECT_LT(p.Ty(5), fig.axes.y.lim[1]);
    QCoreApplication::processEvents();
    const QImage zoomed = ui.windowWidget(win)->grab().toImage();
    EXPECT_GT(inked(zoomed), 0.005);
    if (!shots.isEmpty())
        zoomed.save(shots + QStringLiteral("/plot-zoomed-14.png"));
}

TEST(PlotWindow, SurfacesTurnWithTheMouse)
{
    QtUi ui;
    PrikOkna plots(ui);
    const Handle win = plots.open(prikaziK(test::dataDir()));
    PlotWidget* w = plotOf(ui, win);
    ui.windowWidget(win)->resize(800, 600);
    QCoreApplication::processEvents();
    EXPECT_GT(inked(w->grab().toImage()), 0.05);
    auto& ax = w->graphic()->figure.axes;
    const double az = ax.azimuth, el = ax.elevation;
    const QPoint p(400, 300);
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, p);
    QTest::mouseMove(w, p + QPoint(40, 20));
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, p + QPoint(40, 20));
    EXPECT_NEAR(ax.azimuth, az - 20, 1e-9);
    EXPECT_NEAR(ax.elevation, el + 10, 1e-9);
    // Wheel does not zoom a surface; a double click goes back to the first view.
    QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, p);
    EXPECT_EQ(ax.azimuth, az);
    EXPECT_EQ(ax.elevation, el);
}

} // namespace
} // namespace kolmo::qt
